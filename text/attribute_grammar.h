#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

#include "text/exception.h"
#include "text/parser_exception.h"
#include "text/xml_chars.h"

// The grammar of attribute specifications (the text after the name of a start tag or a
// declaration, e.g. ` a="1" b='x&amp;y'`), free of any tree: the callers decide what an attribute
// becomes. Problems raise the parser exception of the first one: EParserMissingWhiteSpace_Err,
// EParserDoubleEqualitySign_Err, EParserMissingQuotationMark_Err, EParserMissingEqualitySign_Err,
// EParserInvalidAttributeName_Err, EParserDoubleAttributeName_Err.

// Calls onAttribute(name, value) for each specification in order, value as written between its
// quotes. names holds the names already taken (a repeated one raises) and receives each name read,
// as a view into text.
template <class OnAttribute>
void scanAttributeSpecs(std::u16string_view text, std::unordered_set<std::u16string_view>& names,
                        OnAttribute&& onAttribute) {
    std::size_t pos = 0;
    const std::size_t n = text.size();
    bool sawWhiteSpace = false;
    while (pos < n && isWhiteSpace(text[pos])) ++pos;
    bool first = true;
    while (pos < n) {
        if (!first && !sawWhiteSpace) throw EParserMissingWhiteSpace_Err("Missing white-space error.");
        first = false;
        std::size_t nameStart = pos;
        while (pos < n && !isWhiteSpace(text[pos]) && text[pos] != u'=') ++pos;
        std::u16string_view name = text.substr(nameStart, pos - nameStart);
        bool sawEquals = false;
        while (pos < n && (isWhiteSpace(text[pos]) || text[pos] == u'=')) {
            if (text[pos] == u'=') {
                if (sawEquals) throw EParserDoubleEqualitySign_Err("Double equality sign error.");
                sawEquals = true;
            }
            ++pos;
        }
        if (pos >= n || (text[pos] != u'"' && text[pos] != u'\''))
            throw EParserMissingQuotationMark_Err("Missing quotation mark error.");
        if (!sawEquals) throw EParserMissingEqualitySign_Err("Missing equality sign error.");
        char16_t quote = text[pos++];
        std::size_t valueStart = pos;
        while (pos < n && text[pos] != quote) ++pos;
        bool closed = pos < n;
        std::u16string_view value = text.substr(valueStart, pos - valueStart);
        if (closed) ++pos;
        if (!checkName(name)) throw EParserInvalidAttributeName_Err("Invalid attribute name error.");
        if (!closed) throw EParserMissingQuotationMark_Err("Missing quotation mark error.");
        if (!names.insert(name).second) throw EParserDoubleAttributeName_Err("Double attribute name error.");
        onAttribute(name, value);
        sawWhiteSpace = false;
        while (pos < n && isWhiteSpace(text[pos])) {
            sawWhiteSpace = true;
            ++pos;
        }
    }
}

// Splits an attribute value that holds "&" into its parts, in order: onText(run) for each
// non-empty run of characters, onCharacter(text) for each character reference, onEntity(name) for
// each entity reference. Characters outside the character data and a reference without ";" or with
// a malformed name raise EParserInvalidAttributeValue_Err; a malformed character reference raises
// EParserInvalidCharRef_Err.
template <class OnText, class OnCharacter, class OnEntity>
void scanReferencedValue(std::u16string_view value, OnText&& onText, OnCharacter&& onCharacter, OnEntity&& onEntity) {
    auto text = [&](std::u16string_view run) {
        if (!checkCharData(run)) throw EParserInvalidAttributeValue_Err("Invalid attribute value error.");
        if (!run.empty()) onText(run);
    };
    std::size_t pos = 0;
    while (pos < value.size()) {
        std::size_t amp = value.find(u'&', pos);
        if (amp == std::u16string_view::npos) {
            text(value.substr(pos));
            return;
        }
        text(value.substr(pos, amp - pos));
        std::size_t semicolon = value.find(u';', amp);
        if (semicolon == std::u16string_view::npos)
            throw EParserInvalidAttributeValue_Err("Invalid attribute value error.");
        std::u16string_view content = value.substr(amp + 1, semicolon - amp - 1);
        if (!content.empty() && content.front() == u'#') {
            std::u16string character;
            try {
                character = charRefText(value.substr(amp, semicolon - amp + 1));
            } catch (const Exception&) {
                throw EParserInvalidCharRef_Err("Invalid character reference error.");
            }
            onCharacter(std::u16string_view(character));
        } else {
            if (!checkName(content)) throw EParserInvalidAttributeValue_Err("Invalid attribute value error.");
            onEntity(content);
        }
        pos = semicolon + 1;
    }
}
