#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "app/main_form.h"
#include "app/point_mark_writer.h"
#include "text/exception.h"
#include "text/file_io.h"

namespace {

class MainFormCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("pm-core-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    void fillRecords(int records) {
        for (int i = 0; i < records; ++i) form.EditAddClick();
        form.Table.RecordCount = records;
        form.Table.setRowCount(records + 1);
        for (int r = 1; r <= records; ++r)
            for (int c = 0; c < kColumnCount; ++c) form.Table.setCell(c, r, std::to_string(r * 100 + c));
    }

    TMainFormCore form;
    std::filesystem::path dir_;
};

} // namespace

TEST_F(MainFormCoreTest, StartUpState) {
    EXPECT_EQ(form.Table.rowCount(), 2);
    EXPECT_EQ(form.Table.fixedRows(), 1);
    EXPECT_EQ(form.Table.cell(0, 0), "DATUM");
    EXPECT_EQ(form.Table.cell(15, 1), "");
    EXPECT_EQ(form.Table.RecordCount, 1);
    EXPECT_EQ(form.Table.SelectedRow, 1);
    EXPECT_EQ(form.Table.StatusText, "");
    EXPECT_EQ(form.Timer1Timer(), "     1 / 1       ");
}

TEST_F(MainFormCoreTest, LoadAndAddCommandsSetStatusAndCounter) {
    fillRecords(10);
    form.FileLoadXMLClick("/data/points.Xml"); // neither ending: nothing read, nothing reported
    EXPECT_EQ(form.Table.StatusText, "load: /data/points.Xml");
    EXPECT_EQ(form.Table.RecordCount, 0);
    EXPECT_EQ(form.Table.rowCount(), 11); // the table still shows the previous rows
    EXPECT_EQ(form.Table.cell(0, 10), "1000");

    form.Table.RecordCount = 10;
    form.FileAddClick("/data/地点.txt");
    EXPECT_EQ(form.Table.StatusText, "add: /data/地点.txt");
    EXPECT_EQ(form.Table.RecordCount, 10);
    form.Table.SelectedRow = 3;
    EXPECT_EQ(form.Timer1Timer(), "     3 / 10       add: /data/地点.txt");

    form.DropFiles({"a.txt", "b.Csv", "c"});
    EXPECT_EQ(form.Table.StatusText, "add: /data/地点.txt");
    EXPECT_EQ(form.Table.RecordCount, 10);
}

TEST_F(MainFormCoreTest, NameEndings) {
    EXPECT_TRUE(hasXmlEnding("a.xml"));
    EXPECT_TRUE(hasXmlEnding("a.XML"));
    EXPECT_TRUE(hasXmlEnding(".xml"));
    EXPECT_FALSE(hasXmlEnding("a.Xml"));
    EXPECT_FALSE(hasXmlEnding("a.xml "));
    EXPECT_FALSE(hasXmlEnding("xml"));
    EXPECT_TRUE(hasCsvEnding("b.csv"));
    EXPECT_TRUE(hasCsvEnding("b.CSV"));
    EXPECT_FALSE(hasCsvEnding("b.cSV"));
    EXPECT_FALSE(hasCsvEnding("b.xml"));
}

TEST_F(MainFormCoreTest, SaveCommandWritesByNameEnding) {
    fillRecords(2);
    form.Table.setCell(10, 2, ""); // row 2 lacks its icon
    EXPECT_EQ(form.FileSaveXMLClick(path("out.XML")), std::vector<int>{2});
    EXPECT_EQ(form.Table.StatusText, "save: " + path("out.XML"));
    EXPECT_EQ(readWholeFile(path("out.XML")), buildPointMarkXml(form.Table));

    EXPECT_TRUE(form.FileSaveXMLClick(path("out.Xml")).empty());
    EXPECT_TRUE(form.FileSaveXMLClick(path("out")).empty());
    EXPECT_FALSE(std::filesystem::exists(path("out.Xml")));
    EXPECT_FALSE(std::filesystem::exists(path("out")));
    EXPECT_EQ(form.Table.StatusText, "save: " + path("out"));

    // A file that cannot be created: the error names it, the status already does, the table is unchanged.
    const auto rowsBefore = form.Table.rows();
    const std::string bad = path("missing/out.xml");
    try {
        form.FileSaveXMLClick(bad);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find(bad), std::string::npos);
    }
    EXPECT_EQ(form.Table.StatusText, "save: " + bad);
    EXPECT_EQ(form.Table.rows(), rowsBefore);
}

TEST_F(MainFormCoreTest, AddItemAppendsAnEmptyRow) {
    form.Table.setRowCount(5);
    form.Table.setCell(3, 2, "stale");
    form.EditAddClick();
    EXPECT_EQ(form.Table.RecordCount, 2);
    EXPECT_EQ(form.Table.rowCount(), 3);
    EXPECT_EQ(form.Table.cell(3, 2), ""); // the new last row is emptied
    EXPECT_EQ(form.Table.SelectedRow, 1); // and not selected
    form.EditAddClick();
    EXPECT_EQ(form.Table.RecordCount, 3);
    EXPECT_EQ(form.Table.rowCount(), 4);
}

TEST_F(MainFormCoreTest, DeleteRemovesSelectedRecord) {
    fillRecords(3);
    form.StringGridXMLSelectCell(4, 2);
    EXPECT_EQ(form.Table.SelectedRow, 2);
    form.EditDeleteClick();
    EXPECT_EQ(form.Table.RecordCount, 2);
    EXPECT_EQ(form.Table.rowCount(), 3);
    EXPECT_EQ(form.Table.cell(0, 1), "100");
    EXPECT_EQ(form.Table.cell(0, 2), "300");
    EXPECT_EQ(form.Table.SelectedRow, 2);

    form.EditDeleteClick();
    form.StringGridXMLSelectCell(0, 1);
    form.EditDeleteClick(); // the last remaining record is emptied, not removed
    EXPECT_EQ(form.Table.RecordCount, 1);
    EXPECT_EQ(form.Table.rowCount(), 2);
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(form.Table.cell(c, 1), "");
    EXPECT_EQ(form.Table.cell(0, 0), "DATUM");

    // A selection beyond the data rows raises the list's index error and changes nothing.
    form.StringGridXMLSelectCell(0, 5);
    EXPECT_THROW(form.EditDeleteClick(), EStringListError);
    EXPECT_EQ(form.Table.RecordCount, 1);
    EXPECT_EQ(form.Table.rowCount(), 2);
}

TEST_F(MainFormCoreTest, DeleteWithoutHeaderRowRemovesTheSelectedRow) {
    form.Table.setRowCount(1); // as after reading a CSV file of one line
    form.Table.RecordCount = 0;
    form.EditAddClick();
    form.EditAddClick();
    form.Table.setCell(0, 1, "one");
    form.Table.setCell(0, 2, "two");
    ASSERT_EQ(form.Table.fixedRows(), 0);
    ASSERT_EQ(form.Table.rowCount(), 3);
    form.StringGridXMLSelectCell(0, 1);
    form.EditDeleteClick();
    EXPECT_EQ(form.Table.cell(0, 0), "DATUM"); // row 0, now a record, stays
    EXPECT_EQ(form.Table.cell(0, 1), "two");
    EXPECT_EQ(form.Table.rowCount(), 2);
    EXPECT_EQ(form.Table.RecordCount, 1);
    form.StringGridXMLSelectCell(0, 0);
    form.EditDeleteClick();
    EXPECT_EQ(form.Table.cell(0, 0), "two");
    EXPECT_EQ(form.Table.cell(0, 1), "");
    EXPECT_EQ(form.Table.rowCount(), 2);
}

TEST_F(MainFormCoreTest, EnterMovesRightThenToColumnOneOfNextRow) {
    form.Table.setRowCount(8);
    int column = 3, row = 4;
    EXPECT_TRUE(form.StringGridXMLKeyDown(column, row));
    EXPECT_EQ(column, 4);
    EXPECT_EQ(row, 4);
    column = 15;
    EXPECT_TRUE(form.StringGridXMLKeyDown(column, row));
    EXPECT_EQ(column, 1);
    EXPECT_EQ(row, 5);
    column = 15, row = 7;
    EXPECT_FALSE(form.StringGridXMLKeyDown(column, row));
    EXPECT_EQ(column, 15);
    EXPECT_EQ(row, 7);
}
