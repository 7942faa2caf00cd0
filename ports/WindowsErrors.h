// The reason behind a Win32 error code, in the operator's language.
#pragma once

#include <QString>

// The errno value closest to a Win32 error code (EIO when none is).
int ErrnoOfWindowsError(unsigned long error);
// Russian text for the codes file and port operations meet (as
// SystemErrorText gives them where it has one), "системная ошибка N" for any
// other: never the system's own text, which may not be Russian.
QString WindowsErrorText(unsigned long error);
