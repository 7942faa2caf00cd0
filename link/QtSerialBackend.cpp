#include "QtSerialBackend.h"

#include <QDeadlineTimer>
#include <QMetaObject>

#include <poll.h>

QtSerialBackend::QtSerialBackend(QObject* parent) : QObject(parent)
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
    port_.setPortName(name);
    // QSerialPort opens exclusively (a port held by another program fails here).
    if (!port_.open(QIODevice::ReadWrite))
        return false;
    const bool settingsApplied = port_.setBaudRate(2400) && port_.setDataBits(QSerialPort::Data8) &&
                                 port_.setParity(QSerialPort::NoParity) &&
                                 port_.setStopBits(QSerialPort::OneStop) &&
                                 port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!settingsApplied) {
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
    if (port_.isOpen())
        port_.close();
    port_.clearError();
    open_ = false;
    hungUp_ = false;
    released_ = false;
    ++generation_;
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
    QDeadlineTimer deadline(timeoutMs); // monotonic
    const qint64 accepted = port_.write(reinterpret_cast<const char*>(src), count);
    if (accepted < 0) {
        releaseIfHungUp();
        return -1;
    }
    while (port_.isOpen() && port_.bytesToWrite() > 0 && !hungUp_) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            break;
        if (!port_.waitForBytesWritten(int(left)) && port_.bytesToWrite() > 0 &&
            port_.error() != QSerialPort::TimeoutError && port_.error() != QSerialPort::NoError)
            break;
    }
    const qint64 written = accepted - (port_.isOpen() ? port_.bytesToWrite() : accepted);
    releaseIfHungUp();
    return written;
}

void QtSerialBackend::Purge(unsigned flags)
{
    if (!open_ || released_ || !port_.isOpen())
        return;
    QSerialPort::Directions directions;
    if (flags & PURGE_TXCLEAR)
        directions |= QSerialPort::Output;
    if (flags & PURGE_RXCLEAR)
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
