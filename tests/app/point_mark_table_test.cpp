#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

// A second view must not silence the first: both hear every change until each removes itself.
TEST(PointMarkTable, EveryListenerHearsTheChanges) {
    TPointMarkTable table;
    table.setRowCount(3);
    std::string first, second;
    table.OnRowsRemoved.add(
        &first, [&](int row, int count) { first += std::to_string(row) + "+" + std::to_string(count) + " "; });
    table.OnRowsRemoved.add(
        &second, [&](int row, int count) { second += std::to_string(row) + "+" + std::to_string(count) + " "; });
    table.removeRows({1});
    table.OnRowsRemoved.remove(&first);
    table.OnRowsInserted.add(
        &first, [&](int row, int count) { first += "in" + std::to_string(row) + "+" + std::to_string(count) + " "; });
    table.removeRows({1});
    EXPECT_EQ(first, "1+1 ");
    EXPECT_EQ(second, "1+1 1+1 ");
    // With no one left to hear a block removal, it is told as a reset.
    table.OnRowsRemoved.remove(&second);
    std::string resets;
    table.OnReset.add(&resets, [&] { resets += "reset "; });
    table.setRowCount(3);
    table.removeRows({1});
    EXPECT_EQ(resets, "reset ");
}

TEST(PointMarkTable, ChangeNotifications) {
    TPointMarkTable table;
    std::vector<std::string> log;
    table.OnCellsChanged.add(&log, [&](int c0, int r0, int c1, int r1) {
        log.push_back("cells " + std::to_string(c0) + "," + std::to_string(r0) + "-" + std::to_string(c1) + "," +
                      std::to_string(r1));
    });
    table.OnRowCountChanged.add(
        &log, [&](int from, int to) { log.push_back("rows " + std::to_string(from) + "->" + std::to_string(to)); });
    table.OnReset.add(&log, [&] { log.push_back("reset"); });

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

TEST(PointMarkRow, CellsChangeInAnyOrderAndLeaveTheirNeighboursAlone) {
    TPointMarkRow row;
    const std::string withNul("x\0y", 3);
    row[15] = "last";
    row[0] = "first";
    row[7] = withNul;
    row[0] = "a much longer first cell than before";
    row[15] = "";
    row[8] = "ninth";
    row[7] = "7";
    EXPECT_EQ(std::vector<std::string>(row.begin(), row.end()),
              (std::vector<std::string>{"a much longer first cell than before", "", "", "", "", "", "", "7", "ninth",
                                        "", "", "", "", "", "", ""}));
    row.set(8, withNul);
    EXPECT_EQ(row[8], withNul);
    EXPECT_EQ(std::strlen(row[0].c_str()), row[0].size()); // every text is followed by a NUL byte
    EXPECT_STREQ(row[1].c_str(), "");

    // A row built at once equals one built cell by cell, whatever the cells held in between.
    const TPointMarkRow direct{"a much longer first cell than before", "", "", "", "", "", "", "7", withNul};
    EXPECT_EQ(row, direct);
    row[3] = "x";
    EXPECT_NE(row, direct);
    row[3].clear();
    EXPECT_EQ(row, direct);
}

TEST(PointMarkRow, ATextTakenFromTheSameRowIsCopiedBeforeTheRowChanges) {
    TPointMarkRow row{"a", "beta", "gamma"};
    row.set(0, row.text(2)); // longer block: the source moves
    row.set(2, row.text(1).substr(1));
    row[1] = row[0];
    EXPECT_EQ(row, (TPointMarkRow{"gamma", "gamma", "eta"}));
    EXPECT_EQ(row.exchange(2, "new"), "eta");
    EXPECT_EQ(row[2], "new");
}

TEST(PointMarkRow, CopiesAreIndependentAndEmptyRowsHoldNothing) {
    TPointMarkRow row{"WGS84", "DEG"};
    TPointMarkRow copy = row;
    copy[0] = "TOKYO";
    EXPECT_EQ(row[0], "WGS84");
    EXPECT_EQ(copy[1], "DEG");
    TPointMarkRow moved = std::move(copy);
    EXPECT_EQ(moved[0], "TOKYO");
    copy = moved;
    EXPECT_EQ(copy, moved);

    EXPECT_EQ(TPointMarkRow().heapBytes(), 0u);
    row[0].clear();
    row[1] = "";
    EXPECT_TRUE(row.empty());
    EXPECT_EQ(row.heapBytes(), 0u); // a row emptied cell by cell gives its memory back
    EXPECT_EQ(row, TPointMarkRow{});

    // Sixteen short cells cost less than sixteen separate strings would.
    TPointMarkRow full;
    for (std::size_t c = 0; c < kColumnCount; ++c) full[c] = "cell " + std::to_string(c);
    EXPECT_LT(sizeof(TPointMarkRow) + full.heapBytes(), kColumnCount * sizeof(std::string));
}

TEST(PointMarkTable, ACellSetFromTheTableItselfKeepsItsText) {
    TPointMarkTable table;
    table.setCell(4, 1, "name");
    table.setCell(5, 1, table.cell(4, 1));
    table.setCell(4, 1, table.cell(4, 1).substr(1));
    EXPECT_EQ(table.rowList(1)[4], "ame");
    EXPECT_EQ(table.cell(5, 1), "name");
}

TEST(PointMarkRow, AppendingPieceByPieceKeepsTheOtherCells) {
    TPointMarkRow row{"a", "b", "c"};
    for (int i = 0; i < 20000; ++i) row[1] += "xy";
    row[1] += row[2]; // a piece of the row itself
    EXPECT_EQ(row[0], "a");
    EXPECT_EQ(row[1].size(), 40002u);
    EXPECT_EQ(row[1].substr(39997), "xyxyc");
    EXPECT_EQ(row[2], "c");
    EXPECT_EQ(row, (TPointMarkRow{"a", "b" + std::string(row[1].substr(1)), "c"}));
    TPointMarkRow empty;
    empty[15] += "z";
    EXPECT_EQ(empty, (TPointMarkRow{"", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "z"}));
}
