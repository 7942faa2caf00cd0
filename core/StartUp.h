// The start-up sequence: port list, page labels, the zeroed image, the optional
// locked configuration file, and the first decode into the table.
#pragma once

#include <QString>
#include <QStringList>

#include "PortProber.h"

#include <functional>

class ConfigModel;

// Fills the port list with the usable ports; returns the whole survey, so the
// window can say why the others are missing.
QList<SerialDevice> ListPorts(ConfigModel& model, const PortProber& prober);

// Runs the whole sequence. `clearPortReady` clears the link's ready flag first;
// `lockedFile` is taken relative to the working directory. Returns the port
// survey of ListPorts.
QList<SerialDevice> RunStartUp(ConfigModel& model, const PortProber& prober,
                               const std::function<void()>& clearPortReady = {},
                               const QString& lockedFile = QStringLiteral("regul.lmk"));
