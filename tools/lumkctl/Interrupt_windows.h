// The console control handler InstallInterruptHandlers() registers, for tests.
#pragma once

#include <windows.h>

// Ctrl+C and Ctrl+Break note SIGINT, closing the console SIGTERM. The
// first is handled (TRUE); a second one is left to the system, which ends the
// process at once. Closing the console waits until WorkEnded(), as the system
// ends the process when this returns.
BOOL WINAPI OnConsoleControl(DWORD event);
