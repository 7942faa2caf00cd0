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

void Console::WriteOut(const QByteArray& bytes)
{
    if (!outFailure_.isEmpty())
        return;
    if (out_.write(bytes) != bytes.size()) {
        outFailure_ = out_.errorString();
        if (outFailure_.isEmpty())
            outFailure_ = QStringLiteral("?");
    }
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
    err_.write(line + '\n');
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
