#include "dom/document_type.h"

#include "text/dom_exception.h"

// ---- TdomDocumentType ----

TdomDocumentType::TdomDocumentType(TdomDocument* ownerDocument, const std::u16string* name,
                                   std::u16string_view publicId, std::u16string_view systemId,
                                   std::u16string_view internalSubset)
    : TdomNode(ownerDocument, TdomNodeType::documentType, name), internalSubset_(internalSubset), publicId_(publicId),
      systemId_(systemId), entities_(ownerDocument, nodeTypeBit(TdomNodeType::entity), &entityStorage_, this),
      notations_(ownerDocument, nodeTypeBit(TdomNodeType::notation), &notationStorage_, this) {}

TdomDocumentType::~TdomDocumentType() = default;

void TdomDocumentType::setNodeValue(std::u16string_view) {}

bool TdomDocumentType::validate(TdomCustomErrorHandler*) { return true; }

// ---- TdomNotation ----

TdomNotation::TdomNotation(TdomDocument* ownerDocument, const std::u16string* name, std::u16string_view publicId,
                           std::u16string_view systemId)
    : TdomNode(ownerDocument, TdomNodeType::notation, name), publicId_(publicId), systemId_(systemId) {}

void TdomNotation::setNodeValue(std::u16string_view) {}

// ---- TdomEntity ----

TdomEntity::TdomEntity(TdomDocument* ownerDocument, const std::u16string* name, std::u16string_view publicId,
                       std::u16string_view systemId, std::u16string_view notationName)
    : TdomNode(ownerDocument, TdomNodeType::entity, name), notationName_(notationName), publicId_(publicId),
      systemId_(systemId) {}

void TdomEntity::setNodeValue(std::u16string_view) {}

void TdomEntity::checkExternal() const {
    if (!isInternal()) throw ENo_Modification_Allowed_Err();
}

TdomNode* TdomEntity::appendChild(TdomNode* newChild) {
    checkExternal();
    return TdomNode::appendChild(newChild);
}

TdomNode* TdomEntity::insertBefore(TdomNode* newChild, TdomNode* refChild) {
    checkExternal();
    return TdomNode::insertBefore(newChild, refChild);
}

TdomNode* TdomEntity::replaceChild(TdomNode* newChild, TdomNode* oldChild) {
    checkExternal();
    return TdomNode::replaceChild(newChild, oldChild);
}
