// Text, JSON and difference reports over the configuration model.
#include "ConfigReport.h"

#include "AddressTable.h"
#include "ConfigModel.h"
#include "CoreTexts.h"
#include "ParamImage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString& ModeName(int mode)
{
    return mode == OtherDevicesMode ? CoreTexts::OtherDevicesModeName : CoreTexts::SpeechModeName;
}

const QString& ModeCell(const ConfigModel& model, int address)
{
    return model.cell(AddressTable::pageOf(address), AddressTable::rowOf(address),
                      AddressTable::ModeColumn);
}

const QString& DelayCell(const ConfigModel& model, int address)
{
    return model.cell(AddressTable::pageOf(address), AddressTable::rowOf(address),
                      AddressTable::DelayColumn);
}

QString CheckMark(bool checked)
{
    return checked ? QStringLiteral("[x] ") : QStringLiteral("[ ] ");
}

QString RadioMark(bool checked)
{
    return checked ? QStringLiteral("(*) ") : QStringLiteral("( ) ");
}

const QString& YesNo(bool value)
{
    return value ? ReportTexts::Yes : ReportTexts::No;
}

QString Hex(std::uint8_t value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString ConfigText(const ConfigModel& model)
{
    const CommonOptions& o = model.options();
    QStringList lines;
    lines << ReportTexts::ModeLabel + QStringLiteral(": ") + ModeName(model.OperatingMode());
    lines << CheckMark(o.checkFaultInput) + ReportTexts::FaultInputCaption;
    lines << CheckMark(o.startAcknowledge) + ReportTexts::StartAcknowledgeCaption;
    lines << RadioMark(o.controlUpa) + ReportTexts::UpaControlCaption;
    lines << RadioMark(!o.controlUpa) + ReportTexts::AlertControlCaption;
    lines << QString();
    const int modeWidth = 9;
    lines << CoreTexts::HeaderAddress + QStringLiteral("  ") +
                 CoreTexts::HeaderMode.leftJustified(modeWidth) + CoreTexts::HeaderDelay;
    for (int a = 1; a <= AddressTable::Addresses; ++a) {
        QString line = QString::number(a).rightJustified(CoreTexts::HeaderAddress.size()) +
                       QStringLiteral("  ") + ModeCell(model, a).leftJustified(modeWidth) +
                       DelayCell(model, a);
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        lines << line;
    }
    const QStringList unshown = UnshownBitsText(model.image());
    if (!unshown.isEmpty())
        lines << QString() << unshown;
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QByteArray ConfigJson(const ConfigModel& model)
{
    // Keys in the documented order, one address a line: readable, and still one
    // JSON object for any parser.
    const auto compact = [](const QJsonObject& object) {
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    };
    const CommonOptions& o = model.options();
    // Keyed by the window's controls, as the tool's output has always been.
    const QJsonObject options{
        {QStringLiteral("CheckBox1"), o.checkFaultInput},
        {QStringLiteral("CheckBox2"), o.startAcknowledge},
        {QStringLiteral("RadioButton1"), o.controlUpa},
    };
    QByteArray json = "{\"mode\":" + QByteArray::number(model.OperatingMode()) +
                      ",\n\"options\":" + compact(options) + ",\n\"addresses\":[\n";
    for (int a = 1; a <= AddressTable::Addresses; ++a) {
        json += compact(QJsonObject{
            {QStringLiteral("address"), a},
            {QStringLiteral("mode"), ModeCell(model, a)},
            {QStringLiteral("delay"), DelayCell(model, a)},
        });
        json += a < AddressTable::Addresses ? ",\n" : "\n";
    }
    json += "]}\n";
    return json;
}

QStringList ConfigDifferences(const ConfigModel& device, const ConfigModel& file,
                              const QString& lineFormat)
{
    QStringList lines;
    if (device.OperatingMode() != file.OperatingMode()) {
        lines << lineFormat.arg(ReportTexts::ModeLabel, ModeName(device.OperatingMode()),
                                ModeName(file.OperatingMode()));
    }
    const CommonOptions& d = device.options();
    const CommonOptions& f = file.options();
    if (d.checkFaultInput != f.checkFaultInput)
        lines << lineFormat.arg(ReportTexts::FaultInputCaption, YesNo(d.checkFaultInput),
                                YesNo(f.checkFaultInput));
    if (d.startAcknowledge != f.startAcknowledge)
        lines << lineFormat.arg(ReportTexts::StartAcknowledgeCaption, YesNo(d.startAcknowledge),
                                YesNo(f.startAcknowledge));
    if (d.controlUpa != f.controlUpa) {
        const auto choice = [](bool upa) {
            return upa ? ReportTexts::UpaControlCaption : ReportTexts::AlertControlCaption;
        };
        lines << lineFormat.arg(ReportTexts::ControlLabel, choice(d.controlUpa),
                                choice(f.controlUpa));
    }
    const auto row = [](const ConfigModel& model, int a) {
        const QString& delay = DelayCell(model, a);
        return delay.isEmpty() ? ModeCell(model, a) : ModeCell(model, a) + QLatin1Char(' ') + delay;
    };
    for (int a = 1; a <= AddressTable::Addresses; ++a) {
        if (ModeCell(device, a) != ModeCell(file, a) ||
            DelayCell(device, a) != DelayCell(file, a)) {
            lines << lineFormat.arg(ReportTexts::AddressLabel + QLatin1Char(' ') +
                                        QString::number(a),
                                    row(device, a), row(file, a));
        }
    }
    return lines;
}

QStringList ImageDifferences(const ParamImage& written, const ParamImage& readBack)
{
    QStringList lines;
    for (int i = 0; i < ParamImage::StoredSize; ++i) {
        if (written.byte(i) == readBack.byte(i))
            continue;
        const QString w = Hex(written.byte(i));
        const QString r = Hex(readBack.byte(i));
        lines << (i < AddressTable::Addresses ? ReportTexts::VerifyAddress.arg(i + 1).arg(w, r)
                                              : ReportTexts::VerifyByte.arg(i).arg(w, r));
    }
    return lines;
}

std::uint8_t UnshownBits(const ParamImage& image, int index, std::uint8_t bits)
{
    if (bits == 0)
        return 0;
    ConfigModel shown;
    shown.ImageToTable(image);
    std::uint8_t unshown = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const auto mask = std::uint8_t(1u << bit);
        if (!(bits & mask))
            continue;
        ParamImage toggled = image;
        toggled.setByte(index, std::uint8_t(image.byte(index) ^ mask));
        ConfigModel other;
        other.ImageToTable(toggled);
        if (ConfigDifferences(shown, other).isEmpty())
            unshown |= mask;
    }
    return unshown;
}

QStringList UnshownDifferences(const ParamImage& device, const ParamImage& file,
                               const QString& lineFormat)
{
    ConfigModel deviceShown, fileShown;
    deviceShown.ImageToTable(device);
    fileShown.ImageToTable(file);
    // Bits that only together change nothing the table shows must still be told.
    const bool tableDiffers = !ConfigDifferences(deviceShown, fileShown).isEmpty();
    QStringList lines;
    for (int i = 0; i < ParamImage::StoredSize; ++i) {
        const auto differing = std::uint8_t(device.byte(i) ^ file.byte(i));
        // A bit one side's table shows is told by the table's lines.
        const std::uint8_t unshown =
            tableDiffers ? UnshownBits(device, i, differing) & UnshownBits(file, i, differing)
                         : differing;
        if (unshown == 0)
            continue;
        lines << lineFormat.arg(ReportTexts::UnshownByte.arg(i).arg(Hex(unshown)), Hex(device.byte(i)),
                                Hex(file.byte(i)));
    }
    return lines;
}

QStringList UnshownBitsText(const ParamImage& image)
{
    QStringList lines;
    for (int i = 0; i < ParamImage::StoredSize; ++i) {
        const std::uint8_t unshown = UnshownBits(image, i, image.byte(i));
        if (unshown != 0)
            lines << ReportTexts::UnshownSet.arg(i).arg(Hex(image.byte(i)), Hex(unshown));
    }
    if (!lines.isEmpty())
        lines.prepend(ReportTexts::UnshownHeader);
    return lines;
}
