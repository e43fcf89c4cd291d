#include "dom/named_node_map.h"

#include <algorithm>

#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "text/dom_exception.h"
#include "text/parser_exception.h"

TdomNamedNodeMap::TdomNamedNodeMap(TdomDocument* ownerDocument, TdomNodeTypeSet acceptedKinds, TdomNodeVector* storage,
                                   TdomNode* ownerNode)
    : TdomNodeList(storage), storage_(storage), ownerDocument_(ownerDocument), ownerNode_(ownerNode),
      acceptedKinds_(acceptedKinds) {}

void TdomNamedNodeMap::setNamespaceAware(bool value) {
    if (!storage_->empty()) throw ENo_Modification_Allowed_Err();
    namespaceAware_ = value;
}

TdomNamedNodeMap::IndexKey::IndexKey(std::u16string_view first, std::u16string_view second)
    : hash(std::hash<std::u16string_view>()(first) * 31 + std::hash<std::u16string_view>()(second)), first(first),
      second(second) {}

TdomNamedNodeMap::IndexKey TdomNamedNodeMap::keyOf(const TdomNode* node) const {
    if (namespaceAware_) return {node->namespaceURI(), node->localName()};
    return {node->nodeName(), {}};
}

TdomNamedNodeMap::Index* TdomNamedNodeMap::index() const {
    if (index_) return index_.get();
    if (scanOnly_ || storage_->size() <= kIndexThreshold) return nullptr;
    auto index = std::make_unique<Index>();
    index->reserve(storage_->size() * 2);
    // The first item of a name wins, as in a scan.
    for (TdomNode* node : *storage_) index->emplace(keyOf(node), node);
    index_ = std::move(index);
    return index_.get();
}

void TdomNamedNodeMap::unindex(const TdomNode* node) {
    if (!index_) return;
    auto it = index_->find(keyOf(node));
    if (it != index_->end() && it->second == node) index_->erase(it);
}

void TdomNamedNodeMap::itemRenamed() {
    if (namespaceAware_) return; // the index of a namespace-aware map does not use node names
    scanOnly_ = true;
    index_.reset();
}

TdomNode* TdomNamedNodeMap::findNamed(std::u16string_view name) const {
    if (Index* index = this->index()) {
        auto it = index->find(IndexKey{name, {}});
        return it == index->end() ? nullptr : it->second;
    }
    for (TdomNode* node : *storage_)
        if (node->nodeName() == name) return node;
    return nullptr;
}

TdomNode* TdomNamedNodeMap::findNamedNS(std::u16string_view namespaceURI, std::u16string_view localName) const {
    if (Index* index = this->index()) {
        auto it = index->find(IndexKey{namespaceURI, localName});
        return it == index->end() ? nullptr : it->second;
    }
    for (TdomNode* node : *storage_)
        if (node->namespaceURI() == namespaceURI && node->localName() == localName) return node;
    return nullptr;
}

int TdomNamedNodeMap::positionOf(const TdomNode* node) const {
    auto it = std::find(storage_->begin(), storage_->end(), node);
    return static_cast<int>(it - storage_->begin());
}

int TdomNamedNodeMap::getNamedIndex(std::u16string_view name) const {
    TdomNode* node = getNamedItem(name);
    return node ? positionOf(node) : -1;
}

TdomNode* TdomNamedNodeMap::removeItem(TdomNode* node) {
    if (readonly_) throw ENo_Modification_Allowed_Err();
    int index = indexOf(node);
    if (!node || index < 0) throw ENot_Found_Err();
    unindex(node);
    storage_->erase(storage_->begin() + index);
    return node;
}

TdomNode* TdomNamedNodeMap::getNamedItem(std::u16string_view name) const {
    if (namespaceAware_) throw ENamespace_Err();
    TdomNode* node = findNamed(name);
    return node && nodeTypeSetContains(acceptedKinds_, node->nodeType()) ? node : nullptr;
}

TdomNode* TdomNamedNodeMap::getNamedItemNS(std::u16string_view namespaceURI, std::u16string_view localName) const {
    if (!namespaceAware_) throw ENamespace_Err();
    TdomNode* node = findNamedNS(namespaceURI, localName);
    return node && nodeTypeSetContains(acceptedKinds_, node->nodeType()) ? node : nullptr;
}

TdomNode* TdomNamedNodeMap::takeOut(int index) {
    TdomNode* node = (*storage_)[static_cast<std::size_t>(index)];
    unindex(node);
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
    return takeOut(positionOf(node));
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
    if (index_) {
        // Make room first, so that the push_back after a successful insertion cannot fail.
        if (storage_->size() == storage_->capacity()) storage_->reserve(storage_->size() * 2);
        index_->emplace(keyOf(node), node);
    }
    storage_->push_back(node);
    if (node->nodeType() == TdomNodeType::attribute && ownerNode_ && ownerNode_->nodeType() == TdomNodeType::element)
        static_cast<TdomAttr*>(node)->ownerElement_ = static_cast<TdomElement*>(ownerNode_);
}

TdomNode* TdomNamedNodeMap::setNamedItem(TdomNode* node) {
    checkNewItem(node, false);
    TdomNode* replaced = getNamedItem(node->nodeName()) ? removeNamedItem(node->nodeName()) : nullptr;
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
    const TdomNodeVector others = *storage_;
    for (TdomNode* other : others)
        if (other->nodeName() != name) entity->expandEntityReferencesNamed(other->nodeName());
    if (entity->containsEntityReference(name)) {
        ownerDocument_->emptyNode(entity);
        throw EParserInvalidEntityDeclaration_Err("Invalid entity declaration error.");
    }
    for (TdomNode* other : others) other->expandEntityReferencesNamed(name);
}

void TdomEntitiesNamedNodeMap::entityRemoved(TdomEntity* entity) {
    const TdomNodeVector remaining = *storage_;
    for (TdomNode* other : remaining) other->clearEntityReferencesNamed(entity->nodeName());
}
