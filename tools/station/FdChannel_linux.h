// What the pseudo-terminal and the TCP listener share: the line is a file
// descriptor (`master`), waiting is one poll over it, the descriptor that
// reports the program's opens and closes, and a stop pipe.
#pragma once

#include "StationChannel.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

class FdChannel : public StationChannel
{
public:
    void Wait(std::int64_t ms, bool forInput) override
    {
        pollfd fds[3] = {{stopPipe_[0], POLLIN, 0},
                         {eventFd(), POLLIN, 0},
                         {forInput ? master_ : -1, POLLIN, 0}};
        ::poll(fds, 3, ms < 0 ? -1 : int(ms));
    }
    void Interrupt() override
    {
        const char c = 'x';
        [[maybe_unused]] auto r = ::write(stopPipe_[1], &c, 1);
    }

protected:
    // The descriptor that becomes readable on an open or close of the program's side.
    virtual int eventFd() const = 0;

    static QString errnoText(const char* what)
    {
        return QString::fromLatin1(what) + QStringLiteral(": ") +
               QString::fromLocal8Bit(std::strerror(errno));
    }
    bool openStopPipe(QString* error)
    {
        if (stopPipe_[0] >= 0)
            return true;
        if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) == 0)
            return true;
        if (error)
            *error = errnoText("pipe");
        return false;
    }
    void closeStopPipe()
    {
        for (int& fd : stopPipe_) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
    }

    int master_ = -1; // the pseudo-terminal's master side, or the TCP connection
    int stopPipe_[2] = {-1, -1};
};

std::unique_ptr<StationChannel> MakePtyChannel(const QString& linkPath);
std::unique_ptr<StationChannel> MakeTcpChannel();
