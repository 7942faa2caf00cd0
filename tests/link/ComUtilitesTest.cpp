// The serial port module against the scripted port in virtual time.
#include "ComUtilites.h"
#include "LinkTestFixture.h"

using ComUtilites = BoundLinkTest;

TEST_F(ComUtilites, Read19_With19BytesWithin500ms_Succeeds)
{
    ASSERT_TRUE(OpenPort("COM3"));
    port->Deliver(QByteArray(19, 'a'), 200);
    EXPECT_TRUE(ReadPort(19));
    EXPECT_EQ(Buffer(0, 19), QByteArray(19, 'a'));
}

TEST_F(ComUtilites, Read19_With18Bytes_FailsAfterDeadlineKeepingThem)
{
    ASSERT_TRUE(OpenPort("COM3"));
    const auto start = clock->NowMs();
    port->Deliver(QByteArray(18, 'b'), 10);
    EXPECT_FALSE(ReadPort(19));
    EXPECT_GT(clock->NowMs() - start, 500);
    EXPECT_LE(clock->NowMs() - start, 502);
    EXPECT_EQ(Buffer(0, 18), QByteArray(18, 'b'));
}

TEST_F(ComUtilites, Read_WithNoPortOpen_FailsAtOnceWithoutSleeping)
{
    LinkBuffer()[0] = 0x42;
    EXPECT_FALSE(ReadPort(19));
    EXPECT_EQ(clock->Slept(), 0);
    EXPECT_EQ(port->readCalls, 0);
    EXPECT_EQ(LinkBuffer()[0], 0x42);
}

TEST_F(ComUtilites, Read_PollsEveryMillisecondAskingForFullCount_StoresUpTo2nMinus1)
{
    ASSERT_TRUE(OpenPort("COM3"));
    // 18 bytes waiting, 19 more arrive 5 ms later: the second poll asks for the
    // full 19 again and stores 18 + 19 = 37 = 2n - 1 bytes.
    port->Deliver(QByteArray(18, 'x'));
    port->Deliver(QByteArray(19, 'y'), 5);
    EXPECT_TRUE(ReadPort(19));
    EXPECT_EQ(Buffer(0, 37), QByteArray(18, 'x') + QByteArray(19, 'y'));
}

TEST_F(ComUtilites, Read_DeadlineCheckedAfterRead_LateCompleteDataStillFails)
{
    ASSERT_TRUE(OpenPort("COM3"));
    // Arrives at the poll just after the deadline: received reaches n, but the
    // deadline check comes first.
    port->Deliver(QByteArray(4, 'z'), 501);
    EXPECT_FALSE(ReadPort(4));
    EXPECT_EQ(Buffer(0, 4), QByteArray(4, 'z'));
}

TEST_F(ComUtilites, Read_PlatformFailuresCountAsZeroBytes)
{
    ASSERT_TRUE(OpenPort("COM3"));
    port->readFails = true;
    EXPECT_FALSE(ReadPort(4));
    EXPECT_GE(port->readCalls, 500);
}

TEST_F(ComUtilites, OpenFailure_ReportsNotOpenName_AndClosesPreviousPort)
{
    ASSERT_TRUE(OpenPort("COM1"));
    EXPECT_NE(PortHandle(), nullptr);
    port->refusedNames.insert("COM3");
    EXPECT_FALSE(OpenPort("COM3"));
    EXPECT_EQ(PortHandle(), nullptr);
    EXPECT_EQ(openFailures, QStringList{"Not open COM3"});
    EXPECT_EQ(port->events, (QStringList{"open COM1", "close", "open COM3"}));
}

TEST_F(ComUtilites, Open_GivesTheOpenPortAsHandle_CloseClearsIt)
{
    ASSERT_TRUE(OpenPort("COM1"));
    EXPECT_EQ(PortHandle(), port.get());
    ClosePort();
    EXPECT_EQ(PortHandle(), nullptr);
    EXPECT_TRUE(openFailures.isEmpty());
}

TEST_F(ComUtilites, Write_FewerBytesAccepted_Fails)
{
    ASSERT_TRUE(OpenPort("COM1"));
    port->writeLimit = 4;
    EXPECT_FALSE(WritePort(5));
    port->writeLimit = -1;
    EXPECT_TRUE(WritePort(5));
}

TEST_F(ComUtilites, Write_WithNoPortOpen_Fails)
{
    EXPECT_FALSE(WritePort(5));
    EXPECT_TRUE(port->writes.isEmpty());
}

TEST_F(ComUtilites, Purge_ReachesOpenPortOnly)
{
    PurgePort(PurgeRx);
    EXPECT_TRUE(port->events.isEmpty());
    ASSERT_TRUE(OpenPort("COM1"));
    PurgePort(PurgeTx);
    PurgePort(PurgeRx);
    EXPECT_EQ(port->events, (QStringList{"open COM1", "purge 4", "purge 8"}));
}

TEST_F(ComUtilites, ABindingNamesItsLinkUntilItEnds)
{
    ASSERT_TRUE(OpenPort("COM1"));
    {
        SerialLink other(std::make_shared<ScriptedPort>(clock), clock);
        const PortBinding inner(other);
        EXPECT_FALSE(PortIsOpen());
        EXPECT_EQ(LinkBuffer(), other.Buffer());
    }
    EXPECT_TRUE(PortIsOpen());
    EXPECT_EQ(LinkBuffer(), link.Buffer());
}
