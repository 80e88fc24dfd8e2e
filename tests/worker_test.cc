// The worker run in-process, to control when each worker starts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <thread>

#include "support/files.h"
#include "support/program.h"
#include "support/subprocess.h"
#include "worker/worker.h"

namespace {

// Captures standard output and puts the stand-in first on PATH for the
// lifetime of the object.
class WorkerTest : public testing::Test {
 protected:
  WorkerTest() : old_buffer_(std::cout.rdbuf(captured_.rdbuf())) {
    const char* path = std::getenv("PATH");
    old_path_ = path ? path : "";
    SetEnvironment("PATH", NativePath(STANDIN_DIR) + PathListSeparator() + old_path_);
    SetEnvironment("SHRINKDIR_STANDIN_ACTION", "shrink");
  }
  ~WorkerTest() override {
    std::cout.rdbuf(old_buffer_);
    SetEnvironment("PATH", old_path_);
  }

  std::string Output() {
    platform::LockGuard guard(JobLock);
    return captured_.str();
  }

  std::ostringstream captured_;
  std::streambuf* old_buffer_;
  std::string old_path_;
  TempDir dir_;
};

// The run sets the total and the counter once; a worker that starts after
// the first report (a loaded machine, hundreds of workers) must neither
// restart the numbering nor number against what is left of the queue.
TEST_F(WorkerTest, LateWorkerKeepsTheRunsNumbering) {
  WriteFile(dir_.File("quick1.png"), "aaaa");
  WriteFile(dir_.File("slow~sleep-2000~.png"), "bbbb");
  WriteFile(dir_.File("quick2.png"), "cccc");
  JobQueue queue = {dir_.File("quick1.png"), dir_.File("slow~sleep-2000~.png"),
                    dir_.File("quick2.png")};
  {
    platform::LockGuard guard(JobLock);
    JobTotal = 3;
    ReportCount = 0;
    FailedCount = 0;
  }
  std::thread first(CompressWorker, &queue, 1u);
  // Wait for the first report; the first worker then spends two seconds on
  // the slow file while the late one starts and takes the last file.
  for (int i = 0; i < 1000 && Output().find(" (1/3 file) quick1") == std::string::npos; ++i) {
    platform::SleepMilliseconds(10);
  }
  std::thread late(CompressWorker, &queue, 1u);
  late.join();
  first.join();

  EXPECT_EQ(Output(), Report(1, 3, "quick1", 4, 2) + Report(2, 3, "quick2", 4, 2) +
                          Report(3, 3, "slow~sleep-2000~", 4, 2));
  EXPECT_EQ(FailedCount, 0u);
}

}  // namespace
