#include "Win32SerialBackend_windows.h"

#include "SerialDevices.h"
#include "SerialLink.h"

#include <algorithm>
#include <windows.h>

namespace {

HANDLE H(void* handle)
{
    return static_cast<HANDLE>(handle);
}

// Reads return at once with what has arrived; a write may take 1 ms a byte
// plus 200 ms, or `writeTotalMs` in all when that is not negative.
bool ApplyTimeouts(HANDLE handle, int writeTotalMs)
{
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    if (writeTotalMs < 0) {
        timeouts.WriteTotalTimeoutMultiplier = 1;
        timeouts.WriteTotalTimeoutConstant = WriteConstantMs;
    } else {
        // Zero would mean "no time-out at all".
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = DWORD(std::max(writeTotalMs, 1));
    }
    return ::SetCommTimeouts(handle, &timeouts) != 0;
}

bool TimedOut(DWORD error)
{
    return error == ERROR_SEM_TIMEOUT || error == ERROR_TIMEOUT || error == WAIT_TIMEOUT;
}

} // namespace

Win32SerialBackend::~Win32SerialBackend()
{
    Close();
}

bool Win32SerialBackend::Fail(OpenFault fault, unsigned long error)
{
    if (handle_)
        ::CloseHandle(H(handle_));
    handle_ = nullptr;
    fault_ = fault;
    openError_ = error ? error : ERROR_GEN_FAILURE;
    return false;
}

bool Win32SerialBackend::Open(const QString& name)
{
    Close();
    fault_ = OpenFault::None;
    openError_ = 0;
    const QByteArray path = DevicePath(name).toLocal8Bit();
    // Exclusive: a port another program has open is refused here.
    const HANDLE handle = ::CreateFileA(path.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            return Fail(OpenFault::Busy, error);
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return Fail(OpenFault::NotFound, error);
        return Fail(OpenFault::Other, error);
    }
    handle_ = handle;

    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb))
        return Fail(OpenFault::Settings, ::GetLastError());
    dcb.BaudRate = 2400;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    // The flag word 0x1081: binary, transmit on after XOFF, RTS held on;
    // everything else off (DTR, CTS/DSR and XON/XOFF flow control, parity
    // check and replacement, null stripping, abort on error).
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(handle, &dcb))
        return Fail(OpenFault::Settings, ::GetLastError());
    if (!ApplyTimeouts(handle, -1))
        return Fail(OpenFault::Settings, ::GetLastError());
    writeTimeoutMs_ = -1;
    // The driver's queues bound what waits unread; a driver that keeps its own
    // sizes is no open failure. What arrived before the open is not ours.
    ::SetupComm(handle, QueueBytes, QueueBytes);
    ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return true;
}

void Win32SerialBackend::Close()
{
    if (!handle_)
        return;
    const HANDLE handle = H(handle_);
    // The last frame leaves the wire before the handle goes, but a line that
    // does not drain (a stalled adapter) must not hold the close for good:
    // wait for the transmit queue with a limit, discard what is left, and only
    // then flush, which waits for the UART itself.
    const ULONGLONG deadline = ::GetTickCount64() + DrainLimitMs;
    for (;;) {
        COMSTAT status = {};
        DWORD errors = 0;
        if (!::ClearCommError(handle, &errors, &status) || status.cbOutQue == 0)
            break;
        if (::GetTickCount64() >= deadline) {
            ::PurgeComm(handle, PURGE_TXABORT | PURGE_TXCLEAR);
            break;
        }
        ::Sleep(1);
    }
    ::FlushFileBuffers(handle);
    ::CloseHandle(handle);
    handle_ = nullptr;
}

std::int64_t Win32SerialBackend::Read(std::uint8_t* dest, std::int64_t maxBytes)
{
    if (!handle_)
        return -1;
    if (maxBytes <= 0)
        return 0;
    DWORD got = 0;
    const DWORD ask = DWORD(std::min<std::int64_t>(maxBytes, QueueBytes));
    if (!::ReadFile(H(handle_), dest, ask, &got, nullptr))
        return -1;
    return std::int64_t(got);
}

bool Win32SerialBackend::SetWriteTimeout(int totalMs)
{
    if (totalMs == writeTimeoutMs_)
        return true;
    if (!ApplyTimeouts(H(handle_), totalMs))
        return false;
    writeTimeoutMs_ = totalMs;
    return true;
}

std::int64_t Win32SerialBackend::Write(const std::uint8_t* src, std::int64_t count, int timeoutMs)
{
    if (!handle_)
        return -1;
    if (count <= 0)
        return 0;
    count = std::min<std::int64_t>(count, QueueBytes);
    // The time-outs of the open give 1 ms a byte plus 200 ms; another limit
    // asked for is set for this write.
    const bool usual = timeoutMs == int(count) + WriteConstantMs;
    if (!SetWriteTimeout(usual ? -1 : std::max(timeoutMs, 0)))
        return -1;
    DWORD sent = 0;
    const bool ok = ::WriteFile(H(handle_), src, DWORD(count), &sent, nullptr) != 0;
    const DWORD error = ok ? 0 : ::GetLastError();
    if (!ok && !TimedOut(error) && sent == 0)
        return -1;
    if (std::int64_t(sent) < count) {
        // A frame that did not go out whole is abandoned whole: what the
        // driver still holds of it must not follow later, glued in front of
        // the next frame.
        ::PurgeComm(H(handle_), PURGE_TXABORT | PURGE_TXCLEAR);
    }
    return std::int64_t(sent);
}

void Win32SerialBackend::Purge(unsigned flags)
{
    if (!handle_)
        return;
    DWORD purge = 0;
    if (flags & PurgeTx)
        purge |= PURGE_TXCLEAR;
    if (flags & PurgeRx)
        purge |= PURGE_RXCLEAR;
    if (purge)
        ::PurgeComm(H(handle_), purge);
}
