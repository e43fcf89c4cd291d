#include "app/point_mark_table.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>

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

const TPointMarkRow kEmptyRow{};

} // namespace

char* TPointMarkRow::allocate(std::size_t capacity) {
    if (capacity > std::numeric_limits<Offset>::max()) throw std::length_error("a table row of more than 4 GiB");
    char* block = static_cast<char*>(std::malloc(kTextsAt + capacity));
    if (!block) throw std::bad_alloc();
    const Offset room = static_cast<Offset>(capacity);
    std::memcpy(block + kColumnCount * sizeof(Offset), &room, sizeof room);
    return block;
}

void TPointMarkRow::setCellEnd(char* block, std::size_t column, std::size_t end) {
    const Offset value = static_cast<Offset>(end);
    std::memcpy(block + column * sizeof(Offset), &value, sizeof value);
}

TPointMarkRow::TPointMarkRow(std::span<const std::string_view> cells) {
    const std::size_t count = std::min<std::size_t>(cells.size(), kColumnCount);
    std::size_t bytes = kColumnCount;
    for (std::size_t c = 0; c < count; ++c) bytes += cells[c].size();
    if (bytes == kColumnCount) return;
    block_ = allocate(bytes);
    char* at = texts();
    for (std::size_t c = 0; c < kColumnCount; ++c) {
        if (c < count && !cells[c].empty()) {
            std::memcpy(at, cells[c].data(), cells[c].size());
            at += cells[c].size();
        }
        *at = '\0';
        setCellEnd(block_, c, static_cast<std::size_t>(at - texts()));
        ++at;
    }
}

TPointMarkRow::TPointMarkRow(const TPointMarkRow& other) {
    if (!other.block_) return;
    const std::size_t bytes = other.textBytes();
    block_ = allocate(bytes);
    std::memcpy(block_, other.block_, kColumnCount * sizeof(Offset));
    std::memcpy(texts(), other.texts(), bytes);
}

TPointMarkRow& TPointMarkRow::operator=(const TPointMarkRow& other) {
    if (this != &other) *this = TPointMarkRow(other);
    return *this;
}

TPointMarkRow& TPointMarkRow::operator=(TPointMarkRow&& other) noexcept {
    std::swap(block_, other.block_);
    return *this;
}

TPointMarkRow::~TPointMarkRow() { std::free(block_); }

TPointMarkRow::Offset TPointMarkRow::cellEnd(std::size_t column) const {
    Offset end;
    std::memcpy(&end, block_ + column * sizeof(Offset), sizeof end);
    return end;
}

std::size_t TPointMarkRow::capacity() const {
    Offset capacity;
    std::memcpy(&capacity, block_ + kColumnCount * sizeof(Offset), sizeof capacity);
    return capacity;
}

TCellText TPointMarkRow::text(std::size_t column) const {
    if (!block_ || column >= kColumnCount) return TCellText();
    const Offset first = cellStart(column);
    return TCellText(std::string_view(texts() + first, cellEnd(column) - first));
}

void TPointMarkRow::set(std::size_t column, std::string_view value) {
    if (column >= kColumnCount) throw std::out_of_range("a table row has 16 columns");
    const std::size_t first = block_ ? cellStart(column) : column;
    const std::size_t oldSize = block_ ? cellEnd(column) - first : 0;
    if (value.size() == oldSize) {
        if (oldSize > 0) std::memmove(texts() + first, value.data(), oldSize);
        return;
    }
    const std::size_t oldBytes = block_ ? textBytes() : kColumnCount;
    const std::size_t bytes = oldBytes - oldSize + value.size();
    // Every cell empty: no block at all.
    if (bytes == kColumnCount) {
        std::free(std::exchange(block_, nullptr));
        return;
    }
    // A new block of the exact size; value may lie in the old one, which goes last.
    char* block = allocate(bytes);
    char* to = block + kTextsAt;
    const std::size_t shift = value.size() - oldSize; // modulo 2^n: added to the ends after the cell
    for (std::size_t c = 0; c < kColumnCount; ++c)
        setCellEnd(block, c, (block_ ? cellEnd(c) : c) + (c >= column ? shift : 0));
    // The texts before the cell, the new text, the texts after it (their NUL bytes included).
    if (block_) {
        std::memcpy(to, texts(), first);
        std::memcpy(to + first + value.size(), texts() + first + oldSize, oldBytes - first - oldSize);
    } else {
        std::memset(to, '\0', bytes);
    }
    if (!value.empty()) std::memcpy(to + first, value.data(), value.size());
    std::free(std::exchange(block_, block));
}

void TPointMarkRow::append(std::size_t column, std::string_view tail) {
    if (column >= kColumnCount) throw std::out_of_range("a table row has 16 columns");
    if (tail.empty()) return;
    if (!block_) return set(column, tail);
    const std::size_t oldBytes = textBytes();
    const std::size_t bytes = oldBytes + tail.size();
    // The text appended may lie in this row, which may move or shift below.
    const std::less<const char*> before;
    std::string copied;
    if (!before(tail.data(), block_) && before(tail.data(), texts() + capacity())) tail = copied = tail;
    if (bytes > capacity()) {
        // Room for as much again, so that appending piece by piece takes linear time.
        char* block =
            allocate(std::max(bytes, std::min<std::size_t>(2 * capacity(), std::numeric_limits<Offset>::max())));
        std::memcpy(block, block_, kColumnCount * sizeof(Offset));
        std::memcpy(block + kTextsAt, texts(), oldBytes);
        std::free(std::exchange(block_, block));
    }
    const std::size_t at = cellEnd(column);
    std::memmove(texts() + at + tail.size(), texts() + at, oldBytes - at);
    std::memcpy(texts() + at, tail.data(), tail.size());
    for (std::size_t c = column; c < kColumnCount; ++c) setCellEnd(block_, c, cellEnd(c) + tail.size());
}

std::string TPointMarkRow::exchange(std::size_t column, std::string value) {
    std::string previous(text(column));
    set(column, value);
    return previous;
}

std::size_t TPointMarkRow::heapBytes() const { return block_ ? kTextsAt + capacity() : 0; }

bool operator==(const TPointMarkRow& a, const TPointMarkRow& b) {
    if (!a.block_ || !b.block_) return a.block_ == b.block_;
    // The ends of the cells, then their texts; the room left after them does not count.
    return std::memcmp(a.block_, b.block_, kColumnCount * sizeof(TPointMarkRow::Offset)) == 0 &&
           std::memcmp(a.texts(), b.texts(), a.textBytes()) == 0;
}

const std::string& columnHeaderText(int column) {
    static const std::string empty;
    return validColumn(column) ? headersCp932()[column] : empty;
}

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

TCellText TPointMarkTable::cell(int column, int row) const {
    if (!validColumn(column) || row < 0 || row >= rowCount()) return TCellText();
    return rows_[static_cast<std::size_t>(row)].text(static_cast<std::size_t>(column));
}

void TPointMarkTable::setCell(int column, int row, std::string_view value) {
    if (!validColumn(column) || row < 0 || row >= rowCount()) raiseOutside(column, row);
    rows_[static_cast<std::size_t>(row)].set(static_cast<std::size_t>(column), value);
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
    const std::vector<std::string_view> views(cells.begin(), cells.end());
    rows_[static_cast<std::size_t>(row)] = TPointMarkRow(views);
    cellsChanged(0, row, kColumnCount - 1, row);
}

std::vector<std::string> TPointMarkTable::column(int column) const {
    std::vector<std::string> result;
    result.reserve(rows_.size());
    for (int r = 0; r < rowCount(); ++r) result.emplace_back(cell(column, r));
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

void TPointMarkTable::notifyBlock(const std::vector<int>& indices, const TNotificationList<int, int>& notify) {
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
