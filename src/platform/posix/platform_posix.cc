// POSIX implementation of the platform interface.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <condition_variable>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/platform.h"

extern char** environ;

namespace platform {

// --- Process set-up --------------------------------------------------------

namespace {

// The nice value that stands for "below normal".
constexpr int kBelowNormalNice = 10;

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free,
              "the interrupt flag is set from a signal handler");

void OnInterrupt(int) { g_interrupted.store(true); }

}  // namespace

void LowerPriority() {
  // On Linux this sets the calling thread's nice value; threads and child
  // processes started later inherit it, which is why it must come first.
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, 0);
  if (errno == 0 && current >= kBelowNormalNice) return;
  setpriority(PRIO_PROCESS, 0, kBelowNormalNice);
}

void UseUserLocale() { std::setlocale(LC_CTYPE, ""); }

void CatchInterrupt() {
  struct sigaction old_action {};
  sigaction(SIGINT, nullptr, &old_action);
  // A program started with SIGINT ignored (a background job of a script,
  // nohup) was asked not to react to it; keep it that way.
  if (old_action.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() { return g_interrupted.load(); }

namespace {

// Dies by sig itself, so that the parent sees how this process ended (a
// shell stops its own script on an interrupted child).
[[noreturn]] void DieBySignal(int sig) {
  signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
  _exit(128 + sig);
}

}  // namespace

void ExitInterrupted() { DieBySignal(SIGINT); }

bool OutputGone() {
  // A pipe's write end reports POLLERR once its read end is closed.
  pollfd output{STDOUT_FILENO, 0, 0};
  return poll(&output, 1, 0) == 1 && (output.revents & POLLERR) != 0;
}

void ExitOutputGone() { DieBySignal(SIGPIPE); }

std::string LastErrorText() {
  return std::error_code(errno, std::generic_category()).message();
}

// --- Mutual exclusion ------------------------------------------------------

struct Lock::Impl {
  std::mutex mutex;
};

Lock::Lock() : impl_(new Impl) {}
Lock::~Lock() = default;
void Lock::Enter() { impl_->mutex.lock(); }
void Lock::Leave() { impl_->mutex.unlock(); }

// --- Threads -----------------------------------------------------------------

namespace {

// Shared by the handle and the running thread, so that either may go first.
struct ThreadState {
  pthread_t id{};
  ThreadEntry entry = nullptr;
  void* parameter = nullptr;
  std::mutex mutex;
  std::condition_variable cv;
  bool resumed = false;  // guarded by mutex
  bool joined = false;   // touched only by the handle's owner
};

struct Handle {
  std::shared_ptr<ThreadState> state;
};

void* ThreadMain(void* arg) {
  std::shared_ptr<ThreadState> state = std::move(static_cast<Handle*>(arg)->state);
  delete static_cast<Handle*>(arg);
  {
    // The gate: nothing runs before the creator has resumed the thread.
    std::unique_lock<std::mutex> lock(state->mutex);
    state->cv.wait(lock, [&] { return state->resumed; });
  }
  state->entry(state->parameter);
  return nullptr;
}

}  // namespace

ThreadHandle BeginThreadSuspended(ThreadEntry entry, void* parameter) {
  auto state = std::make_shared<ThreadState>();
  state->entry = entry;
  state->parameter = parameter;
  auto* for_thread = new Handle{state};
  const int error = pthread_create(&state->id, nullptr, ThreadMain, for_thread);
  if (error != 0) {
    delete for_thread;
    errno = error;
    return nullptr;
  }
  return new Handle{std::move(state)};
}

void ResumeThread(ThreadHandle handle) {
  ThreadState& state = *static_cast<Handle*>(handle)->state;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.resumed = true;
  }
  state.cv.notify_one();
}

void CloseThreadHandle(ThreadHandle handle) {
  auto* h = static_cast<Handle*>(handle);
  // Nobody will join the thread any more; let it clean up after itself.
  if (!h->state->joined) pthread_detach(h->state->id);
  delete h;
}

void WaitForAllThreads(const ThreadHandle* handles, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    ThreadState& state = *static_cast<Handle*>(handles[i])->state;
    if (state.joined) continue;
    pthread_join(state.id, nullptr);
    state.joined = true;
  }
}

void SleepMilliseconds(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// --- Files and directories ---------------------------------------------------

struct DirectorySearch::Impl {
  DIR* dir = nullptr;
  std::string name_pattern;
};

DirectorySearch::DirectorySearch(const std::string& pattern) : impl_(new Impl) {
  const std::size_t slash = pattern.rfind('/');
  std::string directory;
  if (slash == std::string::npos) {
    directory = ".";
    impl_->name_pattern = pattern;
  } else {
    directory = pattern.substr(0, slash + 1);
    impl_->name_pattern = pattern.substr(slash + 1);
  }
  impl_->dir = opendir(directory.c_str());
}

DirectorySearch::~DirectorySearch() {
  if (impl_->dir != nullptr) closedir(impl_->dir);
}

bool DirectorySearch::Next(std::string* name) {
  if (impl_->dir == nullptr) return false;
  while (const dirent* entry = readdir(impl_->dir)) {
    if (MatchesPattern(entry->d_name, impl_->name_pattern)) {
      *name = entry->d_name;
      return true;
    }
  }
  return false;
}

bool MeasureFile(const std::string& path, std::uint64_t* size) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  // A directory opens for reading here, yet has no size to report.
  const bool measured = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  if (measured) *size = static_cast<std::uint64_t>(st.st_size);
  close(fd);
  return measured;
}

std::size_t CharacterLength(const char* text, std::size_t available) {
  std::mbstate_t state{};
  const std::size_t length = std::mbrlen(text, available, &state);
  // Not a valid character in this encoding: the byte stands on its own.
  return length == 0 || length > available ? 1 : length;
}

// --- Running the tool ----------------------------------------------------------

std::string QuoteForInterpreter(const std::string& argument) {
  // Inside double quotes sh still gives $, `, " and \ their meaning.
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '$' || c == '`' || c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

bool InterpreterKeeps(const std::string&) { return true; }

namespace {

CommandResult Spawn(const char* file, char* const argv[], bool search_path) {
  CommandResult result;
  // The child starts with SIGINT at its default and nothing blocked, so
  // Ctrl-C ends the tool whatever this process does with it.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  sigset_t empty;
  sigemptyset(&empty);
  posix_spawnattr_setsigmask(&attributes, &empty);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = 0;
  const int error = search_path
                        ? posix_spawnp(&pid, file, nullptr, &attributes, argv, environ)
                        : posix_spawn(&pid, file, nullptr, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    errno = error;
    return result;
  }
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited == -1 && errno == EINTR);
  if (waited == -1) return result;
  result.started = true;
  if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
    result.exit_code = 128 + result.signal;
    result.interrupted = result.signal == SIGINT;
    // The tool may die of the user's Ctrl-C before our own handler has run
    // in any thread; no further file may start either way.
    if (result.interrupted) g_interrupted.store(true);
  } else {
    result.exit_code = WEXITSTATUS(status);
  }
  return result;
}

}  // namespace

CommandResult RunCommand(const std::string& command_line) {
  // Not system(): it ignores SIGINT in the caller while the child runs, so
  // Ctrl-C would only kill the current tool and the run would go on.
  char sh[] = "sh";
  char dash_c[] = "-c";
  std::string line = command_line;
  char* const argv[] = {sh, dash_c, &line[0], nullptr};
  return Spawn("/bin/sh", argv, false);
}

CommandResult RunDirect(const std::vector<std::string>& argv) {
  std::vector<std::string> copies(argv);
  std::vector<char*> pointers;
  for (std::string& s : copies) pointers.push_back(&s[0]);
  pointers.push_back(nullptr);
  return Spawn(pointers[0], pointers.data(), true);
}

}  // namespace platform
