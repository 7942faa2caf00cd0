#include "SerialServers_linux.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

sockaddr_in Loopback(quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

bool CanConnect(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

quint16 FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t size = sizeof a;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

// --- ser2net ----------------------------------------------------------------------

Ser2net::~Ser2net()
{
    Stop();
}

QString Ser2net::Rfc2217Url() const
{
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(rfc2217Port_);
}

QString Ser2net::RawUrl() const
{
    return QStringLiteral("socket://127.0.0.1:%1").arg(rawPort_);
}

bool Ser2net::Start(const QString& device, QString* error)
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        Stop();
        return false;
    };
    if (!dir_.isValid())
        return fail(QStringLiteral("no temporary folder"));
    rfc2217Port_ = FreeLoopbackPort();
    rawPort_ = FreeLoopbackPort();
    if (rfc2217Port_ == 0 || rawPort_ == 0 || rfc2217Port_ == rawPort_)
        return fail(QStringLiteral("no free loopback port"));
    // "local": a pseudo-terminal has no modem lines to watch. No character
    // delay: ser2net would otherwise hold each received byte a few character
    // times hoping for more, which adds up over the twelve frames of a transfer.
    const QString config = QStringLiteral("connection: &rfc2217\n"
                                          "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                          "  connector: serialdev,%3,9600n81,local\n"
                                          "  options:\n"
                                          "    chardelay: false\n"
                                          "connection: &raw\n"
                                          "  accepter: tcp,127.0.0.1,%2\n"
                                          "  connector: serialdev,%3,2400n81,local\n"
                                          "  options:\n"
                                          "    chardelay: false\n")
                               .arg(rfc2217Port_)
                               .arg(rawPort_)
                               .arg(device);
    const QString configPath = dir_.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) != config.toUtf8().size())
        return fail(QStringLiteral("cannot write ") + configPath);
    file.close();
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("ser2net"),
                   {QStringLiteral("-n"), QStringLiteral("-c"), configPath, QStringLiteral("-P"),
                    dir_.filePath(QStringLiteral("ser2net.pid"))});
    if (!process_.waitForStarted(5000))
        return fail(QStringLiteral("ser2net does not start: ") + process_.errorString() +
                    QStringLiteral(" (scripts/setup installs it)"));
    QElapsedTimer waited;
    waited.start();
    while (!(CanConnect(rfc2217Port_) && CanConnect(rawPort_))) {
        if (process_.state() != QProcess::Running)
            return fail(QStringLiteral("ser2net exited with status %1").arg(process_.exitCode()));
        if (waited.elapsed() > 5000)
            return fail(QStringLiteral("ser2net does not listen on its ports"));
        QThread::msleep(20);
    }
    // The probe connections opened and closed the device: give ser2net the
    // moment it takes to close it again.
    QThread::msleep(100);
    return true;
}

void Ser2net::Stop()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
}

// --- relay ------------------------------------------------------------------------

TcpRelay::~TcpRelay()
{
    Stop();
}

bool TcpRelay::Start(quint16 upstreamPort, QString* error)
{
    upstream_ = upstreamPort;
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t size = sizeof a;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0 ||
        ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        if (error)
            *error = QStringLiteral("relay: ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TcpRelay::Stop()
{
    if (thread_.joinable()) {
        const char c = 'x';
        [[maybe_unused]] auto r = ::write(stopPipe_[1], &c, 1);
        thread_.join();
    }
    for (int* fd : {&listener_, &stopPipe_[0], &stopPipe_[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void TcpRelay::Run()
{
    struct Piece
    {
        std::int64_t dueMs;
        std::vector<std::uint8_t> bytes;
    };
    std::mt19937_64 random(options_.seed);
    int client = -1, server = -1;
    std::deque<Piece> toServer, toClient;
    std::int64_t lastDue[2] = {0, 0};
    std::vector<std::uint8_t> tail; // the end of the client's stream, for 'W' requests
    const auto closeBoth = [&] {
        if (client >= 0)
            ::close(client);
        if (server >= 0)
            ::close(server);
        client = server = -1;
        toServer.clear();
        toClient.clear();
    };
    const auto enqueue = [&](std::deque<Piece>& queue, int direction, const std::uint8_t* data,
                             std::size_t n) {
        const std::int64_t due = NowMs() + options_.delayMs;
        for (std::size_t i = 0; i < n;) {
            const std::size_t piece =
                options_.cutIntoPieces
                    ? std::min<std::size_t>(
                          n - i, std::uniform_int_distribution<std::size_t>(1, 3)(random))
                    : n - i;
            // Pieces leave one at a time, a millisecond apart, in order.
            lastDue[direction] =
                std::max(due, lastDue[direction] + (options_.cutIntoPieces ? 1 : 0));
            queue.push_back({lastDue[direction], {data + i, data + i + piece}});
            i += piece;
        }
    };
    for (;;) {
        std::int64_t wait = -1;
        for (const auto* queue : {&toServer, &toClient}) {
            if (!queue->empty()) {
                const std::int64_t left = std::max<std::int64_t>(0, queue->front().dueMs - NowMs());
                wait = wait < 0 ? left : std::min(wait, left);
            }
        }
        pollfd fds[4] = {{stopPipe_[0], POLLIN, 0},
                         {listener_, POLLIN, 0},
                         {client, POLLIN, 0},
                         {server, POLLIN, 0}};
        ::poll(fds, 4, int(wait));
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            const int accepted = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (accepted >= 0) {
                closeBoth();
                client = accepted;
                server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                const sockaddr_in a = Loopback(upstream_);
                if (::connect(server, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
                    closeBoth();
                } else {
                    const int one = 1;
                    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    tail.clear();
                }
            }
        }
        std::uint8_t buf[512];
        if (client >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::read(client, buf, sizeof buf);
            if (n <= 0)
                closeBoth();
            else
                enqueue(toServer, 0, buf, std::size_t(n));
        }
        if (server >= 0 && (fds[3].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::read(server, buf, sizeof buf);
            if (n <= 0)
                closeBoth();
            else
                enqueue(toClient, 1, buf, std::size_t(n));
        }
        const std::int64_t now = NowMs();
        while (client >= 0 && !toClient.empty() && toClient.front().dueMs <= now) {
            const auto& b = toClient.front().bytes;
            if (::send(client, b.data(), b.size(), MSG_NOSIGNAL) != ssize_t(b.size()))
                closeBoth();
            else
                toClient.pop_front();
        }
        while (server >= 0 && !toServer.empty() && toServer.front().dueMs <= now) {
            const auto bytes = toServer.front().bytes;
            toServer.pop_front();
            if (::send(server, bytes.data(), bytes.size(), MSG_NOSIGNAL) != ssize_t(bytes.size())) {
                closeBoth();
                break;
            }
            // A 'W' request's header (81 00 'W') has gone through.
            for (std::uint8_t b : bytes) {
                tail.push_back(b);
                if (tail.size() > 3)
                    tail.erase(tail.begin());
                if (tail == std::vector<std::uint8_t>{0x81, 0x00, 'W'}) {
                    const int writes = ++writes_;
                    if (options_.closeAfterWrites >= 0 && writes >= options_.closeAfterWrites) {
                        options_.closeAfterWrites = -1; // once: a new connection goes through
                        closeBoth();
                    }
                }
            }
        }
    }
    closeBoth();
}
