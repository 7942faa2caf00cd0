// Line output with an optional progress bar on the error stream.
#include "Console.h"

#include "SystemErrors.h"

#include <QIODevice>

#include <cerrno>

#include <algorithm>

namespace {
constexpr int BarWidth = 30;

// "[#####-----] 50%": the bar as text, without control characters.
QByteArray BarText(int position)
{
    const int filled = position * BarWidth / 100;
    return '[' + QByteArray(filled, '#') + QByteArray(BarWidth - filled, '-') + "] " +
           QByteArray::number(position) + '%';
}

// Why a write did not go through whole: the errno of the failed write(2) when
// there is one (EPIPE, ENOSPC), else the device's own words.
QString WriteFailure(QIODevice& device, int error)
{
    if (error != 0)
        return SystemErrorText(error);
    const QString text = device.errorString();
    return text.isEmpty() ? QStringLiteral("?") : text;
}
} // namespace

Console::Console(QIODevice& out, QIODevice& err, ProgressStyle progress)
    : out_(out), err_(err), progress_(progress)
{
}

void Console::WriteOut(const QByteArray& bytes)
{
    if (!outFailure_.isEmpty())
        return;
    errno = 0;
    if (out_.write(bytes) != bytes.size())
        outFailure_ = WriteFailure(out_, errno);
}

void Console::WriteErr(const QByteArray& bytes)
{
    if (!errFailure_.isEmpty())
        return;
    errno = 0;
    if (err_.write(bytes) != bytes.size())
        errFailure_ = WriteFailure(err_, errno);
}

void Console::Out(const QByteArray& bytes)
{
    WriteOut(bytes);
}

void Console::OutLine(const QString& text)
{
    WriteOut(text.toUtf8() + '\n');
}

void Console::ErrLine(const QString& text)
{
    ErrBytes(text.toUtf8());
}

void Console::ErrBytes(const QByteArray& line)
{
    ClearBar();
    WriteErr(line + '\n');
    if (barShown_) {
        // Draw the bar again below the message.
        const int position = lastPosition_;
        lastPosition_ = -1;
        Progress(position);
    }
}

void Console::Progress(int position)
{
    if (progress_ == ProgressStyle::Hidden)
        return;
    position = std::clamp(position, 0, 100);
    if (progress_ == ProgressStyle::Lines) {
        // A line per tenth reached, so that a transfer prints a dozen at most.
        if (lastPosition_ >= 0 && position / 10 == lastPosition_ / 10)
            return;
        lastPosition_ = position;
        WriteErr(BarText(position) + '\n');
        return;
    }
    if (barShown_ && position == lastPosition_)
        return;
    WriteErr("\r" + BarText(position) + "\x1b[K");
    barShown_ = true;
    lastPosition_ = position;
}

void Console::EndProgress()
{
    ClearBar();
    barShown_ = false;
    lastPosition_ = -1;
}

void Console::ClearBar()
{
    if (barShown_)
        WriteErr("\r\x1b[K");
}
