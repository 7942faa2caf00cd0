// Why an in-process station's port ("station:NAME") did not open or stopped
// working, for the operator. Each names the port; lumkctl prints it after
// "Причина: ".
#pragma once

#include <QString>

namespace StationTexts {

inline const QString Unknown = QStringLiteral("%1: в этой программе нет такого симулятора БС");
inline const QString Down = QStringLiteral(
    "%1: симулятор БС разорвал линию и ещё не готов; выберите порт снова через секунду");
inline const QString Busy = QStringLiteral("%1: линию симулятора БС уже открыл другой порт");
inline const QString HungUp = QStringLiteral("%1: симулятор БС разорвал линию");

} // namespace StationTexts
