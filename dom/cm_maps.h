#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TdomCMNode;
class TdomCMAttrList;
class TdomCMAttrDefinition;
class TdomCustomCMEntDecl;

namespace cm_detail {
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view s) const noexcept { return std::hash<std::u16string_view>{}(s); }
};
struct NameEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const noexcept { return a == b; }
};
// Name -> the nodes declared under that name. The first declaration (in the order of the
// parent's children) is binding.
class NamedNodeIndex {
public:
    void add(const std::u16string& name, TdomCMNode* node);
    void remove(const std::u16string& name, TdomCMNode* node);
    TdomCMNode* first(std::u16string_view name) const;
    const std::vector<TdomCMNode*>* all(std::u16string_view name) const;
    std::size_t nameCount() const { return items_.size(); }
    void clear() { items_.clear(); }

private:
    std::unordered_map<std::u16string, std::vector<TdomCMNode*>, NameHash, NameEqual> items_;
};
} // namespace cm_detail

// Declared element types (or notations) of a subset by name; look-up in constant time.
class TdomNamedCMNodeMap {
public:
    void add(TdomCMNode* node) { index_.add(nodeKey(node), node); }
    void remove(TdomCMNode* node) { index_.remove(nodeKey(node), node); }
    // The binding (first) declaration of that name, nullptr when none.
    TdomCMNode* getNamedItem(std::u16string_view name) const { return index_.first(name); }
    // Number of distinct names.
    std::size_t length() const { return index_.nameCount(); }
    void clear() { index_.clear(); }

private:
    static const std::u16string& nodeKey(const TdomCMNode* node);
    cm_detail::NamedNodeIndex index_;
};

// The attribute lists of a subset by element name. Attribute definitions are looked up through the
// lists, so definitions added to or removed from a list are seen at once.
class TdomNamedCMAttributeMap {
public:
    void add(TdomCMAttrList* list);
    void remove(TdomCMAttrList* list);
    // The binding definition of attributeName for elementName: the first one in the lists of that
    // element in declaration order. nullptr when none.
    TdomCMAttrDefinition* getAttrDefinition(std::u16string_view elementName, std::u16string_view attributeName) const;
    // The binding definition of every attribute declared for elementName, in declaration order.
    std::vector<TdomCMAttrDefinition*> attrDefinitionsOf(std::u16string_view elementName) const;
    std::size_t length() const { return index_.nameCount(); }
    void clear() { index_.clear(); }

private:
    std::vector<TdomCMAttrList*> listsInOrder(std::u16string_view elementName) const;
    cm_detail::NamedNodeIndex index_;
};

// Entity declarations (general or parameter) of a subset by name.
class TdomNamedCMEntityMap {
public:
    void add(TdomCustomCMEntDecl* entity);
    void remove(TdomCustomCMEntDecl* entity);
    // The binding (first) declaration of that name, nullptr when none.
    TdomCustomCMEntDecl* getNamedItem(std::u16string_view name) const;
    std::size_t length() const { return index_.nameCount(); }
    void clear() { index_.clear(); }

private:
    cm_detail::NamedNodeIndex index_;
};
