#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "app/cell_search.h"
#include "app/point_mark_table.h"

// Checks of the values of point records. A check only reads cells: it never changes one, and
// nothing it finds stops editing or saving.
//
// The rules, per column:
// - the eight required cells (DATUM, UNIT, TIME, 地点名, 緯度, 経度, カテゴリ, アイコン) are filled;
//   an empty required cell is an error and gets no other check;
// - DATUM is "TOKYO" or "WGS84" (else an error);
// - UNIT is "DEG", the unit of decimal degrees (else a warning: the coordinates are still checked
//   as decimal degrees, and the editor never interprets the unit otherwise);
// - TIME is 14 digits YYYYMMDDhhmmss forming a real date of the Gregorian calendar (year 0001 to
//   9999, leap years included) and a time of the 24-hour clock from 00:00:00 to 23:59:59;
// - 緯度 and 経度 are decimal degrees: an optional sign, digits, and optionally a point followed by
//   digits ("35.681236", "-0.5"; no blanks, no exponent, no full-width digits), within -90..90 and
//   -180..180 (else an error). A point outside Japan (20..46 N, 122..154 E) is a warning on the
//   coordinate that lies outside its band; when exchanging the two values would put the point
//   inside, both cells get the warning that they look swapped instead;
// - 繰り返し, 距離1 and 距離2 are non-negative integers (ASCII digits only; else an error);
// - 有効/無効 is "ON" or "OFF" (else an error).
// An empty optional cell is no problem (the writer writes empty values), and a record whose
// sixteen cells are all empty (a row just added, not yet filled) has no problem at all.

// Column indices of the cells that the checks, the datum conversion and the duplicate search read.
constexpr int kDatumColumn = 0;
constexpr int kUnitColumn = 1;
constexpr int kTimeColumn = 2;
constexpr int kNameColumn = 4;
constexpr int kLatitudeColumn = 6;
constexpr int kLongitudeColumn = 7;
constexpr int kCategoryColumn = 9;
constexpr int kIconColumn = 10;
constexpr int kRepeatColumn = 12;
constexpr int kEnabledColumn = 13;
constexpr int kDistance1Column = 14;
constexpr int kDistance2Column = 15;

enum class TSeverity : std::uint8_t { warning, error };

// Every problem a check can find. Each belongs to one column; they are listed in column order,
// so walking a record's problems in this order walks its cells from left to right.
enum class TFieldProblem : std::uint8_t {
    datumMissing,
    datumUnknown,
    unitMissing,
    unitUnusual,
    timeMissing,
    timeNotFourteenDigits,
    timeNoSuchDate,
    timeNoSuchClockTime,
    nameMissing,
    latitudeMissing,
    latitudeNotDecimal,
    latitudeOutOfRange,
    latitudeOutsideJapan,
    latitudeSwapped,
    longitudeMissing,
    longitudeNotDecimal,
    longitudeOutOfRange,
    longitudeOutsideJapan,
    longitudeSwapped,
    categoryMissing,
    iconMissing,
    repeatNotInteger,
    enabledNotOnOff,
    distance1NotInteger,
    distance2NotInteger,
    count
};

// What a problem is: its column, its severity, and the reason as an English line (for the
// command-line tools) and in Japanese (for the window's tooltips), both UTF-8, neither naming the
// column.
struct TFieldProblemInfo {
    int column;
    TSeverity severity;
    const char* reason;
    const char* reasonJapanese;
};
const TFieldProblemInfo& fieldProblemInfo(TFieldProblem problem);

// The problems of one record: a set of TFieldProblem values, iterated in column order.
class TRecordProblems {
public:
    bool empty() const { return bits_ == 0; }
    bool has(TFieldProblem problem) const { return bits_ & bit(problem); }
    void add(TFieldProblem problem) { bits_ |= bit(problem); }
    int count() const { return std::popcount(bits_); }
    int count(TSeverity severity) const;
    // The problems that belong to one column.
    TRecordProblems ofColumn(int column) const;
    bool operator==(const TRecordProblems&) const = default;

    class iterator {
    public:
        explicit iterator(std::uint32_t bits) : bits_(bits) {}
        TFieldProblem operator*() const { return static_cast<TFieldProblem>(std::countr_zero(bits_)); }
        iterator& operator++() {
            bits_ &= bits_ - 1;
            return *this;
        }
        bool operator==(const iterator&) const = default;

    private:
        std::uint32_t bits_;
    };
    iterator begin() const { return iterator(bits_); }
    iterator end() const { return iterator(0); }

private:
    static std::uint32_t bit(TFieldProblem problem) { return std::uint32_t(1) << static_cast<int>(problem); }
    std::uint32_t bits_ = 0;
};
static_assert(static_cast<int>(TFieldProblem::count) <= 32);

// The problems of a record's cells.
TRecordProblems checkRecord(const TPointMarkRow& row);

// A coordinate cell read as decimal degrees: its value and the number of digits after its point.
struct TDecimalDegrees {
    double value = 0;
    int decimals = 0;
};
// The cell read by the rule of the coordinate check (range not checked); nullopt when it is not
// decimal degrees.
std::optional<TDecimalDegrees> parseDecimalDegrees(std::string_view cell);

// Whether every cell of a row is empty.
bool isBlankRecord(const TPointMarkRow& row);

// The problems of every record of a table, kept per table row, for the window's marked cells,
// its count in the status line and its step to the next problem. Rows before the table's first
// record (the header row) have none. Keep it in step with the table: checkRows after cells
// changed, rowsInserted and rowsRemoved after rows moved, checkAll after anything else.
class TTableChecks {
public:
    // Checks every row of the table.
    void checkAll(const TPointMarkTable& table);
    // Checks again the rows first..last (clipped to the table) after their cells changed.
    void checkRows(const TPointMarkTable& table, int first, int last);
    // The table received count rows at row first (checked here) or lost count rows from row first on.
    void rowsInserted(const TPointMarkTable& table, int first, int count);
    void rowsRemoved(int first, int count);

    // The problems of a row, or of one of its cells; none outside the rows checked.
    TRecordProblems problemsOf(int row) const;
    TRecordProblems problemsOf(int column, int row) const { return problemsOf(row).ofColumn(column); }
    // The rows checked: the table's rows as last reported.
    int rowCount() const { return static_cast<int>(rows_.size()); }
    // Problems of each severity in the whole table.
    int errorCount() const { return errors_; }
    int warningCount() const { return warnings_; }
    // The next cell with a problem after the given one, in reading order (left to right, then
    // down), starting again at the top after the last row; the given cell itself comes last.
    // Nullopt when no cell has a problem.
    std::optional<TCellPos> nextProblemCell(TCellPos after) const;

private:
    void count(TRecordProblems problems, int sign);

    std::vector<TRecordProblems> rows_; // one per table row
    int errors_ = 0;
    int warnings_ = 0;
};
