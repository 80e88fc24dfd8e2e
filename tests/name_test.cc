// The report name: a path's last component without its extension.
#include <gtest/gtest.h>

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

}  // namespace
