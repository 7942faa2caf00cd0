// The 72-byte parameter image: the single store of the device's configuration,
// exchanged with the device in six 12-byte blocks and kept in files as text.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>

class QIODevice;
class QString;

class ParamImage
{
public:
    static constexpr int Size = 72;
    static constexpr int StoredSize = 70; // bytes 0..69 go into files
    static constexpr int BlockSize = 12;
    static constexpr int BlockCount = 6;
    static constexpr int TextLength = 2 * StoredSize;

    using Block = std::array<std::uint8_t, BlockSize>;

    void zeroStoredPrefix();

    std::uint8_t byte(int index) const { return bytes_.at(index); }
    void setByte(int index, std::uint8_t value) { bytes_.at(index) = value; }

    Block block(int number) const;
    void setBlock(int number, const std::uint8_t* data);

    const std::array<std::uint8_t, Size>& bytes() const { return bytes_; }

    // 140 upper-case hexadecimal digits of bytes 0..69.
    QByteArray toText() const;
    // Overwrites bytes 0..69 from one line by the lenient pair rule: each pair of
    // hexadecimal digits gives a byte, anything else (or nothing) gives 0.
    void fromText(QByteArrayView line);

    bool operator==(const ParamImage&) const = default;

private:
    std::array<std::uint8_t, Size> bytes_{};
};

// Reads the first line of a text stream: everything before the first LF, with
// every CR dropped and 0x1A ending the text. Keeps at most `keep` characters and
// stops reading once they are kept, so a huge file without a line end costs
// bounded memory. Returns false only when the stream cannot be read.
bool ReadFirstLine(QIODevice& device, QByteArray& line, qsizetype keep = ParamImage::TextLength);
