// What the log shows when the process dies of a fault: where, the memory situation, and the state
// of the parser that was running.
#pragma once

#include "platform/fatal_fault.h"

// Installs CrashFilter for the process's fatal faults until the returned guard ends, which puts
// back the handling the process had before.
[[nodiscard]] qrx::platform::FatalFaultGuard InstallCrashFilter();

// Writes the crash report to the log. Returns 1: the process is to end without further ado.
int CrashFilter();
