// The station behind a TCP listener on loopback: a connection is the program
// opening its side, its end the program closing it; a hang-up closes the
// connection and the next one is accepted.
#include "FdChannel_linux.h"

#include <netinet/in.h>
#include <sys/socket.h>

namespace {

class TcpChannel final : public FdChannel
{
public:
    ~TcpChannel() override { Close(); }

    bool Open(QString* error) override
    {
        if (!openStopPipe(error))
            return false;
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
            if (error)
                *error = errnoText("listen");
            Close();
            return false;
        }
        path_ = QStringLiteral("socket://127.0.0.1:%1").arg(ntohs(a.sin_port));
        return true;
    }
    bool Up() const override { return listener_ >= 0; }
    QString ProgramSidePath() const override { return path_; }
    void TakeEvents(Events& events) override
    {
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection < 0)
            return;
        // One program at a time: a new connection replaces the old one.
        if (master_ >= 0) {
            closeConnection();
            events.sideClosed();
        }
        master_ = connection;
        events.sideOpened();
    }
    std::int64_t Read(std::uint8_t* dest, std::size_t max) override
    {
        const ssize_t n = ::read(master_, dest, max);
        if (n == 0) {
            closeConnection(); // the program closed its side
            return -1;
        }
        return n < 0 ? 0 : n;
    }
    // No SIGPIPE from a closed connection.
    std::int64_t Write(const std::uint8_t* src, std::size_t count) override
    {
        return ::send(master_, src, count, MSG_NOSIGNAL);
    }
    void DiscardUnread() override {} // the connection went with what it held
    void HangUp() override { closeConnection(); }
    void Close() override
    {
        closeConnection();
        if (listener_ >= 0)
            ::close(listener_);
        listener_ = -1;
        closeStopPipe();
    }

protected:
    int eventFd() const override { return listener_; }

private:
    void closeConnection()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    int listener_ = -1;
    QString path_;
};

} // namespace

std::unique_ptr<StationChannel> MakeTcpChannel()
{
    return std::make_unique<TcpChannel>();
}
