#include "app/point_mark_table.h"

#include <algorithm>
#include <cstdio>

#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/utf8.h"

namespace {

constexpr std::array<const char*, kColumnCount> kHeadersUtf8 = {
    "DATUM", "UNIT",     "TIME",     "NOTE",   "地点名",   "読み仮名",  "緯度",  "経度",
    "住所",  "カテゴリ", "アイコン", "音種類", "繰り返し", "有効/無効", "距離1", "距離2"};

const std::array<std::string, kColumnCount>& headersCp932() {
    static const std::array<std::string, kColumnCount> headers = [] {
        std::array<std::string, kColumnCount> result;
        for (int i = 0; i < kColumnCount; ++i) result[i] = cp932::encode(utf8ToUtf16(kHeadersUtf8[i]));
        return result;
    }();
    return headers;
}

bool validColumn(int column) { return column >= 0 && column < kColumnCount; }

[[noreturn]] void raiseOutside(int column, int row) {
    char text[96];
    std::snprintf(text, sizeof text, "Cell (%d, %d) is outside the table", column, row);
    throw EStringListError(text);
}

const std::string kEmpty;
const TPointMarkRow kEmptyRow{};

} // namespace

const std::string& columnHeaderText(int column) { return validColumn(column) ? headersCp932()[column] : kEmpty; }

const char* columnHeaderUtf8(int column) { return validColumn(column) ? kHeadersUtf8[column] : ""; }

int columnWidth(int column) { return column == 4 || column == 5 ? 100 : 80; }

bool isRequiredColumn(int column) {
    switch (column) {
    case 0:
    case 1:
    case 2:
    case 4:
    case 6:
    case 7:
    case 9:
    case 10:
        return true;
    default:
        return false;
    }
}

TPointMarkTable::TPointMarkTable() : rows_(2) {}

void TPointMarkTable::setRowCount(int count) {
    if (count < 1) count = 1;
    const int oldCount = rowCount();
    const bool fixedRowLost = count == 1 && fixedRows_ == 1;
    if (count == oldCount && !fixedRowLost) return;
    rows_.resize(static_cast<std::size_t>(count));
    if (fixedRowLost) fixedRows_ = 0;
    if (updateDepth_ > 0) {
        changedDuringUpdate_ = true;
    } else if (fixedRowLost) {
        if (OnReset) OnReset();
    } else if (OnRowCountChanged) {
        OnRowCountChanged(oldCount, count);
    }
}

const std::string& TPointMarkTable::cell(int column, int row) const {
    if (!validColumn(column) || row < 0 || row >= rowCount()) return kEmpty;
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void TPointMarkTable::setCell(int column, int row, std::string value) {
    if (!validColumn(column) || row < 0 || row >= rowCount()) raiseOutside(column, row);
    rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(value);
    cellsChanged(column, row, column, row);
}

const TPointMarkRow& TPointMarkTable::row(int row) const {
    if (row < 0 || row >= rowCount()) return kEmptyRow;
    return rows_[static_cast<std::size_t>(row)];
}

void TPointMarkTable::checkRow(int row) const {
    if (row < 0 || row >= rowCount()) raiseOutside(0, row);
}

void TPointMarkTable::setRow(int row, TPointMarkRow cells) {
    checkRow(row);
    rows_[static_cast<std::size_t>(row)] = std::move(cells);
    cellsChanged(0, row, kColumnCount - 1, row);
}

std::vector<std::string> TPointMarkTable::rowList(int row) const {
    const TPointMarkRow& cells = this->row(row);
    return std::vector<std::string>(cells.begin(), cells.end());
}

void TPointMarkTable::setRowList(int row, const std::vector<std::string>& cells) {
    checkRow(row);
    TPointMarkRow& target = rows_[static_cast<std::size_t>(row)];
    for (std::size_t i = 0; i < target.size(); ++i) target[i] = i < cells.size() ? cells[i] : std::string();
    cellsChanged(0, row, kColumnCount - 1, row);
}

std::vector<std::string> TPointMarkTable::column(int column) const {
    std::vector<std::string> result;
    result.reserve(rows_.size());
    for (int r = 0; r < rowCount(); ++r) result.push_back(cell(column, r));
    return result;
}

void TPointMarkTable::clearRow(int row) { setRow(row, TPointMarkRow{}); }

void TPointMarkTable::writeHeaderRow() {
    TTableUpdate update(*this);
    for (int c = 0; c < kColumnCount; ++c) setCell(c, 0, columnHeaderText(c));
}

std::vector<TPointMarkRow> TPointMarkTable::removeRows(const std::vector<int>& indices) {
    std::vector<TPointMarkRow> removed;
    if (indices.empty()) return removed;
    if (indices.size() >= rows_.size() || indices.front() < 0 || indices.back() >= rowCount())
        raiseOutside(0, indices.empty() ? 0 : indices.back());
    removed.reserve(indices.size());
    std::size_t next = 0;
    std::size_t kept = static_cast<std::size_t>(indices.front());
    for (std::size_t r = kept; r < rows_.size(); ++r) {
        if (next < indices.size() && static_cast<std::size_t>(indices[next]) == r) {
            removed.push_back(std::move(rows_[r]));
            ++next;
        } else {
            if (kept != r) rows_[kept] = std::move(rows_[r]);
            ++kept;
        }
    }
    rows_.resize(kept);
    notifyBlock(indices, OnRowsRemoved);
    return removed;
}

void TPointMarkTable::insertRows(const std::vector<int>& indices, std::vector<TPointMarkRow> rows) {
    if (indices.empty()) return;
    const std::size_t total = rows_.size() + rows.size();
    if (indices.size() != rows.size() || indices.front() < 0 || static_cast<std::size_t>(indices.back()) >= total)
        raiseOutside(0, indices.back());
    rows_.resize(total);
    // From the back: every existing row moves down by the number of inserted rows before it.
    std::size_t from = total - rows.size();
    std::size_t next = indices.size();
    for (std::size_t to = total; to-- > static_cast<std::size_t>(indices.front());) {
        if (next > 0 && static_cast<std::size_t>(indices[next - 1]) == to) {
            rows_[to] = std::move(rows[--next]);
        } else {
            rows_[to] = std::move(rows_[--from]);
        }
    }
    notifyBlock(indices, OnRowsInserted);
}

void TPointMarkTable::swapRows(std::vector<TPointMarkRow>& rows) {
    if (rows.empty()) raiseOutside(0, 0);
    rows_.swap(rows);
    notifyRowsMoved();
}

void TPointMarkTable::notifyBlock(const std::vector<int>& indices, const std::function<void(int, int)>& notify) {
    const bool block = indices.back() - indices.front() + 1 == static_cast<int>(indices.size());
    if (updateDepth_ > 0 || !block || !notify) {
        notifyRowsMoved();
    } else {
        notify(indices.front(), static_cast<int>(indices.size()));
    }
}

void TPointMarkTable::notifyRowsMoved() {
    if (updateDepth_ > 0) {
        changedDuringUpdate_ = true;
    } else if (OnReset) {
        OnReset();
    }
}

void TPointMarkTable::notifyRowsChanged(int firstRow, int lastRow) {
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, rowCount() - 1);
    if (firstRow <= lastRow) cellsChanged(0, firstRow, kColumnCount - 1, lastRow);
}

void TPointMarkTable::cellsChanged(int firstColumn, int firstRow, int lastColumn, int lastRow) {
    if (updateDepth_ > 0) {
        changedDuringUpdate_ = true;
    } else if (OnCellsChanged) {
        OnCellsChanged(firstColumn, firstRow, lastColumn, lastRow);
    }
}

void TPointMarkTable::beginUpdate() { ++updateDepth_; }

void TPointMarkTable::endUpdate() {
    if (updateDepth_ == 0) return;
    if (--updateDepth_ > 0 || !changedDuringUpdate_) return;
    changedDuringUpdate_ = false;
    if (OnReset) OnReset();
}
