// A serial port reached over TCP: "rfc2217://HOST:PORT" (Telnet with the Com
// Port Control option, which sets the remote line to 2400 baud 8N1) or
// "socket://HOST:PORT" (raw bytes, the line as the server has it).
//
// Like the local port: reads never wait (what has arrived, possibly nothing),
// writes wait for the socket within their time-out, and nothing here runs an
// event loop. Opening is bounded: ConnectTimeoutMs for the connection, then
// NegotiationTimeoutMs for the server to take the Com Port Control option and
// LineTimeoutMs for its answer to the baud rate (a server that never answers
// the line settings is used all the same; DTR and RTS answers are never
// awaited: a server on a pseudo-terminal sends none).
//
// Over RFC 2217 a purge also reaches the server (PURGE-DATA), and what the
// server sent before its answer to the purge is discarded on arrival: bytes
// in flight are no fresher than those already here.
//
// A lost connection makes reads and writes fail until the port is opened
// again; FailureReason() then says why.
#pragma once

#include "SerialBackend.h"
#include "TelnetCodec.h"

#include <QElapsedTimer>
#include <QTcpSocket>

#include <optional>

struct NetworkAddress
{
    bool telnet = false; // rfc2217:// (else socket://)
    QString host;        // a name, an IPv4 address or an IPv6 address without brackets
    quint16 port = 0;
};

// The address in a network port name; nothing when it is malformed.
std::optional<NetworkAddress> ParseNetworkPort(const QString& name);

class NetworkBackend : public SerialBackend
{
public:
    NetworkBackend();
    ~NetworkBackend() override;

    bool Open(const QString& name) override;
    void Close() override;
    std::int64_t Read(std::uint8_t* dest, std::int64_t maxBytes) override;
    std::int64_t Write(const std::uint8_t* src, std::int64_t count, int timeoutMs) override;
    void Purge(unsigned flags) override;
    QString FailureReason() const override { return failure_; }
    // The connection is gone (the server closed it or the network dropped it).
    bool HungUp() const override
    {
        return open_ && socket_.state() != QAbstractSocket::ConnectedState;
    }

    static constexpr int ConnectTimeoutMs = 3000;
    static constexpr int NegotiationTimeoutMs = 2000;
    static constexpr int LineTimeoutMs = 1000;
    static constexpr std::uint32_t BaudRate = 2400;
    // Received data held unread at most; the rest waits in the kernel.
    static constexpr qint64 ReadBufferBytes = 4096;
    // A purge takes at most this many buffers' worth from the socket (a
    // server that floods cannot hold it).
    static constexpr int MaxPurgeRounds = 64;
    // How long data is held back for the server's answer to a purge.
    static constexpr int PurgeAnswerLimitMs = 1000;

private:
    bool Negotiate();
    // Takes what the socket has (waiting up to waitMs for it), decodes it and
    // answers the server's negotiation. False when the connection is gone.
    bool Pump(int waitMs);
    bool Send(const TelnetCodec::Bytes& bytes, int timeoutMs);
    bool Lost();
    void Fail(const QString& reason);

    QTcpSocket socket_;
    NetworkAddress address_;
    QString name_;
    TelnetCodec codec_;
    TelnetCodec::Bytes received_; // data not yet read
    std::uint64_t taken_ = 0;     // bytes taken from the socket so far
    QElapsedTimer purgeSent_;
    bool open_ = false;
    QString failure_;
};
