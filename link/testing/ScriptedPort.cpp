#include "ScriptedPort.h"

void ScriptedPort::Deliver(const QByteArray& bytes, std::int64_t delayMs)
{
    const std::int64_t at = clock_->NowMs() + delayMs;
    for (char c : bytes)
        incoming_.push_back({at, std::uint8_t(c)});
}

bool ScriptedPort::Open(const QString& name)
{
    events.append(QStringLiteral("open ") + name);
    if (refusedNames.contains(name))
        return false;
    openName = name;
    return true;
}

void ScriptedPort::Close()
{
    events.append(QStringLiteral("close"));
    openName.clear();
    incoming_.clear(); // the closed port's line is gone
}

std::int64_t ScriptedPort::Read(std::uint8_t* dest, std::int64_t maxBytes)
{
    ++readCalls;
    if (readFails || openName.isEmpty())
        return -1;
    const std::int64_t now = clock_->NowMs();
    std::int64_t got = 0;
    while (got < maxBytes && !incoming_.empty() && incoming_.front().atMs <= now) {
        dest[got++] = incoming_.front().value;
        incoming_.pop_front();
    }
    return got;
}

std::int64_t ScriptedPort::Write(const std::uint8_t* src, std::int64_t count, int timeoutMs)
{
    Q_UNUSED(timeoutMs);
    if (openName.isEmpty())
        return -1;
    std::int64_t accepted = count;
    if (writeLimit >= 0 && accepted > writeLimit)
        accepted = writeLimit;
    const QByteArray bytes(reinterpret_cast<const char*>(src), qsizetype(accepted));
    writes.append({clock_->NowMs(), bytes});
    events.append(QStringLiteral("write %1").arg(accepted));
    if (onWrite)
        onWrite(bytes);
    return accepted;
}

void ScriptedPort::Purge(unsigned flags)
{
    events.append(QStringLiteral("purge %1").arg(flags));
    if (flags & PurgeRx) {
        // Only what has arrived is discarded; bytes still on the line come later.
        const std::int64_t now = clock_->NowMs();
        while (!incoming_.empty() && incoming_.front().atMs <= now)
            incoming_.pop_front();
    }
}
