#include "LoopbackLine.h"

#include <QHash>

#include <algorithm>
#include <chrono>

void LoopbackLine::dropQueues()
{
    toDevice_.clear();
    toProgram_.clear();
}

void LoopbackLine::Connect()
{
    std::lock_guard lock(mutex_);
    connected_ = true;
}

void LoopbackLine::HangUp()
{
    {
        std::lock_guard lock(mutex_);
        connected_ = false;
        session_ = 0;
        events_.clear();
        dropQueues();
    }
    changed_.notify_all(); // a program waiting for room gives up
}

std::size_t LoopbackLine::DeviceRead(std::uint8_t* dest, std::size_t max)
{
    std::size_t n = 0;
    {
        std::lock_guard lock(mutex_);
        n = std::min(max, toDevice_.size());
        std::copy_n(toDevice_.begin(), n, dest);
        toDevice_.erase(toDevice_.begin(), toDevice_.begin() + std::ptrdiff_t(n));
    }
    if (n > 0)
        changed_.notify_all(); // room for a waiting writer
    return n;
}

std::size_t LoopbackLine::DeviceWrite(const std::uint8_t* src, std::size_t count)
{
    std::lock_guard lock(mutex_);
    if (session_ == 0)
        return 0;
    const std::size_t n = std::min(count, Capacity - toProgram_.size());
    toProgram_.insert(toProgram_.end(), src, src + n);
    return n;
}

void LoopbackLine::DiscardToProgram()
{
    std::lock_guard lock(mutex_);
    toProgram_.clear();
}

std::vector<bool> LoopbackLine::TakeEvents()
{
    std::lock_guard lock(mutex_);
    std::vector<bool> taken;
    taken.swap(events_);
    return taken;
}

void LoopbackLine::Wait(std::int64_t ms, bool forInput)
{
    std::unique_lock lock(mutex_);
    const auto ready = [&] {
        return interrupted_ || !events_.empty() || (forInput && !toDevice_.empty());
    };
    if (ms < 0)
        changed_.wait(lock, ready);
    else
        changed_.wait_for(lock, std::chrono::milliseconds(ms), ready);
}

void LoopbackLine::Interrupt()
{
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    changed_.notify_all();
}

LoopbackLine::OpenResult LoopbackLine::ProgramOpen(std::uint64_t& session)
{
    session = 0;
    {
        std::lock_guard lock(mutex_);
        if (!connected_)
            return OpenResult::Down;
        if (session_ != 0)
            return OpenResult::Busy;
        session = session_ = ++lastSession_;
        dropQueues();
        events_.push_back(true);
    }
    changed_.notify_all();
    return OpenResult::Opened;
}

void LoopbackLine::ProgramClose(std::uint64_t session)
{
    {
        std::lock_guard lock(mutex_);
        if (session == 0 || session != session_)
            return; // never opened, or already ended by a hang-up
        session_ = 0;
        dropQueues();
        events_.push_back(false);
    }
    changed_.notify_all();
}

bool LoopbackLine::ProgramHungUp(std::uint64_t session) const
{
    std::lock_guard lock(mutex_);
    return session != 0 && session != session_;
}

std::int64_t LoopbackLine::ProgramRead(std::uint64_t session, std::uint8_t* dest, std::int64_t max)
{
    std::lock_guard lock(mutex_);
    if (session == 0 || session != session_)
        return -1;
    const std::size_t n = std::min(std::size_t(std::max<std::int64_t>(max, 0)), toProgram_.size());
    std::copy_n(toProgram_.begin(), n, dest);
    toProgram_.erase(toProgram_.begin(), toProgram_.begin() + std::ptrdiff_t(n));
    return std::int64_t(n);
}

std::int64_t LoopbackLine::ProgramWrite(std::uint64_t session, const std::uint8_t* src,
                                        std::int64_t count, int timeoutMs)
{
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    std::int64_t sent = 0;
    std::unique_lock lock(mutex_);
    while (sent < count) {
        if (session == 0 || session != session_)
            return sent > 0 ? sent : -1;
        const std::size_t room = Capacity - toDevice_.size();
        if (room > 0) {
            const std::size_t n = std::min(room, std::size_t(count - sent));
            toDevice_.insert(toDevice_.end(), src + sent, src + sent + std::ptrdiff_t(n));
            sent += std::int64_t(n);
            changed_.notify_all();
            continue;
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout &&
            toDevice_.size() >= Capacity)
            break;
    }
    return sent;
}

void LoopbackLine::ProgramPurge(std::uint64_t session, bool transmit, bool receive)
{
    std::lock_guard lock(mutex_);
    if (session == 0 || session != session_)
        return;
    if (transmit)
        toDevice_.clear();
    if (receive)
        toProgram_.clear();
}

namespace {

std::mutex registryMutex;
QHash<QString, std::weak_ptr<LoopbackLine>>& Registry()
{
    static QHash<QString, std::weak_ptr<LoopbackLine>> lines;
    return lines;
}

} // namespace

bool RegisterLoopbackLine(const QString& name, const std::shared_ptr<LoopbackLine>& line)
{
    std::lock_guard lock(registryMutex);
    auto& lines = Registry();
    if (const auto it = lines.constFind(name); it != lines.constEnd() && !it->expired())
        return false;
    lines.insert(name, line);
    return true;
}

void UnregisterLoopbackLine(const QString& name, const LoopbackLine* line)
{
    std::lock_guard lock(registryMutex);
    auto& lines = Registry();
    if (const auto it = lines.find(name); it != lines.end() && it->lock().get() == line)
        lines.erase(it);
}

std::shared_ptr<LoopbackLine> FindLoopbackLine(const QString& name)
{
    std::lock_guard lock(registryMutex);
    return Registry().value(name).lock();
}
