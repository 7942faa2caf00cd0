// What a window program says about its command line (--help, --version, a
// usage error) before or instead of its window.
#pragma once

#include <QString>

#include <cstdio>

// Writes `text` to `stream` (stdout or stderr) as UTF-8; false when it did not
// all go out. A Windows window program started without a place for its
// output (from the Start menu, or typed in cmd.exe, which gives it no console)
// shows the text in a message box instead.
bool WriteCommandLineText(std::FILE* stream, const QString& text);
