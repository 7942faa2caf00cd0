// --trace: received bytes that arrive in pieces are printed as one line per
// frame, sent frames as they went out, and nothing reaches the port altered.
#include "TracingBackend.h"
#include "ScriptedPort.h"
#include "VirtualClock.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

class Tracing : public ::testing::Test
{
protected:
    Tracing()
        : inner(std::make_shared<ScriptedPort>(clock)),
          tracing(
              inner, [this](const QString& line) { lines.append(line); },
              [] { return QTime(12, 34, 56, 789); })
    {
        tracing.Open(QStringLiteral("ttyS0"));
    }

    std::int64_t ReadSome(int max)
    {
        std::uint8_t buffer[64] = {};
        const std::int64_t got = tracing.Read(buffer, max);
        read.append(reinterpret_cast<const char*>(buffer), got > 0 ? got : 0);
        return got;
    }

    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::shared_ptr<ScriptedPort> inner;
    TracingBackend tracing;
    QStringList lines;
    QByteArray read;
};

TEST_F(Tracing, PiecesOfAFrame_PrintAsOneReceivedLineAtTheNextWrite)
{
    inner->Deliver(QByteArray::fromHex("FF0000FF"));
    ReadSome(2);
    ReadSome(2);
    ReadSome(4); // nothing more has arrived: no empty line either
    EXPECT_TRUE(lines.isEmpty());
    const QByteArray wake = QByteArray::fromHex("FF800F0F7F");
    EXPECT_EQ(tracing.Write(reinterpret_cast<const std::uint8_t*>(wake.constData()), 5, 205), 5);
    EXPECT_EQ(lines,
              (QStringList{"12:34:56.789 RX FF 00 00 FF", "12:34:56.789 TX FF 80 0F 0F 7F"}));
    // The port saw exactly the bytes, and the reader got exactly what arrived.
    ASSERT_EQ(inner->writes.size(), 1);
    EXPECT_EQ(inner->writes.at(0).bytes, wake);
    EXPECT_EQ(read, QByteArray::fromHex("FF0000FF"));
}

TEST_F(Tracing, PurgeAndClose_EndAReceivedLine)
{
    inner->Deliver(QByteArray::fromHex("0102"));
    ReadSome(19);
    tracing.Purge(PurgeRx);
    inner->Deliver(QByteArray::fromHex("03"));
    ReadSome(19);
    tracing.Close();
    EXPECT_EQ(lines, (QStringList{"12:34:56.789 RX 01 02", "12:34:56.789 RX 03"}));
    EXPECT_EQ(inner->events.last(), QStringLiteral("close"));
}

TEST_F(Tracing, ShortWrite_SaysHowMuchWentOut)
{
    inner->writeLimit = 2;
    const std::uint8_t frame[5] = {0xFF, 0x80, 0x0F, 0x0F, 0x7F};
    EXPECT_EQ(tracing.Write(frame, 5, 205), 2);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.at(0).startsWith("12:34:56.789 TX FF 80 0F 0F 7F ("));
    EXPECT_TRUE(lines.at(0).contains('2') && lines.at(0).contains('5'));
}

TEST(TracingFormat, LineIsTimeDirectionAndUpperCaseHex)
{
    const QString line =
        TracingBackend::FormatLine(QTime(1, 2, 3, 4), false, QByteArray::fromHex("00ab7f"));
    EXPECT_EQ(line, QStringLiteral("01:02:03.004 RX 00 AB 7F"));
}

} // namespace
