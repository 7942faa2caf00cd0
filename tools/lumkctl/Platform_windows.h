// How the progress is shown on a Windows console, decided through the console
// mode calls so that tests can stand in for a console.
#pragma once

#include "Console.h"

#include <functional>

#include <windows.h>

struct ConsoleModeCalls
{
    std::function<BOOL(HANDLE, DWORD*)> get = ::GetConsoleMode;
    std::function<BOOL(HANDLE, DWORD)> set = ::SetConsoleMode;
};

// Nothing off a console. A bar on a console that takes terminal sequences:
// virtual-terminal processing is turned on where Windows offers it, and the
// mode read back, since a console may accept it without keeping it. Plain
// lines on any other console.
ProgressStyle ConsoleProgressStyle(HANDLE handle, const ConsoleModeCalls& calls = {});
