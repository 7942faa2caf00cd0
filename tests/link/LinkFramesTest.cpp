// The link frames, byte for byte, against a worked example computed by hand.
#include "LinkFrames.h"
#include "LinkTestFixture.h"
#include "ParamImage.h"

#include <cstring>

using LinkFrames = BoundLinkTest;

TEST_F(LinkFrames, WriteRequestForBlock0OfZeroImage_MatchesWorkedExample)
{
    ParamImage image;
    std::memset(LinkBuffer(), 0xAA, 40); // leftovers must not leak into a 'W' request
    PutRequest(CommandWrite, 0, image);
    QByteArray expected = Bytes({0xFF, 0x81, 0x00, 0x57, 0x00});
    expected.append(QByteArray(12, '\0'));
    expected.append(char(0x57));
    expected.append(char(0x7E));
    EXPECT_EQ(Buffer(0, 19), expected);
}

TEST_F(LinkFrames, WriteRequest_CarriesImageBlockAndChecksum)
{
    ParamImage image;
    for (int i = 0; i < ParamImage::Size; ++i)
        image.setByte(i, std::uint8_t(i * 7 + 1));
    PutRequest(CommandWrite, 3, image);
    EXPECT_EQ(LinkBuffer()[3], 'W');
    EXPECT_EQ(LinkBuffer()[4], 3);
    unsigned sum = 'W' + 3;
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(LinkBuffer()[5 + i], image.byte(36 + i));
        sum += image.byte(36 + i);
    }
    EXPECT_EQ(LinkBuffer()[17], sum % 256);
    std::uint8_t x = 0;
    for (int i = 0; i < 18; ++i)
        x ^= LinkBuffer()[i];
    EXPECT_EQ(LinkBuffer()[18], x);
}

TEST_F(LinkFrames, ChecksumWraps_0x1FE_Gives_0xFE)
{
    // 'W' (0x57) + block 5 + data summing to 0x1FE - 0x5C = 0x1A2.
    ParamImage image;
    const int target = 0x1FE - 0x57 - 5;
    int left = target;
    for (int i = 0; i < 12; ++i) {
        const int v = std::min(left, 0xFF);
        image.setByte(60 + i, std::uint8_t(v));
        left -= v;
    }
    ASSERT_EQ(left, 0);
    PutRequest(CommandWrite, 5, image);
    EXPECT_EQ(LinkBuffer()[17], 0xFE);
}

TEST_F(LinkFrames, ReadAndRestRequests_KeepLeftoverBytes5To17)
{
    ParamImage image;
    for (int i = 0; i < 19; ++i)
        LinkBuffer()[i] = std::uint8_t(0x10 + i);
    PutRequest(CommandRead, 2, image);
    EXPECT_EQ(Buffer(0, 5), Bytes({0xFF, 0x81, 0x00, 0x53, 0x02}));
    for (int i = 5; i <= 17; ++i)
        EXPECT_EQ(LinkBuffer()[i], 0x10 + i) << i;
    std::uint8_t x = 0;
    for (int i = 0; i < 18; ++i)
        x ^= LinkBuffer()[i];
    EXPECT_EQ(LinkBuffer()[18], x);

    PutRequest(CommandRest, 0, image);
    EXPECT_EQ(LinkBuffer()[3], 0x52);
    EXPECT_EQ(LinkBuffer()[17], 0x10 + 17);
}

TEST_F(LinkFrames, TwoReadRequestsForSameBlock_DifferAfterDifferentReplies)
{
    ParamImage image;
    std::memset(LinkBuffer(), 0x00, 19);
    PutRequest(CommandRead, 1, image);
    const QByteArray first = Buffer(0, 19);
    std::memset(LinkBuffer(), 0x33, 19);
    PutRequest(CommandRead, 1, image);
    const QByteArray second = Buffer(0, 19);
    EXPECT_EQ(first.left(5), second.left(5));
    EXPECT_NE(first.mid(5), second.mid(5));
    EXPECT_NE(first[18], second[18]);
}

TEST_F(LinkFrames, ReplyAccepted_ChecksBlockAndChecksumOnly)
{
    std::memset(LinkBuffer(), 0, 19);
    LinkBuffer()[4] = 2;
    LinkBuffer()[9] = 0x40;
    LinkBuffer()[17] = std::uint8_t(2 + 0x40);
    EXPECT_TRUE(ReplyAccepted(2));
    // Wrong block: rejected even though the checksum is right for the bytes.
    EXPECT_FALSE(ReplyAccepted(3));
    // Bytes 0..2 and 18 are not examined.
    LinkBuffer()[0] = 0x12;
    LinkBuffer()[1] = 0x34;
    LinkBuffer()[2] = 0x56;
    LinkBuffer()[18] = 0x99;
    EXPECT_TRUE(ReplyAccepted(2));
    // Byte 3 is part of the checksum: changing it alone is a bad checksum.
    LinkBuffer()[3] = 1;
    EXPECT_FALSE(ReplyAccepted(2));
    LinkBuffer()[17] = std::uint8_t(1 + 2 + 0x40);
    EXPECT_TRUE(ReplyAccepted(2));
    // One corrupted data byte: bad checksum.
    LinkBuffer()[10] ^= 0x01;
    EXPECT_FALSE(ReplyAccepted(2));
}

TEST_F(LinkFrames, ReplyChecksumWraps)
{
    std::memset(LinkBuffer(), 0xFF, 19);
    LinkBuffer()[4] = 5;
    // bytes 3..16: 13 x 0xFF + 5 = 0xCF8 -> 0xF8
    LinkBuffer()[17] = 0xF8;
    EXPECT_TRUE(ReplyAccepted(5));
}

TEST_F(LinkFrames, InvitationAndWake)
{
    std::memcpy(LinkBuffer(), "\xFF\x00\x00\xFF\x55", 5);
    EXPECT_TRUE(IsInvitation());
    LinkBuffer()[2] = 1;
    EXPECT_FALSE(IsInvitation());
    PutWakeFrame();
    EXPECT_EQ(Buffer(0, 5), Bytes({0xFF, 0x80, 0x0F, 0x0F, 0x7F}));
}
