// The thread launcher and the platform's thread services under it.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <vector>

#include "thread/thread.h"

namespace {

// What the bound function saw, shared by the threads of one test.
struct Calls {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::pair<int*, unsigned>> seen;
};
Calls* g_calls = nullptr;

void Record(int* first, unsigned second) {
  std::lock_guard<std::mutex> lock(g_calls->mutex);
  g_calls->seen.emplace_back(first, second);
  g_calls->cv.notify_all();
}

using Launcher = Thread<void (*)(int*, unsigned), void>;

class LauncherTest : public testing::Test {
 protected:
  LauncherTest() { g_calls = &calls_; }
  ~LauncherTest() override { g_calls = nullptr; }
  Calls calls_;
};

TEST_F(LauncherTest, StartRecordsHandlesInOrderAndCallsFunctionOncePerThread) {
  int queue = 0;
  std::vector<void*> returned;
  {
    Launcher launcher(Record);
    launcher.SetArgs(&queue, 7);
    for (int i = 0; i < 3; ++i) {
      void* handle = launcher.Start();
      ASSERT_NE(handle, nullptr);
      EXPECT_EQ(handle, launcher.Handles().back());
      returned.push_back(handle);
    }
    EXPECT_EQ(std::vector<void*>(launcher.Handles().begin(), launcher.Handles().end()), returned);
    platform::WaitForAllThreads(returned.data(), returned.size());
  }
  ASSERT_EQ(calls_.seen.size(), 3u);
  for (const auto& call : calls_.seen) {
    EXPECT_EQ(call.first, &queue);
    EXPECT_EQ(call.second, 7u);
  }
}

TEST_F(LauncherTest, DestroyedWithoutStartClosesNothing) {
  Launcher launcher(Record);
  launcher.SetArgs(nullptr, 0);
  EXPECT_TRUE(launcher.Handles().empty());
}

// Threads that wait inside the bound function until released.
struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  int entered = 0;
  bool open = false;
  int finished = 0;
};
Gate* g_gate = nullptr;

void WaitAtGate(int*, unsigned) {
  std::unique_lock<std::mutex> lock(g_gate->mutex);
  ++g_gate->entered;
  g_gate->cv.notify_all();
  g_gate->cv.wait(lock, [] { return g_gate->open; });
  ++g_gate->finished;
  g_gate->cv.notify_all();
}

TEST(Launcher, ClosingHandlesLeavesThreadsRunning) {
  Gate gate;
  g_gate = &gate;
  int queue = 0;
  {
    Launcher launcher(WaitAtGate);
    launcher.SetArgs(&queue, 1);
    for (int i = 0; i < 4; ++i) ASSERT_NE(launcher.Start(), nullptr);
    std::unique_lock<std::mutex> lock(gate.mutex);
    gate.cv.wait(lock, [&] { return gate.entered == 4; });
  }  // every handle is closed here, while the threads still wait
  std::unique_lock<std::mutex> lock(gate.mutex);
  gate.open = true;
  gate.cv.notify_all();
  gate.cv.wait(lock, [&] { return gate.finished == 4; });
  g_gate = nullptr;
}

// A thread created suspended runs nothing until it is resumed.
TEST(PlatformThreads, SuspendedThreadWaitsForResume) {
  std::atomic<int> ran{0};
  auto entry = [](void* counter) -> unsigned {
    static_cast<std::atomic<int>*>(counter)->fetch_add(1);
    return 0;
  };
  void* handle = platform::BeginThreadSuspended(entry, &ran);
  ASSERT_NE(handle, nullptr);
  platform::SleepMilliseconds(100);
  EXPECT_EQ(ran.load(), 0);
  platform::ResumeThread(handle);
  platform::WaitForAllThreads(&handle, 1);
  EXPECT_EQ(ran.load(), 1);
  platform::CloseThreadHandle(handle);
}

// Far more threads than one wait call of some systems takes (64).
TEST(PlatformThreads, WaitForAllCoversEveryThread) {
  constexpr int kThreads = 200;
  std::atomic<int> finished{0};
  auto entry = [](void* counter) -> unsigned {
    platform::SleepMilliseconds(20);
    static_cast<std::atomic<int>*>(counter)->fetch_add(1);
    return 0;
  };
  std::vector<void*> handles;
  for (int i = 0; i < kThreads; ++i) {
    handles.push_back(platform::BeginThreadSuspended(entry, &finished));
    ASSERT_NE(handles.back(), nullptr);
    platform::ResumeThread(handles.back());
  }
  platform::WaitForAllThreads(handles.data(), handles.size());
  EXPECT_EQ(finished.load(), kThreads);
  platform::WaitForAllThreads(nullptr, 0);  // no handles: returns at once
  for (void* handle : handles) platform::CloseThreadHandle(handle);
}

}  // namespace
