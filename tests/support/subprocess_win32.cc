#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/platform.h"
#include "support/subprocess.h"

namespace {

std::string EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& overrides) {
  std::string block;
  char* strings = GetEnvironmentStringsA();
  for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
    const std::string text = entry;
    bool replaced = false;
    for (const auto& [name, value] : overrides) {
      if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(),
                         static_cast<int>(std::min(text.size(), name.size() + 1)),
                         (name + "=").c_str(), static_cast<int>(name.size() + 1)) == CSTR_EQUAL) {
        replaced = true;
      }
    }
    if (!replaced) block += text + '\0';
  }
  FreeEnvironmentStringsA(strings);
  for (const auto& [name, value] : overrides) block += name + "=" + value + '\0';
  return block + '\0';
}

// A temporary file that the child can inherit as a standard stream.
struct CaptureFile {
  std::string path;
  HANDLE handle = INVALID_HANDLE_VALUE;

  CaptureFile() {
    char directory[MAX_PATH];
    char name[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    GetTempFileNameA(directory, "sdt", 0, name);
    path = name;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
  }
  ~CaptureFile() {
    CloseHandle(handle);
    DeleteFileA(path.c_str());
  }
  std::string Contents() const {
    std::string data;
    SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &n, nullptr) && n > 0) data.append(buffer, n);
    return data;
  }
};

}  // namespace

char PathListSeparator() { return ';'; }

ProcessResult RunProcess(const ProcessOptions& options) {
  std::string command_line;
  for (const std::string& argument : options.argv) {
    if (!command_line.empty()) command_line += ' ';
    command_line += platform::QuoteForCommandLine(argument);
  }
  std::string environment = EnvironmentBlock(options.environment);
  CaptureFile out;
  CaptureFile err;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out.handle;
  startup.hStdError = err.handle;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(options.argv[0].c_str(), &command_line[0], nullptr, nullptr, TRUE, 0,
                      &environment[0],
                      options.working_directory.empty() ? nullptr : options.working_directory.c_str(),
                      &startup, &process)) {
    throw std::runtime_error("cannot start " + options.argv[0] + ": error " +
                             std::to_string(GetLastError()));
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  ProcessResult result;
  result.exit_code = static_cast<int>(code);
  result.out = out.Contents();
  result.err = err.Contents();
  if (options.close_stdout_after != 0 && result.out.size() > options.close_stdout_after) {
    result.out.resize(options.close_stdout_after);
  }
  return result;
}

std::string NativePath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string native = "Z:" + path;
  for (char& c : native) {
    if (c == '/') c = '\\';
  }
  return native;
}

void SetEnvironment(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

const char* TextLineEnd() { return "\r\n"; }

bool NameAllowed(const std::string& name) {
  for (const char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    // Control characters are not allowed, and 0x7F..0x9F are not all
    // characters in every ANSI code page.
    if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F) || std::strchr("\"*/:<>?\\|", c) != nullptr) {
      return false;
    }
  }
  return true;
}

// A Linux optipng is no Windows program: cmd.exe would not wait for it.
bool RealOptimiserAvailable() { return false; }

bool HasPosixShell() { return false; }

std::string InterruptUntestableReason() {
  // Seen with Wine 8: with a console of its own the event does arrive, but a
  // tool that gets it while in Sleep never ends, holding the output open.
  return "Wine leaves processes that get Ctrl-C hanging, so it cannot be sent in a test";
}

// The ANSI file functions take MAX_PATH characters, the terminator included.
std::size_t LongestPath() { return MAX_PATH - 1; }

int BrokenPipeSignal() { return 0; }
