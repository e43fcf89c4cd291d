#include "dom/element_validation.h"

#include <string>
#include <vector>

#include "dom/character_data.h"
#include "dom/content_model_access.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "text/error_handler.h"
#include "text/exception.h"
#include "text/parser_exception.h"
#include "text/wide_string_list.h"
#include "text/xml_chars.h"

namespace domvalidation {

namespace {

bool onlyWhiteSpace(std::u16string_view text) {
    for (char16_t unit : text)
        if (!isWhiteSpace(unit)) return false;
    return true;
}

// The value as the document gives it to an application: character data, the characters of
// the predefined entities, and the normalized values of declared entities.
std::u16string attributeText(TdomAttr* attribute) {
    TdomCMObject* model = attribute->ownerDocument()->contentModel();
    std::u16string text;
    for (TdomNode* child : attribute->children()) {
        if (child->nodeType() == TdomNodeType::text) {
            text += static_cast<TdomText*>(child)->data();
        } else if (child->nodeType() == TdomNodeType::entityReference) {
            std::u16string_view predefined = predefinedEntityText(child->nodeName());
            if (!predefined.empty())
                text += predefined;
            else if (TdomCMNode* entity = cmaccess::declaredEntity(model, child->nodeName()))
                text += cmaccess::entityNormalizedValue(model, entity);
        }
    }
    return text;
}

// White space turned into spaces; for every type but CDATA also leading and trailing spaces
// dropped and runs of spaces collapsed to one.
std::u16string normalized(std::u16string_view value, bool tokenized) {
    std::u16string result;
    for (char16_t unit : value) {
        const bool space = isWhiteSpace(unit);
        if (!tokenized) {
            result.push_back(space ? u' ' : unit);
        } else if (!space) {
            result.push_back(unit);
        } else if (!result.empty() && result.back() != u' ') {
            result.push_back(u' ');
        }
    }
    if (tokenized && !result.empty() && result.back() == u' ') result.pop_back();
    return result;
}

std::vector<std::u16string> tokensOf(std::u16string_view value) {
    std::vector<std::u16string> tokens;
    std::size_t start = 0;
    while (start < value.size()) {
        std::size_t end = value.find(u' ', start);
        if (end == std::u16string_view::npos) end = value.size();
        tokens.emplace_back(value.substr(start, end - start));
        start = end + 1;
    }
    return tokens;
}

bool contains(const std::vector<std::u16string>& list, std::u16string_view name) {
    for (const std::u16string& entry : list)
        if (entry == name) return true;
    return false;
}

// Passes reports on with the element as their sender, so that they tell where the element is.
class TElementReports : public TdomCustomErrorHandler {
public:
    TElementReports(TdomCustomErrorHandler* target, TdomElement* element) : target_(target), element_(element) {}
    void error(void*, const TdomStandardLocator*, std::u16string_view code, std::string_view errorClass) override {
        report(target_, false, element_, code, errorClass);
    }
    void fatalError(void*, const TdomStandardLocator*, std::u16string_view code, std::string_view errorClass) override {
        report(target_, true, element_, code, errorClass);
    }
    void warning(void*, const TdomStandardLocator* locator, std::u16string_view code,
                 std::string_view errorClass) override {
        if (target_) target_->warning(element_, locator, code, errorClass);
    }

private:
    TdomCustomErrorHandler* target_;
    TdomElement* element_;
};

// The names of the child elements, through the content of entity references, and whether the
// other children are allowed in element content.
bool collectChildElements(TdomNode* parent, std::vector<std::u16string>& names) {
    bool allowed = true;
    for (TdomNode* child : parent->children()) {
        switch (child->nodeType()) {
        case TdomNodeType::element:
            names.push_back(child->nodeName());
            break;
        case TdomNodeType::text:
            if (!onlyWhiteSpace(static_cast<TdomText*>(child)->data())) allowed = false;
            break;
        case TdomNodeType::entityReference:
            if (!collectChildElements(child, names)) allowed = false;
            break;
        case TdomNodeType::comment:
        case TdomNodeType::processingInstruction:
            break;
        default:
            allowed = false;
            break;
        }
    }
    return allowed;
}

bool checkContent(TdomElement* element, TdomCustomErrorHandler* errorHandler) {
    TdomCMObject* model = element->ownerDocument()->contentModel();
    const std::u16string& name = element->nodeName();
    switch (cmaccess::elementContent(model, name)) {
    case cmaccess::ElementContent::undeclared:
        report(errorHandler, false, element, name, EParserElement_Type_Declaration_Not_Found_Err::kClassName);
        return false;
    case cmaccess::ElementContent::any:
        return true;
    case cmaccess::ElementContent::empty:
        if (element->children().empty()) return true;
        report(errorHandler, false, element, name, EParserElement_Declared_Empty_Has_Content_Err::kClassName);
        return false;
    case cmaccess::ElementContent::mixed: {
        std::vector<std::u16string> names;
        collectChildElements(element, names);
        for (const std::u16string& child : names) {
            if (!cmaccess::mixedContentAllows(model, name, child)) {
                report(errorHandler, false, element, child, EParserElement_With_Illegal_Mixed_Content_Err::kClassName);
                return false;
            }
        }
        return true;
    }
    case cmaccess::ElementContent::elements: {
        std::vector<std::u16string> names;
        if (!collectChildElements(element, names)) {
            report(errorHandler, false, element, name, EParserElement_With_Illegal_Element_Content_Err::kClassName);
            return false;
        }
        TElementReports reports(errorHandler, element);
        return cmaccess::validateElementContent(model, name, names, errorHandler ? &reports : nullptr);
    }
    }
    return true;
}

// The value against the declared type; ID values go to the document's ID list.
bool checkValue(TdomElement* element, TdomAttr* attribute, const cmaccess::AttributeDefinition& definition,
                const std::u16string& value, TdomCustomErrorHandler* errorHandler) {
    TdomDocument* document = attribute->ownerDocument();
    const std::u16string& type = definition.declaredType;
    const std::u16string code = attribute->nodeName() + u"=\"" + value + u"\"";
    bool matches = true;
    if (type == u"ID" || type == u"IDREF" || type == u"ENTITY")
        matches = checkName(value);
    else if (type == u"IDREFS" || type == u"ENTITIES")
        matches = checkNames(value);
    else if (type == u"NMTOKEN")
        matches = checkNmtoken(value);
    else if (type == u"NMTOKENS")
        matches = checkNmtokens(value);
    else if (type.empty() || type == u"NOTATION")
        matches = contains(definition.tokens, value);
    if (!matches) {
        report(errorHandler, false, element, code, EParserAttribute_Type_Mismatch_Err::kClassName);
        return false;
    }
    if (type == u"ID") {
        int index = 0;
        if (document->idList().findSorted(value, index)) {
            report(errorHandler, false, element, value, EParserDuplicate_ID_Value_Err::kClassName);
            return false;
        }
        document->idList().addString(value);
    } else if (type == u"ENTITY" || type == u"ENTITIES") {
        for (const std::u16string& name : tokensOf(value)) {
            if (!cmaccess::isUnparsedEntity(document->contentModel(), name)) {
                report(errorHandler, false, element, name, EParserTarget_Unparsed_Entity_Not_Found_Err::kClassName);
                return false;
            }
        }
    }
    return true;
}

// What a document declared standalone may not take from the external subset: default values of
// attributes it does not specify, tokenized types that change the values it specifies, and white
// space in element content.
bool checkStandalone(TdomElement* element, TdomCustomErrorHandler* errorHandler) {
    TdomCMObject* model = element->ownerDocument()->contentModel();
    bool valid = true;
    auto problem = [&](std::u16string_view code) {
        report(errorHandler, false, element, code, EParserWrong_Standalone_Declaration_Err::kClassName);
        valid = false;
    };
    for (const cmaccess::AttributeDefinition& definition : cmaccess::attributeDefinitions(model, element->nodeName())) {
        if (!definition.external) continue;
        TdomAttr* attribute = element->getAttributeNode(definition.name);
        if (!attribute) {
            if (definition.defaultKind != u"#REQUIRED" && definition.defaultKind != u"#IMPLIED")
                problem(definition.name);
            continue;
        }
        const std::u16string text = attributeText(attribute);
        if (definition.declaredType != u"CDATA" && normalized(text, false) != normalized(text, true))
            problem(definition.name + u"=\"" + text + u"\"");
    }
    if (cmaccess::elementContent(model, element->nodeName()) == cmaccess::ElementContent::elements &&
        cmaccess::elementDeclaredExternally(model, element->nodeName())) {
        for (TdomNode* child : element->children()) {
            if (child->nodeType() == TdomNodeType::text) {
                problem(element->nodeName());
                break;
            }
        }
    }
    return valid;
}

bool checkAttributes(TdomElement* element, TdomCustomErrorHandler* errorHandler) {
    TdomCMObject* model = element->ownerDocument()->contentModel();
    bool valid = true;
    for (TdomNode* node : element->attributeNodes()) {
        auto* attribute = static_cast<TdomAttr*>(node);
        cmaccess::AttributeDefinition definition;
        if (!cmaccess::attributeDefinition(model, element->nodeName(), attribute->nodeName(), definition)) {
            report(errorHandler, false, element, attribute->nodeName(),
                   EParserAttribute_Definition_Not_Found_Err::kClassName);
            valid = false;
            continue;
        }
        const bool tokenized = definition.declaredType != u"CDATA";
        const std::u16string value = normalized(attributeText(attribute), tokenized);
        if (!checkValue(element, attribute, definition, value, errorHandler)) valid = false;
        if (definition.defaultKind == u"#FIXED" && value != normalized(definition.defaultValue, tokenized)) {
            report(errorHandler, false, element, attribute->nodeName() + u"=\"" + value + u"\"",
                   EParserFixed_Attribute_Mismatch_Err::kClassName);
            valid = false;
        }
    }
    for (const cmaccess::AttributeDefinition& definition : cmaccess::attributeDefinitions(model, element->nodeName())) {
        if (definition.defaultKind == u"#REQUIRED" && !element->getAttributeNode(definition.name)) {
            report(errorHandler, false, element, definition.name, EParserRequired_Attribute_Not_Found_Err::kClassName);
            valid = false;
        }
    }
    return valid;
}

} // namespace

void report(TdomCustomErrorHandler* errorHandler, bool fatal, TdomNode* sender, std::u16string_view code,
            std::string_view errorClass) {
    if (!errorHandler) return;
    try {
        if (fatal)
            errorHandler->fatalError(sender, nullptr, code, errorClass);
        else
            errorHandler->error(sender, nullptr, code, errorClass);
    } catch (const Exception&) {
        // The program's own exceptions are how a handler tells that a problem is fatal (the base
        // handler raises one for every fatal error): the checks report it and go on.
    }
}

bool checkElement(TdomElement* element, TdomCustomErrorHandler* errorHandler) {
    if (!element->ownerDocument()->contentModel()) return true;
    const bool content = checkContent(element, errorHandler);
    const bool attributes = checkAttributes(element, errorHandler);
    const bool standalone = element->ownerDocument()->standalone() != u"yes" || checkStandalone(element, errorHandler);
    return content && attributes && standalone;
}

bool checkIdReferences(TdomAttr* attribute, TdomCustomErrorHandler* errorHandler) {
    TdomElement* owner = attribute->ownerElement();
    if (!owner) return true;
    TdomDocument* document = attribute->ownerDocument();
    cmaccess::AttributeDefinition definition;
    if (!cmaccess::attributeDefinition(document->contentModel(), owner->nodeName(), attribute->nodeName(),
                                       definition) ||
        (definition.declaredType != u"IDREF" && definition.declaredType != u"IDREFS"))
        return true;
    bool valid = true;
    int index = 0;
    for (const std::u16string& target : tokensOf(normalized(attributeText(attribute), true))) {
        if (!document->idList().findSorted(target, index)) {
            report(errorHandler, false, owner, target, EParserTarget_ID_Value_Not_Found_Err::kClassName);
            valid = false;
        }
    }
    return valid;
}

bool entityReferenceResolvable(TdomNode* reference) {
    TdomCMObject* model = reference->ownerDocument()->contentModel();
    TdomCMNode* entity = cmaccess::declaredEntity(model, reference->nodeName());
    return !entity || !cmaccess::entityIsUnusable(model, entity);
}

} // namespace domvalidation
