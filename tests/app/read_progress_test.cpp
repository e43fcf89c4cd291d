#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

#include "app/main_form.h"
#include "tests/support/temporary_directory.h"
#include "tests/support/test_data.h"

namespace {

// Files read in several steps: a point-mark file over several 64 KB blocks of the parser's input
// and a CSV file over several blocks of lines. Cell (c, r) of NAME holds NAME followed by r * 100 + c.
class ReadProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(testDataPath("app/xml/velmar.dtd"), dir_.path("velmar.dtd"));
        for (const auto& [name, records] : {std::pair{"big.xml", 400}, std::pair{"big.csv", 20000}}) {
            TMainFormCore source;
            source.Table.RecordCount = records;
            source.Table.setRowCount(records + 1);
            for (int r = 1; r <= records; ++r)
                for (int c = 0; c < kColumnCount; ++c) source.Table.setCell(c, r, name + std::to_string(r * 100 + c));
            source.SaveFile(dir_.path(name));
        }
        xml_ = dir_.path("big.xml");
        csv_ = dir_.path("big.csv");
    }

    TemporaryDirectory dir_{"pm-progress"};
    std::string xml_, csv_;
};

} // namespace

TEST_F(ReadProgressTest, ProgressClimbsToTheWholeFileAndEveryRecordArrives) {
    for (const std::string& name : {xml_, csv_}) {
        TMainFormCore form;
        std::vector<std::int64_t> done;
        std::int64_t total = 0;
        form.OnProgress = [&](std::int64_t bytes, std::int64_t all) {
            done.push_back(bytes);
            total = all;
            return true;
        };
        const int records = form.FileLoadXMLClick(name);
        ASSERT_GT(done.size(), 2u) << name;
        EXPECT_TRUE(std::is_sorted(done.begin(), done.end()) && done.front() > 0) << name;
        EXPECT_EQ(done.back(), total) << name;
        const std::string tag = std::filesystem::path(name).filename().string();
        ASSERT_EQ(records, name == xml_ ? 400 : 20000);
        for (int r = 1; r <= records; ++r)
            for (int c = 0; c < kColumnCount; ++c) ASSERT_EQ(form.Table.cell(c, r), tag + std::to_string(r * 100 + c));
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
            SCOPED_TRACE(name + (command == 0 ? ": load" : command == 1 ? ": add" : ": drop"));
            calls = 0;
            if (command == 0) {
                EXPECT_EQ(form.FileLoadXMLClick(name), 0);
            } else if (command == 1) {
                EXPECT_EQ(form.FileAddClick(name), 0);
            } else {
                form.DropFiles({name, name}); // no error: a cancel is not one
            }
            EXPECT_EQ(form.Table.rows(), rows);
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
