// The start-up sequence: the port survey, page labels, the zeroed image, the
// optional locked configuration file, and the first decode into the table. The
// ports are handed to the caller: the port list is the selector's, not the
// configuration's.
#pragma once

#include <QString>
#include <QStringList>

#include "PortProber.h"

#include <functional>

class ConfigModel;
class ParamImage;

// The survey of the serial devices present: the usable ports (UsablePortNames)
// fill the port list; the others let the window say why they are missing.
QList<SerialDevice> ListPorts(const PortProber& prober);

// Loads a configuration file into bytes 0..69 of an image; false, with the
// image untouched, when it cannot be read (LoadImageFile of the files library).
using ImageFileReader = std::function<bool(const QString& path, ParamImage& image)>;

// Runs the whole sequence. `readFile` reads the locked configuration file
// `lockedFile`, taken relative to the working directory; without a reader no
// file is looked for. `clearPortReady` clears the link's ready flag first.
// Returns the port survey of ListPorts, for the caller's port list.
QList<SerialDevice> RunStartUp(ConfigModel& model, const PortProber& prober,
                               const ImageFileReader& readFile,
                               const std::function<void()>& clearPortReady = {},
                               const QString& lockedFile = QStringLiteral("regul.lmk"));
