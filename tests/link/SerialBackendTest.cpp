// The QSerialPort backend on real pseudo-terminals: other programs' lock files,
// two names of one device, a write that times out, and the order of the calls
// on the descriptor up to closing.
#include "QtSerialBackend.h"
#include "SerialDevices.h"
#include "TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utime.h>

namespace {

// A pseudo-terminal: the backend opens the slave, the test reads the master.
struct Pty
{
    Pty()
    {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0) {
            path = QString::fromLocal8Bit(::ttyname(slave));
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty()
    {
        ::close(master);
        ::close(slave);
    }
    // Everything the program's side sent, until the line stays quiet.
    QByteArray ReadAll() const
    {
        QByteArray all;
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < 100) {
            char chunk[65536];
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n > 0) {
                all.append(chunk, n);
                quiet.restart();
            } else {
                ::usleep(1000);
            }
        }
        return all;
    }
    int master = -1;
    int slave = -1;
    QString path;
};

// The device folder and the lock folders of one test, in a temporary folder.
class FakeRoots
{
public:
    FakeRoots() : saved_(CurrentSystemRoots())
    {
        QDir(dir_.path()).mkpath("dev/serial/by-id");
        QDir(dir_.path()).mkpath("lock");
        CurrentSystemRoots().dev = dir_.filePath("dev");
        CurrentSystemRoots().lockDirs = {dir_.filePath("lock")};
    }
    ~FakeRoots() { CurrentSystemRoots() = saved_; }
    QString Path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    SystemRoots saved_;
};

constexpr qint64 LivePid = 1;          // init: always there
constexpr qint64 DeadPid = 2147483000; // above any pid_max

QByteArray LockContent(const QString& format, qint64 pid)
{
    if (format == "text")
        return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
    if (format == "binary") {
        const std::int32_t value = std::int32_t(pid);
        return QByteArray(reinterpret_cast<const char*>(&value), 4);
    }
    if (format == "qt")
        return QByteArray::number(pid) + "\nminicom\nlaptop\n";
    return QByteArray::number(pid) + " minicom user\n"; // "PID program user"
}

TEST(SerialBackend, ForeignLiveLockUnderAnyName_RefusedAndKept_DeadOwnersLockReplaced)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    FakeRoots roots;
    const QString given = roots.Path("dev/ttyUSB0");
    ASSERT_TRUE(QFile::link(pty.path, given));
    ASSERT_TRUE(QFile::link("../../ttyUSB0", roots.Path("dev/serial/by-id/usb-FTDI_A1-port0")));
    const QString canonical = "LCK.." + pty.path.mid(5).replace('/', '_');

    struct Case
    {
        const char* format;
        QString lockName;
        bool old; // older than the 30 s after which QLockFile calls a lock stale
    } cases[] = {
        {"text", "LCK..ttyUSB0", false},
        {"binary", canonical, false},
        {"qt", "LCK..usb-FTDI_A1-port0", false},
        {"words", "LCK..ttyUSB0", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const QString lock = roots.Path("lock/" + c.lockName);
        QFile::remove(lock);
        QFile file(lock);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(LockContent(c.format, LivePid));
        file.close();
        if (c.old) {
            const utimbuf longAgo{::time(nullptr) - 3600, ::time(nullptr) - 3600};
            ASSERT_EQ(::utime(QFile::encodeName(lock).constData(), &longAgo), 0);
        }
        QtSerialBackend backend;
        EXPECT_FALSE(backend.Open(given));
        QFile kept(lock);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly)) << "the live owner's lock was removed";
        EXPECT_EQ(kept.readAll(), LockContent(c.format, LivePid));
        kept.close();

        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(LockContent(c.format, DeadPid));
        file.close();
        EXPECT_TRUE(backend.Open(given));
        backend.Close();
    }
}

// Every user may write the lock folder: whatever sits at a lock file's name is
// judged without waiting on it and in bounded memory, by the survey and by
// Open alike, and reported with the file's path. Only an abandoned lock
// without a PID is removed, by Open.
TEST(SerialBackend, HostileLockFiles_RefusedPromptlyInBoundedMemoryAndNamed)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    FakeRoots roots;
    const QString given = roots.Path("dev/ttyUSB0");
    ASSERT_TRUE(QFile::link(pty.path, given));
    const QString lock = roots.Path("lock/LCK..ttyUSB0");
    const QByteArray native = QFile::encodeName(lock);
    const auto age = [&](int seconds) {
        const utimbuf then{::time(nullptr) - seconds, ::time(nullptr) - seconds};
        return ::utime(native.constData(), &then) == 0;
    };

    struct Case
    {
        const char* name;
        std::function<bool()> plant;
        const char* reasonHolds; // empty: usable, and Open removes the file
    } cases[] = {
        {"fifo", [&] { return ::mkfifo(native.constData(), 0666) == 0; }, "FIFO"},
        {"200 MB",
         [&] {
             WriteBytes(lock, "");
             return ::truncate(native.constData(), 200 << 20) == 0;
         },
         "слишком велик"},
        {"link to /dev/zero", [&] { return QFile::link("/dev/zero", lock); },
         "символическая ссылка"},
        {"folder", [&] { return QDir().mkdir(lock); }, "папка"},
        {"garbage",
         [&] {
             WriteBytes(lock, "abc\n");
             return true;
         },
         "нет номера процесса"},
        {"negative",
         [&] {
             WriteBytes(lock, "        -5\n");
             return true;
         },
         "нет номера процесса"},
        {"empty",
         [&] {
             WriteBytes(lock, "");
             return true;
         },
         "файл пуст"},
        {"empty, abandoned",
         [&] {
             WriteBytes(lock, "");
             return age(3600);
         },
         ""},
        {"garbage, abandoned",
         [&] {
             WriteBytes(lock, "abc");
             return age(3600);
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.plant());
        const bool refused = *c.reasonHolds != 0;
        // In a child: a hang is killed after a few seconds, memory is measured.
        const int code = RunInChild(
            [&] {
                rusage before{}, after{};
                ::getrusage(RUSAGE_SELF, &before);
                const SerialDevice device = InspectSerialDevice(given);
                QtSerialBackend backend;
                const bool opened = backend.Open(given);
                backend.Close();
                ::getrusage(RUSAGE_SELF, &after);
                if (after.ru_maxrss - before.ru_maxrss > 16 * 1024) // KiB
                    return 3;
                if (opened == refused)
                    return 4;
                if (refused != (device.state == PortState::Busy))
                    return 5;
                if (refused && !(device.reason.contains(lock) &&
                                 device.reason.contains(QString::fromUtf8(c.reasonHolds)) &&
                                 device.reason.contains("удалите")))
                    return 6;
                return 0;
            },
            5);
        EXPECT_EQ(code, 0) << "3 memory, 4 open, 5 state, 6 reason, 200 hang";
        QFileInfo left(lock);
        EXPECT_EQ(left.exists() || left.isSymLink(), refused) << "only abandoned locks go";
        ::unlink(native.constData());
        ::rmdir(native.constData());
    }
}

TEST(SerialBackend, TwoNamesOfOneDevice_SecondOpenRefused)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    QTemporaryDir dir;
    const QString alias = dir.filePath("station");
    ASSERT_TRUE(QFile::link(pty.path, alias));
    QtSerialBackend first, second;
    ASSERT_TRUE(first.Open(pty.path));
    EXPECT_FALSE(second.Open(alias));
    first.Close();
    EXPECT_TRUE(second.Open(alias));
}

TEST(SerialBackend, TimedOutWrite_IsDiscardedNotSentInFrontOfTheNextFrame)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    QtSerialBackend backend;
    ASSERT_TRUE(backend.Open(pty.path));
    // Far more than the pseudo-terminal holds while nobody reads it.
    const QByteArray flood(1 << 20, '\x55');
    const std::int64_t sent =
        backend.Write(reinterpret_cast<const std::uint8_t*>(flood.constData()), flood.size(), 50);
    ASSERT_LT(sent, flood.size());
    pty.ReadAll(); // the line carries away what the kernel had taken

    const QByteArray next("\xFF\x81\x00NEXT", 7);
    EXPECT_EQ(
        backend.Write(reinterpret_cast<const std::uint8_t*>(next.constData()), next.size(), 200),
        next.size());
    EXPECT_EQ(pty.ReadAll().toHex(' '), next.toHex(' '));
    backend.Close();
}

// Records the calls in order and passes them on; can refuse to take more than
// `accept` bytes, as a full transmit queue does.
class TracedCalls : public TtyCalls
{
public:
    long Write(int fd, const void* data, std::size_t size) override
    {
        if (accept == 0) {
            errno = EAGAIN;
            return -1;
        }
        const std::size_t take = accept < 0 ? size : std::min(size, std::size_t(accept));
        const long n = TtyCalls::Write(fd, data, take);
        if (n > 0) {
            trace << QStringLiteral("write %1").arg(n);
            if (accept > 0)
                accept -= n;
        }
        return n;
    }
    int Drain(int fd) override
    {
        termios line{};
        ::tcgetattr(fd, &line);
        trace << QStringLiteral("tcdrain at %1 baud").arg(::cfgetospeed(&line) == B2400 ? 2400 : 0);
        return TtyCalls::Drain(fd);
    }
    int Flush(int fd, int queue) override
    {
        trace << (queue == TCOFLUSH ? QStringLiteral("tcflush output") : QStringLiteral("tcflush"));
        return TtyCalls::Flush(fd, queue);
    }
    int Queued(int fd) override { return stalled ? 19 : TtyCalls::Queued(fd); }
    void Close(QSerialPort& port) override
    {
        trace << QStringLiteral("restore settings, close");
        TtyCalls::Close(port);
    }
    long accept = -1;
    bool stalled = false; // the transmit queue never empties
    QStringList trace;
};

TEST(SerialBackend, CallsInOrder_TimedOutWriteFlushed_CloseDrainsBeforeRestoring)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    auto calls = std::make_shared<TracedCalls>();
    QtSerialBackend backend(nullptr, calls);
    ASSERT_TRUE(backend.Open(pty.path));
    const std::uint8_t wake[5] = {0xFF, 0x80, 0x0F, 0x0F, 0x7F};
    const std::uint8_t frame[19] = {0xFF, 0x81, 0x00, 'R'};
    calls->accept = 2;
    EXPECT_EQ(backend.Write(wake, 5, 20), 2);
    calls->accept = -1;
    EXPECT_EQ(backend.Write(frame, 19, 200), 19);
    backend.Close();
    EXPECT_EQ(calls->trace, (QStringList{"write 2", "tcflush output", "write 19",
                                         "tcdrain at 2400 baud", "restore settings, close"}));
}

TEST(SerialBackend, LineThatNeverDrains_CloseDiscardsTheQueueInsteadOfBlocking)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    auto calls = std::make_shared<TracedCalls>();
    QtSerialBackend backend(nullptr, calls);
    ASSERT_TRUE(backend.Open(pty.path));
    calls->stalled = true;
    QElapsedTimer t;
    t.start();
    backend.Close();
    EXPECT_LT(t.elapsed(), QtSerialBackend::DrainLimitMs + 500);
    EXPECT_EQ(calls->trace, (QStringList{"tcflush output", "restore settings, close"}));
}

} // namespace
