// The reason behind a Win32 error code, in the operator's language.
#pragma once

#include <QString>

// The errno value closest to a Win32 error code (EIO when none is).
int ErrnoOfWindowsError(unsigned long error);
// Russian text for the codes file and port operations commonly meet (as
// SystemErrorText gives them); the system's own text for any other.
QString WindowsErrorText(unsigned long error);
