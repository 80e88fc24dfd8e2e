// The report lines, and the command line that carries a path to the tool.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "platform/platform.h"
#include "support/files.h"
#include "support/subprocess.h"
#include "worker/worker.h"

namespace {

struct ResultCase {
  std::uint64_t before;
  std::uint64_t after;
  const char* line;
};

TEST(Report, ResultLineIsExactToTheByte) {
  const ResultCase cases[] = {
      {900, 600, "900 \x81\xA8 600 byte (66.6667 %)\n\n"},
      {1000, 1000, "1000 \x81\xA8 1000 byte (100 %)\n\n"},
      {1000, 500, "1000 \x81\xA8 500 byte (50 %)\n\n"},
      {0, 0, "0 \x81\xA8 0 byte (100 %)\n\n"},
      {0, 7, "0 \x81\xA8 7 byte (inf %)\n\n"},
      {3, 1, "3 \x81\xA8 1 byte (33.3333 %)\n\n"},
      {300, 700, "300 \x81\xA8 700 byte (233.333 %)\n\n"},
      {1, 1234567, "1 \x81\xA8 1234567 byte (1.23457e+08 %)\n\n"},
      // 64-bit sizes, beyond 4 GiB.
      {6000000000ULL, 3000000000ULL, "6000000000 \x81\xA8 3000000000 byte (50 %)\n\n"},
  };
  for (const ResultCase& c : cases) {
    std::ostringstream out;
    WriteResultLine(out, c.before, c.after);
    EXPECT_EQ(out.str(), c.line);
  }
}

TEST(Report, HeaderAndFailureLines) {
  std::ostringstream out;
  WriteHeaderLine(out, 5, 12, "photo");
  WriteFailureLine(out);
  EXPECT_EQ(out.str(), " (5/12 file) photo\nCan't open file.\n\n");
}

TEST(Report, RatioIsRoundedOnceFromExtendedPrecision) {
  // 1/3 * 100 rounded once; a double division then multiplication would
  // give 33.333333333333336.
  EXPECT_EQ(Ratio(3, 1), 33.333333333333333);
  EXPECT_EQ(Ratio(900, 600), 200.0 / 3.0);
}

TEST(ToolArguments, CarryLevelAndPath) {
  EXPECT_EQ(ToolArguments(7, "d/a.png"),
            (std::vector<std::string>{"optipng", "-q", "-np", "-nb", "-nc", "-i0", "-o7", "d/a.png"}));
  EXPECT_EQ(ToolArguments(0, "a.png")[6], "-o0");
  // The level goes out as a signed decimal.
  EXPECT_EQ(ToolArguments(4294967295u, "a.png")[6], "-o-1");
  // A name that looks like an option is marked as a file name.
  EXPECT_EQ(ToolArguments(2, "-h.png"),
            (std::vector<std::string>{"optipng", "-q", "-np", "-nb", "-nc", "-i0", "-o2", "--", "-h.png"}));
}

TEST(ToolCommandLine, QuotesOnlyThePath) {
  EXPECT_EQ(ToolCommandLine(ToolArguments(2, "dir/a b.png")),
            "optipng -q -np -nb -nc -i0 -o2 \"dir/a b.png\"");
}

TEST(QuoteForCommandLine, FollowsTheCRuntimeSplittingRules) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "\"plain\""},
      {"a b", "\"a b\""},
      {"", "\"\""},
      {"C:\\dir\\a.png", "\"C:\\dir\\a.png\""},     // backslashes alone stay single
      {"say \"hi\"", "\"say \\\"hi\\\"\""},         // a quote is escaped
      {"dir\\", "\"dir\\\\\""},                     // doubled before the closing quote
      {"a\\\"b", "\"a\\\\\\\"b\""},             // and before an escaped quote
      {"100%", "\"100%\""},
  };
  for (const auto& [argument, quoted] : cases) {
    EXPECT_EQ(platform::QuoteForCommandLine(argument), quoted) << argument;
  }
}

// Runs each command line through the real interpreter (or directly, where
// the interpreter would alter the path) with the stand-in tool, which logs
// the arguments it received.
TEST(ToolCommandLine, ToolReceivesThePathUnchanged) {
  TempDir dir;
  TempDir log;
  SetEnvironment("SHRINKDIR_STANDIN_LOG_DIR", log.path().string());
  SetEnvironment("SHRINKDIR_STANDIN_ACTION", "keep");
  const std::string paths[] = {
      "plain.png",
      "a b.png",
      "$(touch " + dir.File("pwned") + ").png",
      "`touch " + dir.File("pwned") + "`.png",
      "$HOME.png",
      "${HOME}.png",
      "quote\"d.png",
      "back\\slash\\.png",
      "trailing\\",
      "semi;colon&amp|pipe>gt<lt^caret.png",
      "percent%PATH%!bang!*star?q.png",
      "paren(thes)es & spaces.png",
      "%%double%%.png",
      "single'quote.png",
      "new\nline.png",
      "tab\there.png",
      "\x80\xFF\xC3(.png",
  };
  std::vector<std::string> expected;
  for (const std::string& path : paths) {
    std::vector<std::string> arguments = ToolArguments(3, path);
    arguments[0] = NativePath(std::string(STANDIN_DIR) + "/optipng");
    const platform::CommandResult result =
        platform::InterpreterKeeps(path) ? platform::RunCommand(ToolCommandLine(arguments))
                                         : platform::RunDirect(arguments);
    ASSERT_TRUE(result.Succeeded()) << ToolCommandLine(arguments) << "\nstarted " << result.started
                                    << ", exit " << result.exit_code;
    const std::vector<std::string> names = ListNames(log.Prefix());
    ASSERT_EQ(names.size(), 1u) << ToolCommandLine(arguments);
    const std::string logged = ReadFile(log.File(names[0]));
    std::remove(log.File(names[0]).c_str());
    EXPECT_EQ(logged, "2:-q\n3:-np\n3:-nb\n3:-nc\n3:-i0\n3:-o3\n" + std::to_string(path.size()) +
                          ":" + path + "\n");
  }
  EXPECT_FALSE(Exists(dir.File("pwned")));
}

}  // namespace
