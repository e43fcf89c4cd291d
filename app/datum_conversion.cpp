#include "app/datum_conversion.h"

#include <proj.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "app/field_checks.h"

std::optional<TDatum> datumOfCell(std::string_view cell) {
    if (cell == "TOKYO") return TDatum::tokyo;
    if (cell == "WGS84") return TDatum::wgs84;
    return std::nullopt;
}

const char* datumName(TDatum datum) { return datum == TDatum::tokyo ? "TOKYO" : "WGS84"; }

// One context per transform, so that transforms in different threads never share PROJ state.
// The operation keeps the axis order of the EPSG definitions: latitude first, then longitude.
struct TDatumTransform::Impl {
    PJ_CONTEXT* context = nullptr;
    PJ* tokyoToWgs84 = nullptr;
    // The first message that PROJ logged while the transformation was set up: its own reason
    // (such as "Cannot find proj.db"), where its error number says only "Unknown error".
    std::string setupMessage;
    bool settingUp = true;

    ~Impl() {
        if (tokyoToWgs84) proj_destroy(tokyoToWgs84);
        if (context) proj_context_destroy(context);
    }

    // PROJ's logger: nothing is printed; the first message of the set-up is kept, without the
    // name of the function that logged it.
    static void log(void* data, int, const char* message) {
        auto* impl = static_cast<Impl*>(data);
        if (!impl->settingUp || !impl->setupMessage.empty() || !message) return;
        std::string_view text(message);
        const std::size_t colon = text.find(": ");
        if (colon != std::string_view::npos && colon > 0 &&
            text.substr(0, colon).find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                                    "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == std::string_view::npos)
            text.remove_prefix(colon + 2);
        impl->setupMessage = text;
    }
};

TDatumTransform::TDatumTransform() : impl_(std::make_unique<Impl>()) {
    impl_->context = proj_context_create();
    if (!impl_->context) throw EDatumError("PROJ could not create a context");
    // Only what is installed: no grid is ever fetched over the network, whatever PROJ_NETWORK says.
    proj_context_set_enable_network(impl_->context, 0);
    proj_log_func(impl_->context, impl_.get(), &Impl::log);
    proj_log_level(impl_->context, PJ_LOG_ERROR);
    impl_->tokyoToWgs84 = proj_create_crs_to_crs(impl_->context, "EPSG:4301", "EPSG:4326", nullptr);
    impl_->settingUp = false;
    proj_log_level(impl_->context, PJ_LOG_NONE);
    if (!impl_->tokyoToWgs84) {
        const char* number = proj_context_errno_string(impl_->context, proj_context_errno(impl_->context));
        const std::string reason = !impl_->setupMessage.empty() ? impl_->setupMessage : number ? number : "";
        throw EDatumError("PROJ cannot transform between Tokyo (EPSG:4301) and WGS 84 (EPSG:4326): " + reason);
    }
}

TDatumTransform::~TDatumTransform() = default;

void TDatumTransform::transform(TDatum from, TDatum to, double* latitudes, double* longitudes, std::size_t count) {
    if (from == to || count == 0) return;
    const PJ_DIRECTION direction = from == TDatum::tokyo ? PJ_FWD : PJ_INV;
    proj_trans_generic(impl_->tokyoToWgs84, direction, latitudes, sizeof(double), count, longitudes, sizeof(double),
                       count, nullptr, 0, 0, nullptr, 0, 0);
}

const char* datumSkipReasonText(TDatumSkipReason reason) {
    switch (reason) {
    case TDatumSkipReason::unknownDatum:
        return "datum is neither TOKYO nor WGS84";
    case TDatumSkipReason::unreadableCoordinates:
        return "latitude or longitude is not decimal degrees within range";
    case TDatumSkipReason::transformFailed:
        return "PROJ could not transform the point";
    }
    return "";
}

const char* datumSkipReasonJapanese(TDatumSkipReason reason) {
    switch (reason) {
    case TDatumSkipReason::unknownDatum:
        return "測地系が TOKYO でも WGS84 でもありません";
    case TDatumSkipReason::unreadableCoordinates:
        return "緯度か経度が範囲内の度の10進数ではありません";
    case TDatumSkipReason::transformFailed:
        return "PROJ が座標を変換できませんでした";
    }
    return "";
}

namespace {

// formatDegrees through the C++ library: slower, for what the integer path does not take.
std::string formatDegreesByLibrary(double value, int decimals) {
    // Room for the sign, the point, the decimals and the 309 digits before the point of the largest double.
    std::string text(static_cast<std::size_t>(std::max(decimals, 0)) + 312, '\0');
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
    text.resize(static_cast<std::size_t>(result.ptr - text.data()));
    // A value that rounds to zero keeps no minus sign.
    if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) text.erase(0, 1);
    return text;
}

} // namespace

std::string formatDegrees(double value, int decimals) {
    // |value| is m / 2^shift with a 53-bit integer m, so |value| * 10^decimals is exactly
    // m * 10^decimals / 2^shift: that quotient, rounded half to even as the library rounds the
    // exact value, gives the digits; a conversion takes this path for each coordinate.
    static constexpr std::uint64_t kPowersOfTen[] = {1,
                                                     10,
                                                     100,
                                                     1000,
                                                     10000,
                                                     100000,
                                                     1000000,
                                                     10000000,
                                                     100000000,
                                                     1000000000,
                                                     10000000000,
                                                     100000000000,
                                                     1000000000000,
                                                     10000000000000,
                                                     100000000000000,
                                                     1000000000000000,
                                                     10000000000000000,
                                                     100000000000000000,
                                                     1000000000000000000};
    int exponent = 0;
    const double fraction = std::frexp(std::abs(value), &exponent);
    const int shift = 53 - exponent;
    if (decimals < 0 || decimals >= static_cast<int>(std::size(kPowersOfTen)) || !std::isfinite(value) || shift <= 0)
        return formatDegreesByLibrary(value, decimals);
    using Wide = unsigned __int128;
    const Wide scaled = Wide{static_cast<std::uint64_t>(std::ldexp(fraction, 53))} * kPowersOfTen[decimals];
    Wide quotient = 0; // stays 0 when even the largest scaled value is below half of 2^shift
    if (shift < 120) {
        quotient = scaled >> shift;
        const Wide rest = scaled - (quotient << shift), half = Wide{1} << (shift - 1);
        if (rest > half || (rest == half && (quotient & 1) != 0)) ++quotient;
    }
    if (quotient >> 64 != 0) return formatDegreesByLibrary(value, decimals);
    auto digits = static_cast<std::uint64_t>(quotient);
    char text[48];
    char* const end = text + sizeof text;
    char* at = end;
    for (int i = 0; i < decimals; ++i, digits /= 10) *--at = static_cast<char>('0' + digits % 10);
    if (decimals > 0) *--at = '.';
    do {
        *--at = static_cast<char>('0' + digits % 10);
    } while ((digits /= 10) != 0);
    // A value that rounds to zero keeps no minus sign.
    if (value < 0 && quotient != 0) *--at = '-';
    return std::string(at, end);
}

TDatumConversion convertDatum(const TPointMarkTable& table, const std::vector<int>& rows, TDatum target,
                              TDatumTransform& transform) {
    TDatumConversion conversion;
    // The records to transform, with their source datum's points in one batch each.
    struct Pending {
        int row;
        int latitudeDecimals;
        int longitudeDecimals;
    };
    std::vector<Pending> pending;
    std::vector<double> latitudes, longitudes;
    const TDatum source = target == TDatum::tokyo ? TDatum::wgs84 : TDatum::tokyo;
    auto consider = [&](int r) {
        if (r < table.fixedRows() || r >= table.rowCount()) return;
        const TPointMarkRow& row = table.rows()[static_cast<std::size_t>(r)];
        const std::optional<TDatum> datum = datumOfCell(row[kDatumColumn]);
        if (datum == target || (!datum && isBlankRecord(row))) return;
        if (!datum) return conversion.skipped.push_back({r, TDatumSkipReason::unknownDatum});
        const std::optional<TDecimalDegrees> latitude = parseDecimalDegrees(row[kLatitudeColumn]);
        const std::optional<TDecimalDegrees> longitude = parseDecimalDegrees(row[kLongitudeColumn]);
        if (!latitude || !longitude || std::abs(latitude->value) > 90 || std::abs(longitude->value) > 180)
            return conversion.skipped.push_back({r, TDatumSkipReason::unreadableCoordinates});
        pending.push_back({r, latitude->decimals, longitude->decimals});
        latitudes.push_back(latitude->value);
        longitudes.push_back(longitude->value);
    };
    if (rows.empty()) {
        for (int r = table.fixedRows(); r < table.rowCount(); ++r) consider(r);
    } else {
        std::vector<int> sorted = rows;
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        for (int r : sorted) consider(r);
    }
    transform.transform(source, target, latitudes.data(), longitudes.data(), pending.size());

    conversion.values.reserve(pending.size() * 3);
    for (std::size_t k = 0; k < pending.size(); ++k) {
        const int r = pending[k].row;
        if (!std::isfinite(latitudes[k]) || !std::isfinite(longitudes[k]) || std::abs(latitudes[k]) > 90 ||
            std::abs(longitudes[k]) > 180) {
            conversion.skipped.push_back({r, TDatumSkipReason::transformFailed});
            continue;
        }
        conversion.values.push_back({kDatumColumn, r, datumName(target)});
        conversion.values.push_back(
            {kLatitudeColumn, r, formatDegrees(latitudes[k], std::max(pending[k].latitudeDecimals, 6))});
        conversion.values.push_back(
            {kLongitudeColumn, r, formatDegrees(longitudes[k], std::max(pending[k].longitudeDecimals, 6))});
    }
    std::sort(conversion.skipped.begin(), conversion.skipped.end(),
              [](const TDatumSkip& a, const TDatumSkip& b) { return a.row < b.row; });
    return conversion;
}
