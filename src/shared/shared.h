// State shared by the run and its workers.
#ifndef SHRINKDIR_SHARED_SHARED_H_
#define SHRINKDIR_SHARED_SHARED_H_

#include <list>
#include <string>

#include "platform/platform.h"

// Full paths of the files still to process, each the directory prefix
// followed directly by an entry name. Owned by the run; the workers take
// from the front while holding JobLock.
using JobQueue = std::list<std::string>;

// Guards the job queue, the counters below and standard output. Held only
// for short steps, never while a file is measured or the tool runs.
extern platform::Lock JobLock;

// Reports printed so far in this run; each report shows the new value.
// Guarded by JobLock.
extern unsigned int ReportCount;

// The number of files listed for this run: the N of every report. Set by the
// run before any worker starts, so that workers that start late still number
// against the whole run. Guarded by JobLock.
extern unsigned int JobTotal;

// Files that could not be measured or that the tool did not process
// successfully. Guarded by JobLock.
extern unsigned int FailedCount;

#endif  // SHRINKDIR_SHARED_SHARED_H_
