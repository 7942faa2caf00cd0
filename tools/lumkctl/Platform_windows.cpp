// A console takes the tool's text as UTF-16 (WriteConsoleW), so Cyrillic reads
// right whatever the console's code page; files and pipes get the same UTF-8
// bytes as on Linux.
#include "Platform.h"
#include "Platform_windows.h"

#include "CtlTexts.h"

#include "WindowsErrors.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

class ConsoleDevice : public QIODevice
{
public:
    explicit ConsoleDevice(HANDLE handle) : handle_(handle)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        // A character split between two writes is completed by the next one.
        const QString text = decoder_.decode(QByteArrayView(data, size));
        const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
        qsizetype done = 0;
        while (done < text.size()) {
            DWORD n = 0;
            const DWORD chunk = DWORD(std::min<qsizetype>(text.size() - done, 8192));
            if (!::WriteConsoleW(handle_, wide + done, chunk, &n, nullptr) || n == 0) {
                setErrorString(WindowsErrorText(::GetLastError()));
                return -1;
            }
            done += n;
        }
        return size;
    }

private:
    HANDLE handle_;
    QStringDecoder decoder_{QStringDecoder::Utf8};
};

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

std::unique_ptr<QIODevice> OpenStream(int fd, DWORD which)
{
    const HANDLE handle = ::GetStdHandle(which);
    if (IsConsole(handle))
        return std::make_unique<ConsoleDevice>(handle);
    // No "\n" to "\r\n" translation: the bytes are the ones Linux writes.
    ::_setmode(fd, _O_BINARY);
    auto file = std::make_unique<QFile>();
    file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    return file;
}

// What cmd.exe and the program's argument parsing take as one plain word.
bool PlainWord(const QByteArray& word)
{
    if (word.isEmpty())
        return false;
    for (char c : word) {
        if (std::strchr(" \t\"&|<>^%()!;,=`'", c))
            return false;
    }
    return true;
}

} // namespace

// The bar moves with "\r" and clears with "ESC [K"; a console that shows
// them as characters (older Windows, the legacy console) gets lines instead.
ProgressStyle ConsoleProgressStyle(HANDLE handle, const ConsoleModeCalls& calls)
{
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !calls.get(handle, &mode))
        return ProgressStyle::Hidden;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING)
        return ProgressStyle::Bar;
    if (calls.set(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) && calls.get(handle, &mode) &&
        (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING))
        return ProgressStyle::Bar;
    return ProgressStyle::Lines;
}

ConsoleStreams OpenConsoleStreams()
{
    ConsoleStreams streams;
    streams.out = OpenStream(1, STD_OUTPUT_HANDLE);
    streams.err = OpenStream(2, STD_ERROR_HANDLE);
    streams.progress = ConsoleProgressStyle(::GetStdHandle(STD_ERROR_HANDLE));
    return streams;
}

QByteArray ProgramAsStarted(const char* argv0)
{
    return argv0 && std::strpbrk(argv0, "\\/") ? QByteArray(argv0) : QByteArray("lumkctl");
}

// Double quotes, as cmd.exe and the program's own argument parsing read them;
// backslashes before the closing quote doubled so that it stays a quote.
QByteArray ShellQuoted(const QByteArray& word)
{
    if (PlainWord(word))
        return word;
    QByteArray quoted = "\"";
    qsizetype backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
        } else {
            if (c == '"')
                quoted += QByteArray(backslashes + 1, '\\');
            backslashes = 0;
        }
        quoted += c;
    }
    quoted += QByteArray(backslashes, '\\');
    return quoted + "\"";
}

PlatformHelp HelpOfPlatform()
{
    return {CtlTexts::Windows::PortArgument, CtlTexts::Windows::PortsSurvey,
            CtlTexts::Windows::InterruptStatuses};
}
