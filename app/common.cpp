#include "app/common.h"

#include <cstdio>
#include <utility>

#include "text/exception.h"

namespace {

[[noreturn]] void raiseListIndexError(int index) {
    char text[96];
    std::snprintf(text, sizeof text, "リストのインデックスが範囲を超えています (%d)", index);
    throw EStringListError(text);
}

} // namespace

void DeleteGridRow(TPointMarkTable& grid, int dataIndex) {
    const int fixed = grid.fixedRows();
    const int count = grid.rowCount() - fixed;
    if (dataIndex < 0 || dataIndex >= count) raiseListIndexError(dataIndex);
    const int lastRow = grid.rowCount() - 1;
    const int firstRow = dataIndex + fixed;
    if (firstRow == lastRow) return; // nothing moves up; the last row keeps its cells
    auto& rows = grid.rows();
    for (int r = firstRow; r < lastRow - 1; ++r) rows[r] = std::move(rows[r + 1]);
    rows[lastRow - 1] = rows[lastRow];
    grid.notifyRowsChanged(firstRow, lastRow - 1);
}
