// Replacing and creating configuration files on Windows: the new content is
// flushed to the disk before it takes the old file's name (MoveFileEx).
#include "ConfigFiles.h"
#include "WindowsErrors.h"

#include "FileTexts.h"
#include "OutputTarget.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <string>
#include <windows.h>

namespace {

std::wstring WideName(const QByteArray& nativeName)
{
    return QDir::toNativeSeparators(QFile::decodeName(nativeName)).toStdWString();
}

bool Fail(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

bool NotFound(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

struct Target
{
    std::wstring name; // where the new content goes: the file a link leads to
    bool exists = false;
};

// Opens the name without reading or writing it (so a device or pipe feels
// nothing) to learn what it is and, through a link, where the file lives.
bool ResolveTarget(const QByteArray& nativeName, Target& target, QString* reason)
{
    const std::wstring name = WideName(nativeName);
    if (name.empty())
        return Fail(reason, WindowsErrorText(ERROR_FILE_NOT_FOUND));
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    const HANDLE handle =
        ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (NotFound(error) && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return Fail(reason, FileTexts::DanglingLink);
        if (NotFound(error)) {
            target.name = name; // a new file
            return true;
        }
        return Fail(reason, WindowsErrorText(error));
    }
    const DWORD type = ::GetFileType(handle);
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool known = ::GetFileInformationByHandle(handle, &info);
    QString refusal;
    if (type == FILE_TYPE_CHAR)
        refusal = FileTexts::IsDevice;
    else if (type == FILE_TYPE_PIPE)
        refusal = FileTexts::IsPipe;
    else if (type != FILE_TYPE_DISK || !known)
        refusal = FileTexts::NotRegular;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        refusal = FileTexts::IsFolder;
    target.name = name;
    if (refusal.isEmpty() && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // Replace the file the link leads to, in its own folder.
        std::wstring resolved(32768, L'\0');
        const DWORD n = ::GetFinalPathNameByHandleW(handle, resolved.data(), DWORD(resolved.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0 || n >= resolved.size()) {
            refusal = WindowsErrorText(::GetLastError());
        } else {
            resolved.resize(n);
            target.name = resolved;
        }
    }
    ::CloseHandle(handle);
    if (!refusal.isEmpty())
        return Fail(reason, refusal);
    target.exists = true;
    return true;
}

std::wstring FolderOf(const std::wstring& name)
{
    const std::size_t slash = name.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : name.substr(0, slash + 1);
}

bool WriteAll(HANDLE handle, const QByteArray& content)
{
    qsizetype done = 0;
    while (done < content.size()) {
        DWORD n = 0;
        const DWORD chunk = DWORD(std::min<qsizetype>(content.size() - done, 1 << 20));
        if (!::WriteFile(handle, content.constData() + done, chunk, &n, nullptr))
            return false;
        if (n == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += n;
    }
    return true;
}

// Whether another program has `name` open without letting it be deleted or
// replaced: a replacement is then refused for that reason, not for rights.
bool HeldByAnotherProgram(const std::wstring& name)
{
    const HANDLE handle =
        ::CreateFileW(name.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return false;
    }
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// Writes over an existing file in place, for a folder that allows no new file
// beside it. Nothing is truncated first: when a write fails part-way, the old
// bytes are put back and the file keeps its old length.
bool RewriteInPlace(const std::wstring& name, const QByteArray& content, QString* reason)
{
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Fail(reason, WindowsErrorText(::GetLastError()));
    LARGE_INTEGER oldSize = {};
    ::GetFileSizeEx(handle, &oldSize);
    QByteArray old(std::min<qsizetype>(qsizetype(oldSize.QuadPart), content.size()), '\0');
    DWORD got = 0;
    if (!old.isEmpty() && !::ReadFile(handle, old.data(), DWORD(old.size()), &got, nullptr)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle);
        return Fail(reason, WindowsErrorText(error));
    }
    old.truncate(got);
    ::SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
    bool ok = WriteAll(handle, content) && ::SetEndOfFile(handle) && ::FlushFileBuffers(handle);
    const DWORD error = ::GetLastError();
    if (!ok) {
        ::SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
        WriteAll(handle, old);
        ::SetFilePointerEx(handle, oldSize, nullptr, FILE_BEGIN);
        ::SetEndOfFile(handle);
        ::FlushFileBuffers(handle);
    }
    ::CloseHandle(handle);
    return ok || Fail(reason, WindowsErrorText(error));
}

// A new file beside the target, opened by this process alone.
HANDLE CreateTemporary(const std::wstring& target, std::wstring& name)
{
    const std::wstring folder = FolderOf(target);
    const std::wstring base = target.substr(folder.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + L"." + base + L"." +
               QString::number(QRandomGenerator::global()->generate(), 36).toStdWString() + L".tmp";
        const HANDLE handle =
            ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return handle;
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

} // namespace

bool ResolveOutputTarget(const QByteArray& nativeName, QString* reason)
{
    Target target;
    return ResolveTarget(nativeName, target, reason);
}

bool ReplaceFileContent(const QByteArray& nativeName, const QByteArray& content, QString* reason)
{
    Target target;
    if (!ResolveTarget(nativeName, target, reason))
        return false;
    std::wstring temporary;
    const HANDLE handle = CreateTemporary(target.name, temporary);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // No new file can be made in the folder; an existing file the user may
        // write is still rewritten, as a plain save would.
        if (target.exists && (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT))
            return RewriteInPlace(target.name, content, reason);
        return Fail(reason, WindowsErrorText(error));
    }
    bool ok = WriteAll(handle, content) && ::FlushFileBuffers(handle);
    DWORD error = ::GetLastError();
    if (!::CloseHandle(handle) && ok) {
        ok = false;
        error = ::GetLastError();
    }
    // One step, on the disk before it returns. A target another program holds
    // open without letting it be replaced stays as it was.
    if (ok && !::MoveFileExW(temporary.c_str(), target.name.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = ::GetLastError();
        if (error == ERROR_ACCESS_DENIED && HeldByAnotherProgram(target.name))
            error = ERROR_SHARING_VIOLATION;
    }
    if (!ok) {
        ::DeleteFileW(temporary.c_str());
        return Fail(reason, WindowsErrorText(error));
    }
    return true;
}

int CreateNewFile(const QByteArray& nativeName, const QByteArray& content)
{
    const std::wstring name = WideName(nativeName);
    // CREATE_NEW fails on any existing name, a link's included.
    const HANDLE handle =
        ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return ErrnoOfWindowsError(::GetLastError());
    int error = 0;
    if (!WriteAll(handle, content) || !::FlushFileBuffers(handle))
        error = ErrnoOfWindowsError(::GetLastError());
    if (!::CloseHandle(handle) && error == 0)
        error = ErrnoOfWindowsError(::GetLastError());
    if (error != 0)
        ::DeleteFileW(name.c_str());
    return error;
}
