// The built program, run as users run it: with the real optipng on real
// images, and with the stand-in tool for what the real one will not do.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "platform/platform.h"
#include "support/files.h"
#include "support/program.h"
#include "support/subprocess.h"
#include "worker/worker.h"

namespace {

const std::string kUsage = "usage: shrinkdir DIR_PREFIX THREADS LEVEL\n";

const char* kNoRealOptimiser =
    "optipng here is a Linux program, and cmd.exe under Wine does not wait for one";

class EndToEnd : public testing::Test {
 protected:
  struct Options {
    bool standin = false;
    std::string action;          // the stand-in's default action
    std::string working_directory;
    std::size_t close_stdout_after = 0;
  };

  ProcessResult Run(const std::vector<std::string>& arguments, const Options& options) {
    ProcessOptions process;
    process.argv = ShrinkdirCommand(arguments);
    process.working_directory = options.working_directory;
    process.close_stdout_after = options.close_stdout_after;
    if (options.standin) process.environment = StandinEnvironment(log_, options.action);
    return RunProcess(process);
  }

  ProcessResult RunStandin(const std::vector<std::string>& arguments, const std::string& action = "") {
    Options options;
    options.standin = true;
    options.action = action;
    return Run(arguments, options);
  }

  ProcessResult RunReal(const std::vector<std::string>& arguments) { return Run(arguments, {}); }

  // The size optipng itself leaves for these bytes at this level.
  std::uint64_t OptimisedSize(const std::string& data, const std::string& extension, unsigned level) {
    TempDir scratch;
    const std::string file = scratch.File("f" + extension);
    WriteFile(file, data);
    ProcessOptions process;
    process.argv = ToolArguments(level, file);
    process.argv[0] = "/usr/bin/optipng";
    const ProcessResult result = RunProcess(process);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return FileSize(file);
  }

  TempDir dir_;
  TempDir log_;
};

TEST_F(EndToEnd, OneWorkerPrintsEveryReportExactlyWithTheRealOptimiser) {
  if (!RealOptimiserAvailable()) GTEST_SKIP() << kNoRealOptimiser;
  const std::map<std::string, std::string> files = {
      {"alpha.png", MakePng(64, 48, 1)},
      {"beta.b.png", MakePng(40, 40, 2)},
      {"gamma.bmp", MakeBmp(32, 20, 3)},
  };
  for (const auto& [name, data] : files) WriteFile(dir_.File(name), data);
  const std::vector<std::string> order = ListingOrder(dir_);
  ASSERT_EQ(order.size(), 3u);

  std::string expected = Echo(dir_.Prefix()) + Banner("1");
  unsigned k = 0;
  for (const std::string& name : order) {
    const std::string& data = files.at(name);
    const bool bmp = name.size() > 4 && name.substr(name.size() - 4) == ".bmp";
    // A BMP is converted to a new PNG beside it and itself left as it was.
    const std::uint64_t after = bmp ? data.size() : OptimisedSize(data, ".png", 3);
    if (!bmp) {
      ASSERT_LT(after, data.size());
    }
    expected += Report(++k, 3, platform::FileNamePart(name), data.size(), after);
  }

  const ProcessResult result = RunReal({dir_.Prefix(), "1", "3"});
  EXPECT_EQ(result.out, Native(expected));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(FileSize(dir_.File("gamma.bmp")), files.at("gamma.bmp").size());
  EXPECT_TRUE(Exists(dir_.File("gamma.png"))) << "the BMP was handed to the optimiser";
}

// Names the command interpreter would love to interpret.
std::vector<std::string> HostileNames() {
  std::vector<std::string> names = {
      "with space.png",
      "dq\"uote.png",
      "sq'uote.png",
      "$HOME.png",
      "$(touch pwned).png",
      "`touch pwned`.png",
      "semi;colon.png",
      "amp&ersand.png",
      "pi|pe.png",
      "per%PATH%cent.png",
      "bang!.png",
      "star*.png",
      "ques?tion.png",
      "back\\slash.png",
      "\x80\xFE\xFF latin1 \xE9.png",
      "UPPER.PNG",
      std::string(236, 'L') + ".png",  // 240 bytes
      "per%cent%.png",
      "caret^%OS%^.png",
      "(paren) & [bracket] {brace}.png",
      "=equals,comma;.png",
  };
  std::vector<std::string> allowed;
  for (const std::string& name : names) {
    if (NameAllowed(name)) allowed.push_back(name);
  }
  return allowed;
}

TEST_F(EndToEnd, HostileNamesAreOptimisedByTheRealOptimiser) {
  if (!RealOptimiserAvailable()) GTEST_SKIP() << kNoRealOptimiser;
  const std::string png = MakePng(30, 30, 9);
  const std::vector<std::string> names = HostileNames();
  for (const std::string& name : names) WriteFile(dir_.File(name), png);
  const std::uint64_t optimised = OptimisedSize(png, ".png", 2);

  const ProcessResult result = RunReal({dir_.Prefix(), "3", "2"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::vector<ParsedReport> reports = ParseReports(result.out);
  ASSERT_EQ(reports.size(), names.size());
  std::multiset<std::string> reported;
  for (const ParsedReport& report : reports) {
    reported.insert(report.name);
    EXPECT_EQ(report.before, png.size()) << report.name;
    EXPECT_EQ(report.after, optimised) << report.name;
  }
  std::multiset<std::string> expected;
  for (const std::string& name : names) {
    expected.insert(platform::FileNamePart(name));
    EXPECT_EQ(FileSize(dir_.File(name)), optimised) << name;
  }
  EXPECT_EQ(reported, expected);
  // Nothing was executed, here or in the working directory.
  EXPECT_EQ(ListNames(dir_.Prefix()).size(), names.size());
  EXPECT_FALSE(Exists("pwned"));
}

// Every path reaches the tool as it is, and every report names its file
// exactly, with a prefix and with none (names then start the path).
TEST_F(EndToEnd, ToolReceivesEveryPathUnchanged) {
  std::vector<std::string> names = HostileNames();
  for (const char* name : {"new\nline.png", "-option-like.png", "-.bmp"}) {
    if (NameAllowed(name)) names.push_back(name);
  }
  for (const std::string& name : names) WriteFile(dir_.File(name), "data");
  const std::vector<std::string> order = ListingOrder(dir_);

  for (const std::string& prefix : {dir_.Prefix(), std::string()}) {
    SCOPED_TRACE("prefix '" + prefix + "'");
    for (const std::string& name : names) WriteFile(dir_.File(name), "data");
    for (const std::string& call : ListNames(log_.Prefix())) std::remove(log_.File(call).c_str());
    Options options;
    options.standin = true;
    options.working_directory = dir_.path().string();
    const ProcessResult result = Run({prefix, "1", "7"}, options);

    std::string expected = Echo(prefix) + Banner("1");
    unsigned k = 0;
    for (const std::string& name : order) {
      expected += Report(++k, static_cast<unsigned>(names.size()), platform::FileNamePart(name), 4, 2);
    }
    EXPECT_EQ(result.out, Native(expected));
    EXPECT_EQ(result.exit_code, 0) << result.err;

    std::multiset<std::vector<std::string>> calls;
    for (const auto& call : ReadToolCalls(log_)) calls.insert(call);
    std::multiset<std::vector<std::string>> expected_calls;
    for (const std::string& name : names) {
      std::vector<std::string> arguments = ToolArguments(7, prefix + name);
      arguments.erase(arguments.begin());  // the stand-in logs argv[1..]
      expected_calls.insert(arguments);
    }
    EXPECT_EQ(calls, expected_calls);
  }
}

// With no prefix the names are bare, and one may start with '-'.
TEST_F(EndToEnd, EmptyPrefixWorksInTheCurrentDirectory) {
  if (!RealOptimiserAvailable()) GTEST_SKIP() << kNoRealOptimiser;
  const std::string png = MakePng(30, 30, 4);
  WriteFile(dir_.File("-h.png"), png);
  WriteFile(dir_.File("plain.png"), png);
  Options options;
  options.working_directory = dir_.path().string();
  const ProcessResult result = Run({"", "2", "2"}, options);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::uint64_t optimised = OptimisedSize(png, ".png", 2);
  EXPECT_EQ(FileSize(dir_.File("-h.png")), optimised);
  EXPECT_EQ(FileSize(dir_.File("plain.png")), optimised);
  const std::string start = Native(Echo("") + Banner("2"));
  EXPECT_EQ(result.out.substr(0, start.size()), start);
}

// Paths as long as the platform allows, far beyond the old fixed buffers.
TEST_F(EndToEnd, LongPrefixAndLongNames) {
  const std::size_t name_length = std::min<std::size_t>(240, LongestPath() - dir_.Prefix().size());
  std::string sub = dir_.Prefix();
  for (char d = 'a'; sub.size() + 121 + name_length <= LongestPath() && d < 'g'; ++d) {
    sub += std::string(120, d) + "/";
  }
  MakeDirectory(sub);
  const std::string stem(name_length - 4, 'n');
  WriteFile(sub + stem + ".png", "0123456789");

  const ProcessResult result = RunStandin({sub, "1", "2"});
  EXPECT_EQ(result.out, Native(Echo(sub) + Banner("1") + Report(1, 1, stem, 10, 5)));
  EXPECT_EQ(result.exit_code, 0) << result.err;
}

TEST_F(EndToEnd, SizesBeyond32Bits) {
  const std::uint64_t size = 5ULL << 30;
  std::filesystem::path big = dir_.path() / "big.png";
  { WriteFile(big.string(), ""); }
  std::filesystem::resize_file(big, size);  // sparse: takes no real space
  const ProcessResult result = RunStandin({dir_.Prefix(), "1", "2"}, "keep");
  EXPECT_EQ(result.out, Native(Echo(dir_.Prefix()) + Banner("1") + Report(1, 1, "big", size, size)));
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(EndToEnd, EmptyFileReportsHundredPercent) {
  if (!RealOptimiserAvailable()) GTEST_SKIP() << kNoRealOptimiser;
  WriteFile(dir_.File("empty.png"), "");
  // The real optimiser rejects an empty file: reported, and a failure.
  const ProcessResult result = RunReal({dir_.Prefix(), "1", "2"});
  EXPECT_EQ(result.out, Native(Echo(dir_.Prefix()) + Banner("1") + Report(1, 1, "empty", 0, 0)));
  EXPECT_EQ(result.exit_code, 1);
}

// How each kind of trouble ends: standard output, and the exit status.
struct StatusCase {
  const char* what;
  std::vector<std::string> files;   // '/' at the end makes a directory
  std::string threads;
  int exit_code;
  std::vector<std::string> lines;   // expected reports, in queue order (one worker)
};

TEST_F(EndToEnd, ExitStatusFollowsWhatHappened) {
  const StatusCase cases[] = {
      {"all succeed", {"a.png", "b.bmp"}, "1", 0, {"b 8 4", "a 8 4"}},
      {"tool fails", {"a~fail-3~.png"}, "1", 1, {"a~fail-3~ 8 8"}},
      {"tool exits 255", {"a~fail-255~.png"}, "1", 1, {"a~fail-255~ 8 8"}},
      {"tool killed", {"a~signal-9~.png"}, "1", 1, {"a~signal-9~ 8 8"}},
      {"tool deletes the file", {"a~delete~.png"}, "1", 1, {"a~delete~ -"}},
      {"tool grows the file", {"a~grow~.png"}, "1", 0, {"a~grow~ 8 21"}},
      {"directory named like an image", {"x.bmp/"}, "1", 1, {"x -"}},
      {"no workers, files present", {"a.png"}, "0", 1, {}},
      {"no workers, no files", {}, "0", 0, {}},
      {"nothing to do", {"a.txt"}, "4", 0, {}},
  };
  for (const StatusCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    for (const std::string& file : c.files) {
      if (file.back() == '/') {
        MakeDirectory(dir.File(file.substr(0, file.size() - 1)));
      } else {
        WriteFile(dir.File(file), "12345678");
      }
    }
    const ProcessResult result = RunStandin({dir.Prefix(), c.threads, "1"});
    std::string expected = Echo(dir.Prefix()) + Banner(c.threads);
    unsigned k = 0;
    for (const std::string& line : c.lines) {
      std::istringstream words(line);
      std::string name, before, after;
      words >> name >> before >> after;
      expected += before == "-" ? FailedReport(++k, static_cast<unsigned>(c.lines.size()), name)
                                : Report(++k, static_cast<unsigned>(c.lines.size()), name,
                                         std::stoull(before), std::stoull(after));
    }
    EXPECT_EQ(result.out, Native(expected));
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
  }
}

TEST_F(EndToEnd, WrongArgumentCountPrintsUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {dir_.Prefix()}, {dir_.Prefix(), "1"}, {dir_.Prefix(), "1", "2", "3"}};
  for (const auto& arguments : cases) {
    const ProcessResult result = RunStandin(arguments);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, Native(kUsage));
  }
}

TEST_F(EndToEnd, NegativeThreadCountWrapsAndStillRuns) {
  for (const char* name : {"a.png", "b.png", "c.png"}) WriteFile(dir_.File(name), "1234");
  const ProcessResult result = RunStandin({dir_.Prefix(), "-1", "2"});
  EXPECT_EQ(result.out.substr(0, Native(Echo(dir_.Prefix())).size()), Native(Echo(dir_.Prefix())));
  EXPECT_NE(result.out.find(Native(Banner("4294967295"))), std::string::npos);
  EXPECT_EQ(ParseReports(result.out).size(), 3u);
  EXPECT_EQ(result.exit_code, 0);
}

// Hundreds of workers, most starting well after the first reports.
TEST_F(EndToEnd, NumbersRunOneToNOnceEachWithManyWorkers) {
  constexpr unsigned kFiles = 300;
  for (unsigned i = 0; i < kFiles; ++i) {
    WriteFile(dir_.File("f" + std::to_string(i) + (i % 3 ? ".png" : ".bmp")), "abcdef");
  }
  const ProcessResult result = RunStandin({dir_.Prefix(), "300", "1"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::vector<ParsedReport> reports = ParseReports(result.out);
  ASSERT_EQ(reports.size(), kFiles);
  std::set<unsigned> numbers;
  std::set<std::string> names;
  for (const ParsedReport& report : reports) {
    EXPECT_EQ(report.total, kFiles);
    numbers.insert(report.number);
    names.insert(report.name);
    EXPECT_EQ(report.after, 3u);
  }
  EXPECT_EQ(numbers.size(), kFiles);
  EXPECT_EQ(*numbers.begin(), 1u);
  EXPECT_EQ(*numbers.rbegin(), kFiles);
  EXPECT_EQ(names.size(), kFiles);
}

// Ctrl-C at a terminal reaches the whole foreground process group: here the
// first tools send it themselves, and either survive it (finishing their
// file first) or die of it.
TEST_F(EndToEnd, InterruptStopsTheRunPromptly) {
  if (!InterruptUntestableReason().empty()) GTEST_SKIP() << InterruptUntestableReason();
  for (const char* action : {"interrupt", "interrupt-die"}) {
    SCOPED_TRACE(action);
    TempDir dir;
    TempDir log;
    constexpr unsigned kFiles = 12;
    for (unsigned i = 0; i < kFiles; ++i) WriteFile(dir.File("f" + std::to_string(i) + ".png"), "abcd");
    ProcessOptions process;
    process.argv = ShrinkdirCommand({dir.Prefix(), "2", "1"});
    process.environment = StandinEnvironment(log, action);
    const ProcessResult result = RunProcess(process);
    EXPECT_TRUE(result.signal == SIGINT || result.exit_code == 130)
        << "exit " << result.exit_code << " signal " << result.signal;
    // Only the files already running when the interrupt came were started.
    EXPECT_LE(ReadToolCalls(log).size(), 2u);
    EXPECT_LE(ParseReports(result.out).size(), 2u) << result.out << result.err;
  }
}

// One report per file even when only some of the workers can be created:
// a huge stack size and a small address space leave room for a few threads.
TEST_F(EndToEnd, RunGoesOnWhenThreadsCannotBeCreated) {
  if (IsSanitized()) GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
  if (!HasPosixShell()) GTEST_SKIP() << "needs the shell's ulimit to make thread creation fail";
  constexpr unsigned kFiles = 40;
  for (unsigned i = 0; i < kFiles; ++i) WriteFile(dir_.File("f" + std::to_string(i) + ".png"), "abcd");
  ProcessOptions process;
  process.argv = {"/bin/sh", "-c", "ulimit -s 1000000 && ulimit -v 4000000 && exec \"$0\" \"$@\"",
                  SHRINKDIR_EXE, dir_.Prefix(), std::to_string(kFiles), "1"};
  process.environment = StandinEnvironment(log_, "keep");
  const ProcessResult result = RunProcess(process);
  EXPECT_NE(result.err.find("shrinkdir: cannot start worker thread "), std::string::npos)
      << result.err;
  EXPECT_EQ(ParseReports(result.out).size(), kFiles);
  EXPECT_EQ(result.exit_code, 0);
}

}  // namespace
