// A small string grid as the address pages need it: a fixed first column, rows
// of equal height, grid lines, no typing, and click events raised the way the
// grid click handler expects them (on release after a press on a data cell, on
// keyboard moves of the current cell, on the second press of a double click).
#pragma once

#include <QFrame>
#include <QString>
#include <QVector>

class TStringGrid : public QFrame
{
    Q_OBJECT
public:
    explicit TStringGrid(int colCount, int rowCount, QWidget* parent = nullptr);

    int ColCount() const { return colCount_; }
    int RowCount() const { return rowCount_; }
    static constexpr int FixedCols = 1;
    static constexpr int GridLineWidth = 1;

    int DefaultColWidth() const { return colWidth_; }
    void SetDefaultColWidth(int width);
    int DefaultRowHeight() const { return rowHeight_; }
    void SetDefaultRowHeight(int height);

    const QString& Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text);

    // The current cell. Column 0 is fixed and never current.
    int Col() const { return col_; }
    int Row() const { return row_; }
    // Moves the current cell from code; raises no event.
    void SetCurrent(int col, int row);

    // A cell's rectangle in the grid's client coordinates (inside the border).
    QRect CellRect(int col, int row) const;
    // The cell under a point in client coordinates; false outside every cell.
    bool MouseToCell(const QPoint& client, int& col, int& row) const;
    // Widget coordinates of the client area's origin.
    QPoint ClientOrigin() const { return contentsRect().topLeft(); }

signals:
    // The operator pressed and released on a data cell, or moved the current
    // cell with the keyboard.
    void Click();
    // The second press of a double click, anywhere on the grid.
    void DblClick();
    // Paints one cell; the painter's origin is the client origin. The grid then
    // adds the fixed column's raised edge and the focus rectangle.
    void DrawCell(QPainter* painter, int col, int row, const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int index(int col, int row) const { return row * colCount_ + col; }
    bool validCell(int col, int row) const
    {
        return col >= 0 && col < colCount_ && row >= 0 && row < rowCount_;
    }
    // Data cell (not in the fixed column) under a widget position.
    bool dataCellAt(const QPoint& widgetPos, int& col, int& row) const;
    // Rows that fit completely in the client area.
    int visibleRowCount() const;

    int colCount_;
    int rowCount_;
    int colWidth_ = 64;
    int rowHeight_ = 24;
    int col_ = FixedCols;
    int row_ = 0;
    bool selecting_ = false; // left button pressed on a data cell, not yet released
    // The last left press, to recognise the second press of a double click as
    // Qt does (it delivers that press before the double-click event).
    quint64 lastPressTime_ = 0;
    QPoint lastPressPos_;
    bool lastPressValid_ = false;
    QVector<QString> cells_;
};
