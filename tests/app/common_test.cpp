#include <gtest/gtest.h>

#include "app/common.h"
#include "text/exception.h"

namespace {

// A header row and records whose cells read "<row><column letter>".
TPointMarkTable tableWithRecords(int records) {
    TPointMarkTable table;
    table.writeHeaderRow();
    table.setRowCount(records + 1);
    for (int r = 1; r <= records; ++r)
        for (int c = 0; c < kColumnCount; ++c) table.setCell(c, r, std::to_string(r).append(1, char('a' + c)));
    return table;
}

} // namespace

TEST(DeleteGridRow, MovesLaterRowsUpAndKeepsTheLastRow) {
    TPointMarkTable table = tableWithRecords(3);
    DeleteGridRow(table, 0);
    EXPECT_EQ(table.cell(0, 0), "DATUM");
    EXPECT_EQ(table.cell(0, 1), "2a");
    EXPECT_EQ(table.cell(15, 2), "3p");
    EXPECT_EQ(table.cell(15, 3), "3p"); // the last row still holds the old third record
    EXPECT_EQ(table.rowCount(), 4);

    TPointMarkTable last = tableWithRecords(3);
    DeleteGridRow(last, 2);
    EXPECT_EQ(last.cell(7, 2), "2h");
    EXPECT_EQ(last.cell(7, 3), "3h");

    TPointMarkTable noHeader; // without the header row, row 0 is data index 0
    noHeader.setRowCount(1);
    noHeader.setRowCount(3);
    noHeader.setCell(0, 0, "a");
    noHeader.setCell(0, 1, "b");
    DeleteGridRow(noHeader, 0);
    EXPECT_EQ(noHeader.cell(0, 0), "b");
}

TEST(DeleteGridRow, IndexOutsideTheDataRowsRaisesAndChangesNothing) {
    TPointMarkTable table = tableWithRecords(2);
    const auto before = table.rows();
    for (int index : {2, -1}) {
        try {
            DeleteGridRow(table, index);
            FAIL() << "no error for " << index;
        } catch (const EStringListError& e) {
            EXPECT_EQ(e.message(), "リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
        }
    }
    EXPECT_EQ(table.rows(), before);
}
