// Fuzz target: arbitrary file content through the configuration file path.
// The bytes are read as a file's first line, loaded into image bytes 0..69 and
// decoded into the table. Checked against rules written out here independently:
// the first-line rule, the hexadecimal pair rule, the untouched bytes 70 and 71,
// the decoded rows, and that writing the image and reading it back changes nothing.
#include "ConfigModel.h"
#include "ModelOracle.h"
#include "ParamImage.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {

// The first line: everything before the first LF or 0x1A, every CR removed.
QByteArray referenceFirstLine(const QByteArray& content)
{
    qsizetype end = content.size();
    for (char stop : {'\n', '\x1A'}) {
        const qsizetype at = content.indexOf(stop);
        if (at >= 0 && at < end)
            end = at;
    }
    QByteArray line = content.left(end);
    line.replace('\r', QByteArray());
    return line;
}

int hexDigit(char c)
{
    static const char digits[] = "0123456789abcdef0123456789ABCDEF";
    for (int i = 0; i < 32; ++i) {
        if (digits[i] == c)
            return i % 16;
    }
    return -1;
}

// Byte i of the text form: the pair at positions 2i, 2i+1 (or what exists of it),
// 0 unless every character there is a hexadecimal digit.
std::uint8_t referencePair(const QByteArray& line, int i)
{
    const QByteArray pair = line.mid(2 * i, 2);
    if (pair.isEmpty())
        return 0;
    int value = 0;
    for (char c : pair) {
        const int d = hexDigit(c);
        if (d < 0)
            return 0;
        value = value * 16 + d;
    }
    return std::uint8_t(value);
}

bool loadThroughDevice(const QByteArray& content, ParamImage& image)
{
    QBuffer device;
    device.setData(content);
    if (!device.open(QIODevice::ReadOnly))
        return false;
    QByteArray line;
    if (!ReadFirstLine(device, line))
        return false;
    FUZZ_CHECK(line.size() <= ParamImage::TextLength); // bounded, whatever the file
    image.fromText(line);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));

    // Bytes 70 and 71 hold values a file must never touch; the rest starts as a
    // pattern the load has to overwrite completely.
    ConfigModel model;
    model.LabelPages();
    for (int i = 0; i < ParamImage::Size; ++i)
        model.image().setByte(i, std::uint8_t(0xA5 ^ i));
    FUZZ_CHECK(loadThroughDevice(content, model.image()));

    const QByteArray line = referenceFirstLine(content);
    for (int i = 0; i < ParamImage::StoredSize; ++i)
        FUZZ_CHECK(model.image().byte(i) == referencePair(line, i));
    FUZZ_CHECK(model.image().byte(70) == (0xA5 ^ 70));
    FUZZ_CHECK(model.image().byte(71) == (0xA5 ^ 71));

    // Decode from a start state that varies with the input, so both outcomes of
    // "no address used keeps the mode and options" are reached.
    const int modeBefore = (size & 1) ? OtherDevicesMode : SpeechMode;
    const CommonOptions optionsBefore{(size & 2) != 0, (size & 4) != 0, (size & 8) != 0};
    model.setOperatingMode(modeBefore);
    model.setOptions(optionsBefore);
    const ParamImage loaded = model.image();
    model.ImageToTable();
    FUZZ_CHECK(model.image() == loaded); // decoding never changes the image
    oracle::checkDecoded(model, loaded, modeBefore, optionsBefore);

    // Save form: 140 upper-case digits; reading it back restores bytes 0..69.
    const QByteArray text = model.image().toText();
    FUZZ_CHECK(text.size() == ParamImage::TextLength);
    for (char c : text)
        FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    ParamImage reread;
    FUZZ_CHECK(loadThroughDevice(text + "\r\n", reread));
    for (int i = 0; i < ParamImage::StoredSize; ++i)
        FUZZ_CHECK(reread.byte(i) == loaded.byte(i));

    // Encoding the decoded table keeps what the operator sees: decoding the
    // encoded image shows the same rows and the same mode again.
    const AddressTable shown = model.table();
    const int modeShown = model.OperatingMode();
    const ParamImage beforeEncode = model.image();
    model.TableToImage();
    oracle::checkEncoded(model, beforeEncode);
    const ParamImage encoded = model.image();
    model.ImageToTable();
    FUZZ_CHECK(model.table() == shown);
    FUZZ_CHECK(model.OperatingMode() == modeShown);
    model.TableToImage();
    FUZZ_CHECK(model.image() == encoded);
    return 0;
}
