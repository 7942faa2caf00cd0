// A serial backend for tests: bytes are scheduled to arrive at virtual times,
// every write and purge is recorded, and opening or writing can be made to fail.
// An optional responder (see ScriptedStation) answers what the program writes.
#pragma once

#include "SerialBackend.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>

class ScriptedPort : public SerialBackend
{
public:
    explicit ScriptedPort(std::shared_ptr<LinkClock> clock) : clock_(std::move(clock)) {}

    // --- scripting --------------------------------------------------------
    // Bytes that arrive `delayMs` from now (0: already there).
    void Deliver(const QByteArray& bytes, std::int64_t delayMs = 0);
    // Bytes scheduled but not yet arrived, plus arrived but not read.
    int PendingBytes() const { return int(incoming_.size()); }
    QSet<QString> refusedNames;   // Open fails for these names
    int writeLimit = -1;          // a write accepts at most this many bytes (-1: all)
    bool readFails = false;       // every read reports a platform failure
    bool hungUp = false;          // the device hung up (reported, reads go on)
    // Called after every write with the bytes the port accepted.
    std::function<void(const QByteArray&)> onWrite;

    // --- record -------------------------------------------------------------
    struct Write
    {
        std::int64_t atMs;
        QByteArray bytes;
    };
    QList<Write> writes;
    QStringList events; // "open NAME", "close", "purge 4", "purge 8", "write N"
    QString openName;   // the open port's name, empty when closed
    int readCalls = 0;

    // --- SerialBackend ----------------------------------------------------------
    bool Open(const QString& name) override;
    void Close() override;
    std::int64_t Read(std::uint8_t* dest, std::int64_t maxBytes) override;
    std::int64_t Write(const std::uint8_t* src, std::int64_t count, int timeoutMs) override;
    void Purge(unsigned flags) override;
    bool HungUp() const override { return hungUp; }

    LinkClock& clock() { return *clock_; }

private:
    struct Byte
    {
        std::int64_t atMs;
        std::uint8_t value;
    };
    std::shared_ptr<LinkClock> clock_;
    std::deque<Byte> incoming_;
};
