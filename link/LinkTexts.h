// Every fixed text of the device link that the operator can see.
#pragma once

#include "LinkOutcome.h"

#include <QString>

namespace LinkTexts {

// Shown by OpenPort itself, followed by the port name: "Not open COM3".
inline const QString NotOpenPrefix = QStringLiteral("Not open ");
// ConnectPort: no 4 bytes within 500 ms after opening the port.
inline const QString NoDevice = QStringLiteral("Нет устройства");
// Tick: no accepted reply within 13 ticks of a start.
inline const QString NotConnected = QStringLiteral("Не подключен ЛУМ-К");
// Tick: a write completed.
inline const QString Written = QStringLiteral("Записано");

inline QString NotOpen(const QString& name) { return NotOpenPrefix + name; }

// The window's message for an engine message (NoDevice, NotConnected, Written);
// the other outcomes have none.
inline QString Message(LinkOutcome outcome)
{
    switch (outcome) {
    case LinkOutcome::NoDevice:
        return NoDevice;
    case LinkOutcome::NotConnected:
        return NotConnected;
    case LinkOutcome::Written:
        return Written;
    case LinkOutcome::Connected:
    case LinkOutcome::PortNotOpened:
    case LinkOutcome::WakeNotSent:
    case LinkOutcome::Read:
        break;
    }
    return QString();
}

} // namespace LinkTexts
