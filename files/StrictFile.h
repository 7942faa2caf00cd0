// A configuration file held to the strict form: a first line of exactly 140
// hexadecimal digits. lumkctl writes to a device only such a file.
#pragma once

#include <QByteArray>
#include <QString>

class ParamImage;

// What is wrong with a first line that should be exactly 140 hexadecimal
// digits (CR characters already gone), in words; empty when nothing is.
QString FirstLineMalformation(const QByteArray& line);

// Reads the file named byte for byte: bytes 0..69 as the window's Open reads
// them, and in `malformation` what (if anything) keeps the file from being a
// well-formed configuration. False when it cannot be read; then `reason` (when
// given) says why.
bool LoadFileStrictly(const QByteArray& name, ParamImage& image, QString& malformation,
                      QString* reason = nullptr);
