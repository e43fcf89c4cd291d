#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/point_mark_table.h"

// Undo and redo of the table's changes. A change holds only what it changed, and holds it once:
// it swaps its content with the table's, so the same object takes a change back and makes it
// again (cells it changed, rows it inserted or removed, the order before a sort, the rows of a
// table it replaced).
class TTableChange {
public:
    virtual ~TTableChange() = default;
    // Makes the change when it is not in effect; takes it back when it is.
    virtual void toggle(TPointMarkTable& table) = 0;
    // Bytes held: the change's own storage and the heap blocks of the cell texts it keeps.
    virtual std::size_t heldBytes() const = 0;
};

// New values for cells; what the cells held before takes their place in the change.
struct TCellValue {
    int column;
    int row;
    std::string value;
};
std::unique_ptr<TTableChange> cellsChange(std::vector<TCellValue> values);
// Rows to insert so that rows[k] ends at indices[k] (ascending final positions).
std::unique_ptr<TTableChange> insertRowsChange(std::vector<int> indices, std::vector<TPointMarkRow> rows);
// Rows to remove (ascending indices).
std::unique_ptr<TTableChange> removeRowsChange(std::vector<int> indices);
// A new order of the data rows (entry k: the data index of the row that ends at data index k).
std::unique_ptr<TTableChange> reorderChange(std::vector<std::size_t> order);
// A whole new sequence of rows.
std::unique_ptr<TTableChange> replaceRowsChange(std::vector<TPointMarkRow> rows);

// One command's changes, made and taken back together, with the record count after it.
class TEditStep {
public:
    explicit TEditStep(TPointMarkTable& table) : table_(&table), recordCount_(table.RecordCount) {}
    // Makes the change now and keeps it for undo.
    void apply(std::unique_ptr<TTableChange> change);
    bool empty() const { return changes_.empty() && recordCount_ == table_->RecordCount; }
    // Takes every change back (last first) or makes them again (first first).
    void toggle(bool undo);
    std::size_t heldBytes() const;

private:
    TPointMarkTable* table_;
    std::vector<std::unique_ptr<TTableChange>> changes_;
    std::int32_t recordCount_; // the other state's record count
};

class TEditHistory {
public:
    // Adds a step that has been made; the steps that were undone are dropped, and the oldest
    // steps too while the history holds more than byteBudget (the newest step always stays).
    void record(TEditStep step);
    std::size_t byteBudget = std::size_t(512) << 20;
    bool canUndo() const { return position_ > 0; }
    bool canRedo() const { return position_ < steps_.size(); }
    // Take back the last step in effect / make the next undone one again; false when there is none.
    bool undo();
    bool redo();
    // The table now matches its file (after a save or a load).
    void markSaved() { saved_ = position_; }
    bool atSavedState() const { return saved_ == position_; }
    // No state of the history matches the file any more (a save that left rows out).
    void forgetSavedState() { saved_.reset(); }
    // Forgets every step, so that undo stops at the table as it is now; that state stays the
    // saved one only when it was.
    void forgetSteps();
    std::size_t stepCount() const { return steps_.size(); }
    std::size_t heldBytes() const;

private:
    std::vector<TEditStep> steps_;
    std::vector<std::size_t> stepBytes_;     // held bytes of each step when it was recorded
    std::size_t position_ = 0;               // steps in effect
    std::optional<std::size_t> saved_ = 0u;  // position of the saved state; none once it was dropped
};
