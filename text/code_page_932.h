#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Conversion between code page 932 (Shift_JIS with the Windows vendor extensions) and UTF-16,
// independent of the process locale. Undefined bytes decode to U+30FB; characters the code page
// lacks encode to "?".
namespace cp932 {

constexpr char16_t kReplacementUnit = 0x30FB;
constexpr char kDefaultChar = '?';

// True for 0x81-0x9F and 0xE0-0xFC, the bytes that start a two-byte character.
bool isLeadByte(std::uint8_t byte);
// A single byte (not a lead byte): ASCII, half-width katakana, or the replacement unit.
char16_t decodeSingle(std::uint8_t byte);
// A lead byte with its trail byte; the replacement unit when the pair is undefined.
char16_t decodePair(std::uint8_t lead, std::uint8_t trail);

// Whole strings. A lead byte followed by a byte that cannot trail it (or by nothing) decodes
// to one replacement unit, and the following byte is decoded on its own.
std::u16string decode(std::string_view bytes);
void appendDecoded(std::string_view bytes, std::u16string& out);
// A surrogate pair (one character beyond the code page) and a lone surrogate each give one "?".
std::string encode(std::u16string_view text);
void appendEncoded(std::u16string_view text, std::string& out);
// Bytes of one unit: 0 when unrepresentable, else 1 or 2 bytes in out[0..].
int encodeUnit(char16_t unit, char out[2]);

} // namespace cp932
