// Why a serial port cannot be opened, in one plain line for the operator: no
// such device, no permission (with the fix: the serial group to join, or that
// only an administrator can help), held by another program (naming it), not a
// serial port, or line settings refused.
#pragma once

#include <QString>

// A port given as a path relative to the working directory ("pts/3" is a name
// under /dev, "./pty" a path): relative paths that exist here become absolute,
// so the tool opens the file the user meant.
QString ResolvePortArgument(const QString& port);

// Tries the device again and says why it does not open; an empty string never.
QString ExplainOpenFailure(const QString& port);

// The lines ExplainOpenFailure says.
namespace DiagnosisTexts {
inline const QString NoSuchDevice = QStringLiteral("Причина: нет такого устройства (%1).");
inline const QString HeldByOther = QStringLiteral("Причина: порт занят другой программой.");
inline const QString SettingsRejected =
    QStringLiteral("Причина: порт не принимает настройки линии (2400 бод, 8N1).");
inline const QString OtherReason = QStringLiteral("Причина: %1.");
inline const QString UnknownReason =
    QStringLiteral("Причина не установлена: при повторной проверке порт открылся.");
} // namespace DiagnosisTexts
