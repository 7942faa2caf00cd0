// The sheet as a reader of the PDF sees it: one A4 page, embedded fonts, and
// the texts of the heading, the facts, the four tables, the hidden bits, the
// file line and the signatures, in both operating modes; the bytes reported are
// the model's until the table is edited, then the encoder's.
#include "ConfigSheet.h"

#include "ConfigModel.h"
#include "PdfTools.h"
#include "TestFiles.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The model as the window has it after start-up and a decode of `image`.
void Decode(ConfigModel& model, const ParamImage& image)
{
    model.LabelPages();
    model.image() = image;
    model.ImageToTable();
}

QString SheetPdf(const QTemporaryDir& dir, const ConfigModel& model, const SheetFacts& facts)
{
    const QString path = dir.filePath(QStringLiteral("sheet.pdf"));
    WriteBytes(path, ConfigSheetPdf(model, facts));
    return path;
}

// A row of the page's tables, as -layout keeps it on one line.
bool HasRow(const QString& text, int address, const QString& mode, const QString& delay)
{
    const QString pattern = QStringLiteral("(^|\\s)%1\\s+%2%3(\\s|$)")
                                .arg(address)
                                .arg(QRegularExpression::escape(mode),
                                     delay.isEmpty() ? QString()
                                                     : QStringLiteral("\\s+") +
                                                           QRegularExpression::escape(delay));
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text).hasMatch();
}

} // namespace

TEST(ConfigSheet, OtherDevices_OnePage_HeadingFactsOptionsTablesAndSignatures)
{
    ParamImage image;
    image.setByte(0, 0x80 | 0x10 | 0x04); // other devices, address 1 "Да" 60 s, RadioButton2
    image.setByte(1, 0x04);               // CheckBox1
    image.setByte(19, 0xB0);              // address 20 "Да" 360 s
    image.setByte(40, 0xA0);              // address 41 "Да" 120 s
    image.setByte(63, 0x80);              // address 64 "Да" 0 s
    ConfigModel model;
    Decode(model, image);
    const SheetFacts facts{QDateTime(QDate(2026, 1, 2), QTime(14, 7)), QStringLiteral("объект-3.lmk"),
                           QStringLiteral("COM3"), QStringLiteral("прочитано с COM3 в 14:05")};
    QTemporaryDir dir;
    const QString pdf = SheetPdf(dir, model, facts);

    EXPECT_EQ(PdfPages(pdf), 1);
    EXPECT_TRUE(PopplerOutput(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("(A4)")));
    // Every font the page uses travels with it (embedded, with its Unicode map).
    const QStringList fonts = PdfFonts(pdf).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(fonts.isEmpty());
    for (const QString& font : fonts)
        EXPECT_TRUE(font.contains(QRegularExpression(QStringLiteral("\\syes\\s+(yes|no)\\s+yes\\s"))))
            << font.toStdString();

    const QString text = PdfText(pdf);
    for (const char* expected :
         {"Лист конфигурации ЛУМ-К", "02.01.2026 14:07", "объект-3.lmk", "COM3",
          "Состояние относительно устройства: прочитано с COM3 в 14:05",
          "Режим работы ЛУМ-К: Другие устройства", "проверять неисправность по входу КН",
          "Управление УПА", "Управление оповещением",
          "Биты, которых таблица не показывает: нет", "Настроил:", "Проверил:",
          "фамилия, инициалы", "подпись", "дата"})
        EXPECT_TRUE(text.simplified().contains(QString::fromUtf8(expected))) << expected;
    // One row of each table, and an unused one.
    EXPECT_TRUE(HasRow(text, 1, QStringLiteral("Да"), QStringLiteral("60 сек.")));
    EXPECT_TRUE(HasRow(text, 20, QStringLiteral("Да"), QStringLiteral("360 сек.")));
    EXPECT_TRUE(HasRow(text, 41, QStringLiteral("Да"), QStringLiteral("120 сек.")));
    EXPECT_TRUE(HasRow(text, 64, QStringLiteral("Да"), QStringLiteral("0 сек.")));
    EXPECT_TRUE(HasRow(text, 2, QStringLiteral("Нет"), QString()));
    EXPECT_TRUE(text.contains(QString::fromLatin1(image.toText().left(70))));
    EXPECT_TRUE(text.contains(QString::fromLatin1(image.toText().mid(70))));

    // An edited table: the line a save would write, not the image it was decoded from.
    model.setCell(1, 2, 1, QStringLiteral("Да"));
    model.setCell(1, 2, 2, QStringLiteral("0 сек."));
    ParamImage encoded = model.image();
    model.TableToImage(encoded);
    ASSERT_EQ(encoded.byte(1), 0x84);
    const QString edited = PdfText(SheetPdf(dir, model, facts));
    EXPECT_TRUE(edited.contains(QString::fromLatin1(encoded.toText().left(70))));
    EXPECT_TRUE(HasRow(edited, 2, QStringLiteral("Да"), QStringLiteral("0 сек.")));
}

TEST(ConfigSheet, Speech_NamesTheModeAndListsBitsTheTableDoesNotShow)
{
    ParamImage image;
    image.setByte(0, 0xC8 | 0x20); // speech, address 1 "Сообщ.4" 120 s
    image.setByte(1, 0x04);
    image.setByte(16, 0x88);       // address 17 "Сообщ.2" 30 s
    image.setByte(5, 0x93);        // address 6 "Сообщ.1" 60 s, and bits no cell shows
    image.setByte(64, 0x5A);       // a byte no cell shows
    ConfigModel model;
    Decode(model, image);
    const SheetFacts facts{QDateTime(QDate(2026, 3, 4), QTime(9, 15)), QString(), QString(),
                           QStringLiteral("не известно")};
    QTemporaryDir dir;
    const QString pdf = SheetPdf(dir, model, facts);

    EXPECT_EQ(PdfPages(pdf), 1);
    const QString text = PdfText(pdf);
    for (const char* expected :
         {"Режим работы ЛУМ-К: Речевое оповещение \"Тилан\"", "Файл: —", "Порт: —",
          "Состояние относительно устройства: не известно",
          "не задаются в режиме речевого оповещения", "Биты, которых таблица не показывает:",
          "байт 5 = 93, биты 03; байт 64 = 5A, биты 5A."})
        EXPECT_TRUE(text.simplified().contains(QString::fromUtf8(expected))) << expected;
    EXPECT_FALSE(text.contains(QStringLiteral("Управление УПА")));
    EXPECT_TRUE(HasRow(text, 1, QStringLiteral("Сообщ.4"), QStringLiteral("120 сек.")));
    EXPECT_TRUE(HasRow(text, 17, QStringLiteral("Сообщ.2"), QStringLiteral("30 сек.")));
    EXPECT_TRUE(HasRow(text, 33, QStringLiteral("Нет"), QString()));
    EXPECT_TRUE(HasRow(text, 49, QStringLiteral("Нет"), QString()));
}
