// Wildcard matching and the directory search built on it.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "support/files.h"

namespace {

struct MatchCase {
  const char* name;
  const char* pattern;
  bool matches;
};

TEST(MatchesPattern, FollowsWildcardRules) {
  const MatchCase cases[] = {
      {"a.png", "*.png", true},
      {"A.PNG", "*.png", true},           // letters without regard to case
      {"a.Png", "*.pNG", true},
      {".png", "*.png", true},            // '*' may match nothing
      {"a.pngx", "*.png", false},
      {"a.pn", "*.png", false},
      {"apng", "*.png", false},
      {"a.png.png", "*.png", true},       // needs backtracking
      {"x.bmp", "*.bmp", true},
      {"pics1.bmp", "pics*.bmp", true},   // prefix without a trailing separator
      {"pic.bmp", "pics*.bmp", false},
      {"ab.png", "a?.png", true},
      {"a.png", "a?.png", false},         // '?' is exactly one character
      {"abc.png", "a?.png", false},
      {"", "*", true},
      {"", "?", false},
      {"x", "", false},
      {"\xC3\xA9.png", "*.png", true},    // bytes above 0x7F match as they are
      {"\xC3\xA9.png", "\xC3\x89*", false},  // only ASCII letters fold case
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*c", false},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(platform::MatchesPattern(c.name, c.pattern), c.matches)
        << "name '" << c.name << "' pattern '" << c.pattern << "'";
  }
}

std::vector<std::string> Search(const std::string& pattern) {
  std::vector<std::string> names;
  platform::DirectorySearch search(pattern);
  std::string name;
  while (search.Next(&name)) names.push_back(name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DirectorySearch, YieldsMatchingNamesWithoutDirectory) {
  TempDir dir;
  // x.pngx and b.bmpx match through their 8.3 short names on Windows.
  for (const char* name : {"a.png", "B.PNG", "x.pngx", "d.bmp", "b.bmpx", "pics1.png", "e"}) {
    WriteFile(dir.File(name), "x");
  }
  MakeDirectory(dir.File("sub.png"));

  EXPECT_EQ(Search(dir.Prefix() + "*.png"),
            (std::vector<std::string>{"B.PNG", "a.png", "pics1.png", "sub.png"}));
  EXPECT_EQ(Search(dir.Prefix() + "*.bmp"), std::vector<std::string>{"d.bmp"});
  EXPECT_EQ(Search(dir.Prefix() + "pics*.png"), std::vector<std::string>{"pics1.png"});
  // Without a trailing separator the last component becomes part of the
  // pattern, and the parent directory is searched.
  EXPECT_EQ(Search(dir.File("pics") + "*.png"), std::vector<std::string>{"pics1.png"});
}

TEST(DirectorySearch, MissingDirectoryYieldsNothing) {
  TempDir dir;
  EXPECT_TRUE(Search(dir.File("missing") + "/*.png").empty());
}

}  // namespace
