#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TdomCMNode;
class TdomCustomCMObject;
class TdomCustomErrorHandler;
class TStream;

// Node-type codes of the content-model tree.
enum class TdomCMNodeType : std::uint8_t {
    processingInstruction = 1,
    comment = 2,
    object = 3,
    fragment = 4,
    externalObject = 5,
    internalObject = 6,
    attribute = 7,
    notation = 8,
    entity = 9,
    parameterEntity = 10,
    parameterEntityReference = 11,
    entityDeclaration = 12,
    parameterEntityDeclaration = 13,
    elementTypeDeclaration = 14,
    sequenceParticle = 15,
    choiceParticle = 16,
    pcdataChoiceParticle = 17,
    elementParticle = 18,
    attrList = 19,
    attrDefinition = 20,
    notationDeclaration = 21,
    nameParticle = 22,
    nmtokenParticle = 23,
};

// A set of content-model node types: bit n stands for type n.
using TdomCMNodeTypeSet = std::uint32_t;

constexpr TdomCMNodeTypeSet cmNodeTypeSet(std::initializer_list<TdomCMNodeType> types) {
    TdomCMNodeTypeSet set = 0;
    for (TdomCMNodeType t : types) set |= TdomCMNodeTypeSet{1} << static_cast<unsigned>(t);
    return set;
}

// The children of a subset object (and of a fragment): declarations, comments, processing
// instructions and parameter-entity references.
inline constexpr TdomCMNodeTypeSet kCMDeclarationTypes = cmNodeTypeSet(
    {TdomCMNodeType::processingInstruction, TdomCMNodeType::comment, TdomCMNodeType::parameterEntityReference,
     TdomCMNodeType::entityDeclaration, TdomCMNodeType::parameterEntityDeclaration,
     TdomCMNodeType::elementTypeDeclaration, TdomCMNodeType::attrList, TdomCMNodeType::notationDeclaration});

// Live, read-only indexed view of a node's children. An index out of range answers nullptr.
class TdomCMNodeList {
public:
    explicit TdomCMNodeList(const std::vector<TdomCMNode*>* items) noexcept : items_(items) {}
    int length() const { return static_cast<int>(items_->size()); }
    TdomCMNode* item(int index) const;
    // Position of node in the list, -1 when absent (linear search).
    int indexOf(const TdomCMNode* node) const;

private:
    const std::vector<TdomCMNode*>* items_;
};

// Base of every node of the content-model tree: the declarations of a document type definition,
// the particles of content models, and the subset objects that hold them.
//
// Ownership: every node is created by a factory of its owner (a subset object) and belongs to it;
// the owner frees it (freeNode, or when the owner itself is freed). Parent, children and owner are
// raw, non-owning pointers; nullptr is "none". Taking a node out of a tree never frees it.
//
// Tree operations raise the DOM exceptions: ENot_Supported_Err for a missing node,
// EHierarchy_Request_Err for a type the parent does not accept or a node that would contain
// itself, EWrong_Document_Err for a node of another owner, ENo_Modification_Allowed_Err when the
// parent or the node's old parent is read-only, ENot_Found_Err for a reference child that is not
// a child. A failed operation changes nothing.
class TdomCMNode {
public:
    TdomCMNode& operator=(const TdomCMNode&) = delete;
    virtual ~TdomCMNode();

    TdomCustomCMObject* owner() const { return owner_; }
    TdomCMNode* parentNode() const { return parent_; }
    TdomCMNodeList childNodes() const { return TdomCMNodeList(&children_); }
    const std::vector<TdomCMNode*>& children() const { return children_; }
    TdomCMNode* firstChild() const { return children_.empty() ? nullptr : children_.front(); }
    TdomCMNode* lastChild() const { return children_.empty() ? nullptr : children_.back(); }
    TdomCMNode* previousSibling() const;
    TdomCMNode* nextSibling() const;
    bool hasChildNodes() const { return !children_.empty(); }
    // Position of child among the children, -1 when it is not one (linear search).
    int indexOfChild(const TdomCMNode* child) const;

    const std::u16string& nodeName() const { return name_; }
    const std::u16string& nodeValue() const { return value_; }
    // Raises ENo_Modification_Allowed_Err on a read-only node.
    virtual void setNodeValue(const std::u16string& value);
    TdomCMNodeType nodeType() const { return type_; }
    TdomCMNodeTypeSet permittedChildTypes() const { return permittedChildTypes_; }
    bool isPermittedChildType(TdomCMNodeType type) const {
        return (permittedChildTypes_ & (TdomCMNodeTypeSet{1} << static_cast<unsigned>(type))) != 0;
    }
    bool isReadonly() const { return readOnly_; }
    void setReadonly(bool value) { readOnly_ = value; }

    virtual TdomCMNode* insertBefore(TdomCMNode* newChild, TdomCMNode* refChild);
    virtual TdomCMNode* replaceChild(TdomCMNode* newChild, TdomCMNode* oldChild);
    virtual TdomCMNode* removeChild(TdomCMNode* oldChild);
    virtual TdomCMNode* appendChild(TdomCMNode* newChild);
    // True when node lies on the parent chain of this node (the node itself does not count).
    bool hasAncestor(const TdomCMNode* node) const;
    // A copy made by the same owner, without parent; with deep, the subtree is copied too.
    // Subset objects refuse (ENot_Supported_Err).
    virtual TdomCMNode* cloneNode(bool deep) const;

    // Checks the node's own consistency and, for declarations and lists, each child in turn,
    // stopping at the first child that fails. Problems are reported to errorHandler (which may be
    // nullptr); the result is false when one was found. Never raises for a problem of the node.
    virtual bool selfCheck(TdomCustomErrorHandler* errorHandler) const;

    // The node's declaration text, written to stream as UTF-16 code units. Nodes that cannot be
    // written (a group particle without children, an element type declaration of mixed or element
    // content without its particle, the kinds without declaration text) raise ENot_Supported_Err
    // before anything is written.
    void writeDeclaration(TStream& stream) const;
    std::u16string declarationText() const;

protected:
    TdomCMNode(TdomCustomCMObject* owner, TdomCMNodeType type, std::u16string name, std::u16string value,
               TdomCMNodeTypeSet permittedChildTypes);
    // Copies name, value, type, permitted child types, read-only flag and owner; not the tree links.
    TdomCMNode(const TdomCMNode& source);

    // How a node's declaration text is assembled around the texts of its children. A node whose
    // writeChildren is false is written as open + close alone.
    struct DeclarationParts {
        std::u16string open;
        std::u16string beforeEach;
        std::u16string between;
        std::u16string afterEach;
        std::u16string close;
        bool writeChildren = true;
    };
    // Raises ENot_Supported_Err when the node has no declaration text (the default).
    virtual void declarationParts(DeclarationParts& parts) const;

    // Extra checks of a node that accepts children only under conditions of its own; oldChild is
    // the child being replaced, nullptr when inserting.
    virtual void checkChildAcceptable(const TdomCMNode* newChild, const TdomCMNode* oldChild) const;
    // Told after a child entered or before it left this node's children.
    virtual void childInserted(TdomCMNode* child);
    virtual void childRemoving(TdomCMNode* child);
    // A shallow copy of this node, not yet registered with the owner.
    virtual std::unique_ptr<TdomCMNode> copyNode() const;

    void setPermittedChildTypes(TdomCMNodeTypeSet types) { permittedChildTypes_ = types; }

    // The insertion checks common to insertBefore, appendChild and replaceChild.
    void checkNewChild(const TdomCMNode* newChild, const TdomCMNode* oldChild) const;
    // Takes child out of its old parent (checks done) and puts it at index (-1: the end).
    void adoptChild(TdomCMNode* child, int index);
    void detachChildAt(int index);

private:
    friend class TdomCustomCMObject;

    TdomCustomCMObject* owner_;
    TdomCMNode* parent_ = nullptr;
    std::vector<TdomCMNode*> children_;
    std::u16string name_;
    std::u16string value_;
    std::size_t registryIndex_ = static_cast<std::size_t>(-1);
    TdomCMNodeTypeSet permittedChildTypes_;
    TdomCMNodeType type_;
    bool readOnly_ = false;
};

// A processing instruction of a DTD: the target is the node name, the data the node value.
class TdomCMProcessingInstruction : public TdomCMNode {
public:
    TdomCMProcessingInstruction(TdomCustomCMObject* owner, std::u16string target, std::u16string data);
    const std::u16string& target() const { return nodeName(); }
    const std::u16string& data() const { return nodeValue(); }

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// A comment of a DTD; the text is the node value.
class TdomCMComment : public TdomCMNode {
public:
    TdomCMComment(TdomCustomCMObject* owner, std::u16string data);

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// A container of declarations outside any subset. Inserting a fragment moves its children, one
// by one, to the place of the insertion; the fragment stays empty.
class TdomCMFragment : public TdomCMNode {
public:
    explicit TdomCMFragment(TdomCustomCMObject* owner);

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// A collected attribute (the attribute name is the node value); accepts name or nmtoken
// particles as an attribute definition of its type does.
class TdomCMAttribute : public TdomCMNode {
public:
    TdomCMAttribute(TdomCustomCMObject* owner, std::u16string name);

protected:
    std::unique_ptr<TdomCMNode> copyNode() const override;
};

// A collected notation.
class TdomCMNotation : public TdomCMNode {
public:
    TdomCMNotation(TdomCustomCMObject* owner, std::u16string name, std::u16string publicId, std::u16string systemId);
    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }

protected:
    std::unique_ptr<TdomCMNode> copyNode() const override;

private:
    std::u16string publicId_;
    std::u16string systemId_;
};

// A collected general entity; the replacement text is the node value.
class TdomCMEntity : public TdomCMNode {
public:
    TdomCMEntity(TdomCustomCMObject* owner, std::u16string name, std::u16string value, std::u16string publicId,
                 std::u16string systemId, std::u16string notationName);
    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }
    const std::u16string& notationName() const { return notationName_; }

protected:
    std::unique_ptr<TdomCMNode> copyNode() const override;

private:
    std::u16string publicId_;
    std::u16string systemId_;
    std::u16string notationName_;
};

// A collected parameter entity; the replacement text is the node value.
class TdomCMParameterEntity : public TdomCMNode {
public:
    TdomCMParameterEntity(TdomCustomCMObject* owner, std::u16string name, std::u16string value, std::u16string publicId,
                          std::u16string systemId);
    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }

protected:
    std::unique_ptr<TdomCMNode> copyNode() const override;

private:
    std::u16string publicId_;
    std::u16string systemId_;
};

// A parameter-entity reference between declarations ("%name;"). The name must be an XML Name,
// else EInvalid_Character_Err.
class TdomCMParameterEntityReference : public TdomCMNode {
public:
    TdomCMParameterEntityReference(TdomCustomCMObject* owner, std::u16string name);

protected:
    void declarationParts(DeclarationParts& parts) const override;
    std::unique_ptr<TdomCMNode> copyNode() const override;
};
