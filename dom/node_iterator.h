#pragma once

#include <cstdint>

#include "dom/document.h"
#include "dom/node.h"
#include "dom/sibling_cursor.h"

// The answers of a node filter.
enum class TdomFilterResult : std::uint8_t {
    filterAccept = 0,
    filterReject = 1, // a tree walker does not enter the node's subtree; an iterator only passes the node
    filterSkip = 2,   // the node is passed over, its children are still visited
};

// The filter of a node iterator or tree walker: one question asked of every node the object meets.
class TdomNodeFilter {
public:
    virtual ~TdomNodeFilter() = default;
    virtual TdomFilterResult acceptNode(TdomNode* node) = 0;
};

// What-to-show mask that shows every kind of node (bit n shows node-type code n; build narrower
// masks with nodeTypeSet).
inline constexpr TdomNodeTypeSet kShowAllNodes = 0xFFFF;

// How a traversal object judges a node: a kind outside the mask counts as skip without asking the
// filter; a shown node without a filter counts as accept.
inline TdomFilterResult judgeNode(TdomNode* node, TdomNodeTypeSet whatToShow, TdomNodeFilter* filter) {
    if (!nodeTypeSetContains(whatToShow, node->nodeType())) return TdomFilterResult::filterSkip;
    return filter ? filter->acceptNode(node) : TdomFilterResult::filterAccept;
}

// Iterates the nodes of the root's subtree in document order, forwards and backwards, returning the
// accepted ones (reject and skip both pass over a node; the iterator never prunes subtrees).
//
// The iterator stands before (position 0) or after (position 1) its reference node. Created by the
// document's createNodeIterator, which registers and owns it; the document tells it of every removal
// (nodeRemoving) so that its reference node never leaves the root's subtree with the removed nodes.
// When the document frees the root (nodeDestroying), root and reference node become nullptr and
// nextNode and previousNode raise EInvalid_State_Err.
class TdomNodeIterator : public TdomTraversalObject {
public:
    // Raises ENot_Supported_Err without a root. The filter is not owned.
    TdomNodeIterator(TdomNode* root, TdomNodeTypeSet whatToShow, TdomNodeFilter* filter, bool expandEntityReferences);

    // Drops the reference node; afterwards nextNode and previousNode raise EInvalid_State_Err.
    void detach();
    // The next accepted node after the iterator's position, nullptr at the end of the root's subtree.
    TdomNode* nextNode();
    // The previous accepted node, nullptr before the root.
    TdomNode* previousNode();

    TdomNode* root() const { return root_; }
    TdomNode* referenceNode() const { return reference_; }
    // 0: before the reference node; 1: after it.
    std::uint8_t position() const { return position_; }
    TdomNodeTypeSet whatToShow() const { return whatToShow_; }
    bool expandEntityReferences() const { return expandEntityReferences_; }
    TdomNodeFilter* filter() const { return filter_; }
    bool isDetached() const override { return detached_; }

    // Called by the document before node leaves its parent.
    void nodeRemoving(TdomNode* node) override;
    void nodeDestroying(TdomNode* top, TdomNode* formerParent) override;

protected:
    // Moves the reference node out of the subtree of removed, which is about to leave the tree.
    void findNewReferenceNode(TdomNode* removed);
    // The node after node in document order within the root's subtree, nullptr after its last node.
    TdomNode* findNextNode(TdomNode* node);
    // The node before node in document order within the root's subtree, nullptr before the root.
    TdomNode* findPreviousNode(TdomNode* node);

private:
    bool entersChildrenOf(const TdomNode* node) const;
    bool accepts(TdomNode* node) const;

    TdomNode* root_;
    TdomNode* reference_;
    std::uint8_t position_ = 0;
    TdomNodeTypeSet whatToShow_;
    bool expandEntityReferences_;
    TdomNodeFilter* filter_;
    bool detached_ = false;
    TdomSiblingCursor siblings_;
};
