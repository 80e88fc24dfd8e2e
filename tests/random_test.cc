// Randomized runs over directories of random entries, with a tool that
// misbehaves in every way, checked against what must hold whatever happens.
//
// Reproduce a failure with SHRINKDIR_SEED=<the seed it printed>; set
// SHRINKDIR_ROUNDS for a longer search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "platform/platform.h"
#include "support/files.h"
#include "support/program.h"
#include "support/subprocess.h"
#include "worker/worker.h"

namespace {

unsigned EnvironmentNumber(const char* name, unsigned fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? static_cast<unsigned>(std::strtoul(value, nullptr, 10))
                                            : fallback;
}

struct Entry {
  std::string name;
  bool directory = false;
  bool listed = false;      // matches *.bmp or *.png
  std::string action;       // the stand-in's, from the name
  std::string data;
};

class RandomDirectory {
 public:
  explicit RandomDirectory(std::uint32_t seed) : random_(seed) {}

  unsigned Below(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random_); }

  // A name of random bytes: anything but '/', NUL and '~' (which marks the
  // stand-in's action), restricted further to what this platform allows.
  std::string RandomStem(std::size_t length) {
    std::string stem;
    while (stem.size() < length) {
      const char c = static_cast<char>(1 + Below(255));
      if (c == '/' || c == '~') continue;
      const std::string candidate = stem + c;
      if (NameAllowed(candidate)) stem = candidate;
    }
    if (!HasPosixShell()) {
      // Windows drops trailing dots and spaces from names, and Wine stores
      // each character above 0x7F as two bytes of UTF-8, within 255.
      if (stem.back() == '.' || stem.back() == ' ') stem.back() = '_';
      while (stem.size() + std::count_if(stem.begin(), stem.end(), [](char c) { return c < 0; }) > length) {
        stem.pop_back();
      }
      if (stem.empty()) stem = "_";
    }
    return stem;
  }

  std::string RandomAction() {
    switch (Below(7)) {
      case 0: return "fail-" + std::to_string(1 + Below(255));
      case 1: return "delete";
      case 2: return "grow";
      case 3: return "sleep-" + std::to_string(Below(40));
      case 4: return Below(2) ? "signal-9" : "signal-15";
      case 5: return "keep";
      default: return "shrink";
    }
  }

  std::string RandomContents() {
    switch (Below(4)) {
      case 0: return MakePng(1 + Below(20), 1 + Below(20), Below(1000));
      case 1: return MakeBmp(1 + Below(20), 1 + Below(20), Below(1000));
      case 2: return "";
      default: {
        std::string junk(Below(3000), '\0');
        for (char& c : junk) c = static_cast<char>(Below(256));
        return junk;
      }
    }
  }

  std::vector<Entry> Make(const TempDir& dir, std::size_t longest_name) {
    static const char* const kListed[] = {".png", ".PNG", ".bmp", ".Bmp"};
    static const char* const kUnlisted[] = {".pngx", ".bm", "", ".png.txt", ".bmpx"};
    std::vector<Entry> entries;
    std::set<std::string> taken;  // names compared without case, as Windows does
    const unsigned count = Below(40);
    while (entries.size() < count) {
      Entry entry;
      entry.listed = Below(4) != 0;
      entry.directory = Below(10) == 0;
      const std::string ending = entry.listed ? kListed[Below(4)] : kUnlisted[Below(5)];
      if (!entry.directory) entry.action = RandomAction();
      const std::string tag = entry.action.empty() ? "" : "~" + entry.action + "~";
      const std::size_t room = longest_name - tag.size() - ending.size();
      entry.name = RandomStem(1 + Below(static_cast<unsigned>(std::min<std::size_t>(room, 200)))) +
                   tag + ending;
      std::string folded = entry.name;
      for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (!taken.insert(folded).second) continue;
      if (entry.directory) {
        MakeDirectory(dir.File(entry.name));
      } else {
        entry.data = RandomContents();
        WriteFile(dir.File(entry.name), entry.data);
      }
      entries.push_back(entry);
    }
    return entries;
  }

 private:
  std::mt19937 random_;
};

// What the report of one listed entry must say, and whether it succeeds.
struct Expected {
  std::string block;  // the report without its header's number
  bool ok = false;
  bool tool_runs = false;
  std::uint64_t size_after = 0;
};

Expected Predict(const Entry& entry, unsigned total, const std::string& path) {
  Expected expected;
  const std::string header_rest =
      "/" + std::to_string(total) + " file) " + platform::FileNamePart(path) + "\n";
  const std::uint64_t before = entry.data.size();
  if (entry.directory) {
    expected.block = header_rest + "Can't open file.\n\n";
    return expected;
  }
  expected.tool_runs = true;
  const std::string& a = entry.action;
  if (a == "delete") {
    expected.block = header_rest + "Can't open file.\n\n";
    return expected;
  }
  std::uint64_t after = before;
  if (a == "shrink" || a.rfind("sleep-", 0) == 0) after = before / 2;
  if (a == "grow") after = before * 2 + 5;
  expected.ok = a == "shrink" || a == "grow" || a == "keep" || a.rfind("sleep-", 0) == 0;
  expected.size_after = after;
  std::string result = Report(0, 0, "", before, after);
  result = result.substr(result.find('\n') + 1);  // the result line alone
  expected.block = header_rest + result;
  return expected;
}

// Consumes the reports from out, in print order: each must carry the next
// number and match exactly one still-unclaimed prediction.
void CheckReports(std::string out, std::vector<Expected> expected) {
  std::size_t at = 0;
  unsigned k = 0;
  while (at < out.size()) {
    const std::string number = " (" + std::to_string(++k);
    ASSERT_EQ(out.compare(at, number.size(), number), 0) << "report " << k << " at byte " << at;
    at += number.size();
    auto match = std::find_if(expected.begin(), expected.end(), [&](const Expected& e) {
      return out.compare(at, e.block.size(), e.block) == 0;
    });
    ASSERT_NE(match, expected.end()) << "report " << k << " matches no listed entry: "
                                     << out.substr(at, 300);
    at += match->block.size();
    expected.erase(match);
  }
  EXPECT_TRUE(expected.empty()) << expected.size() << " entries got no report";
}

TEST(Randomized, EveryListedEntryGetsExactlyOneTrueReport) {
  const std::uint32_t seed = EnvironmentNumber("SHRINKDIR_SEED", std::random_device()());
  const unsigned rounds = EnvironmentNumber("SHRINKDIR_ROUNDS", HasPosixShell() ? 8 : 3);
  std::cout << "seed " << seed << ", " << rounds << " rounds" << std::endl;

  for (unsigned round = 0; round < rounds; ++round) {
    SCOPED_TRACE("SHRINKDIR_SEED=" + std::to_string(seed) + ", round " + std::to_string(round));
    RandomDirectory random(seed + round);
    TempDir dir;
    TempDir log;
    TempDir outside;  // the working directory: a name run as a command would write here
    const std::size_t longest_name =
        std::min<std::size_t>(255, LongestPath() - dir.Prefix().size());
    const std::vector<Entry> entries = random.Make(dir, longest_name);
    const unsigned threads = random.Below(301);

    const unsigned total = static_cast<unsigned>(
        std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return e.listed; }));
    std::vector<Expected> expected;
    std::multiset<std::vector<std::string>> expected_calls;
    bool all_ok = true;
    for (const Entry& entry : entries) {
      if (!entry.listed) continue;
      const std::string path = dir.File(entry.name);
      expected.push_back(Predict(entry, total, path));
      all_ok = all_ok && expected.back().ok;
      if (expected.back().tool_runs) {
        std::vector<std::string> arguments = ToolArguments(1, path);
        arguments.erase(arguments.begin());
        expected_calls.insert(arguments);
      }
    }

    ProcessOptions process;
    process.argv = ShrinkdirCommand({dir.Prefix(), std::to_string(threads), "1"});
    process.environment = StandinEnvironment(log, "");
    process.working_directory = outside.path().string();
    const ProcessResult result = RunProcess(process);
    SCOPED_TRACE(std::to_string(entries.size()) + " entries, " + std::to_string(total) +
                 " listed, " + std::to_string(threads) + " threads");

    const std::string head = Native(Echo(dir.Prefix()) + Banner(std::to_string(threads)));
    ASSERT_EQ(result.out.compare(0, head.size(), head), 0) << result.out.substr(0, 400);
    std::string reports = result.out.substr(head.size());
    // Back to "\n" line ends; the names themselves hold no CR on Windows.
    if (std::string(TextLineEnd()) != "\n") {
      std::string plain;
      for (std::size_t i = 0; i < reports.size(); ++i) {
        if (!(reports[i] == '\r' && i + 1 < reports.size() && reports[i + 1] == '\n')) plain += reports[i];
      }
      reports = plain;
    }
    if (threads == 0) {
      EXPECT_EQ(reports, "");
      EXPECT_EQ(result.exit_code, total == 0 ? 0 : 1);
      EXPECT_TRUE(ReadToolCalls(log).empty());
      continue;
    }
    CheckReports(reports, expected);
    EXPECT_EQ(result.exit_code, all_ok ? 0 : 1) << result.err;

    std::multiset<std::vector<std::string>> calls;
    for (const auto& call : ReadToolCalls(log)) calls.insert(call);
    EXPECT_EQ(calls, expected_calls);

    // Every entry is as the tool left it, and nothing else appeared anywhere.
    std::set<std::string> left;
    for (const std::string& name : ListNames(dir.Prefix())) left.insert(name);
    std::set<std::string> should_be_left;
    for (std::size_t i = 0, j = 0; i < entries.size(); ++i) {
      const Entry& entry = entries[i];
      const Expected* prediction = entry.listed ? &expected[j++] : nullptr;
      if (entry.action == "delete" && entry.listed) continue;
      should_be_left.insert(entry.name);
      if (entry.directory) continue;
      const std::uint64_t size = FileSize(dir.File(entry.name));
      EXPECT_EQ(size, prediction ? prediction->size_after : entry.data.size()) << entry.name;
    }
    EXPECT_EQ(left, should_be_left);
    EXPECT_TRUE(ListNames(outside.Prefix()).empty());
  }
}

}  // namespace
