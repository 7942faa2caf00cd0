#include "TestFiles.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    ASSERT_EQ(f.write(data), data.size()) << qPrintable(path);
}

int RunInChild(const std::function<int()>& body, int seconds)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(unsigned(seconds));
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    if (WIFSIGNALED(status))
        return WTERMSIG(status) == SIGALRM ? 200 : 100 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

int RunUnprivileged(const std::function<int()>& body)
{
    return RunInChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return ChildNoPrivilegeDrop;
        return body();
    });
}
