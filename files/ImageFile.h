// Configuration files read by name: only a regular file is read, and only its
// first line. The opening is platform code (RegularFile_linux.cpp).
#pragma once

#include "ParamImage.h"

#include <QByteArray>
#include <QString>

// Reads the first line of the regular file named byte for byte `nativeName`, as
// ReadFirstLine does. False when it cannot be opened or read or is no regular
// file; then `reason` (when given) says why, in the operator's language.
bool ReadFileFirstLine(const QByteArray& nativeName, QByteArray& line,
                       qsizetype keep = ParamImage::TextLength, QString* reason = nullptr);

// Opens `path`, reads its first line and loads it into bytes 0..69 of `image`.
// Leaves the image untouched and returns false when the file cannot be opened or read.
bool LoadImageFile(const QString& path, ParamImage& image);
