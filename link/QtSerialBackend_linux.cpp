#include "QtSerialBackend.h"

#include "LineSettings.h"
#include "PortLock_linux.h"
#include "SerialDevices.h"

#include <QDeadlineTimer>
#include <QMetaObject>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

long TtyCalls::Write(int fd, const void* data, std::size_t size)
{
    return long(::write(fd, data, size));
}

int TtyCalls::Drain(int fd)
{
    int result;
    do {
        result = ::tcdrain(fd);
    } while (result < 0 && errno == EINTR);
    return result;
}

int TtyCalls::Flush(int fd, int queue)
{
    return ::tcflush(fd, queue);
}

int TtyCalls::Queued(int fd)
{
    int bytes = 0;
    return ::ioctl(fd, TIOCOUTQ, &bytes) == 0 ? bytes : 0;
}

void TtyCalls::Close(QSerialPort& port)
{
    port.close();
}

QtSerialBackend::QtSerialBackend(QObject* parent, std::shared_ptr<TtyCalls> calls)
    : QObject(parent), calls_(calls ? std::move(calls) : std::make_shared<TtyCalls>())
{
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialBackend::onError);
    // Unbounded by default: an idle open port would take in the line forever.
    port_.setReadBufferSize(ReadBufferBytes);
}

QtSerialBackend::~QtSerialBackend()
{
    Close();
}

bool QtSerialBackend::Open(const QString& name)
{
    Close();
    ++generation_;
    // Another program's live lock under any name of the device: busy. Checked
    // first, as QSerialPort takes a lock in a format not its own for stale and
    // deletes it, and reads whatever sits at the lock's name whole (a FIFO
    // hangs it, a huge file or a link to /dev/zero eats memory). A lock we
    // cannot judge refuses the port too, unless it is long abandoned.
    const QString path = DevicePath(name);
    if (!RemoveAbandonedLocks(path))
        return false;
    // QSerialPort locks under the name it is given: the canonical one, so
    // every alias of the device collides.
    port_.setPortName(CanonicalDevicePath(path));
    // QSerialPort opens exclusively (a port held by another program fails here).
    if (!port_.open(QIODevice::ReadWrite))
        return false;
    if (!ApplyLineSettings(port_)) {
        port_.close();
        return false;
    }
    // A pseudo-terminal or an adapter without modem lines refuses these; the data
    // line still works, so that is no open failure.
    port_.setDataTerminalReady(false);
    port_.setRequestToSend(true);
    port_.clearError();
    open_ = true;
    hungUp_ = false;
    released_ = false;
    return true;
}

void QtSerialBackend::Close()
{
    if (port_.isOpen()) {
        // The last frame leaves the wire before the old line settings return.
        if (open_ && !released_ && !hungUp_)
            drainOutput(int(port_.handle()));
        calls_->Close(port_);
    }
    port_.clearError();
    open_ = false;
    hungUp_ = false;
    released_ = false;
    ++generation_;
}

void QtSerialBackend::drainOutput(int fd)
{
    // tcdrain has no time-out: wait for the queue with one, then let tcdrain
    // wait for the last characters in the UART itself. A queue that does not
    // empty is discarded, so that neither this nor closing blocks for good.
    QDeadlineTimer deadline(DrainLimitMs);
    while (calls_->Queued(fd) > 0) {
        if (deadline.hasExpired()) {
            calls_->Flush(fd, TCOFLUSH);
            return;
        }
        ::usleep(1000);
    }
    calls_->Drain(fd);
}

std::int64_t QtSerialBackend::Read(std::uint8_t* dest, std::int64_t maxBytes)
{
    if (!open_ || released_ || !port_.isOpen())
        return -1;
    // Bytes reach QSerialPort's buffer only through this (or the event loop).
    port_.waitForReadyRead(0);
    const qint64 got = port_.read(reinterpret_cast<char*>(dest), maxBytes);
    releaseIfHungUp();
    return got;
}

std::int64_t QtSerialBackend::Write(const std::uint8_t* src, std::int64_t count, int timeoutMs)
{
    if (!open_ || released_ || !port_.isOpen())
        return -1;
    // Straight to the descriptor (non-blocking), so nothing of a frame waits
    // in a buffer of our own.
    const int fd = int(port_.handle());
    QDeadlineTimer deadline(timeoutMs); // monotonic
    std::int64_t sent = 0;
    bool failed = false;
    while (sent < count) {
        const long n = calls_->Write(fd, src + sent, std::size_t(count - sent));
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            failed = true;
            break;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            break;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, int(left)) < 0 && errno != EINTR) {
            failed = true;
            break;
        }
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            failed = true;
            break;
        }
    }
    if (failed && DescriptorHungUp(fd)) {
        hungUp_ = true;
        releaseIfHungUp();
        return sent > 0 ? sent : -1;
    }
    if (sent < count) {
        // A frame that did not go out whole is abandoned whole: what the
        // kernel still holds of it must not follow later, glued in front of
        // the next frame.
        calls_->Flush(fd, TCOFLUSH);
    }
    return failed && sent == 0 ? -1 : sent;
}

void QtSerialBackend::Purge(unsigned flags)
{
    if (!open_ || released_ || !port_.isOpen())
        return;
    QSerialPort::Directions directions;
    if (flags & PurgeTx)
        directions |= QSerialPort::Output;
    if (flags & PurgeRx)
        directions |= QSerialPort::Input;
    if (directions)
        port_.clear(directions);
    releaseIfHungUp();
}

bool QtSerialBackend::DescriptorHungUp(qintptr fd)
{
    if (fd < 0)
        return false;
    pollfd p{int(fd), POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void QtSerialBackend::onError(QSerialPort::SerialPortError error)
{
    // waitForReadyRead(0) with nothing to read reports TimeoutError: not a fault.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError &&
        error != QSerialPort::WriteError)
        return;
    if (!open_ || released_ || hungUp_ || !port_.isOpen())
        return;
    // Only a descriptor that polls as hung up is one. On a live line a read
    // notifier that finds its bytes already purged reads 0 bytes, and
    // QSerialPort then decodes a stale errno: EAGAIN becomes a resource error.
    if (!DescriptorHungUp(port_.handle()))
        return;
    hungUp_ = true;
    // This may run inside the read notifier's own activation: close later, at a
    // point where the notifier is not on the stack.
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == generation_)
                releaseIfHungUp();
        },
        Qt::QueuedConnection);
}

void QtSerialBackend::releaseIfHungUp()
{
    if (!hungUp_ || released_)
        return;
    if (port_.isOpen())
        port_.close();
    port_.clearError();
    released_ = true;
}
