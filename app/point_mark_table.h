#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/notification_list.h"

// The editor's document: a grid of 16 text columns, a header row and one row per point record.
// Cells are code page 932 bytes, stored and returned unchanged whatever they hold.

constexpr int kColumnCount = 16;

// The text of a cell as a row holds it: a view of its bytes, which are followed by a NUL byte in
// memory (so c_str() reads as a C string up to the first NUL the cell holds). Valid until the row
// changes; converts to std::string where a copy is wanted.
class TCellText : public std::string_view {
public:
    TCellText() : std::string_view("", 0) {}
    // text must be followed by a NUL byte.
    explicit TCellText(std::string_view text) : std::string_view(text) {}

    const char* c_str() const { return data(); }
    operator std::string() const { return std::string(data(), size()); }
    friend std::string operator+(std::string left, TCellText right) { return left.append(right); }
};

// One row of 16 cells. The texts of the cells live in one block, one after another, each
// followed by a NUL byte, behind a table of where each ends; a row whose cells are all empty has
// no block, so that it costs one pointer. Copies copy the block; moves and swaps move the pointer.
class TPointMarkRow {
public:
    class TCellRef;
    class const_iterator;

    TPointMarkRow() = default;
    // The cells in column order; entries after the sixteenth are ignored, missing ones are empty.
    explicit TPointMarkRow(std::span<const std::string_view> cells);
    TPointMarkRow(std::initializer_list<std::string_view> cells)
        : TPointMarkRow(std::span<const std::string_view>(cells.begin(), cells.size())) {}
    TPointMarkRow(const TPointMarkRow& other);
    TPointMarkRow(TPointMarkRow&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    TPointMarkRow& operator=(const TPointMarkRow& other);
    TPointMarkRow& operator=(TPointMarkRow&& other) noexcept;
    ~TPointMarkRow();

    // The text of a column (0 to 15).
    TCellText text(std::size_t column) const;
    TCellText operator[](std::size_t column) const { return text(column); }
    // A cell that can be assigned or cleared.
    TCellRef operator[](std::size_t column);
    // Replaces the text of a column; value may be a view into this row.
    void set(std::size_t column, std::string_view value);
    // Appends to the text of a column; tail may be a view into this row. The row keeps room for
    // as much again, so that a text built piece by piece takes linear time.
    void append(std::size_t column, std::string_view tail);
    // Replaces the text of a column and answers the text it held.
    std::string exchange(std::size_t column, std::string value);

    // Whether every cell is empty.
    bool empty() const { return block_ == nullptr; }
    // The bytes the row holds on the heap besides the row object itself.
    std::size_t heapBytes() const;

    const_iterator begin() const;
    const_iterator end() const;

    friend bool operator==(const TPointMarkRow& a, const TPointMarkRow& b);

private:
    using Offset = std::uint32_t;
    // Block layout: Offset ends[16] (the end of each cell's text, counted from the start of the
    // texts), Offset capacity (the bytes of room for the texts), then the texts, each followed by
    // a NUL byte. Only appending leaves room after the texts.
    static constexpr std::size_t kTextsAt = (kColumnCount + 1) * sizeof(Offset);

    // A block with room for capacity bytes of texts, its capacity recorded.
    static char* allocate(std::size_t capacity);
    static void setCellEnd(char* block, std::size_t column, std::size_t end);
    Offset cellEnd(std::size_t column) const;
    Offset cellStart(std::size_t column) const { return column == 0 ? 0 : cellEnd(column - 1) + 1; }
    std::size_t capacity() const;
    std::size_t textBytes() const { return block_ ? cellEnd(kColumnCount - 1) + 1 : 0; }
    char* texts() const { return block_ + kTextsAt; }

    char* block_ = nullptr;
};

// What row[column] gives on a row that may change: the cell's text as it was when it was taken,
// and assignment to the cell.
class TPointMarkRow::TCellRef : public TCellText {
public:
    TCellRef(TPointMarkRow& row, std::size_t column) : TCellText(row.text(column)), row_(row), column_(column) {}
    TCellRef& operator=(std::string_view value) {
        row_.set(column_, value);
        static_cast<TCellText&>(*this) = row_.text(column_);
        return *this;
    }
    TCellRef& operator=(const TCellRef& other) { return *this = std::string_view(other); }
    TCellRef& operator+=(std::string_view tail) {
        row_.append(column_, tail);
        static_cast<TCellText&>(*this) = row_.text(column_);
        return *this;
    }
    void clear() { *this = std::string_view(); }

private:
    TPointMarkRow& row_;
    std::size_t column_;
};

// The cells of a row in column order.
class TPointMarkRow::const_iterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = TCellText;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = TCellText;

    const_iterator() = default;
    const_iterator(const TPointMarkRow* row, std::size_t column) : row_(row), column_(column) {}
    TCellText operator*() const { return row_->text(column_); }
    const_iterator& operator++() {
        ++column_;
        return *this;
    }
    const_iterator operator++(int) { return const_iterator(row_, column_++); }
    friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.column_ == b.column_; }

private:
    const TPointMarkRow* row_ = nullptr;
    std::size_t column_ = 0;
};

inline TPointMarkRow::const_iterator TPointMarkRow::begin() const { return const_iterator(this, 0); }
inline TPointMarkRow::const_iterator TPointMarkRow::end() const { return const_iterator(this, kColumnCount); }
inline TPointMarkRow::TCellRef TPointMarkRow::operator[](std::size_t column) { return TCellRef(*this, column); }

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
    TCellText cell(int column, int row) const;
    void setCell(int column, int row, std::string_view value);

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
    void notifyBlock(const std::vector<int>& indices, const TNotificationList<int, int>& notify);

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
    // Each is a list: every view that adds itself hears every change.
    TNotificationList<int /*firstColumn*/, int /*firstRow*/, int /*lastColumn*/, int /*lastRow*/> OnCellsChanged;
    // The row count went from oldCount to newCount; the surviving rows kept their cells.
    TNotificationList<int /*oldCount*/, int /*newCount*/> OnRowCountChanged;
    // count rows were inserted at row first (the rows from there on moved down), or removed from
    // row first on (the rows after them moved up). Rearrangements that are not one block of
    // rows are reported with OnReset.
    TNotificationList<int /*first*/, int /*count*/> OnRowsInserted;
    TNotificationList<int /*first*/, int /*count*/> OnRowsRemoved;
    // Anything may have changed, the number of fixed rows included.
    TNotificationList<> OnReset;

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
