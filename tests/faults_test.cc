// Trouble during a run: files that change under the program, a reader that
// goes away, and Ctrl-C while several tools run.
#include <gtest/gtest.h>

#include <csignal>

#include "platform/platform.h"
#include "support/files.h"
#include "support/program.h"
#include "support/subprocess.h"

namespace {

class Faults : public testing::Test {
 protected:
  // Runs shrinkdir over dir with the stand-in, each file's action in its name.
  ProcessResult Run(const TempDir& dir, const std::string& threads) {
    ProcessOptions process;
    process.argv = ShrinkdirCommand({dir.Prefix(), threads, "1"});
    process.environment = StandinEnvironment(log_, "");
    return RunProcess(process);
  }

  TempDir dir_;
  TempDir log_;
};

// The BMP is processed first (one worker); its tool then removes the PNGs
// or puts directories in their place, after they were listed.
TEST_F(Faults, FilesChangeBetweenListingAndProcessing) {
  for (const char* action : {"vanish-others", "dir-others"}) {
    SCOPED_TRACE(action);
    TempDir dir;
    WriteFile(dir.File(std::string("first~") + action + "~.bmp"), "12345678");
    WriteFile(dir.File("victim1.png"), "12345678");
    WriteFile(dir.File("victim2.png"), "12345678");
    const ProcessResult result = Run(dir, "1");

    const std::vector<ParsedReport> reports = ParseReports(result.out);
    ASSERT_EQ(reports.size(), 3u) << result.out;
    EXPECT_TRUE(reports[0].opened);
    EXPECT_EQ(reports[0].after, 8u);
    for (std::size_t i = 1; i < 3; ++i) {
      EXPECT_FALSE(reports[i].opened) << reports[i].name;  // "Can't open file."
      EXPECT_EQ(reports[i].number, i + 1);
    }
    EXPECT_EQ(result.exit_code, 1);
  }
}

// As in `shrinkdir dir/ 2 2 | head -n 4`: the reader goes away after the
// echo and the banner, before the first report, so nothing more can be
// read and no tool may start. (Writing would only fail at the first report,
// after the tools had run.)
TEST_F(Faults, ReaderOfStandardOutputGoesAway) {
  if (!HasPosixShell()) GTEST_SKIP() << "the Windows test runner captures output in files, not pipes";
  for (int i = 0; i < 6; ++i) WriteFile(dir_.File("f" + std::to_string(i) + ".png"), "abcd");
  ProcessOptions process;
  process.argv = ShrinkdirCommand({dir_.Prefix(), "2", "1"});
  process.environment = StandinEnvironment(log_, "");
  process.close_stdout_after = Native(Echo(dir_.Prefix()) + Banner("2")).size();
  const ProcessResult result = RunProcess(process);
  EXPECT_TRUE(ReadToolCalls(log_).empty()) << ReadToolCalls(log_).size() << " tools started";
  EXPECT_EQ(result.signal, BrokenPipeSignal()) << "exit " << result.exit_code;
  for (int i = 0; i < 6; ++i) EXPECT_EQ(FileSize(dir_.File("f" + std::to_string(i) + ".png")), 4u);
}

// Ctrl-C while slow tools run on several files: the program waits for them
// and writes no file itself, so every file is either as it was or as the
// tool left it, never cut short.
TEST_F(Faults, InterruptLeavesNoFileHalfWritten) {
  if (!InterruptUntestableReason().empty()) GTEST_SKIP() << InterruptUntestableReason();
  const std::string data(3000, 'x');
  WriteFile(dir_.File("a~interrupt~.png"), data);
  for (int i = 0; i < 5; ++i) WriteFile(dir_.File("s" + std::to_string(i) + "~sleep-400~.png"), data);
  const ProcessResult result = Run(dir_, "4");
  EXPECT_TRUE(result.signal == SIGINT || result.exit_code == 130)
      << "exit " << result.exit_code << " signal " << result.signal;
  for (const std::string& name : ListNames(dir_.Prefix())) {
    const std::uint64_t size = FileSize(dir_.File(name));
    EXPECT_TRUE(size == data.size() || size == data.size() / 2) << name << " has " << size;
  }
  EXPECT_LT(ReadToolCalls(log_).size(), 6u);
}

// Many tools at once, each deleting its own file: no file may be held open
// by another worker's tool (on Windows, a handle inherited while it was
// being measured would make the deletion fail).
TEST_F(Faults, ToolsRunningTogetherCanDeleteTheirFiles) {
  constexpr int kFiles = 60;
  for (int i = 0; i < kFiles; ++i) {
    WriteFile(dir_.File("f" + std::to_string(i) + "~delete~.png"), std::string(5000, 'x'));
  }
  const ProcessResult result = Run(dir_, "12");
  const std::vector<ParsedReport> reports = ParseReports(result.out);
  EXPECT_EQ(reports.size(), static_cast<std::size_t>(kFiles));
  for (const ParsedReport& report : reports) EXPECT_FALSE(report.opened) << report.name;
  EXPECT_TRUE(ListNames(dir_.Prefix()).empty());
}

}  // namespace
