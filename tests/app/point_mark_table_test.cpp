#include <gtest/gtest.h>

#include "app/point_mark_table.h"
#include "text/exception.h"

TEST(PointMarkTable, HeaderRowWidthsAndRequiredColumns) {
    TPointMarkTable table;
    table.writeHeaderRow();
    EXPECT_EQ(table.cell(0, 0), "DATUM");
    EXPECT_EQ(table.cell(4, 0), "\x92\x6e\x93\x5f\x96\xbc");           // 地点名 in Shift_JIS
    EXPECT_EQ(table.cell(15, 0), "\x8b\x97\x97\xa3\x32");              // 距離2
    EXPECT_EQ(table.cell(13, 0), "\x97\x4c\x8c\xf8/\x96\xb3\x8c\xf8"); // 有効/無効
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.fixedRows(), 1);
    int required = 0;
    for (int c = 0; c < kColumnCount; ++c) {
        EXPECT_EQ(columnWidth(c), c == 4 || c == 5 ? 100 : 80) << c;
        EXPECT_TRUE(table.cell(c, 1).empty());
        required += isRequiredColumn(c);
    }
    EXPECT_EQ(required, 8);
    EXPECT_TRUE(isRequiredColumn(10));
    EXPECT_FALSE(isRequiredColumn(3));
}

TEST(PointMarkTable, RowCountClampFixedRowRuleAndDroppedRows) {
    TPointMarkTable table;
    table.writeHeaderRow();
    table.setRowCount(4);
    table.setCell(3, 3, "cut off");
    table.setRowCount(2);
    table.setRowCount(4);
    EXPECT_EQ(table.cell(3, 3), ""); // a row that comes back starts empty
    EXPECT_EQ(table.fixedRows(), 1);

    table.setRowCount(0);
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.fixedRows(), 0);
    EXPECT_EQ(table.cell(0, 0), "DATUM"); // row 0 keeps its texts as an ordinary row
    table.setRowCount(4);
    EXPECT_EQ(table.fixedRows(), 0); // the header does not come back
}

TEST(PointMarkTable, CellsRowsAndColumnsHoldAnyBytes) {
    TPointMarkTable table;
    table.setRowCount(3);
    const std::string odd("a,\"b\"<&>\r\n\x81\x00\xff", 12);
    table.setCell(15, 2, odd);
    EXPECT_EQ(table.cell(15, 2), odd);
    EXPECT_EQ(table.column(15), (std::vector<std::string>{"", "", odd}));

    table.setRowList(1, {"x", "y", "z"});
    EXPECT_EQ(table.rowList(1),
              (std::vector<std::string>{"x", "y", "z", "", "", "", "", "", "", "", "", "", "", "", "", ""}));
    table.clearRow(2);
    EXPECT_EQ(table.cell(15, 2), "");

    EXPECT_THROW(table.setCell(16, 1, "x"), EStringListError);
    EXPECT_THROW(table.setCell(0, 3, "x"), EStringListError);
    EXPECT_THROW(table.clearRow(-1), EStringListError);
    EXPECT_EQ(table.cell(-1, 0), "");
}

TEST(PointMarkTable, ChangeNotifications) {
    TPointMarkTable table;
    std::vector<std::string> log;
    table.OnCellsChanged = [&](int c0, int r0, int c1, int r1) {
        log.push_back("cells " + std::to_string(c0) + "," + std::to_string(r0) + "-" + std::to_string(c1) + "," +
                      std::to_string(r1));
    };
    table.OnRowCountChanged = [&](int from, int to) {
        log.push_back("rows " + std::to_string(from) + "->" + std::to_string(to));
    };
    table.OnReset = [&] { log.push_back("reset"); };

    table.setCell(3, 1, "a");
    table.setRowCount(4);
    table.setRowCount(4); // unchanged: no report
    table.clearRow(2);
    {
        TTableUpdate outer(table);
        TTableUpdate inner(table);
        table.setCell(0, 1, "b");
        table.setRowCount(9);
    }
    { TTableUpdate quiet(table); } // nothing changed: no reset
    table.setRowCount(1);          // loses the header row
    EXPECT_EQ(log, (std::vector<std::string>{"cells 3,1-3,1", "rows 2->4", "cells 0,2-15,2", "reset", "reset"}));
}
