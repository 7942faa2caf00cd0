// The window's configuration sheet: "Сохранить как PDF…" through a save
// dialog and "Печать…" through the print dialog. The sheet's state line says
// what the table is to the device, from the session's record of the device.
#pragma once

#include "ConfigSheet.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class ConfigModel;
class DeviceSession;
struct DeviceRecord;
class ParamImage;
class QAction;
class QMenu;
class QPrinter;
class QWidget;

class PrintCommands : public QObject
{
    Q_OBJECT
public:
    // Adds the two items to `fileMenu` before `before`; `fileName` tells the
    // configuration file the window shows (empty when none). Owned by `window`.
    static PrintCommands* Attach(QWidget& window, QMenu& fileMenu, QAction* before,
                                 const ConfigModel& model, const DeviceSession& session,
                                 std::function<QString()> fileName);

    QAction* SavePdfItem = nullptr; // N14
    QAction* PrintItem = nullptr;   // N15

    // The sheet's facts now.
    SheetFacts Facts() const;
    // The state line for a table encoded as `table` against what `record` knows
    // of the device, told at `now`: read or written and verified on its port at
    // its time (and whether the table differs since), else not known.
    static QString StateLine(const DeviceRecord& record, const ParamImage& table,
                             const QDateTime& now);
    // Writes the sheet to `chosen` as the item does after its dialog; false
    // (reported in a box) when the file cannot be written.
    bool SavePdf(const QString& chosen);
    // Paints the sheet on a printer the operator has set up.
    void PrintOn(QPrinter& printer) const;

    void SavePdfClick();
    void PrintClick();

private:
    PrintCommands(QWidget& window, const ConfigModel& model, const DeviceSession& session,
                  std::function<QString()> fileName);

    QWidget& window_;
    const ConfigModel& model_;
    const DeviceSession& session_;
    std::function<QString()> fileName_;
};
