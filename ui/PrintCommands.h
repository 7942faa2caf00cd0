// The window's configuration sheet: "Сохранить как PDF…" through a save
// dialog and "Печать…" through the print dialog. The sheet's state line says
// what the table is to the device, from what the engine last read from it or
// verified on it.
#pragma once

#include "ConfigSheet.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class ConfigModel;
class QAction;
class QMenu;
class QPrinter;
class QWidget;
class TransferEngine;
struct WriteCheck;

class PrintCommands : public QObject
{
    Q_OBJECT
public:
    // Adds the two items to `fileMenu` before `before`; `fileName` tells the
    // configuration file the window shows (empty when none). Owned by `window`.
    static PrintCommands* Attach(QWidget& window, QMenu& fileMenu, QAction* before,
                                 const ConfigModel& model, const TransferEngine& engine,
                                 std::function<QString()> fileName);

    QAction* SavePdfItem = nullptr; // N14
    QAction* PrintItem = nullptr;   // N15

    // The sheet's facts now.
    SheetFacts Facts() const;
    // Writes the sheet to `chosen` as the item does after its dialog; false
    // (reported in a box) when the file cannot be written.
    bool SavePdf(const QString& chosen);
    // Paints the sheet on a printer the operator has set up.
    void PrintOn(QPrinter& printer) const;

    void SavePdfClick();
    void PrintClick();

private:
    PrintCommands(QWidget& window, const ConfigModel& model, const TransferEngine& engine,
                  std::function<QString()> fileName);
    void deviceKnown(bool written);

    QWidget& window_;
    const ConfigModel& model_;
    const TransferEngine& engine_;
    std::function<QString()> fileName_;
    // The engine's last complete look at the device: when, on which port, and
    // whether it was a write's read-back that matched.
    QDateTime seenAt_;
    QString seenPort_;
    bool seenWritten_ = false;
};
