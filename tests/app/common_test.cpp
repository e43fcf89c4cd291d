#include <gtest/gtest.h>

#include <cstdio>

#include "app/common.h"
#include "text/exception.h"

namespace {

TPointMarkTable tableWithRecords(int records) {
    TPointMarkTable table;
    table.writeHeaderRow();
    table.setRowCount(records + 1);
    for (int r = 1; r <= records; ++r)
        for (int c = 0; c < kColumnCount; ++c) {
            char text[32];
            std::snprintf(text, sizeof text, "r%dc%d", r, c);
            table.setCell(c, r, text);
        }
    return table;
}

} // namespace

TEST(DeleteGridRow, MovesLaterRowsUpAndKeepsTheLastRow) {
    TPointMarkTable table = tableWithRecords(3);
    DeleteGridRow(table, 0);
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.cell(0, 0), "DATUM");
    EXPECT_EQ(table.cell(0, 1), "r2c0");
    EXPECT_EQ(table.cell(15, 2), "r3c15");
    EXPECT_EQ(table.cell(15, 3), "r3c15"); // the last row still holds the old third record

    TPointMarkTable middle = tableWithRecords(3);
    DeleteGridRow(middle, 1);
    EXPECT_EQ(middle.cell(5, 1), "r1c5");
    EXPECT_EQ(middle.cell(5, 2), "r3c5");
    EXPECT_EQ(middle.cell(5, 3), "r3c5");

    TPointMarkTable last = tableWithRecords(3);
    DeleteGridRow(last, 2);
    EXPECT_EQ(last.cell(7, 2), "r2c7");
    EXPECT_EQ(last.cell(7, 3), "r3c7");
}

TEST(DeleteGridRow, IndexOutsideTheDataRowsRaisesAndChangesNothing) {
    TPointMarkTable table = tableWithRecords(2);
    const auto before = table.rows();
    try {
        DeleteGridRow(table, 2);
        FAIL() << "no error";
    } catch (const EStringListError& e) {
        EXPECT_STREQ(e.what(), "リストのインデックスが範囲を超えています (2)");
    }
    try {
        DeleteGridRow(table, -1);
        FAIL() << "no error";
    } catch (const EStringListError& e) {
        EXPECT_STREQ(e.what(), "リストのインデックスが範囲を超えています (-1)");
    }
    EXPECT_EQ(table.rows(), before);
}

TEST(DeleteGridRow, WithoutHeaderRowRowZeroIsData) {
    TPointMarkTable table;
    table.setRowCount(1);
    table.setRowCount(3);
    table.setCell(0, 0, "a");
    table.setCell(0, 1, "b");
    table.setCell(0, 2, "c");
    DeleteGridRow(table, 0);
    EXPECT_EQ(table.cell(0, 0), "b");
    EXPECT_EQ(table.cell(0, 1), "c");
    EXPECT_EQ(table.cell(0, 2), "c");
}
