// Running the built shrinkdir and reading what it printed and did.
#ifndef SHRINKDIR_TESTS_SUPPORT_PROGRAM_H_
#define SHRINKDIR_TESTS_SUPPORT_PROGRAM_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/files.h"

// Whether this is a sanitizer build.
bool IsSanitized();

// The command that runs the built program with these arguments.
std::vector<std::string> ShrinkdirCommand(const std::vector<std::string>& arguments);

// The environment that puts the stand-in tool first on PATH, logging to log
// and doing action (when not empty) unless a file's name says otherwise.
std::vector<std::pair<std::string, std::string>> StandinEnvironment(const TempDir& log,
                                                                    const std::string& action);

// The argument vectors the stand-in logged, one per call, in no order.
std::vector<std::vector<std::string>> ReadToolCalls(const TempDir& log);

// Text as the program writes it in text mode on this platform.
std::string Native(const std::string& text);

// The expected output, with "\n" line ends (pass it through Native).
std::string Echo(const std::string& prefix);
std::string Banner(const std::string& threads);
std::string Report(unsigned k, unsigned n, const std::string& name, std::uint64_t before,
                   std::uint64_t after);
std::string FailedReport(unsigned k, unsigned n, const std::string& name);

// One report as parsed back from the output.
struct ParsedReport {
  unsigned number = 0;
  unsigned total = 0;
  std::string name;
  bool opened = false;
  std::uint64_t before = 0;
  std::uint64_t after = 0;
};

// Parses the reports that follow the echo and the banner. Names must not
// hold line ends.
std::vector<ParsedReport> ParseReports(const std::string& out);

// The directory's entries that the program lists, in its order: BMPs, then PNGs.
std::vector<std::string> ListingOrder(const TempDir& dir);

#endif  // SHRINKDIR_TESTS_SUPPORT_PROGRAM_H_
