#include "run/run.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <vector>

#include "thread/thread.h"
#include "worker/worker.h"

namespace {

using WorkerLauncher = Thread<void (*)(JobQueue*, unsigned int), void>;

void AppendMatches(const std::string& prefix, const char* wildcard, JobQueue* queue) {
  platform::DirectorySearch search(prefix + wildcard);
  std::string name;
  while (search.Next(&name)) queue->push_back(prefix + name);
}

}  // namespace

unsigned int ParseCount(const char* text) {
  return static_cast<unsigned int>(static_cast<unsigned long long>(std::strtoll(text, nullptr, 10)));
}

void ListImageFiles(const std::string& prefix, JobQueue* queue) {
  queue->clear();
  AppendMatches(prefix, "*.bmp", queue);
  AppendMatches(prefix, "*.png", queue);
}

int CompressDirectory(const std::string& prefix, unsigned int threads, unsigned int level) {
  JobQueue queue;
  ListImageFiles(prefix, &queue);
  const unsigned int files = static_cast<unsigned int>(queue.size());

  auto launcher = std::make_unique<WorkerLauncher>(CompressWorker);
  launcher->SetArgs(&queue, level);
  {
    platform::LockGuard guard(JobLock);
    ReportCount = 0;
    JobTotal = files;
    FailedCount = 0;
  }

  std::cout << "Begin Compression with " << threads << " thread.\n" << std::endl;

  // A worker beyond the number of files would only wait and end.
  const unsigned int wanted = std::min(threads, files);
  std::vector<void*> handles;
  handles.reserve(wanted);
  for (unsigned int i = 0; i < wanted; ++i) {
    void* handle = launcher->Start();
    if (handle == nullptr) {
      const std::string reason = platform::LastErrorText();
      platform::LockGuard guard(JobLock);
      std::cerr << "shrinkdir: cannot start worker thread " << i + 1 << " of " << wanted << ": "
                << reason << "; going on with " << i << std::endl;
      break;
    }
    handles.push_back(handle);
  }

  // The queue must outlive every worker, so wait for all of them, however
  // they ended, before anything is released.
  platform::WaitForAllThreads(handles.data(), handles.size());
  launcher.reset();

  platform::LockGuard guard(JobLock);
  const bool all_reported = ReportCount == JobTotal;
  return all_reported && FailedCount == 0 ? kExitOk : kExitFailed;
}
