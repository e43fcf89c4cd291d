// Duplicate records: the same name within a distance, compared in WGS 84; and adding a file
// without the records that duplicate the table's.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/duplicates.h"
#include "app/field_checks.h"
#include "app/main_form.h"
#include "text/file_io.h"

namespace {

using Groups = std::vector<std::vector<int>>;

TPointMarkRow record(const std::string& name, const std::string& latitude, const std::string& longitude,
                     const std::string& datum = "WGS84") {
    TPointMarkRow row;
    row[kDatumColumn] = datum;
    row[kNameColumn] = name;
    row[kLatitudeColumn] = latitude;
    row[kLongitudeColumn] = longitude;
    return row;
}

class Duplicates : public ::testing::Test {
protected:
    void setRecords(const std::vector<TPointMarkRow>& records) {
        std::vector<TPointMarkRow> rows{form.Table.row(0)};
        rows.insert(rows.end(), records.begin(), records.end());
        form.Table.swapRows(rows);
        form.Table.RecordCount = static_cast<int>(records.size());
    }
    Groups groups(double metres = kDefaultDuplicateMetres) {
        return findDuplicateGroups(form.Table, form.datumTransform(), metres);
    }

    TMainFormCore form;
};

} // namespace

// One degree of latitude is 111,195 m on the sphere: 0.000089 is 9.9 m, 0.000091 is 10.1 m.
TEST_F(Duplicates, SameNameWithinTheDistanceOfTheGroupsFirstRecord) {
    setRecords({record("A", "35.000000", "139.0"), record("A", "35.000089", "139.0"), record("A", "35.000091", "139.0"),
                record("B", "35.000000", "139.0"), record("", "35.0", "139.0"), record("", "35.0", "139.0"),
                record("A", "35.0", "x"), record("B", "35.000000", "139.000000")});
    // Row 3 is 10.1 m from row 1, which leads the group, though only 0.2 m from row 2.
    EXPECT_EQ(groups(), (Groups{{1, 2}, {4, 8}}));
    EXPECT_EQ(groups(10.2), (Groups{{1, 2, 3}, {4, 8}}));
    EXPECT_EQ(groups(0), (Groups{{4, 8}}));

    // A chain of records 8 m apart: each group stays within the distance of its first record.
    setRecords({record("C", "35.000000", "139.0"), record("C", "35.000072", "139.0"), record("C", "35.000144", "139.0"),
                record("C", "35.000216", "139.0")});
    EXPECT_EQ(groups(), (Groups{{1, 2}, {3, 4}}));
    EXPECT_EQ(groups(25), (Groups{{1, 2, 3, 4}}));
}

TEST_F(Duplicates, AreComparedInWGS84AcrossDatumsAndAcrossTheDateLine) {
    // Tokyo station in both datums (cs2cs EPSG:4301 EPSG:4326 gives 35.684474880 139.763891025);
    // the Tokyo numbers read as WGS 84 lie 450 m away.
    setRecords({record("Station", "35.684475", "139.763891"), record("Station", "35.681236", "139.767125", "TOKYO"),
                record("Station", "35.681236", "139.767125"), record("Station", "35.681236", "139.767125", "TKY")});
    EXPECT_EQ(groups(), (Groups{{1, 2}}));

    setRecords({record("Buoy", "0.0", "179.99999"), record("Buoy", "0.0", "-179.99999"),
                record("Pole", "89.9999999", "0.0"), record("Pole", "89.9999999", "180.0")});
    EXPECT_EQ(groups(), (Groups{{1, 2}, {3, 4}}));
}

TEST_F(Duplicates, AFileCanBeAddedWithoutTheRecordsThatDuplicateTheTable) {
    char pattern[] = "/tmp/pm-duplicates-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern, file = dir + "/add.csv";
    writeFileAtomically(file, "H\r\n"
                              "WGS84,DEG,,,Tower,,35.658584,139.745433\r\n" // 0.3 m from row 2
                              "WGS84,DEG,,,Tower,,35.6,139.7\r\n"
                              "WGS84,DEG,,,Other,,35.658581,139.745433\r\n"
                              "WGS84,DEG,,,Tower,,35.658581,139.745433\r\n");
    setRecords({record("Gate", "35.0", "139.0"), record("Tower", "35.658581", "139.745433")});
    const auto before = form.Table.rows();
    const std::size_t steps = form.History.stepCount();

    std::vector<int> asked;
    const int added = form.FileAddClick(file, [&](const std::vector<TPointMarkRow>& records) {
        asked = findDuplicatesOf(form.Table, records, form.datumTransform());
        std::vector<bool> keep;
        for (int duplicate : asked) keep.push_back(duplicate < 0);
        return keep;
    });
    EXPECT_EQ(asked, (std::vector<int>{2, -1, -1, 2})); // the file's own records are not compared
    EXPECT_EQ(added, 2);
    EXPECT_EQ(form.Table.RecordCount, 4);
    EXPECT_EQ(form.Table.cell(kLatitudeColumn, 3), "35.6");
    EXPECT_EQ(form.Table.cell(kNameColumn, 4), "Other");
    EXPECT_EQ(form.History.stepCount(), steps + 1);
    form.EditUndoClick();
    EXPECT_EQ(form.Table.rows(), before);

    // Nothing kept: no change and no step. A wrong answer: an error, and no change either.
    EXPECT_EQ(form.FileAddClick(file, [](const auto& records) { return std::vector<bool>(records.size(), false); }), 0);
    EXPECT_THROW(form.FileAddClick(file, [](const auto&) { return std::vector<bool>{true}; }), std::invalid_argument);
    form.DropFiles({file, file}, [](const auto& records) { return std::vector<bool>(records.size(), true); });
    EXPECT_EQ(form.Table.RecordCount, 2 + 8);
    form.EditUndoClick();
    EXPECT_EQ(form.Table.rows(), before);
    std::filesystem::remove_all(dir);
}
