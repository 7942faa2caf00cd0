// The decoded configuration as text for people and as JSON for scripts, and the
// differences between two decoded configurations: for lumkctl today, for a
// printed configuration sheet later.
#pragma once

#include <QByteArray>
#include <QStringList>

#include <cstdint>

class ConfigModel;
class ParamImage;

// The words of the report.
namespace ReportTexts {
inline const QString ModeLabel = QStringLiteral("Режим работы");
inline const QString FaultInputCaption = QStringLiteral("проверять неисправность по входу КН");
inline const QString StartAcknowledgeCaption = QStringLiteral("квитирование запуска");
inline const QString UpaControlCaption = QStringLiteral("Управление УПА");
inline const QString AlertControlCaption = QStringLiteral("Управление оповещением");
inline const QString ControlLabel = QStringLiteral("Управление");
inline const QString Yes = QStringLiteral("да");
inline const QString No = QStringLiteral("нет");
inline const QString AddressLabel = QStringLiteral("Адрес");
// "<what>: устройство «…», файл «…»"
inline const QString DiffLine = QStringLiteral("%1: устройство «%2», файл «%3»");
// A byte written and read back differently.
inline const QString VerifyAddress = QStringLiteral("адрес %1: записано %2, прочитано %3");
inline const QString VerifyByte = QStringLiteral("байт %1: записано %2, прочитано %3");
// A byte whose differing bits include some the table does not show: "%1" of
// a difference line; the sides then give the raw bytes.
inline const QString UnshownByte = QStringLiteral("Байт %1 (биты %2 таблица не показывает)");
// show: set bits the table does not show.
inline const QString UnshownHeader = QStringLiteral("Биты, которых таблица не показывает:");
inline const QString UnshownSet = QStringLiteral("  байт %1 = %2, биты %3");
} // namespace ReportTexts

// Operating mode, options and the 64 rows as a readable table.
QString ConfigText(const ConfigModel& model);

// {"mode": 0|1, "options": {"CheckBox1", "CheckBox2", "RadioButton1"},
//  "addresses": [{"address": 1, "mode": "…", "delay": "…"}, …]} with the cell
// texts exactly as the grids show them.
QByteArray ConfigJson(const ConfigModel& model);

// One line per difference between the decoded configurations (operating mode,
// each option, each address); empty when they agree. `lineFormat` names the two
// sides: "%1: устройство «%2», файл «%3»" unless told otherwise.
QStringList ConfigDifferences(const ConfigModel& device, const ConfigModel& file,
                              const QString& lineFormat = ReportTexts::DiffLine);

// The bits of image byte `index` among `bits` whose change the decoded table
// would not show (bytes 64..69 are never shown at all).
std::uint8_t UnshownBits(const ParamImage& image, int index, std::uint8_t bits = 0xFF);

// One line per byte 0..69 whose differing bits include some the table does not
// show, with both raw values: what ConfigDifferences cannot tell.
QStringList UnshownDifferences(const ParamImage& device, const ParamImage& file,
                               const QString& lineFormat = ReportTexts::DiffLine);

// One line per byte 0..69 with set bits the table does not show; empty when
// the table tells everything.
QStringList UnshownBitsText(const ParamImage& image);

// One line per byte 0..69 that differs between what was written and what was
// read back, naming the address for bytes 0..63.
QStringList ImageDifferences(const ParamImage& written, const ParamImage& readBack);
