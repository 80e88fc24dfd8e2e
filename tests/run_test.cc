// Parsing the arguments and listing the directory into the queue.
#include <gtest/gtest.h>

#include "run/run.h"
#include "support/files.h"

namespace {

TEST(ParseCount, FollowsAtolAndWrapsTo32Bits) {
  const std::pair<const char*, unsigned int> cases[] = {
      {"4", 4},          {"  12", 12},      {"+3", 3},       {"7x", 7},
      {"x7", 0},         {"", 0},           {"-1", 4294967295u}, {"-2", 4294967294u},
      {"4294967296", 0}, {"4294967297", 1}, {"0", 0},        {"99999999999999999999", 4294967295u},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseCount(text), value) << text;
}

TEST(ListImageFiles, BmpEntriesFirstThenPngEntries) {
  TempDir dir;
  WriteFile(dir.File("b.png"), "x");
  WriteFile(dir.File("a.bmp"), "x");
  WriteFile(dir.File("c.txt"), "x");
  MakeDirectory(dir.File("x.bmp"));
  JobQueue queue = {"stale entry"};
  ListImageFiles(dir.Prefix(), &queue);
  ASSERT_EQ(queue.size(), 3u);
  const std::vector<std::string> got(queue.begin(), queue.end());
  // The two BMP matches come in search order, then the PNG.
  EXPECT_TRUE((got[0] == dir.File("a.bmp") && got[1] == dir.File("x.bmp")) ||
              (got[0] == dir.File("x.bmp") && got[1] == dir.File("a.bmp")));
  EXPECT_EQ(got[2], dir.File("b.png"));
}

TEST(ListImageFiles, PrefixWithoutSeparatorIsPrependedAsItIs) {
  TempDir dir;
  WriteFile(dir.File("pics1.png"), "x");
  WriteFile(dir.File("other.png"), "x");
  JobQueue queue;
  ListImageFiles(dir.File("pics"), &queue);
  EXPECT_EQ(queue, JobQueue{dir.File("pics") + "pics1.png"});
}

}  // namespace
