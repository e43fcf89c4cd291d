#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/main_form.h"
#include "text/file_io.h"

namespace {

class CsvCommands : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/csv-commands-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        form.Table.setRowCount(11);
        form.Table.RecordCount = 10;
        for (int r = 1; r <= 10; ++r)
            for (int c = 0; c < kColumnCount; ++c) form.Table.setCell(c, r, "old" + std::to_string(r));
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    TMainFormCore form;
    std::string dir_;
};

} // namespace

TEST_F(CsvCommands, LoadAddAndDropReplaceTheTable) {
    writeFileAtomically(path("three.csv"), "H0,H1\r\na\r\nb\r\nc\r\n");
    form.FileLoadXMLClick(path("three.csv"));
    EXPECT_EQ(form.Table.StatusText, "load: " + path("three.csv"));
    EXPECT_EQ(form.Table.rowCount(), 4);
    EXPECT_EQ(form.Table.RecordCount, 3);
    EXPECT_EQ(form.Table.cell(0, 0), "H0");
    EXPECT_EQ(form.Table.cell(0, 3), "c");
    EXPECT_EQ(form.Table.cell(1, 3), "");

    // The add command and a drop replace the table exactly as the load command does.
    writeFileAtomically(path("TWO.CSV"), "x\r\ny\r\nz\r\n");
    form.FileAddClick(path("TWO.CSV"));
    EXPECT_EQ(form.Table.StatusText, "add: " + path("TWO.CSV"));
    EXPECT_EQ(form.Table.rowCount(), 3);
    EXPECT_EQ(form.Table.RecordCount, 2);
    EXPECT_EQ(form.Table.cell(0, 2), "z");

    form.DropFiles({path("three.csv"), path("TWO.CSV")});
    EXPECT_EQ(form.Table.rowCount(), 3);
    EXPECT_EQ(form.Table.cell(0, 1), "y");

    // Other letter cases are not CSV: nothing is read.
    writeFileAtomically(path("mixed.Csv"), "m\r\n");
    form.FileLoadXMLClick(path("mixed.Csv"));
    EXPECT_EQ(form.Table.rowCount(), 3);
    EXPECT_EQ(form.Table.cell(0, 1), "y");
    EXPECT_EQ(form.Table.RecordCount, 0);
}

TEST_F(CsvCommands, SaveWritesCsvOnlyForCsvNames) {
    form.FileSaveXMLClick(path("table.CSV"));
    EXPECT_EQ(form.Table.StatusText, "save: " + path("table.CSV"));
    const std::string bytes = readWholeFile(path("table.CSV"));
    EXPECT_EQ(bytes.substr(0, 10), "DATUM,UNIT");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 11);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), ','), 11 * 15);

    form.FileSaveXMLClick(path("table.Csv"));
    form.FileSaveXMLClick(path("table.txt"));
    EXPECT_FALSE(std::filesystem::exists(path("table.Csv")));
    EXPECT_FALSE(std::filesystem::exists(path("table.txt")));

    TMainFormCore other;
    other.FileLoadXMLClick(path("table.CSV"));
    EXPECT_EQ(other.Table.rows(), form.Table.rows());
    EXPECT_EQ(other.Table.RecordCount, 10);
}
