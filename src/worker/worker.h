// The compression worker: the function every worker thread runs, and the
// pieces of it that have rules of their own.
#ifndef SHRINKDIR_WORKER_WORKER_H_
#define SHRINKDIR_WORKER_WORKER_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "shared/shared.h"

// Takes paths from the front of *queue until it is empty (or the user has
// interrupted the run), runs the optimiser at `level` on each and prints one
// numbered report per path on standard output. Several workers may run it
// at once over one queue; JobTotal must be set before the first starts.
void CompressWorker(JobQueue* queue, unsigned int level);

// True once the reports can no longer be read: a write to standard output
// failed, or its reader has gone. Callers hold JobLock or run alone.
bool OutputLost();

// The optimiser's argument vector for one file. A path that begins with '-'
// follows "--" so that the tool cannot take it for an option.
std::vector<std::string> ToolArguments(unsigned int level, const std::string& path);

// The command line handed to the command interpreter for those arguments:
// every argument as it is but the path, which is quoted so that it reaches
// the tool unchanged.
std::string ToolCommandLine(const std::vector<std::string>& arguments);

// after / before * 100, computed in extended precision and rounded once;
// 100 when both are 0, infinity when only before is.
double Ratio(std::uint64_t before, std::uint64_t after);

// The report's two lines for one file, as printed.
void WriteHeaderLine(std::ostream& out, unsigned int number, unsigned int total,
                     const std::string& name);
void WriteResultLine(std::ostream& out, std::uint64_t before, std::uint64_t after);
void WriteFailureLine(std::ostream& out);

#endif  // SHRINKDIR_WORKER_WORKER_H_
