// The real serial backend: QSerialPort at 2400 baud 8N1, no flow control, DTR
// off, RTS on. Reads never wait (one waitForReadyRead(0) a poll), writes wait
// for the descriptor within their time-out, and neither processes events.
//
// A hung-up device (a pseudo-terminal whose master closed, an adapter pulled
// out) makes QSerialPort's read notifier fire endlessly with read errors; the
// backend then releases the device: it closes the descriptor but stays "open"
// for the module, so reads and writes fail and count as zero bytes until the
// port is selected (opened) again. It never reopens a device by itself.
//
// Like a UART's driver buffer, what the backend holds of unread input is
// bounded: while nobody reads (the idle window), further bytes wait in the
// kernel and are dropped there, and the purge before each request starts the
// next exchange clean.
//
// Open refuses a device that another program has locked (a lock file with a
// live owner under any of the device's names), or whose lock file is not a
// small plain file with a PID, before QSerialPort, which would delete such a
// lock or read it whole, ever sees it, and opens the device by its canonical path
// so that QSerialPort's own lock collides for every alias of one device.
// Writes go straight to the descriptor: a write that times out is discarded
// whole instead of going out later in front of the next frame. Close lets the
// transmitter drain before QSerialPort restores the old line settings.
#pragma once

#include "SerialBackend.h"

#include <QObject>
#include <QSerialPort>

#include <cstddef>
#include <memory>

// The few calls the backend makes on the port's descriptor itself. Replaced in
// tests to trace their order: a pseudo-terminal cannot show a line draining.
class TtyCalls
{
public:
    virtual ~TtyCalls() = default;
    virtual long Write(int fd, const void* data, std::size_t size); // write(2)
    virtual int Drain(int fd);                                      // tcdrain(3)
    virtual int Flush(int fd, int queue);                           // tcflush(3)
    virtual int Queued(int fd); // ioctl(TIOCOUTQ): bytes not yet handed to the line
    // QSerialPort restores the line settings it found and closes the descriptor.
    virtual void Close(QSerialPort& port);
};

class QtSerialBackend : public QObject, public SerialBackend
{
    Q_OBJECT
public:
    explicit QtSerialBackend(QObject* parent = nullptr, std::shared_ptr<TtyCalls> calls = nullptr);
    ~QtSerialBackend() override;

    bool Open(const QString& name) override;
    void Close() override;
    std::int64_t Read(std::uint8_t* dest, std::int64_t maxBytes) override;
    std::int64_t Write(const std::uint8_t* src, std::int64_t count, int timeoutMs) override;
    void Purge(unsigned flags) override;
    bool HungUp() const override { return hungUp_ || released_; }

    // Unread input the backend holds at most (a few frames' worth, far more
    // than one exchange needs).
    static constexpr qint64 ReadBufferBytes = 4096;
    // Bytes received and not yet read.
    qint64 BufferedBytes() const { return port_.bytesAvailable(); }

    // The device hung up and its descriptor was closed (until the next Open).
    bool Released() const { return released_; }
    // True when the descriptor reports a hang-up or an error condition.
    static bool DescriptorHungUp(qintptr fd);

    // How long Close waits for the transmit queue to empty before it gives
    // up on a line that does not drain (a stalled adapter) and discards it.
    static constexpr int DrainLimitMs = 1000;

private:
    void drainOutput(int fd);
    void onError(QSerialPort::SerialPortError error);
    void releaseIfHungUp();

    QSerialPort port_;
    std::shared_ptr<TtyCalls> calls_;
    bool open_ = false;      // open as far as the module is concerned
    bool hungUp_ = false;    // seen hung up; release at the next safe point
    bool released_ = false;  // descriptor closed after a hang-up
    quint64 generation_ = 0; // guards a queued release against a later Open
};
