#include "text/attribute_parsing.h"

#include <string>
#include <unordered_set>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "parser/parser_exception.h"
#include "text/exception.h"
#include "text/xml_chars.h"

namespace {

void appendText(TdomAttr* attr, std::u16string_view run) {
    if (!checkCharData(run)) throw EParserInvalidAttributeValue_Err("Invalid attribute value error.");
    if (run.empty()) return;
    attr->appendChild(attr->ownerDocument()->createTextNode(run));
}

// Splits a value containing "&" into text runs, characters of character references and entity
// references, appended to attr.
void appendReferencedValue(TdomAttr* attr, std::u16string_view value) {
    TdomDocument* document = attr->ownerDocument();
    std::size_t pos = 0;
    while (pos < value.size()) {
        std::size_t amp = value.find(u'&', pos);
        if (amp == std::u16string_view::npos) {
            appendText(attr, value.substr(pos));
            return;
        }
        appendText(attr, value.substr(pos, amp - pos));
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
            TdomNode* last = attr->lastChild();
            if (last && last->nodeType() == TdomNodeType::text)
                static_cast<TdomText*>(last)->appendData(character);
            else
                attr->appendChild(document->createTextNode(character));
        } else {
            if (!checkName(content)) throw EParserInvalidAttributeValue_Err("Invalid attribute value error.");
            attr->appendChild(document->createEntityReference(content));
        }
        pos = semicolon + 1;
    }
}

} // namespace

void parseAttributeSpecs(std::u16string_view text, TdomElement* element) {
    // The names the element holds, to find a repeated one without searching its attributes:
    // those it had before, then each name added here (a view into text).
    std::unordered_set<std::u16string_view> names;
    for (const TdomNode* attr : element->attributeNodes()) names.insert(attr->nodeName());
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
        if (value.find(u'&') == std::u16string_view::npos) {
            if (!checkCharData(value)) throw EParserInvalidAttributeValue_Err("Invalid attribute value error.");
            element->setAttribute(name, value);
        } else {
            TdomAttr* attr = element->ownerDocument()->createAttribute(name);
            element->setAttributeNode(attr);
            appendReferencedValue(attr, value);
        }
        sawWhiteSpace = false;
        while (pos < n && isWhiteSpace(text[pos])) {
            sawWhiteSpace = true;
            ++pos;
        }
    }
}
