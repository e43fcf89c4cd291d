// The checks of record values: every rule at its boundaries, and the per-table view the window keeps.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "app/field_checks.h"

namespace {

using P = TFieldProblem;

// A record that passes every check.
TPointMarkRow goodRow() {
    TPointMarkRow row;
    row[kDatumColumn] = "WGS84";
    row[kUnitColumn] = "DEG";
    row[kTimeColumn] = "20240229235959";
    row[kNameColumn] = "Tower";
    row[kLatitudeColumn] = "35.658581";
    row[kLongitudeColumn] = "139.745433";
    row[kCategoryColumn] = "1";
    row[kIconColumn] = "tower";
    return row;
}

TRecordProblems problemsWith(int column, const std::string& value) {
    TPointMarkRow row = goodRow();
    row[column] = value;
    return checkRecord(row);
}

TRecordProblems setOf(std::initializer_list<P> problems) {
    TRecordProblems set;
    for (P problem : problems) set.add(problem);
    return set;
}

TRecordProblems atPosition(const std::string& latitude, const std::string& longitude) {
    TPointMarkRow row = goodRow();
    row[kLatitudeColumn] = latitude;
    row[kLongitudeColumn] = longitude;
    return checkRecord(row);
}

} // namespace

TEST(FieldChecks, RequiredCellsMustBeFilledAndEmptyOptionalOnesAreFine) {
    EXPECT_TRUE(checkRecord(goodRow()).empty());
    EXPECT_TRUE(checkRecord(TPointMarkRow{}).empty()); // a row just added, not yet filled
    const std::pair<int, P> required[] = {
        {kDatumColumn, P::datumMissing},       {kUnitColumn, P::unitMissing},
        {kTimeColumn, P::timeMissing},         {kNameColumn, P::nameMissing},
        {kLatitudeColumn, P::latitudeMissing}, {kLongitudeColumn, P::longitudeMissing},
        {kCategoryColumn, P::categoryMissing}, {kIconColumn, P::iconMissing}};
    for (const auto& [column, problem] : required) {
        EXPECT_EQ(problemsWith(column, ""), setOf({problem})) << column;
        EXPECT_EQ(fieldProblemInfo(problem).column, column);
        EXPECT_EQ(fieldProblemInfo(problem).severity, TSeverity::error);
    }
    // Optional cells with a rule, filled correctly.
    TPointMarkRow row = goodRow();
    row[kRepeatColumn] = "0";
    row[kEnabledColumn] = "OFF";
    row[kDistance1Column] = "500";
    row[kDistance2Column] = "100";
    EXPECT_TRUE(checkRecord(row).empty());
}

TEST(FieldChecks, DatumUnitAndEnabledTakeTheirExactWords) {
    EXPECT_TRUE(problemsWith(kDatumColumn, "TOKYO").empty());
    for (const char* datum : {"tokyo", "WGS 84", "WGS84 ", "JGD2000"})
        EXPECT_EQ(problemsWith(kDatumColumn, datum), setOf({P::datumUnknown})) << datum;
    for (const char* unit : {"deg", "dms", "DEGREE"}) {
        EXPECT_EQ(problemsWith(kUnitColumn, unit), setOf({P::unitUnusual})) << unit;
        EXPECT_EQ(problemsWith(kUnitColumn, unit).count(TSeverity::error), 0);
    }
    EXPECT_TRUE(problemsWith(kEnabledColumn, "ON").empty());
    for (const char* enabled : {"on", "Off", "有効", "1"})
        EXPECT_EQ(problemsWith(kEnabledColumn, enabled), setOf({P::enabledNotOnOff})) << enabled;
}

TEST(FieldChecks, TimeIsARealDateAndTimeOfTheDay) {
    for (const char* time : {"20240229000000", "20000229120000", "19991231235959", "00010101000000", "99991231235959"})
        EXPECT_TRUE(problemsWith(kTimeColumn, time).empty()) << time;
    for (const char* date : {"20230229000000", "19000229000000", "20240230000000", "20240431000000", "20241301000000",
                             "20240001000000", "20240100000000", "00000101000000"})
        EXPECT_EQ(problemsWith(kTimeColumn, date), setOf({P::timeNoSuchDate})) << date;
    for (const char* clock : {"20240101240000", "20240101236000", "20240101235960"})
        EXPECT_EQ(problemsWith(kTimeColumn, clock), setOf({P::timeNoSuchClockTime})) << clock;
    EXPECT_EQ(problemsWith(kTimeColumn, "20230230246060"), setOf({P::timeNoSuchDate, P::timeNoSuchClockTime}));
    for (const char* shape : {"20240101", "2024010112000", "202401011200000", "2024-01-01 12:0", "２０２４0101120000"})
        EXPECT_EQ(problemsWith(kTimeColumn, shape), setOf({P::timeNotFourteenDigits})) << shape;
}

TEST(FieldChecks, CoordinatesAreDecimalDegreesInRangeAndInJapan) {
    // The corners of Japan's bounds are inside; signs and long fractions are fine.
    for (auto [latitude, longitude] : {std::pair{"20", "122"}, {"46", "154"}, {"+35.5", "139.123456789012"}})
        EXPECT_TRUE(atPosition(latitude, longitude).empty()) << latitude << " " << longitude;
    for (const char* text : {"35,6", " 35.6", "35.6 ", "35.", ".5", "3.5.1", "1e1", "-", "0x1F", "３５.６"}) {
        EXPECT_EQ(atPosition(text, "139.7"), setOf({P::latitudeNotDecimal})) << text;
        EXPECT_EQ(atPosition("35.6", text), setOf({P::longitudeNotDecimal})) << text;
    }
    // The range limits themselves are valid (and outside Japan); a hair beyond is an error.
    EXPECT_EQ(atPosition("90", "139.7"), setOf({P::latitudeOutsideJapan}));
    EXPECT_EQ(atPosition("-90.000000", "139.7"), setOf({P::latitudeOutsideJapan}));
    EXPECT_EQ(atPosition("90.000001", "139.7"), setOf({P::latitudeOutOfRange}));
    EXPECT_EQ(atPosition("-90.1", "139.7"), setOf({P::latitudeOutOfRange}));
    EXPECT_EQ(atPosition("35.6", "-180"), setOf({P::longitudeOutsideJapan}));
    EXPECT_EQ(atPosition("35.6", "180.000001"), setOf({P::longitudeOutOfRange}));
    // Outside Japan: the coordinate outside its band is marked.
    EXPECT_EQ(atPosition("19.999999", "139.7"), setOf({P::latitudeOutsideJapan}));
    EXPECT_EQ(atPosition("46.000001", "139.7"), setOf({P::latitudeOutsideJapan}));
    EXPECT_EQ(atPosition("35.6", "121.999999"), setOf({P::longitudeOutsideJapan}));
    EXPECT_EQ(atPosition("35.6", "154.000001"), setOf({P::longitudeOutsideJapan}));
    EXPECT_EQ(atPosition("0", "0"), setOf({P::latitudeOutsideJapan, P::longitudeOutsideJapan}));
    EXPECT_EQ(fieldProblemInfo(P::latitudeOutsideJapan).severity, TSeverity::warning);
    // Swapped: exchanging them puts the point inside; the latitude is also out of range then.
    EXPECT_EQ(atPosition("139.745433", "35.658581"),
              setOf({P::latitudeOutOfRange, P::latitudeSwapped, P::longitudeSwapped}));
    EXPECT_EQ(atPosition("-139.7", "35.6"), setOf({P::latitudeOutOfRange, P::longitudeOutsideJapan}));
    EXPECT_EQ(atPosition("35.6", "x"), setOf({P::longitudeNotDecimal}));
}

TEST(FieldChecks, RepeatAndDistancesAreNonNegativeIntegers) {
    for (int column : {kRepeatColumn, kDistance1Column, kDistance2Column}) {
        EXPECT_TRUE(problemsWith(column, "0").empty());
        EXPECT_TRUE(problemsWith(column, "007").empty());
        for (const char* text : {"-1", "1.5", " 1", "+1", "１", "ten"}) {
            const TRecordProblems problems = problemsWith(column, text);
            ASSERT_EQ(problems.count(), 1) << text;
            EXPECT_EQ(fieldProblemInfo(*problems.begin()).column, column);
        }
    }
}

TEST(FieldChecks, AProblemsListWalksTheCellsLeftToRight) {
    TPointMarkRow row;
    row[kDistance2Column] = "x";
    row[kUnitColumn] = "dms";
    row[kLatitudeColumn] = "1000";
    std::vector<int> columns;
    const TRecordProblems problems = checkRecord(row);
    for (P problem : problems) columns.push_back(fieldProblemInfo(problem).column);
    EXPECT_EQ(columns, (std::vector<int>{0, 1, 2, 4, 6, 7, 9, 10, 15}));
    EXPECT_EQ(problems.count(TSeverity::warning), 1);
    EXPECT_EQ(problems.ofColumn(kLatitudeColumn), setOf({P::latitudeOutOfRange}));
    EXPECT_TRUE(problems.ofColumn(kColumnCount).empty());
}

TEST(TableChecks, FollowTheTableAndFindTheNextProblemCell) {
    TPointMarkTable table;
    table.writeHeaderRow(); // the header texts would fail every check as a record
    table.setRowCount(5);
    for (int r = 1; r < 5; ++r) table.setRow(r, goodRow());
    TTableChecks checks;
    checks.checkAll(table);
    EXPECT_EQ(checks.errorCount() + checks.warningCount(), 0);
    EXPECT_EQ(checks.nextProblemCell({0, 1}), std::nullopt);

    table.setCell(kTimeColumn, 2, "bad");
    table.setCell(kUnitColumn, 4, "dms");
    table.setCell(kEnabledColumn, 4, "yes");
    checks.checkRows(table, 2, 4);
    EXPECT_EQ(checks.errorCount(), 2);
    EXPECT_EQ(checks.warningCount(), 1);
    EXPECT_EQ(checks.problemsOf(kTimeColumn, 2), setOf({P::timeNotFourteenDigits}));
    EXPECT_TRUE(checks.problemsOf(kTimeColumn, 3).empty());
    EXPECT_TRUE(checks.problemsOf(0, 99).empty());
    // Reading order, round past the end, and the cell itself last.
    EXPECT_EQ(checks.nextProblemCell({-1, 0}), (TCellPos{kTimeColumn, 2}));
    EXPECT_EQ(checks.nextProblemCell({kTimeColumn, 2}), (TCellPos{kUnitColumn, 4}));
    EXPECT_EQ(checks.nextProblemCell({kUnitColumn, 4}), (TCellPos{kEnabledColumn, 4}));
    EXPECT_EQ(checks.nextProblemCell({kEnabledColumn, 4}), (TCellPos{kTimeColumn, 2}));

    // Rows inserted and removed move the problems with their rows and keep the counts.
    table.insertRows({1}, {TPointMarkRow{}});
    table.setCell(kDatumColumn, 1, "X");
    checks.rowsInserted(table, 1, 1);
    EXPECT_EQ(checks.problemsOf(kTimeColumn, 3), setOf({P::timeNotFourteenDigits}));
    EXPECT_EQ(checks.errorCount(), 2 + 8); // "X" for DATUM, and seven required cells empty
    table.removeRows({3});
    checks.rowsRemoved(3, 1);
    EXPECT_EQ(checks.errorCount(), 9);
    EXPECT_EQ(checks.problemsOf(kUnitColumn, 4), setOf({P::unitUnusual}));
    TTableChecks fresh;
    fresh.checkAll(table);
    EXPECT_EQ(fresh.errorCount(), checks.errorCount());
    EXPECT_EQ(fresh.warningCount(), checks.warningCount());
}
