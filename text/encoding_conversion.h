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

// Writes the code page 932 bytes of the units to out, which must hold 2 * units.size() + 1
// bytes, and returns their count. Each LF becomes CR LF when crlf is set; characters the code
// page lacks become "?", a surrogate pair one "?".
std::size_t encodeShiftJisUnits(std::u16string_view units, bool crlf, char* out);

// The arithmetic between the EUC-JP and Shift_JIS forms of a JIS X 0208 character, in place on
// the two bytes, modulo 256. Code page 932's extensions go through the same arithmetic.
void eucToShiftJisPair(std::uint8_t& b1, std::uint8_t& b2);
void shiftJisToEucPair(std::uint8_t& b1, std::uint8_t& b2);

// One character of Shift_JIS input: the first byte is given, and readSecond() (any callable
// returning std::uint8_t) is called once when the character has a second byte. A reader that
// cannot deliver raises its own error. Undefined pairs give cp932::kReplacementUnit.
template <class ReadByte> inline char16_t decodeShiftJis(std::uint8_t first, ReadByte&& readSecond) {
    if (first < 0x80) return first;
    if (first >= 0xA1 && first <= 0xDF) return static_cast<char16_t>(0xFF61 + (first - 0xA1)); // half-width katakana
    const std::uint8_t second = readSecond();
    return kShiftJisFirstUnits[first << 8 | second];
}

// One character of EUC-JP input, read like decodeShiftJis: 0x8E introduces a half-width katakana
// byte; any other byte from 0x80 up leads a JIS X 0208 pair (the three-byte form is not known).
template <class ReadByte> inline char16_t decodeEucJp(std::uint8_t first, ReadByte&& readSecond) {
    if (first < 0x80) return first;
    std::uint8_t second = readSecond();
    if (first == 0x8E) return kShiftJisFirstUnits[second << 8]; // the single byte second

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
