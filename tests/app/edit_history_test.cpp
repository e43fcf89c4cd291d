// Undo and redo of every command, driven through the core as the window drives it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <source_location>
#include <string>

#include "app/clipboard_text.h"
#include "app/main_form.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/file_io.h"
#include "text/utf8.h"

namespace {

std::string sjis(const char* utf8) { return cp932::encode(utf8ToUtf16(utf8)); }

class EditHistory : public ::testing::Test {
protected:
    void SetUp() override {
        // Five records whose name column holds e, d, c, b, a.
        form.Table.RecordCount = 5;
        form.Table.setRowCount(6);
        for (int r = 1; r <= 5; ++r)
            for (int c = 0; c < kColumnCount; ++c)
                form.Table.setCell(c, r, c == 4 ? std::string(1, static_cast<char>('f' - r)) : std::to_string(r * 100 + c));
        form.FileSaveXMLClick(dir_.path("start.csv"));
    }

    struct State {
        std::vector<TPointMarkRow> rows;
        int recordCount;
        bool operator==(const State&) const = default;
    };
    State state() const { return {form.Table.rows(), form.Table.RecordCount}; }

    // Runs a command, then undoes and redoes it twice: each undo gives back the state before,
    // each redo the state after, and undoing to the saved state clears Modified. A failure names
    // the line that asked for the command.
    void expectUndoable(const std::function<void()>& command,
                        std::source_location caller = std::source_location::current()) {
        const testing::ScopedTrace trace(caller.file_name(), static_cast<int>(caller.line()), "this command");
        const State before = state();
        const bool modifiedBefore = form.Modified;
        command();
        const State after = state();
        ASSERT_NE(after, before) << "the command changed nothing";
        EXPECT_TRUE(form.Modified);
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round == 0 ? "first undo and redo" : "second undo and redo");
            form.EditUndoClick();
            EXPECT_EQ(state(), before);
            EXPECT_EQ(form.Modified, modifiedBefore);
            form.EditRedoClick();
            EXPECT_EQ(state(), after);
            EXPECT_TRUE(form.Modified);
        }
    }

    TMainFormCore form;
    TemporaryDirectory dir_{"pm-history"};
};

} // namespace

TEST_F(EditHistory, EveryCommandIsOneStepThatUndoesAndRedoes) {
    expectUndoable([&] { form.StringGridXMLSetEditText(3, 2, sjis("編集")); });
    expectUndoable([&] { form.EditAddClick(); });
    expectUndoable([&] { form.EditInsertClick(2); });
    expectUndoable([&] { form.EditSortClick(4); });
    expectUndoable([&] {
        form.StringGridXMLSelectCell(0, 3);
        form.EditDeleteClick();
    });
    expectUndoable([&] { form.EditDeleteRows({1, 3, 4}); });
    expectUndoable([&] { form.EditPaste(14, 2, {{"a", "b", "dropped"}, {"c"}}); });
    expectUndoable([&] { form.EditClearCells({{0, 1}, {5, 2}, {0, 0}}); });
    writeFileAtomically(dir_.path("two.csv"), "H\r\nx1\r\nx2\r\n");
    expectUndoable([&] { form.FileAddClick(dir_.path("two.csv")); });
    expectUndoable([&] { form.DropFiles({dir_.path("two.csv"), dir_.path("two.csv")}); });
    EXPECT_EQ(form.History.stepCount(), 10u);
}

TEST_F(EditHistory, SortUndoRestoresTheExactOrderAndANewEditDropsTheRedoList) {
    // Equal keys: the sort may put them in any order; undo must restore this one.
    form.Table.setCell(4, 1, "same");
    form.Table.setCell(4, 3, "SAME");
    const State before = state();
    form.EditSortClick(4);
    EXPECT_NE(state(), before);
    form.EditUndoClick();
    EXPECT_EQ(state(), before);

    form.StringGridXMLSetEditText(0, 1, "new");
    EXPECT_FALSE(form.History.canRedo()); // the sort cannot come back after a new edit
    form.EditRedoClick();
    EXPECT_EQ(form.Table.cell(0, 1), "new");
    form.EditUndoClick();
    form.EditUndoClick(); // nothing more to undo: no change
    EXPECT_EQ(state(), before);
}

TEST_F(EditHistory, LoadsAndSavesKeepTheHistoryAndMarkTheSavedState) {
    form.StringGridXMLSetEditText(0, 1, "edited");
    writeFileAtomically(dir_.path("other.csv"), "H\r\nonly\r\n");
    const State edited = state();
    EXPECT_EQ(form.FileLoadXMLClick(dir_.path("other.csv")), 1);
    EXPECT_FALSE(form.Modified);
    form.EditUndoClick(); // the load itself is a step: the edited table comes back
    EXPECT_EQ(state(), edited);
    EXPECT_TRUE(form.Modified);
    form.EditUndoClick();
    EXPECT_TRUE(form.Modified); // as saved in SetUp, but the current file is the loaded one
    form.EditRedoClick();
    form.EditRedoClick();
    EXPECT_FALSE(form.Modified); // the loaded state again
    form.EditUndoClick();
    form.FileSaveXMLClick(dir_.path("edited.csv"));
    EXPECT_FALSE(form.Modified);
    form.EditUndoClick();
    EXPECT_TRUE(form.Modified);
    form.StringGridXMLSetEditText(1, 1, "branch"); // the saved state is now out of reach
    form.EditUndoClick();
    EXPECT_TRUE(form.Modified);

    // A failed load is no step at all.
    const std::size_t steps = form.History.stepCount();
    EXPECT_THROW(form.FileLoadXMLClick(dir_.path("missing.csv")), EFOpenError);
    EXPECT_EQ(form.History.stepCount(), steps);
}

TEST_F(EditHistory, MultiRowDeleteKeepsAnEmptyRecordAndPasteGrowsTheTable) {
    form.EditDeleteRows({5, 2, 2, 0, 99}); // duplicates, the header row and rows outside are ignored
    EXPECT_EQ(form.Table.RecordCount, 3);
    EXPECT_EQ(form.Table.rowCount(), 4);
    EXPECT_EQ(form.Table.cell(0, 2), "300");
    EXPECT_EQ(form.Table.cell(0, 0), "DATUM");
    form.EditDeleteRows({1, 2, 3});
    EXPECT_EQ(form.Table.RecordCount, 1);
    EXPECT_EQ(form.Table.rowCount(), 2);
    EXPECT_EQ(form.Table.row(1), TPointMarkRow{});
    form.EditUndoClick();
    EXPECT_EQ(form.Table.RecordCount, 3);
    EXPECT_EQ(form.Table.cell(0, 3), "400");

    // A block reaching below the last record adds records; one step.
    form.EditPaste(15, 3, pasteCellsOf(u"a\tcut\nb\nc\n"));
    EXPECT_EQ(form.Table.RecordCount, 5);
    EXPECT_EQ(form.Table.cell(15, 3), "a");
    EXPECT_EQ(form.Table.cell(15, 5), "c");
    EXPECT_EQ(form.Table.cell(0, 5), "");
    form.EditUndoClick();
    EXPECT_EQ(form.Table.RecordCount, 3);
    EXPECT_EQ(form.Table.rowCount(), 4);
}

TEST(ClipboardText, RangesRoundTripThroughTabSeparatedText) {
    TPointMarkTable table;
    table.setRowCount(3);
    table.setCell(0, 1, sjis("東京駅"));
    table.setCell(1, 1, "tab\there");
    table.setCell(0, 2, "say \"hi\"");
    table.setCell(1, 2, "two\r\nlines");
    const std::u16string text = copyCellsText(table, 0, 1, 1, 2);
    EXPECT_EQ(text, u"東京駅\t\"tab\there\"\n\"say \"\"hi\"\"\"\t\"two\r\nlines\"\n");
    const auto cells = pasteCellsOf(text);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0], (std::vector<std::string>{sjis("東京駅"), "tab\there"}));
    EXPECT_EQ(cells[1], (std::vector<std::string>{"say \"hi\"", "two\r\nlines"}));

    // What other programs put on the clipboard: CR LF rows, ragged rows, a final line end or none,
    // empty fields, text after a closing quote, characters Shift_JIS lacks.
    using Rows = std::vector<std::vector<std::u16string>>;
    EXPECT_EQ(parseTabSeparated(u"a\tb\r\nc\r\n"), (Rows{{u"a", u"b"}, {u"c"}}));
    EXPECT_EQ(parseTabSeparated(u"one"), (Rows{{u"one"}}));
    EXPECT_EQ(parseTabSeparated(u"\t\n\n"), (Rows{{u"", u""}, {u""}}));
    EXPECT_EQ(parseTabSeparated(u"\"ab\"c\td"), (Rows{{u"abc", u"d"}}));
    EXPECT_EQ(parseTabSeparated(u"5\"\tx"), (Rows{{u"5\"", u"x"}}));
    EXPECT_EQ(parseTabSeparated(u""), Rows{});
    EXPECT_EQ(pasteCellsOf(u"Café"), (std::vector<std::vector<std::string>>{{"Caf?"}}));
}

TEST_F(EditHistory, TheOldestStepsGoBeyondTheMemoryBudget) {
    form.History.byteBudget = 1000;
    const std::string large(400, 'x');
    for (int i = 0; i < 5; ++i) form.Table.setCell(3, 1 + i, large);
    // Each edit keeps the 400-byte text it replaced.
    for (int i = 0; i < 5; ++i) form.StringGridXMLSetEditText(3, 1 + i, "small");
    EXPECT_EQ(form.History.stepCount(), 2u);
    form.EditUndoClick();
    form.EditUndoClick();
    EXPECT_FALSE(form.History.canUndo());
    EXPECT_EQ(form.Table.cell(3, 3), "small"); // the forgotten steps stay made
    EXPECT_EQ(form.Table.cell(3, 4), large);
    EXPECT_TRUE(form.Modified);              // and the saved state is out of reach
}
