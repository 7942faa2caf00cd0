// The configuration sheet for commissioning records: one A4 page with the
// heading, the facts of where the configuration came from, the operating mode
// and common options, the 64 addresses in the window's four tables, the bits
// the tables do not show, the file line, and lines for two signatures.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class ConfigModel;
class QPageLayout;
class QPagedPaintDevice;

// What the sheet says about its configuration besides the model.
struct SheetFacts
{
    QDateTime time; // when the sheet was made: the heading's date and time
    QString file;   // the configuration file, empty when none
    QString port;   // the port, empty when none
    QString state;  // the configuration against the device, one line
};

// The sheet's page: A4 portrait with 15 mm margins.
QPageLayout ConfigSheetLayout();

// Paints the sheet on the device's first page: a PDF writer, or a printer the
// operator chose. A printable area smaller than the sheet's own (a printer's
// wider margins, smaller paper) scales it down. Needs a QGuiApplication.
void PaintConfigSheet(QPagedPaintDevice& device, const ConfigModel& model,
                      const SheetFacts& facts);

// The sheet as a one-page PDF document with its fonts embedded.
QByteArray ConfigSheetPdf(const ConfigModel& model, const SheetFacts& facts);
