// Every fixed text of the configuration model, as the operator sees it.
#pragma once

#include <QString>
#include <QStringList>

namespace CoreTexts {

inline const QString HeaderAddress = QStringLiteral("Адрес");
inline const QString HeaderMode = QStringLiteral("Режим");
inline const QString HeaderDelay = QStringLiteral("Задерж.");

inline const QString ModeUnused = QStringLiteral("Нет");
inline const QString ModeUsed = QStringLiteral("Да");
inline const QString MessagePrefix = QStringLiteral("Сообщ."); // five letters and a full stop

inline const QString Delay0 = QStringLiteral("0 сек.");
inline const QString Delay30 = QStringLiteral("30 сек.");
inline const QString Delay60 = QStringLiteral("60 сек.");
inline const QString Delay120 = QStringLiteral("120 сек.");
inline const QString Delay240 = QStringLiteral("240 сек.");
inline const QString Delay360 = QStringLiteral("360 сек.");

inline const QString SpeechModeName = QStringLiteral("Речевое оповещение \"Тилан\"");
inline const QString OtherDevicesModeName = QStringLiteral("Другие устройства");

inline const QString LockedFileName = QStringLiteral("regul.lmk");

inline QString MessageText(int number)
{
    return MessagePrefix + QString::number(number);
}

} // namespace CoreTexts
