#include "dom/node_iterator.h"

#include <memory>

#include "text/dom_exception.h"

TdomNodeIterator* TdomDocument::createNodeIterator(TdomNode* root, TdomNodeTypeSet whatToShow, TdomNodeFilter* filter,
                                                   bool expandEntityReferences) {
    auto iterator = std::make_unique<TdomNodeIterator>(root, whatToShow, filter, expandEntityReferences);
    TdomNodeIterator* result = iterator.get();
    nodeIteratorRegistry().push_back(std::move(iterator));
    return result;
}

TdomNodeIterator::TdomNodeIterator(TdomNode* root, TdomNodeTypeSet whatToShow, TdomNodeFilter* filter,
                                   bool expandEntityReferences)
    : root_(root), reference_(root), whatToShow_(whatToShow), expandEntityReferences_(expandEntityReferences),
      filter_(filter) {
    if (!root) throw ENot_Supported_Err();
}

bool TdomNodeIterator::entersChildrenOf(const TdomNode* node) const {
    return node->hasChildNodes() && (expandEntityReferences_ || node->nodeType() != TdomNodeType::entityReference);
}

bool TdomNodeIterator::accepts(TdomNode* node) const {
    return judgeNode(node, whatToShow_, filter_) == TdomFilterResult::filterAccept;
}

TdomNode* TdomNodeIterator::findNextNode(TdomNode* node) {
    if (entersChildrenOf(node)) return node->firstChild();
    // The next sibling of the node or of its nearest ancestor that has one, never leaving the root.
    for (TdomNode* n = node; n && n != root_; n = n->parentNode()) {
        if (TdomNode* sibling = siblings_.nextSibling(n)) return sibling;
    }
    return nullptr;
}

TdomNode* TdomNodeIterator::findPreviousNode(TdomNode* node) {
    if (node == root_) return nullptr;
    TdomNode* previous = siblings_.previousSibling(node);
    if (!previous) return node->parentNode();
    // The last node of the previous sibling's subtree, as far as forward iteration enters it.
    while (entersChildrenOf(previous)) previous = previous->lastChild();
    return previous;
}

TdomNode* TdomNodeIterator::nextNode() {
    if (detached_ || !root_) throw EInvalid_State_Err();
    TdomNode* candidate;
    if (position_ == 0) {
        position_ = 1;
        candidate = reference_;
    } else {
        candidate = findNextNode(reference_);
    }
    while (candidate && !accepts(candidate)) candidate = findNextNode(candidate);
    if (candidate) reference_ = candidate;
    return candidate;
}

TdomNode* TdomNodeIterator::previousNode() {
    if (detached_ || !root_) throw EInvalid_State_Err();
    TdomNode* candidate;
    if (position_ == 1) {
        position_ = 0;
        candidate = reference_;
    } else {
        candidate = findPreviousNode(reference_);
    }
    while (candidate && !accepts(candidate)) candidate = findPreviousNode(candidate);
    if (candidate) reference_ = candidate;
    return candidate;
}

void TdomNodeIterator::detach() {
    reference_ = nullptr;
    detached_ = true;
}

void TdomNodeIterator::nodeRemoving(TdomNode* node) {
    if (detached_ || !reference_ || !node) return;
    if (reference_ != node && !reference_->hasAncestor(node)) return;
    if (!node->hasAncestor(root_)) return; // the root leaves with the node, or lies elsewhere
    findNewReferenceNode(node);
}

void TdomNodeIterator::nodeDestroying(TdomNode* top, TdomNode*) {
    // The reference node always lies in the root's subtree (removals move it), so it can only be
    // freed together with the root.
    if (root_ && root_->liesWithin(top)) root_ = reference_ = nullptr;
}

void TdomNodeIterator::findNewReferenceNode(TdomNode* removed) {
    // Standing before the reference: the node after the removed subtree takes its place. Standing
    // after it: the iterator stays after the node that precedes the removed subtree, so that the next
    // nextNode answers the node that follows it and previousNode answers that preceding node.
    if (position_ == 0) {
        if (TdomNode* next = siblings_.nextSibling(removed)) {
            reference_ = next;
            return;
        }
    }
    if (TdomNode* previous = findPreviousNode(removed)) {
        reference_ = previous;
        position_ = 1;
    }
}
