// The sheet's two menu items and the facts the window knows.
#include "PrintCommands.h"

#include "Application.h"
#include "ConfigFiles.h"
#include "ConfigModel.h"
#include "FileTexts.h"
#include "SheetTexts.h"
#include "TransferEngine.h"
#include "UiTexts.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>

#include <cstring>

PrintCommands* PrintCommands::Attach(QWidget& window, QMenu& fileMenu, QAction* before,
                                     const ConfigModel& model, const TransferEngine& engine,
                                     std::function<QString()> fileName)
{
    auto* commands = new PrintCommands(window, model, engine, std::move(fileName));
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
                             const TransferEngine& engine, std::function<QString()> fileName)
    : QObject(&window), window_(window), model_(model), engine_(engine),
      fileName_(std::move(fileName))
{
    setObjectName(QStringLiteral("PrintCommands"));
    connect(&engine, &TransferEngine::tableRead, this, [this] { deviceKnown(false); });
    connect(&engine, &TransferEngine::deviceRead, this, [this](bool completed) {
        if (completed)
            deviceKnown(false);
    });
    connect(&engine, &TransferEngine::writeChecked, this, [this](const WriteCheck& check) {
        if (check.confirmed)
            deviceKnown(check.matches());
    });
}

void PrintCommands::deviceKnown(bool written)
{
    if (!engine_.DeviceImageKnown())
        return;
    seenAt_ = QDateTime::currentDateTime();
    seenPort_ = engine_.LinkPort();
    seenWritten_ = written;
}

SheetFacts PrintCommands::Facts() const
{
    SheetFacts facts;
    facts.time = QDateTime::currentDateTime();
    facts.file = fileName_();
    facts.port = engine_.PortReady() ? engine_.LinkPort() : QString();
    // The engine forgets the device when another port is selected or a write starts.
    if (!engine_.DeviceImageKnown() || !seenAt_.isValid()) {
        facts.state = SheetTexts::StateUnknown;
        return facts;
    }
    if (facts.port.isEmpty())
        facts.port = seenPort_;
    const QString when = SheetTexts::StateTime(seenAt_, facts.time);
    const QString seen = seenWritten_ ? SheetTexts::StateWritten.arg(seenPort_, when)
                                      : SheetTexts::StateRead.arg(seenPort_, when);
    // What a write would send now against what the device holds.
    ParamImage table = model_.image();
    model_.TableToImage(table);
    const bool same = std::memcmp(table.bytes().data(), engine_.DeviceImage().bytes().data(),
                                  ParamImage::StoredSize) == 0;
    facts.state = same ? seen : SheetTexts::StateDiffers.arg(seen);
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
    QFileDialog dialog(&window_, QString(), QDir(RememberedFileFolder()).filePath(name),
                       UiTexts::PdfFilter);
    dialog.setObjectName(QStringLiteral("SavePdfDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
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
