#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <unistd.h>

#include "app/main_form.h"
#include "app/point_mark_writer.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/file_io.h"
#include "text/utf8.h"

namespace {

class MainFormCoreTest : public ::testing::Test {
protected:
    // Records whose cells hold row * 100 + column.
    void fillRecords(int records) {
        form.Table.RecordCount = records;
        form.Table.setRowCount(records + 1);
        for (int r = 1; r <= records; ++r)
            for (int c = 0; c < kColumnCount; ++c) form.Table.setCell(c, r, std::to_string(r * 100 + c));
    }

    TMainFormCore form;
    TemporaryDirectory dir_{"pm-core"};
};

} // namespace

TEST_F(MainFormCoreTest, StartUpAndReadsThatFailChangeNothing) {
    EXPECT_EQ(form.Table.rowCount(), 2);
    EXPECT_EQ(form.Table.cell(0, 0), "DATUM");
    EXPECT_EQ(form.Timer1Timer(), "     1 / 1       ");
    EXPECT_FALSE(form.Modified);

    fillRecords(10);
    form.StringGridXMLSelectCell(4, 3);
    const auto rowsBefore = form.Table.rows();
    // Names with neither ending (other letter cases included) are refused with a clear error.
    for (const std::string name : {"/data/points.Xml", "/data/地点.txt", "/data/b.Csv"}) {
        EXPECT_THROW(form.FileLoadXMLClick(name), EFOpenError) << name;
        EXPECT_THROW(form.FileAddClick(name), EFOpenError) << name;
        ASSERT_FALSE(form.Memo1.empty());
        EXPECT_NE(utf16ToUtf8(cp932::decode(form.Memo1.back())).find("No record was read from " + name),
                  std::string::npos);
    }
    EXPECT_THROW(form.DropFiles({"a.txt", "b.Csv", "c.xML"}), EFOpenError);
    EXPECT_EQ(form.Memo1.size(), 3u); // one line for each dropped file
    EXPECT_EQ(form.Table.rows(), rowsBefore);
    EXPECT_EQ(form.Timer1Timer(), "     3 / 10       "); // status untouched by failures

    EXPECT_TRUE(hasXmlEnding("a.XML") && hasXmlEnding(".xml") && hasCsvEnding("b.CSV") && hasCsvEnding("b.csv"));
    EXPECT_FALSE(hasXmlEnding("a.Xml") || hasXmlEnding("a.xml ") || hasCsvEnding("b.cSV") || hasCsvEnding("b.xml"));
}

TEST_F(MainFormCoreTest, SaveCommandWritesByNameEnding) {
    fillRecords(2);
    form.Table.setCell(10, 2, ""); // row 2 lacks its icon
    EXPECT_EQ(form.FileSaveXMLClick(dir_.path("out.XML")).skippedRows, std::vector<int>{2});
    EXPECT_EQ(form.Table.StatusText, "save: " + dir_.path("out.XML"));
    EXPECT_EQ(form.CurrentFileName, dir_.path("out.XML"));
    EXPECT_EQ(readWholeFile(dir_.path("out.XML")), buildPointMarkXml(form.Table));

    // A name with neither ending is refused, writes nothing and leaves the status line.
    for (const std::string name : {"/out.Xml", "/out"}) {
        try {
            form.FileSaveXMLClick(dir_.path() + name);
            FAIL() << "no error for " << name;
        } catch (const EFCreateError& e) {
            EXPECT_NE(e.message().find(".xml or .csv"), std::string::npos) << e.message();
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1); // only out.XML
    EXPECT_EQ(form.Table.StatusText, "save: " + dir_.path("out.XML"));

    // A file that cannot be created: the error names it; status, current file and table stay.
    form.EditAddClick();
    const auto rowsBefore = form.Table.rows();
    const std::string bad = dir_.path("missing/out.xml");
    try {
        form.FileSaveXMLClick(bad);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_NE(e.message().find(bad), std::string::npos);
    }
    EXPECT_EQ(form.Table.StatusText, "save: " + dir_.path("out.XML"));
    EXPECT_EQ(form.CurrentFileName, dir_.path("out.XML"));
    EXPECT_TRUE(form.Modified);
    EXPECT_EQ(form.Table.rows(), rowsBefore);
}

TEST_F(MainFormCoreTest, AddItemAndDelete) {
    form.Table.setRowCount(5);
    form.Table.setCell(3, 2, "stale");
    form.EditAddClick();
    EXPECT_EQ(form.Table.RecordCount, 2);
    EXPECT_EQ(form.Table.rowCount(), 3);
    EXPECT_EQ(form.Table.cell(3, 2), ""); // the new last row is emptied
    EXPECT_EQ(form.Table.SelectedRow, 1); // and not selected

    fillRecords(3);
    form.StringGridXMLSelectCell(4, 2);
    form.EditDeleteClick();
    EXPECT_EQ(form.Table.RecordCount, 2);
    EXPECT_EQ(form.Table.rowCount(), 3);
    EXPECT_EQ(form.Table.cell(0, 2), "300");
    EXPECT_EQ(form.Table.SelectedRow, 2);

    form.EditDeleteClick();
    form.StringGridXMLSelectCell(0, 1);
    form.EditDeleteClick(); // the last remaining record is emptied, not removed
    EXPECT_EQ(form.Table.RecordCount, 1);
    EXPECT_EQ(form.Table.rowCount(), 2);
    EXPECT_EQ(form.Table.rowList(1), std::vector<std::string>(16));

    form.StringGridXMLSelectCell(0, 5); // beyond the data rows: the list's index error, nothing changes
    EXPECT_THROW(form.EditDeleteClick(), EStringListError);
    EXPECT_EQ(form.Table.rowCount(), 2);
}

TEST_F(MainFormCoreTest, DeleteWithoutHeaderRowRemovesTheSelectedRow) {
    form.Table.setRowCount(1); // as after reading a CSV file of one line
    form.Table.RecordCount = 0;
    form.EditAddClick();
    form.EditAddClick();
    form.Table.setCell(0, 1, "one");
    form.Table.setCell(0, 2, "two");
    form.StringGridXMLSelectCell(0, 1);
    form.EditDeleteClick();
    EXPECT_EQ(form.Table.cell(0, 0), "DATUM"); // row 0, now a record, stays
    EXPECT_EQ(form.Table.cell(0, 1), "two");
    EXPECT_EQ(form.Table.rowCount(), 2);
    form.StringGridXMLSelectCell(0, 0);
    form.EditDeleteClick();
    EXPECT_EQ(form.Table.cell(0, 0), "two");
    EXPECT_EQ(form.Table.cell(0, 1), "");
}

TEST_F(MainFormCoreTest, EnterMovesRightThenToColumnOneOfNextRow) {
    form.Table.setRowCount(8);
    int column = 3, row = 4;
    EXPECT_TRUE(form.StringGridXMLKeyDown(column, row));
    EXPECT_EQ(std::make_pair(column, row), std::make_pair(4, 4));
    column = 15;
    EXPECT_TRUE(form.StringGridXMLKeyDown(column, row));
    EXPECT_EQ(std::make_pair(column, row), std::make_pair(1, 5));
    column = 15, row = 7;
    EXPECT_FALSE(form.StringGridXMLKeyDown(column, row));
    EXPECT_EQ(std::make_pair(column, row), std::make_pair(15, 7));
}
