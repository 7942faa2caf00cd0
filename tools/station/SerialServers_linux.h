// Network serial servers in front of the station simulator, for tests and
// benchmarks: a real ser2net serving the station's pseudo-terminal, and a
// relay that delays, cuts up or cuts off a TCP stream.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

// A loopback TCP port that was free a moment ago.
quint16 FreeLoopbackPort();

// ser2net (Debian's, 4.x) with its own configuration, serving `device` on two
// loopback ports: Telnet with RFC 2217 on one (the line configured at 9600
// 8N1, so only a client's settings make it 2400) and raw TCP on the other
// (2400 8N1). Start fails, with the reason, when ser2net is missing or does
// not listen within a few seconds.
class Ser2net
{
public:
    ~Ser2net();
    bool Start(const QString& device, QString* error);
    void Stop();

    quint16 Rfc2217Port() const { return rfc2217Port_; }
    quint16 RawPort() const { return rawPort_; }
    QString Rfc2217Url() const;
    QString RawUrl() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 rfc2217Port_ = 0;
    quint16 rawPort_ = 0;
};

struct RelayOptions
{
    int delayMs = 0;            // added to each direction
    bool cutIntoPieces = false; // forward in pieces of 1 to 3 bytes
    int closeAfterWrites = -1;  // close once, after forwarding this many 'W' requests
    std::uint64_t seed = 1;
};

// A TCP relay on a loopback port to an upstream loopback port, one client at
// a time, on its own thread.
class TcpRelay
{
public:
    explicit TcpRelay(RelayOptions options) : options_(options) {}
    ~TcpRelay();
    bool Start(quint16 upstreamPort, QString* error);
    void Stop();
    quint16 Port() const { return port_; }
    int WritesForwarded() const { return writes_; }

private:
    void Run();

    RelayOptions options_;
    quint16 upstream_ = 0;
    quint16 port_ = 0;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<int> writes_{0};
};
