// Every fixed text of the printed configuration sheet. The option captions and
// the mode names are the window's, from the configuration model's texts.
#pragma once

#include <QDateTime>
#include <QString>

namespace SheetTexts {

inline const QString Title = QStringLiteral("Лист конфигурации ЛУМ-К");
inline const QString DateTimeFormat = QStringLiteral("dd.MM.yyyy HH:mm");
inline const QString TimeFormat = QStringLiteral("HH:mm");

inline const QString FileLabel = QStringLiteral("Файл");
inline const QString PortLabel = QStringLiteral("Порт");
inline const QString StateLabel = QStringLiteral("Состояние относительно устройства");
inline const QString ModeLabel = QStringLiteral("Режим работы ЛУМ-К");
inline const QString OptionsLabel = QStringLiteral("Общие свойства ЛУМ-К");
inline const QString NotGiven = QStringLiteral("—");
// The window shows the common properties in the other-devices mode only.
inline const QString OptionsNotUsed =
    QStringLiteral("не задаются в режиме речевого оповещения");

inline const QString UnshownNone = QStringLiteral("нет");
inline const QString FileText = QStringLiteral("Строка файла .lmk (байты 0–69):");

inline const QString Configured = QStringLiteral("Настроил");
inline const QString Checked = QStringLiteral("Проверил");
inline const QString NameCaption = QStringLiteral("фамилия, инициалы");
inline const QString SignatureCaption = QStringLiteral("подпись");
inline const QString DateCaption = QStringLiteral("дата");

inline const QString Footer = QStringLiteral("ЛУМ-К конфигуратор");

// The state line: what the sheet's configuration is to the device.
inline const QString StateUnknown = QStringLiteral("не известно");
inline const QString StateRead = QStringLiteral("прочитано с %1 в %2");
inline const QString StateWritten = QStringLiteral("записано на %1 и проверено в %2");
inline const QString StateDiffers = QStringLiteral("отличается от устройства (%1)");

// When something happened, as a state line tells it: the time alone on the
// sheet's own day, else the date too.
inline QString StateTime(const QDateTime& at, const QDateTime& sheetTime)
{
    return at.date() == sheetTime.date() ? at.toString(TimeFormat)
                                         : at.toString(DateTimeFormat);
}

} // namespace SheetTexts
