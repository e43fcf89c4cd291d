// Datum conversion between Tokyo and WGS 84 through PROJ, as a command of the core with undo.
// The expected coordinates were computed once with PROJ's own command-line tool:
//   echo "35.681236 139.767125" | cs2cs -f %.9f EPSG:4301 EPSG:4326

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/datum_conversion.h"
#include "app/field_checks.h"
#include "app/main_form.h"

namespace {

struct KnownPoint {
    const char* latitude;
    const char* longitude;
    double expectedLatitude;
    double expectedLongitude;
};

// Tokyo datum to WGS 84: Tokyo station, Sapporo, Naha (Okinawa), Fukuoka.
constexpr KnownPoint kTokyoToWgs84[] = {
    {"35.681236", "139.767125", 35.684474880, 139.763891025},
    {"43.068661", "141.350755", 43.071082315, 141.347012984},
    {"26.212401", "127.679305", 26.216428681, 127.677361445},
    {"33.590355", "130.420658", 33.593669516, 130.418329102},
};

class DatumConversion : public ::testing::Test {
protected:
    int addRecord(const std::string& datum, const std::string& latitude, const std::string& longitude) {
        const int row = form.Table.RecordCount + (form.Table.cell(kDatumColumn, 1).empty() ? 0 : 1);
        form.Table.RecordCount = row;
        form.Table.setRowCount(row + 1);
        form.Table.setCell(kDatumColumn, row, datum);
        form.Table.setCell(kLatitudeColumn, row, latitude);
        form.Table.setCell(kLongitudeColumn, row, longitude);
        form.Table.setCell(kNameColumn, row, "point " + std::to_string(row));
        return row;
    }
    double value(int column, int row) const { return std::strtod(form.Table.cell(column, row).c_str(), nullptr); }
    int decimals(int column, int row) const {
        const std::string& cell = form.Table.cell(column, row);
        return static_cast<int>(cell.size() - cell.find('.') - 1);
    }

    TMainFormCore form;
};

} // namespace

TEST_F(DatumConversion, MatchesPROJsCommandLineForPointsInJapanAndKeepsTheDecimals) {
    for (const KnownPoint& point : kTokyoToWgs84) addRecord("TOKYO", point.latitude, point.longitude);
    EXPECT_TRUE(form.EditConvertDatum({}, TDatum::wgs84).empty());
    for (int k = 0; k < 4; ++k) {
        const int row = k + 1;
        EXPECT_EQ(form.Table.cell(kDatumColumn, row), "WGS84");
        EXPECT_NEAR(value(kLatitudeColumn, row), kTokyoToWgs84[k].expectedLatitude, 5.1e-7) << row;
        EXPECT_NEAR(value(kLongitudeColumn, row), kTokyoToWgs84[k].expectedLongitude, 5.1e-7) << row;
        EXPECT_EQ(decimals(kLatitudeColumn, row), 6);
        EXPECT_EQ(decimals(kLongitudeColumn, row), 6);
    }

    // Back to Tokyo (cs2cs EPSG:4326 EPSG:4301), with more decimals than six kept and fewer raised to six.
    const int row = addRecord("WGS84", "35.684475000", "139.76388");
    EXPECT_TRUE(form.EditConvertDatum({row}, TDatum::tokyo).empty());
    EXPECT_EQ(form.Table.cell(kDatumColumn, row), "TOKYO");
    EXPECT_NEAR(value(kLatitudeColumn, row), 35.681236102, 1e-9);
    EXPECT_EQ(decimals(kLatitudeColumn, row), 9);
    EXPECT_NEAR(value(kLongitudeColumn, row), 139.767113992, 5.1e-7);
    EXPECT_EQ(decimals(kLongitudeColumn, row), 6);
    EXPECT_EQ(form.Table.cell(kDatumColumn, 1), "WGS84"); // rows not given stay as they were

    EXPECT_EQ(formatDegrees(-0.0000001, 6), "0.000000");
    EXPECT_EQ(formatDegrees(-12.5, 2), "-12.50");
}

TEST_F(DatumConversion, ARoundTripComesBackWithinTheLastDecimal) {
    for (const KnownPoint& point : kTokyoToWgs84) addRecord("TOKYO", point.latitude, point.longitude);
    const auto before = form.Table.rows();
    form.EditConvertDatum({}, TDatum::wgs84);
    form.EditConvertDatum({}, TDatum::tokyo);
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(form.Table.cell(kDatumColumn, row), "TOKYO");
        EXPECT_NEAR(value(kLatitudeColumn, row), std::strtod(before[row][kLatitudeColumn].c_str(), nullptr), 1.1e-6);
        EXPECT_NEAR(value(kLongitudeColumn, row), std::strtod(before[row][kLongitudeColumn].c_str(), nullptr), 1.1e-6);
    }
}

TEST_F(DatumConversion, IsOneUndoStepAndLeavesUnreadableRecordsAloneWithAReason) {
    addRecord("TOKYO", "35.681236", "139.767125");
    addRecord("JGD2000", "35.681236", "139.767125");
    addRecord("TOKYO", "35.681236", "");
    addRecord("TOKYO", "139.767125", "35.681236"); // swapped: no latitude of 139
    addRecord("WGS84", "35.684475", "139.763891"); // already in the target datum
    form.EditAddClick();                           // an empty record: passed over without a word
    const auto before = form.Table.rows();
    const std::size_t steps = form.History.stepCount();

    const std::vector<TDatumSkip> skipped = form.EditConvertDatum({}, TDatum::wgs84);
    EXPECT_EQ(skipped, (std::vector<TDatumSkip>{{2, TDatumSkipReason::unknownDatum},
                                                {3, TDatumSkipReason::unreadableCoordinates},
                                                {4, TDatumSkipReason::unreadableCoordinates}}));
    EXPECT_EQ(form.History.stepCount(), steps + 1);
    const auto after = form.Table.rows();
    for (int row = 2; row <= 6; ++row) EXPECT_EQ(after[row], before[row]) << row;
    EXPECT_NE(after[1], before[1]);

    form.EditUndoClick();
    EXPECT_EQ(form.Table.rows(), before);
    form.EditRedoClick();
    EXPECT_EQ(form.Table.rows(), after);

    // Nothing to convert: no step, and the header row and rows outside the table are ignored.
    EXPECT_TRUE(form.EditConvertDatum({0, 5, 99}, TDatum::wgs84).empty());
    EXPECT_EQ(form.History.stepCount(), steps + 1);
}
