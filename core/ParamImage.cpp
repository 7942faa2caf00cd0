#include "ParamImage.h"

#include <QIODevice>

void ParamImage::zeroStoredPrefix()
{
    std::fill(bytes_.begin(), bytes_.begin() + StoredSize, 0);
}

ParamImage::Block ParamImage::block(int number) const
{
    Block out{};
    const auto first = bytes_.begin() + BlockSize * number;
    Q_ASSERT(number >= 0 && number < BlockCount);
    std::copy(first, first + BlockSize, out.begin());
    return out;
}

void ParamImage::setBlock(int number, const std::uint8_t* data)
{
    Q_ASSERT(number >= 0 && number < BlockCount);
    std::copy(data, data + BlockSize, bytes_.begin() + BlockSize * number);
}

QByteArray ParamImage::toText() const
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray text(TextLength, '0');
    for (int i = 0; i < StoredSize; ++i) {
        text[2 * i] = digits[bytes_[i] >> 4];
        text[2 * i + 1] = digits[bytes_[i] & 0x0F];
    }
    return text;
}

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

void ParamImage::fromText(QByteArrayView line)
{
    for (int i = 0; i < StoredSize; ++i) {
        const qsizetype at = 2 * i;
        const qsizetype count = std::clamp<qsizetype>(line.size() - at, 0, 2);
        int value = 0;
        bool valid = count > 0;
        for (qsizetype k = 0; k < count && valid; ++k) {
            const int digit = hexValue(line[at + k]);
            valid = digit >= 0;
            value = value * 16 + digit;
        }
        bytes_[i] = valid ? std::uint8_t(value) : 0;
    }
}

bool ReadFirstLine(QIODevice& device, QByteArray& line, qsizetype keep)
{
    line.clear();
    char chunk[4096];
    while (line.size() < keep) {
        const qint64 got = device.read(chunk, sizeof chunk);
        if (got < 0)
            return false;
        if (got == 0)
            return true; // end of file
        for (qint64 i = 0; i < got; ++i) {
            const char c = chunk[i];
            if (c == '\n' || c == '\x1A')
                return true;
            if (c == '\r')
                continue;
            line.append(c);
            if (line.size() >= keep)
                return true;
        }
    }
    return true;
}
