// Line output with an optional progress bar on the error stream.
#include "Console.h"

#include <QIODevice>

#include <algorithm>

namespace {
constexpr int BarWidth = 30;
}

Console::Console(QIODevice& out, QIODevice& err, bool errIsTerminal)
    : out_(out), err_(err), errIsTerminal_(errIsTerminal)
{
}

void Console::Out(const QByteArray& bytes)
{
    out_.write(bytes);
}

void Console::OutLine(const QString& text)
{
    out_.write(text.toUtf8() + '\n');
}

void Console::ErrLine(const QString& text)
{
    ClearBar();
    err_.write(text.toUtf8() + '\n');
    if (barShown_) {
        // Draw the bar again below the message.
        const int position = lastPosition_;
        lastPosition_ = -1;
        Progress(position);
    }
}

void Console::Progress(int position)
{
    if (!errIsTerminal_)
        return;
    position = std::clamp(position, 0, 100);
    if (barShown_ && position == lastPosition_)
        return;
    const int filled = position * BarWidth / 100;
    QByteArray line = "\r[";
    line += QByteArray(filled, '#');
    line += QByteArray(BarWidth - filled, '-');
    line += "] " + QByteArray::number(position) + "%\x1b[K";
    err_.write(line);
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
        err_.write("\r\x1b[K");
}
