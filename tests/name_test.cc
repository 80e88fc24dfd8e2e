// The report name: a path's last component without its extension.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"

namespace {

struct NameCase {
  std::string path;
  std::string name;
};

TEST(FileNamePart, FollowsTheNameRule) {
  const NameCase cases[] = {
      {"C:\\pics\\a.b.png", "a.b"},
      {"C:\\pics\\photo.bmp", "photo"},
      {"/tmp/pics/photo.png", "photo"},
      {"dir/sub\\x.png", "x"},          // either separator
      {"photo.png", "photo"},
      {"C:photo.png", "photo"},         // a drive's colon
      {"ab:c.png", "ab:c"},             // any other colon is ordinary
      {"/:x.png", "x"},                 // a colon in second place, after a separator too
      {"dir.d/name", "name"},           // a dot before the last component is no extension
      {"dir/.png", ""},
      {"dir/a.", "a"},
      {"dir/", ""},
      {"", ""},
      {"dir/a b $(x).png", "a b $(x)"},
      {"dir/\xC3\xA9t\xC3\xA9.png", "\xC3\xA9t\xC3\xA9"},
      {std::string(300, 'd') + "/" + std::string(200, 'n') + ".png",
       std::string(200, 'n')},          // the whole path counts, however long
      {"dir/" + std::string(300, 'n') + ".png", std::string(255, 'n')},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(platform::FileNamePart(c.path), c.name) << "path '" << c.path << "'";
  }
}

// In Shift_JIS the second byte of a double-byte character may be 0x5C, the
// backslash. The test entry FileNamePart.ShiftJis runs this in such a locale
// (code page 932 on Windows); elsewhere it is skipped.
TEST(FileNamePart, DoubleByteCharactersHideNoSeparators) {
  platform::UseUserLocale();
  if (std::getenv("SHRINKDIR_DOUBLE_BYTE_LOCALE") != nullptr) {
    ASSERT_EQ(platform::CharacterLength("\x95\x5C", 2), 2u) << "0x95 0x5C is one character here";
  } else if (platform::CharacterLength("\x95\x5C", 2) != 2) {
    GTEST_SKIP() << "needs a double-byte locale, as the FileNamePart.ShiftJis entry sets";
  }
  const NameCase cases[] = {
      {"dir\\\x95\x5C.png", "\x95\x5C"},             // the character, not a separator
      {"\x95\x5C\x95\x5C.png", "\x95\x5C\x95\x5C"},
      {"C:\\pics\\\x95\x5Cx.b.png", "\x95\x5Cx.b"},
      {"dir/\x95\x5C", "\x95\x5C"},
      {"dir\\x\\", ""},                           // a plain backslash still separates
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(platform::FileNamePart(c.path), c.name) << "path '" << c.path << "'";
  }
}

}  // namespace
