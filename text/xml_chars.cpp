#include "text/xml_chars.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "text/dom_exception.h"
#include "text/exception.h"
#include "text/utf8.h"
#include "text/xml_char_table.inc"

namespace {

bool isAsciiLetter(char16_t u) { return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z'); }
bool isAsciiDigit(char16_t u) { return u >= u'0' && u <= u'9'; }
bool isHexDigit(char16_t u) { return isAsciiDigit(u) || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F'); }
bool isQuote(char16_t u) { return u == u'"' || u == u'\''; }

// Every unit passes isCharUnit under the pairing rule, and none is the excluded unit.
bool charsUnderPairingRule(std::u16string_view s, char16_t excluded) {
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = s[i];
        if (isHighSurrogate(u)) {
            if (i + 1 >= n || !isLowSurrogate(s[i + 1])) return false;
            ++i;
        } else if (isLowSurrogate(u) || !isCharUnit(u) || u == excluded) {
            return false;
        }
    }
    return true;
}

bool allUnitsHave(std::u16string_view s, std::uint16_t classes) {
    for (char16_t u : s)
        if (!hasXmlClass(u, classes)) return false;
    return true;
}

// Splits s at every single space; each piece must pass check.
template <class Check> bool checkSpaceSeparated(std::u16string_view s, Check check) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = s.find(u' ', start);
        if (space == std::u16string_view::npos) return check(s.substr(start));
        if (!check(s.substr(start, space - start))) return false;
        start = space + 1;
    }
}

// The first position from i on of a unit that the character-data checks must look at: one below
// 0x20, a surrogate or a unit above them, or '<', '&' and '>' ('>' may end a "]]>"); the size of s
// when there is none.
std::size_t skipPlainUnits(std::u16string_view s, std::size_t i) {
    const std::size_t n = s.size();
#ifdef __SSE2__
    if (n >= 8) {
        const __m128i lastControl = _mm_set1_epi16(0x1F);
        const __m128i lastBelowSurrogates = _mm_set1_epi16(static_cast<short>(0xD7FF));
        const __m128i lessThan = _mm_set1_epi16(u'<');
        const __m128i ampersand = _mm_set1_epi16(u'&');
        const __m128i greaterThan = _mm_set1_epi16(u'>');
        const __m128i zero = _mm_setzero_si128();
        // Two mask bits per unit of the eight from position at on.
        auto unitsThatMatter = [&](std::size_t at) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + at));
            const __m128i control = _mm_cmpeq_epi16(_mm_subs_epu16(units, lastControl), zero);
            const __m128i plainRange = _mm_cmpeq_epi16(_mm_subs_epu16(units, lastBelowSurrogates), zero);
            const __m128i markup =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, lessThan), _mm_cmpeq_epi16(units, ampersand)),
                             _mm_cmpeq_epi16(units, greaterThan));
            return static_cast<unsigned>(_mm_movemask_epi8(
                _mm_or_si128(_mm_andnot_si128(plainRange, _mm_set1_epi16(-1)), _mm_or_si128(control, markup))));
        };
        for (; i + 8 <= n; i += 8)
            if (const unsigned mask = unitsThatMatter(i)) return i + static_cast<std::size_t>(__builtin_ctz(mask)) / 2;
        if (i >= n) return n;
        // The last units, in the eight that end the text; the bits of the units before i are dropped.
        const unsigned mask = unitsThatMatter(n - 8) >> (2 * (i - (n - 8)));
        return mask ? i + static_cast<std::size_t>(__builtin_ctz(mask)) / 2 : n;
    }
#endif
    for (; i < n; ++i) {
        const char16_t u = s[i];
        if (u < 0x20 || u >= 0xD800 || u == u'<' || u == u'&' || u == u'>') break;
    }
    return i;
}

// checkCData, and checkCharData when markupExcluded, in one pass: no "]]>", no "<" or "&" when
// markupExcluded, and every unit allowed under the pairing rule. Only the units that
// skipPlainUnits stops at are looked at one by one.
bool charDataUnits(std::u16string_view s, bool markupExcluded) {
    const std::size_t n = s.size();
    for (std::size_t i = skipPlainUnits(s, 0); i < n; i = skipPlainUnits(s, i + 1)) {
        const char16_t u = s[i];
        if (u < 0x20) {
            if (!isCharUnit(u)) return false;
        } else if (u == u'>') {
            if (i >= 2 && s[i - 1] == u']' && s[i - 2] == u']') return false;
        } else if (u == u'<' || u == u'&') {
            if (markupExcluded) return false;
        } else if (isHighSurrogate(u)) {
            if (i + 1 >= n || !isLowSurrogate(s[i + 1])) return false;
            ++i;
        } else if (isLowSurrogate(u) || !isCharUnit(u)) {
            return false;
        }
    }
    return true;
}

bool checkRefDelimited(std::u16string_view s, char16_t opener) {
    return s.size() >= 2 && s.front() == opener && s.back() == u';' && checkName(s.substr(1, s.size() - 2));
}

// The body of an entity value or attribute value, between its quotes.
bool checkQuotedValue(std::u16string_view s, bool allowPERefs) {
    if (s.size() < 2 || !isQuote(s.front()) || s.back() != s.front()) return false;
    const char16_t quote = s.front();
    const std::u16string_view body = s.substr(1, s.size() - 2);
    const std::size_t n = body.size();
    std::size_t i = 0;
    while (i < n) {
        const char16_t u = body[i];
        if (u == u'&' || (allowPERefs && u == u'%')) {
            const std::size_t end = body.find(u';', i);
            if (end == std::u16string_view::npos) return false;
            const std::u16string_view ref = body.substr(i, end - i + 1);
            if (u == u'&' ? !checkReference(ref) : !checkPEReference(ref)) return false;
            i = end + 1;
            continue;
        }
        if (!allowPERefs && u == u'<') return false;
        if (isHighSurrogate(u)) {
            if (i + 1 >= n || !isLowSurrogate(body[i + 1])) return false;
            i += 2;
            continue;
        }
        if (isLowSurrogate(u) || !isCharUnit(u) || u == quote) return false;
        ++i;
    }
    return true;
}

bool checkQuotedLiteral(std::u16string_view s, bool pubid) {
    if (s.size() < 2 || !isQuote(s.front()) || s.back() != s.front()) return false;
    const std::u16string_view body = s.substr(1, s.size() - 2);
    if (!charsUnderPairingRule(body, s.front())) return false;
    return !pubid || allUnitsHave(body, xmlclass::kPubidChar);
}

std::u16string_view charRefDigits(std::u16string_view text, int& base) {
    if (text.size() > 3 && text[2] == u'x') {
        base = 16;
        return text.substr(3, text.size() - 4);
    }
    base = 10;
    return text.substr(2, text.size() - 3);
}

[[noreturn]] void raiseInvalidCharRef(std::u16string_view text) {
    throw EConvertError(utf16ToUtf8(text) + " is not a valid XmlCharRef value.");
}

} // namespace

bool checkChars(std::u16string_view s) { return charsUnderPairingRule(s, 0xFFFF); }

bool checkWhiteSpace(std::u16string_view s) { return !s.empty() && allUnitsHave(s, xmlclass::kWhiteSpace); }

bool checkName(std::u16string_view s) {
    if (s.empty() || !isNameStartChar(s[0])) return false;
    return allUnitsHave(s.substr(1), xmlclass::kNameChar);
}

bool checkNames(std::u16string_view s) { return checkSpaceSeparated(s, checkName); }

bool checkNmtoken(std::u16string_view s) { return !s.empty() && allUnitsHave(s, xmlclass::kNameChar); }

bool checkNmtokens(std::u16string_view s) { return checkSpaceSeparated(s, checkNmtoken); }

bool checkCharRef(std::u16string_view s) {
    if (s.empty() || s.back() != u';') return false;
    if (s.size() > 4 && s.substr(0, 3) == u"&#x") {
        for (char16_t u : s.substr(3, s.size() - 4))
            if (!isHexDigit(u)) return false;
        return true;
    }
    if (s.size() > 3 && s.substr(0, 2) == u"&#") {
        for (char16_t u : s.substr(2, s.size() - 3))
            if (!isAsciiDigit(u)) return false;
        return true;
    }
    return false;
}

bool checkEntityRef(std::u16string_view s) { return checkRefDelimited(s, u'&'); }

bool checkPEReference(std::u16string_view s) { return checkRefDelimited(s, u'%'); }

bool checkReference(std::u16string_view s) { return checkEntityRef(s) || checkCharRef(s); }

bool checkEntityValue(std::u16string_view s) { return checkQuotedValue(s, true); }

bool checkAttValue(std::u16string_view s) { return checkQuotedValue(s, false); }

bool checkSystemLiteral(std::u16string_view s) { return checkQuotedLiteral(s, false); }

bool checkPubidLiteral(std::u16string_view s) { return checkQuotedLiteral(s, true); }

bool checkCData(std::u16string_view s) { return charDataUnits(s, false); }

bool checkCharData(std::u16string_view s) { return charDataUnits(s, true); }

bool checkPITarget(std::u16string_view s) {
    if (!checkName(s)) return false;
    return !(s.size() == 3 && (s[0] | 0x20) == u'x' && (s[1] | 0x20) == u'm' && (s[2] | 0x20) == u'l');
}

bool checkVersionNum(std::u16string_view s) {
    if (s.empty()) return false;
    for (char16_t u : s)
        if (!isAsciiLetter(u) && !isAsciiDigit(u) && u != u'-' && u != u'.' && u != u':' && u != u'_') return false;
    return true;
}

bool checkEncName(std::u16string_view s) {
    if (s.empty() || !isAsciiLetter(s[0])) return false;
    for (char16_t u : s.substr(1))
        if (!isAsciiLetter(u) && !isAsciiDigit(u) && u != u'.' && u != u'_' && u != u'-') return false;
    return true;
}

bool checkStringType(std::u16string_view s) { return s == u"CDATA"; }

bool checkTokenizedType(std::u16string_view s) {
    return s == u"ID" || s == u"IDREF" || s == u"IDREFS" || s == u"ENTITY" || s == u"ENTITIES" || s == u"NMTOKEN" ||
           s == u"NMTOKENS";
}

bool checkNCName(std::u16string_view s) {
    if (s.empty() || !isNCNameStartChar(s[0])) return false;
    return allUnitsHave(s.substr(1), xmlclass::kNCNameChar);
}

bool checkQName(std::u16string_view s) {
    const std::size_t colon = s.find(u':');
    if (colon == std::u16string_view::npos) return checkNCName(s);
    return checkNCName(s.substr(0, colon)) && checkNCName(s.substr(colon + 1));
}

std::int32_t charRefValue(std::u16string_view text) {
    if (!checkCharRef(text)) raiseInvalidCharRef(text);
    int base = 10;
    const std::u16string_view digits = charRefDigits(text, base);
    std::int64_t value = 0;
    for (char16_t u : digits) {
        const int digit = isAsciiDigit(u) ? u - u'0' : (u | 0x20) - u'a' + 10;
        value = value * base + digit;
        if (value > INT32_MAX) throw EConvertError("'" + utf16ToUtf8(digits) + "' is not a valid integer value");
    }
    const bool isXmlChar = value == 0x9 || value == 0xA || value == 0xD || (value >= 0x20 && value <= 0xD7FF) ||
                           (value >= 0xE000 && value <= 0xFFFD) || (value >= 0x10000 && value <= 0x10FFFF);
    if (!isXmlChar) raiseInvalidCharRef(text);
    return static_cast<std::int32_t>(value);
}

std::u16string charRefText(std::u16string_view text) {
    const std::int32_t value = charRefValue(text);
    if (value > 0xFFFF) return std::u16string{highSurrogateOf(value), lowSurrogateOf(value)};
    return std::u16string(1, static_cast<char16_t>(value));
}

std::u16string qnamePrefix(std::u16string_view qname) {
    if (!checkQName(qname)) throw EInvalid_Character_Err();
    const std::size_t colon = qname.find(u':');
    return colon == std::u16string_view::npos ? std::u16string() : std::u16string(qname.substr(0, colon));
}

std::u16string qnameLocalName(std::u16string_view qname) {
    if (!checkQName(qname)) throw EInvalid_Character_Err();
    const std::size_t colon = qname.find(u':');
    return std::u16string(colon == std::u16string_view::npos ? qname : qname.substr(colon + 1));
}
