#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <list>
#include <unistd.h>

#include "app/main_form.h"
#include "text/code_page_932.h"

namespace {

// Files large enough to be read in several steps: a point-mark file over several 64 KB blocks of
// the parser's input and a CSV file over several blocks of lines.
class ReadProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pm-progress-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::filesystem::copy_file(std::string(TEST_DATA_DIR) + "/app/xml/velmar.dtd", dir_ + "/velmar.dtd");
        xml_ = write("big.xml", 400);
        csv_ = write("big.csv", 20000);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, int records) {
        TMainFormCore& source = sources_.emplace_back();
        source.Table.RecordCount = records;
        source.Table.setRowCount(records + 1);
        for (int r = 1; r <= records; ++r)
            for (int c = 0; c < kColumnCount; ++c) source.Table.setCell(c, r, name + std::to_string(r * 100 + c));
        source.SaveFile(dir_ + "/" + name);
        return dir_ + "/" + name;
    }

    std::string dir_, xml_, csv_;
    std::list<TMainFormCore> sources_;
};

} // namespace

TEST_F(ReadProgressTest, ProgressClimbsToTheWholeFileAndEveryRecordArrives) {
    int source = 0;
    for (const std::string& name : {xml_, csv_}) {
        TMainFormCore form;
        std::vector<std::int64_t> done;
        std::int64_t total = 0;
        form.OnProgress = [&](std::int64_t bytes, std::int64_t all) {
            done.push_back(bytes);
            total = all;
            return true;
        };
        ASSERT_GT(form.FileLoadXMLClick(name), 0) << name;
        ASSERT_GT(done.size(), 2u) << name;
        EXPECT_TRUE(std::is_sorted(done.begin(), done.end()) && done.front() > 0) << name;
        EXPECT_EQ(done.back(), total) << name;
        // Split in steps, the rows are those of the file all the same.
        const TPointMarkTable& written = std::next(sources_.begin(), source++)->Table;
        EXPECT_EQ(form.Table.RecordCount, written.RecordCount) << name;
        for (int r = 1; r <= written.RecordCount; ++r) ASSERT_EQ(form.Table.row(r), written.row(r)) << name << r;
    }
}

TEST_F(ReadProgressTest, CancelledReadsLeaveTheTableAndTheWindowStateAsTheyWere) {
    TMainFormCore form;
    form.FileAddClick(xml_);
    form.StringGridXMLSetEditText(4, 3, "edited");
    form.StringGridXMLSelectCell(2, 5);
    const auto rows = form.Table.rows();
    const std::string status = form.Table.StatusText;

    int calls = 0;
    form.OnProgress = [&](std::int64_t, std::int64_t) { return ++calls < 2; }; // cancels at its second call
    for (const std::string& name : {xml_, csv_}) {
        for (int command = 0; command < 3; ++command) {
            calls = 0;
            if (command == 0) {
                EXPECT_EQ(form.FileLoadXMLClick(name), 0);
            } else if (command == 1) {
                EXPECT_EQ(form.FileAddClick(name), 0);
            } else {
                form.DropFiles({name, name}); // no error: a cancel is not one
            }
            EXPECT_EQ(form.Table.rows(), rows) << name << command;
            EXPECT_EQ(form.Table.RecordCount, 401);
            EXPECT_EQ(form.Table.SelectedRow, 5);
            EXPECT_EQ(form.Table.StatusText, status);
            EXPECT_TRUE(form.Modified);
            EXPECT_EQ(form.CurrentFileName, "");
            ASSERT_FALSE(form.Memo1.empty());
            EXPECT_EQ(form.Memo1.back(), "Reading " + name + " was cancelled; the table is unchanged.");
        }
    }
    // The parser and the table take the next read as if nothing had happened.
    form.OnProgress = nullptr;
    EXPECT_EQ(form.FileLoadXMLClick(xml_), 400);
    EXPECT_EQ(form.Table.cell(4, 400), "big.xml40004");
    EXPECT_TRUE(form.Memo1.empty());
}
