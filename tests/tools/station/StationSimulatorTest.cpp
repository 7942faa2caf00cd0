// The station simulator seen from the program's side of its pseudo-terminal,
// through plain file descriptors (independent of the program's link code).
#include "StationSimulator.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray B(std::initializer_list<int> v)
{
    QByteArray out;
    for (int x : v)
        out.append(char(x));
    return out;
}
const QByteArray Invitation = B({0xFF, 0x00, 0x00, 0xFF});
const QByteArray Wake = B({0xFF, 0x80, 0x0F, 0x0F, 0x7F});

QByteArray Request(char command, int block, const QByteArray& data = QByteArray(12, '\0'))
{
    QByteArray f = B({0xFF, 0x81, 0x00, command, block}) + data.left(12);
    unsigned sum = 0;
    for (int i = 3; i <= 16; ++i)
        sum += std::uint8_t(f[i]);
    f.append(char(sum & 0xFF));
    std::uint8_t x = 0;
    for (char c : f)
        x ^= std::uint8_t(c);
    f.append(char(x));
    return f;
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The program's side, raw and non-blocking.
class Side
{
public:
    explicit Side(const QString& path)
    {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios t{};
            ::tcgetattr(fd_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Side() { Close(); }
    bool ok() const { return fd_ >= 0; }
    void Close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    void Write(const QByteArray& bytes) { ASSERT_EQ(::write(fd_, bytes.constData(), size_t(bytes.size())), bytes.size()); }
    // Reads until n bytes came or ms passed.
    QByteArray Read(int n, int ms)
    {
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (out.size() < n && t.elapsed() < ms) {
            pollfd p{fd_, POLLIN, 0};
            ::poll(&p, 1, int(std::max<qint64>(1, ms - t.elapsed())));
            char buf[256];
            const ssize_t got = ::read(fd_, buf, size_t(std::min<qsizetype>(n - out.size(), 256)));
            if (got > 0)
                out.append(buf, got);
        }
        return out;
    }

private:
    int fd_ = -1;
};

class Station : public ::testing::Test
{
protected:
    void Start(StationOptions o = StationSimulator::DefaultOptions())
    {
        o.log = [this](const QString& line) {
            std::lock_guard lock(logMutex);
            log.append(line);
        };
        sim = std::make_unique<StationSimulator>(o);
        QString error;
        ASSERT_TRUE(sim->Start(&error)) << error.toStdString();
    }
    // Opens the side, takes an invitation and wakes the station; returns the
    // unsolicited block-0 frame.
    QByteArray OpenAndWake(Side& side)
    {
        EXPECT_EQ(side.Read(4, 400), Invitation);
        side.Write(Wake);
        return side.Read(19, 400);
    }
    QByteArray Frame(int block, char command = 'S') const
    {
        const ParamImage image = sim->Image();
        QByteArray data;
        for (int i = 0; i < 12; ++i)
            data.append(char(image.byte(12 * block + i)));
        return Request(command, block, data);
    }
    QStringList Log()
    {
        std::lock_guard lock(logMutex);
        return log;
    }

    std::unique_ptr<StationSimulator> sim;
    std::mutex logMutex;
    QStringList log;
};

} // namespace

TEST_F(Station, InvitesEvery250msUntilWoken)
{
    Start();
    Side side(sim->ProgramSidePath());
    ASSERT_TRUE(side.ok());
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(side.Read(4, 250), Invitation);
    EXPECT_LT(t.elapsed(), 250);
    t.restart();
    EXPECT_EQ(side.Read(4, 400), Invitation);
    EXPECT_GE(t.elapsed(), 180);
    EXPECT_LE(t.elapsed(), 400);
}

TEST_F(Station, WakeGivesBlock0Frame_RequestsAreAnswered)
{
    Start();
    Side side(sim->ProgramSidePath());
    EXPECT_EQ(OpenAndWake(side), Frame(0));
    EXPECT_TRUE(sim->Woken());
    side.Write(Request('S', 3));
    EXPECT_EQ(side.Read(19, 400), Frame(3));
    side.Write(Request('R', 0));
    EXPECT_EQ(side.Read(19, 400), Frame(0, 'R'));
    // 'W' stores, then answers with the stored block.
    const QByteArray data = B({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    side.Write(Request('W', 5, data));
    EXPECT_EQ(side.Read(19, 400), Request('W', 5, data));
    EXPECT_EQ(sim->Image().byte(71), 12);
    EXPECT_EQ(sim->Image().byte(60), 1);
}

TEST_F(Station, BadRequestsAreIgnored)
{
    Start();
    Side side(sim->ProgramSidePath());
    OpenAndWake(side);
    QByteArray badCheck = Request('S', 1);
    badCheck[18] = char(badCheck[18] ^ 1);
    side.Write(badCheck);
    EXPECT_TRUE(side.Read(19, 300).isEmpty());
    QByteArray badSum = Request('W', 1, QByteArray(12, 'a'));
    badSum[17] = char(badSum[17] ^ 1);
    badSum[18] = char(badSum[18] ^ 1); // check byte right, checksum wrong
    side.Write(badSum);
    EXPECT_TRUE(side.Read(19, 300).isEmpty());
    EXPECT_NE(sim->Image().byte(12), 'a');
    QByteArray badBlock = Request('S', 6);
    side.Write(badBlock);
    EXPECT_TRUE(side.Read(19, 300).isEmpty());
    EXPECT_EQ(sim->Stats().badRequests, 3);
    // Still answering well-formed requests.
    side.Write(Request('S', 2));
    EXPECT_EQ(side.Read(19, 400), Frame(2));
}

TEST_F(Station, SilenceOfASecond_LastFrameSentAgain)
{
    Start();
    Side side(sim->ProgramSidePath());
    OpenAndWake(side);
    side.Write(Request('S', 4));
    ASSERT_EQ(side.Read(19, 400), Frame(4));
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(side.Read(19, 1500), Frame(4));
    EXPECT_GE(t.elapsed(), 900);
}

TEST_F(Station, ClosedSide_BackToUnwoken_StaleBytesDiscarded_NoBusyLoop)
{
    Start();
    {
        Side side(sim->ProgramSidePath());
        OpenAndWake(side);
        side.Write(Request('S', 1)); // its answer is left unread
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double cpu = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_LT(CpuSeconds() - cpu, 0.1) << "busy loop on a closed side";
    EXPECT_FALSE(sim->Woken());
    for (int i = 0; i < 3; ++i) {
        Side side(sim->ProgramSidePath());
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(side.Read(4, 250), Invitation) << i; // not the stale frame
        EXPECT_LT(t.elapsed(), 250);
        side.Write(Wake);
        EXPECT_EQ(side.Read(19, 400), Frame(0));
    }
    EXPECT_GE(sim->Stats().programCloses, 3);
}

TEST_F(Station, SetImage_IsWhatItSends_WriteCompletedReported)
{
    ParamImage completed;
    int completions = 0;
    StationOptions o = StationSimulator::DefaultOptions();
    o.writeCompleted = [&](const ParamImage& image) {
        completed = image;
        ++completions;
    };
    Start(o);
    ParamImage image;
    image.setByte(13, 0x99);
    sim->SetImage(image);
    Side side(sim->ProgramSidePath());
    OpenAndWake(side);
    side.Write(Request('S', 1));
    EXPECT_EQ(side.Read(19, 400).at(6), char(0x99));
    for (int b = 0; b < 6; ++b) {
        side.Write(Request('W', b, QByteArray(12, char(0x10 + b))));
        ASSERT_EQ(side.Read(19, 400).size(), 19);
    }
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(completed.byte(71), 0x15);
    EXPECT_EQ(sim->Image(), completed);
}

TEST_F(Station, BaudPacing_RequestAndReplyTakeLineTime)
{
    StationOptions o = StationSimulator::DefaultOptions();
    o.baudPacing = true;
    Start(o);
    Side side(sim->ProgramSidePath());
    OpenAndWake(side);
    QElapsedTimer t;
    t.start();
    side.Write(Request('S', 2));
    EXPECT_EQ(side.Read(19, 600), Frame(2));
    // 38 bytes of 10 bits at 2400 baud: 158 ms.
    EXPECT_GE(t.elapsed(), 155);
    EXPECT_LT(t.elapsed(), 400);
}

TEST_F(Station, Faults_AreInjectedAndLogged)
{
    StationOptions o = StationSimulator::DefaultOptions();
    o.faults.drop = 1.0;
    Start(o);
    Side side(sim->ProgramSidePath());
    EXPECT_EQ(side.Read(4, 400), Invitation);
    side.Write(Wake);
    EXPECT_TRUE(side.Read(19, 300).isEmpty());
    EXPECT_TRUE(Log().join('\n').contains(QStringLiteral("fault: dropped")));
    EXPECT_GE(sim->Stats().faults, 1);
}

// A lost 'W' is neither stored nor answered; a second later the last frame goes
// out again, as the answer a program may take for the lost block's.
TEST_F(Station, LostWrite_NotStored_LastFrameRepeatedAfterASecond)
{
    StationOptions o = StationSimulator::DefaultOptions();
    o.faults.dropWrite = 1.0;
    Start(o);
    Side side(sim->ProgramSidePath());
    OpenAndWake(side);
    side.Write(Request('R', 0));
    const QByteArray last = side.Read(19, 400);
    ASSERT_EQ(last, Frame(0, 'R'));
    const ParamImage before = sim->Image();
    side.Write(Request('W', 0, QByteArray(12, 'a')));
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(side.Read(19, 1500), last);
    EXPECT_GE(t.elapsed(), 900);
    EXPECT_EQ(sim->Image(), before);
    EXPECT_TRUE(Log().join('\n').contains(QStringLiteral("fault: request W block 0 lost")));
}

TEST_F(Station, CorruptedFrames_DifferInOneByte)
{
    StationOptions o = StationSimulator::DefaultOptions();
    o.faults.corrupt = 1.0;
    o.seed = 7;
    Start(o);
    Side side(sim->ProgramSidePath());
    EXPECT_EQ(side.Read(4, 400), Invitation);
    side.Write(Wake);
    for (int b = 0; b < 6; ++b) {
        if (b > 0)
            side.Write(Request('S', b));
        const QByteArray got = side.Read(19, 400);
        const QByteArray clean = Frame(b);
        ASSERT_EQ(got.size(), 19);
        int differ = 0;
        for (int i = 0; i < 19; ++i)
            differ += got[i] != clean[i];
        EXPECT_EQ(differ, 1) << b;
    }
    EXPECT_EQ(Log().filter(QStringLiteral("corrupted")).size(), 6);
}

TEST_F(Station, SilentAfterN_UntilSideCloses)
{
    StationOptions o = StationSimulator::DefaultOptions();
    o.faults.silentAfter = 2;
    Start(o);
    {
        Side side(sim->ProgramSidePath());
        OpenAndWake(side);
        side.Write(Request('S', 1));
        ASSERT_EQ(side.Read(19, 400).size(), 19);
        side.Write(Request('S', 2));
        EXPECT_TRUE(side.Read(19, 1300).isEmpty()); // no answer, no resend
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    Side side(sim->ProgramSidePath());
    EXPECT_EQ(OpenAndWake(side), Frame(0));
}

TEST_F(Station, HangUp_NewPseudoTerminalBehindTheLink)
{
    QTemporaryDir dir;
    StationOptions o = StationSimulator::DefaultOptions();
    o.linkPath = dir.filePath(QStringLiteral("lumk"));
    o.faults.hangUpAfter = 1;
    Start(o);
    {
        Side side(o.linkPath);
        OpenAndWake(side);
        side.Write(Request('S', 1));
        EXPECT_TRUE(side.Read(19, 300).isEmpty()); // hung up instead of answering
    }
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(o.linkPath) && t.elapsed() < 3000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Side side(o.linkPath);
    ASSERT_TRUE(side.ok());
    EXPECT_EQ(OpenAndWake(side), Frame(0));
    EXPECT_TRUE(Log().join('\n').contains(QStringLiteral("hanging up")));
}

TEST(StationProgram, HelpDescribesBehaviour)
{
    QProcess p;
    p.start(QStringLiteral(LUMK_STATION_PATH), {QStringLiteral("--help")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString help = QString::fromUtf8(p.readAllStandardOutput());
    for (const char* word : {"--link", "--image", "--save", "--baud-pacing", "--seed", "--drop", "--invite",
                             "--truncate", "--wrong-block", "--corrupt", "--silent-after", "--hang-up-after",
                             "every 250 ms", "last frame again"})
        EXPECT_TRUE(help.contains(QLatin1String(word))) << word;
}

TEST(StationProgram, PrintsItsVersion)
{
    QProcess p;
    p.start(QStringLiteral(LUMK_STATION_PATH), {QStringLiteral("--version")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()).trimmed(),
              QStringLiteral("lumk-station ") + QStringLiteral(LUMK_VERSION));
}

TEST(StationProgram, PrintsPath_SavesImageAfterWriteWithWakeBetween)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("st.lmk"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(140, '0') + "\r\n");
    }
    QProcess p;
    p.start(QStringLiteral(LUMK_STATION_PATH),
            {QStringLiteral("--image"), file, QStringLiteral("--save"), QStringLiteral("--link"),
             dir.filePath(QStringLiteral("port"))});
    ASSERT_TRUE(p.waitForReadyRead(5000));
    const QString path = QString::fromLocal8Bit(p.readLine()).trimmed();
    EXPECT_TRUE(path.startsWith(QStringLiteral("/dev/pts/"))) << path.toStdString();
    {
        Side side(dir.filePath(QStringLiteral("port")));
        ASSERT_TRUE(side.ok());
        EXPECT_EQ(side.Read(4, 400), Invitation);
        side.Write(Wake);
        EXPECT_EQ(side.Read(19, 400), Request('S', 0));
        for (int b = 0; b < 6; ++b) {
            side.Write(Request('W', b, QByteArray(12, char(0xA0 + b))));
            ASSERT_EQ(side.Read(19, 400).size(), 19);
            if (b == 2) {
                // An invitation came in place of a reply: the program wakes the
                // station again in the middle of its write and goes on with it.
                side.Write(Wake);
                ASSERT_EQ(side.Read(19, 400).size(), 19);
            }
        }
    }
    QByteArray saved;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 3000) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly))
            saved = f.readAll();
        if (saved.startsWith("A0A0"))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(saved.left(8), QByteArray("A0A0A0A0"));
    EXPECT_EQ(saved.mid(120, 20), QByteArray("A5A5A5A5A5A5A5A5A5A5"));
    EXPECT_TRUE(saved.endsWith("\r\n"));
    p.terminate();
    EXPECT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 0);
}
