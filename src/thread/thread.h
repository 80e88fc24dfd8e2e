// Thread launchers: bind a free function and its arguments once, then start
// any number of threads running it, keeping every thread's handle until the
// launcher is destroyed.
//
// Start and the destructor must be called from the creating thread only. The
// launcher does not own its arguments; its owner keeps them alive, and waits
// for every started thread, before destroying it.
#ifndef SHRINKDIR_THREAD_THREAD_H_
#define SHRINKDIR_THREAD_THREAD_H_

#include <deque>

#include "platform/platform.h"

// The root of the family; holds nothing.
template <typename R>
class WaitThread {};

// Binds a function of two arguments and starts threads running it.
template <typename R, typename A1, typename A2, typename Unused>
class _Thread : public WaitThread<R> {
 public:
  using Function = R (*)(A1, A2);

  explicit _Thread(Function function) : function_(function) {}
  _Thread(const _Thread&) = delete;
  _Thread& operator=(const _Thread&) = delete;

  // Stores the arguments that every thread started afterwards receives.
  void SetArgs(A1 first, A2 second) {
    first_ = first;
    second_ = second;
  }

  // Starts one thread running the bound function and returns its handle, or
  // returns nullptr, recording nothing, when no thread could be created
  // (platform::LastErrorText says why). The thread runs none of the bound
  // function before its handle has been recorded.
  void* Start() {
    void* handle = platform::BeginThreadSuspended(&_Thread::ThreadEntry, this);
    if (handle == nullptr) return nullptr;
    handles_.push_back(handle);
    platform::ResumeThread(handles_.back());
    return handles_.back();
  }

  // Every handle started so far, in start order.
  const std::deque<void*>& Handles() const { return handles_; }

  static unsigned ThreadEntry(void* launcher) {
    const _Thread* self = static_cast<const _Thread*>(launcher);
    self->function_(self->first_, self->second_);
    return 0;
  }

 protected:
  std::deque<void*> handles_;

 private:
  Function function_;
  A1 first_{};
  A2 second_{};
};

template <typename F, typename Unused>
class Thread;

// The launcher for functions returning nothing; closes every handle it
// recorded when destroyed. Closing a handle does not stop its thread.
template <typename A1, typename A2>
class Thread<void (*)(A1, A2), void> : public _Thread<void, A1, A2, void> {
 public:
  using _Thread<void, A1, A2, void>::_Thread;

  ~Thread() {
    for (void* handle : this->handles_) platform::CloseThreadHandle(handle);
  }
};

#endif  // SHRINKDIR_THREAD_THREAD_H_
