// Datum conversion between Tokyo and WGS 84 through PROJ, as a command of the core with undo.
// The expected coordinates were computed once with PROJ's own command-line tool:
//   echo "35.681236 139.767125" | cs2cs -f %.9f EPSG:4301 EPSG:4326

#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/datum_conversion.h"
#include "app/field_checks.h"
#include "app/main_form.h"

namespace {

class DatumConversion : public ::testing::Test {
protected:
    // Fills the records with (datum, latitude, longitude).
    void setRecords(const std::vector<std::vector<std::string>>& records) {
        std::vector<TPointMarkRow> rows{form.Table.row(0)};
        for (const auto& record : records) {
            TPointMarkRow& row = rows.emplace_back();
            row[kDatumColumn] = record[0], row[kLatitudeColumn] = record[1], row[kLongitudeColumn] = record[2];
        }
        form.Table.swapRows(rows);
        form.Table.RecordCount = static_cast<int>(records.size());
    }
    double value(int column, int row) const { return std::strtod(form.Table.cell(column, row).c_str(), nullptr); }
    std::size_t decimals(int column, int row) const {
        const std::string& cell = form.Table.cell(column, row);
        return cell.size() - cell.find('.') - 1;
    }

    TMainFormCore form;
};

} // namespace

TEST_F(DatumConversion, MatchesPROJsCommandLineKeepsTheDecimalsAndComesBack) {
    // Tokyo station, Sapporo, Naha (Okinawa) in the Tokyo datum; Tokyo station again in WGS 84.
    setRecords({{"TOKYO", "35.681236", "139.767125"},
                {"TOKYO", "43.068661", "141.350755"},
                {"TOKYO", "26.212401", "127.679305"},
                {"WGS84", "35.684475000", "139.76388"}});
    const auto before = form.Table.rows();
    EXPECT_TRUE(form.EditConvertDatum({1, 2, 3}, TDatum::wgs84).empty());
    const double expected[][2] = {
        {35.684474880, 139.763891025}, {43.071082315, 141.347012984}, {26.216428681, 127.677361445}};
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(form.Table.cell(kDatumColumn, row), "WGS84");
        EXPECT_NEAR(value(kLatitudeColumn, row), expected[row - 1][0], 5.1e-7) << row;
        EXPECT_NEAR(value(kLongitudeColumn, row), expected[row - 1][1], 5.1e-7) << row;
        EXPECT_EQ(decimals(kLatitudeColumn, row), 6u);
    }
    EXPECT_EQ(form.Table.row(4), before[4]); // not among the rows given

    // To Tokyo (cs2cs EPSG:4326 EPSG:4301): nine decimals stay nine, five become six.
    EXPECT_TRUE(form.EditConvertDatum({4}, TDatum::tokyo).empty());
    EXPECT_EQ(form.Table.cell(kDatumColumn, 4), "TOKYO");
    EXPECT_NEAR(value(kLatitudeColumn, 4), 35.681236102, 1e-9);
    EXPECT_NEAR(value(kLongitudeColumn, 4), 139.767113992, 5.1e-7);
    EXPECT_EQ(decimals(kLatitudeColumn, 4), 9u);
    EXPECT_EQ(decimals(kLongitudeColumn, 4), 6u);

    // And back: within the last decimal of where each record started.
    form.EditConvertDatum({}, TDatum::tokyo);
    for (int row = 1; row <= 3; ++row) {
        EXPECT_NEAR(value(kLatitudeColumn, row), std::strtod(before[row][kLatitudeColumn].c_str(), nullptr), 1.1e-6);
        EXPECT_NEAR(value(kLongitudeColumn, row), std::strtod(before[row][kLongitudeColumn].c_str(), nullptr), 1.1e-6);
    }
    EXPECT_EQ(formatDegrees(-0.0000001, 6), "0.000000");
}

TEST(FormatDegrees, RoundsTheExactValueHalfToEvenAndWritesAnySize) {
    EXPECT_EQ(formatDegrees(0.125, 2), "0.12"); // exact ties go to the even digit
    EXPECT_EQ(formatDegrees(0.375, 2), "0.38");
    EXPECT_EQ(formatDegrees(2.5, 0), "2");
    EXPECT_EQ(formatDegrees(-179.9999996, 6), "-180.000000");
    EXPECT_EQ(formatDegrees(-0.0000004, 6), "0.000000");
    EXPECT_EQ(formatDegrees(1.0 / 3, 18), "0.333333333333333315");
    EXPECT_EQ(formatDegrees(12345678.5, 1), "12345678.5");
    EXPECT_EQ(formatDegrees(1e20, 2), "100000000000000000000.00");
    // Coordinates as a conversion writes them, against the library's correctly rounded digits.
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> degrees(-180, 180);
    char expected[64];
    for (int i = 0; i < 100000; ++i) {
        const double value = degrees(random);
        const int decimals = 6 + i % 8;
        const auto end = std::to_chars(expected, expected + sizeof expected, value, std::chars_format::fixed, decimals);
        ASSERT_EQ(formatDegrees(value, decimals), std::string(expected, end.ptr)) << value;
    }
}

TEST_F(DatumConversion, IsOneUndoStepAndLeavesUnreadableRecordsAloneWithAReason) {
    setRecords({{"TOKYO", "35.681236", "139.767125"},
                {"JGD2000", "35.681236", "139.767125"},
                {"TOKYO", "35.681236", ""},
                {"TOKYO", "139.767125", "35.681236"}, // swapped: no latitude of 139
                {"WGS84", "35.684475", "139.763891"}, // already in the target datum
                {"", "", ""}});                       // an empty record: passed over without a word
    const auto before = form.Table.rows();
    const std::size_t steps = form.History.stepCount();
    EXPECT_EQ(form.EditConvertDatum({}, TDatum::wgs84),
              (std::vector<TDatumSkip>{{2, TDatumSkipReason::unknownDatum},
                                       {3, TDatumSkipReason::unreadableCoordinates},
                                       {4, TDatumSkipReason::unreadableCoordinates}}));
    EXPECT_EQ(form.History.stepCount(), steps + 1);
    const auto after = form.Table.rows();
    EXPECT_NE(after[1], before[1]);
    EXPECT_TRUE(std::equal(after.begin() + 2, after.end(), before.begin() + 2));
    form.EditUndoClick();
    EXPECT_EQ(form.Table.rows(), before);
    form.EditRedoClick();
    EXPECT_EQ(form.Table.rows(), after);
    // Nothing to convert: no step; the header row and rows outside the table are ignored.
    EXPECT_TRUE(form.EditConvertDatum({0, 5, 99}, TDatum::wgs84).empty());
    EXPECT_EQ(form.History.stepCount(), steps + 1);
}
