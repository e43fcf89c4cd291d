#include "app/field_checks.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string>
#include <system_error>

namespace {

using P = TFieldProblem;
constexpr TSeverity kError = TSeverity::error;
constexpr TSeverity kWarning = TSeverity::warning;

constexpr const char* kEmpty = "required value is empty";
constexpr const char* kEmptyJa = "必須項目が空です";
constexpr const char* kNotDecimal = "not decimal degrees (digits with an optional sign and point)";
constexpr const char* kNotDecimalJa = "度の10進数 (符号・小数点付きの数字) ではありません";
constexpr const char* kSwapped = "latitude and longitude look swapped: exchanged, the point lies in Japan";
constexpr const char* kSwappedJa = "緯度と経度が入れ替わっているようです (入れ替えると日本国内)";
constexpr const char* kNotInteger = "not a non-negative integer";
constexpr const char* kNotIntegerJa = "0 以上の整数ではありません";

constexpr TFieldProblemInfo kInfos[] = {
    {kDatumColumn, kError, kEmpty, kEmptyJa},
    {kDatumColumn, kError, "datum is neither TOKYO nor WGS84", "測地系が TOKYO でも WGS84 でもありません"},
    {kUnitColumn, kError, kEmpty, kEmptyJa},
    {kUnitColumn, kWarning, "unit is not DEG; the coordinates were checked as decimal degrees",
     "単位が DEG ではありません (座標は度の10進数として確認しました)"},
    {kTimeColumn, kError, kEmpty, kEmptyJa},
    {kTimeColumn, kError, "time is not 14 digits YYYYMMDDhhmmss", "時刻が14桁の数字 (YYYYMMDDhhmmss) ではありません"},
    {kTimeColumn, kError, "no such date", "存在しない日付です"},
    {kTimeColumn, kError, "no such time of day (00:00:00 to 23:59:59)", "存在しない時刻です (00:00:00～23:59:59)"},
    {kNameColumn, kError, kEmpty, kEmptyJa},
    {kLatitudeColumn, kError, kEmpty, kEmptyJa},
    {kLatitudeColumn, kError, kNotDecimal, kNotDecimalJa},
    {kLatitudeColumn, kError, "latitude outside -90 to 90", "緯度が -90～90 の範囲外です"},
    {kLatitudeColumn, kWarning, "latitude outside Japan (20 to 46 N)", "緯度が日本の範囲 (北緯20～46度) の外です"},
    {kLatitudeColumn, kWarning, kSwapped, kSwappedJa},
    {kLongitudeColumn, kError, kEmpty, kEmptyJa},
    {kLongitudeColumn, kError, kNotDecimal, kNotDecimalJa},
    {kLongitudeColumn, kError, "longitude outside -180 to 180", "経度が -180～180 の範囲外です"},
    {kLongitudeColumn, kWarning, "longitude outside Japan (122 to 154 E)",
     "経度が日本の範囲 (東経122～154度) の外です"},
    {kLongitudeColumn, kWarning, kSwapped, kSwappedJa},
    {kCategoryColumn, kError, kEmpty, kEmptyJa},
    {kIconColumn, kError, kEmpty, kEmptyJa},
    {kRepeatColumn, kError, kNotInteger, kNotIntegerJa},
    {kEnabledColumn, kError, "neither ON nor OFF", "ON でも OFF でもありません"},
    {kDistance1Column, kError, kNotInteger, kNotIntegerJa},
    {kDistance2Column, kError, kNotInteger, kNotIntegerJa},
};
static_assert(std::size(kInfos) == static_cast<std::size_t>(TFieldProblem::count));

// Masks of the problems by severity and by column, built once from the table above.
struct Masks {
    std::uint32_t errors = 0;
    std::uint32_t columns[kColumnCount] = {};
    constexpr Masks() {
        for (std::size_t p = 0; p < std::size(kInfos); ++p) {
            const std::uint32_t bit = std::uint32_t(1) << p;
            if (kInfos[p].severity == kError) errors |= bit;
            columns[kInfos[p].column] |= bit;
        }
    }
};
constexpr Masks kMasks;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), isDigit); }

int number(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

void checkTime(std::string_view time, TRecordProblems& problems) {
    if (time.size() != 14 || !allDigits(time)) return problems.add(P::timeNotFourteenDigits);
    const int year = number(time.substr(0, 4)), month = number(time.substr(4, 2)), day = number(time.substr(6, 2));
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        problems.add(P::timeNoSuchDate);
    if (number(time.substr(8, 2)) > 23 || number(time.substr(10, 2)) > 59 || number(time.substr(12, 2)) > 59)
        problems.add(P::timeNoSuchClockTime);
}

bool inLatitudeBand(double latitude) { return latitude >= 20 && latitude <= 46; }
bool inLongitudeBand(double longitude) { return longitude >= 122 && longitude <= 154; }

// One coordinate cell: its own problems, and its value when it is a number in range.
struct Coordinate {
    std::optional<double> value;
    bool present = false;
};

Coordinate checkCoordinate(std::string_view cell, double limit, P notDecimal, P outOfRange, TRecordProblems& problems) {
    Coordinate coordinate;
    coordinate.present = true;
    const std::optional<TDecimalDegrees> parsed = parseDecimalDegrees(cell);
    if (!parsed) {
        problems.add(notDecimal);
        return coordinate;
    }
    // The swap test below reads out-of-range values too: 139.7 as a latitude is the usual case.
    coordinate.value = parsed->value;
    if (parsed->value < -limit || parsed->value > limit) problems.add(outOfRange);
    return coordinate;
}

void checkPosition(const Coordinate& latitude, const Coordinate& longitude, TRecordProblems& problems) {
    if (latitude.value && longitude.value && inLatitudeBand(*longitude.value) && inLongitudeBand(*latitude.value)) {
        problems.add(P::latitudeSwapped);
        problems.add(P::longitudeSwapped);
        return;
    }
    if (latitude.value && !problems.has(P::latitudeOutOfRange) && !inLatitudeBand(*latitude.value))
        problems.add(P::latitudeOutsideJapan);
    if (longitude.value && !problems.has(P::longitudeOutOfRange) && !inLongitudeBand(*longitude.value))
        problems.add(P::longitudeOutsideJapan);
}

} // namespace

const TFieldProblemInfo& fieldProblemInfo(TFieldProblem problem) { return kInfos[static_cast<std::size_t>(problem)]; }

int TRecordProblems::count(TSeverity severity) const {
    const std::uint32_t mask = severity == TSeverity::error ? kMasks.errors : ~kMasks.errors;
    return std::popcount(bits_ & mask);
}

TRecordProblems TRecordProblems::ofColumn(int column) const {
    TRecordProblems problems;
    if (column >= 0 && column < kColumnCount) problems.bits_ = bits_ & kMasks.columns[column];
    return problems;
}

std::optional<TDecimalDegrees> parseDecimalDegrees(std::string_view cell) {
    std::size_t i = !cell.empty() && (cell[0] == '-' || cell[0] == '+') ? 1 : 0;
    const std::size_t integerStart = i;
    while (i < cell.size() && isDigit(cell[i])) ++i;
    if (i == integerStart) return std::nullopt;
    int decimals = 0;
    if (i < cell.size() && cell[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < cell.size() && isDigit(cell[i])) ++i;
        if (i == fractionStart) return std::nullopt;
        decimals = static_cast<int>(i - fractionStart);
    }
    if (i != cell.size()) return std::nullopt;
    TDecimalDegrees degrees;
    degrees.decimals = decimals;
    // from_chars takes no plus sign; the syntax is already checked, so the number always reads,
    // except beyond the range of a double, where strtod gives the infinity or zero it rounds to.
    const std::size_t start = cell[0] == '+' ? 1 : 0;
    if (std::from_chars(cell.data() + start, cell.data() + cell.size(), degrees.value).ec != std::errc())
        degrees.value = std::strtod(std::string(cell).c_str(), nullptr);
    return degrees;
}

bool isBlankRecord(const TPointMarkRow& row) {
    return std::all_of(row.begin(), row.end(), [](std::string_view cell) { return cell.empty(); });
}

TRecordProblems checkRecord(const TPointMarkRow& row) {
    TRecordProblems problems;
    if (isBlankRecord(row)) return problems;
    auto filled = [&](int column, P missing) {
        if (!row[column].empty()) return true;
        problems.add(missing);
        return false;
    };
    if (filled(kDatumColumn, P::datumMissing) && row[kDatumColumn] != "TOKYO" && row[kDatumColumn] != "WGS84")
        problems.add(P::datumUnknown);
    if (filled(kUnitColumn, P::unitMissing) && row[kUnitColumn] != "DEG") problems.add(P::unitUnusual);
    if (filled(kTimeColumn, P::timeMissing)) checkTime(row[kTimeColumn], problems);
    filled(kNameColumn, P::nameMissing);
    Coordinate latitude, longitude;
    if (filled(kLatitudeColumn, P::latitudeMissing))
        latitude = checkCoordinate(row[kLatitudeColumn], 90, P::latitudeNotDecimal, P::latitudeOutOfRange, problems);
    if (filled(kLongitudeColumn, P::longitudeMissing))
        longitude =
            checkCoordinate(row[kLongitudeColumn], 180, P::longitudeNotDecimal, P::longitudeOutOfRange, problems);
    checkPosition(latitude, longitude, problems);
    filled(kCategoryColumn, P::categoryMissing);
    filled(kIconColumn, P::iconMissing);
    auto integer = [&](int column, P problem) {
        if (!row[column].empty() && !allDigits(row[column])) problems.add(problem);
    };
    integer(kRepeatColumn, P::repeatNotInteger);
    const std::string_view enabled = row[kEnabledColumn];
    if (!enabled.empty() && enabled != "ON" && enabled != "OFF") problems.add(P::enabledNotOnOff);
    integer(kDistance1Column, P::distance1NotInteger);
    integer(kDistance2Column, P::distance2NotInteger);
    return problems;
}

void TTableChecks::count(TRecordProblems problems, int sign) {
    errors_ += sign * problems.count(TSeverity::error);
    warnings_ += sign * problems.count(TSeverity::warning);
}

void TTableChecks::checkAll(const TPointMarkTable& table) {
    rows_.assign(static_cast<std::size_t>(table.rowCount()), TRecordProblems());
    errors_ = warnings_ = 0;
    checkRows(table, 0, table.rowCount() - 1);
}

void TTableChecks::checkRows(const TPointMarkTable& table, int first, int last) {
    // Rows the table no longer has take their problems out of the counts.
    for (std::size_t r = static_cast<std::size_t>(table.rowCount()); r < rows_.size(); ++r) count(rows_[r], -1);
    rows_.resize(static_cast<std::size_t>(table.rowCount()));
    first = std::max(first, 0);
    last = std::min(last, table.rowCount() - 1);
    const auto& rows = table.rows();
    for (int r = first; r <= last; ++r) {
        count(rows_[r], -1);
        rows_[r] = r < table.fixedRows() ? TRecordProblems() : checkRecord(rows[r]);
        count(rows_[r], +1);
    }
}

void TTableChecks::rowsInserted(const TPointMarkTable& table, int first, int count) {
    first = std::clamp(first, 0, static_cast<int>(rows_.size()));
    rows_.insert(rows_.begin() + first, static_cast<std::size_t>(std::max(count, 0)), TRecordProblems());
    checkRows(table, first, first + count - 1);
}

void TTableChecks::rowsRemoved(int first, int count) {
    first = std::clamp(first, 0, static_cast<int>(rows_.size()));
    const int last = std::clamp(first + count, first, static_cast<int>(rows_.size()));
    for (int r = first; r < last; ++r) this->count(rows_[r], -1);
    rows_.erase(rows_.begin() + first, rows_.begin() + last);
}

TRecordProblems TTableChecks::problemsOf(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row] : TRecordProblems();
}

std::optional<TCellPos> TTableChecks::nextProblemCell(TCellPos after) const {
    const int rowCount = static_cast<int>(rows_.size());
    if (rowCount == 0 || errors_ + warnings_ == 0) return std::nullopt;
    const int start = std::clamp(after.row, 0, rowCount - 1);
    // The rest of the starting row, the rows after it, the rows before it, the starting row's beginning.
    for (int k = 0; k <= rowCount; ++k) {
        const int row = (start + k) % rowCount;
        if (rows_[row].empty()) continue;
        const int firstColumn = k == 0 ? after.column + 1 : 0;
        const int endColumn = k == rowCount ? after.column + 1 : kColumnCount;
        for (int column = std::max(firstColumn, 0); column < std::min(endColumn, kColumnCount); ++column)
            if (!rows_[row].ofColumn(column).empty()) return TCellPos{column, row};
    }
    return std::nullopt;
}
