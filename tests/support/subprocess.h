// Runs a program for a test and collects everything it did.
#ifndef SHRINKDIR_TESTS_SUPPORT_SUBPROCESS_H_
#define SHRINKDIR_TESTS_SUPPORT_SUBPROCESS_H_

#include <string>
#include <utility>
#include <vector>

struct ProcessOptions {
  std::vector<std::string> argv;  // argv[0] is the program's path
  // Variables to set (or replace) in the child's copy of the environment.
  std::vector<std::pair<std::string, std::string>> environment;
  std::string working_directory;  // empty: the test's own
  // Close the read end of standard output once this many bytes have come
  // (0: read all), like `| head -c N`.
  std::size_t close_stdout_after = 0;
};

struct ProcessResult {
  int exit_code = -1;  // the exit status, or -1 when it died by a signal
  int signal = 0;      // the signal that ended it, or 0
  std::string out;     // standard output
  std::string err;     // standard error
};

// Starts the program in a process group of its own (so that an interrupt it
// sends to its group cannot reach the test) and waits for it to end.
ProcessResult RunProcess(const ProcessOptions& options);

// The separator between the entries of PATH.
char PathListSeparator();

// A path from the build, as the programs under test spell it (under Wine a
// POSIX path becomes one on drive Z:).
std::string NativePath(const std::string& path);

// Sets a variable in the test's own environment, for the programs it starts.
void SetEnvironment(const std::string& name, const std::string& value);

// The line end standard output is written with in text mode.
const char* TextLineEnd();

// Whether this platform's file names may hold every byte of name.
bool NameAllowed(const std::string& name);

// The longest path the program's file functions take on this platform.
std::size_t LongestPath();

// Whether the real optipng can be run by the program under test here.
bool RealOptimiserAvailable();

// The signal that ends a writer to a pipe without a reader (0: none here).
int BrokenPipeSignal();

// Whether /bin/sh is there to run test set-up commands.
bool HasPosixShell();

// Why Ctrl-C cannot be tested here, or empty when it can.
std::string InterruptUntestableReason();

#endif  // SHRINKDIR_TESTS_SUPPORT_SUBPROCESS_H_
