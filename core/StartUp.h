// The start-up sequence: port list, page labels, the zeroed image, the optional
// locked configuration file, and the first decode into the table.
#pragma once

#include <QString>
#include <QStringList>

#include "PortProber.h"

#include <functional>

class ConfigModel;
class ParamImage;

// Fills the port list with the usable ports; returns the whole survey, so the
// window can say why the others are missing.
QList<SerialDevice> ListPorts(ConfigModel& model, const PortProber& prober);

// Loads a configuration file into bytes 0..69 of an image; false, with the
// image untouched, when it cannot be read (LoadImageFile of the files library).
using ImageFileReader = std::function<bool(const QString& path, ParamImage& image)>;

// Runs the whole sequence. `readFile` reads the locked configuration file
// `lockedFile`, taken relative to the working directory; without a reader no
// file is looked for. `clearPortReady` clears the link's ready flag first.
// Returns the port survey of ListPorts.
QList<SerialDevice> RunStartUp(ConfigModel& model, const PortProber& prober,
                               const ImageFileReader& readFile,
                               const std::function<void()>& clearPortReady = {},
                               const QString& lockedFile = QStringLiteral("regul.lmk"));
