// Win32 error codes in the operator's words: never the system's own text,
// which on a Russian desktop under wine or an English Windows is English.
#include "WindowsErrors.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(WindowsErrors, CodesMetOnFilesAndPorts_InRussian_OthersByNumber)
{
    const struct
    {
        unsigned long code;
        QString text;
    } cases[] = {
        {2, QStringLiteral("нет такого файла или папки")},
        {5, QStringLiteral("нет прав доступа")},
        {32, QStringLiteral("файл занят другой программой")},
        // What writing to CON, PRN and a name with "<" met.
        {6, QStringLiteral("устройство или файл не принимает эту операцию (недопустимый "
                           "дескриптор)")},
        {66, QStringLiteral("это устройство, а не файл или последовательный порт")},
        {123, QStringLiteral("недопустимое имя файла или устройства")},
        {4242, QStringLiteral("системная ошибка 4242")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WindowsErrorText(c.code), c.text) << c.code;

    // No code, known or not, comes out with Latin words.
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    for (unsigned long code = 0; code < 16000; ++code) {
        const QString text = WindowsErrorText(code);
        EXPECT_FALSE(text.isEmpty() || text.contains(latin)) << code << ' ' << text.toStdString();
    }
}
