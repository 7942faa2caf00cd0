// The address pages' string grid: painting, current cell and click events.
#include "StringGrid.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>

#include <algorithm>

TStringGrid::TStringGrid(int colCount, int rowCount, QWidget* parent)
    : QFrame(parent), colCount_(colCount), rowCount_(rowCount), cells_(colCount * rowCount)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TStringGrid::SetDefaultColWidth(int width)
{
    if (width == colWidth_)
        return;
    colWidth_ = width;
    update();
}

void TStringGrid::SetDefaultRowHeight(int height)
{
    if (height == rowHeight_)
        return;
    rowHeight_ = height;
    update();
}

const QString& TStringGrid::Cells(int col, int row) const
{
    return cells_.at(index(col, row));
}

void TStringGrid::SetCells(int col, int row, const QString& text)
{
    if (!validCell(col, row) || cells_[index(col, row)] == text)
        return;
    cells_[index(col, row)] = text;
    update(CellRect(col, row).translated(ClientOrigin()));
}

void TStringGrid::SetCurrent(int col, int row)
{
    if (!validCell(col, row) || col < FixedCols || (col == col_ && row == row_))
        return;
    col_ = col;
    row_ = row;
    update();
}

QRect TStringGrid::CellRect(int col, int row) const
{
    return QRect(col * (colWidth_ + GridLineWidth), row * (rowHeight_ + GridLineWidth), colWidth_,
                 rowHeight_);
}

bool TStringGrid::MouseToCell(const QPoint& client, int& col, int& row) const
{
    if (client.x() < 0 || client.y() < 0)
        return false;
    col = client.x() / (colWidth_ + GridLineWidth);
    row = client.y() / (rowHeight_ + GridLineWidth);
    return validCell(col, row);
}

bool TStringGrid::dataCellAt(const QPoint& widgetPos, int& col, int& row) const
{
    if (!contentsRect().contains(widgetPos))
        return false;
    return MouseToCell(widgetPos - ClientOrigin(), col, row) && col >= FixedCols;
}

int TStringGrid::visibleRowCount() const
{
    return std::max(1, (contentsRect().height() + GridLineWidth) / (rowHeight_ + GridLineWidth));
}

void TStringGrid::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event); // the sunken border
    QPainter p(this);
    const QRect client = contentsRect();
    p.setClipRect(client);
    p.translate(client.topLeft());
    p.fillRect(QRect(QPoint(0, 0), client.size()), Qt::white);

    // Black lines around the fixed cells on a light button face; on a dark one,
    // a grey halfway to the white data cells, which shows against both.
    const QColor face = palette().color(QPalette::Button);
    const QColor fixedLine =
        face.lightness() >= 128
            ? QColor(Qt::black)
            : QColor((face.red() + 255) / 2, (face.green() + 255) / 2, (face.blue() + 255) / 2);
    const QColor dataLine(0xC0, 0xC0, 0xC0);
    const QRect dirty = event->rect().translated(-client.topLeft());
    for (int row = 0; row < rowCount_; ++row) {
        for (int col = 0; col < colCount_; ++col) {
            const QRect rect = CellRect(col, row);
            // A cell owns the lines to its right and below it: repaint it when
            // only they are exposed (a popup hidden over the line above a cell).
            if (!rect.adjusted(0, 0, GridLineWidth, GridLineWidth).intersects(dirty))
                continue;
            // Grid lines to the right of and below the cell.
            const QColor line = col < FixedCols ? fixedLine : dataLine;
            p.fillRect(rect.right() + 1, rect.top(), GridLineWidth, rect.height() + GridLineWidth,
                       line);
            p.fillRect(rect.left(), rect.bottom() + 1, rect.width() + GridLineWidth, GridLineWidth,
                       line);

            p.save();
            emit DrawCell(&p, col, row, rect);
            p.restore();

            if (col < FixedCols) {
                // Raised edge: light top and left, dark bottom and right.
                p.setPen(palette().color(QPalette::Light));
                p.drawLine(rect.topLeft(), rect.topRight() - QPoint(1, 0));
                p.drawLine(rect.topLeft(), rect.bottomLeft() - QPoint(0, 1));
                p.setPen(palette().color(QPalette::Dark));
                p.drawLine(rect.bottomLeft(), rect.bottomRight());
                p.drawLine(rect.topRight(), rect.bottomRight());
            }
            if (hasFocus() && col == col_ && row == row_) {
                QPen dotted(Qt::black, 1, Qt::CustomDashLine);
                dotted.setDashPattern({1, 1});
                p.setPen(dotted);
                p.setBrush(Qt::NoBrush);
                p.drawRect(rect.adjusted(0, 0, -1, -1));
            }
        }
    }
}

void TStringGrid::mousePressEvent(QMouseEvent* event)
{
    // The focus has already moved here (click focus).
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const QStyleHints* hints = QGuiApplication::styleHints();
    const bool secondPress =
        lastPressValid_ &&
        event->timestamp() - lastPressTime_ < quint64(hints->mouseDoubleClickInterval()) &&
        (pos - lastPressPos_).manhattanLength() <= hints->mouseDoubleClickDistance();
    // The second press of a double click leaves the current cell alone.
    lastPressValid_ = !secondPress;
    lastPressTime_ = event->timestamp();
    lastPressPos_ = pos;
    if (secondPress)
        return;
    int col, row;
    if (!dataCellAt(pos, col, row))
        return;
    SetCurrent(col, row);
    selecting_ = true;
}

void TStringGrid::mouseMoveEvent(QMouseEvent* event)
{
    int col, row;
    if (selecting_ && dataCellAt(event->position().toPoint(), col, row))
        SetCurrent(col, row);
}

void TStringGrid::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !selecting_)
        return;
    mouseMoveEvent(event);
    selecting_ = false;
    emit Click();
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press: no selection, and its release raises nothing.
    selecting_ = false;
    if (event->button() == Qt::LeftButton)
        emit DblClick();
}

void TStringGrid::keyPressEvent(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    int col = col_;
    int row = row_;
    switch (event->key()) {
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    case Qt::Key_Left:
        --col;
        break;
    case Qt::Key_Right:
        ++col;
        break;
    case Qt::Key_PageUp:
        row -= visibleRowCount();
        break;
    case Qt::Key_PageDown:
        row += visibleRowCount();
        break;
    case Qt::Key_Home:
        col = FixedCols;
        if (ctrl)
            row = 0;
        break;
    case Qt::Key_End:
        col = colCount_ - 1;
        if (ctrl)
            row = rowCount_ - 1;
        break;
    default:
        QFrame::keyPressEvent(event);
        return;
    }
    if (ctrl && event->key() != Qt::Key_Home && event->key() != Qt::Key_End)
        return; // Ctrl with arrows or pages moves nothing
    col = std::clamp(col, int(FixedCols), colCount_ - 1);
    row = std::clamp(row, 0, rowCount_ - 1);
    if (col == col_ && row == row_)
        return;
    SetCurrent(col, row);
    emit Click();
}

void TStringGrid::focusInEvent(QFocusEvent* event)
{
    QFrame::focusInEvent(event);
    update();
}

void TStringGrid::focusOutEvent(QFocusEvent* event)
{
    QFrame::focusOutEvent(event);
    selecting_ = false;
    update();
}
