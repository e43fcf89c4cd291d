#include "text/encoding_conversion.h"

#include <array>
#include <cstdio>

#include "text/exception.h"
#include "text/single_byte_decoders.h"

namespace {
namespace cp932data {
#include "text/code_page_932_tables.inc"
} // namespace cp932data

constexpr std::array<char16_t, 0x10000> makeFirstUnits() {
    using namespace cp932data;
    std::array<int, 256> leadIndex{};
    for (int& i : leadIndex) i = -1;
    for (std::size_t i = 0; i < sizeof kLeadBytes; ++i) leadIndex[kLeadBytes[i]] = static_cast<int>(i);
    std::array<char16_t, 0x10000> table{};
    for (int b1 = 0; b1 < 256; ++b1) {
        for (int b2 = 0; b2 < 256; ++b2) {
            char16_t unit = kSingleByteUnits[b1];
            if (leadIndex[b1] >= 0) unit = kPairUnits[leadIndex[b1] * 256 + b2];
            table[b1 << 8 | b2] = unit != 0 || b1 == 0 ? unit : cp932::kReplacementUnit;
        }
    }
    return table;
}

// Encoder entries: bits 16-17 hold the byte count, bits 8-15 the first byte and bits 0-7 the
// second. A count of 3 marks a high surrogate, which needs a look at the next unit.
constexpr std::uint32_t kSurrogateEntry = 3u << 16;
constexpr std::uint32_t oneByte(unsigned byte) { return 1u << 16 | byte << 8; }

constexpr std::array<std::uint32_t, 0x10000> makeEncoderEntries() {
    std::array<std::uint32_t, 0x10000> table{};
    for (std::uint32_t& entry : table) entry = oneByte(static_cast<unsigned char>(cp932::kDefaultChar));
    for (unsigned unit = 0; unit < 0x80; ++unit) table[unit] = oneByte(unit);
    for (const cp932data::Cp932Encoding& e : cp932data::kEncodings) {
        if (e.unit < 0x80) continue;
        table[e.unit] = e.length == 2 ? (2u << 16 | e.bytes) : oneByte(e.bytes & 0xFF);
    }
    for (unsigned unit = 0xD800; unit <= 0xDBFF; ++unit) table[unit] = kSurrogateEntry;
    return table;
}

constexpr std::array<std::uint32_t, 0x10000> kEncoderEntries = makeEncoderEntries();

} // namespace

// Computed while compiling, so constant-initialized and usable at any time.
constexpr std::array<char16_t, 0x10000> kShiftJisFirstUnits = makeFirstUnits();

std::size_t encodeShiftJisUnits(std::u16string_view units, bool crlf, char* out) {
    char* dest = out;
    const std::size_t n = units.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t unit = units[i];
        std::uint32_t entry = kEncoderEntries[unit];
        if (entry == kSurrogateEntry) {
            // A pair is one character beyond the code page: one "?" for both units.
            if (i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) ++i;
            entry = oneByte(static_cast<unsigned char>(cp932::kDefaultChar));
        } else if (crlf && unit == u'\n') {
            *dest++ = '\r';
        }
        // Both bytes are stored; a one-byte character lets the next one overwrite the second.
        dest[0] = static_cast<char>(entry >> 8);
        dest[1] = static_cast<char>(entry);
        dest += entry >> 16;
    }
    return static_cast<std::size_t>(dest - out);
}

void eucToShiftJisPair(std::uint8_t& b1, std::uint8_t& b2) {
    const unsigned row = static_cast<std::uint8_t>(b1 - 0x80);
    const unsigned cell = static_cast<std::uint8_t>(b2 - 0x80);
    const unsigned first = ((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0);
    unsigned second;
    if ((row & 1) == 0)
        second = cell + 0x7E;
    else
        second = cell + (b2 < 0xE0 ? 0x1F : 0x20);
    b1 = static_cast<std::uint8_t>(first);
    b2 = static_cast<std::uint8_t>(second);
}

void shiftJisToEucPair(std::uint8_t& b1, std::uint8_t& b2) {
    const unsigned s1 = b1;
    const unsigned s2 = b2;
    const unsigned first = 2 * s1 - 0x60 - (s1 < 0xA0 ? 0x80 : 0) - (s2 < 0x9F ? 1 : 0) + 0x80;
    unsigned second;
    if (s2 > 0x9E)
        second = s2 - 0x7E;
    else if (s2 >= 0x80)
        second = s2 - 0x20;
    else
        second = s2 - 0x1F;
    b1 = static_cast<std::uint8_t>(first);
    b2 = static_cast<std::uint8_t>(second + 0x80);
}

std::u16string widenLatin1(std::string_view narrow) {
    std::u16string wide(narrow.size(), u'\0');
    for (std::size_t i = 0; i < narrow.size(); ++i) wide[i] = static_cast<std::uint8_t>(narrow[i]);
    return wide;
}

std::u16string widenWindows1250(std::string_view narrow) {
    constexpr int kWindows1250 = 18;
    const char16_t* upper = kSingleByteUpperHalves[kWindows1250 - kFirstSingleByteEncoding];
    std::u16string wide(narrow.size(), u'\0');
    for (std::size_t i = 0; i < narrow.size(); ++i) {
        const std::uint8_t byte = static_cast<std::uint8_t>(narrow[i]);
        char16_t unit = byte < 0x80 ? char16_t{byte} : upper[byte - 0x80];
        wide[i] = unit == kUnassignedByte ? u'\xFFFD' : unit;
    }
    return wide;
}

std::string narrowAscii(std::u16string_view wide) {
    bool swapped = false;
    if (!wide.empty() && wide[0] == 0xFEFF) {
        wide.remove_prefix(1);
    } else if (!wide.empty() && wide[0] == 0xFFFE) {
        wide.remove_prefix(1);
        swapped = true;
    }
    std::string narrow(wide.size(), '\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char16_t unit = wide[i];
        if (swapped) unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
        if (unit >= 0x80) {
            char message[64];
            std::snprintf(message, sizeof message, "Non-ASCII character %4.4X", static_cast<unsigned>(unit));
            throw EConvertError(message);
        }
        narrow[i] = static_cast<char>(unit);
    }
    return narrow;
}
