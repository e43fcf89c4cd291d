#include <gtest/gtest.h>

#include "app/point_mark_table.h"
#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/utf8.h"

namespace {

std::string sjis(const char* utf8) { return cp932::encode(utf8ToUtf16(utf8)); }

} // namespace

TEST(PointMarkTable, HeaderTextsWidthsAndRequiredColumns) {
    TPointMarkTable table;
    table.writeHeaderRow();
    const char* expected[] = {"DATUM", "UNIT",     "TIME",     "NOTE",   "地点名",   "読み仮名",  "緯度",  "経度",
                              "住所",  "カテゴリ", "アイコン", "音種類", "繰り返し", "有効/無効", "距離1", "距離2"};
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(table.cell(c, 0), sjis(expected[c])) << c;
    EXPECT_EQ(table.cell(4, 0), "\x92\x6e\x93\x5f\x96\xbc"); // 地点名 in Shift_JIS
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.fixedRows(), 1);
    for (int c = 0; c < kColumnCount; ++c) {
        EXPECT_EQ(columnWidth(c), c == 4 || c == 5 ? 100 : 80) << c;
        EXPECT_TRUE(table.cell(c, 1).empty());
    }
    int required = 0;
    for (int c = 0; c < kColumnCount; ++c) required += isRequiredColumn(c);
    EXPECT_EQ(required, 8);
    EXPECT_TRUE(isRequiredColumn(10));
    EXPECT_FALSE(isRequiredColumn(3));
}

TEST(PointMarkTable, RowCountClampAndFixedRowRule) {
    TPointMarkTable table;
    table.writeHeaderRow();
    table.setRowCount(5);
    EXPECT_EQ(table.rowCount(), 5);
    EXPECT_EQ(table.fixedRows(), 1);

    table.setRowCount(0);
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.fixedRows(), 0);
    EXPECT_EQ(table.cell(0, 0), "DATUM"); // row 0 keeps its texts as an ordinary row

    table.setRowCount(4);
    EXPECT_EQ(table.fixedRows(), 0); // a header does not come back

    TPointMarkTable other;
    other.setRowCount(-7);
    EXPECT_EQ(other.rowCount(), 1);
    EXPECT_EQ(other.fixedRows(), 0);
}

TEST(PointMarkTable, CutOffRowsComeBackEmpty) {
    TPointMarkTable table;
    table.setRowCount(4);
    table.setCell(3, 3, "kept?");
    table.setCell(2, 1, "stays");
    table.setRowCount(2);
    EXPECT_EQ(table.cell(3, 3), ""); // outside the table reads empty
    table.setRowCount(4);
    EXPECT_EQ(table.cell(3, 3), "");
    EXPECT_EQ(table.cell(2, 1), "stays");
}

TEST(PointMarkTable, CellsRowsAndColumnsHoldAnyBytes) {
    TPointMarkTable table;
    table.setRowCount(3);
    const std::string odd = std::string("a,\"b\"<&>\r\n\x81\x00\xff", 12);
    table.setCell(15, 2, odd);
    EXPECT_EQ(table.cell(15, 2), odd);

    table.setRowList(1, {"x", "y", "z"});
    EXPECT_EQ(table.cell(0, 1), "x");
    EXPECT_EQ(table.cell(2, 1), "z");
    EXPECT_EQ(table.cell(3, 1), "");
    const std::vector<std::string> row = table.rowList(1);
    ASSERT_EQ(row.size(), 16u);
    EXPECT_EQ(row[1], "y");

    const std::vector<std::string> column = table.column(15);
    ASSERT_EQ(column.size(), 3u);
    EXPECT_EQ(column[2], odd);

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
    {
        TTableUpdate quiet(table); // nothing changed: no reset
    }
    table.setRowCount(1); // loses the header row
    const std::vector<std::string> expected = {"cells 3,1-3,1", "rows 2->4", "cells 0,2-15,2", "reset", "reset"};
    EXPECT_EQ(log, expected);
}
