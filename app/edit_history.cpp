#include "app/edit_history.h"

#include <algorithm>
#include <utility>

#include "app/sort_rows.h"

namespace {

// Heap bytes of a string: short strings live inside the object.
std::size_t heapBytes(const std::string& text) {
    return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

class CellsChange : public TTableChange {
public:
    explicit CellsChange(std::vector<TCellValue> values) : values_(std::move(values)) {}

    void toggle(TPointMarkTable& table) override {
        if (values_.empty()) return;
        int firstColumn = kColumnCount, lastColumn = -1, firstRow = table.rowCount(), lastRow = -1;
        std::vector<TPointMarkRow>& rows = table.rows();
        for (TCellValue& cell : values_) {
            cell.value = rows[static_cast<std::size_t>(cell.row)].exchange(static_cast<std::size_t>(cell.column),
                                                                           std::move(cell.value));
            firstColumn = std::min(firstColumn, cell.column);
            lastColumn = std::max(lastColumn, cell.column);
            firstRow = std::min(firstRow, cell.row);
            lastRow = std::max(lastRow, cell.row);
        }
        // Whole rows when several columns changed: the views redraw one band instead of many.
        if (firstColumn == lastColumn && firstRow == lastRow)
            table.setCell(firstColumn, firstRow, table.cell(firstColumn, firstRow));
        else
            table.notifyRowsChanged(firstRow, lastRow);
    }

    std::size_t heldBytes() const override {
        std::size_t bytes = values_.capacity() * sizeof(TCellValue);
        for (const TCellValue& cell : values_) bytes += heapBytes(cell.value);
        return bytes;
    }

private:
    std::vector<TCellValue> values_;
};

// Rows that are in the table or held here, at the same indices either way.
class RowsChange : public TTableChange {
public:
    RowsChange(std::vector<int> indices, std::vector<TPointMarkRow> rows, bool inTable)
        : indices_(std::move(indices)), rows_(std::move(rows)), inTable_(inTable) {}

    void toggle(TPointMarkTable& table) override {
        if (inTable_) {
            rows_ = table.removeRows(indices_);
        } else {
            table.insertRows(indices_, std::move(rows_));
            rows_ = std::vector<TPointMarkRow>();
        }
        inTable_ = !inTable_;
    }

    std::size_t heldBytes() const override {
        std::size_t bytes = indices_.capacity() * sizeof(int) + rows_.capacity() * sizeof(TPointMarkRow);
        for (const TPointMarkRow& row : rows_) bytes += row.heapBytes();
        return bytes;
    }

private:
    std::vector<int> indices_;
    std::vector<TPointMarkRow> rows_;
    bool inTable_;
};

class ReorderChange : public TTableChange {
public:
    explicit ReorderChange(std::vector<std::size_t> order) : order_(std::move(order)) {}

    void toggle(TPointMarkTable& table) override {
        applyDataRowOrder(table, order_);
        // The order that puts the rows back is the inverse permutation.
        std::vector<std::size_t> inverse(order_.size());
        for (std::size_t k = 0; k < order_.size(); ++k) inverse[order_[k]] = k;
        order_ = std::move(inverse);
    }

    std::size_t heldBytes() const override { return order_.capacity() * sizeof(std::size_t); }

private:
    std::vector<std::size_t> order_;
};

class ReplaceRowsChange : public TTableChange {
public:
    explicit ReplaceRowsChange(std::vector<TPointMarkRow> rows) : rows_(std::move(rows)) {}

    void toggle(TPointMarkTable& table) override { table.swapRows(rows_); }

    std::size_t heldBytes() const override {
        std::size_t bytes = rows_.capacity() * sizeof(TPointMarkRow);
        for (const TPointMarkRow& row : rows_) bytes += row.heapBytes();
        return bytes;
    }

private:
    std::vector<TPointMarkRow> rows_;
};

} // namespace

std::unique_ptr<TTableChange> cellsChange(std::vector<TCellValue> values) {
    return std::make_unique<CellsChange>(std::move(values));
}

std::unique_ptr<TTableChange> insertRowsChange(std::vector<int> indices, std::vector<TPointMarkRow> rows) {
    return std::make_unique<RowsChange>(std::move(indices), std::move(rows), false);
}

std::unique_ptr<TTableChange> removeRowsChange(std::vector<int> indices) {
    return std::make_unique<RowsChange>(std::move(indices), std::vector<TPointMarkRow>(), true);
}

std::unique_ptr<TTableChange> reorderChange(std::vector<std::size_t> order) {
    return std::make_unique<ReorderChange>(std::move(order));
}

std::unique_ptr<TTableChange> replaceRowsChange(std::vector<TPointMarkRow> rows) {
    return std::make_unique<ReplaceRowsChange>(std::move(rows));
}

void TEditStep::apply(std::unique_ptr<TTableChange> change) {
    change->toggle(*table_);
    changes_.push_back(std::move(change));
}

void TEditStep::toggle(bool undo) {
    // Several rearrangements reach the views as one reset.
    std::optional<TTableUpdate> update;
    if (changes_.size() > 1) update.emplace(*table_);
    if (undo) {
        for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) (*change)->toggle(*table_);
    } else {
        for (auto& change : changes_) change->toggle(*table_);
    }
    std::swap(recordCount_, table_->RecordCount);
    table_->SelectedRow = std::clamp(table_->SelectedRow, 0, std::max(table_->rowCount() - 1, 0));
}

std::size_t TEditStep::heldBytes() const {
    std::size_t bytes = 0;
    for (const auto& change : changes_) bytes += change->heldBytes();
    return bytes;
}

void TEditHistory::record(TEditStep step) {
    if (saved_ && *saved_ > position_) saved_.reset(); // the saved state can no longer be reached
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(position_), steps_.end());
    stepBytes_.resize(position_);
    stepBytes_.push_back(step.heldBytes());
    steps_.push_back(std::move(step));
    // Forget the oldest steps beyond the budget; the newest stays whatever its size.
    std::size_t total = 0;
    for (const std::size_t bytes : stepBytes_) total += bytes;
    std::size_t dropped = 0;
    while (dropped + 1 < steps_.size() && total > byteBudget) total -= stepBytes_[dropped++];
    if (dropped > 0) {
        steps_.erase(steps_.begin(), steps_.begin() + static_cast<std::ptrdiff_t>(dropped));
        stepBytes_.erase(stepBytes_.begin(), stepBytes_.begin() + static_cast<std::ptrdiff_t>(dropped));
        if (saved_ && *saved_ < dropped) saved_.reset();
        else if (saved_) *saved_ -= dropped;
    }
    position_ = steps_.size();
}

void TEditHistory::forgetSteps() {
    const bool saved = atSavedState();
    steps_.clear();
    stepBytes_.clear();
    position_ = 0;
    saved_ = saved ? std::optional<std::size_t>(0) : std::nullopt;
}

bool TEditHistory::undo() {
    if (!canUndo()) return false;
    steps_[--position_].toggle(true);
    return true;
}

bool TEditHistory::redo() {
    if (!canRedo()) return false;
    steps_[position_++].toggle(false);
    return true;
}

std::size_t TEditHistory::heldBytes() const {
    std::size_t bytes = 0;
    for (const TEditStep& step : steps_) bytes += step.heldBytes();
    return bytes;
}
