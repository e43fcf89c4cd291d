#pragma once

#include <cstdint>

// Decoders of the single-byte encodings 3 to 20 of the input source (ISO-8859-1 to -15, KOI8-R,
// Mac OS Roman, Windows-1250 to -1252). Bytes 0x00-0x7F are the same code unit everywhere.

constexpr int kFirstSingleByteEncoding = 3;
constexpr int kLastSingleByteEncoding = 20;
// Marks a byte that an encoding leaves unassigned.
constexpr char16_t kUnassignedByte = 0xFFFF;

// Code units of bytes 0x80-0xFF for each encoding, kUnassignedByte where unassigned.
extern const char16_t kSingleByteUpperHalves[kLastSingleByteEncoding - kFirstSingleByteEncoding + 1][128];

// Raises EConvertError with the encoding's message naming the byte, e.g.
// Invalid ISO-8859-7 sequence "Ò" (the byte shown as the character of the same value); for a code
// outside 3 to 20 the message names the code.
[[noreturn]] void raiseUndecodableByte(int encoding, std::uint8_t byte);

// The code unit of one byte in encoding 3 to 20; raises EConvertError for an unassigned byte and
// for an encoding code outside that range.
inline char16_t decodeSingleByte(int encoding, std::uint8_t byte) {
    if (encoding < kFirstSingleByteEncoding || encoding > kLastSingleByteEncoding) raiseUndecodableByte(encoding, byte);
    if (byte < 0x80) return byte;
    const char16_t unit = kSingleByteUpperHalves[encoding - kFirstSingleByteEncoding][byte - 0x80];
    if (unit == kUnassignedByte) raiseUndecodableByte(encoding, byte);
    return unit;
}
