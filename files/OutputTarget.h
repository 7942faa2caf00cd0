// Where an output name leads, as each platform resolves it
// (ConfigFiles_linux.cpp, ConfigFiles_windows.cpp).
#pragma once

#include <QByteArray>
#include <QString>

// True when `nativeName` can be tried as an output file; otherwise false, with
// why in `reason`.
bool ResolveOutputTarget(const QByteArray& nativeName, QString* reason);
