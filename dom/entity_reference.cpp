#include "dom/entity_reference.h"

#include "dom/character_data.h"
#include "dom/content_model_access.h"
#include "dom/document.h"
#include "dom/dom_exception.h"

namespace {
constexpr TdomNodeTypeSet kReferenceChildren =
    nodeTypeSet({TdomNodeType::element, TdomNodeType::text, TdomNodeType::cdataSection, TdomNodeType::entityReference,
                 TdomNodeType::processingInstruction, TdomNodeType::comment, TdomNodeType::documentFragment});
} // namespace

TdomEntityReference::TdomEntityReference(TdomDocument* ownerDocument, const std::u16string* name)
    : TdomNode(ownerDocument, TdomNodeType::entityReference, name, kReferenceChildren) {}

void TdomEntityReference::setNodeValue(std::u16string_view) {}

bool TdomEntityReference::checkEntityReferences(int) { return true; }

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
    freeChildren();
    TdomCMObject* model = ownerDocument()->contentModel();
    if (TdomCMNode* entity = cmaccess::declaredEntity(model, nodeName())) {
        std::u16string text;
        try {
            text = cmaccess::entityReplacementText(model, entity);
        } catch (...) {
            return false;
        }
        // Parsing a non-empty replacement text into this reference needs the parser front; until
        // that is wired in, such a reference stays empty and the answer is false.
        return text.empty();
    }
    std::u16string_view predefined = predefinedEntityText(nodeName());
    if (predefined.empty()) return false;
    appendChild(ownerDocument()->createTextNode(predefined));
    return true;
}

bool TdomEntityReference::validate(TdomCustomErrorHandler* errorHandler) {
    TdomCMObject* model = ownerDocument()->contentModel();
    TdomCMNode* entity = cmaccess::declaredEntity(model, nodeName());
    if (!entity) return isPredefined();
    bool valid = true;
    if (cmaccess::entityRefersToUnparsed(model, entity)) valid = false;
    if (cmaccess::entityIsUnusable(model, entity)) valid = false;
    for (TdomNode* child : children())
        if (!child->validate(errorHandler)) valid = false;
    return valid;
}
