// The operating-system services shrinkdir needs, behind one interface.
//
// One implementation per platform is compiled in (posix/ or win32/); CMake
// picks it. Nothing here names an OS type: handles are opaque and errors
// come back as text. Unless a comment says otherwise, every function may be
// called from any thread.
#ifndef SHRINKDIR_PLATFORM_PLATFORM_H_
#define SHRINKDIR_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// --- Process set-up --------------------------------------------------------

// Lowers the scheduling priority of the whole process below normal. Must be
// called before any thread is started so that every thread and child process
// inherits it. Never raises the priority. Failure is ignored: running at the
// normal priority is still correct.
void LowerPriority();

// Makes the character rules (CharLength) follow the user's locale.
void UseUserLocale();

// Catches the user's interrupt (Ctrl-C) from now on: instead of ending the
// process at once, it sets the flag that InterruptRequested reports. Child
// processes started afterwards still get the default behaviour.
void CatchInterrupt();

// True once an interrupt has been caught.
bool InterruptRequested();

// Ends the process the way an interrupted program should: on POSIX by the
// interrupt signal itself, on Windows with exit status 130. Does not return.
[[noreturn]] void ExitInterrupted();

// True once standard output is a pipe whose reader has gone, so that
// nothing more written there can be read.
bool OutputGone();

// Ends the process as a writer to a pipe without a reader does: on POSIX by
// SIGPIPE, on Windows with exit status 1. Does not return.
[[noreturn]] void ExitOutputGone();

// Text describing the calling thread's last system error (errno or
// GetLastError), for messages on standard error.
std::string LastErrorText();

// --- Mutual exclusion ------------------------------------------------------

// A non-recursive lock between the threads of this process. Never take it
// twice from the same thread.
class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void Enter();
  void Leave();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Holds a Lock for the lifetime of the guard.
class LockGuard {
 public:
  explicit LockGuard(Lock& lock) : lock_(lock) { lock_.Enter(); }
  ~LockGuard() { lock_.Leave(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Lock& lock_;
};

// --- Threads -----------------------------------------------------------------

// An opaque, pointer-sized thread handle. nullptr is never a valid handle.
using ThreadHandle = void*;
using ThreadEntry = unsigned (*)(void* parameter);

// Creates a thread that will run entry(parameter), but not before
// ResumeThread is called on its handle. Returns nullptr when the thread
// cannot be created; LastErrorText then says why.
ThreadHandle BeginThreadSuspended(ThreadEntry entry, void* parameter);

// Lets a thread created by BeginThreadSuspended run.
void ResumeThread(ThreadHandle handle);

// Releases a handle. The thread itself goes on running unaffected.
void CloseThreadHandle(ThreadHandle handle);

// Returns when every thread in handles[0..count) has ended; at once when
// count is 0. Any number of handles may be given.
void WaitForAllThreads(const ThreadHandle* handles, std::size_t count);

// Suspends the calling thread for the given number of milliseconds.
void SleepMilliseconds(unsigned milliseconds);

// --- Files and directories ---------------------------------------------------

// Lists the entries of one directory whose names match a wildcard pattern.
// The pattern is a path whose last component may hold '*' (any run of
// characters) and '?' (any one character); letters match without regard to
// case. The rest of the pattern names the directory (the current directory
// when there is none). Names come without their directory. A directory that
// cannot be read yields nothing.
class DirectorySearch {
 public:
  explicit DirectorySearch(const std::string& pattern);
  ~DirectorySearch();
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  // Stores the next matching name and returns true, or returns false when
  // there are no more.
  bool Next(std::string* name);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// True when name matches the wildcard pattern ('*', '?', ASCII letters
// compared without regard to case, every other byte compared exactly).
bool MatchesPattern(const std::string& name, const std::string& pattern);

// Opens path for reading, stores its size in bytes and closes it again.
// Returns false when path cannot be opened as a file for reading (a
// directory included). The file is never open in a way that a child process
// started meanwhile by another thread could inherit: an inherited handle
// would keep the tool on another file from replacing or deleting this one.
bool MeasureFile(const std::string& path, std::uint64_t* size);

// The report name of a path: its last component without its extension. The
// component starts after the last '\' or '/', or after a drive colon in
// second place; the extension runs from the component's last '.' to its end.
// Separators and dots are recognised character by character in the user's
// multi-byte encoding. The whole path counts, however long; the result is
// cut to at most 255 bytes.
std::string FileNamePart(const std::string& path);

// The length in bytes of the character that starts text, in the user's
// multi-byte encoding (the ANSI code page on Windows); 1 for a byte that
// starts no valid character. available is at least 1.
std::size_t CharacterLength(const char* text, std::size_t available);

// --- Running the tool ----------------------------------------------------------

// How a child process ended.
struct CommandResult {
  bool started = false;  // false: the interpreter could not be run at all
  int exit_code = 0;     // the exit status, when it exited
  int signal = 0;        // the signal that killed it, or 0 (POSIX only)
  bool interrupted = false;  // it was ended by the user's interrupt

  bool Succeeded() const { return started && signal == 0 && exit_code == 0; }
};

// Quotes one argument for the command interpreter so that it reaches the
// program unchanged, as long as InterpreterKeeps(argument) is true.
std::string QuoteForInterpreter(const std::string& argument);

// Quotes one argument for a command line that the started program splits
// into argv itself, by the rules of the Windows C runtime: the argument
// reaches it unchanged, whatever it holds.
std::string QuoteForCommandLine(const std::string& argument);

// False when the interpreter would alter the argument even inside quotes
// (cmd.exe expands %NAME% there). Such an argument must be given to
// RunDirect instead.
bool InterpreterKeeps(const std::string& argument);

// Runs one command line through the command interpreter (/bin/sh -c, or
// cmd.exe /c) and returns when it has ended. Standard streams, environment
// and current directory are the process's own.
CommandResult RunCommand(const std::string& command_line);

// Runs argv[0], looked up as the interpreter would look it up, with the
// other elements as its arguments, without any interpreter in between.
// argv must not be empty.
CommandResult RunDirect(const std::vector<std::string>& argv);

}  // namespace platform

#endif  // SHRINKDIR_PLATFORM_PLATFORM_H_
