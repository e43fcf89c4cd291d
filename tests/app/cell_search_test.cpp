// Find, replace and filter over code page 932 cells.

#include "app/cell_search.h"

#include <gtest/gtest.h>

#include "app/main_form.h"
#include "text/code_page_932.h"

namespace {

std::string sjis(std::u16string_view text) { return cp932::encode(text); }

bool found(std::u16string_view text, std::string_view cell, TMatchOptions options = {}) {
    return TCellMatcher(text, options).matches(cell);
}

constexpr TMatchOptions kJapanese{false, false, true};
constexpr TMatchOptions kMatchCase{true, false, false};
constexpr TMatchOptions kWholeCell{false, true, false};

// Records with these names in column 4 and "r<row>" in column 0.
void fillNames(TMainFormCore& form, const std::vector<std::u16string>& names) {
    form.Table.RecordCount = static_cast<int>(names.size());
    form.Table.setRowCount(form.Table.RecordCount + 1);
    for (int r = 1; r <= form.Table.RecordCount; ++r) {
        form.Table.setCell(0, r, "r" + std::to_string(r));
        form.Table.setCell(4, r, sjis(names[r - 1]));
    }
}

} // namespace

TEST(CellMatching, JapaneseOptionEquatesWidthsAndKana) {
    for (const std::u16string_view text : {u"ｶﾞｽ", u"ガス", u"がす"}) {
        for (const std::u16string_view cell : {u"ｶﾞｽ代", u"ガス代", u"がす代"}) {
            EXPECT_TRUE(found(text, sjis(cell), kJapanese));
            EXPECT_EQ(found(text, sjis(cell)), text[0] == cell[0]); // without the option only the same form
        }
    }
    EXPECT_TRUE(found(u"ABC", sjis(u"ＡＢＣ"), kJapanese));
    EXPECT_TRUE(found(u"ａｂｃ", sjis(u"xABCx"), kJapanese));
    EXPECT_FALSE(found(u"ａｂｃ", sjis(u"ABC"), {true, false, true}));
    EXPECT_FALSE(found(u"ABC", sjis(u"ＡＢＣ")));
    // ｶ is no ガ; a character that normalizes to several (㌔ to キロ) is matched whole or not at all.
    EXPECT_FALSE(found(u"カ", sjis(u"ｶﾞ"), kJapanese));
    EXPECT_TRUE(found(u"キロ", sjis(u"5㌔"), kJapanese));
    EXPECT_FALSE(found(u"キ", sjis(u"5㌔"), kJapanese));
    EXPECT_TRUE(found(u"ガ", sjis(u"ｶﾞ"), {false, true, true}));
    EXPECT_FALSE(found(u"ガ", sjis(u"ｶﾞｽ"), {false, true, true}));
}

TEST(CellMatching, CaseFoldsOnlyAsciiLettersAndNeverSplitsACharacter) {
    const std::string a = "\x83\x41"; // ア: its trail byte is "A"
    for (const TMatchOptions options : {TMatchOptions{}, kMatchCase, kJapanese, kWholeCell}) {
        EXPECT_FALSE(found(u"A", a, options));
        EXPECT_FALSE(found(u"a", a, options));
        EXPECT_FALSE(found(u"AB", a + "B", options));
        EXPECT_FALSE(found(u"ab", a + "b", options));
    }
    EXPECT_FALSE(found(u"ア", "\x83\x61")); // ヂ: its trail byte is "a"
    EXPECT_TRUE(found(u"B", a + "B"));
    EXPECT_TRUE(found(u"アb", a + "B"));
    EXPECT_FALSE(found(u"アb", a + "B", kMatchCase));
    EXPECT_TRUE(found(u"Tokyo", "TOKYO"));
    EXPECT_FALSE(found(u"Tokyo", "TOKYO", kMatchCase));
    EXPECT_FALSE(found(u"ａ", sjis(u"Ａ"))); // full-width letters keep their case
    // A lead byte without a valid trail stands alone; the byte after it begins a character.
    EXPECT_TRUE(found(u" x", "\x81 x"));
    // Characters that several byte sequences decode to are found in each of them.
    EXPECT_TRUE(found(u"Ⅱ", "\x87\x55"));
    EXPECT_TRUE(found(u"Ⅱ", "\xFA\x4B"));
    EXPECT_FALSE(found(u"é", "e"));
    EXPECT_TRUE(TCellMatcher(u"", {}).matchesNothing());
}

TEST(CellMatching, ReplacedKeepsTheBytesAroundEachMatch) {
    const TCellMatcher plain(u"a", {});
    const std::string cell = std::string("\xFF") + "Aba" + "\x83\x41"; // ア after "Aba"
    EXPECT_EQ(plain.replaced(cell, "[]"), std::string("\xFF") + "[]b[]" + "\x83\x41");
    EXPECT_EQ(plain.replaced("xyz", "[]"), std::nullopt);
    // The Japanese option replaces the cell characters that matched, whatever their width.
    const TCellMatcher japanese(u"ガス", kJapanese);
    EXPECT_EQ(japanese.replaced(sjis(u"ｶﾞｽ代とガス"), sjis(u"電気")), sjis(u"電気代と電気"));
    EXPECT_EQ(japanese.find(sjis(u"xｶﾞｽ")), (TByteRange{1, 4}));
    EXPECT_EQ(TCellMatcher(u"ガ", {false, true, true}).replaced(sjis(u"ｶﾞ"), "G"), "G");
    EXPECT_EQ(TCellMatcher(u"Ⅱ", {}).replaced("\xFA\x4B-\x87\x55", "2"), "2-2");
}

TEST(FindCell, VisitsTheScopeRowMajorAndWraps) {
    TMainFormCore form;
    fillNames(form, {u"東京駅", u"大阪", u"東京タワー"});
    const TCellMatcher tokyo(u"東京", {});
    EXPECT_EQ(findCell(form.Table, tokyo, {0, 0}), (TCellPos{4, 1}));
    EXPECT_EQ(findCell(form.Table, tokyo, {4, 1}), (TCellPos{4, 3}));
    EXPECT_EQ(findCell(form.Table, tokyo, {4, 3}), (TCellPos{4, 1}));       // wraps
    EXPECT_EQ(findCell(form.Table, tokyo, {4, 1}, true), (TCellPos{4, 3})); // backward wraps
    EXPECT_EQ(findCell(form.Table, tokyo, {5, 3}, true), (TCellPos{4, 3}));
    const TCellMatcher osaka(u"大阪", {});
    EXPECT_EQ(findCell(form.Table, osaka, {4, 2}), (TCellPos{4, 2})); // the only match again
    EXPECT_EQ(findCell(form.Table, osaka, {0, 0}, false, {3}), std::nullopt);
    const std::vector<int> shown{1, 2};
    EXPECT_EQ(findCell(form.Table, tokyo, {4, 1}, false, {4, &shown}), (TCellPos{4, 1}));
    EXPECT_EQ(findCell(form.Table, TCellMatcher(u"r", {}), {0, 2}, true, {kAllColumns, &shown}), (TCellPos{0, 1}));
    EXPECT_EQ(findCell(form.Table, TCellMatcher(u"DATUM", {}), {0, 0}), std::nullopt); // never the header
    EXPECT_EQ(matchingCells(form.Table, tokyo).size(), 2u);
}

TEST(Replace, OneCellAndAllAreEachOneUndoStep) {
    TMainFormCore form;
    fillNames(form, {u"さくら公園", u"公園前", u"駅"});
    form.Table.setCell(9, 2, sjis(u"公園"));
    EXPECT_TRUE(form.EditReplaceClick({4, 2}, u"公園", u"パーク", {}));
    EXPECT_EQ(form.Table.cell(4, 2), sjis(u"パーク前"));
    EXPECT_FALSE(form.EditReplaceClick({4, 3}, u"公園", u"パーク", {}));
    EXPECT_EQ(form.History.stepCount(), 1u);

    EXPECT_EQ(form.EditReplaceAllClick(u"ﾊﾟｰｸ", u"公園", kJapanese, {4}), 1);
    EXPECT_EQ(form.EditReplaceAllClick(u"公園", u"Park", {}), 3);
    EXPECT_EQ(form.Table.cell(4, 1), sjis(u"さくらPark"));
    EXPECT_EQ(form.Table.cell(9, 2), "Park");
    EXPECT_EQ(form.EditReplaceAllClick(u"公園", u"Park", {}), 0);
    EXPECT_EQ(form.History.stepCount(), 3u);
    for (int round = 0; round < 2; ++round) {
        form.EditUndoClick();
        EXPECT_EQ(form.Table.cell(4, 1), sjis(u"さくら公園"));
        EXPECT_EQ(form.Table.cell(4, 2), sjis(u"公園前"));
        EXPECT_EQ(form.Table.cell(9, 2), sjis(u"公園"));
        form.EditRedoClick();
        EXPECT_EQ(form.Table.cell(4, 2), "Park" + sjis(u"前"));
    }
    form.EditUndoClick();

    // Replacement text that Shift_JIS lacks is refused, named, and changes nothing.
    try {
        form.EditReplaceAllClick(u"公園", u"Café😀", {});
        FAIL() << "no exception";
    } catch (const EUnrepresentableText& e) {
        EXPECT_EQ(e.characters(), (std::vector<std::u16string>{u"é", u"😀"}));
        EXPECT_NE(std::string(e.what()).find("「é」(U+00E9) 「😀」(U+1F600)"), std::string::npos) << e.what();
    }
    EXPECT_THROW(form.EditReplaceClick({4, 1}, u"公園", u"é", {}), EUnrepresentableText);
    EXPECT_EQ(form.Table.cell(4, 1), sjis(u"さくら公園"));
    EXPECT_EQ(form.History.stepCount(), 3u);
}

TEST(RowFilter, ShowsRowsMeetingEveryCondition) {
    TMainFormCore form;
    fillNames(form, {u"東京駅", u"とうきょう", u"大阪駅", u"ﾄｳｷｮｳ"});
    form.Table.setCell(9, 3, sjis(u"駅"));
    auto rows = [&](const std::vector<TFilterCondition>& conditions, TMatchOptions options = {}) {
        return TRowFilter(conditions, options).matchingRows(form.Table, &form.SearchCache);
    };
    EXPECT_EQ(rows({{4, u"駅"}}), (std::vector<int>{1, 3}));
    EXPECT_EQ(rows({{4, u"駅"}, {9, u"駅"}}), (std::vector<int>{3}));
    EXPECT_EQ(rows({{kAllColumns, u"r4"}, {4, u""}}), (std::vector<int>{4}));
    EXPECT_EQ(rows({{4, u"トウキョウ"}}, kJapanese), (std::vector<int>{2, 4}));
    EXPECT_EQ(rows({{kAllColumns, u"Ｒ３"}}, kJapanese), (std::vector<int>{3}));
    EXPECT_EQ(rows({{4, u"駅"}}, kWholeCell), std::vector<int>{});
    EXPECT_EQ(rows({}).size(), 4u);
    EXPECT_EQ(rows({{16, u"x"}}), std::vector<int>{});

    // The cache normalizes a cell again only when its bytes changed.
    const std::size_t folded = form.SearchCache.foldCount();
    form.StringGridXMLSetEditText(4, 1, sjis(u"とうきょう駅"));
    EXPECT_EQ(rows({{4, u"トウキョウ"}}, kJapanese), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(form.SearchCache.foldCount(), folded + 1);
    form.EditUndoClick();
    EXPECT_EQ(rows({{4, u"トウキョウ"}}, kJapanese), (std::vector<int>{2, 4}));
}

TEST(RowFilter, TheCacheNormalizesEachTextOnceWhereverItsCellsMove) {
    TMainFormCore form;
    fillNames(form, {u"ﾄｳｷｮｳ駅", u"大阪", u"とうきょう", u"ﾄｳｷｮｳ駅", u"大阪", u"東京"});
    auto rowsOf = [&](std::u16string_view text) {
        std::vector<std::string> shown;
        for (const int row :
             TRowFilter({{4, std::u16string(text)}}, kJapanese).matchingRows(form.Table, &form.SearchCache))
            shown.push_back(form.Table.cell(0, row));
        return shown;
    };
    EXPECT_EQ(rowsOf(u"トウキョウ"), (std::vector<std::string>{"r1", "r3", "r4"}));
    EXPECT_EQ(form.SearchCache.foldCount(), 4u); // one per different cell text
    // A sort moves every row; the texts are found again by their bytes, nothing is normalized.
    form.EditSortClick(4, true);
    EXPECT_EQ(rowsOf(u"トウキョウ"), (std::vector<std::string>{"r1", "r4", "r3"}));
    EXPECT_EQ(rowsOf(u"大阪"), (std::vector<std::string>{"r2", "r5"}));
    form.EditUndoClick();
    EXPECT_EQ(rowsOf(u"駅"), (std::vector<std::string>{"r1", "r4"}));
    EXPECT_EQ(form.SearchCache.foldCount(), 4u);
    // Texts that no cell holds any more are let go of: ever new texts keep the cache small.
    for (int round = 0; round < 200; ++round) {
        for (int r = 1; r <= 6; ++r)
            form.Table.setCell(4, r, sjis(u"駅" + std::u16string(200, u'あ' + r + round % 50)) + std::to_string(round));
        const auto kana = static_cast<char16_t>(u'ア' + 1 + round % 50); // row 1's kana as katakana
        EXPECT_EQ(rowsOf(std::u16string(3, kana)), std::vector<std::string>{"r1"}) << round;
    }
    EXPECT_LT(form.SearchCache.heldBytes(), 250000u); // of about 1.4 MB normalized
}

TEST(RowFilter, CaseIgnoredFindAndFilterFoldEveryLetterFromAToZ) {
    TMainFormCore form;
    fillNames(form, {u"ZOO", u"zoo", u"ao", u"Ⅱz"});
    // Byte search, search on decoded units (Ⅱ has two byte sequences) and the Japanese option.
    for (const TMatchOptions options : {TMatchOptions{}, kJapanese}) {
        for (const std::u16string_view text : {u"z", u"Z", u"Ⅱz", u"ⅡZ"}) {
            const bool numeral = text.size() == 2;
            EXPECT_EQ(TRowFilter({{4, std::u16string(text)}}, options).matchingRows(form.Table, &form.SearchCache),
                      numeral ? std::vector<int>{4} : (std::vector<int>{1, 2, 4}))
                << options.japanese;
            EXPECT_EQ(findCell(form.Table, TCellMatcher(text, options), {4, 1}, false, {}, &form.SearchCache),
                      (TCellPos{4, numeral ? 4 : 2}));
        }
        EXPECT_EQ(TRowFilter({{4, u"A"}}, options).matchingRows(form.Table), std::vector<int>{3});
    }
}

TEST(SortDescending, ReversesTheOrderKeepsTiesAndUndoes) {
    TMainFormCore form;
    fillNames(form, {u"b", u"A", u"c", u"a"});
    const std::vector<TPointMarkRow> before = form.Table.rows();
    form.EditSortClick(4, true);
    std::vector<std::string> order;
    for (int r = 1; r <= 4; ++r) order.push_back(form.Table.cell(0, r));
    EXPECT_EQ(order, (std::vector<std::string>{"r3", "r1", "r2", "r4"})); // A and a tie: table order
    form.EditUndoClick();
    EXPECT_EQ(form.Table.rows(), before);
}
