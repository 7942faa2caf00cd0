// The window's configuration sheet: "Сохранить как PDF…" through its dialog
// names the file the window shows, "Печать…" prints nothing when its dialog is
// cancelled and the sheet onto the printer when accepted.
#include "GuiSupport.h"

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
