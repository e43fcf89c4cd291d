#include "dom/attribute_parsing.h"

#include <string>
#include <unordered_set>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "text/attribute_grammar.h"
#include "text/parser_exception.h"
#include "text/xml_chars.h"

void parseAttributeSpecs(std::u16string_view text, TdomElement* element) {
    // The names the element holds, to find a repeated one without searching its attributes:
    // those it had before, then each name added here (a view into text).
    std::unordered_set<std::u16string_view> names;
    for (const TdomNode* attr : element->attributeNodes()) names.insert(attr->nodeName());
    TdomDocument* document = element->ownerDocument();
    scanAttributeSpecs(text, names, [&](std::u16string_view name, std::u16string_view value) {
        if (value.find(u'&') == std::u16string_view::npos) {
            if (!checkCharData(value)) throw EParserInvalidAttributeValue_Err("Invalid attribute value error.");
            element->setAttribute(name, value);
            return;
        }
        // Text runs, the characters of character references (joined to the text before them) and
        // entity references become the attribute's children.
        TdomAttr* attr = document->createAttribute(name);
        element->setAttributeNode(attr);
        auto appendCharacters = [&](std::u16string_view characters) {
            TdomNode* last = attr->lastChild();
            if (last && last->nodeType() == TdomNodeType::text)
                static_cast<TdomText*>(last)->appendData(characters);
            else
                attr->appendChild(document->createTextNode(characters));
        };
        scanReferencedValue(
            value, [&](std::u16string_view run) { attr->appendChild(document->createTextNode(run)); }, appendCharacters,
            [&](std::u16string_view entity) { attr->appendChild(document->createEntityReference(entity)); });
    });
}
