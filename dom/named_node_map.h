#pragma once

#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dom/node.h"

class TdomEntity;

// Indexed, named view over a storage list owned by someone else: the attributes of an element
// (accepting kind 2), the entities (kind 6) and notations (kind 12) of a document type.
//
// A map is either namespace-aware or not: the plain operations (getNamedItem, setNamedItem, ...)
// refuse a namespace-aware map and the NS operations refuse a plain one with ENamespace_Err. The
// flag can change only while the map is empty.
//
// Lookups by name scan the items while the map is small. Once it holds more than kIndexThreshold
// items, the first lookup builds a hash index (node name, or namespace URI and local name in a
// namespace-aware map) that every later addition and removal keeps up to date, so that filling a map
// with N distinct names costs O(N) lookups in all.
class TdomNamedNodeMap : public TdomNodeList {
public:
    TdomNamedNodeMap(TdomDocument* ownerDocument, TdomNodeTypeSet acceptedKinds, TdomNodeVector* storage,
                     TdomNode* ownerNode);
    TdomNamedNodeMap(const TdomNamedNodeMap&) = delete;
    TdomNamedNodeMap& operator=(const TdomNamedNodeMap&) = delete;

    bool namespaceAware() const { return namespaceAware_; }
    TdomNode* ownerNode() const { return ownerNode_; }
    TdomDocument* ownerDocument() const { return ownerDocument_; }
    // Raises ENo_Modification_Allowed_Err when the map holds items.
    void setNamespaceAware(bool value);
    // Position of the first accepted item with that node name, -1 if none (plain maps only).
    int getNamedIndex(std::u16string_view name) const;
    // Takes node out of the map (read-only: ENo_Modification_Allowed_Err; absent: ENot_Found_Err).
    TdomNode* removeItem(TdomNode* node);
    bool isReadonly() const { return readonly_; }
    void setReadonly(bool value) { readonly_ = value; }

    TdomNode* getNamedItem(std::u16string_view name) const;
    TdomNode* getNamedItemNS(std::u16string_view namespaceURI, std::u16string_view localName) const;
    virtual TdomNode* removeNamedItem(std::u16string_view name);
    virtual TdomNode* removeNamedItemNS(std::u16string_view namespaceURI, std::u16string_view localName);
    // Adds node at the end; an item of the same name (or namespace URI and local name) is removed first
    // and returned.
    virtual TdomNode* setNamedItem(TdomNode* node);
    virtual TdomNode* setNamedItemNS(TdomNode* node);

protected:
    friend class TdomDocument;
    friend class TdomElement;
    friend class TdomNode;
    void checkNewItem(TdomNode* node, bool wantNamespaceAware) const;
    TdomNode* takeOut(int index);
    void addItem(TdomNode* node);
    // The first item with that node name (plain maps) or namespace URI and local name, without the
    // kind checks of the public operations.
    TdomNode* findNamed(std::u16string_view name) const;
    TdomNode* findNamedNS(std::u16string_view namespaceURI, std::u16string_view localName) const;
    // Position of an item of the map (which must hold it).
    int positionOf(const TdomNode* node) const;
    // An item of a plain map got another node name: two items may share a name from now on, and only
    // a scan in map order finds the first of them.
    void itemRenamed();
    // The storage was emptied behind the map's back.
    void itemsCleared() { index_.reset(); }

    TdomNodeVector* storage_;
    bool readonly_ = false;
    bool namespaceAware_ = false;
    TdomDocument* ownerDocument_;
    TdomNode* ownerNode_;
    TdomNodeTypeSet acceptedKinds_;

private:
    static constexpr std::size_t kIndexThreshold = 8;

    // Key of the index: the node name and an empty view (plain maps), or the namespace URI and the
    // local name. The views point at the names interned by the owner document. The key carries its hash,
    // so that neither comparing keys nor growing the table hashes the names again.
    struct IndexKey {
        IndexKey(std::u16string_view first, std::u16string_view second);
        std::size_t hash; // compared first
        std::u16string_view first;
        std::u16string_view second;
        bool operator==(const IndexKey&) const = default;
    };
    struct IndexKeyHash {
        std::size_t operator()(const IndexKey& key) const noexcept { return key.hash; }
    };
    using Index = std::unordered_map<IndexKey, TdomNode*, IndexKeyHash>;

    IndexKey keyOf(const TdomNode* node) const;
    // The index, built on first use once the map is large enough; nullptr while scanning is used.
    Index* index() const;
    void unindex(const TdomNode* node);

    mutable std::unique_ptr<Index> index_;
    bool scanOnly_ = false;
};

// The entity map of a document type: adding an entity fills the references between the entities of
// the map, and refuses an entity whose content refers to itself.
class TdomEntitiesNamedNodeMap : public TdomNamedNodeMap {
public:
    using TdomNamedNodeMap::TdomNamedNodeMap;

    TdomNode* removeNamedItem(std::u16string_view name) override;
    TdomNode* removeNamedItemNS(std::u16string_view namespaceURI, std::u16string_view localName) override;
    TdomNode* setNamedItem(TdomNode* node) override;
    TdomNode* setNamedItemNS(TdomNode* node) override;

    // Raises EParserInvalidEntityDeclaration_Err (after emptying entity) when entity refers to itself.
    void entityAdded(TdomEntity* entity);
    void entityRemoved(TdomEntity* entity);

private:
    TdomNode* afterAdding(TdomNode* node, TdomNode* replaced);
};
