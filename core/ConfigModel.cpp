#include "ConfigModel.h"

#include "CoreTexts.h"

using namespace CoreTexts;

namespace {

bool isMessageText(const QString& mode)
{
    return mode.startsWith(MessagePrefix);
}

bool isUsedText(const QString& mode)
{
    return mode == ModeUsed || isMessageText(mode);
}

// Address byte bits of the message number: bit 0 of (n - 1) -> 0x08, bit 1 -> 0x40.
std::uint8_t messageBits(const QString& mode)
{
    const qsizetype at = MessagePrefix.size();
    int k = 0; // a missing or non-digit number counts as message 1
    if (mode.size() > at && mode.at(at).isDigit())
        k = mode.at(at).digitValue() - 1;
    std::uint8_t bits = 0;
    if (k & 1)
        bits |= 0x08;
    if (k & 2)
        bits |= 0x40;
    return bits;
}

} // namespace

ConfigModel::ConfigModel(QObject* parent) : QObject(parent)
{
}

void ConfigModel::setCell(int page, int row, int column, const QString& text)
{
    if (table_.cell(page, row, column) == text)
        return;
    table_.setCell(page, row, column, text);
    emit cellChanged(page, row, column);
}

void ConfigModel::setOperatingMode(int mode)
{
    mode = mode == OtherDevicesMode ? OtherDevicesMode : SpeechMode;
    if (mode_ == mode)
        return;
    mode_ = mode;
    emit operatingModeChanged(mode_);
}

void ConfigModel::setOptions(const CommonOptions& options)
{
    if (options_ == options)
        return;
    options_ = options;
    emit optionsChanged();
}

void ConfigModel::setCheckFaultInput(bool checked)
{
    CommonOptions o = options_;
    o.checkFaultInput = checked;
    setOptions(o);
}

void ConfigModel::setStartAcknowledge(bool checked)
{
    CommonOptions o = options_;
    o.startAcknowledge = checked;
    setOptions(o);
}

void ConfigModel::setControlUpa(bool upa)
{
    CommonOptions o = options_;
    o.controlUpa = upa;
    setOptions(o);
}

void ConfigModel::Restore(const AddressTable& table, int mode, const CommonOptions& options)
{
    setOperatingMode(mode);
    setOptions(options);
    for (int page = 1; page <= AddressTable::Pages; ++page)
        for (int row = 0; row < AddressTable::Rows; ++row)
            for (int column = 0; column < AddressTable::Columns; ++column)
                setCell(page, row, column, table.cell(page, row, column));
}

void ConfigModel::setConfigLocked(bool locked)
{
    if (locked_ == locked)
        return;
    locked_ = locked;
    emit configLockedChanged(locked_);
}

QString ConfigModel::DelayText(int address) const
{
    return delayText(image_.byte(address - 1));
}

QString ConfigModel::delayText(std::uint8_t addressByte) const
{
    const int code = (addressByte >> 4) & 3;
    if (mode_ == OtherDevicesMode) {
        static const QString texts[] = {Delay0, Delay60, Delay120, Delay360};
        return texts[code];
    }
    static const QString texts[] = {Delay30, Delay60, Delay120, Delay240};
    return texts[code];
}

void ConfigModel::TableToImage()
{
    TableToImage(image_);
}

ParamImage ConfigModel::EncodedImage() const
{
    ParamImage image = image_;
    TableToImage(image);
    return image;
}

void ConfigModel::TableToImage(ParamImage& image) const
{
    for (int a = 1; a <= AddressTable::Addresses; ++a) {
        const int page = AddressTable::pageOf(a);
        const int row = AddressTable::rowOf(a);
        const QString& m = table_.cell(page, row, AddressTable::ModeColumn);
        const QString& d = table_.cell(page, row, AddressTable::DelayColumn);
        std::uint8_t b = 0;
        if (isMessageText(m))
            b = 0x80 | messageBits(m);
        else if (m == ModeUsed)
            b = 0x80;
        if (b != 0) {
            if (d == Delay360 || d == Delay240 || d == Delay120)
                b |= 0x20;
            if (d == Delay360 || d == Delay240 || d == Delay60)
                b |= 0x10;
        }
        image.setByte(a - 1, b);
    }
    if (mode_ == OtherDevicesMode) {
        image.setByte(0, image.byte(0) | 0x04);
        if (options_.checkFaultInput)
            image.setByte(1, image.byte(1) | 0x04);
        if (options_.controlUpa)
            image.setByte(0, image.byte(0) | 0x03);
    } else {
        image.setByte(1, image.byte(1) | 0x04);
    }
}

void ConfigModel::ImageToTable()
{
    ImageToTable(image_);
}

void ConfigModel::ImageToTable(const ParamImage& image)
{
    const std::uint8_t byte0 = image.byte(0);
    const std::uint8_t byte1 = image.byte(1);
    for (int a = 1; a <= AddressTable::Addresses; ++a) {
        const std::uint8_t v = image.byte(a - 1);
        if (!(v & 0x80)) {
            setModeAndDelay(a, ModeUnused, QString());
            continue;
        }
        CommonOptions o = options_;
        o.checkFaultInput = byte1 & 0x04;
        if (byte0 & 0x04) {
            setOperatingMode(OtherDevicesMode);
            o.startAcknowledge = byte0 & 0x02;
            o.controlUpa = byte0 & 0x01;
            setOptions(o);
            setModeAndDelay(a, ModeUsed, delayText(v));
        } else {
            setOperatingMode(SpeechMode);
            setOptions(o);
            const int n = 1 + ((v >> 3) & 1) + 2 * ((v >> 6) & 1);
            setModeAndDelay(a, MessageText(n), delayText(v));
        }
    }
}

QStringList ConfigModel::Choices(int column, int mode)
{
    const bool other = mode == OtherDevicesMode;
    if (column == AddressTable::ModeColumn) {
        if (other)
            return {ModeUnused, ModeUsed};
        return {ModeUnused, MessageText(1), MessageText(2), MessageText(3), MessageText(4)};
    }
    if (column == AddressTable::DelayColumn) {
        if (other)
            return {Delay0, Delay60, Delay120, Delay360};
        return {Delay30, Delay60, Delay120, Delay240};
    }
    return {};
}

void ConfigModel::ToggleModeColumn(int page)
{
    const bool other = mode_ == OtherDevicesMode;
    for (int row = 1; row < AddressTable::Rows; ++row) {
        const int a = AddressTable::addressOf(page, row);
        if (isUsedText(table_.cell(page, row, AddressTable::ModeColumn)))
            setModeAndDelay(a, ModeUnused, QString());
        else if (other)
            setModeAndDelay(a, ModeUsed, Delay0);
        else
            setModeAndDelay(a, MessageText(1), Delay30);
    }
}

void ConfigModel::AdvanceDelayColumn(int page)
{
    const bool other = mode_ == OtherDevicesMode;
    for (int row = 1; row < AddressTable::Rows; ++row) {
        const QString d = table_.cell(page, row, AddressTable::DelayColumn);
        QString next;
        if (d == Delay240 || d == Delay360)
            next = other ? Delay0 : Delay30;
        else if (d == Delay120)
            next = other ? Delay360 : Delay240;
        else if (d == Delay60)
            next = Delay120;
        else if (d == Delay0 || d == Delay30)
            next = Delay60;
        else
            continue;
        setCell(page, row, AddressTable::DelayColumn, next);
    }
}

void ConfigModel::ModeCellChanged(int page, int row, const QString& text)
{
    const QString delay =
        text == ModeUnused ? QString() : DelayText(AddressTable::addressOf(page, row));
    setCell(page, row, AddressTable::DelayColumn, delay);
}

void ConfigModel::ApplyOperatingMode()
{
    const bool other = mode_ == OtherDevicesMode;
    // Presentation (menu check mark, common-properties group) follows the mode.
    emit operatingModeChanged(mode_);
    for (int a = 1; a <= AddressTable::Addresses; ++a) {
        const QString& m =
            table_.cell(AddressTable::pageOf(a), AddressTable::rowOf(a), AddressTable::ModeColumn);
        if (other && isMessageText(m))
            setModeAndDelay(a, ModeUsed, DelayText(a));
        else if (!other && m == ModeUsed)
            setModeAndDelay(a, MessageText(1), DelayText(a));
    }
}

void ConfigModel::LabelPages()
{
    for (int page = 1; page <= AddressTable::Pages; ++page) {
        setCell(page, 0, AddressTable::AddressColumn, HeaderAddress);
        setCell(page, 0, AddressTable::ModeColumn, HeaderMode);
        setCell(page, 0, AddressTable::DelayColumn, HeaderDelay);
        for (int row = 1; row < AddressTable::Rows; ++row)
            setCell(page, row, AddressTable::AddressColumn,
                    QString::number(AddressTable::addressOf(page, row)));
    }
}

void ConfigModel::setModeAndDelay(int address, const QString& mode, const QString& delay)
{
    const int page = AddressTable::pageOf(address);
    const int row = AddressTable::rowOf(address);
    setCell(page, row, AddressTable::ModeColumn, mode);
    setCell(page, row, AddressTable::DelayColumn, delay);
}
