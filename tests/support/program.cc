#include "support/program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "platform/platform.h"
#include "support/subprocess.h"
#include "worker/worker.h"

namespace {

const std::string kArrow = " \x81\xA8 ";

}  // namespace

std::vector<std::string> ShrinkdirCommand(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {NativePath(SHRINKDIR_EXE)};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
}


bool IsSanitized() { return std::string(SHRINKDIR_SANITIZE) != ""; }

// Output as written in text mode on this platform.
std::string Native(const std::string& text) {
  std::string native;
  for (const char c : text) {
    if (c == '\n') {
      native += TextLineEnd();
    } else {
      native += c;
    }
  }
  return native;
}

std::string Echo(const std::string& prefix) { return prefix + "\n\n"; }
std::string Banner(const std::string& threads) {
  return "Begin Compression with " + threads + " thread.\n\n";
}
std::string Report(unsigned k, unsigned n, const std::string& name, std::uint64_t before,
                   std::uint64_t after) {
  std::ostringstream out;
  WriteHeaderLine(out, k, n, name);
  WriteResultLine(out, before, after);
  return out.str();
}
std::string FailedReport(unsigned k, unsigned n, const std::string& name) {
  std::ostringstream out;
  WriteHeaderLine(out, k, n, name);
  WriteFailureLine(out);
  return out.str();
}

// Parses the reports that follow the echo and the banner. Names must not
// hold line ends.
std::vector<ParsedReport> ParseReports(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  std::vector<ParsedReport> reports;
  for (std::size_t i = 4; i + 2 < lines.size() + 1; i += 3) {
    ParsedReport report;
    const std::string& header = lines[i];
    const std::size_t slash = header.find('/');
    const std::size_t file = header.find(" file) ");
    report.number = static_cast<unsigned>(std::stoul(header.substr(2, slash - 2)));
    report.total = static_cast<unsigned>(std::stoul(header.substr(slash + 1, file - slash - 1)));
    report.name = header.substr(file + 7);
    const std::string& result = lines.at(i + 1);
    report.opened = result != "Can't open file.";
    if (report.opened) {
      const std::size_t arrow = result.find(kArrow);
      report.before = std::stoull(result.substr(0, arrow));
      report.after = std::stoull(result.substr(arrow + kArrow.size()));
    }
    EXPECT_EQ(lines.at(i + 2), "") << "after report " << report.number;
    reports.push_back(report);
  }
  return reports;
}

// The argument vectors the stand-in logged, one per call, in no order.
std::vector<std::vector<std::string>> ReadToolCalls(const TempDir& log) {
  std::vector<std::vector<std::string>> calls;
  for (const std::string& name : ListNames(log.Prefix())) {
    const std::string record = ReadFile(log.File(name));
    std::vector<std::string> arguments;
    for (std::size_t at = 0; at < record.size();) {
      const std::size_t colon = record.find(':', at);
      const std::size_t length = std::stoul(record.substr(at, colon - at));
      arguments.push_back(record.substr(colon + 1, length));
      at = colon + 1 + length + 1;
    }
    calls.push_back(arguments);
  }
  return calls;
}

// The directory's entries that match, in listing order: BMPs, then PNGs.
std::vector<std::string> ListingOrder(const TempDir& dir) {
  std::vector<std::string> order;
  for (const char* pattern : {"*.bmp", "*.png"}) {
    for (const std::string& name : ListNames(dir.Prefix())) {
      if (platform::MatchesPattern(name, pattern)) order.push_back(name);
    }
  }
  return order;
}

// The environment that puts the stand-in tool first on PATH, logging to log
// and doing action (when not empty) unless a file's name says otherwise.
std::vector<std::pair<std::string, std::string>> StandinEnvironment(const TempDir& log,
                                                                    const std::string& action) {
  const char* path = std::getenv("PATH");
  std::vector<std::pair<std::string, std::string>> environment = {
      {"PATH", NativePath(STANDIN_DIR) + PathListSeparator() + (path ? path : "")},
      {"SHRINKDIR_STANDIN_LOG_DIR", log.path().string()}};
  if (!action.empty()) environment.emplace_back("SHRINKDIR_STANDIN_ACTION", action);
  return environment;
}

