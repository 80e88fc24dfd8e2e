// For random byte strings, the command line built for a path and run
// through the real command interpreter hands the tool exactly those bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "platform/platform.h"
#include "support/files.h"
#include "support/subprocess.h"
#include "worker/worker.h"

namespace {

// Runs the stand-in once with all of arguments, the way the worker runs the
// tool for one path, and returns what it logged.
std::string RunBatch(const std::vector<std::string>& arguments, const TempDir& log, bool direct) {
  for (const std::string& name : ListNames(log.Prefix())) std::remove(log.File(name).c_str());
  std::vector<std::string> argv = {NativePath(std::string(STANDIN_DIR) + "/optipng")};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.push_back("~keep~");  // tells the stand-in to leave things alone
  // The worker's command line starts with the bare program name; so does
  // this one (cmd.exe treats a line that starts with a quote differently).
  std::string line = argv[0];
  for (std::size_t i = 1; i < argv.size(); ++i) line += " " + platform::QuoteForInterpreter(argv[i]);
  const platform::CommandResult result = direct ? platform::RunDirect(argv) : platform::RunCommand(line);
  EXPECT_TRUE(result.Succeeded()) << line;
  const std::vector<std::string> logs = ListNames(log.Prefix());
  return logs.size() == 1 ? ReadFile(log.File(logs[0])) : "";
}

TEST(CommandLineProperty, RandomBytesReachTheToolUnchanged) {
  const char* seed_text = std::getenv("SHRINKDIR_SEED");
  const std::uint32_t seed =
      seed_text ? static_cast<std::uint32_t>(std::strtoul(seed_text, nullptr, 10)) : std::random_device()();
  SCOPED_TRACE("SHRINKDIR_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  // A command line takes about 8000 characters on Windows, and each start
  // of cmd.exe under Wine is slow: fewer, shorter batches there.
  const bool posix = HasPosixShell();
  const int strings = posix ? 4000 : 600;
  const std::size_t batch_chars = posix ? 60000 : 6000;

  TempDir log;
  SetEnvironment("SHRINKDIR_STANDIN_LOG_DIR", log.path().string());
  SetEnvironment("SHRINKDIR_STANDIN_ACTION", "keep");

  std::vector<std::string> batch[2];  // through the interpreter, and direct
  std::size_t batch_size[2] = {0, 0};
  auto logged = [](const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& s : arguments) text += std::to_string(s.size()) + ":" + s + "\n";
    return text + "6:~keep~\n";
  };
  auto flush = [&](int which) {
    if (batch[which].empty()) return;
    if (RunBatch(batch[which], log, which == 1) != logged(batch[which])) {
      // Narrow it down to the strings that fail on their own.
      for (const std::string& s : batch[which]) {
        EXPECT_EQ(RunBatch({s}, log, which == 1), logged({s})) << "string: " << s;
      }
    }
    batch[which].clear();
    batch_size[which] = 0;
  };

  for (int n = 0; n < strings; ++n) {
    std::string s;
    const std::size_t length = 1 + std::uniform_int_distribution<std::size_t>(0, 40)(random);
    while (s.size() < length) {
      // Mostly the characters interpreters care about, then any byte.
      static const char kSpecial[] = "$`\"\\'%!^&|;<>()*?[]{}~#= \t\n";
      const char c = random() % 2 ? kSpecial[random() % (sizeof kSpecial - 1)]
                                  : static_cast<char>(1 + random() % 255);
      // A command line cannot carry a line end or control character on Windows.
      if (posix || NameAllowed(std::string(1, c)) || c == '"' || c == '\\' || c == '*' ||
          c == '?' || c == '|' || c == '<' || c == '>') {
        s += c;
      }
    }
    const int which = platform::InterpreterKeeps(s) ? 0 : 1;
    batch[which].push_back(s);
    batch_size[which] += s.size() * 2 + 3;
    if (batch_size[which] > batch_chars) flush(which);
    if (HasFailure()) return;
  }
  flush(0);
  flush(1);
}

}  // namespace
