// The Telnet/RFC 2217 codec: what the client answers to each negotiation a
// server may send, the line settings it asks for, and data escaping.
#include "TelnetCodec.h"

#include <gtest/gtest.h>

using namespace Telnet;
using Bytes = TelnetCodec::Bytes;

namespace {

struct Fed
{
    Bytes data, reply;
};

Fed FeedAll(TelnetCodec& codec, const Bytes& in)
{
    Fed out;
    codec.Feed(in.data(), in.size(), out.data, out.reply);
    return out;
}

} // namespace

TEST(TelnetCodec, Negotiation_AnswersOnlyChangesAndDeclinesTheRest)
{
    struct Case
    {
        const char* what;
        Bytes in;
        Bytes reply;
        TelnetCodec::Option comPort;
    };
    const Case cases[] = {
        {"DO COM-PORT answers our WILL",
         {IAC, DO, COM_PORT_OPTION},
         {},
         TelnetCodec::Option::Accepted},
        {"DONT COM-PORT refuses it",
         {IAC, DONT, COM_PORT_OPTION},
         {},
         TelnetCodec::Option::Refused},
        {"WILL BINARY answers our DO", {IAC, WILL, BINARY}, {}, TelnetCodec::Option::Pending},
        {"WILL ECHO is declined", {IAC, WILL, 1}, {IAC, DONT, 1}, TelnetCodec::Option::Pending},
        {"DO TERMINAL-TYPE is declined",
         {IAC, DO, 24},
         {IAC, WONT, 24},
         TelnetCodec::Option::Pending},
        {"a repeated DO is not answered again",
         {IAC, DO, BINARY, IAC, DO, BINARY},
         {},
         TelnetCodec::Option::Pending},
        {"DONT after agreement is acknowledged",
         {IAC, DO, SGA, IAC, DONT, SGA},
         {IAC, WONT, SGA},
         TelnetCodec::Option::Pending},
        {"WONT of what was never on is not answered",
         {IAC, WONT, 1},
         {},
         TelnetCodec::Option::Pending},
        {"NOP, GA and a stray SE are skipped",
         {IAC, 241, IAC, 249, IAC, SE},
         {},
         TelnetCodec::Option::Pending},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TelnetCodec codec;
        const Fed fed = FeedAll(codec, c.in);
        EXPECT_EQ(fed.reply, c.reply);
        EXPECT_TRUE(fed.data.empty());
        EXPECT_EQ(codec.comPort(), c.comPort);
    }
}

TEST(TelnetCodec, LineSettings_2400_8N1_NoFlowControl_DtrOffRtsOn)
{
    const Bytes expected = {
        IAC, SB, 44, 1, 0x00, 0x00, 0x09, 0x60, IAC, SE, // SET-BAUDRATE 2400
        IAC, SB, 44, 2, 8,    IAC,  SE,                  // SET-DATASIZE 8
        IAC, SB, 44, 3, 1,    IAC,  SE,                  // SET-PARITY NONE
        IAC, SB, 44, 4, 1,    IAC,  SE,                  // SET-STOPSIZE 1
        IAC, SB, 44, 5, 1,    IAC,  SE,                  // SET-CONTROL no flow control
        IAC, SB, 44, 5, 9,    IAC,  SE,                  // SET-CONTROL DTR OFF
        IAC, SB, 44, 5, 11,   IAC,  SE,                  // SET-CONTROL RTS ON
    };
    EXPECT_EQ(TelnetCodec::LineSettings(2400), expected);
    // A value byte 0xFF is doubled inside the subnegotiation too.
    EXPECT_EQ(TelnetCodec::Command(PURGE_DATA, {0xFF}),
              (Bytes{IAC, SB, 44, 12, IAC, IAC, IAC, SE}));
}

TEST(TelnetCodec, ServerAnswers_ReadAcrossPieces)
{
    // The baud answer with an escaped 0xFF in its value, then data, cut at
    // every position.
    const Bytes stream = {IAC, SB,   44,   101, 0x00, 0x00, IAC, IAC, 0x60, IAC, SE,  0xFF - 1, IAC,
                          IAC, 0x00, 0x00, IAC, IAC,  IAC,  SB,  44,  103,  1,   IAC, SE};
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        TelnetCodec codec;
        Fed fed;
        codec.Feed(stream.data(), cut, fed.data, fed.reply);
        codec.Feed(stream.data() + cut, stream.size() - cut, fed.data, fed.reply);
        EXPECT_EQ(fed.data, (Bytes{0xFE, 0xFF, 0x00, 0x00, 0xFF}));
        ASSERT_TRUE(codec.baudRate());
        EXPECT_EQ(*codec.baudRate(), 0xFF60u);
        EXPECT_EQ(codec.answer(SET_PARITY), std::optional<std::uint8_t>(1));
    }
}

TEST(TelnetCodec, OutsideBinaryMode_CrIsFollowedByNul)
{
    const std::uint8_t frame[] = {0xFF, 0x0D, 0x41};
    TelnetCodec codec;
    Bytes out;
    codec.AppendData(out, frame, sizeof frame);
    EXPECT_EQ(out, (Bytes{0xFF, 0xFF, 0x0D, 0x00, 0x41}));
    FeedAll(codec, {IAC, DO, BINARY});
    out.clear();
    codec.AppendData(out, frame, sizeof frame);
    EXPECT_EQ(out, (Bytes{0xFF, 0xFF, 0x0D, 0x41}));
    // A server that refuses binary sends CR NUL: the NUL is no data.
    const Fed fed = FeedAll(codec, {IAC, WONT, BINARY, 0x0D, 0x00, 0x0D, 0x41});
    EXPECT_EQ(fed.data, (Bytes{0x0D, 0x0D, 0x41}));
}

TEST(TelnetCodec, AfterAPurge_DataBeforeTheServersAnswerIsDropped)
{
    const Bytes purgeAnswer = {IAC, SB, 44, 112, 1, IAC, SE};
    TelnetCodec codec;
    // Until the server has answered a purge once, nothing is held back.
    codec.PurgeSent();
    Fed fed = FeedAll(codec, {0x11, IAC, IAC});
    EXPECT_EQ(fed.data, (Bytes{0x11, 0xFF}));
    FeedAll(codec, purgeAnswer);
    EXPECT_FALSE(codec.AwaitingPurge());

    codec.PurgeSent();
    codec.PurgeSent();
    Bytes stream = {0x21, IAC, IAC};
    stream.insert(stream.end(), purgeAnswer.begin(), purgeAnswer.end());
    stream.push_back(0x22);
    stream.insert(stream.end(), purgeAnswer.begin(), purgeAnswer.end());
    stream.insert(stream.end(), {0x23, IAC, IAC});
    fed = FeedAll(codec, stream);
    EXPECT_EQ(fed.data, (Bytes{0x23, 0xFF}));
    EXPECT_FALSE(codec.AwaitingPurge());
}
