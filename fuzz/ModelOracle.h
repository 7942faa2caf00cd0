// Independent reference rules for the fuzz targets: what the decoder must show
// for an image, what the encoder must store for a table, and a check macro that
// aborts (so libFuzzer records the input) with the failed condition.
#pragma once

#include "ConfigModel.h"
#include "CoreTexts.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace oracle {

inline const QString& cellOf(const ConfigModel& m, int address, int column)
{
    return m.cell(AddressTable::pageOf(address), AddressTable::rowOf(address), column);
}

// Delay text of a delay code (bits 5,4 of an address byte) in a mode.
inline QString delayFor(int code, int mode)
{
    using namespace CoreTexts;
    switch (code & 3) {
    case 0:
        return mode == OtherDevicesMode ? Delay0 : Delay30;
    case 1:
        return Delay60;
    case 2:
        return Delay120;
    default:
        return mode == OtherDevicesMode ? Delay360 : Delay240;
    }
}

// Decoded view of one address byte, straight from the bit table.
struct Expected
{
    QString mode;
    QString delay;
};

inline Expected decodeByte(std::uint8_t v, bool otherDevices)
{
    using namespace CoreTexts;
    if (!(v & 0x80))
        return {ModeUnused, QString()};
    const int code = (v >> 4) & 3;
    if (otherDevices)
        return {ModeUsed, delayFor(code, OtherDevicesMode)};
    const int message = 1 + ((v & 0x08) ? 1 : 0) + ((v & 0x40) ? 2 : 0);
    return {MessagePrefix + QChar(u'0' + message), delayFor(code, SpeechMode)};
}

// After ImageToTable from `image`, starting from `modeBefore`/`optionsBefore`:
// every row, the operating mode and the options follow the bit tables.
inline void checkDecoded(const ConfigModel& m, const ParamImage& image, int modeBefore,
                         const CommonOptions& optionsBefore)
{
    const std::uint8_t b0 = image.byte(0), b1 = image.byte(1);
    bool anyUsed = false;
    for (int a = 1; a <= AddressTable::Addresses; ++a)
        anyUsed |= (image.byte(a - 1) & 0x80) != 0;
    const bool other = anyUsed ? (b0 & 0x04) != 0 : modeBefore == OtherDevicesMode;
    for (int a = 1; a <= AddressTable::Addresses; ++a) {
        const Expected e = decodeByte(image.byte(a - 1), other);
        FUZZ_CHECK(cellOf(m, a, AddressTable::ModeColumn) == e.mode);
        FUZZ_CHECK(cellOf(m, a, AddressTable::DelayColumn) == e.delay);
    }
    if (!anyUsed) {
        FUZZ_CHECK(m.OperatingMode() == modeBefore);
        FUZZ_CHECK(m.options() == optionsBefore);
        return;
    }
    FUZZ_CHECK(m.OperatingMode() == (other ? OtherDevicesMode : SpeechMode));
    FUZZ_CHECK(m.options().checkFaultInput == ((b1 & 0x04) != 0));
    if (other) {
        FUZZ_CHECK(m.options().startAcknowledge == ((b0 & 0x02) != 0));
        FUZZ_CHECK(m.options().controlUpa == ((b0 & 0x01) != 0));
    } else {
        FUZZ_CHECK(m.options().startAcknowledge == optionsBefore.startAcknowledge);
        FUZZ_CHECK(m.options().controlUpa == optionsBefore.controlUpa);
    }
}

// The byte the encoder must store for a row. `known` is false for mode texts the
// editing gestures can never produce ("Сообщ." with no digit 1..4 after it):
// those only have to be stored as used or unused, not with a particular number.
inline std::uint8_t encodeRow(const QString& mode, const QString& delay, bool& known)
{
    using namespace CoreTexts;
    known = true;
    std::uint8_t b = 0;
    if (mode.startsWith(MessagePrefix)) {
        b = 0x80;
        const QString rest = mode.mid(MessagePrefix.size());
        if (rest.size() >= 1 && rest[0] >= u'1' && rest[0] <= u'4') {
            const int k = rest[0].unicode() - u'1';
            if (k & 1)
                b |= 0x08;
            if (k & 2)
                b |= 0x40;
        } else {
            known = false;
        }
    } else if (mode == ModeUsed) {
        b = 0x80;
    } else {
        return 0;
    }
    if (delay == Delay360 || delay == Delay240 || delay == Delay120)
        b |= 0x20;
    if (delay == Delay360 || delay == Delay240 || delay == Delay60)
        b |= 0x10;
    return b;
}

// After TableToImage: bytes 0..63 follow the table and the options, 64..71 are
// as they were before.
inline void checkEncoded(const ConfigModel& m, const ParamImage& before)
{
    const ParamImage& img = m.image();
    for (int i = 64; i < ParamImage::Size; ++i)
        FUZZ_CHECK(img.byte(i) == before.byte(i));
    const bool other = m.OperatingMode() == OtherDevicesMode;
    for (int a = 1; a <= AddressTable::Addresses; ++a) {
        bool known = true;
        std::uint8_t want = encodeRow(cellOf(m, a, AddressTable::ModeColumn),
                                      cellOf(m, a, AddressTable::DelayColumn), known);
        if (a == 1 && other)
            want |= 0x04 | (m.options().controlUpa ? 0x03 : 0);
        if (a == 2 && (!other || m.options().checkFaultInput))
            want |= 0x04;
        const std::uint8_t got = img.byte(a - 1);
        if (known)
            FUZZ_CHECK(got == want);
        else
            FUZZ_CHECK((got & 0xB7) == (want & 0xB7)); // all but the message bits
    }
}

} // namespace oracle
