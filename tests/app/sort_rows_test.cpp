#include "app/sort_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "app/common.h"
#include "app/point_mark_table.h"
#include "text/code_page_932.h"

namespace {

std::string sjis(std::u16string_view text) { return cp932::encode(text); }

// A table with its header row and one record per name, the name in column 4 and the record's
// original position in column 0.
TPointMarkTable tableOfNames(const std::vector<std::string>& names) {
    TPointMarkTable table;
    table.writeHeaderRow();
    table.setRowCount(static_cast<int>(names.size()) + 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        table.setCell(0, static_cast<int>(i) + 1, std::to_string(i));
        table.setCell(4, static_cast<int>(i) + 1, names[i]);
    }
    table.RecordCount = static_cast<int>(names.size());
    return table;
}

std::vector<std::string> columnCells(const TPointMarkTable& table, int column) {
    std::vector<std::string> cells = table.column(column);
    cells.erase(cells.begin(), cells.begin() + table.fixedRows());
    return cells;
}

// The string list's quicksort written out recursively, to compare the placement of equal keys.
void referenceQuickSort(std::vector<std::size_t>& order, const std::vector<std::string>& keys, int l, int r) {
    int i;
    do {
        i = l;
        int j = r;
        int p = (l + r) / 2;
        do {
            while (keys[order[i]] < keys[order[p]]) ++i;
            while (keys[order[j]] > keys[order[p]]) --j;
            if (i <= j) {
                std::swap(order[i], order[j]);
                if (p == i)
                    p = j;
                else if (p == j)
                    p = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (l < j) referenceQuickSort(order, keys, l, j);
        l = i;
    } while (i < r);
}

// Keys on which the middle-pivot quicksort partitions as badly as it can: the adversary runs the
// sort and fixes each still undecided pivot as the smallest value left.
std::vector<std::string> quadraticKeys(int count) {
    std::vector<int> value(count, -1);
    std::vector<int> order(count);
    for (int i = 0; i < count; ++i) order[i] = i;
    int next = 0;
    auto key = [&](int position) { return value[order[position]] < 0 ? count : value[order[position]]; };
    std::vector<std::pair<int, int>> pending{{0, count - 1}};
    while (!pending.empty()) {
        auto [l, r] = pending.back();
        pending.pop_back();
        for (int i = l; i < r;) {
            i = l;
            int j = r;
            int p = (l + r) / 2;
            if (value[order[p]] < 0) value[order[p]] = next++;
            do {
                while (key(i) < key(p)) ++i;
                while (key(j) > key(p)) --j;
                if (i <= j) {
                    std::swap(order[i], order[j]);
                    p = p == i ? j : p == j ? i : p;
                    ++i;
                    --j;
                }
            } while (i <= j);
            if (l < j) pending.push_back({l, j});
            l = i;
        }
    }
    std::vector<std::string> keys;
    for (int v : value) keys.push_back(std::to_string(1000000 + (v < 0 ? next++ : v)));
    return keys;
}

} // namespace

TEST(SortOrder, JapaneseCollationIgnoringCase) {
    TPointMarkTable table = tableOfNames({"banana", "Apple", "", "apricot", "BANANA2", "10", "9", sjis(u"さくら"),
                                          sjis(u"カメラ"), sjis(u"あさひ"), "", sjis(u"東京")});
    const TPointMarkRow header = table.row(0);
    SortGridRows(table, 4);
    const std::vector<std::string> names = columnCells(table, 4);
    const std::vector<std::string> expectedTail = {
        "10",         "9", "Apple", "apricot", "banana", "BANANA2", sjis(u"あさひ"), sjis(u"カメラ"), sjis(u"さくら"),
        sjis(u"東京")};
    ASSERT_EQ(names.size(), 12u);
    EXPECT_EQ(names[0], ""); // empty cells first
    EXPECT_EQ(names[1], "");
    EXPECT_EQ(std::vector<std::string>(names.begin() + 2, names.end()), expectedTail);
    EXPECT_EQ(table.row(0), header); // the header row stays
    EXPECT_EQ(table.rowCount(), 13);
    EXPECT_EQ(table.RecordCount, 12);
    // Whole rows move: the original position travels with its name.
    EXPECT_EQ(table.cell(0, 3), "5");   // "10"
    EXPECT_EQ(table.cell(0, 12), "11"); // 東京
}

TEST(SortOrder, ComparisonOfSingleCells) {
    EXPECT_LT(compareLocale("", "\x01"), 0);    // even a cell of ignorable characters follows an empty one
    EXPECT_LT(compareLocale("10.2", "9.5"), 0); // latitudes compare as text
    EXPECT_LT(compareLocale(sjis(u"いぬ"), sjis(u"ネコ")), 0);  // い before ね, hiragana or katakana
    EXPECT_LT(compareLocale(sjis(u"ｶﾒﾗ"), sjis(u"さくら")), 0); // half-width katakana read as kana
    EXPECT_EQ(compareLocale(sjis(u"ｶﾒﾗ"), sjis(u"カメラ")), 0);
    EXPECT_LT(compareLocale(sjis(u"か"), sjis(u"が")), 0); // voiced mark is a secondary difference
}

TEST(SortOrder, QuickSortPlacesEqualKeysLikeTheStringListSort) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const int count = 1 + static_cast<int>(random() % 60);
        std::vector<std::string> keys(count);
        for (auto& key : keys) key = std::string(1, static_cast<char>('a' + random() % 4));
        std::vector<std::size_t> expected(count);
        for (int i = 0; i < count; ++i) expected[i] = static_cast<std::size_t>(i);
        referenceQuickSort(expected, keys, 0, count - 1);
        EXPECT_EQ(quickSortOrder(keys), expected) << "round " << round;
    }
    EXPECT_TRUE(quickSortOrder({}).empty());
    EXPECT_EQ(quickSortOrder({"x"}), std::vector<std::size_t>{0});
    // Keys that drive the plain quicksort to its worst case still come out in order (the badly
    // partitioned ranges are finished another way).
    const std::vector<std::string> keys = quadraticKeys(4000);
    const std::vector<std::size_t> order = quickSortOrder(keys);
    EXPECT_TRUE(
        std::is_sorted(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; }));
    EXPECT_EQ(std::set<std::size_t>(order.begin(), order.end()).size(), keys.size());
}

TEST(SortRows, CasesThatChangeNothingOrKeepEveryRow) {
    TPointMarkTable table = tableOfNames({"b", "a", "c"});
    const std::vector<TPointMarkRow> before = table.rows();
    SortGridRows(table, -1); // a typed text that is no column
    SortGridRows(table, 16);
    EXPECT_EQ(table.rows(), before);

    TPointMarkTable one = tableOfNames({"z"});
    const std::vector<TPointMarkRow> oneBefore = one.rows();
    SortGridRows(one, 4);
    EXPECT_EQ(one.rows(), oneBefore);

    // A column whose cells are all empty keeps every row (in some order).
    SortGridRows(table, 7);
    std::vector<std::string> positions = columnCells(table, 0);
    std::sort(positions.begin(), positions.end());
    EXPECT_EQ(positions, (std::vector<std::string>{"0", "1", "2"}));

    // Without a header row, row 0 is a data row and sorts with the others.
    TPointMarkTable headless;
    headless.setRowCount(1);
    headless.setRowCount(3);
    headless.setCell(4, 0, "c");
    headless.setCell(4, 1, "a");
    headless.setCell(4, 2, "B");
    SortGridRows(headless, 4);
    EXPECT_EQ(headless.column(4), (std::vector<std::string>{"a", "B", "c"}));
}
