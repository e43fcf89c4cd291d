#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/edit_history.h"
#include "app/point_mark_table.h"
#include "text/exception.h"

// Conversion of coordinates between the two datums of point-mark files: the old Tokyo datum
// (EPSG:4301) and WGS 84 (EPSG:4326), through PROJ.
//
// PROJ chooses, per point, the most accurate transformation whose area of use holds the point.
// Its candidates between these two datums (PROJ 9.1) are geocentric translations (Helmert) that
// need no grid file: for Japan "Tokyo to WGS 84 (108)" (EPSG:15484, given as accurate to 9 m), for
// South Korea EPSG:1305 (4 m); a point outside every area of use takes the first candidate,
// EPSG:15484. Network access is off, so nothing is ever fetched.

enum class TDatum { tokyo, wgs84 };

// "TOKYO" or "WGS84" as written in the DATUM cell; nullopt for anything else.
std::optional<TDatum> datumOfCell(std::string_view cell);
const char* datumName(TDatum datum);

// PROJ could not be set up (no database, no transformation between the datums).
class EDatumError : public Exception {
    using Exception::Exception;
};

// A transformation between the two datums with its own PROJ context and network access off.
// Setting it up reads PROJ's database (tens of milliseconds): keep one and reuse it. Not for use
// by two threads at once. Raises EDatumError when PROJ cannot be set up.
class TDatumTransform {
public:
    TDatumTransform();
    ~TDatumTransform();
    TDatumTransform(const TDatumTransform&) = delete;
    TDatumTransform& operator=(const TDatumTransform&) = delete;

    // Transforms count points in place from one datum to the other (nothing when from == to).
    // Latitudes and longitudes are in degrees; a point that PROJ cannot transform comes back as
    // HUGE_VAL in both.
    void transform(TDatum from, TDatum to, double* latitudes, double* longitudes, std::size_t count);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Why a record was left in its datum by a conversion.
enum class TDatumSkipReason {
    unknownDatum,          // DATUM is neither TOKYO nor WGS84
    unreadableCoordinates, // 緯度 or 経度 is not decimal degrees within -90..90 / -180..180
    transformFailed,       // PROJ gave no result for the point
};
// The reason in English and in Japanese (UTF-8).
const char* datumSkipReasonText(TDatumSkipReason reason);
const char* datumSkipReasonJapanese(TDatumSkipReason reason);

struct TDatumSkip {
    int row;
    TDatumSkipReason reason;
    bool operator==(const TDatumSkip&) const = default;
};

// The cells that converting the given table rows to the target datum changes, and the rows left
// alone. A converted record gets new 緯度 and 経度 written with as many decimals as the cell had,
// at least six, and DATUM set to the target. Records already in the target datum, wholly empty
// rows, the header row and rows outside the table are passed over without a word.
struct TDatumConversion {
    std::vector<TCellValue> values;
    std::vector<TDatumSkip> skipped;
};
TDatumConversion convertDatum(const TPointMarkTable& table, const std::vector<int>& rows, TDatum target,
                              TDatumTransform& transform);

// Writes a coordinate in decimal degrees with the given number of decimals (never "-0.000000").
std::string formatDegrees(double value, int decimals);
