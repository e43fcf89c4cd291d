// The paths where a user's points could be lost without a word: files that break off, undo past
// the file that was opened, saves that write less than the file held, codes that do not survive.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/point_mark_writer.h"
#include "tests/support/tagged_records.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/file_io.h"
#include "text/utf8.h"

namespace {

class FileSafety : public ::testing::Test {
protected:
    // Records whose cells hold "<tag>R-C".
    static void fill(TMainFormCore& form, int records, const std::string& tag) {
        fillTaggedRecords(form.Table, records, tag);
    }

    // A point-mark file of records (no DTD beside it: the built-in one is used).
    std::string writeRecords(const std::string& name, int records, const std::string& tag) const {
        TMainFormCore source;
        fill(source, records, tag);
        EXPECT_TRUE(source.SaveFile(dir_.path(name)).empty());
        return dir_.path(name);
    }

    // The same file cut off inside its second record's latitude by a reference that never ends;
    // line is set to the line of the cut.
    std::string writeCutFile(const std::string& name, int records, int& line) const {
        const std::string whole = readWholeFile(writeRecords(name, records, "r"));
        const std::size_t cut = whole.find("<lat>r2-6") + 5;
        line = static_cast<int>(std::count(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut), '\n')) + 1;
        writeFileAtomically(dir_.path(name), whole.substr(0, cut) + "&bad");
        return dir_.path(name);
    }

    struct Snapshot {
        std::vector<TPointMarkRow> rows;
        int records;
        bool modified;
        std::string currentFile;
        std::string status;
        bool operator==(const Snapshot&) const = default;
    };
    static Snapshot snapshot(const TMainFormCore& form) {
        return {form.Table.rows(), form.Table.RecordCount, form.Modified, form.CurrentFileName, form.Table.StatusText};
    }

    TemporaryDirectory dir_{"pm-safety"};
};

} // namespace

TEST_F(FileSafety, AFileThatBreaksOffIsTakenOnlyWhenTheUserSaysSoAndNeverWithHalfARecord) {
    int line = 0;
    const std::string cut = writeCutFile("cut.xml", 3, line);
    TMainFormCore form;
    fill(form, 4, "mine");
    form.StringGridXMLSetEditText(3, 2, "edited");
    const Snapshot before = snapshot(form);

    std::vector<std::pair<TReadStop, bool>> asked;
    bool answer = false;
    form.OnReadStopped = [&](const TReadStop& stop, bool replace) {
        asked.emplace_back(stop, replace);
        return answer;
    };
    // Declined, a load and an add leave everything as it was.
    EXPECT_EQ(form.FileLoadXMLClick(cut), 0);
    EXPECT_EQ(form.FileAddClick(cut), 0);
    EXPECT_EQ(snapshot(form), before);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[0].second);
    EXPECT_FALSE(asked[1].second);
    const TReadStop& stop = asked[0].first;
    EXPECT_EQ(stop.records, 1);
    EXPECT_TRUE(stop.recordCut);
    EXPECT_EQ(stop.line, line);
    EXPECT_EQ(stop.fileName, cut);
    EXPECT_NE(stop.reason.find("&bad"), std::string::npos) << stop.reason;
    ASSERT_TRUE(form.LastReadStop);

    // Accepted, the add takes record 1 whole and nothing of the record the error broke into.
    answer = true;
    EXPECT_EQ(form.FileAddClick(cut), 1);
    EXPECT_EQ(form.Table.RecordCount, 5);
    EXPECT_EQ(form.Table.cell(6, 5), "r1-6");
    EXPECT_EQ(form.Table.rowCount(), 6);
    form.EditUndoClick();
    EXPECT_EQ(snapshot(form).rows, before.rows);

    // A file read to its end asks nothing and leaves no stop behind.
    const std::string whole = writeRecords("whole.xml", 2, "w");
    EXPECT_EQ(form.FileLoadXMLClick(whole), 2);
    EXPECT_FALSE(form.LastReadStop);
    EXPECT_EQ(asked.size(), 3u);

    // A break between two records cuts nothing off.
    const std::string bytes = readWholeFile(whole);
    writeFileAtomically(dir_.path("between.xml"),
                        bytes.substr(0, bytes.find("<format>", bytes.find("<format>") + 1)) + "<&");
    EXPECT_EQ(form.FileLoadXMLClick(dir_.path("between.xml")), 1);
    ASSERT_TRUE(form.LastReadStop);
    EXPECT_FALSE(form.LastReadStop->recordCut);
    EXPECT_EQ(form.Table.cell(6, 1), "w1-6");
}

TEST_F(FileSafety, UndoStopsAtTheFileLoadedIntoAnEmptyWindowButALoadOverWorkCanBeUndone) {
    const std::string three = writeRecords("three.xml", 3, "t");
    TMainFormCore form;
    EXPECT_EQ(form.FileLoadXMLClick(three), 3);
    form.StringGridXMLSetEditText(4, 1, "edited");
    form.EditUndoClick();
    form.EditUndoClick(); // one more than the edits: nothing left to take back
    EXPECT_FALSE(form.History.canUndo());
    EXPECT_EQ(form.Table.RecordCount, 3);
    EXPECT_EQ(form.Table.cell(4, 1), "t1-4");
    EXPECT_FALSE(form.Modified);

    // Over edited work the load is a step, and undoing it brings the work back.
    form.StringGridXMLSetEditText(4, 2, "work");
    EXPECT_EQ(form.FileLoadXMLClick(writeRecords("two.xml", 2, "u")), 2);
    form.EditUndoClick();
    EXPECT_EQ(form.Table.RecordCount, 3);
    EXPECT_EQ(form.Table.cell(4, 2), "work");
    EXPECT_TRUE(form.Modified);
}

TEST_F(FileSafety, UndoAndRedoAfterASaveFollowTheSavedState) {
    TMainFormCore form;
    form.StringGridXMLSetEditText(4, 1, "a");
    form.StringGridXMLSetEditText(4, 1, "b");
    form.FileSaveXMLClick(dir_.path("s.csv"));
    form.EditUndoClick();
    EXPECT_TRUE(form.Modified);
    form.EditRedoClick();
    EXPECT_FALSE(form.Modified);
    form.EditUndoClick();
    form.EditUndoClick();
    form.EditRedoClick();
    form.EditRedoClick();
    EXPECT_FALSE(form.Modified);
}

TEST_F(FileSafety, ASaveNeverWritesFewerRecordsOverAFileWithoutAsking) {
    const std::string thirty = writeRecords("thirty.xml", 30, "p");
    const std::string csv = dir_.path("thirty.csv");
    {
        TMainFormCore source;
        fill(source, 30, "p");
        source.SaveFile(csv);
    }
    const std::string xmlBytes = readWholeFile(thirty), csvBytes = readWholeFile(csv);
    TMainFormCore form;
    EXPECT_EQ(form.FileLoadXMLClick(thirty), 30);
    form.EditDeleteRows({2, 3});

    std::vector<std::pair<int, int>> asked;
    bool answer = false;
    form.OnFewerRecords = [&](const std::string&, int inFile, int toWrite) {
        asked.emplace_back(inFile, toWrite);
        return answer;
    };
    for (const std::string& name : {thirty, csv}) {
        const TSaveReport report = form.FileSaveXMLClick(name);
        EXPECT_FALSE(report.written);
    }
    EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{30, 28}, {30, 28}}));
    EXPECT_EQ(readWholeFile(thirty), xmlBytes);
    EXPECT_EQ(readWholeFile(csv), csvBytes);
    EXPECT_TRUE(form.Modified);
    EXPECT_EQ(form.Table.StatusText, "load: " + thirty);

    // As many records or more is not asked about; a new file neither.
    form.EditUndoClick();
    EXPECT_TRUE(form.FileSaveXMLClick(thirty).written);
    EXPECT_TRUE(form.FileSaveXMLClick(dir_.path("new.xml")).written);
    EXPECT_EQ(asked.size(), 2u);
    answer = true;
    form.EditDeleteRows({1});
    EXPECT_TRUE(form.FileSaveXMLClick(thirty).written);
    EXPECT_EQ(asked.back(), std::make_pair(30, 29));
}

TEST_F(FileSafety, ASaveThatLeavesRowsOutKeepsTheTableModified) {
    TMainFormCore form;
    fill(form, 3, "k");
    form.StringGridXMLSetEditText(4, 2, ""); // a required cell emptied: row 2 cannot be written
    const TSaveReport report = form.FileSaveXMLClick(dir_.path("k.xml"));
    EXPECT_EQ(report.skippedRows, std::vector<int>{2});
    EXPECT_TRUE(form.Modified);
    EXPECT_EQ(form.RowsLeftOut, std::vector<int>{2});
    form.EditUndoClick(); // no state of the history is what the file holds
    EXPECT_TRUE(form.Modified);
    EXPECT_TRUE(form.RowsLeftOut.empty());
    form.EditRedoClick();
    EXPECT_TRUE(form.Modified);
    form.StringGridXMLSetEditText(4, 2, "filled");
    EXPECT_TRUE(form.FileSaveXMLClick(dir_.path("k.xml")).empty());
    EXPECT_FALSE(form.Modified);
}

TEST_F(FileSafety, UnassignedCodesAndAttributeWhiteSpaceAreReportedOrKeptOnSave) {
    TMainFormCore form;
    fill(form, 3, "c");
    form.Table.setCell(4, 1, std::string("a\x85\x40") + "b");
    form.Table.setCell(8, 3, "\xFC\xFC");
    form.Table.setCell(3, 2, "\x81\x45"); // the one pair that is "・" itself
    form.Table.setCell(12, 2, "a\tb\nc");
    const TSaveReport report = form.FileSaveXMLClick(dir_.path("codes.xml"));
    EXPECT_EQ(report.unassignedCodeRows, (std::vector<int>{1, 3}));
    EXPECT_NE(saveReportMessage(report).find("1, 3"), std::string::npos) << saveReportMessage(report);
    const std::string bytes = readWholeFile(dir_.path("codes.xml"));
    EXPECT_NE(bytes.find("repeat=\"a&#9;b&#10;c\""), std::string::npos);
    EXPECT_NE(bytes.find("a\x85\x40"
                         "b"),
              std::string::npos); // written as it is

    TMainFormCore reader;
    EXPECT_EQ(reader.FileLoadXMLClick(dir_.path("codes.xml")), 3);
    EXPECT_EQ(reader.Table.cell(12, 2), "a\tb\nc");

    // Read back, each code that became "・" is named with its record and column; the real "・" is not.
    form.Table.setCell(12, 3, "r\xEB\x40");
    form.FileSaveXMLClick(dir_.path("codes.xml"));
    EXPECT_EQ(reader.FileLoadXMLClick(dir_.path("codes.xml")), 3);
    EXPECT_EQ(reader.Table.cell(4, 1), "a\x81\x45"
                                       "b");
    std::vector<std::string> lines;
    for (const std::string& line : reader.Memo1)
        if (line.find("Shift_JIS") != std::string::npos) lines.push_back(utf16ToUtf8(cp932::decode(line)));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Record 1: bytes that are no Shift_JIS character were read as \"・\": 地点名 85 40");
    EXPECT_EQ(lines[1],
              "Record 3: bytes that are no Shift_JIS character were read as \"・\": 住所 FC FC, 繰り返し EB 40");

    // At most 100 lines, then how many more records hold such bytes.
    fill(form, 150, "m");
    for (int r = 1; r <= 150; ++r) form.Table.setCell(3, r, "\x85\x40");
    form.FileSaveXMLClick(dir_.path("many.xml"));
    EXPECT_EQ(reader.FileLoadXMLClick(dir_.path("many.xml")), 150);
    const auto first = std::find_if(reader.Memo1.begin(), reader.Memo1.end(),
                                    [](const std::string& line) { return line.starts_with("Record 1:"); });
    ASSERT_GE(reader.Memo1.end() - first, 101);
    EXPECT_TRUE(first[99].starts_with("Record 100:"));
    EXPECT_EQ(first[100], "... and 50 more records with such bytes");
}
