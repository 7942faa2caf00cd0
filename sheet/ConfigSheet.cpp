// The sheet's layout, in tenths of a millimetre inside the 15 mm margins of an
// A4 page, scaled onto whatever the paint device measures.
#include "ConfigSheet.h"

#include "AddressTable.h"
#include "ConfigModel.h"
#include "ConfigReport.h"
#include "CoreTexts.h"
#include "ParamImage.h"
#include "SheetTexts.h"

#include <QBuffer>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>

namespace {

constexpr double MarginMm = 15;
constexpr double Width = 1800;  // 210 mm less the margins
constexpr double Height = 2670; // 297 mm less the margins

// Rows of the facts block.
constexpr double FactsTop = 140;
constexpr double FactRow = 58;
constexpr double LabelWidth = 720;

// The four address tables, side by side as the window's grids.
constexpr double TablesTop = 540;
constexpr double TableGap = 30;
constexpr double TableWidth = (Width - 3 * TableGap) / AddressTable::Pages;
constexpr double HeaderRow = 62;
constexpr double DataRow = 66;
constexpr double ColumnWidths[AddressTable::Columns] = {105, 170, TableWidth - 105 - 170};

// From the bottom up: footer, two signature rows, the file line.
constexpr double SignaturesTop = Height - 360;
constexpr double SignatureRow = 150;
constexpr double FileLineTop = SignaturesTop - 190;

const QColor Ink(0, 0, 0);
const QColor Muted(85, 85, 85);
const QColor Rule(120, 120, 120);
const QColor Face(232, 232, 232); // the grids' fixed cells

QFont SheetFont(int height, bool bold = false)
{
    // DejaVu Sans comes with Debian's fonts-dejavu-core; Arial with Windows.
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Segoe UI"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(height);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont MonoFont(int height)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Consolas"),
                      QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(height);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// The bytes the sheet reports: the model's image while the table is its
// decoding (a file or a device as read, bits the table does not show
// included), else what a save or a write would make of the edited table.
ParamImage ReportedImage(const ConfigModel& model)
{
    ConfigModel decoded;
    // A decode that finds no used address keeps the mode and the options.
    decoded.setOperatingMode(model.OperatingMode());
    decoded.setOptions(model.options());
    decoded.ImageToTable(model.image());
    if (ConfigDifferences(decoded, model).isEmpty())
        return model.image();
    return model.EncodedImage();
}

class SheetPainter
{
public:
    SheetPainter(QPainter& painter, const ConfigModel& model, const SheetFacts& facts)
        : p_(painter), model_(model), facts_(facts), image_(ReportedImage(model))
    {
    }

    void paint()
    {
        heading();
        factsBlock();
        for (int page = 1; page <= AddressTable::Pages; ++page)
            table(page, (page - 1) * (TableWidth + TableGap));
        unshownBits();
        fileLine();
        signature(SheetTexts::Configured, SignaturesTop);
        signature(SheetTexts::Checked, SignaturesTop + SignatureRow);
        footer();
    }

private:
    void text(const QRectF& rect, int flags, const QString& s, const QFont& font,
              const QColor& colour = Ink)
    {
        p_.setFont(font);
        p_.setPen(colour);
        p_.drawText(rect, flags, s);
    }

    void line(double x1, double y1, double x2, double y2, double width, const QColor& colour)
    {
        p_.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap));
        p_.drawLine(QPointF(x1, y1), QPointF(x2, y2));
    }

    void heading()
    {
        const QRectF band(0, 0, Width, 90);
        text(band, Qt::AlignLeft | Qt::AlignVCenter, SheetTexts::Title, SheetFont(60, true));
        text(band, Qt::AlignRight | Qt::AlignVCenter,
             facts_.time.toString(SheetTexts::DateTimeFormat), SheetFont(40));
        line(0, 105, Width, 105, 6, Ink);
    }

    void fact(int row, const QString& label, const QString& value, bool bold = false)
    {
        const double y = FactsTop + row * FactRow;
        text(QRectF(0, y, LabelWidth, FactRow), Qt::AlignLeft | Qt::AlignVCenter,
             label + QLatin1Char(':'), SheetFont(34), Muted);
        // A long path keeps its start and its file name.
        const QFont font = SheetFont(36, bold);
        const QString shown = QFontMetricsF(font).elidedText(
            value.isEmpty() ? SheetTexts::NotGiven : value, Qt::ElideMiddle, Width - LabelWidth);
        text(QRectF(LabelWidth, y, Width - LabelWidth, FactRow),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown, font);
    }

    // A check box or a radio button as the window draws it, with its caption;
    // returns where the next one may start.
    double choice(double x, double y, bool round, bool checked, const QString& caption)
    {
        const double box = 30;
        const QRectF mark(x, y + (FactRow - box) / 2, box, box);
        p_.setPen(QPen(Ink, 4));
        p_.setBrush(Qt::NoBrush);
        if (round) {
            p_.drawEllipse(mark);
            if (checked) {
                p_.setBrush(Ink);
                p_.drawEllipse(mark.center(), 8, 8);
                p_.setBrush(Qt::NoBrush);
            }
        } else {
            p_.drawRect(mark);
            if (checked) {
                QPainterPath tick;
                tick.moveTo(mark.left() + 6, mark.center().y());
                tick.lineTo(mark.left() + 13, mark.bottom() - 6);
                tick.lineTo(mark.right() - 5, mark.top() + 5);
                p_.setPen(QPen(Ink, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p_.drawPath(tick);
            }
        }
        const QFont font = SheetFont(36);
        const QRectF area(x + box + 14, y, Width - x, FactRow);
        text(area, Qt::AlignLeft | Qt::AlignVCenter, caption, font);
        return area.left() + QFontMetricsF(font).horizontalAdvance(caption) + 60;
    }

    void factsBlock()
    {
        fact(0, SheetTexts::FileLabel, facts_.file);
        fact(1, SheetTexts::PortLabel, facts_.port);
        fact(2, SheetTexts::StateLabel, facts_.state, true);
        const bool other = model_.OperatingMode() == OtherDevicesMode;
        fact(3, SheetTexts::ModeLabel,
             other ? CoreTexts::OtherDevicesModeName : CoreTexts::SpeechModeName, true);
        const double y = FactsTop + 4 * FactRow;
        text(QRectF(0, y, LabelWidth, FactRow), Qt::AlignLeft | Qt::AlignVCenter,
             SheetTexts::OptionsLabel + QLatin1Char(':'), SheetFont(34), Muted);
        if (!other) {
            QFont font = SheetFont(34);
            font.setItalic(true);
            text(QRectF(LabelWidth, y, Width - LabelWidth, FactRow),
                 Qt::AlignLeft | Qt::AlignVCenter, SheetTexts::OptionsNotUsed, font, Muted);
            return;
        }
        const CommonOptions& o = model_.options();
        choice(LabelWidth, y, false, o.checkFaultInput, ReportTexts::FaultInputCaption);
        const double x = choice(LabelWidth, y + FactRow, true, o.controlUpa,
                                ReportTexts::UpaControlCaption);
        choice(x, y + FactRow, true, !o.controlUpa, ReportTexts::AlertControlCaption);
    }

    void table(int page, double left)
    {
        const double top = TablesTop;
        const double height = HeaderRow + AddressTable::RowsPerPage * DataRow;
        // The fixed cells: the header row and the address column.
        p_.setPen(Qt::NoPen);
        p_.setBrush(Face);
        p_.drawRect(QRectF(left, top, TableWidth, HeaderRow));
        p_.drawRect(QRectF(left, top + HeaderRow, ColumnWidths[0], height - HeaderRow));
        p_.setBrush(Qt::NoBrush);

        for (int row = 0; row < AddressTable::Rows; ++row) {
            const double y = row == 0 ? top : top + HeaderRow + (row - 1) * DataRow;
            const double h = row == 0 ? HeaderRow : DataRow;
            double x = left;
            for (int column = 0; column < AddressTable::Columns; ++column) {
                const QString& cell = model_.cell(page, row, column);
                const bool unused = row > 0 && column == AddressTable::ModeColumn &&
                                    cell == CoreTexts::ModeUnused;
                text(QRectF(x, y, ColumnWidths[column], h), Qt::AlignCenter, cell,
                     SheetFont(row == 0 ? 27 : 31, row == 0), unused ? Muted : Ink);
                x += ColumnWidths[column];
            }
            if (row > 0)
                line(left, y, left + TableWidth, y, row == 1 ? 5 : 2.5, row == 1 ? Ink : Rule);
        }
        double x = left;
        for (int column = 0; column + 1 < AddressTable::Columns; ++column) {
            x += ColumnWidths[column];
            line(x, top, x, top + height, 2.5, Rule);
        }
        p_.setPen(QPen(Ink, 5));
        p_.drawRect(QRectF(left, top, TableWidth, height));
    }

    void unshownBits()
    {
        const double top = TablesTop + HeaderRow + AddressTable::RowsPerPage * DataRow + 50;
        QStringList entries = UnshownBitsText(image_);
        const QString label = entries.isEmpty() ? ReportTexts::UnshownHeader
                                                : entries.takeFirst();
        const QFont labelFont = SheetFont(34, true);
        text(QRectF(0, top, Width, FactRow), Qt::AlignLeft | Qt::AlignVCenter, label, labelFont);
        if (entries.isEmpty()) {
            const double x = QFontMetricsF(labelFont).horizontalAdvance(label + QLatin1Char(' '));
            text(QRectF(x, top, Width - x, FactRow), Qt::AlignLeft | Qt::AlignVCenter,
                 SheetTexts::UnshownNone, SheetFont(34));
            return;
        }
        for (QString& entry : entries)
            entry = entry.trimmed();
        const QString body = entries.join(QStringLiteral("; ")) + QLatin1Char('.');
        // Every byte must be on the page: the text gets smaller before it is cut.
        const QRectF area(0, top + FactRow + 6, Width, FileLineTop - 30 - (top + FactRow + 6));
        int size = 32;
        while (size > 16 &&
               QFontMetricsF(SheetFont(size)).boundingRect(area, Qt::TextWordWrap, body).height() >
                   area.height())
            size -= 2;
        text(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, body, SheetFont(size));
    }

    void fileLine()
    {
        const QByteArray digits = image_.toText();
        text(QRectF(0, FileLineTop, Width, 50), Qt::AlignLeft | Qt::AlignVCenter,
             SheetTexts::FileText, SheetFont(30), Muted);
        const qsizetype half = digits.size() / 2;
        for (int part = 0; part < 2; ++part) {
            text(QRectF(0, FileLineTop + 52 + part * 44, Width, 44),
                 Qt::AlignLeft | Qt::AlignVCenter,
                 QString::fromLatin1(digits.mid(part * half, half)), MonoFont(32));
        }
    }

    void signature(const QString& role, double top)
    {
        const double lineY = top + 80;
        text(QRectF(0, top, 300, 80), Qt::AlignLeft | Qt::AlignBottom, role + QLatin1Char(':'),
             SheetFont(36, true));
        const struct
        {
            double from, to;
            const QString& caption;
        } fields[] = {
            {320, 920, SheetTexts::NameCaption},
            {980, 1330, SheetTexts::SignatureCaption},
            {1390, Width, SheetTexts::DateCaption},
        };
        for (const auto& field : fields) {
            line(field.from, lineY, field.to, lineY, 3, Ink);
            text(QRectF(field.from, lineY + 6, field.to - field.from, 36), Qt::AlignHCenter | Qt::AlignTop,
                 field.caption, SheetFont(24), Muted);
        }
    }

    void footer()
    {
        line(0, Height - 46, Width, Height - 46, 2, Rule);
        text(QRectF(0, Height - 40, Width, 40), Qt::AlignLeft | Qt::AlignVCenter,
             SheetTexts::Footer, SheetFont(24), Muted);
    }

    QPainter& p_;
    const ConfigModel& model_;
    const SheetFacts& facts_;
    ParamImage image_;
};

} // namespace

QPageLayout ConfigSheetLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
}

void PaintConfigSheet(QPagedPaintDevice& device, const ConfigModel& model,
                      const SheetFacts& facts)
{
    QPainter painter(&device);
    painter.setRenderHint(QPainter::Antialiasing);
    // The painter starts at the printable area's corner; a smaller area (a
    // printer's wide margins, another paper) scales the sheet down, centred.
    const double scale = std::min(device.width() / Width, device.height() / Height);
    painter.translate((device.width() - Width * scale) / 2, 0);
    painter.scale(scale, scale);
    SheetPainter(painter, model, facts).paint();
}

QByteArray ConfigSheetPdf(const ConfigModel& model, const SheetFacts& facts)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(ConfigSheetLayout());
        writer.setTitle(SheetTexts::Title);
        writer.setCreator(SheetTexts::Footer);
        PaintConfigSheet(writer, model, facts);
    }
    return buffer.data();
}
