// SIGINT, SIGTERM and SIGHUP during the tool's work: the first one is only
// noted, and the transfer stops at its next tick; a second one ends the process
// at once.
#pragma once

// Installs the handlers (main() only: tests run without them).
void InstallInterruptHandlers();
// The signal noted so far, 0 when none.
int PendingInterrupt();
// Notes `signal` as the handler does (for tests).
void NoteInterrupt(int signal);
void ClearInterrupt();
