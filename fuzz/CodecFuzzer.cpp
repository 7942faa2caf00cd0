// Fuzz target: the encoder and decoder over arbitrary images, cell texts and
// sequences of the operator's editing gestures. After every encode and decode
// the result is checked against the bit tables; while only the gestures have
// touched the table, every cell must hold a text of the current mode; and at the
// end encode/decode must reach a fixed point that keeps bytes 64..71.
#include "ConfigModel.h"
#include "CoreTexts.h"
#include "ModelOracle.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

namespace {

using namespace CoreTexts;

// Texts worth trying in a cell besides arbitrary ones: every valid text, texts of
// the wrong column or mode, and near misses of the message prefix.
const QString& pickKnownText(FuzzedDataProvider& in)
{
    static const QString texts[] = {
        ModeUnused,
        ModeUsed,
        MessageText(1),
        MessageText(2),
        MessageText(3),
        MessageText(4),
        MessageText(0),
        MessageText(5),
        MessageText(9),
        MessagePrefix,
        QStringLiteral("Сообщ"),
        QString(),
        Delay0,
        Delay30,
        Delay60,
        Delay120,
        Delay240,
        Delay360,
        HeaderMode,
        QStringLiteral("Сообщ.12"),
        QStringLiteral("Сообщ.\u0663"), // a non-ASCII decimal digit
    };
    return texts[in.ConsumeIntegralInRange<std::size_t>(0, std::size(texts) - 1)];
}

QString pickText(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        return pickKnownText(in);
    case 1:
        return MessagePrefix + QString::fromUtf8(in.ConsumeRandomLengthString(8));
    default:
        return QString::fromUtf8(in.ConsumeRandomLengthString(24));
    }
}

// Every row holds a mode text and a delay text of the current mode, and an
// unused row has no delay.
void checkTableConsistent(const ConfigModel& m)
{
    const QStringList modes = ConfigModel::Choices(AddressTable::ModeColumn, m.OperatingMode());
    const QStringList delays = ConfigModel::Choices(AddressTable::DelayColumn, m.OperatingMode());
    for (int a = 1; a <= AddressTable::Addresses; ++a) {
        const QString& mode = oracle::cellOf(m, a, AddressTable::ModeColumn);
        const QString& delay = oracle::cellOf(m, a, AddressTable::DelayColumn);
        FUZZ_CHECK(modes.contains(mode));
        if (mode == ModeUnused)
            FUZZ_CHECK(delay.isEmpty());
        else
            FUZZ_CHECK(delays.contains(delay));
    }
}

void decodeChecked(ConfigModel& m)
{
    const ParamImage image = m.image();
    const int mode = m.OperatingMode();
    const CommonOptions options = m.options();
    m.ImageToTable();
    FUZZ_CHECK(m.image() == image);
    oracle::checkDecoded(m, image, mode, options);
}

void encodeChecked(ConfigModel& m)
{
    const ParamImage before = m.image();
    m.TableToImage();
    oracle::checkEncoded(m, before);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    ConfigModel m;
    m.LabelPages();

    // Start as the program does: an arbitrary image (a device read or a file),
    // a mode and options, then the first decode.
    for (int i = 0; i < ParamImage::Size; ++i)
        m.image().setByte(i, in.ConsumeIntegral<std::uint8_t>());
    m.setOperatingMode(in.ConsumeBool() ? OtherDevicesMode : SpeechMode);
    m.setOptions({in.ConsumeBool(), in.ConsumeBool(), in.ConsumeBool()});
    decodeChecked(m);

    bool onlyGestures = true; // no arbitrary text has been put into a cell
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        const int page = in.ConsumeIntegralInRange(1, AddressTable::Pages);
        const int row = in.ConsumeIntegralInRange(1, AddressTable::RowsPerPage);
        switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0: // a device read or file load changes image bytes
            m.image().setByte(in.ConsumeIntegralInRange(0, ParamImage::Size - 1),
                              in.ConsumeIntegral<std::uint8_t>());
            break;
        case 1: // a cell text no gesture produces
            m.setCell(page, row, in.ConsumeBool() ? 1 : 2, pickText(in));
            onlyGestures = false;
            break;
        case 2:
            m.ToggleModeColumn(page);
            break;
        case 3:
            m.AdvanceDelayColumn(page);
            break;
        case 4: { // the popup: a mode choice of the current mode
            const QStringList c = ConfigModel::Choices(AddressTable::ModeColumn, m.OperatingMode());
            const QString& text = c.at(in.ConsumeIntegralInRange<qsizetype>(0, c.size() - 1));
            m.setCell(page, row, AddressTable::ModeColumn, text);
            m.ModeCellChanged(page, row, text);
            break;
        }
        case 5: { // the popup: a delay choice, offered only on a used row
            if (m.cell(page, row, AddressTable::ModeColumn) == ModeUnused)
                break;
            const QStringList c =
                ConfigModel::Choices(AddressTable::DelayColumn, m.OperatingMode());
            m.setCell(page, row, AddressTable::DelayColumn,
                      c.at(in.ConsumeIntegralInRange<qsizetype>(0, c.size() - 1)));
            break;
        }
        case 6: // the mode selector or menu
            m.setOperatingMode(in.ConsumeBool() ? OtherDevicesMode : SpeechMode);
            m.ApplyOperatingMode();
            break;
        case 7:
            m.setOptions({in.ConsumeBool(), in.ConsumeBool(), in.ConsumeBool()});
            break;
        case 8: // before a write or a save
            encodeChecked(m);
            break;
        case 9: // after a read or an Open
            decodeChecked(m);
            break;
        }
        const QString delay = m.DelayText(AddressTable::addressOf(page, row));
        FUZZ_CHECK(
            ConfigModel::Choices(AddressTable::DelayColumn, m.OperatingMode()).contains(delay));
        if (onlyGestures)
            checkTableConsistent(m);
    }

    // Whatever the table holds, one encode and decode settle it: from then on
    // encoding and decoding change neither the image, the table nor the mode.
    encodeChecked(m);
    decodeChecked(m);
    checkTableConsistent(m);
    encodeChecked(m);
    const ParamImage settled = m.image();
    const AddressTable shown = m.table();
    const int mode = m.OperatingMode();
    decodeChecked(m);
    FUZZ_CHECK(m.table() == shown);
    FUZZ_CHECK(m.OperatingMode() == mode);
    encodeChecked(m);
    FUZZ_CHECK(m.image() == settled);
    return 0;
}
