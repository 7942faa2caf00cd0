// Address table codec: the encoder and decoder between the table and the image.
#include "ConfigModel.h"
#include "CoreTexts.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <random>

using namespace CoreTexts;

namespace {

struct Row
{
    QString mode;
    QString delay;
};

Row rowOf(const ConfigModel& m, int address)
{
    const int p = AddressTable::pageOf(address), r = AddressTable::rowOf(address);
    return {m.cell(p, r, 1), m.cell(p, r, 2)};
}

void setRow(ConfigModel& m, int address, const QString& mode, const QString& delay)
{
    const int p = AddressTable::pageOf(address), r = AddressTable::rowOf(address);
    m.setCell(p, r, 1, mode);
    m.setCell(p, r, 2, delay);
}

} // namespace

TEST(DelayText, FollowsCodeAndModeIgnoringBit7)
{
    const QString speech[] = {Delay30, Delay60, Delay120, Delay240};
    const QString other[] = {Delay0, Delay60, Delay120, Delay360};
    ConfigModel m;
    for (int v = 0; v < 256; ++v) {
        m.image().setByte(9, std::uint8_t(v));
        const int code = (v >> 4) & 3;
        m.setOperatingMode(SpeechMode);
        EXPECT_EQ(m.DelayText(10), speech[code]) << v;
        m.setOperatingMode(OtherDevicesMode);
        EXPECT_EQ(m.DelayText(10), other[code]) << v;
    }
}

TEST(ImageToTable, AllZeroImageShowsUnusedRowsAndKeepsModeAndOptions)
{
    ConfigModel m;
    m.setOperatingMode(OtherDevicesMode);
    m.setOptions({true, true, false});
    m.ImageToTable();
    for (int a = 1; a <= 64; ++a) {
        EXPECT_EQ(rowOf(m, a).mode, ModeUnused);
        EXPECT_EQ(rowOf(m, a).delay, QString());
    }
    EXPECT_EQ(m.OperatingMode(), OtherDevicesMode);
    EXPECT_EQ(m.options(), (CommonOptions{true, true, false}));
}

TEST(ImageToTable, OtherDevicesByteSetsModeAndAllOptions)
{
    ConfigModel m;
    m.image().setByte(0, 0x87);
    m.image().setByte(1, 0x04);
    m.ImageToTable();
    EXPECT_EQ(rowOf(m, 1).mode, ModeUsed);
    EXPECT_EQ(rowOf(m, 1).delay, Delay0);
    EXPECT_EQ(rowOf(m, 2).mode, ModeUnused);
    EXPECT_EQ(rowOf(m, 2).delay, QString());
    EXPECT_EQ(m.OperatingMode(), OtherDevicesMode);
    EXPECT_EQ(m.options(), (CommonOptions{true, true, true}));

    // Options follow the common bits: 0x04 alone clears the start acknowledgement and
    // picks control of the alerting.
    m.image().setByte(0, 0x84);
    m.image().setByte(1, 0x00);
    m.ImageToTable();
    EXPECT_EQ(m.options(), (CommonOptions{false, false, false}));
}

TEST(ImageToTable, SpeechBytesGiveMessageNumbersAndTouchOnlyTheFaultInputCheck)
{
    ConfigModel m;
    m.setOperatingMode(OtherDevicesMode);
    m.setOptions({false, true, false});
    const std::pair<std::uint8_t, int> bytes[] = {{0x80, 1}, {0x88, 2}, {0xC0, 3}, {0xC8, 4}};
    for (int i = 0; i < 4; ++i)
        m.image().setByte(20 + i, bytes[i].first | 0x30);
    m.image().setByte(1, 0x04); // bit 7 clear: unused, but 0x04 still sets the fault check
    m.ImageToTable();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rowOf(m, 21 + i).mode, MessageText(bytes[i].second));
        EXPECT_EQ(rowOf(m, 21 + i).delay, Delay240);
    }
    EXPECT_EQ(m.OperatingMode(), SpeechMode);
    EXPECT_EQ(m.options(), (CommonOptions{true, true, false}));
}

TEST(TableToImage, EncodesTheDocumentedExamples)
{
    ConfigModel m;
    for (int a = 1; a <= 64; ++a)
        setRow(m, a, MessageText(3), Delay240);
    m.TableToImage();
    for (int a = 1; a <= 64; ++a)
        EXPECT_EQ(m.image().byte(a - 1), a == 2 ? 0xF4 : 0xF0) << a;

    m.setOperatingMode(OtherDevicesMode);
    for (int a = 1; a <= 64; ++a)
        setRow(m, a, ModeUsed, Delay0);
    for (const CommonOptions& o : {CommonOptions{false, false, false}, {true, false, true}}) {
        m.setOptions(o);
        m.TableToImage();
        EXPECT_EQ(m.image().byte(0), 0x84 | (o.controlUpa ? 0x03 : 0));
        EXPECT_EQ(m.image().byte(1), 0x80 | (o.checkFaultInput ? 0x04 : 0));
        for (int a = 3; a <= 64; ++a)
            EXPECT_EQ(m.image().byte(a - 1), 0x80);
    }
}

TEST(TableToImage, UnusedRowsEncodeAsZeroWhateverTheirDelay)
{
    ConfigModel m;
    m.setOperatingMode(OtherDevicesMode);
    m.setOptions({false, false, false});
    for (int a = 1; a <= 64; ++a)
        setRow(m, a, a % 2 ? ModeUnused : QStringLiteral("garbage"), Delay360);
    m.TableToImage();
    EXPECT_EQ(m.image().byte(0), 0x04);
    for (int a = 2; a <= 64; ++a)
        EXPECT_EQ(m.image().byte(a - 1), 0) << a;
}

TEST(TableToImage, LeavesBytes64To71Alone)
{
    ConfigModel m;
    for (int i = 64; i < 72; ++i)
        m.image().setByte(i, std::uint8_t(i));
    m.TableToImage();
    for (int i = 64; i < 72; ++i)
        EXPECT_EQ(m.image().byte(i), i);
}

TEST(TableToImage, MalformedMessageTextsNeverReadOutOfBounds)
{
    struct Case
    {
        QString mode;
        std::uint8_t expected; // with delay "30 сек." and address 3
    };
    const Case cases[] = {
        {QStringLiteral("Сообщ."), 0x80},  // no number: message 1
        {QStringLiteral("Сообщ.x"), 0x80}, // non-digit: message 1
        {QStringLiteral("Сообщ. 2"), 0x80},
        {QStringLiteral("Сообщ.9"), 0x80},    // k = 8: bits 0 and 1 clear
        {QStringLiteral("Сообщ.0"), 0xC8},    // k = -1: every bit set
        {QStringLiteral("Сообщ.5"), 0x80},    // k = 4
        {QStringLiteral("Сообщ.6"), 0x88},    // k = 5
        {QStringLiteral("Сообщ.7"), 0xC0},    // k = 6
        {QStringLiteral("Сообщ.2xyz"), 0x88}, // only the seventh character counts
        {QStringLiteral("Сообщ.٣"), 0xC0},    // an Arabic-Indic three is a digit
        {QStringLiteral("Сообщ"), 0x00},      // not the prefix: unused
        {QStringLiteral("сообщ.1"), 0x00},    // case matters
        {QStringLiteral("Да "), 0x00},
        {QString(), 0x00},
    };
    for (const Case& c : cases) {
        ConfigModel m;
        setRow(m, 3, c.mode, Delay30);
        m.TableToImage();
        EXPECT_EQ(m.image().byte(2), c.expected) << c.mode.toStdString();
    }
}

// Decoding then encoding an image keeps every meaningful bit; only the documented
// normalisations happen: unused bytes become 0, low bits of address bytes drop,
// and the common bits are rewritten from the decoded mode and options.
TEST(CodecRoundTrip, ImageToTableToImageKeepsWhatTheTableCanShow)
{
    std::mt19937 rng(99);
    for (int run = 0; run < 2000; ++run) {
        ConfigModel m;
        for (int i = 0; i < ParamImage::Size; ++i)
            m.image().setByte(i, std::uint8_t(rng()));
        const ParamImage original = m.image();
        m.ImageToTable();
        m.TableToImage();
        const ParamImage& encoded = m.image();

        bool anyUsed = false;
        for (int i = 0; i < 64; ++i)
            anyUsed = anyUsed || (original.byte(i) & 0x80);
        const bool other = anyUsed && (original.byte(0) & 0x04);
        const std::uint8_t addressMask = other ? 0xB0 : 0xF8; // message bits only in speech

        for (int i = 0; i < 64; ++i) {
            const std::uint8_t want = original.byte(i) & 0x80 ? original.byte(i) & addressMask : 0;
            std::uint8_t got = encoded.byte(i);
            if (i < 2)
                got &= 0xF8;
            ASSERT_EQ(got, want) << "run " << run << " byte " << i;
        }
        for (int i = 64; i < 72; ++i)
            ASSERT_EQ(encoded.byte(i), original.byte(i));
        if (other) {
            ASSERT_EQ(encoded.byte(0) & 0x07, 0x04 | (original.byte(0) & 0x01 ? 0x03 : 0));
            ASSERT_EQ(encoded.byte(1) & 0x07, original.byte(1) & 0x04);
        } else {
            ASSERT_EQ(encoded.byte(1) & 0x07, 0x04);
        }
    }
}

// Encoding then decoding a table made by the editing gestures gives the same table,
// except that "240 сек." and "360 сек." share a code and show as the mode's value.
TEST(CodecRoundTrip, TableToImageToTableRestoresTheTable)
{
    std::mt19937 rng(7);
    for (int mode : {SpeechMode, OtherDevicesMode}) {
        for (int run = 0; run < 300; ++run) {
            ConfigModel m;
            m.setOperatingMode(mode);
            const QStringList modes = ConfigModel::Choices(1, mode);
            const QStringList delays = ConfigModel::Choices(2, mode);
            bool anyUsed = false;
            for (int a = 1; a <= 64; ++a) {
                const QString mt = modes.at(int(rng() % modes.size()));
                const bool used = mt != ModeUnused;
                anyUsed = anyUsed || used;
                setRow(m, a, mt, used ? delays.at(int(rng() % delays.size())) : QString());
            }
            m.setOptions({bool(rng() & 1), bool(rng() & 1), bool(rng() & 1)});
            const AddressTable table = m.table();
            const CommonOptions options = m.options();
            m.TableToImage();
            m.setOperatingMode(1 - mode);
            m.setOptions(
                {!options.checkFaultInput, !options.startAcknowledge, !options.controlUpa});
            m.ImageToTable();
            EXPECT_EQ(m.table(), table);
            if (anyUsed) {
                EXPECT_EQ(m.OperatingMode(), mode);
                if (mode == OtherDevicesMode) {
                    // The start acknowledgement is decoded from the bit the encoder sets for
                    // control of the УПА.
                    EXPECT_EQ(m.options(), (CommonOptions{options.checkFaultInput,
                                                          options.controlUpa, options.controlUpa}));
                } else {
                    EXPECT_TRUE(m.options().checkFaultInput);
                }
            }
        }
    }
}

TEST(ImageToTable, AnnouncesEveryChangedCellOnce)
{
    ConfigModel m;
    m.ImageToTable(); // all rows "Нет"
    QSignalSpy cells(&m, &ConfigModel::cellChanged);
    QSignalSpy modes(&m, &ConfigModel::operatingModeChanged);
    m.image().setByte(16, 0x84); // address 17: speech, page 2 row 1
    m.ImageToTable();
    ASSERT_EQ(cells.count(), 2);
    EXPECT_EQ(cells.at(0), (QVariantList{2, 1, 1}));
    EXPECT_EQ(cells.at(1), (QVariantList{2, 1, 2}));
    EXPECT_EQ(modes.count(), 0); // already speech
    m.image().setByte(0, 0x84);
    m.ImageToTable();
    EXPECT_EQ(modes.count(), 1);
}
