#include <windows.h>

#include "standin/standin.h"

void InterruptGroup(bool survive) {
  if (survive) SetConsoleCtrlHandler(nullptr, TRUE);
  GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
}

void DieBySignal(int sig) { ExitProcess(128 + static_cast<unsigned>(sig)); }

unsigned long ProcessId() { return GetCurrentProcessId(); }
