#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/main_form.h"
#include "tests/support/temporary_directory.h"
#include "text/exception.h"
#include "text/file_io.h"

namespace {

class CsvCommands : public ::testing::Test {
protected:
    void SetUp() override {
        form.Table.setRowCount(11);
        form.Table.RecordCount = 10;
        for (int r = 1; r <= 10; ++r)
            for (int c = 0; c < kColumnCount; ++c) form.Table.setCell(c, r, "old" + std::to_string(r));
    }
    std::string path(const std::string& name) const { return dir_.path(name); }

    TMainFormCore form;
    TemporaryDirectory dir_{"csv-commands-test"};
};

} // namespace

TEST_F(CsvCommands, LoadReplacesTheTableAddAndDropAppend) {
    writeFileAtomically(path("three.csv"), "H0,H1\r\na\r\nb\r\nc\r\n");
    EXPECT_EQ(form.FileLoadXMLClick(path("three.csv")), 3);
    EXPECT_EQ(form.Table.StatusText, "load: " + path("three.csv"));
    EXPECT_EQ(form.Table.rowCount(), 4);
    EXPECT_EQ(form.Table.RecordCount, 3);
    EXPECT_EQ(form.Table.cell(0, 0), "H0");
    EXPECT_EQ(form.Table.cell(0, 3), "c");
    EXPECT_EQ(form.Table.cell(1, 3), "");

    // The add command appends the records; the file's header line is not one of them.
    writeFileAtomically(path("TWO.CSV"), "x\r\ny\r\nz\r\n");
    EXPECT_EQ(form.FileAddClick(path("TWO.CSV")), 2);
    EXPECT_EQ(form.Table.StatusText, "add: " + path("TWO.CSV"));
    EXPECT_EQ(form.Table.rowCount(), 6);
    EXPECT_EQ(form.Table.RecordCount, 5);
    EXPECT_EQ(form.Table.cell(0, 0), "H0");
    EXPECT_EQ(form.Table.cell(0, 3), "c");
    EXPECT_EQ(form.Table.cell(0, 4), "y");
    EXPECT_EQ(form.Table.cell(0, 5), "z");

    form.DropFiles({path("three.csv"), path("TWO.CSV")});
    EXPECT_EQ(form.Table.RecordCount, 10);
    EXPECT_EQ(form.Table.cell(0, 6), "a");
    EXPECT_EQ(form.Table.cell(0, 10), "z");

    // A file of its header line alone, or an empty one, reads no record: nothing changes.
    const auto rowsBefore = form.Table.rows();
    writeFileAtomically(path("header.csv"), "H0,H1\r\n");
    writeFileAtomically(path("empty.csv"), "");
    for (const char* name : {"header.csv", "empty.csv"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(form.FileLoadXMLClick(path(name)), 0);
        EXPECT_EQ(form.FileAddClick(path(name)), 0);
        EXPECT_EQ(form.Table.rows(), rowsBefore);
        EXPECT_EQ(form.Table.RecordCount, 10);
        ASSERT_EQ(form.Memo1.size(), 1u);
        EXPECT_NE(form.Memo1[0].find("No record was read"), std::string::npos);
    }
    EXPECT_EQ(form.Table.StatusText, "add: " + path("TWO.CSV"));
}

TEST_F(CsvCommands, ReadingTellsWhatItHadToChange) {
    // A NUL is left out and reading goes on; more than 16 fields and a quote that never closes
    // are told with their line.
    std::string text = "H\r\na" + std::string(1, '\0') + "b,c\r\n";
    for (int i = 0; i < 18; ++i) text += "f" + std::to_string(i) + ",";
    text += "\r\n\"multi\r\nline\",x\r\nlast,\"open\r\nrest";
    writeFileAtomically(path("odd.csv"), text);
    EXPECT_EQ(form.FileLoadXMLClick(path("odd.csv")), 4);
    EXPECT_EQ(form.Table.cell(0, 1), "ab");
    EXPECT_EQ(form.Table.cell(15, 2), "f15");
    EXPECT_EQ(form.Table.cell(0, 3), "multi\r\nline");
    EXPECT_EQ(form.Table.cell(1, 4), "open\r\nrest");
    const std::vector<std::string> expected = {
        path("odd.csv") + ", line 2: a NUL byte was left out",
        path("odd.csv") + ", line 6: a quoted field is never closed; it holds the rest of the file",
        path("odd.csv") + ", line 3: 18 fields; the fields after the 16th were left out",
    };
    EXPECT_EQ(form.Memo1, expected);
}

TEST_F(CsvCommands, SaveWritesCsvOnlyForCsvNames) {
    form.FileSaveXMLClick(path("table.CSV"));
    EXPECT_EQ(form.Table.StatusText, "save: " + path("table.CSV"));
    const std::string bytes = readWholeFile(path("table.CSV"));
    EXPECT_EQ(bytes.substr(0, 10), "DATUM,UNIT");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 11);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), ','), 11 * 15);

    EXPECT_THROW(form.FileSaveXMLClick(path("table.Csv")), EFCreateError);
    EXPECT_THROW(form.FileSaveXMLClick(path("table.txt")), EFCreateError);
    EXPECT_FALSE(std::filesystem::exists(path("table.Csv")));
    EXPECT_FALSE(std::filesystem::exists(path("table.txt")));

    TMainFormCore other;
    other.FileLoadXMLClick(path("table.CSV"));
    EXPECT_EQ(other.Table.rows(), form.Table.rows());
    EXPECT_EQ(other.Table.RecordCount, 10);
}
