#include "dom/tree_walker.h"

#include <algorithm>
#include <memory>

#include "text/dom_exception.h"

TdomTreeWalker* TdomDocument::createTreeWalker(TdomNode* root, TdomNodeTypeSet whatToShow, TdomNodeFilter* filter,
                                               bool expandEntityReferences) {
    auto walker = std::make_unique<TdomTreeWalker>(root, whatToShow, filter, expandEntityReferences);
    TdomTreeWalker* result = walker.get();
    treeWalkerRegistry().push_back(std::move(walker));
    return result;
}

void TdomDocument::destroyTreeWalker(TdomTreeWalker*& walker) {
    if (!walker) return;
    auto& registry = treeWalkerRegistry();
    auto found =
        std::find_if(registry.begin(), registry.end(),
                     [walker](const std::unique_ptr<TdomTraversalObject>& held) { return held.get() == walker; });
    if (found == registry.end()) throw EWrong_Document_Err();
    registry.erase(found);
    walker = nullptr;
}

// Every step below is written as a loop: a chain of skipped or rejected nodes as long as the tree is
// deep must not become a chain of nested calls.

TdomTreeWalker::TdomTreeWalker(TdomNode* root, TdomNodeTypeSet whatToShow, TdomNodeFilter* filter,
                               bool expandEntityReferences)
    : root_(root), current_(root), expandEntityReferences_(expandEntityReferences), whatToShow_(whatToShow),
      filter_(filter) {
    if (!root) throw ENot_Supported_Err();
}

void TdomTreeWalker::setCurrentNode(TdomNode* node) {
    if (!root_) throw EInvalid_State_Err();
    if (!node) throw ENot_Supported_Err();
    current_ = node;
}

TdomNode* TdomTreeWalker::move(TdomNode* (TdomTreeWalker::*find)(TdomNode*)) {
    if (!root_) throw EInvalid_State_Err();
    TdomNode* node = (this->*find)(current_);
    if (node) current_ = node;
    return node;
}

void TdomTreeWalker::nodeDestroying(TdomNode* top, TdomNode* formerParent) {
    if (!root_) return;
    if (root_->liesWithin(top))
        root_ = current_ = nullptr;
    else if (current_->liesWithin(top))
        current_ = formerParent ? formerParent : root_;
}

TdomNode* TdomTreeWalker::findParentNode(TdomNode* node) {
    for (TdomNode* n = node; n && n != root_;) {
        TdomNode* parent = n->parentNode();
        if (!parent) return nullptr;
        if (judge(parent) == TdomFilterResult::filterAccept) return parent;
        n = parent;
    }
    return nullptr;
}

TdomNode* TdomTreeWalker::findEdgeChild(TdomNode* node, bool forward) {
    if (closed(node)) return nullptr;
    TdomNode* child = forward ? node->firstChild() : node->lastChild();
    while (child) {
        TdomFilterResult result = judge(child);
        if (result == TdomFilterResult::filterAccept) return child;
        if (result == TdomFilterResult::filterSkip && !closed(child) && child->hasChildNodes()) {
            // A skipped node's children stand in its place.
            child = forward ? child->firstChild() : child->lastChild();
            continue;
        }
        // Try the next candidate in order, climbing back out of skipped nodes already entered.
        for (;;) {
            TdomNode* sibling = forward ? siblings_.nextSibling(child) : siblings_.previousSibling(child);
            if (sibling) {
                child = sibling;
                break;
            }
            TdomNode* parent = child->parentNode();
            if (!parent || parent == node) return nullptr;
            child = parent;
        }
    }
    return nullptr;
}

TdomNode* TdomTreeWalker::findFirstChild(TdomNode* node) { return findEdgeChild(node, true); }

TdomNode* TdomTreeWalker::findLastChild(TdomNode* node) { return findEdgeChild(node, false); }

TdomNode* TdomTreeWalker::findSibling(TdomNode* node, bool forward) {
    TdomNode* n = node;
    while (n && n != root_) {
        TdomNode* sibling = forward ? siblings_.nextSibling(n) : siblings_.previousSibling(n);
        if (sibling) {
            TdomFilterResult result = judge(sibling);
            if (result == TdomFilterResult::filterAccept) return sibling;
            if (result == TdomFilterResult::filterSkip) {
                if (TdomNode* child = findEdgeChild(sibling, forward)) return child;
            }
            n = sibling;
            continue;
        }
        // Past the last sibling: an invisible parent lets the search continue beside it.
        TdomNode* parent = n->parentNode();
        if (!parent || judge(parent) == TdomFilterResult::filterAccept) return nullptr;
        n = parent;
    }
    return nullptr;
}

TdomNode* TdomTreeWalker::findNextSibling(TdomNode* node) { return findSibling(node, true); }

TdomNode* TdomTreeWalker::findPreviousSibling(TdomNode* node) { return findSibling(node, false); }

TdomNode* TdomTreeWalker::findNextNode(TdomNode* node) {
    if (TdomNode* child = findFirstChild(node)) return child;
    if (node == root_) return nullptr;
    if (TdomNode* sibling = findNextSibling(node)) return sibling;
    for (TdomNode* ancestor = findParentNode(node); ancestor; ancestor = findParentNode(ancestor)) {
        if (TdomNode* sibling = findNextSibling(ancestor)) return sibling;
    }
    return nullptr;
}

TdomNode* TdomTreeWalker::findPreviousNode(TdomNode* node) {
    if (node == root_) return nullptr;
    TdomNode* previous = findPreviousSibling(node);
    if (!previous) return findParentNode(node);
    // The last visible node of the previous sibling's subtree comes right before node.
    while (TdomNode* last = findLastChild(previous)) previous = last;
    return previous;
}
