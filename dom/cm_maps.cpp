#include "dom/cm_maps.h"

#include <algorithm>
#include <unordered_set>

#include "dom/cm_declaration.h"
#include "dom/cm_node.h"

namespace {
// Position of node among its parent's children; nodes without parent sort last.
std::size_t orderOf(const TdomCMNode* node) {
    const TdomCMNode* parent = node->parentNode();
    if (!parent) return static_cast<std::size_t>(-1);
    int index = parent->indexOfChild(node);
    return index < 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(index);
}
} // namespace

namespace cm_detail {

void NamedNodeIndex::add(const std::u16string& name, TdomCMNode* node) { items_[name].push_back(node); }

void NamedNodeIndex::remove(const std::u16string& name, TdomCMNode* node) {
    auto it = items_.find(std::u16string_view(name));
    if (it == items_.end()) return;
    auto& nodes = it->second;
    nodes.erase(std::remove(nodes.begin(), nodes.end(), node), nodes.end());
    if (nodes.empty()) items_.erase(it);
}

const std::vector<TdomCMNode*>* NamedNodeIndex::all(std::u16string_view name) const {
    auto it = items_.find(name);
    return it == items_.end() ? nullptr : &it->second;
}

TdomCMNode* NamedNodeIndex::first(std::u16string_view name) const {
    const std::vector<TdomCMNode*>* nodes = all(name);
    if (!nodes) return nullptr;
    if (nodes->size() == 1) return nodes->front();
    // Several declarations of one name: the first in document order is binding.
    return *std::min_element(nodes->begin(), nodes->end(),
                             [](const TdomCMNode* a, const TdomCMNode* b) { return orderOf(a) < orderOf(b); });
}

} // namespace cm_detail

const std::u16string& TdomNamedCMNodeMap::nodeKey(const TdomCMNode* node) { return node->nodeName(); }

void TdomNamedCMAttributeMap::add(TdomCMAttrList* list) { index_.add(list->elementName(), list); }

void TdomNamedCMAttributeMap::remove(TdomCMAttrList* list) { index_.remove(list->elementName(), list); }

std::vector<TdomCMAttrList*> TdomNamedCMAttributeMap::listsInOrder(std::u16string_view elementName) const {
    std::vector<TdomCMAttrList*> lists;
    if (const auto* nodes = index_.all(elementName)) {
        for (TdomCMNode* node : *nodes) lists.push_back(static_cast<TdomCMAttrList*>(node));
        if (lists.size() > 1)
            std::stable_sort(lists.begin(), lists.end(),
                             [](const TdomCMNode* a, const TdomCMNode* b) { return orderOf(a) < orderOf(b); });
    }
    return lists;
}

TdomCMAttrDefinition* TdomNamedCMAttributeMap::getAttrDefinition(std::u16string_view elementName,
                                                                 std::u16string_view attributeName) const {
    for (TdomCMAttrList* list : listsInOrder(elementName))
        for (TdomCMNode* child : list->children())
            if (child->nodeName() == attributeName) return static_cast<TdomCMAttrDefinition*>(child);
    return nullptr;
}

std::vector<TdomCMAttrDefinition*> TdomNamedCMAttributeMap::attrDefinitionsOf(std::u16string_view elementName) const {
    std::vector<TdomCMAttrDefinition*> definitions;
    std::unordered_set<std::u16string_view> seen;
    for (TdomCMAttrList* list : listsInOrder(elementName))
        for (TdomCMNode* child : list->children())
            if (seen.insert(child->nodeName()).second) definitions.push_back(static_cast<TdomCMAttrDefinition*>(child));
    return definitions;
}

void TdomNamedCMEntityMap::add(TdomCustomCMEntDecl* entity) { index_.add(entity->nodeName(), entity); }

void TdomNamedCMEntityMap::remove(TdomCustomCMEntDecl* entity) { index_.remove(entity->nodeName(), entity); }

TdomCustomCMEntDecl* TdomNamedCMEntityMap::getNamedItem(std::u16string_view name) const {
    return static_cast<TdomCustomCMEntDecl*>(index_.first(name));
}
