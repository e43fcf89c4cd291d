#include "dom/entity_reference.h"

#include "dom/character_data.h"
#include "dom/cm_object.h"
#include "dom/content_model_access.h"
#include "dom/document.h"
#include "dom/element_validation.h"
#include "dom/implementation.h"
#include "text/dom_exception.h"
#include "text/error_handler.h"
#include "text/exception.h"
#include "text/parser_exception.h"

TdomEntityReference::TdomEntityReference(TdomDocument* ownerDocument, const std::u16string* name)
    : TdomNode(ownerDocument, TdomNodeType::entityReference, name) {}

void TdomEntityReference::setNodeValue(std::u16string_view) {}

bool TdomEntityReference::checkEntityReferences(int option) {
    return domvalidation::entityReferenceResolvable(this) && TdomNode::checkEntityReferences(option);
}

TdomNode* TdomEntityReference::cloneNode(bool deep) {
    TdomNode* copy = TdomNode::cloneNode(deep);
    setDescendantsReadonly();
    copy->setDescendantsReadonly();
    return copy;
}

TdomCMNode* TdomEntityReference::declaredEntity() const {
    return cmaccess::declaredEntity(ownerDocument()->contentModel(), nodeName());
}

bool TdomEntityReference::fillByParsing() {
    checkWritable();
    // The old content stays alive, parentless: a caller may still hold part of it.
    ownerDocument()->detachChildren(this);
    TdomCMObject* model = ownerDocument()->contentModel();
    if (TdomCMNode* entity = cmaccess::declaredEntity(model, nodeName())) {
        // The replacement text is parsed into this reference by the fragment parser of the
        // implementation that holds the declarations. A parse that fails with the program's own
        // errors (parse, DOM, conversion and stream errors) makes the answer false and goes no
        // further; anything else, running out of memory among them, passes on.
        try {
            std::u16string text = cmaccess::entityReplacementText(model, entity);
            if (text.empty()) return true;
            TDomImplementation* implementation = model->domImplementation();
            if (!implementation || !implementation->fragmentParser) return false;
            return implementation->fragmentParser(text, this);
        } catch (const Exception&) {
            return false;
        }
    }
    std::u16string_view predefined = predefinedEntityText(nodeName());
    if (predefined.empty()) return false;
    appendChild(ownerDocument()->createTextNode(predefined));
    return true;
}

bool TdomEntityReference::validate(TdomCustomErrorHandler* errorHandler) {
    TdomCMObject* model = ownerDocument()->contentModel();
    TdomCMNode* entity = cmaccess::declaredEntity(model, nodeName());
    if (!entity) {
        if (isPredefined()) return true;
        domvalidation::report(errorHandler, false, this, nodeName(), EParserMissing_Entity_Declaration_Err::kClassName);
        return false;
    }
    bool valid = true;
    if (cmaccess::entityRefersToUnparsed(model, entity)) {
        valid = false;
        domvalidation::report(errorHandler, true, this, nodeName(), EParserReferenceToUnparsedEntity_Err::kClassName);
    }
    if (cmaccess::entityIsUnusable(model, entity)) {
        valid = false;
        domvalidation::report(errorHandler, true, this, nodeName(), EParserNoProperMarkupReferenced_Err::kClassName);
    }
    for (TdomNode* child : children())
        if (!child->validate(errorHandler)) valid = false;
    return valid;
}
