// The sheet's two menu items and the facts the window knows.
#include "PrintCommands.h"

#include "Application.h"
#include "ConfigFiles.h"
#include "ConfigModel.h"
#include "DeviceSession.h"
#include "FileDialogs.h"
#include "FileTexts.h"
#include "SheetTexts.h"
#include "UiTexts.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>

PrintCommands* PrintCommands::Attach(QWidget& window, QMenu& fileMenu, QAction* before,
                                     const ConfigModel& model, const DeviceSession& session,
                                     std::function<QString()> fileName)
{
    auto* commands = new PrintCommands(window, model, session, std::move(fileName));
    auto item = [&](const QString& text, const char* name, void (PrintCommands::*slot)()) {
        auto* action = new QAction(text, &fileMenu);
        action->setObjectName(QLatin1String(name));
        fileMenu.insertAction(before, action);
        connect(action, &QAction::triggered, commands, slot);
        return action;
    };
    commands->SavePdfItem = item(UiTexts::SavePdfItem, "N14", &PrintCommands::SavePdfClick);
    commands->PrintItem = item(UiTexts::PrintItem, "N15", &PrintCommands::PrintClick);
    return commands;
}

PrintCommands::PrintCommands(QWidget& window, const ConfigModel& model,
                             const DeviceSession& session, std::function<QString()> fileName)
    : QObject(&window), window_(window), model_(model), session_(session),
      fileName_(std::move(fileName))
{
    setObjectName(QStringLiteral("PrintCommands"));
}

QString PrintCommands::StateLine(const DeviceRecord& record, const ParamImage& table,
                                 const QDateTime& now)
{
    if (!record.known() || record.port.isEmpty() || !record.at.isValid())
        return SheetTexts::StateUnknown;
    const QString when = SheetTexts::StateTime(record.at, now);
    const QString seen = record.source == DeviceRecord::Source::WrittenAndVerified
                             ? SheetTexts::StateWritten.arg(record.port, when)
                             : SheetTexts::StateRead.arg(record.port, when);
    return record.SameAs(table) ? seen : SheetTexts::StateDiffers.arg(seen);
}

SheetFacts PrintCommands::Facts() const
{
    SheetFacts facts;
    facts.time = QDateTime::currentDateTime();
    facts.file = fileName_();
    const DeviceRecord& record = session_.record();
    facts.port = record.port;
    // What a write would send now against what the device holds.
    facts.state = StateLine(record, model_.EncodedImage(), facts.time);
    return facts;
}

bool PrintCommands::SavePdf(const QString& chosen)
{
    QString reason;
    if (ReplaceFileContent(QFile::encodeName(chosen), ConfigSheetPdf(model_, Facts()), &reason))
        return true;
    FileMessageBoxes().ShowFileError(FileTexts::WriteError + QStringLiteral("\n") +
                                     QDir::toNativeSeparators(chosen) + QStringLiteral(": ") +
                                     reason);
    return false;
}

void PrintCommands::PrintOn(QPrinter& printer) const
{
    PaintConfigSheet(printer, model_, Facts());
}

void PrintCommands::SavePdfClick()
{
    // Named after the configuration file when there is one.
    const QString base = QFileInfo(fileName_()).completeBaseName();
    const QString name = base.isEmpty() ? UiTexts::PdfDefaultName : base + QStringLiteral(".pdf");
    QFileDialog dialog(&window_, QString(UiTexts::SavePdfItem).remove(QChar(0x2026)),
                       QDir(RememberedFileFolder()).filePath(name),
                       UiTexts::PdfFilter);
    dialog.setObjectName(QStringLiteral("SavePdfDialog"));
    UsePlatformFileDialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    SavePdf(dialog.selectedFiles().constFirst());
}

void PrintCommands::PrintClick()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(ConfigSheetLayout());
    printer.setDocName(SheetTexts::Title);
    QPrintDialog dialog(&printer, &window_);
    dialog.setObjectName(QStringLiteral("PrintDialog1"));
    if (dialog.exec() == QDialog::Accepted)
        PrintOn(printer);
}
