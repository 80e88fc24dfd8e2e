// Run control: one pass of the optimiser over a directory.
#ifndef SHRINKDIR_RUN_RUN_H_
#define SHRINKDIR_RUN_RUN_H_

#include <string>

#include "shared/shared.h"

// Exit statuses of the program.
constexpr int kExitOk = 0;          // every file measured and optimised
constexpr int kExitFailed = 1;      // some file failed or was left unprocessed
constexpr int kExitUsage = 2;       // wrong number of arguments

// Parses a number the way atol does (leading white space, a sign, digits up
// to the first non-digit; 0 when there are none) and wraps it to 32 bits, so
// that -1 gives 4294967295 on every platform.
unsigned int ParseCount(const char* text);

// Replaces the contents of *queue with every entry of the directory whose
// names match prefix + "*.bmp", then every one matching prefix + "*.png",
// each as prefix followed directly by the entry's name, in the order the
// directory search yields them.
void ListImageFiles(const std::string& prefix, JobQueue* queue);

// Lists the files, prints the banner, runs up to `threads` workers (never
// more than there are files) at `level` and waits for all of them. Returns
// kExitOk or kExitFailed. Main thread only.
int CompressDirectory(const std::string& prefix, unsigned int threads, unsigned int level);

#endif  // SHRINKDIR_RUN_RUN_H_
