#pragma once

#include "dom/document.h"
#include "dom/node.h"
#include "dom/node_iterator.h"
#include "dom/sibling_cursor.h"

// Moves over the logical view of the root's subtree that the what-to-show mask and the filter give:
// a rejected node is left out together with its subtree, a skipped node is left out while its
// children take its place. Created by the document's createTreeWalker, which registers and owns it.
//
// The find steps look for a node relative to the given one without moving the walker; the public
// moves apply them to the current node and make the node found the current node (when none is
// found they answer nullptr and the current node stays).
//
// When the document frees nodes (nodeDestroying), a current node among them moves to a node that
// stays: the node they were taken from by freeChildren, else the root. When the root itself is
// freed, root and current node become nullptr, and setCurrentNode and every move raise
// EInvalid_State_Err.
class TdomTreeWalker : public TdomTraversalObject {
public:
    // Raises ENot_Supported_Err without a root. The filter is not owned.
    TdomTreeWalker(TdomNode* root, TdomNodeTypeSet whatToShow, TdomNodeFilter* filter, bool expandEntityReferences);

    TdomNode* currentNode() const { return current_; }
    // Any node may become the current node; nullptr raises ENot_Supported_Err.
    void setCurrentNode(TdomNode* node);

    TdomNode* findNextSibling(TdomNode* node);
    TdomNode* findPreviousSibling(TdomNode* node);
    TdomNode* findParentNode(TdomNode* node);
    TdomNode* findFirstChild(TdomNode* node);
    TdomNode* findLastChild(TdomNode* node);
    TdomNode* findNextNode(TdomNode* node);
    TdomNode* findPreviousNode(TdomNode* node);

    TdomNode* parentNode() { return move(&TdomTreeWalker::findParentNode); }
    TdomNode* firstChild() { return move(&TdomTreeWalker::findFirstChild); }
    TdomNode* lastChild() { return move(&TdomTreeWalker::findLastChild); }
    TdomNode* previousSibling() { return move(&TdomTreeWalker::findPreviousSibling); }
    TdomNode* nextSibling() { return move(&TdomTreeWalker::findNextSibling); }
    TdomNode* nextNode() { return move(&TdomTreeWalker::findNextNode); }
    TdomNode* previousNode() { return move(&TdomTreeWalker::findPreviousNode); }

    TdomNode* root() const { return root_; }
    TdomNodeTypeSet whatToShow() const { return whatToShow_; }
    bool expandEntityReferences() const { return expandEntityReferences_; }
    TdomNodeFilter* filter() const { return filter_; }

    void nodeDestroying(TdomNode* top, TdomNode* formerParent) override;

private:
    TdomFilterResult judge(TdomNode* node) const { return judgeNode(node, whatToShow_, filter_); }
    bool closed(const TdomNode* node) const {
        return !expandEntityReferences_ && node->nodeType() == TdomNodeType::entityReference;
    }
    // Shared body of findFirstChild (forward) and findLastChild (backward).
    TdomNode* findEdgeChild(TdomNode* node, bool forward);
    // Shared body of findNextSibling (forward) and findPreviousSibling (backward).
    TdomNode* findSibling(TdomNode* node, bool forward);
    // Applies a find step to the current node and moves there when it finds a node.
    TdomNode* move(TdomNode* (TdomTreeWalker::*find)(TdomNode*));

    TdomNode* root_;
    TdomNode* current_;
    bool expandEntityReferences_;
    TdomNodeTypeSet whatToShow_;
    TdomNodeFilter* filter_;
    TdomSiblingCursor siblings_;
};
