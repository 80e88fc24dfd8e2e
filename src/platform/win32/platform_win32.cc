// Win32 implementation of the platform interface.
#include <windows.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <system_error>

#include "platform/platform.h"

namespace platform {

// --- Process set-up --------------------------------------------------------

namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_interrupted.store(true);
  return TRUE;
}

// The exit status of a console program ended by Ctrl-C.
constexpr DWORD kControlCExit = 0xC000013A;

}  // namespace

void LowerPriority() {
  // The children of a below-normal process run below normal too.
  if (GetPriorityClass(GetCurrentProcess()) == IDLE_PRIORITY_CLASS) return;
  SetPriorityClass(GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS);
}

void UseUserLocale() { std::setlocale(LC_CTYPE, ""); }

void CatchInterrupt() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool InterruptRequested() { return g_interrupted.load(); }

void ExitInterrupted() { ExitProcess(130); }

bool OutputGone() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (GetFileType(output) != FILE_TYPE_PIPE) return false;
  // Peeking fails with a broken pipe once the reading end is closed.
  return !PeekNamedPipe(output, nullptr, 0, nullptr, nullptr, nullptr) &&
         GetLastError() == ERROR_BROKEN_PIPE;
}

void ExitOutputGone() { ExitProcess(1); }

std::string LastErrorText() {
  const DWORD code = GetLastError();
  if (code == 0) return std::error_code(errno, std::generic_category()).message();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length != 0 ? std::string(text, length) : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == '.' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

// --- Mutual exclusion ------------------------------------------------------

struct Lock::Impl {
  CRITICAL_SECTION section;
};

Lock::Lock() : impl_(new Impl) { InitializeCriticalSection(&impl_->section); }
Lock::~Lock() { DeleteCriticalSection(&impl_->section); }
void Lock::Enter() { EnterCriticalSection(&impl_->section); }
void Lock::Leave() { LeaveCriticalSection(&impl_->section); }

// --- Threads -----------------------------------------------------------------

namespace {

struct StartInfo {
  ThreadEntry entry;
  void* parameter;
};

unsigned __stdcall ThreadMain(void* arg) {
  const StartInfo info = *static_cast<StartInfo*>(arg);
  delete static_cast<StartInfo*>(arg);
  return info.entry(info.parameter);
}

}  // namespace

ThreadHandle BeginThreadSuspended(ThreadEntry entry, void* parameter) {
  auto* info = new StartInfo{entry, parameter};
  SetLastError(0);
  const uintptr_t handle = _beginthreadex(nullptr, 0, ThreadMain, info, CREATE_SUSPENDED, nullptr);
  if (handle == 0 || handle == static_cast<uintptr_t>(-1)) {
    delete info;
    return nullptr;
  }
  return reinterpret_cast<ThreadHandle>(handle);
}

void ResumeThread(ThreadHandle handle) { ::ResumeThread(static_cast<HANDLE>(handle)); }

void CloseThreadHandle(ThreadHandle handle) { CloseHandle(static_cast<HANDLE>(handle)); }

void WaitForAllThreads(const ThreadHandle* handles, std::size_t count) {
  // One wait takes at most MAXIMUM_WAIT_OBJECTS (64) handles: wait group by
  // group; waiting for all of each group in turn waits for all of them.
  for (std::size_t at = 0; at < count; at += MAXIMUM_WAIT_OBJECTS) {
    const DWORD group = static_cast<DWORD>(std::min<std::size_t>(count - at, MAXIMUM_WAIT_OBJECTS));
    WaitForMultipleObjects(group, reinterpret_cast<const HANDLE*>(handles + at), TRUE, INFINITE);
  }
}

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

// --- Files and directories ---------------------------------------------------

struct DirectorySearch::Impl {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA data;
  bool have_data = false;
  std::string name_pattern;
};

DirectorySearch::DirectorySearch(const std::string& pattern) : impl_(new Impl) {
  const std::size_t separator = pattern.find_last_of("\\/");
  std::size_t start = separator == std::string::npos ? 0 : separator + 1;
  if (start == 0 && pattern.size() >= 2 && pattern[1] == ':') start = 2;
  impl_->name_pattern = pattern.substr(start);
  impl_->find = FindFirstFileA(pattern.c_str(), &impl_->data);
  impl_->have_data = impl_->find != INVALID_HANDLE_VALUE;
}

DirectorySearch::~DirectorySearch() {
  if (impl_->find != INVALID_HANDLE_VALUE) FindClose(impl_->find);
}

bool DirectorySearch::Next(std::string* name) {
  while (impl_->have_data) {
    const std::string found = impl_->data.cFileName;
    impl_->have_data = FindNextFileA(impl_->find, &impl_->data) != FALSE;
    // The search also matches 8.3 short names, so "*.png" finds "x.pngx"
    // through its short name "XPNG~1.PNG". Keep only what matches itself.
    if (MatchesPattern(found, impl_->name_pattern)) {
      *name = found;
      return true;
    }
  }
  return false;
}

namespace {

// The path in UTF-16 for the wide functions, which unlike the ANSI ones take
// paths beyond MAX_PATH: a long absolute path gets the \\?\ prefix.
std::wstring WidePath(const std::string& path) {
  std::string full = path;
  if (full.size() >= MAX_PATH && full.size() > 2 && full[1] == ':' &&
      (full[2] == '\\' || full[2] == '/')) {
    for (char& c : full) {
      if (c == '/') c = '\\';
    }
    full = "\\\\?\\" + full;
  }
  const int length = MultiByteToWideChar(CP_ACP, 0, full.data(), static_cast<int>(full.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, full.data(), static_cast<int>(full.size()), &wide[0], length);
  return wide;
}

}  // namespace

bool MeasureFile(const std::string& path, std::uint64_t* size) {
  // No security attributes: the handle is not inheritable. Without backup
  // semantics a directory does not open.
  const HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER length;
  const bool measured = GetFileSizeEx(file, &length) != FALSE;
  if (measured) *size = static_cast<std::uint64_t>(length.QuadPart);
  CloseHandle(file);
  return measured;
}

std::size_t CharacterLength(const char* text, std::size_t available) {
  return available >= 2 && IsDBCSLeadByte(static_cast<BYTE>(text[0])) ? 2 : 1;
}

// --- Running the tool ----------------------------------------------------------

std::string QuoteForInterpreter(const std::string& argument) { return "\"" + argument + "\""; }

bool InterpreterKeeps(const std::string& argument) {
  // cmd.exe expands %NAME% even between double quotes, and a quote would end
  // the quoted part; everything else is literal there. The tool itself then
  // reads a backslash before the closing quote as escaping it.
  return argument.find_first_of("%\"") == std::string::npos &&
         (argument.empty() || argument.back() != '\\');
}

namespace {

CommandResult FromExitCode(DWORD code) {
  CommandResult result;
  result.started = true;
  result.exit_code = static_cast<int>(code);
  result.interrupted = code == kControlCExit;
  if (result.interrupted) g_interrupted.store(true);
  return result;
}

// Looks program up as cmd.exe does: as given when it names a directory,
// else in the current directory and then along PATH; ".exe" is added when
// the name has no extension.
std::string FindProgram(const std::string& program) {
  std::string search = ".";
  const DWORD needed = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (needed != 0) {
    std::string path(needed, '\0');
    path.resize(GetEnvironmentVariableA("PATH", &path[0], needed));
    search += ";" + path;
  }
  std::string found(32768, '\0');
  const DWORD length = SearchPathA(search.c_str(), program.c_str(), ".exe",
                                   static_cast<DWORD>(found.size()), &found[0], nullptr);
  if (length == 0 || length >= found.size()) return program;
  found.resize(length);
  return found;
}

}  // namespace

CommandResult RunCommand(const std::string& command_line) {
  errno = 0;
  const int code = std::system(command_line.c_str());
  if (code == -1 && errno != 0) return CommandResult{};
  return FromExitCode(static_cast<DWORD>(code));
}

CommandResult RunDirect(const std::vector<std::string>& argv) {
  std::string command_line;
  for (const std::string& argument : argv) {
    if (!command_line.empty()) command_line += ' ';
    command_line += QuoteForCommandLine(argument);
  }
  const std::string program = FindProgram(argv[0]);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return CommandResult{};
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return FromExitCode(code);
}

}  // namespace platform
