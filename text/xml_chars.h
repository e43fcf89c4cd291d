#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Character classes of XML 1.0 (Appendix B of the first to fourth editions) and the name,
// token, reference and literal productions built on them. Every function here is stateless.

// Class bits of kXmlCharTable, one entry per UTF-16 code unit.
namespace xmlclass {
constexpr std::uint16_t kCharUnit = 1 << 0;
constexpr std::uint16_t kWhiteSpace = 1 << 1;
constexpr std::uint16_t kBaseChar = 1 << 2;
constexpr std::uint16_t kIdeographic = 1 << 3;
constexpr std::uint16_t kCombiningChar = 1 << 4;
constexpr std::uint16_t kDigitChar = 1 << 5;
constexpr std::uint16_t kExtender = 1 << 6;
constexpr std::uint16_t kPubidChar = 1 << 7;
constexpr std::uint16_t kLetter = 1 << 8;
constexpr std::uint16_t kNameStart = 1 << 9;    // Letter, "_" or ":"
constexpr std::uint16_t kNameChar = 1 << 10;    // production NameChar
constexpr std::uint16_t kNCNameStart = 1 << 11; // Letter or "_"
constexpr std::uint16_t kNCNameChar = 1 << 12;  // NameChar without ":"
} // namespace xmlclass

// Generated from the standard's range lists by scripts/generate_xml_char_table.py.
extern const std::uint16_t kXmlCharTable[0x10000];

inline bool hasXmlClass(char16_t unit, std::uint16_t classes) { return (kXmlCharTable[unit] & classes) != 0; }

// 0x09, 0x0A, 0x0D and 0x20-0xFFFD. Surrogate units pass; the string checks pair them.
// The two classes asked for most often are worked out from the unit, without the table, which is
// too large to stay in the nearest cache.
inline bool isCharUnit(char16_t unit) { return unit >= 0x20 ? unit < 0xFFFE : ((0x2600u >> unit) & 1u) != 0; }
inline bool isWhiteSpace(char16_t unit) { return unit <= 0x20 && ((0x100002600ull >> unit) & 1u) != 0; }
inline bool isBaseChar(char16_t unit) { return hasXmlClass(unit, xmlclass::kBaseChar); }
inline bool isIdeographic(char16_t unit) { return hasXmlClass(unit, xmlclass::kIdeographic); }
inline bool isLetter(char16_t unit) { return hasXmlClass(unit, xmlclass::kLetter); }
inline bool isCombiningChar(char16_t unit) { return hasXmlClass(unit, xmlclass::kCombiningChar); }
inline bool isDigitChar(char16_t unit) { return hasXmlClass(unit, xmlclass::kDigitChar); }
inline bool isExtender(char16_t unit) { return hasXmlClass(unit, xmlclass::kExtender); }
inline bool isNameChar(char16_t unit) { return hasXmlClass(unit, xmlclass::kNameChar); }
inline bool isNCNameChar(char16_t unit) { return hasXmlClass(unit, xmlclass::kNCNameChar); }
inline bool isPubidChar(char16_t unit) { return hasXmlClass(unit, xmlclass::kPubidChar); }
// First unit of a Name (Letter, "_", ":") and of an NCName (Letter, "_").
inline bool isNameStartChar(char16_t unit) { return hasXmlClass(unit, xmlclass::kNameStart); }
inline bool isNCNameStartChar(char16_t unit) { return hasXmlClass(unit, xmlclass::kNCNameStart); }
inline bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Surrogate arithmetic for code points above 0xFFFF.
inline char16_t highSurrogateOf(std::int32_t codePoint) {
    return static_cast<char16_t>(0xD800u + ((static_cast<std::uint32_t>(codePoint) - 0x10000u) >> 10));
}
inline char16_t lowSurrogateOf(std::int32_t codePoint) {
    return static_cast<char16_t>((static_cast<std::uint32_t>(codePoint) & 0x03FFu) | 0xDC00u);
}
inline std::int32_t codePointOfPair(char16_t high, char16_t low) {
    return 0x10000 + (static_cast<std::int32_t>(high) - 0xD800) * 1024 + (static_cast<std::int32_t>(low) - 0xDC00);
}

// String checks. All are total: they answer false for any malformed input and never raise.
// "Pairing rule": a low surrogate not preceded by a high one fails, a high surrogate not followed
// by a low one fails, and a well-formed pair counts as one character.
bool checkChars(std::u16string_view s);
bool checkWhiteSpace(std::u16string_view s);
bool checkName(std::u16string_view s);
// Names separated by single spaces; an empty piece (double, leading or trailing space) fails.
bool checkNames(std::u16string_view s);
bool checkNmtoken(std::u16string_view s);
bool checkNmtokens(std::u16string_view s);
// "&#x" hex digits ";" (lower-case x only) or "&#" decimal digits ";".
bool checkCharRef(std::u16string_view s);
bool checkEntityRef(std::u16string_view s);
bool checkPEReference(std::u16string_view s);
bool checkReference(std::u16string_view s);
// A quoted entity value, quotes included.
bool checkEntityValue(std::u16string_view s);
// A quoted attribute value, quotes included.
bool checkAttValue(std::u16string_view s);
// A quoted system or public literal, quotes included.
bool checkSystemLiteral(std::u16string_view s);
bool checkPubidLiteral(std::u16string_view s);
bool checkCData(std::u16string_view s);
bool checkCharData(std::u16string_view s);
// A Name other than "xml" in any mix of case.
bool checkPITarget(std::u16string_view s);
bool checkVersionNum(std::u16string_view s);
bool checkEncName(std::u16string_view s);
bool checkStringType(std::u16string_view s);
bool checkTokenizedType(std::u16string_view s);
bool checkNCName(std::u16string_view s);
bool checkQName(std::u16string_view s);

// The code point of a character reference such as "&#x41;" or "&#65;". Raises EConvertError when
// the digits overflow 32 bits, and "<text> is not a valid XmlCharRef value." when the text is no
// character reference or the value is no XML character.
std::int32_t charRefValue(std::u16string_view text);
// The character of a character reference, as one unit or a surrogate pair.
std::u16string charRefText(std::u16string_view text);

// Prefix (empty when there is no ":") and local part of a qualified name. Both raise
// EInvalid_Character_Err unless the whole name passes checkQName.
std::u16string qnamePrefix(std::u16string_view qname);
std::u16string qnameLocalName(std::u16string_view qname);
