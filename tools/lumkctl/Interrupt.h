// Interrupts during the tool's work (SIGINT, SIGTERM and SIGHUP; on Windows
// Ctrl+C, Ctrl+Break and closing the console): the first one is only noted,
// and the transfer stops at its next tick; a second one ends the process at
// once.
#pragma once

// Installs the handlers (main() only: tests run without them).
void InstallInterruptHandlers();
// The signal noted so far, 0 when none.
int PendingInterrupt();
// Notes `signal` as the handler does (for tests).
void NoteInterrupt(int signal);
void ClearInterrupt();
// The signal's name for messages ("SIGINT"); null for one the tool never notes.
const char* InterruptName(int signal);
// The tool's work has ended: after an interrupt, the transfer stopped, its
// messages printed and the port closed. A console being closed waits for this
// before the system ends the process.
void WorkEnded();
