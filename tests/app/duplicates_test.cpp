// Duplicate records: the same name within a distance, compared in WGS 84; and adding a file
// without the records that duplicate the table's.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "app/duplicates.h"
#include "app/field_checks.h"
#include "app/main_form.h"
#include "tests/support/temporary_directory.h"
#include "text/file_io.h"

namespace {

using Groups = std::vector<std::vector<int>>;

TPointMarkRow record(const std::string& name, const std::string& latitude, const std::string& longitude,
                     const std::string& datum = "WGS84") {
    TPointMarkRow row;
    row[kDatumColumn] = datum, row[kNameColumn] = name, row[kLatitudeColumn] = latitude,
    row[kLongitudeColumn] = longitude;
    return row;
}

class Duplicates : public ::testing::Test {
protected:
    void setRecords(std::vector<TPointMarkRow> records) {
        records.insert(records.begin(), form.Table.row(0));
        form.Table.swapRows(records);
        form.Table.RecordCount = form.Table.rowCount() - 1;
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

    // Tokyo station in both datums (cs2cs EPSG:4301 EPSG:4326 gives 35.684474880 139.763891025);
    // the Tokyo numbers read as WGS 84 lie 450 m away. Across the date line and at the pole.
    setRecords({record("Station", "35.684475", "139.763891"), record("Station", "35.681236", "139.767125", "TOKYO"),
                record("Station", "35.681236", "139.767125"), record("Station", "35.681236", "139.767125", "TKY"),
                record("Buoy", "0.0", "179.99999"), record("Buoy", "0.0", "-179.99999"),
                record("Pole", "89.9999999", "0.0"), record("Pole", "89.9999999", "180.0")});
    EXPECT_EQ(groups(), (Groups{{1, 2}, {5, 6}, {7, 8}}));
}

TEST_F(Duplicates, ManyRecordsOfOneNameGroupAsComparingEveryPairDoes) {
    // 300 records of one name within about 60 m across the date line, taken in cubes; the
    // reference compares every record with every group leader before it.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> offset(-0.0003, 0.0003);
    std::vector<TPointMarkRow> records;
    std::vector<std::pair<double, double>> points;
    for (int k = 0; k < 300; ++k) {
        const double east = 180 + offset(random);
        records.push_back(
            record("Buoy", formatDegrees(0.0002 + offset(random), 7), formatDegrees(east - 360 * (east > 180), 7)));
        points.emplace_back(std::stod(records.back()[kLatitudeColumn]), std::stod(records.back()[kLongitudeColumn]));
    }
    setRecords(records);
    auto metresApart = [](std::pair<double, double> a, std::pair<double, double> b) { // haversine
        const double r = 3.14159265358979323846 / 180, sinLat = std::sin((b.first - a.first) * r / 2);
        const double sinLon = std::sin((b.second - a.second) * r / 2);
        const double h = sinLat * sinLat + std::cos(a.first * r) * std::cos(b.first * r) * sinLon * sinLon;
        return 2 * 6371008.8 * std::asin(std::sqrt(h));
    };
    Groups expected;
    for (int k = 0; k < 300; ++k) {
        auto group = std::find_if(expected.begin(), expected.end(),
                                  [&](const auto& g) { return metresApart(points[k], points[g[0] - 1]) <= 10; });
        group != expected.end() ? group->push_back(k + 1) : expected.push_back({k + 1});
    }
    std::erase_if(expected, [](const std::vector<int>& group) { return group.size() < 2; });
    ASSERT_GT(expected.size(), 20u);
    EXPECT_EQ(groups(), expected);
}

TEST_F(Duplicates, AFileCanBeAddedWithoutTheRecordsThatDuplicateTheTable) {
    const TemporaryDirectory temporary("pm-duplicates");
    const std::string file = temporary.path("add.csv");
    writeFileAtomically(file, "H\r\n"
                              "WGS84,DEG,,,Tower,,35.658584,139.745433\r\n" // 0.3 m from row 2
                              "WGS84,DEG,,,Tower,,35.6,139.7\r\n"
                              "WGS84,DEG,,,Other,,35.658581,139.745433\r\n"
                              "WGS84,DEG,,,Tower,,35.658581,139.745433\r\n");
    setRecords({record("Gate", "35.0", "139.0"), record("Tower", "35.658581", "139.745433")});
    const std::size_t steps = form.History.stepCount();
    std::vector<int> asked;
    EXPECT_EQ(form.FileAddClick(file,
                                [&](const std::vector<TPointMarkRow>& records) {
                                    asked = findDuplicatesOf(form.Table, records, form.datumTransform());
                                    std::vector<bool> keep;
                                    for (int duplicate : asked) keep.push_back(duplicate < 0);
                                    return keep;
                                }),
              2);
    EXPECT_EQ(asked, (std::vector<int>{2, -1, -1, 2})); // the file's own records are not compared
    EXPECT_EQ(form.Table.cell(kLatitudeColumn, 3), "35.6");
    EXPECT_EQ(form.Table.cell(kNameColumn, 4), "Other");
    EXPECT_EQ(form.History.stepCount(), steps + 1);

    // Nothing kept: no change and no step. A wrong answer: an error, and no change either.
    EXPECT_EQ(form.FileAddClick(file, [](const auto& records) { return std::vector<bool>(records.size(), false); }), 0);
    EXPECT_THROW(form.FileAddClick(file, [](const auto&) { return std::vector<bool>{true}; }), std::invalid_argument);
    EXPECT_EQ(form.History.stepCount(), steps + 1);
    form.DropFiles({file, file}, [](const auto& records) { return std::vector<bool>(records.size(), true); });
    EXPECT_EQ(form.Table.RecordCount, 4 + 8);
}
