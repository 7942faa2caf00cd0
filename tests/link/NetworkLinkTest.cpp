// Network serial ports against a real ser2net serving the station simulator's
// pseudo-terminal, and against small misbehaving servers on loopback.
#include "ConfigModel.h"
#include "LinkTexts.h"
#include "NetworkBackend.h"
#include "RealTimeTransfer.h"
#include "RecordingSink.h"
#include "SerialLink.h"
#include "SerialServers_linux.h"
#include "StationSimulator.h"
#include "SystemClock.h"
#include "TransferEngine.h"
#include "Transports.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// The transport a port name selects, with every byte the program sends recorded.
class SentBytes : public SerialBackend
{
public:
    bool Open(const QString& name) override
    {
        inner = OpenTransport(name);
        return inner && inner->Open(name);
    }
    void Close() override
    {
        if (inner)
            inner->Close();
    }
    std::int64_t Read(std::uint8_t* dest, std::int64_t maxBytes) override
    {
        return inner->Read(dest, maxBytes);
    }
    std::int64_t Write(const std::uint8_t* src, std::int64_t count, int timeoutMs) override
    {
        sent.append(reinterpret_cast<const char*>(src), count);
        return inner->Write(src, count, timeoutMs);
    }
    void Purge(unsigned flags) override { inner->Purge(flags); }
    QString FailureReason() const override { return inner ? inner->FailureReason() : QString(); }

    std::shared_ptr<SerialBackend> inner;
    QByteArray sent;
};

// An image with 0xFF in data bytes of several blocks (block 0's first byte
// makes a frame with FF FF in a row).
ParamImage ImageWithFF()
{
    ParamImage image = StationSimulator::DemoImage();
    for (int i : {5, 12, 13, 40, 64, 65, 70, 71})
        image.setByte(i, 0xFF);
    return image;
}

class NetworkLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        link.SetOpenFailureReporter([this](const QString& text) { openFailures.append(text); });
    }
    void TearDown() override
    {
        link.Close();
        ser2net.Stop();
        if (station)
            station->Stop();
    }
    void StartStationAndServer(const ParamImage& image, bool tcpStation = false)
    {
        StationOptions options = StationSimulator::DefaultOptions();
        options.image = image;
        options.tcpListen = tcpStation;
        station = std::make_unique<StationSimulator>(options);
        QString error;
        ASSERT_TRUE(station->Start(&error)) << error.toStdString();
        if (!tcpStation) {
            ASSERT_TRUE(ser2net.Start(station->ProgramSidePath(), &error)) << error.toStdString();
        }
    }
    void Select(const QString& port) { engine.ConnectPort(port); }
    bool RunTransfer(int maxMs = 30000) { return RunTransferRealTime(engine, maxMs); }

    std::shared_ptr<SentBytes> recorder = std::make_shared<SentBytes>();
    SerialLink link{recorder, std::make_shared<SystemClock>()};
    ConfigModel model;
    RecordingSink sink;
    TransferEngine engine{model, sink, link};
    std::unique_ptr<StationSimulator> station;
    Ser2net ser2net;
    QStringList openFailures;
};

} // namespace

// A read and a write of an image full of 0xFF: the same bytes leave the
// program over rfc2217 and raw TCP through ser2net, and to the station behind
// its own TCP listener, as over the local pseudo-terminal; the images arrive
// exactly.
TEST_F(NetworkLink, ReadAndWrite_SameWireBytesAsLocalPort)
{
    const ParamImage stationImage = ImageWithFF();
    ParamImage toWrite = stationImage;
    toWrite.setByte(66, 0xFF);
    toWrite.setByte(67, 0x00);
    QByteArray localBytes;
    for (const char* kind : {"local", "rfc2217", "socket", "tcp station"}) {
        SCOPED_TRACE(kind);
        const QByteArray k(kind);
        StartStationAndServer(stationImage, k == "tcp station");
        const QString port = k == "rfc2217"  ? ser2net.Rfc2217Url()
                             : k == "socket" ? ser2net.RawUrl()
                                             : station->ProgramSidePath();
        recorder->sent.clear();
        sink.outcomes.clear();
        Select(port);
        ASSERT_TRUE(openFailures.isEmpty()) << openFailures.join(", ").toStdString();
        ASSERT_TRUE(engine.PortReady());
        ASSERT_TRUE(RunTransfer());
        EXPECT_EQ(model.image(), stationImage);

        // Bytes 64..71 are no part of the table: they go out as read.
        for (int i = 64; i < ParamImage::Size; ++i)
            model.image().setByte(i, toWrite.byte(i));
        engine.StartWrite();
        const ParamImage written = model.image();
        ASSERT_TRUE(RunTransfer());
        EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::Written});
        EXPECT_EQ(station->Image(), written);
        EXPECT_EQ(written.byte(66), 0xFF);
        link.Close();
        if (localBytes.isEmpty())
            localBytes = recorder->sent;
        else
            EXPECT_EQ(recorder->sent.toHex(' '), localBytes.toHex(' '));
        ser2net.Stop();
        station->Stop();
    }
}

// ser2net's line is configured at 9600: the client's settings make it 2400 8N1.
TEST_F(NetworkLink, Rfc2217_SetsTheRemoteLine)
{
    StartStationAndServer(StationSimulator::DemoImage());
    ASSERT_TRUE(link.Open(ser2net.Rfc2217Url())) << openFailures.join(", ").toStdString();
    StationLine line;
    ASSERT_TRUE(station->ProgramSideLine(line));
    EXPECT_EQ(line.baud, 2400);
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_FALSE(line.parity);
    EXPECT_EQ(line.stopBits, 1);
}

namespace {

// A loopback listener played by the test: `serve` runs on each accepted
// connection (on the server's thread) until the test ends.
class TestServer
{
public:
    using Serve = std::function<void(int fd, const std::atomic<bool>& stop)>;
    TestServer(Serve serve, int backlog = 4, bool accept = true)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, backlog);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
        if (!accept)
            return;
        thread_ = std::thread([this, serve] {
            while (!stop_) {
                pollfd p{fd_, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0)
                    continue;
                const int client = ::accept(fd_, nullptr, nullptr);
                if (client >= 0) {
                    serve(client, stop_);
                    ::close(client);
                }
            }
        });
    }
    ~TestServer()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        ::close(fd_);
    }
    quint16 port() const { return port_; }

private:
    int fd_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void StaySilent(int, const std::atomic<bool>& stop)
{
    while (!stop)
        ::usleep(10000);
}

// A Telnet server without Com Port Control: it asks for an option of its own
// and declines every option offered.
void RefuseOptions(int fd, const std::atomic<bool>& stop)
{
    const std::uint8_t terminalType[] = {255, 253, 24};
    ::send(fd, terminalType, sizeof terminalType, MSG_NOSIGNAL);
    std::uint8_t buf[256];
    std::size_t have = 0;
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = ::read(fd, buf + have, sizeof buf - have);
        if (n <= 0)
            return;
        have += std::size_t(n);
        std::size_t i = 0;
        for (; i + 2 < have; i += 3) {
            if (buf[i] != 255)
                continue;
            const std::uint8_t verb = buf[i + 1] == 251 ? 254 : buf[i + 1] == 253 ? 252 : 0;
            if (verb) {
                const std::uint8_t answer[] = {255, verb, buf[i + 2]};
                ::send(fd, answer, sizeof answer, MSG_NOSIGNAL);
            }
        }
        std::memmove(buf, buf + i, have - i);
        have -= i;
    }
}

// A server with Com Port Control that reports `baud` for any baud rate asked
// for and echoes every other setting; with `closeAfter` it closes the
// connection a moment after answering.
TestServer::Serve ComPortServer(std::uint32_t baud, bool closeAfter)
{
    return [baud, closeAfter](int fd, const std::atomic<bool>& stop) {
        QByteArray in;
        bool answered = false;
        QElapsedTimer since;
        while (!stop && !(closeAfter && answered && since.elapsed() > 100)) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                return;
            in.append(buf, n);
            QByteArray out;
            // IAC WILL COM-PORT-OPTION: IAC DO; IAC SB 44 cmd value IAC SE: the answer.
            for (qsizetype i; (i = in.indexOf("\xff\xfb\x2c")) >= 0;) {
                out.append("\xff\xfd\x2c", 3);
                in.remove(i, 3);
            }
            for (qsizetype i; (i = in.indexOf("\xff\xfa\x2c")) >= 0;) {
                const qsizetype end = in.indexOf("\xff\xf0", i);
                if (end < 0)
                    break;
                const std::uint8_t command = std::uint8_t(in[i + 3]);
                QByteArray value = in.mid(i + 4, end - i - 4);
                if (command == 1) {
                    value = QByteArray(4, 0);
                    qToBigEndian(baud, value.data());
                }
                out.append("\xff\xfa\x2c", 3);
                out.append(char(command + 100));
                out.append(value);
                out.append("\xff\xf0", 2);
                in.remove(i, end + 2 - i);
                answered = true;
                since.start();
            }
            ::send(fd, out.constData(), std::size_t(out.size()), MSG_NOSIGNAL);
        }
    };
}

} // namespace

// Every server fault ends the open (or the link test) within a bound, with a
// reason that names the address and says why in words.
TEST_F(NetworkLink, ServerFaults_FailClearlyAndBounded)
{
    TestServer silent(StaySilent);
    TestServer refusing(RefuseOptions);
    TestServer fast(ComPortServer(9600, false));
    TestServer closing(ComPortServer(2400, true));
    // Backlog 0 and one connection nobody accepts: the next SYN is dropped.
    TestServer full(nullptr, 0, false);
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(full.port());
        ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    }
    const quint16 nobody = FreeLoopbackPort();
    const auto url = [](const char* scheme, quint16 port) {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(port);
    };
    struct Case
    {
        QString port;
        QString reason; // in FailureReason; empty: opens, no device
        int maxMs;
    };
    const Case cases[] = {
        {url("rfc2217", nobody), QStringLiteral("сервер отказал в соединении"), 1000},
        {url("socket", nobody), QStringLiteral("сервер отказал в соединении"), 1000},
        {QStringLiteral("socket://[::1]:%1").arg(nobody),
         QStringLiteral("соединение не установлено"), 1000},
        {url("rfc2217", full.port()), QStringLiteral("не ответил на соединение"),
         NetworkBackend::ConnectTimeoutMs + 1000},
        {url("rfc2217", silent.port()), QStringLiteral("не ответил на управление портом"),
         NetworkBackend::NegotiationTimeoutMs + 1000},
        {url("rfc2217", refusing.port()), QStringLiteral("отказался от управления портом"), 1000},
        {url("rfc2217", fast.port()),
         QStringLiteral("линию 9600 бод, 8 бит данных, без чётности, 1 стоп-бит вместо"), 1000},
        // The link test finds the connection gone: not "Нет устройства".
        {url("rfc2217", closing.port()), QStringLiteral("сервер закрыл соединение"), 1500},
        {QStringLiteral("rfc2217://nosuchhost.invalid:2217"), QStringLiteral("узел не найден"),
         NetworkBackend::ConnectTimeoutMs + 1000},
        {url("socket", silent.port()), QString(), 1500},
        {QStringLiteral("rfc2217://127.0.0.1"), QStringLiteral("адрес не понят"), 100},
        {QStringLiteral("socket://[127.0.0.1]:80"), QStringLiteral("адрес не понят"), 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port.toStdString());
        openFailures.clear();
        sink.outcomes.clear();
        QElapsedTimer t;
        t.start();
        Select(c.port);
        EXPECT_LT(t.elapsed(), c.maxMs);
        EXPECT_FALSE(engine.PortReady());
        if (c.reason.isEmpty()) {
            EXPECT_TRUE(openFailures.isEmpty());
            EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::NoDevice});
        } else {
            EXPECT_EQ(openFailures, QStringList{LinkTexts::NotOpen(c.port)});
            EXPECT_TRUE(recorder->FailureReason().contains(c.reason))
                << recorder->FailureReason().toStdString();
            if (c.reason != QStringLiteral("адрес не понят")) {
                EXPECT_TRUE(recorder->FailureReason().contains(c.port));
            }
        }
    }
    ::close(filler);
}

// A purge of the receive side discards everything that has arrived, not only
// what the backend buffers: an idle link may have piled up many resent frames.
TEST_F(NetworkLink, ReceivePurge_DiscardsTheWholeBacklog)
{
    TestServer flood([](int fd, const std::atomic<bool>& stop) {
        const QByteArray junk(64 * 1024, char(0x5A));
        ::send(fd, junk.constData(), std::size_t(junk.size()), MSG_NOSIGNAL);
        StaySilent(fd, stop);
    });
    ASSERT_TRUE(link.Open(QStringLiteral("socket://127.0.0.1:%1").arg(flood.port())));
    ASSERT_TRUE(link.Read(4)); // the backlog is there
    QThread::msleep(200);      // all of it
    link.Purge(PurgeRx);
    EXPECT_FALSE(link.Read(1));
}
