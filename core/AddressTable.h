// The address table as the operator edits it: four pages of 17 rows x 3 text
// cells. Row 0 holds the headers, rows 1..16 the addresses of the page.
#pragma once

#include <QString>

#include <array>

class AddressTable
{
public:
    static constexpr int Pages = 4;
    static constexpr int Rows = 17;
    static constexpr int Columns = 3;
    static constexpr int RowsPerPage = 16;
    static constexpr int Addresses = Pages * RowsPerPage;

    static constexpr int AddressColumn = 0;
    static constexpr int ModeColumn = 1;
    static constexpr int DelayColumn = 2;

    static bool validCell(int page, int row, int column)
    {
        return page >= 1 && page <= Pages && row >= 0 && row < Rows && column >= 0 &&
               column < Columns;
    }
    static int pageOf(int address) { return (address - 1) / RowsPerPage + 1; }
    static int rowOf(int address) { return (address - 1) % RowsPerPage + 1; }
    static int addressOf(int page, int row) { return (page - 1) * RowsPerPage + row; }

    // page 1..4
    const QString& cell(int page, int row, int column) const
    {
        return cells_.at(index(page, row, column));
    }
    void setCell(int page, int row, int column, const QString& text)
    {
        cells_.at(index(page, row, column)) = text;
    }

    bool operator==(const AddressTable&) const = default;

private:
    static std::size_t index(int page, int row, int column)
    {
        return std::size_t(((page - 1) * Rows + row) * Columns + column);
    }
    std::array<QString, Pages * Rows * Columns> cells_{};
};
