#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dom/node_vector.h"

class TdomNode;
class TdomDocument;
class TdomElement;
class TdomNamedNodeMap;
class TdomCustomErrorHandler;
class TStream;

// Node-type codes of the DOM Level 2 recommendation; 0 is a bare TdomNode.
enum class TdomNodeType : std::uint8_t {
    unknown = 0,
    element = 1,
    attribute = 2,
    text = 3,
    cdataSection = 4,
    entityReference = 5,
    entity = 6,
    processingInstruction = 7,
    comment = 8,
    document = 9,
    documentType = 10,
    documentFragment = 11,
    notation = 12,
};

// A set of node-type codes: bit n stands for code n. Codes above 15 are never members.
using TdomNodeTypeSet = std::uint16_t;

constexpr TdomNodeTypeSet nodeTypeBit(TdomNodeType type) {
    return static_cast<TdomNodeTypeSet>(1u << static_cast<unsigned>(type));
}
constexpr TdomNodeTypeSet nodeTypeSet(std::initializer_list<TdomNodeType> types) {
    TdomNodeTypeSet set = 0;
    for (TdomNodeType t : types) set = static_cast<TdomNodeTypeSet>(set | nodeTypeBit(t));
    return set;
}
constexpr bool nodeTypeSetContains(TdomNodeTypeSet set, TdomNodeType type) {
    return static_cast<unsigned>(type) < 16 && (set & nodeTypeBit(type)) != 0;
}

// The namespaces that the Namespaces in XML recommendation binds to the prefixes xml and xmlns.
inline constexpr std::u16string_view kXmlNamespaceUri = u"http://www.w3.org/XML/1998/namespace";
inline constexpr std::u16string_view kXmlnsNamespaceUri = u"http://www.w3.org/2000/xmlns/";

// True for the five entity names every XML processor knows: lt, gt, amp, apos, quot.
bool isPredefinedEntityName(std::u16string_view name);
// The replacement character of a predefined entity name ("<" for "lt", ...); empty for other names.
std::u16string_view predefinedEntityText(std::u16string_view name);

// The namespace parts of a node created by a namespace-aware factory (interned strings). Few nodes
// have them, so the owner document keeps them beside the nodes instead of in every node.
struct TdomNamespaceParts {
    const std::u16string* namespaceURI;
    const std::u16string* prefix;
    const std::u16string* localName;
};

namespace dominternal {
void normalizeSubtree(TdomNode* root);
}

// Read-only indexed view over a sequence of node references that the list does not own
// (a node's children, a registry, a map's storage). The view is live: it always shows the
// current content of the sequence. An index out of range answers nullptr.
class TdomNodeList {
public:
    explicit TdomNodeList(const TdomNodeVector* items = nullptr) noexcept : items_(items) {}
    TdomNodeList(const TdomNodeList&) = default;
    TdomNodeList& operator=(const TdomNodeList&) = default;
    virtual ~TdomNodeList() = default;

    virtual int length() const;
    virtual int indexOf(const TdomNode* node) const;
    virtual TdomNode* item(int index) const;

protected:
    const TdomNodeVector* items_;
};

// Base of every node of the document object model.
//
// Ownership: every node is created by a factory operation of its owner document and belongs to it;
// the document frees it (destroyNode, or clearing/freeing the whole document). Parent, children and
// owner references are raw, non-owning pointers; nullptr is "none". Taking a node out of a tree
// never frees it.
//
// Names are interned per document: nodeName() and the namespace parts return references to strings
// that live as long as the document.
class TdomNode {
public:
    TdomNode(const TdomNode&) = delete;
    TdomNode& operator=(const TdomNode&) = delete;
    virtual ~TdomNode();

    // Sets the read-only flag of every descendant (children, then their subtrees).
    virtual void setDescendantsReadonly();
    // Content-model questions: false when the owner document has no content model.
    virtual bool dependsOnExternalEntity();
    virtual bool hasUnresolvableReference();
    // True if an entity reference with that name lies in the subtree.
    virtual bool containsEntityReference(std::u16string_view name) const;
    // Fills every entity reference of that name in the subtree through the owner document.
    virtual void expandEntityReferencesNamed(std::u16string_view name);
    // Empties every entity reference of that name in the subtree.
    virtual void clearEntityReferencesNamed(std::u16string_view name);

    const std::u16string& nodeName() const { return *name_; }
    virtual std::u16string nodeValue() const;
    // Raises ENo_Modification_Allowed_Err on a read-only node; kinds without a value ignore it.
    virtual void setNodeValue(std::u16string_view value);
    TdomNodeType nodeType() const { return type_; }
    // The attribute map of an element; nullptr for every other kind.
    virtual TdomNamedNodeMap* attributes();
    virtual TdomNode* parentNode() const;
    // Live view of the children; item access is O(1). The view must not outlive the node.
    TdomNodeList childNodes() const { return TdomNodeList(&children_); }
    // The children themselves, for fast walks.
    const TdomNodeVector& children() const { return children_; }
    TdomNode* firstChild() const { return children_.empty() ? nullptr : children_.front(); }
    TdomNode* lastChild() const { return children_.empty() ? nullptr : children_.back(); }
    virtual TdomNode* previousSibling() const;
    virtual TdomNode* nextSibling() const;
    TdomDocument* ownerDocument() const { return ownerDocument_; }
    // The node's XML text: writeTo into a wide-string stream.
    std::u16string serializedText() const;
    std::u16string textContent() const;
    std::u16string baseURI() const;
    virtual void setReadonly(bool value);
    bool isReadonly() const { return (flags_ & kReadonlyFlag) != 0; }
    virtual void setPrefix(std::u16string_view prefix);
    virtual bool validate(TdomCustomErrorHandler* errorHandler);
    virtual bool checkIdReferences(TdomCustomErrorHandler* errorHandler);
    virtual TdomNode* appendChild(TdomNode* newChild);
    // Removes and destroys every child (each made writable first).
    virtual void freeChildren();
    // A copy owned by the same document, without parent (the document's importNode).
    virtual TdomNode* cloneNode(bool deep);

    TdomElement* firstChildElementNamed(std::u16string_view name) const;
    TdomElement* firstChildElementNamedNS(std::u16string_view namespaceURI, std::u16string_view localName) const;
    TdomElement* lastChildElementNamed(std::u16string_view name) const;
    TdomElement* lastChildElementNamedNS(std::u16string_view namespaceURI, std::u16string_view localName) const;
    TdomElement* nextSiblingElementNamed(std::u16string_view name) const;
    TdomElement* nextSiblingElementNamedNS(std::u16string_view namespaceURI, std::u16string_view localName) const;
    TdomElement* ancestorElementNamed(std::u16string_view name) const;
    TdomElement* ancestorElementNamedNS(std::u16string_view namespaceURI, std::u16string_view localName) const;
    TdomElement* previousSiblingElementNamed(std::u16string_view name) const;
    TdomElement* previousSiblingElementNamedNS(std::u16string_view namespaceURI, std::u16string_view localName) const;

    bool hasChildNodes() const { return !children_.empty(); }
    virtual TdomNode* insertBefore(TdomNode* newChild, TdomNode* refChild);
    // True when node lies on the parent chain of this node (the node itself does not count).
    bool hasAncestor(const TdomNode* node) const;
    // True when this node is top or lies in top's subtree, counting an attribute's owner element as
    // its parent (so the attributes of an element and their children lie within the element).
    bool liesWithin(const TdomNode* top) const;
    // Merges every run of adjacent text nodes below the elements and attributes of the subtree into
    // the run's first node; the merged nodes leave the tree and stay alive. A run whose parent or first
    // node is read-only raises ENo_Modification_Allowed_Err before anything changes.
    virtual void normalize();
    virtual TdomNode* removeChild(TdomNode* oldChild);
    virtual TdomNode* replaceChild(TdomNode* newChild, TdomNode* oldChild);
    virtual bool checkEntityReferences(int option);
    bool isSupported(std::u16string_view feature, std::u16string_view version) const;
    // Writes the node and its subtree as XML text (UTF-16 units in memory order); see dom/xml_output.h.
    virtual void writeTo(TStream& stream) const;

    // Namespace parts: empty unless the node was created by a namespace-aware factory or renamed.
    const std::u16string& localName() const;
    const std::u16string& namespaceURI() const;
    const std::u16string& prefix() const;
    bool hasNamespaceParts() const { return flag(kNamespacePartsFlag); }

    // The kinds of node this node accepts as children (a fixed set per node type).
    TdomNodeTypeSet allowedChildKinds() const;
    // Position of child among the children, -1 when it is not a child (linear search).
    int indexOfChild(const TdomNode* child) const;

protected:
    // A bare node of kind 0 (accepting kinds 1, 3, 4, 5, 7, 8, 10, 11 and 12).
    explicit TdomNode(TdomDocument* ownerDocument);
    TdomNode(TdomDocument* ownerDocument, TdomNodeType type, const std::u16string* name)
        : name_(name), ownerDocument_(ownerDocument), type_(type) {}

    // The checks of insertBefore/appendChild that concern newChild (steps 1 to 5); refChild may be nullptr.
    void checkNewChild(TdomNode* newChild, const TdomNode* refChild) const;
    // Takes newChild out of its old parent (through the parent's removeChild) and puts it at position index
    // (the end when index is -1), making this node its parent. No checks.
    void adoptChild(TdomNode* newChild, int index);
    // Takes the child at index out of the children after telling the owner document; no checks.
    void detachChildAt(int index);
    // The child-list checks of removeChild/replaceChild.
    void checkWritable() const;

    void setNodeNameInterned(const std::u16string* name) { name_ = name; }
    void setNamespaceParts(const std::u16string* namespaceURI, const std::u16string* prefix,
                           const std::u16string* localName);
    void setReadonlyFlag(bool value) { setFlag(kReadonlyFlag, value); }

    // Per-kind flag bits kept beside the common fields so that subclasses stay small. Bit 0 is the
    // read-only flag; subclasses use the bits from kFirstKindFlag on.
    static constexpr std::uint8_t kReadonlyFlag = 1;
    static constexpr std::uint8_t kHeapAllocatedFlag = 2;  // not from the document's pages
    static constexpr std::uint8_t kNamespacePartsFlag = 4; // parts kept in the owner document
    static constexpr std::uint8_t kFirstKindFlag = 8;
    bool flag(std::uint8_t bit) const { return (flags_ & bit) != 0; }
    void setFlag(std::uint8_t bit, bool value) {
        flags_ = static_cast<std::uint8_t>(value ? (flags_ | bit) : (flags_ & ~bit));
    }

private:
    friend class TdomDocument;
    friend void dominternal::normalizeSubtree(TdomNode* root);

    const std::u16string* name_;
    TdomNodeVector children_;
    TdomDocument* ownerDocument_;
    TdomNode* parent_ = nullptr;
    TdomNodeType type_;
    std::uint8_t flags_ = 0;
    // Size class of the node's memory in the owner document's pages (0: memory of its own).
    std::uint8_t sizeClass_ = 0;
    // The page of the node's memory in the owner document's pages, or, for a node outside them, its
    // position in the owner document's list of such nodes.
    std::uint32_t slot_ = 0;
};
