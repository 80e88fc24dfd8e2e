#include <signal.h>
#include <unistd.h>

#include "standin/standin.h"

void InterruptGroup(bool survive) {
  if (survive) signal(SIGINT, SIG_IGN);
  kill(0, SIGINT);
}

void DieBySignal(int sig) {
  signal(sig, SIG_DFL);
  raise(sig);
  _exit(128 + sig);
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }
