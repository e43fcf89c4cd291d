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

    TdomNode* parentNode() { return moveTo(findParentNode(current_)); }
    TdomNode* firstChild() { return moveTo(findFirstChild(current_)); }
    TdomNode* lastChild() { return moveTo(findLastChild(current_)); }
    TdomNode* previousSibling() { return moveTo(findPreviousSibling(current_)); }
    TdomNode* nextSibling() { return moveTo(findNextSibling(current_)); }
    TdomNode* nextNode() { return moveTo(findNextNode(current_)); }
    TdomNode* previousNode() { return moveTo(findPreviousNode(current_)); }

    TdomNode* root() const { return root_; }
    TdomNodeTypeSet whatToShow() const { return whatToShow_; }
    bool expandEntityReferences() const { return expandEntityReferences_; }
    TdomNodeFilter* filter() const { return filter_; }

private:
    TdomFilterResult judge(TdomNode* node) const { return judgeNode(node, whatToShow_, filter_); }
    bool closed(const TdomNode* node) const {
        return !expandEntityReferences_ && node->nodeType() == TdomNodeType::entityReference;
    }
    // Shared body of findFirstChild (forward) and findLastChild (backward).
    TdomNode* findEdgeChild(TdomNode* node, bool forward);
    // Shared body of findNextSibling (forward) and findPreviousSibling (backward).
    TdomNode* findSibling(TdomNode* node, bool forward);
    TdomNode* moveTo(TdomNode* node) {
        if (node) current_ = node;
        return node;
    }

    TdomNode* root_;
    TdomNode* current_;
    bool expandEntityReferences_;
    TdomNodeTypeSet whatToShow_;
    TdomNodeFilter* filter_;
    TdomSiblingCursor siblings_;
};
