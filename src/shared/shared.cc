#include "shared/shared.h"

platform::Lock JobLock;
unsigned int ReportCount = 0;
unsigned int JobTotal = 0;
unsigned int FailedCount = 0;
