#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "support/subprocess.h"

extern char** environ;

namespace {

std::vector<std::string> MergedEnvironment(
    const std::vector<std::pair<std::string, std::string>>& overrides) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool replaced = false;
    for (const auto& [name, value] : overrides) {
      if (text.compare(0, name.size() + 1, name + "=") == 0) replaced = true;
    }
    if (!replaced) merged.push_back(text);
  }
  for (const auto& [name, value] : overrides) merged.push_back(name + "=" + value);
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(&s[0]);
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

char PathListSeparator() { return ':'; }

ProcessResult RunProcess(const ProcessOptions& options) {
  int out_pipe[2];
  int err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (!options.working_directory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.working_directory.c_str());
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> argv = options.argv;
  std::vector<std::string> env = MergedEnvironment(options.environment);
  std::vector<char*> argv_pointers = Pointers(argv);
  std::vector<char*> env_pointers = Pointers(env);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, argv_pointers[0], &actions, &attributes,
                                argv_pointers.data(), env_pointers.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (error != 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    throw std::runtime_error("cannot start " + options.argv[0] + ": " + std::strerror(error));
  }

  ProcessResult result;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) sinks[i]->append(buffer, static_cast<std::size_t>(n));
      const bool stop_reading = i == 0 && options.close_stdout_after != 0 &&
                                result.out.size() >= options.close_stdout_after;
      if (n <= 0 || stop_reading) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  } else {
    result.exit_code = WEXITSTATUS(status);
  }
  return result;
}

std::string NativePath(const std::string& path) { return path; }

void SetEnvironment(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

const char* TextLineEnd() { return "\n"; }

bool NameAllowed(const std::string& name) {
  return name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

bool RealOptimiserAvailable() { return access("/usr/bin/optipng", X_OK) == 0; }

bool HasPosixShell() { return true; }

// Children run in process groups of their own, which they may interrupt.
std::string InterruptUntestableReason() { return ""; }

std::size_t LongestPath() { return PATH_MAX - 1; }

int BrokenPipeSignal() { return SIGPIPE; }
