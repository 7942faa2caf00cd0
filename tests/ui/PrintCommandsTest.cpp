// The window's configuration sheet: "Сохранить как PDF…" through its dialog
// names the file the window shows, "Печать…" prints nothing when its dialog is
// cancelled and the sheet onto the printer when accepted.
#include "GuiSupport.h"

#include "DeviceRecord.h"
#include "PdfTools.h"
#include "PrintCommands.h"
#include "TestFiles.h"
#include "UiTexts.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>

using PrintCommandsTest = WindowTest;

TEST_F(PrintCommandsTest, SavePdf_ThroughItsDialog_WritesTheSheetOfTheOpenedFile)
{
    WriteBytes(Path("site.lmk"), "C804" + QByteArray(136, '0') + "\r\n");
    CreateWindow();
    form->OpenFile(Path("site.lmk"));
    auto* commands = form->findChild<PrintCommands*>();
    ASSERT_NE(commands, nullptr);

    QString filter, suggested;
    ModalWatcher watcher([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        filter = dialog->nameFilters().join(QLatin1Char(';'));
        suggested = dialog->findChild<QLineEdit*>()->text();
        dialog->selectFile(Path("sheet")); // the dialog adds ".pdf"
        QMetaObject::invokeMethod(dialog, "accept"); // as its own button does
    });
    commands->SavePdfItem->trigger();
    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(filter, UiTexts::PdfFilter);
    EXPECT_EQ(suggested, QStringLiteral("site.pdf"));

    ASSERT_EQ(PdfPages(Path("sheet.pdf")), 1);
    const QString text = PdfText(Path("sheet.pdf")).simplified();
    for (const char* expected : {"Файл: site.lmk", "Порт: —",
                                 "Состояние относительно устройства: не известно",
                                 "1 Сообщ.4 30 сек."})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
}

TEST_F(PrintCommandsTest, Print_CancelledPrintsNothing_AcceptedPaintsTheSheetOnThePrinter)
{
    CreateWindow();
    auto* commands = form->findChild<PrintCommands*>();
    ASSERT_NE(commands, nullptr);
    bool wasPrintDialog = false;
    ModalWatcher watcher([&](QWidget* w) {
        wasPrintDialog = qobject_cast<QPrintDialog*>(w) != nullptr;
        static_cast<QDialog*>(w)->reject();
    });
    commands->PrintItem->trigger();
    ASSERT_TRUE(watcher.Seen());
    EXPECT_TRUE(wasPrintDialog);

    // What an accepted dialog leads to, on a printer that prints to a file.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(Path("printed.pdf"));
    commands->PrintOn(printer);
    EXPECT_EQ(PdfPages(Path("printed.pdf")), 1);
    EXPECT_TRUE(PdfText(Path("printed.pdf")).simplified().contains(QStringLiteral("Проверил:")));
}

TEST(SheetState, FromTheSessionsRecord_WhatAndWhen_AndWhetherTheTableDiffersSince)
{
    const QDateTime now(QDate(2026, 12, 10), QTime(10, 0));
    ParamImage table;
    table.setByte(0, 0xC8);
    ParamImage other = table;
    other.setByte(5, 0x88);
    auto holds = [&](DeviceRecord::Source source, const QDateTime& at, const ParamImage& image) {
        DeviceRecord record;
        record.port = QStringLiteral("COM3");
        record.content = DeviceRecord::Content::Holds;
        record.source = source;
        record.at = at;
        record.image = image;
        return record;
    };
    const QDateTime morning(now.date(), QTime(9, 15));
    const QDateTime yesterday(now.date().addDays(-1), QTime(17, 40));
    DeviceRecord partly;
    partly.port = QStringLiteral("COM3");
    partly.content = DeviceRecord::Content::PartlyWritten;
    partly.confirmedBlocks = 2;
    const struct
    {
        DeviceRecord record;
        const char* expected;
    } cases[] = {
        {DeviceRecord(), "не известно"},
        {holds(DeviceRecord::Source::Read, morning, table), "прочитано с COM3 в 09:15"},
        {holds(DeviceRecord::Source::WrittenAndVerified, yesterday, table),
         "записано на COM3 и проверено в 09.12.2026 17:40"},
        {holds(DeviceRecord::Source::Read, morning, other),
         "отличается от устройства (прочитано с COM3 в 09:15)"},
        {partly, "не известно"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrintCommands::StateLine(c.record, table, now), QString::fromUtf8(c.expected));
}
