// The checks of record values: every rule at its boundaries, and the per-table view the window keeps.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "app/field_checks.h"

namespace {

using P = TFieldProblem;

TPointMarkRow goodRow() {
    TPointMarkRow row;
    row[kDatumColumn] = "WGS84", row[kUnitColumn] = "DEG", row[kTimeColumn] = "20240229235959";
    row[kNameColumn] = "Tower", row[kLatitudeColumn] = "35.658581", row[kLongitudeColumn] = "139.745433";
    row[kCategoryColumn] = "1", row[kIconColumn] = "tower";
    return row;
}

TRecordProblems with(std::initializer_list<std::pair<int, const char*>> cells) {
    TPointMarkRow row = goodRow();
    for (const auto& [column, value] : cells) row[column] = value;
    return checkRecord(row);
}

TRecordProblems setOf(std::initializer_list<P> problems) {
    TRecordProblems set;
    for (P problem : problems) set.add(problem);
    return set;
}

} // namespace

TEST(FieldChecks, RequiredCellsAndExactWords) {
    EXPECT_TRUE(checkRecord(goodRow()).empty());
    EXPECT_TRUE(checkRecord(TPointMarkRow{}).empty()); // a row just added, not yet filled
    EXPECT_TRUE(
        with({{kDatumColumn, "TOKYO"}, {kRepeatColumn, "0"}, {kEnabledColumn, "OFF"}, {kDistance1Column, "007"}})
            .empty());
    const std::pair<int, P> required[] = {
        {kDatumColumn, P::datumMissing},       {kUnitColumn, P::unitMissing},
        {kTimeColumn, P::timeMissing},         {kNameColumn, P::nameMissing},
        {kLatitudeColumn, P::latitudeMissing}, {kLongitudeColumn, P::longitudeMissing},
        {kCategoryColumn, P::categoryMissing}, {kIconColumn, P::iconMissing}};
    for (const auto& [column, problem] : required) {
        EXPECT_EQ(with({{column, ""}}), setOf({problem})) << column;
        EXPECT_EQ(fieldProblemInfo(problem).column, column);
    }
    for (const char* datum : {"tokyo", "WGS 84", "JGD2000"})
        EXPECT_EQ(with({{kDatumColumn, datum}}), setOf({P::datumUnknown})) << datum;
    for (const char* unit : {"deg", "dms"}) EXPECT_EQ(with({{kUnitColumn, unit}}), setOf({P::unitUnusual})) << unit;
    EXPECT_EQ(fieldProblemInfo(P::unitUnusual).severity, TSeverity::warning);
    for (const char* enabled : {"on", "有効", "1"})
        EXPECT_EQ(with({{kEnabledColumn, enabled}}), setOf({P::enabledNotOnOff})) << enabled;
    for (int column : {kRepeatColumn, kDistance1Column, kDistance2Column})
        for (const char* text : {"-1", "1.5", " 1", "+1", "１"}) {
            const TRecordProblems problems = with({{column, text}});
            EXPECT_EQ(problems.count(TSeverity::error), 1) << column << text;
            EXPECT_FALSE(problems.ofColumn(column).empty()) << column << text;
        }
}

TEST(FieldChecks, TimeIsARealDateAndTimeOfTheDay) {
    for (const char* time : {"20240229000000", "20000229120000", "00010101000000", "99991231235959"})
        EXPECT_TRUE(with({{kTimeColumn, time}}).empty()) << time;
    for (const char* date : {"20230229000000", "19000229000000", "20240431000000", "20241301000000", "20240001000000",
                             "20240100000000", "00000101000000"})
        EXPECT_EQ(with({{kTimeColumn, date}}), setOf({P::timeNoSuchDate})) << date;
    for (const char* clock : {"20240101240000", "20240101236000", "20240101235960"})
        EXPECT_EQ(with({{kTimeColumn, clock}}), setOf({P::timeNoSuchClockTime})) << clock;
    for (const char* shape : {"20240101", "202401011200000", "2024-01-01 1200", "２０２４0101120000"})
        EXPECT_EQ(with({{kTimeColumn, shape}}), setOf({P::timeNotFourteenDigits})) << shape;
}

TEST(FieldChecks, CoordinatesAreDecimalDegreesInRangeAndInJapan) {
    auto at = [](const char* latitude, const char* longitude) {
        return with({{kLatitudeColumn, latitude}, {kLongitudeColumn, longitude}});
    };
    for (auto [latitude, longitude] : {std::pair{"20", "122"}, {"46", "154"}, {"+35.5", "139.123456789012"}})
        EXPECT_TRUE(at(latitude, longitude).empty()) << latitude << " " << longitude;
    for (const char* text : {"35,6", " 35.6", "35.", ".5", "1e1", "-", "３５.６"}) {
        EXPECT_EQ(at(text, "139.7"), setOf({P::latitudeNotDecimal})) << text;
        EXPECT_EQ(at("35.6", text), setOf({P::longitudeNotDecimal})) << text;
    }
    // The range limits are valid (outside Japan); beyond them is an error, and no Japan warning.
    EXPECT_EQ(at("-90.000000", "139.7"), setOf({P::latitudeOutsideJapan}));
    EXPECT_EQ(at("90.000001", "139.7"), setOf({P::latitudeOutOfRange}));
    EXPECT_EQ(at("35.6", "-180"), setOf({P::longitudeOutsideJapan}));
    EXPECT_EQ(at("35.6", "180.000001"), setOf({P::longitudeOutOfRange}));
    EXPECT_EQ(at(("1" + std::string(400, '0')).c_str(), "139.7"), setOf({P::latitudeOutOfRange}));
    // Japan's bounds: the coordinate outside its band is marked.
    EXPECT_EQ(at("19.999999", "139.7"), setOf({P::latitudeOutsideJapan}));
    EXPECT_EQ(at("46.000001", "139.7"), setOf({P::latitudeOutsideJapan}));
    EXPECT_EQ(at("35.6", "121.999999"), setOf({P::longitudeOutsideJapan}));
    EXPECT_EQ(at("0", "154.000001"), setOf({P::latitudeOutsideJapan, P::longitudeOutsideJapan}));
    // Swapped: exchanged they lie in Japan; the latitude of 139 is an error as well.
    EXPECT_EQ(at("139.745433", "35.658581"), setOf({P::latitudeOutOfRange, P::latitudeSwapped, P::longitudeSwapped}));
    EXPECT_EQ(at("-139.7", "35.6"), setOf({P::latitudeOutOfRange, P::longitudeOutsideJapan}));
}

TEST(TableChecks, FollowTheTableAndFindTheNextProblemCell) {
    TPointMarkTable table;
    table.writeHeaderRow(); // the header texts would fail every check as a record
    table.setRowCount(5);
    for (int r = 1; r < 5; ++r) table.setRow(r, goodRow());
    TTableChecks checks;
    checks.checkAll(table);
    EXPECT_EQ(checks.nextProblemCell({0, 1}), std::nullopt);
    table.setCell(kTimeColumn, 2, "bad");
    table.setCell(kUnitColumn, 4, "dms");
    table.setCell(kEnabledColumn, 4, "yes");
    checks.checkRows(table, 2, 4);
    EXPECT_EQ(checks.errorCount(), 2);
    EXPECT_EQ(checks.warningCount(), 1);
    EXPECT_EQ(checks.problemsOf(kTimeColumn, 2), setOf({P::timeNotFourteenDigits}));
    EXPECT_TRUE(checks.problemsOf(kTimeColumn, 3).empty());
    // Reading order, round past the end, and the cell itself last.
    EXPECT_EQ(checks.nextProblemCell({-1, 0}), (TCellPos{kTimeColumn, 2}));
    EXPECT_EQ(checks.nextProblemCell({kTimeColumn, 2}), (TCellPos{kUnitColumn, 4}));
    EXPECT_EQ(checks.nextProblemCell({kUnitColumn, 4}), (TCellPos{kEnabledColumn, 4}));
    EXPECT_EQ(checks.nextProblemCell({kEnabledColumn, 4}), (TCellPos{kTimeColumn, 2}));
    // Rows inserted and removed take their problems along and keep the counts right.
    table.insertRows({1}, {TPointMarkRow{}});
    table.setCell(kDatumColumn, 1, "X"); // and seven required cells empty: eight errors
    checks.rowsInserted(table, 1, 1);
    table.removeRows({3});
    checks.rowsRemoved(3, 1);
    EXPECT_EQ(checks.problemsOf(kUnitColumn, 4), setOf({P::unitUnusual}));
    EXPECT_EQ(checks.errorCount(), 9);
    EXPECT_EQ(checks.warningCount(), 1);
}
