#include "RegularFile.h"

#include "SystemErrors.h"
#include "WindowsErrors.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

bool OpenRegularFile(const QByteArray& nativeName, QFile& file, QString* reason)
{
    const auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    const std::wstring name =
        QDir::toNativeSeparators(QFile::decodeName(nativeName)).toStdWString();
    if (name.empty())
        return fail(SystemErrorText(ENOENT));
    // Others may go on reading, writing or replacing the file meanwhile: a
    // read takes one line and lets go.
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return fail(WindowsErrorText(::GetLastError()));
    // A disk file only: no device (COM1, CON), pipe or console.
    BY_HANDLE_FILE_INFORMATION info = {};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const bool folder = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        ::CloseHandle(handle);
        return fail(folder ? SystemErrorText(EISDIR) : QStringLiteral("это не обычный файл"));
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return fail(SystemErrorText(EIO));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::_close(fd);
        return fail(SystemErrorText(EIO));
    }
    return true;
}
