// The serial port module over an injectable backend and clock.
#include "ComUtilites.h"

#include "DefaultSerialBackend.h"
#include "LinkTexts.h"
#include "PortBackends.h"
#include "SystemClock.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

PortHandleType PortHandle = 0;
std::uint8_t LinkBuffer[LinkBufferSize] = {};

namespace {

std::shared_ptr<SerialBackend> theBackend;
std::shared_ptr<LinkClock> theClock;
std::function<void(const QString&)> openFailureReporter;
PortHandleType lastHandle = 0;

void ReportOpenFailure(const QString& text)
{
    if (openFailureReporter)
        openFailureReporter(text);
    else
        qWarning().noquote() << text;
}

} // namespace

SerialBackend& CurrentSerialBackend()
{
    if (!theBackend)
        theBackend = std::make_shared<PortBackend>();
    return *theBackend;
}

LinkClock& CurrentLinkClock()
{
    if (!theClock)
        theClock = std::make_shared<SystemClock>();
    return *theClock;
}

void SetSerialBackend(std::shared_ptr<SerialBackend> replacement)
{
    ClosePort();
    theBackend = std::move(replacement);
}

void SetLinkClock(std::shared_ptr<LinkClock> replacement)
{
    theClock = std::move(replacement);
}

void SetOpenFailureReporter(std::function<void(const QString&)> reporter)
{
    openFailureReporter = std::move(reporter);
}

void ResetComUtilites()
{
    ClosePort();
    theBackend.reset();
    theClock.reset();
    openFailureReporter = nullptr;
    std::memset(LinkBuffer, 0, sizeof LinkBuffer);
}

bool OpenPort(const QString& name)
{
    if (PortHandle != 0)
        ClosePort();
    if (CurrentSerialBackend().Open(name)) {
        PortHandle = ++lastHandle;
        if (PortHandle == 0)
            PortHandle = ++lastHandle;
        return true;
    }
    PortHandle = 0;
    ReportOpenFailure(LinkTexts::NotOpen(name));
    return false;
}

void ClosePort()
{
    if (PortHandle != 0)
        CurrentSerialBackend().Close();
    PortHandle = 0;
}

bool ReadPort(int n)
{
    if (PortHandle == 0)
        return false;
    LinkClock& time = CurrentLinkClock();
    SerialBackend& port = CurrentSerialBackend();
    const std::int64_t deadline = time.NowMs() + ReadDeadlineMs;
    int received = 0;
    for (;;) {
        time.SleepMs(ReadPollMs);
        // The full n each time, not only the missing count (so up to 2n - 1 bytes).
        const int room = std::min(n, LinkBufferSize - received);
        if (room > 0) {
            const std::int64_t got = port.Read(LinkBuffer + received, room);
            if (got > 0)
                received += int(got); // a failed read counts as zero bytes
        }
        if (time.NowMs() > deadline)
            return false;
        if (received >= n)
            return true;
    }
}

bool WritePort(int n)
{
    if (PortHandle == 0)
        return false;
    n = std::clamp(n, 0, LinkBufferSize);
    const std::int64_t written =
        CurrentSerialBackend().Write(LinkBuffer, n, n * 1 + WriteConstantMs);
    return written == n;
}

bool PortHungUp()
{
    return PortHandle != 0 && CurrentSerialBackend().HungUp();
}

void PurgePort(unsigned flags)
{
    if (PortHandle != 0)
        CurrentSerialBackend().Purge(flags & (PURGE_TXCLEAR | PURGE_RXCLEAR));
}
