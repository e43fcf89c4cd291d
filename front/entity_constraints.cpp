#include "front/entity_constraints.h"

#include <string>
#include <string_view>
#include <vector>

#include "dom/cm_declaration.h"
#include "dom/cm_node.h"
#include "dom/cm_object.h"
#include "dom/content_model_access.h"
#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/element_validation.h"
#include "dom/entity_reference.h"
#include "front/xml_to_dom_parser.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/parser_exception.h"
#include "text/stream.h"
#include "text/xml_chars.h"

namespace {

// Deeper nesting of references than this is reported as recursion; the DTD side refuses deeper
// expansions as well.
constexpr int kMaxDepth = 64;

class TEntityChecker {
public:
    TEntityChecker(TdomDocument* document, TdomCustomErrorHandler* errorHandler, const TExternalEntityOpener& opener)
        : document_(document), model_(document->contentModel()), errorHandler_(errorHandler), opener_(opener),
          declarationsRequired_(declarationsRequired(document)) {}

    bool run() {
        if (model_) {
            checkAttributeDefaults(model_->internalSubset());
            checkAttributeDefaults(model_->externalSubset());
        }
        walk(document_, nullptr, 0);
        return valid_;
    }

private:
    // Whether a reference to an undeclared entity breaks well-formedness rather than validity: the
    // declarations it could have are all known.
    static bool declarationsRequired(TdomDocument* document) {
        if (document->standalone() == u"yes") return true;
        TdomDocumentType* type = document->doctype();
        if (!type) return true;
        if (!type->systemId().empty() || !type->publicId().empty()) return false;
        TdomCMObject* model = document->contentModel();
        if (!model || !model->internalSubset()) return true;
        for (const TdomCMNode* node : model->internalSubset()->children())
            if (node->nodeType() == TdomCMNodeType::parameterEntityReference) return false;
        return true;
    }

    void problem(TdomNode* sender, std::u16string_view code, std::string_view errorClass, bool fatal = true) {
        valid_ = false;
        domvalidation::report(errorHandler_, fatal, sender, code, errorClass);
    }

    static bool declaredExternally(const TdomCMNode* declaration) {
        return declaration->owner()->nodeType() == TdomCMNodeType::externalObject;
    }

    // Undeclared names are the only problem of a reference to a name without declaration. A
    // document declared standalone must not rely on the external subset for the entities that the
    // document entity itself refers to.
    TdomCMNode* declared(TdomNode* sender, const std::u16string& name, bool fromExternalSubset = false) {
        TdomCMNode* entity = cmaccess::declaredEntity(model_, name);
        if (entity && !fromExternalSubset && declaredExternally(entity) && document_->standalone() == u"yes")
            entity = nullptr;
        if (!entity && predefinedEntityText(name).empty() && declarationsRequired_)
            problem(sender, name, EParserMissing_Entity_Declaration_Err::kClassName, false);
        return entity;
    }

    // The references in the default values of a subset's attribute definitions, held to the rules
    // of references in attribute values; where declarations are required, an entity must be
    // declared before the default value that refers to it.
    void checkAttributeDefaults(const TdomCustomCMIEObject* subset) {
        if (!subset) return;
        const bool external = subset->nodeType() == TdomCMNodeType::externalObject;
        const std::vector<TdomCMNode*>& declarations = subset->children();
        for (std::size_t index = 0; index < declarations.size(); ++index) {
            if (declarations[index]->nodeType() != TdomCMNodeType::attrList) continue;
            for (const TdomCMNode* definition : declarations[index]->children()) {
                const std::u16string& value = static_cast<const TdomCMAttrDefinition*>(definition)->defaultValue();
                for (std::size_t at = value.find(u'&'); at != std::u16string::npos; at = value.find(u'&', at + 1)) {
                    const std::size_t end = value.find(u';', at);
                    if (end == std::u16string::npos) break;
                    if (value[at + 1] == u'#') continue;
                    const std::u16string name = value.substr(at + 1, end - at - 1);
                    if (declarationsRequired_ && declaredAfter(subset, index, name))
                        problem(document_, name, EParserMissing_Entity_Declaration_Err::kClassName, false);
                    else
                        checkAttributeEntity(document_, name, 0, external);
                }
            }
        }
    }

    // Whether the entity is declared in subset only after its declaration at index.
    bool declaredAfter(const TdomCustomCMIEObject* subset, std::size_t index, const std::u16string& name) const {
        TdomCMNode* entity = cmaccess::declaredEntity(model_, name);
        if (!entity || entity->owner() != subset) return false;
        const std::vector<TdomCMNode*>& declarations = subset->children();
        for (std::size_t i = 0; i < index; ++i)
            if (declarations[i] == entity) return false;
        return true;
    }

    // The children of node; reporter is the reference problems inside node are told with (none:
    // the node itself).
    void walk(TdomNode* node, TdomNode* reporter, int depth) {
        for (TdomNode* child : node->children()) {
            if (child->nodeType() == TdomNodeType::element) {
                for (TdomNode* attribute : static_cast<TdomElement*>(child)->attributeNodes())
                    checkAttribute(reporter ? reporter : child, attribute);
                walk(child, reporter, depth);
            } else if (child->nodeType() == TdomNodeType::entityReference) {
                checkReference(static_cast<TdomEntityReference*>(child), reporter ? reporter : child, depth);
            }
        }
    }

    void checkReference(TdomEntityReference* reference, TdomNode* reporter, int depth) {
        TdomCMNode* entity = declared(reporter, reference->nodeName());
        if (!entity) return;
        if (cmaccess::isUnparsedEntity(model_, reference->nodeName())) {
            problem(reporter, reference->nodeName(), EParserReferenceToUnparsedEntity_Err::kClassName);
            return;
        }
        if (cmaccess::entityIsUnusable(model_, entity) || depth >= kMaxDepth) {
            problem(reporter, reference->nodeName(), EParserNoProperMarkupReferenced_Err::kClassName);
            return;
        }
        if (!reference->children().empty()) return;
        if (cmaccess::entityRefersToExternal(model_, entity) &&
            cmaccess::entityReplacementText(model_, entity).empty()) {
            checkExternalReference(reference, static_cast<TdomCMEntityDeclaration*>(entity), reporter, depth);
            return;
        }
        if (cmaccess::entityReplacementText(model_, entity).empty()) return;
        bool filled = false;
        try {
            filled = reference->fillByParsing();
        } catch (const Exception&) {
        }
        if (!filled) {
            problem(reporter, reference->nodeName(), EParserNoProperMarkupReferenced_Err::kClassName);
            return;
        }
        walk(reference, reporter, depth + 1);
    }

    // Reads an external parsed entity into the reference and checks its text as content.
    void checkExternalReference(TdomEntityReference* reference, TdomCMEntityDeclaration* entity, TdomNode* reporter,
                                int depth) {
        if (!opener_) return;
        const std::u16string& name = reference->nodeName();
        for (const TdomCMNode* open : expanding_) {
            if (open == entity) {
                problem(reporter, name, EParserNoProperMarkupReferenced_Err::kClassName);
                return;
            }
        }
        std::unique_ptr<TStream> stream =
            opener_(entity->systemId(), entity->owner()->nodeType() == TdomCMNodeType::externalObject);
        if (!stream) {
            problem(reporter, name, EParserExternal_Entity_Not_Found_Err::kClassName, false);
            return;
        }
        std::u16string text, content;
        try {
            TXmlInputSource source(stream.get(), entity->publicId(), entity->systemId());
            if (source.encodingProblem() != TEncodingProblem::none)
                problem(reporter, source.encodingProblemText(), EParserUnusable_Encoding_Declaration_Err::kClassName,
                        false);
            source.rewind();
            for (char16_t unit; source.readChar(unit);) text.push_back(unit);
        } catch (const Exception&) {
            problem(reporter, name, EParserInvalidCharacter_Err::kClassName);
            return;
        }
        if (!splitTextDeclaration(text, content)) {
            problem(reporter, name, EParserInvalidTextDeclaration_Err::kClassName);
            return;
        }
        if (content.empty()) return;
        bool filled = false;
        try {
            TXmlToDomParser parser;
            filled = parser.wideStringToNode(content, entity->publicId(), entity->systemId(), reference);
        } catch (const Exception&) {
        }
        if (!filled) {
            problem(reporter, name, EParserNoProperMarkupReferenced_Err::kClassName);
            return;
        }
        expanding_.push_back(entity);
        walk(reference, reporter, depth + 1);
        expanding_.pop_back();
    }

    void checkAttribute(TdomNode* reporter, TdomNode* attribute) {
        for (TdomNode* child : attribute->children())
            if (child->nodeType() == TdomNodeType::entityReference)
                checkAttributeEntity(reporter, child->nodeName(), 0);
    }

    // An entity referred to from an attribute value, and the entities its replacement text refers to.
    void checkAttributeEntity(TdomNode* reporter, const std::u16string& name, int depth,
                              bool fromExternalSubset = false) {
        TdomCMNode* entity = declared(reporter, name, fromExternalSubset);
        if (!entity) return;
        if (cmaccess::entityRefersToExternal(model_, entity)) {
            problem(reporter, name, EParserAttributeValueRefersToExternalEntity_Err::kClassName);
            return;
        }
        if (cmaccess::entityIsUnusable(model_, entity) || depth >= kMaxDepth) {
            problem(reporter, name, EParserNoProperMarkupReferenced_Err::kClassName);
            return;
        }
        const std::u16string text = cmaccess::entityReplacementText(model_, entity);
        if (text.find(u'<') != std::u16string::npos) {
            problem(reporter, name, EParserLtInAttributeValue_Err::kClassName);
            return;
        }
        // General entity references are kept as written in the replacement text.
        for (std::size_t at = text.find(u'&'); at != std::u16string::npos; at = text.find(u'&', at + 1)) {
            const std::size_t end = text.find(u';', at);
            if (end == std::u16string::npos) break;
            if (text[at + 1] != u'#')
                checkAttributeEntity(reporter, text.substr(at + 1, end - at - 1), depth + 1,
                                     declaredExternally(entity));
        }
    }

    TdomDocument* document_;
    TdomCMObject* model_;
    TdomCustomErrorHandler* errorHandler_;
    const TExternalEntityOpener& opener_;
    // The external entities being read, outermost first.
    std::vector<const TdomCMNode*> expanding_;
    const bool declarationsRequired_;
    bool valid_ = true;
};

} // namespace

bool checkEntityConstraints(TdomDocument* document, TdomCustomErrorHandler* errorHandler,
                            const TExternalEntityOpener& openExternal) {
    return TEntityChecker(document, errorHandler, openExternal).run();
}
