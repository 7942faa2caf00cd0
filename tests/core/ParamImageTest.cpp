// Parameter image: text form both ways and the first-line rule.
#include "ParamImage.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <random>

namespace {

ParamImage randomImage(std::mt19937& rng)
{
    ParamImage image;
    for (int i = 0; i < ParamImage::Size; ++i)
        image.setByte(i, std::uint8_t(rng()));
    return image;
}

QByteArray firstLineOf(const QByteArray& content, bool* ok = nullptr)
{
    QBuffer buffer;
    buffer.setData(content);
    buffer.open(QIODevice::ReadOnly);
    QByteArray line;
    const bool result = ReadFirstLine(buffer, line);
    if (ok)
        *ok = result;
    return line;
}

} // namespace

TEST(ParamImageText, WritesTwoUpperCaseDigitsPerStoredByte)
{
    ParamImage image;
    EXPECT_EQ(image.toText(), QByteArray(140, '0'));

    image.setByte(0, 0x0A);
    image.setByte(1, 0xFF);
    image.setByte(69, 0x5c);
    image.setByte(70, 0x11); // never part of the text
    image.setByte(71, 0x22);
    const QByteArray text = image.toText();
    ASSERT_EQ(text.size(), 140);
    EXPECT_TRUE(text.startsWith("0AFF"));
    EXPECT_TRUE(text.endsWith("5C"));
    EXPECT_EQ(text.count('0'), 140 - 5); // A, F, F, 5, C
}

TEST(ParamImageText, ReadsLinesByThePairRule)
{
    struct Case
    {
        const char* line;
        std::vector<std::pair<int, int>> expected; // index, value; all others 0
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"0a", {{0, 0x0A}}},
        {"0A", {{0, 0x0A}}},
        {"G1FF", {{1, 0xFF}}}, // a pair with a non-digit reads as 0
        {"A", {{0, 0x0A}}},    // odd length: the last byte from one digit
        {"12 3", {{0, 0x12}}}, // a space spoils its pair
        {"-1+2", {}},          // signs are not digits
        {"1\xD0\x9F", {}},     // a multibyte character spoils its pair
        {"ff00fE", {{0, 0xFF}, {2, 0xFE}}},
    };
    for (const Case& c : cases) {
        ParamImage image;
        for (int i = 0; i < ParamImage::Size; ++i)
            image.setByte(i, 0x77); // everything stored must be overwritten
        image.fromText(c.line);
        for (int i = 0; i < ParamImage::StoredSize; ++i) {
            int want = 0;
            for (const auto& [index, value] : c.expected)
                if (index == i)
                    want = value;
            EXPECT_EQ(image.byte(i), want) << "line \"" << c.line << "\" byte " << i;
        }
        EXPECT_EQ(image.byte(70), 0x77) << c.line;
        EXPECT_EQ(image.byte(71), 0x77) << c.line;
    }
}

TEST(ParamImageText, UsesOnlyTheFirst140Characters)
{
    QByteArray line(140, 'F');
    line += "0123456789";
    ParamImage image;
    image.fromText(line);
    for (int i = 0; i < ParamImage::StoredSize; ++i)
        ASSERT_EQ(image.byte(i), 0xFF);
    EXPECT_EQ(image.byte(70), 0);
}

TEST(ParamImageText, RoundTripsRandomImagesAndNormalisesCase)
{
    std::mt19937 rng(1234);
    for (int run = 0; run < 500; ++run) {
        const ParamImage original = randomImage(rng);
        ParamImage loaded = original;
        loaded.zeroStoredPrefix();
        loaded.fromText(original.toText().toLower());
        EXPECT_EQ(loaded, original);
        EXPECT_EQ(loaded.toText(), original.toText());
        EXPECT_EQ(loaded.toText(), loaded.toText().toUpper());
    }
}

TEST(ParamImageBlocks, BlockKCoversBytes12kTo12kPlus11)
{
    ParamImage image;
    for (int i = 0; i < ParamImage::Size; ++i)
        image.setByte(i, std::uint8_t(i));
    for (int k = 0; k < ParamImage::BlockCount; ++k) {
        const ParamImage::Block block = image.block(k);
        for (int j = 0; j < ParamImage::BlockSize; ++j)
            EXPECT_EQ(block[j], 12 * k + j);
    }
    const std::uint8_t data[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    image.setBlock(5, data);
    EXPECT_EQ(image.byte(59), 59);
    EXPECT_EQ(image.byte(60), 1);
    EXPECT_EQ(image.byte(71), 12);

    image.zeroStoredPrefix();
    for (int i = 0; i < ParamImage::StoredSize; ++i)
        EXPECT_EQ(image.byte(i), 0);
    EXPECT_EQ(image.byte(70), 11); // bytes 70 and 71 survive zeroing
    EXPECT_EQ(image.byte(71), 12);
}

TEST(FirstLine, FollowsTheLineEndRules)
{
    const std::vector<std::pair<QByteArray, QByteArray>> cases = {
        {"", ""},
        {"ABC", "ABC"},
        {"ABC\r\nDEF\r\n", "ABC"},
        {"ABC\nDEF", "ABC"},
        {"A\rB\rC\r\n", "ABC"}, // stray CRs are dropped
        {"AB\r\r\nX", "AB"},
        {"\r\nABC", ""},
        {"AB\x1A"
         "CD\n",
         "AB"}, // 0x1A ends the text
        {QByteArray("A\0B\n", 4), QByteArray("A\0B", 3)},
    };
    for (const auto& [content, expected] : cases) {
        bool ok = false;
        EXPECT_EQ(firstLineOf(content, &ok), expected) << content.toHex().constData();
        EXPECT_TRUE(ok);
    }
}

TEST(FirstLine, StopsReadingOnceEnoughCharactersAreKept)
{
    QByteArray content(100000, '7');
    QBuffer buffer;
    buffer.setData(content);
    buffer.open(QIODevice::ReadOnly);
    QByteArray line;
    ASSERT_TRUE(ReadFirstLine(buffer, line));
    EXPECT_EQ(line, QByteArray(140, '7'));
    EXPECT_LT(buffer.pos(), 10000); // did not read to the end
}

TEST(FirstLine, ReportsAStreamThatCannotBeRead)
{
    QBuffer closed; // never opened: read() fails
    QByteArray line = "stale";
    EXPECT_FALSE(ReadFirstLine(closed, line));
}
