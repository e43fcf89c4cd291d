#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/code_page_932.h"

// Inbound conversion of the two Japanese encodings, the arithmetic between their byte forms, and
// the small conversions of message texts and identifiers. Shift_JIS means code page 932.

// First UTF-16 unit of every two-byte sequence (b1 << 8 | b2) read through code page 932: an
// undefined pair gives the replacement unit, and a first byte that starts no pair gives its own
// unit (the second byte is dropped). One lookup per character on the input path.
extern const std::array<char16_t, 0x10000> kShiftJisFirstUnits;

// Whether a byte starts a two-byte character of code page 932 (0x81-0x9F, 0xE0-0xFC), and whether
// it can be the second byte of one (0x40-0x7E, 0x80-0xFC).
inline constexpr std::array<bool, 256> kShiftJisLeadBytes = [] {
    std::array<bool, 256> lead{};
    for (int byte = 0x81; byte <= 0xFC; ++byte) lead[byte] = byte <= 0x9F || byte >= 0xE0;
    return lead;
}();
inline constexpr std::array<bool, 256> kShiftJisTrailBytes = [] {
    std::array<bool, 256> trail{};
    for (int byte = 0x40; byte <= 0xFC; ++byte) trail[byte] = byte != 0x7F;
    return trail;
}();

// Writes the code page 932 bytes of the units to out, which must hold 2 * units.size() + 1
// bytes, and returns their count. Each LF becomes CR LF when crlf is set; characters the code
// page lacks become "?", a surrogate pair one "?".
std::size_t encodeShiftJisUnits(std::u16string_view units, bool crlf, char* out);

// The arithmetic between the EUC-JP and Shift_JIS forms of a JIS X 0208 character, in place on
// the two bytes, modulo 256. Code page 932's extensions go through the same arithmetic.
void eucToShiftJisPair(std::uint8_t& b1, std::uint8_t& b2);
void shiftJisToEucPair(std::uint8_t& b1, std::uint8_t& b2);

// One character of Shift_JIS input. The first byte is given; readSecond() (any callable returning
// std::uint8_t) reads the byte after it, and unreadSecond() gives that byte back. Only a lead byte
// (0x81-0x9F, 0xE0-0xFC) reads a second byte, and keeps it only when it can trail (0x40-0x7E,
// 0x80-0xFC): before any other byte the lead byte alone is the replacement unit, and that byte is
// read again as a character of its own, so that one bad byte never swallows the "<" after it.
// 0x80, 0xA0 and 0xFD-0xFF are the replacement unit by themselves. A reader that cannot deliver a
// second byte raises its own error. Undefined pairs give cp932::kReplacementUnit.
template <class ReadByte, class UnreadByte>
inline char16_t decodeShiftJis(std::uint8_t first, ReadByte&& readSecond, UnreadByte&& unreadSecond) {
    if (first < 0x80) return first;
    // Half-width katakana, or the replacement unit.
    if (!kShiftJisLeadBytes[first]) return kShiftJisFirstUnits[first << 8];
    const std::uint8_t second = readSecond();
    const char16_t unit = kShiftJisFirstUnits[first << 8 | second];
    // A second byte that cannot trail gives the replacement unit as an undefined pair does; only
    // the replacement unit needs the test.
    if (unit == cp932::kReplacementUnit && !kShiftJisTrailBytes[second]) unreadSecond();
    return unit;
}

// One character of EUC-JP input, read like decodeShiftJis: a byte that cannot continue the
// character is given back (unreadNext) and the bytes before it are the replacement unit, so that
// it is read again on its own. 0x8E introduces a half-width katakana byte (0xA1-0xDF); 0xA1-0xFE
// lead a JIS X 0208 pair (0xA1-0xFE each), decoded through code page 932; 0x8F introduces a JIS X
// 0212 pair, a character this decoder does not know, so the three bytes are one replacement unit.
// The bytes 0x80-0x8D and 0x90-0x9F are the C1 control characters of the same value; 0xA0 and 0xFF
// are the replacement unit by themselves.
template <class ReadByte, class UnreadByte>
inline char16_t decodeEucJp(std::uint8_t first, ReadByte&& readNext, UnreadByte&& unreadNext) {
    if (first < 0xA0 && first != 0x8E && first != 0x8F) return first;
    auto isPairByte = [](std::uint8_t byte) { return byte >= 0xA1 && byte != 0xFF; };
    if (first == 0x8E) {
        const std::uint8_t kana = readNext();
        if (kana >= 0xA1 && kana <= 0xDF) return kShiftJisFirstUnits[kana << 8];
        unreadNext();
        return cp932::kReplacementUnit;
    }
    if (first == 0x8F) {
        for (int i = 0; i < 2; ++i) {
            if (!isPairByte(readNext())) {
                unreadNext();
                break;
            }
        }
        return cp932::kReplacementUnit;
    }
    if (!isPairByte(first)) return cp932::kReplacementUnit;
    std::uint8_t second = readNext();
    if (!isPairByte(second)) {
        unreadNext();
        return cp932::kReplacementUnit;
    }
    eucToShiftJisPair(first, second);
    return kShiftJisFirstUnits[first << 8 | second];
}

// Each byte becomes the code unit of the same value.
std::u16string widenLatin1(std::string_view narrow);
// Each byte through the Windows-1250 table (the one of decodeSingleByte, encoding 18); the bytes
// that table leaves unassigned become U+FFFD, so message texts always widen.
std::u16string widenWindows1250(std::string_view narrow);
// ASCII text as bytes: a leading 0xFEFF is dropped; a leading 0xFFFE is dropped and every later
// unit is byte-swapped first. A unit of 0x80 or above raises EConvertError.
std::string narrowAscii(std::u16string_view wide);
