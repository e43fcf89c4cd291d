#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class TdomNameValueList;

// Small text utilities shared by the readers, the DOM and the well-formedness tests: escaping for
// output, trimming, and splitting declarations into their parts. Outputs may alias the input.

// Whether a and b hold the same units. Four units at a time: the texts compared most often are
// short names, for which a call to memcmp would cost more than the comparison.
inline bool sameUnits(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    for (; i + 4 <= a.size(); i += 4) {
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + i, sizeof x);
        std::memcpy(&y, b.data() + i, sizeof y);
        if (x != y) return false;
    }
    for (; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// Double quote -> "&#34;", single quote -> "&#39;".
std::u16string escapeQuotes(std::u16string_view text);
// Also "&" -> "&#38;", "<" -> "&#60;", ">" -> "&#62;".
std::u16string escapeMarkup(std::u16string_view text);
// Removes leading and trailing XML white space (space, tab, CR, LF).
std::u16string trimWhiteSpace(std::u16string_view text);
// The same as a view into text.
std::u16string_view trimmedView(std::u16string_view text);
// Removes leading and trailing spaces (0x20 only).
std::u16string trimChar(std::u16string_view text);

// first: the text up to the first white-space unit (all of it if none); rest: what follows the
// white-space run there, without trailing white space. Splits a processing instruction's content.
void splitTarget(std::u16string_view text, std::u16string& first, std::u16string& rest);
// The text, trimmed, must be "[" inner "]"; else failed is set.
void unwrapBrackets(std::u16string_view text, std::u16string& inner, bool& failed);
// The text, trimmed, must be "(" inner ")"; inner is trimmed too; else failed is set.
void unwrapParentheses(std::u16string_view text, std::u16string& inner, bool& failed);
// After leading white space, a literal in double or single quotes: value is its content, quote
// its delimiter, rest what follows the white space after it. The closing quote must be followed
// by white space or the end. On failure failed is set, quote is 0 and value and rest are empty.
void takeQuotedLiteral(std::u16string_view text, std::u16string& value, std::u16string& rest, bool& failed,
                       char16_t& quote);

// The text after a name in an entity or notation declaration, e.g. ' PUBLIC "p" "s" NDATA n '.
// Raises EConvertError for a notation that is no Name or an identifier that cannot be quoted.
std::u16string formatExternalId(std::u16string_view publicId, std::u16string_view systemId,
                                std::u16string_view notation);

// Result codes of parsePseudoAttributes.
enum : int {
    kPseudoAttributesParsed = 0,
    kPseudoAttributeDoubleName = 1,
    kPseudoAttributeBadQuote = 2,
    kPseudoAttributeMissingEquals = 3,
    kPseudoAttributeBadFollower = 4,
};
// Content such as 'xml version="1.0" encoding="UTF-8"': target is the text up to the first white
// space, and the name="value" pairs after it go into list (cleared first) in order. Stops at the
// first error; the pairs read so far stay in the list. Names are compared unit by unit. A tab, line
// feed or carriage return in a value becomes a space, as in the attribute values of a start tag.
void parsePseudoAttributes(std::u16string_view text, std::u16string& target, TdomNameValueList& list, int& result);

// The part of an entity declaration after the name: a quoted value, or an external identifier
// ("SYSTEM" literal, or "PUBLIC" literal literal) optionally followed by "NDATA" and a notation
// name. Literals come back without their quotes; fields that do not occur are empty.
void parseEntityDefinition(std::u16string_view text, std::u16string& value, std::u16string& systemId,
                           std::u16string& publicId, std::u16string& notation, bool& failed);
// The part of a notation declaration after the name: "SYSTEM" literal, or "PUBLIC" literal with
// an optional system literal.
void parseNotationExternalId(std::u16string_view text, std::u16string& systemId, std::u16string& publicId,
                             bool& failed);
