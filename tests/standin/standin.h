// The few platform-specific steps of the stand-in tool.
#ifndef SHRINKDIR_TESTS_STANDIN_STANDIN_H_
#define SHRINKDIR_TESTS_STANDIN_STANDIN_H_

// Sends the user's interrupt (SIGINT, or Ctrl-C on a console) to the whole
// process group, as a terminal does. With survive, this process ignores it;
// without, it dies of it as a tool normally does.
void InterruptGroup(bool survive);

// Ends this process by the given signal where the platform has signals; by
// exit status 128 + sig elsewhere.
[[noreturn]] void DieBySignal(int sig);

// A number unique to this process, for naming its log.
unsigned long ProcessId();

#endif  // SHRINKDIR_TESTS_STANDIN_STANDIN_H_
