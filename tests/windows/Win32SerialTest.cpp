// The Win32 serial backend against the station simulator on a real COM port
// (under wine: a COM port mapped onto the station's pseudo-terminal).
// scripts/test-windows sets LUMK_TEST_COM (the port's name) and LUMK_TEST_IMAGE
// (the station's image file, which it saves after each write), and checks the
// line settings from the station's side afterwards. LUMK_TEST_RFC2217 names a
// ser2net port on the Linux side in front of another station, whose image file
// is LUMK_TEST_RFC2217_IMAGE.
#include "ConfigModel.h"
#include "ImageFile.h"
#include "LinkTexts.h"
#include "ParamImage.h"
#include "PortProber.h"
#include "RealTimeTransfer.h"
#include "RecordingSink.h"
#include "SerialLink.h"
#include "SystemClock.h"
#include "TransferEngine.h"
#include "Transports.h"
#include "Win32SerialBackend_windows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

class Win32Serial : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The platform's backend and the real clock.
        link.SetOpenFailureReporter([this](const QString& text) { openFailures.append(text); });
        ASSERT_FALSE(port.isEmpty()) << "LUMK_TEST_COM names the station's COM port";
    }
    void TearDown() override { link.Close(); }

    // The operator picks the station's port, or another one.
    void Select() { Select(port); }
    void Select(const QString& name) { engine.ConnectPort(name); }
    bool RunTransfer(int maxMs = 30000) { return RunTransferRealTime(engine, maxMs); }
    // The station's image as its file holds it now.
    static ParamImage StationImage(const char* variable = "LUMK_TEST_IMAGE")
    {
        ParamImage image;
        EXPECT_TRUE(LoadImageFile(qEnvironmentVariable(variable), image)) << variable;
        return image;
    }

    const QString port = qEnvironmentVariable("LUMK_TEST_COM");
    SerialLink link{SerialLink::BackendFactory(OpenTransport), std::make_shared<SystemClock>()};
    ConfigModel model;
    RecordingSink sink;
    TransferEngine engine{model, sink, link};
    QStringList openFailures;
};

} // namespace

TEST_F(Win32Serial, DefaultBackendIsWin32)
{
    EXPECT_NE(dynamic_cast<Win32SerialBackend*>(OpenTransport(QStringLiteral("COM5")).get()),
              nullptr);
    EXPECT_EQ(DevicePath("COM5"), QStringLiteral("\\\\.\\COM5"));
    EXPECT_EQ(DevicePath("\\\\.\\COM12"), QStringLiteral("\\\\.\\COM12"));
    // What Windows answers an open of a port held by another program, or of
    // one that is gone (wine does not refuse a second open, so only here).
    const QString path = DevicePath("COM3");
    EXPECT_EQ(DescribeOpenError(ERROR_ACCESS_DENIED, path).state, PortState::Busy);
    EXPECT_EQ(DescribeOpenError(ERROR_ACCESS_DENIED, path).reason, DeviceTexts::BusyUnknown());
    EXPECT_EQ(DescribeOpenError(ERROR_FILE_NOT_FOUND, path).reason,
              DeviceTexts::NoSuchDevice(path));
    EXPECT_EQ(DescribeOpenError(ERROR_GEN_FAILURE, path).state, PortState::Error);
}

// The survey finds the station's port among COM1..COM128 and leaves it closed;
// the port the program holds is reported usable without being opened again,
// and a name that does not exist is absent from the list.
TEST_F(Win32Serial, Survey_ListsTheStationPortAndLeavesItClosed)
{
    const auto find = [](const QList<SerialDevice>& devices, const QString& name) {
        for (const SerialDevice& device : devices) {
            if (device.name == name)
                return device;
        }
        return SerialDevice{};
    };
    const SerialDevice com5 = find(SurveySerialDevices(), port);
    EXPECT_EQ(com5.state, PortState::Usable) << com5.reason.toStdString();
    EXPECT_EQ(com5.path, DevicePath(port));
    EXPECT_TRUE(find(SurveySerialDevices(), QStringLiteral("COM128")).name.isEmpty());
    EXPECT_EQ(InspectSerialDevice(QStringLiteral("COM128")).reason,
              DeviceTexts::NoSuchDevice(QStringLiteral("\\\\.\\COM128")));

    Select();
    ASSERT_TRUE(link.IsOpen());
    EXPECT_EQ(find(SystemPortProber().Survey(port), port).state, PortState::Usable);
    // The probe left nothing open: the held port still transfers.
    ASSERT_TRUE(RunTransfer());
    EXPECT_EQ(model.image(), StationImage());
}

// The device's whole image comes over the line, then a changed one goes back:
// the station accepts only well-formed frames with the right sums, and the
// script compares the image it saved with the one written here.
TEST_F(Win32Serial, ReadThenWrite_StationImageRoundTrips)
{
    const ParamImage before = StationImage();
    Select();
    ASSERT_TRUE(openFailures.isEmpty()) << openFailures.join(", ").toStdString();
    ASSERT_TRUE(engine.PortReady());
    ASSERT_TRUE(RunTransfer());
    EXPECT_EQ(model.image(), before);
    EXPECT_TRUE(sink.shown.isEmpty()) << sink.shown.join(", ").toStdString();

    model.setCell(1, 3, 1, QStringLiteral("Сообщ.4"));
    model.setCell(1, 3, 2, QStringLiteral("120 сек."));
    engine.StartWrite();
    const ParamImage written = model.image();
    ASSERT_NE(written, before);
    ASSERT_TRUE(RunTransfer());
    EXPECT_EQ(sink.shown, QStringList{LinkTexts::Written});
    // The station saves after the last block; give its file a moment.
    QElapsedTimer t;
    t.start();
    while (StationImage() != written && t.elapsed() < 3000)
        QThread::msleep(20);
    EXPECT_EQ(StationImage(), written);
}

// A second open of the held port is refused (on Windows by the driver's
// exclusive open; wine does not refuse it, so there only the module side is
// seen), and a port that does not exist is named as missing.
TEST_F(Win32Serial, OpenFailures_AreNamed)
{
    Win32SerialBackend missing;
    EXPECT_FALSE(missing.Open("COM250"));
    EXPECT_EQ(missing.LastOpenFault(), Win32SerialBackend::OpenFault::NotFound);
    EXPECT_FALSE(link.Open("COM250"));
    EXPECT_EQ(openFailures, QStringList{LinkTexts::NotOpen("COM250")});
    EXPECT_FALSE(link.IsOpen());
}

// The station hangs up in the middle of a transfer (LUMK_TEST_HANGUP_COM: a
// station that closes its line after a few frames). Reads and writes then
// fail at once instead of waiting, ticks take their usual time, and closing
// does not wait for a line that will never drain.
TEST_F(Win32Serial, HangUpMidTransfer_TicksAndCloseStayBounded)
{
    const QString hangUpPort = qEnvironmentVariable("LUMK_TEST_HANGUP_COM");
    ASSERT_FALSE(hangUpPort.isEmpty())
        << "LUMK_TEST_HANGUP_COM names the hanging-up station's port";
    Select(hangUpPort);
    ASSERT_TRUE(engine.PortReady());
    QElapsedTimer t;
    for (int tick = 0; tick < 12 && engine.ProgressVisible(); ++tick) {
        t.start();
        engine.Tick();
        EXPECT_LT(t.elapsed(), 1500) << "tick " << tick;
    }
    EXPECT_TRUE(engine.ProgressVisible()); // the image never came whole
    EXPECT_TRUE(link.IsOpen());
    EXPECT_FALSE(link.Write(19));
    t.start();
    link.Close();
    EXPECT_LT(t.elapsed(), Win32SerialBackend::DrainLimitMs + 500);
}

// Network ports work on Windows too: a read through ser2net over RFC 2217
// delivers the station's image exactly.
TEST_F(Win32Serial, Rfc2217_ReadsTheStationThroughSer2net)
{
    const QString address = qEnvironmentVariable("LUMK_TEST_RFC2217");
    ASSERT_TRUE(address.startsWith(QStringLiteral("rfc2217://")))
        << "LUMK_TEST_RFC2217 names ser2net's rfc2217:// port";
    const ParamImage station = StationImage("LUMK_TEST_RFC2217_IMAGE");
    Select(address);
    ASSERT_TRUE(openFailures.isEmpty()) << openFailures.join(", ").toStdString();
    ASSERT_TRUE(engine.PortReady());
    ASSERT_TRUE(RunTransfer());
    EXPECT_EQ(model.image(), station);
    EXPECT_TRUE(sink.shown.isEmpty()) << sink.shown.join(", ").toStdString();
}
