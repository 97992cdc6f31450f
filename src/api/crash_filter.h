// What the log shows when the process dies of a fault: where, the memory situation, and the state
// of the parser that was running.
#pragma once

// Installs CrashFilter for the process's fatal faults; it stays installed for the process's life.
void InstallCrashFilter();

// Writes the crash report to the log. Returns 1: the process is to end without further ado.
int CrashFilter();
