#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <unistd.h>

#include "app/main_form.h"
#include "app/point_mark_writer.h"
#include "text/exception.h"
#include "text/file_io.h"

namespace {

class MainFormCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pm-core-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Records whose cells hold row * 100 + column.
    void fillRecords(int records) {
        form.Table.RecordCount = records;
        form.Table.setRowCount(records + 1);
        for (int r = 1; r <= records; ++r)
            for (int c = 0; c < kColumnCount; ++c) form.Table.setCell(c, r, std::to_string(r * 100 + c));
    }

    TMainFormCore form;
    std::string dir_;
};

} // namespace

TEST_F(MainFormCoreTest, StartUpLoadAndAddSetStatusAndCounter) {
    EXPECT_EQ(form.Table.rowCount(), 2);
    EXPECT_EQ(form.Table.cell(0, 0), "DATUM");
    EXPECT_EQ(form.Timer1Timer(), "     1 / 1       ");

    fillRecords(10);
    form.FileLoadXMLClick("/data/points.Xml"); // neither ending: nothing read, nothing reported
    EXPECT_EQ(form.Table.StatusText, "load: /data/points.Xml");
    EXPECT_EQ(form.Table.RecordCount, 0);
    EXPECT_EQ(form.Table.rowCount(), 11); // the table still shows the previous rows

    form.Table.RecordCount = 10;
    form.FileAddClick("/data/地点.txt");
    form.StringGridXMLSelectCell(4, 3);
    EXPECT_EQ(form.Timer1Timer(), "     3 / 10       add: /data/地点.txt");

    form.DropFiles({"a.txt", "b.Csv", "c.xML"}); // dropped files touch neither status nor counter
    EXPECT_EQ(form.Table.StatusText, "add: /data/地点.txt");
    EXPECT_EQ(form.Table.RecordCount, 10);

    EXPECT_TRUE(hasXmlEnding("a.XML") && hasXmlEnding(".xml") && hasCsvEnding("b.CSV") && hasCsvEnding("b.csv"));
    EXPECT_FALSE(hasXmlEnding("a.Xml") || hasXmlEnding("a.xml ") || hasCsvEnding("b.cSV") || hasCsvEnding("b.xml"));
}

TEST_F(MainFormCoreTest, SaveCommandWritesByNameEnding) {
    fillRecords(2);
    form.Table.setCell(10, 2, ""); // row 2 lacks its icon
    EXPECT_EQ(form.FileSaveXMLClick(dir_ + "/out.XML"), std::vector<int>{2});
    EXPECT_EQ(form.Table.StatusText, "save: " + dir_ + "/out.XML");
    EXPECT_EQ(readWholeFile(dir_ + "/out.XML"), buildPointMarkXml(form.Table));

    EXPECT_TRUE(form.FileSaveXMLClick(dir_ + "/out.Xml").empty());
    EXPECT_TRUE(form.FileSaveXMLClick(dir_ + "/out").empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1); // only out.XML

    // A file that cannot be created: the error names it, the status already does, the table is unchanged.
    const auto rowsBefore = form.Table.rows();
    const std::string bad = dir_ + "/missing/out.xml";
    try {
        form.FileSaveXMLClick(bad);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_NE(e.message().find(bad), std::string::npos);
    }
    EXPECT_EQ(form.Table.StatusText, "save: " + bad);
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
