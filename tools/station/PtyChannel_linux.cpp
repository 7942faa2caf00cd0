// The station on a new pseudo-terminal: the program opens its side (the slave)
// like any serial port, the station holds the master.
#include "FdChannel_linux.h"

#include <QFile>

#include <sys/inotify.h>
#include <termios.h>

namespace {

class PtyChannel final : public FdChannel
{
public:
    explicit PtyChannel(QString linkPath) : linkPath_(std::move(linkPath)) {}
    ~PtyChannel() override { Close(); }

    bool Open(QString* error) override;
    bool Up() const override { return master_ >= 0; }
    QString ProgramSidePath() const override { return path_; }
    void TakeEvents(Events& events) override;
    std::int64_t Read(std::uint8_t* dest, std::size_t max) override
    {
        const ssize_t n = ::read(master_, dest, max);
        return n < 0 ? 0 : n; // EAGAIN: nothing for now
    }
    std::int64_t Write(const std::uint8_t* src, std::size_t count) override
    {
        return ::write(master_, src, count);
    }
    // Bytes the program did not read stay queued on its side across a close;
    // they are stale for the next opener. The master cannot flush them, our
    // own descriptor on the side can.
    void DiscardUnread() override
    {
        if (ownSide_ >= 0)
            ::tcflush(ownSide_, TCIFLUSH);
    }
    void HangUp() override { closePty(); }
    void Close() override
    {
        closePty();
        closeStopPipe();
    }
    bool ProgramSideLine(StationLine& line) const override;

protected:
    int eventFd() const override { return watch_; }

private:
    void closePty();

    const QString linkPath_; // when set, a symbolic link to the program's side
    QString path_;
    // Opens and closes of the program's side, as inotify events: a close and a
    // reopen within microseconds (a port selected again) are both seen, which
    // no polling of the master's hang-up state could promise.
    int watch_ = -1;
    int programOpeners_ = 0; // descriptors the program holds on its side
    // Our own descriptor on the program's side, held from before the watch is
    // set until the pseudo-terminal closes: stale bytes are flushed through it,
    // so the station never opens the side again and every event is the
    // program's (inotify merges identical events queued back to back, which
    // made our own opens indistinguishable from a program opening at once).
    int ownSide_ = -1;
};

bool PtyChannel::Open(QString* error)
{
    if (!openStopPipe(error))
        return false;
    const auto fail = [&](const char* what) {
        if (error)
            *error = errnoText(what);
        closePty();
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        return fail("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return fail("unlockpt");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0)
        return fail("ptsname");
    // Raw line on the program's side until the program sets its own: no echo
    // of what the station sends, no line editing.
    termios t{};
    if (::tcgetattr(master_, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B2400);
        ::tcsetattr(master_, TCSANOW, &t);
    }
    ownSide_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (ownSide_ < 0)
        return fail("open of the program's side");
    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ < 0)
        return fail("inotify_init1");
    if (::inotify_add_watch(watch_, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0)
        return fail("inotify_add_watch");
    programOpeners_ = 0;
    path_ = QString::fromLocal8Bit(name);
    if (!linkPath_.isEmpty()) {
        const QByteArray link = QFile::encodeName(linkPath_);
        ::unlink(link.constData());
        if (::symlink(name, link.constData()) != 0)
            return fail("symlink");
    }
    return true;
}

void PtyChannel::closePty()
{
    if (watch_ >= 0)
        ::close(watch_);
    watch_ = -1;
    if (ownSide_ >= 0)
        ::close(ownSide_);
    ownSide_ = -1;
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
    if (!linkPath_.isEmpty())
        ::unlink(QFile::encodeName(linkPath_).constData());
}

void PtyChannel::TakeEvents(Events& events)
{
    alignas(inotify_event) char buf[4096];
    for (;;) {
        const ssize_t n = ::read(watch_, buf, sizeof buf);
        if (n <= 0)
            return;
        for (char* p = buf; p < buf + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            p += sizeof(inotify_event) + e->len;
            if ((e->mask & IN_OPEN) && ++programOpeners_ == 1)
                events.sideOpened();
            if ((e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) && programOpeners_ > 0 &&
                --programOpeners_ == 0)
                events.sideClosed();
        }
    }
}

bool PtyChannel::ProgramSideLine(StationLine& line) const
{
    termios t{};
    if (ownSide_ < 0 || ::tcgetattr(ownSide_, &t) != 0)
        return false;
    switch (::cfgetospeed(&t)) {
    case B1200:
        line.baud = 1200;
        break;
    case B2400:
        line.baud = 2400;
        break;
    case B4800:
        line.baud = 4800;
        break;
    case B9600:
        line.baud = 9600;
        break;
    case B19200:
        line.baud = 19200;
        break;
    case B38400:
        line.baud = 38400;
        break;
    case B115200:
        line.baud = 115200;
        break;
    default:
        line.baud = -1;
        break;
    }
    switch (t.c_cflag & CSIZE) {
    case CS5:
        line.dataBits = 5;
        break;
    case CS6:
        line.dataBits = 6;
        break;
    case CS7:
        line.dataBits = 7;
        break;
    default:
        line.dataBits = 8;
        break;
    }
    line.parity = (t.c_cflag & PARENB) != 0;
    line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return true;
}

} // namespace

std::unique_ptr<StationChannel> MakePtyChannel(const QString& linkPath)
{
    return std::make_unique<PtyChannel>(linkPath);
}
