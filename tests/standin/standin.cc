// A stand-in for optipng, built with the tests, that does what the real tool
// cannot be made to do on demand.
//
// The file is the last argument. What the stand-in does with it is the word
// between two '~' in the file's name (so a test can predict it per file), or
// else $SHRINKDIR_STANDIN_ACTION, or else "shrink":
//   shrink       rewrite the file with its first half only (exit 0)
//   keep         leave it as it is (exit 0)
//   fail-N       leave it, exit N
//   delete       remove it (exit 0)
//   grow         append the file to itself (exit 0)
//   sleep-MS     wait MS milliseconds, then shrink
//   interrupt    send the interrupt to the process group, as Ctrl-C at a
//                terminal does, but survive it: wait, then shrink
//   interrupt-die  send the interrupt to the process group and die of it
//   signal-N     die by signal N
//   vanish-others   remove every other entry of the file's directory whose
//                   name holds "victim", then keep the file
//   dir-others      replace each of those entries by a directory
// When $SHRINKDIR_STANDIN_LOG_DIR is set, every call first writes its
// arguments to a file of its own there: each as "<length>:<bytes>\n".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "standin/standin.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteAll(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
  return static_cast<bool>(out);
}

void LogArguments(int argc, char** argv) {
  const char* dir = std::getenv("SHRINKDIR_STANDIN_LOG_DIR");
  if (dir == nullptr) return;
  std::random_device random;
  const std::string path = std::string(dir) + "/" + std::to_string(ProcessId()) + "-" +
                           std::to_string(random()) + ".args";
  std::string record;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    record += std::to_string(argument.size()) + ":" + argument + "\n";
  }
  WriteAll(path, record);
}

std::string ChosenAction(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t open = name.find('~');
  const std::size_t close = open == std::string::npos ? open : name.find('~', open + 1);
  if (close != std::string::npos) return name.substr(open + 1, close - open - 1);
  const char* action = std::getenv("SHRINKDIR_STANDIN_ACTION");
  return action != nullptr ? action : "shrink";
}

int Shrink(const std::string& path) {
  const std::string data = ReadAll(path);
  return WriteAll(path, data.substr(0, data.size() / 2)) ? 0 : 1;
}

void SleepMs(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

int main(int argc, char** argv) {
  LogArguments(argc, argv);
  if (argc < 2) return 2;
  const std::string path = argv[argc - 1];
  const std::string action = ChosenAction(path);
  auto number = [&](const char* word) { return std::atol(action.c_str() + std::char_traits<char>::length(word)); };

  if (action == "shrink") return Shrink(path);
  if (action == "keep") return 0;
  if (action.rfind("fail-", 0) == 0) return static_cast<int>(number("fail-"));
  if (action == "delete") return std::remove(path.c_str()) == 0 ? 0 : 1;
  if (action == "grow") {
    const std::string data = ReadAll(path);
    return WriteAll(path, data + data + "grown") ? 0 : 1;
  }
  if (action.rfind("sleep-", 0) == 0) {
    SleepMs(number("sleep-"));
    return Shrink(path);
  }
  if (action == "interrupt" || action == "interrupt-die") {
    InterruptGroup(action == "interrupt");
    SleepMs(300);
    return Shrink(path);
  }
  if (action.rfind("signal-", 0) == 0) DieBySignal(static_cast<int>(number("signal-")));
  if (action == "vanish-others" || action == "dir-others") {
    std::filesystem::path directory = std::filesystem::path(path).parent_path();
    if (directory.empty()) directory = ".";
    std::vector<std::filesystem::path> victims;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
      if (entry.path().filename().string().find("victim") != std::string::npos) {
        victims.push_back(entry.path());
      }
    }
    for (const auto& victim : victims) {
      std::filesystem::remove_all(victim);
      if (action == "dir-others") std::filesystem::create_directory(victim);
    }
    return 0;
  }
  std::fprintf(stderr, "standin: unknown action '%s'\n", action.c_str());
  return 2;
}
