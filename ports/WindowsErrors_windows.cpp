#include "WindowsErrors.h"

#include "SystemErrors.h"

#include <cerrno>
#include <windows.h>

int ErrnoOfWindowsError(unsigned long error)
{
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    default:
        return EIO;
    }
}

QString WindowsErrorText(unsigned long error)
{
    // Not a matter of rights: closing the other program lets the file be used.
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return QStringLiteral("файл занят другой программой");
    const int mapped = ErrnoOfWindowsError(error);
    if (mapped != EIO)
        return SystemErrorText(mapped);
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString reason = n > 0 ? QString::fromWCharArray(text, int(n)).trimmed()
                           : QStringLiteral("ошибка %1").arg(error);
    if (text)
        ::LocalFree(text);
    return reason;
}
