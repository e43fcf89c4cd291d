#include "dom/named_node_map.h"

#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/dom_exception.h"
#include "dom/element.h"
#include "parser/parser_exception.h"

TdomNamedNodeMap::TdomNamedNodeMap(TdomDocument* ownerDocument, TdomNodeTypeSet acceptedKinds,
                                   std::vector<TdomNode*>* storage, TdomNode* ownerNode)
    : TdomNodeList(storage), storage_(storage), ownerDocument_(ownerDocument), ownerNode_(ownerNode),
      acceptedKinds_(acceptedKinds) {}

void TdomNamedNodeMap::setNamespaceAware(bool value) {
    if (!storage_->empty()) throw ENo_Modification_Allowed_Err();
    namespaceAware_ = value;
}

int TdomNamedNodeMap::getNamedIndex(std::u16string_view name) const {
    if (namespaceAware_) throw ENamespace_Err();
    for (std::size_t i = 0; i < storage_->size(); ++i) {
        TdomNode* node = (*storage_)[i];
        if (node->nodeName() == name && nodeTypeSetContains(acceptedKinds_, node->nodeType()))
            return static_cast<int>(i);
    }
    return -1;
}

TdomNode* TdomNamedNodeMap::removeItem(TdomNode* node) {
    if (readonly_) throw ENo_Modification_Allowed_Err();
    int index = indexOf(node);
    if (!node || index < 0) throw ENot_Found_Err();
    storage_->erase(storage_->begin() + index);
    return node;
}

TdomNode* TdomNamedNodeMap::getNamedItem(std::u16string_view name) const {
    int index = getNamedIndex(name);
    return index < 0 ? nullptr : (*storage_)[static_cast<std::size_t>(index)];
}

TdomNode* TdomNamedNodeMap::getNamedItemNS(std::u16string_view namespaceURI, std::u16string_view localName) const {
    if (!namespaceAware_) throw ENamespace_Err();
    for (TdomNode* node : *storage_)
        if (node->namespaceURI() == namespaceURI && node->localName() == localName &&
            nodeTypeSetContains(acceptedKinds_, node->nodeType()))
            return node;
    return nullptr;
}

TdomNode* TdomNamedNodeMap::takeOut(int index) {
    TdomNode* node = (*storage_)[static_cast<std::size_t>(index)];
    storage_->erase(storage_->begin() + index);
    if (node->nodeType() == TdomNodeType::attribute) static_cast<TdomAttr*>(node)->ownerElement_ = nullptr;
    return node;
}

TdomNode* TdomNamedNodeMap::removeNamedItem(std::u16string_view name) {
    if (readonly_) throw ENo_Modification_Allowed_Err();
    int index = getNamedIndex(name);
    if (index < 0) throw ENot_Found_Err();
    return takeOut(index);
}

TdomNode* TdomNamedNodeMap::removeNamedItemNS(std::u16string_view namespaceURI, std::u16string_view localName) {
    if (readonly_) throw ENo_Modification_Allowed_Err();
    TdomNode* node = getNamedItemNS(namespaceURI, localName);
    if (!node) throw ENot_Found_Err();
    return takeOut(indexOf(node));
}

void TdomNamedNodeMap::checkNewItem(TdomNode* node, bool wantNamespaceAware) const {
    if (!node) throw ENot_Supported_Err();
    if (readonly_) throw ENo_Modification_Allowed_Err();
    if (namespaceAware_ != wantNamespaceAware) throw ENamespace_Err();
    if (node->ownerDocument() != ownerDocument_) throw EWrong_Document_Err();
    if (!nodeTypeSetContains(acceptedKinds_, node->nodeType())) throw EHierarchy_Request_Err();
    if (node->parentNode()) throw EInuse_Node_Err();
    if (node->nodeType() == TdomNodeType::attribute) {
        TdomElement* owner = static_cast<TdomAttr*>(node)->ownerElement();
        if (owner && owner != ownerNode_) throw EInuse_Attribute_Err();
    }
}

void TdomNamedNodeMap::addItem(TdomNode* node) {
    storage_->push_back(node);
    if (node->nodeType() == TdomNodeType::attribute && ownerNode_ && ownerNode_->nodeType() == TdomNodeType::element)
        static_cast<TdomAttr*>(node)->ownerElement_ = static_cast<TdomElement*>(ownerNode_);
}

TdomNode* TdomNamedNodeMap::setNamedItem(TdomNode* node) {
    checkNewItem(node, false);
    TdomNode* replaced = getNamedIndex(node->nodeName()) >= 0 ? removeNamedItem(node->nodeName()) : nullptr;
    addItem(node);
    return replaced;
}

TdomNode* TdomNamedNodeMap::setNamedItemNS(TdomNode* node) {
    checkNewItem(node, true);
    TdomNode* replaced = getNamedItemNS(node->namespaceURI(), node->localName())
                             ? removeNamedItemNS(node->namespaceURI(), node->localName())
                             : nullptr;
    addItem(node);
    return replaced;
}

// ---- TdomEntitiesNamedNodeMap ----

TdomNode* TdomEntitiesNamedNodeMap::removeNamedItem(std::u16string_view name) {
    TdomNode* removed = TdomNamedNodeMap::removeNamedItem(name);
    entityRemoved(static_cast<TdomEntity*>(removed));
    return removed;
}

TdomNode* TdomEntitiesNamedNodeMap::removeNamedItemNS(std::u16string_view namespaceURI, std::u16string_view localName) {
    TdomNode* removed = TdomNamedNodeMap::removeNamedItemNS(namespaceURI, localName);
    entityRemoved(static_cast<TdomEntity*>(removed));
    return removed;
}

TdomNode* TdomEntitiesNamedNodeMap::setNamedItem(TdomNode* node) {
    return afterAdding(node, TdomNamedNodeMap::setNamedItem(node));
}

TdomNode* TdomEntitiesNamedNodeMap::setNamedItemNS(TdomNode* node) {
    return afterAdding(node, TdomNamedNodeMap::setNamedItemNS(node));
}

TdomNode* TdomEntitiesNamedNodeMap::afterAdding(TdomNode* node, TdomNode* replaced) {
    try {
        entityAdded(static_cast<TdomEntity*>(node));
    } catch (...) {
        if (namespaceAware_)
            removeNamedItemNS(node->namespaceURI(), node->localName());
        else
            removeNamedItem(node->nodeName());
        throw;
    }
    return replaced;
}

void TdomEntitiesNamedNodeMap::entityAdded(TdomEntity* entity) {
    const std::u16string& name = entity->nodeName();
    std::vector<TdomNode*> others = *storage_;
    for (TdomNode* other : others)
        if (other->nodeName() != name) entity->expandEntityReferencesNamed(other->nodeName());
    if (entity->containsEntityReference(name)) {
        ownerDocument_->emptyNode(entity);
        throw EParserInvalidEntityDeclaration_Err("Invalid entity declaration error.");
    }
    for (TdomNode* other : others) other->expandEntityReferencesNamed(name);
}

void TdomEntitiesNamedNodeMap::entityRemoved(TdomEntity* entity) {
    std::vector<TdomNode*> remaining = *storage_;
    for (TdomNode* other : remaining) other->clearEntityReferencesNamed(entity->nodeName());
}
