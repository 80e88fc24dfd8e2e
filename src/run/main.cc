// shrinkdir DIR_PREFIX THREADS LEVEL: runs optipng over the directory's BMP
// and PNG files with THREADS workers and reports every file's sizes.
#include <iostream>

#include "platform/platform.h"
#include "run/run.h"
#include "worker/worker.h"

int main(int argc, char** argv) {
  // Before anything else, so that every thread and tool runs below normal.
  platform::LowerPriority();

  if (argc != 4) {
    std::cerr << "usage: shrinkdir DIR_PREFIX THREADS LEVEL" << std::endl;
    return kExitUsage;
  }
  platform::UseUserLocale();
  platform::CatchInterrupt();

  const std::string prefix = argv[1];
  const unsigned int threads = ParseCount(argv[2]);
  const unsigned int level = ParseCount(argv[3]);

  std::cout << prefix << std::endl << std::endl;
  const int status = CompressDirectory(prefix, threads, level);
  std::cout.flush();
  if (platform::InterruptRequested()) platform::ExitInterrupted();
  if (OutputLost()) platform::ExitOutputGone();
  return status;
}
