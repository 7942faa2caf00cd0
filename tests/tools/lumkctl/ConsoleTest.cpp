// The progress on the error stream in each style: the bar redrawn in place and
// cleared around messages (the terminal's bytes), plain lines per tenth for a
// console without terminal sequences, nothing off a terminal.
#include "Console.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {
// The bar's text with `filled` of its 30 cells filled.
QByteArray Bar(int filled, const char* percent)
{
    return '[' + QByteArray(filled, '#') + QByteArray(30 - filled, '-') + "] " + percent;
}
} // namespace

TEST(Console, ProgressAroundMessages_InEachStyle)
{
    const QByteArray clear = "\r\x1b[K";
    const struct
    {
        ProgressStyle style;
        QByteArray err;
    } cases[] = {
        {ProgressStyle::Bar,
         '\r' + Bar(0, "0%\x1b[K") + '\r' + Bar(1, "4%\x1b[K") + '\r' + Bar(3, "12%\x1b[K") + clear +
             "Повтор\n" + '\r' + Bar(3, "12%\x1b[K") + '\r' + Bar(4, "15%\x1b[K") + '\r' +
             Bar(30, "100%\x1b[K") + clear + "Готово\n"},
        {ProgressStyle::Lines,
         Bar(0, "0%\n") + Bar(3, "12%\n") + "Повтор\n" + Bar(30, "100%\n") + "Готово\n"},
        {ProgressStyle::Hidden, "Повтор\nГотово\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.style));
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        Console console(out, err, c.style);
        for (int position : {0, 0, 4, 12})
            console.Progress(position);
        console.ErrLine(QStringLiteral("Повтор"));
        for (int position : {15, 100})
            console.Progress(position);
        console.EndProgress();
        console.ErrLine(QStringLiteral("Готово"));
        EXPECT_EQ(err.data(), c.err);
        EXPECT_TRUE(out.data().isEmpty());
    }
}
