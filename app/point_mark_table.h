#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The editor's document: a grid of 16 text columns, a header row and one row per point record.
// Cells are code page 932 bytes, stored and returned unchanged whatever they hold.

constexpr int kColumnCount = 16;

using TPointMarkRow = std::array<std::string, kColumnCount>;

// Header text of a column as code page 932 bytes ("DATUM", ..., "地点名", ...).
const std::string& columnHeaderText(int column);
// The same header as UTF-8, for messages.
const char* columnHeaderUtf8(int column);
// Initial display width of a column in pixels (100 for the name and its reading, else 80).
int columnWidth(int column);
// The eight columns that must all be non-empty for a row to be written as a point-mark record.
bool isRequiredColumn(int column);

class TPointMarkTable {
public:
    // A fresh table: row count 2, one fixed row, every cell empty. The editor writes the
    // header texts at start-up (writeHeaderRow).
    TPointMarkTable();

    int colCount() const { return kColumnCount; }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    // Asking for less than 1 gives 1. A row count of 1 leaves no room for a header: row 0
    // becomes an ordinary row and the table has no fixed row from then on. Rows cut off by a
    // smaller count are dropped, so a row that comes back starts empty.
    void setRowCount(int count);
    // 1 while the table has its header row, 0 after the row count was once set to 1.
    int fixedRows() const { return fixedRows_; }

    // Cells by (column, row). Reading outside the table answers an empty string; writing
    // outside it raises EStringListError and changes nothing.
    const std::string& cell(int column, int row) const;
    void setCell(int column, int row, std::string value);

    // A row as its 16 cells in column order.
    const TPointMarkRow& row(int row) const;
    void setRow(int row, TPointMarkRow cells);
    // A row as a string list: entry i goes to column i; columns without an entry are emptied,
    // entries after the sixteenth are ignored.
    std::vector<std::string> rowList(int row) const;
    void setRowList(int row, const std::vector<std::string>& cells);
    // A column as a list of row-count cells in row order.
    std::vector<std::string> column(int column) const;
    // Empties all 16 cells of a row.
    void clearRow(int row);

    // Writes the 16 header texts into row 0.
    void writeHeaderRow();

    // Rearrangements of whole rows (for the edit history); views are told with a reset.
    // Removes the rows at indices (ascending, distinct, inside the table, not all of them) and
    // answers them in that order.
    std::vector<TPointMarkRow> removeRows(const std::vector<int>& indices);
    // Inserts rows so that rows[k] ends up at indices[k] (ascending final positions, each at most
    // the row count at that point).
    void insertRows(const std::vector<int>& indices, std::vector<TPointMarkRow> rows);
    // Exchanges the whole sequence of rows with rows (which must hold at least one row).
    void swapRows(std::vector<TPointMarkRow>& rows);
    // Tells the views that rows moved (after a rearrangement through rows()).
    void notifyRowsMoved();

private:
    // One block of rows inserted or removed (notify), or a reset for scattered rows.
    void notifyBlock(const std::vector<int>& indices, const std::function<void(int, int)>& notify);

public:

    // Direct access to the rows for routines that rearrange many rows at once (sorting).
    // Call notifyRowsChanged afterwards for the rows touched.
    std::vector<TPointMarkRow>& rows() { return rows_; }
    const std::vector<TPointMarkRow>& rows() const { return rows_; }
    void notifyRowsChanged(int firstRow, int lastRow);

    // Change notifications for a view. While an update is open (beginUpdate ... endUpdate,
    // nestable) nothing is reported; closing the outermost update reports OnReset once if
    // anything changed.
    // Cells in the rectangle [firstColumn, lastColumn] x [firstRow, lastRow] changed.
    std::function<void(int firstColumn, int firstRow, int lastColumn, int lastRow)> OnCellsChanged;
    // The row count went from oldCount to newCount; the surviving rows kept their cells.
    std::function<void(int oldCount, int newCount)> OnRowCountChanged;
    // count rows were inserted at row first (the rows from there on moved down), or removed from
    // row first on (the rows after them moved up). Rearrangements that are not one block of
    // rows are reported with OnReset.
    std::function<void(int first, int count)> OnRowsInserted;
    std::function<void(int first, int count)> OnRowsRemoved;
    // Anything may have changed, the number of fixed rows included.
    std::function<void()> OnReset;

    void beginUpdate();
    void endUpdate();

    // Companions of the table kept by the editor.
    // Number of point records as the editor counts them; commands keep the row count at RecordCount + 1.
    std::int32_t RecordCount = 1;
    // Row index of the cell selected last in the grid.
    std::int32_t SelectedRow = 1;
    // "load: ", "save: " or "add: " followed by the file name (UTF-8) of the last such command.
    std::string StatusText;

private:
    void cellsChanged(int firstColumn, int firstRow, int lastColumn, int lastRow);
    void checkRow(int row) const;

    std::vector<TPointMarkRow> rows_;
    int fixedRows_ = 1;
    int updateDepth_ = 0;
    bool changedDuringUpdate_ = false;
};

// Opens an update on construction and closes it on destruction.
class TTableUpdate {
public:
    explicit TTableUpdate(TPointMarkTable& table) : table_(table) { table_.beginUpdate(); }
    ~TTableUpdate() { table_.endUpdate(); }
    TTableUpdate(const TTableUpdate&) = delete;
    TTableUpdate& operator=(const TTableUpdate&) = delete;

private:
    TPointMarkTable& table_;
};
