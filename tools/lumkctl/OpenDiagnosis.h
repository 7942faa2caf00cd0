// Why a serial port cannot be opened, in one plain line for the operator: no
// such device, no permission (with the fix: the serial group to join, or that
// only an administrator can help), held by another program (naming it), not a
// serial port, or line settings refused.
#pragma once

#include <QString>

// The device path the serial port layer opens for a port name: a name such as
// "ttyUSB0" lives in /dev; an absolute or ./ ../ path is used as it is.
QString PortDevicePath(const QString& port);

// A port given as a path relative to the working directory ("pts/3" is a name
// under /dev, "./pty" a path): relative paths that exist here become absolute,
// so the tool opens the file the user meant.
QString ResolvePortArgument(const QString& port);

// Tries the device again and says why it does not open; an empty string never.
QString ExplainOpenFailure(const QString& port);

// The reason for an errno of open(2) on `path`, owned by `owner`:`group` with
// permission bits `mode` (empty names when unknown). Empty when errno says
// nothing useful.
QString DescribeOpenErrno(int error, const QString& path, const QString& owner = {},
                          const QString& group = {}, unsigned mode = 0);
