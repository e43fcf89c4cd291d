#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "dom/implementation.h"
#include "dom/node_iterator.h"
#include "dom/tree_walker.h"
#include "text/dom_exception.h"

namespace {

// A filter given by a function.
class FunctionFilter : public TdomNodeFilter {
public:
    explicit FunctionFilter(std::function<TdomFilterResult(TdomNode*)> decide) : decide_(std::move(decide)) {}
    TdomFilterResult acceptNode(TdomNode* node) override { return decide_(node); }

private:
    std::function<TdomFilterResult(TdomNode*)> decide_;
};

// Element names and text data as plain strings, for readable comparisons.
std::string label(const TdomNode* node) {
    if (!node) return "(none)";
    std::u16string text = node->nodeType() == TdomNodeType::text ? node->nodeValue() : node->nodeName();
    return std::string(text.begin(), text.end());
}

// Treats the elements named name as rejected or skipped, everything else as accepted.
FunctionFilter judging(std::u16string name, TdomFilterResult result) {
    return FunctionFilter(
        [name, result](TdomNode* node) { return node->nodeName() == name ? result : TdomFilterResult::filterAccept; });
}

//  root
//  ├ a ─ a1 ─ "t1"
//  │   └ a2 ─ a21 ─ "t2"
//  ├ b ─ b1
//  └ c
struct Traversal : ::testing::Test {
    TDomImplementation impl;
    TdomDocument* doc = impl.createEmptyDocument();
    TdomElement* root = add(doc, u"root");
    TdomElement* a = add(root, u"a");
    TdomElement* a1 = add(a, u"a1");
    TdomNode* t1 = a1->appendChild(doc->createTextNode(u"t1"));
    TdomElement* a2 = add(a, u"a2");
    TdomElement* a21 = add(a2, u"a21");
    TdomNode* t2 = a21->appendChild(doc->createTextNode(u"t2"));
    TdomElement* b = add(root, u"b");
    TdomElement* b1 = add(b, u"b1");
    TdomElement* c = add(root, u"c");

    TdomElement* add(TdomNode* parent, std::u16string_view name) {
        return static_cast<TdomElement*>(parent->appendChild(doc->createElement(name)));
    }

    // The nodes a walker or iterator answers, one move after the other, until it answers none.
    template <class Move> std::vector<std::string> collect(Move move) {
        std::vector<std::string> seen;
        while (TdomNode* node = move()) seen.push_back(label(node));
        return seen;
    }
};

using Labels = std::vector<std::string>;

TEST_F(Traversal, WalkerLeavesOutRejectedSubtreesAndReplacesSkippedNodesByTheirChildren) {
    FunctionFilter rejectA = judging(u"a", TdomFilterResult::filterReject);
    TdomTreeWalker* walker = doc->createTreeWalker(root, kShowAllNodes, &rejectA, true);
    EXPECT_EQ(walker->currentNode(), root);
    EXPECT_EQ(collect([&] { return walker->nextNode(); }), (Labels{"b", "b1", "c"}));
    EXPECT_EQ(collect([&] { return walker->previousNode(); }), (Labels{"b1", "b", "root"}));
    walker->setCurrentNode(root);
    EXPECT_EQ(label(walker->firstChild()), "b");

    FunctionFilter skipA = judging(u"a", TdomFilterResult::filterSkip);
    TdomTreeWalker* skipping = doc->createTreeWalker(root, kShowAllNodes, &skipA, true);
    EXPECT_EQ(collect([&] { return skipping->nextNode(); }), (Labels{"a1", "t1", "a2", "a21", "t2", "b", "b1", "c"}));
    skipping->setCurrentNode(root);
    EXPECT_EQ(skipping->firstChild(), a1); // the skipped a is replaced by its children
    EXPECT_EQ(skipping->nextSibling(), a2);
    EXPECT_EQ(skipping->nextSibling(), b); // past the end of the skipped a, on beside it
    EXPECT_EQ(skipping->nextSibling(), c);
    EXPECT_EQ(skipping->nextSibling(), nullptr);
    EXPECT_EQ(skipping->currentNode(), c); // a failed move keeps the current node
    EXPECT_EQ(skipping->previousSibling(), b);
    EXPECT_EQ(skipping->previousSibling(), a2);
    EXPECT_EQ(skipping->parentNode(), root);    // a is not visible
    EXPECT_EQ(skipping->parentNode(), nullptr); // never above the root
    EXPECT_EQ(skipping->currentNode(), root);

    // Rejecting the last child makes the one before it the last visible child.
    FunctionFilter rejectC = judging(u"c", TdomFilterResult::filterReject);
    TdomTreeWalker* noC = doc->createTreeWalker(root, kShowAllNodes, &rejectC, true);
    EXPECT_EQ(noC->lastChild(), b);
    EXPECT_EQ(noC->nextSibling(), nullptr);
    EXPECT_EQ(noC->lastChild(), b1);
}

TEST_F(Traversal, WalkerPreviousNodeRetracesNextNodeExactly) {
    const Labels all{"a", "a1", "t1", "a2", "a21", "t2", "b", "b1", "c"};
    TdomTreeWalker* walker = doc->createTreeWalker(root, kShowAllNodes, nullptr, true);
    EXPECT_EQ(collect([&] { return walker->nextNode(); }), all);
    EXPECT_EQ(walker->currentNode(), c);
    Labels back = collect([&] { return walker->previousNode(); });
    EXPECT_EQ(back, (Labels{"b1", "b", "t2", "a21", "a2", "t1", "a1", "a", "root"}));

    // Only text nodes shown: every element counts as skipped.
    TdomTreeWalker* texts = doc->createTreeWalker(root, nodeTypeSet({TdomNodeType::text}), nullptr, true);
    EXPECT_EQ(collect([&] { return texts->nextNode(); }), (Labels{"t1", "t2"}));
    EXPECT_EQ(collect([&] { return texts->previousNode(); }), (Labels{"t1"}));
    EXPECT_EQ(texts->currentNode(), t1);
    texts->setCurrentNode(root);
    EXPECT_EQ(texts->lastChild(), t2);
    EXPECT_EQ(texts->previousSibling(), t1);
}

TEST_F(Traversal, WalkerEntersEntityReferencesOnlyWhenExpanding) {
    TdomNode* reference = b1->appendChild(doc->createEntityReference(u"ent"));
    reference->appendChild(doc->createTextNode(u"inside"));

    TdomTreeWalker* closed = doc->createTreeWalker(root, kShowAllNodes, nullptr, false);
    EXPECT_EQ(collect([&] { return closed->nextNode(); }),
              (Labels{"a", "a1", "t1", "a2", "a21", "t2", "b", "b1", "ent", "c"}));
    closed->setCurrentNode(reference);
    EXPECT_EQ(closed->firstChild(), nullptr);
    EXPECT_EQ(closed->lastChild(), nullptr);
    closed->setCurrentNode(c);
    EXPECT_EQ(closed->previousNode(), reference);

    TdomTreeWalker* open = doc->createTreeWalker(root, kShowAllNodes, nullptr, true);
    open->setCurrentNode(b1);
    EXPECT_EQ(label(open->nextNode()), "ent");
    EXPECT_EQ(label(open->nextNode()), "inside");
    open->setCurrentNode(c);
    EXPECT_EQ(label(open->previousNode()), "inside");
}

TEST_F(Traversal, WalkerRegistrationAndMisuse) {
    EXPECT_THROW(doc->createTreeWalker(nullptr, kShowAllNodes, nullptr, true), ENot_Supported_Err);
    EXPECT_TRUE(doc->treeWalkerRegistry().empty());
    TdomTreeWalker* walker = doc->createTreeWalker(a, kShowAllNodes, nullptr, true);
    EXPECT_THROW(walker->setCurrentNode(nullptr), ENot_Supported_Err);
    EXPECT_EQ(walker->currentNode(), a);

    // A walker whose root is a subtree never leaves it.
    walker->setCurrentNode(t2);
    EXPECT_EQ(walker->nextNode(), nullptr);
    EXPECT_EQ(walker->nextSibling(), nullptr);
    walker->setCurrentNode(a);
    EXPECT_EQ(walker->previousNode(), nullptr);
    EXPECT_EQ(walker->parentNode(), nullptr);

    TdomDocument* other = impl.createEmptyDocument();
    TdomTreeWalker* foreign = other->createTreeWalker(other, kShowAllNodes, nullptr, true);
    EXPECT_THROW(doc->destroyTreeWalker(foreign), EWrong_Document_Err);
    EXPECT_NE(foreign, nullptr);

    TdomTreeWalker* none = nullptr;
    doc->destroyTreeWalker(none);
    EXPECT_EQ(doc->treeWalkerRegistry().size(), 1u);
    doc->destroyTreeWalker(walker);
    EXPECT_EQ(walker, nullptr);
    EXPECT_TRUE(doc->treeWalkerRegistry().empty());
}

TEST_F(Traversal, WalkerCrossesDeepSkippedChainsWithoutRecursion) {
    constexpr int kDepth = 100000;
    TdomNode* top = doc->createTextNode(u"deep");
    for (int i = 0; i < kDepth; ++i) {
        TdomNode* parent = doc->createElement(u"level");
        parent->appendChild(top);
        top = parent;
    }
    c->appendChild(top);
    FunctionFilter skipLevels = judging(u"level", TdomFilterResult::filterSkip);
    TdomTreeWalker* walker = doc->createTreeWalker(c, kShowAllNodes, &skipLevels, true);
    EXPECT_EQ(label(walker->firstChild()), "deep");
    EXPECT_EQ(walker->nextSibling(), nullptr);
    EXPECT_EQ(walker->nextNode(), nullptr);
    EXPECT_EQ(walker->parentNode(), c);
    EXPECT_EQ(label(walker->lastChild()), "deep");
    EXPECT_EQ(walker->previousNode(), c);

    TdomNodeIterator* iterator = doc->createNodeIterator(c, nodeTypeSet({TdomNodeType::text}), nullptr, true);
    EXPECT_EQ(label(iterator->nextNode()), "deep");
    EXPECT_EQ(iterator->nextNode(), nullptr);
    EXPECT_EQ(label(iterator->previousNode()), "deep");
    EXPECT_EQ(iterator->previousNode(), nullptr);
}

TEST_F(Traversal, SiblingStepsOverWideChildListsFollowChanges) {
    // Long child lists are where the traversal objects remember positions; the lists change here
    // between moves, and every answer must still be the real neighbour.
    TdomElement* wide = add(c, u"wide");
    std::vector<TdomNode*> kids;
    for (int i = 0; i < 40; ++i) kids.push_back(add(wide, u"k" + std::u16string(1, u'A' + i % 26)));
    TdomTreeWalker* walker = doc->createTreeWalker(wide, kShowAllNodes, nullptr, true);
    walker->setCurrentNode(kids[20]);
    EXPECT_EQ(walker->nextSibling(), kids[21]);
    wide->removeChild(kids[5]); // positions after it shift down
    EXPECT_EQ(walker->nextSibling(), kids[22]);
    EXPECT_EQ(walker->previousSibling(), kids[21]);
    TdomNode* inserted = wide->insertBefore(doc->createElement(u"new"), kids[21]);
    EXPECT_EQ(walker->previousSibling(), inserted);
    EXPECT_EQ(walker->previousSibling(), kids[20]);
    wide->appendChild(kids[19]); // moved to the end
    EXPECT_EQ(walker->previousSibling(), kids[18]);
    walker->setCurrentNode(kids[39]);
    EXPECT_EQ(walker->nextSibling(), kids[19]);
    EXPECT_EQ(walker->nextSibling(), nullptr);

    TdomNodeIterator* iterator = doc->createNodeIterator(wide, kShowAllNodes, nullptr, true);
    while (iterator->nextNode() != kids[30]) {
    }
    wide->removeChild(kids[31]);
    wide->insertBefore(kids[31], kids[0]);
    EXPECT_EQ(iterator->nextNode(), kids[32]);
    EXPECT_EQ(iterator->previousNode(), kids[32]);
    EXPECT_EQ(iterator->previousNode(), kids[30]);
}

TEST_F(Traversal, IteratorVisitsTheSubtreeInDocumentOrderBothWays) {
    TdomNodeIterator* iterator = doc->createNodeIterator(root, kShowAllNodes, nullptr, true);
    EXPECT_EQ(iterator->root(), root);
    EXPECT_EQ(iterator->referenceNode(), root);
    EXPECT_EQ(iterator->position(), 0);
    const Labels forward{"root", "a", "a1", "t1", "a2", "a21", "t2", "b", "b1", "c"};
    EXPECT_EQ(collect([&] { return iterator->nextNode(); }), forward);
    EXPECT_EQ(iterator->nextNode(), nullptr); // stays at the end; never leaves the root
    EXPECT_EQ(collect([&] { return iterator->previousNode(); }), Labels(forward.rbegin(), forward.rend()));

    // Changing direction answers the same node again, as the iterator stands between nodes.
    EXPECT_EQ(iterator->nextNode(), root);
    EXPECT_EQ(iterator->nextNode(), a);
    EXPECT_EQ(iterator->previousNode(), a);
    EXPECT_EQ(iterator->nextNode(), a);

    // Rejection does not prune: the children of a rejected node are still visited.
    FunctionFilter rejectA = judging(u"a", TdomFilterResult::filterReject);
    TdomNodeIterator* filtered = doc->createNodeIterator(a, kShowAllNodes, &rejectA, true);
    EXPECT_EQ(collect([&] { return filtered->nextNode(); }), (Labels{"a1", "t1", "a2", "a21", "t2"}));
    EXPECT_EQ(collect([&] { return filtered->previousNode(); }), (Labels{"t2", "a21", "a2", "t1", "a1"}));

    TdomNodeIterator* elementsOnly = doc->createNodeIterator(b, nodeTypeSet({TdomNodeType::element}), nullptr, true);
    EXPECT_EQ(collect([&] { return elementsOnly->nextNode(); }), (Labels{"b", "b1"}));

    EXPECT_THROW(doc->createNodeIterator(nullptr, kShowAllNodes, nullptr, true), ENot_Supported_Err);
}

TEST_F(Traversal, IteratorEntersEntityReferencesOnlyWhenExpanding) {
    TdomNode* reference = b->insertBefore(doc->createEntityReference(u"ent"), b1);
    reference->appendChild(doc->createTextNode(u"inside"));
    TdomNodeIterator* closed = doc->createNodeIterator(b, kShowAllNodes, nullptr, false);
    EXPECT_EQ(collect([&] { return closed->nextNode(); }), (Labels{"b", "ent", "b1"}));
    EXPECT_EQ(collect([&] { return closed->previousNode(); }), (Labels{"b1", "ent", "b"}));
    TdomNodeIterator* open = doc->createNodeIterator(b, kShowAllNodes, nullptr, true);
    EXPECT_EQ(collect([&] { return open->nextNode(); }), (Labels{"b", "ent", "inside", "b1"}));
    EXPECT_EQ(collect([&] { return open->previousNode(); }), (Labels{"b1", "inside", "ent", "b"}));
}

TEST_F(Traversal, DetachedIteratorsRefuseToMoveAndAreFreedOnRequest) {
    TdomNodeIterator* kept = doc->createNodeIterator(root, kShowAllNodes, nullptr, true);
    TdomNodeIterator* detached = doc->createNodeIterator(root, kShowAllNodes, nullptr, true);
    EXPECT_EQ(detached->nextNode(), root);
    detached->detach();
    EXPECT_TRUE(detached->isDetached());
    EXPECT_EQ(detached->referenceNode(), nullptr);
    EXPECT_THROW(detached->nextNode(), EInvalid_State_Err);
    EXPECT_THROW(detached->previousNode(), EInvalid_State_Err);
    root->removeChild(a); // a detached iterator ignores removals
    EXPECT_EQ(doc->nodeIteratorRegistry().size(), 2u);
    doc->freeDetachedIterators();
    ASSERT_EQ(doc->nodeIteratorRegistry().size(), 1u);
    EXPECT_EQ(doc->nodeIteratorRegistry().front().get(), kept);
    EXPECT_EQ(kept->nextNode(), root);
}

TEST_F(Traversal, IteratorStandingBeforeTheRemovedNodeMovesToWhatFollowsIt) {
    TdomNodeIterator* iterator = doc->createNodeIterator(root, kShowAllNodes, nullptr, true);
    // Stand before b.
    while (iterator->nextNode() != b) {
    }
    EXPECT_EQ(iterator->previousNode(), b);
    EXPECT_EQ(iterator->position(), 0);
    root->removeChild(b);
    EXPECT_EQ(iterator->referenceNode(), c);
    EXPECT_EQ(iterator->nextNode(), c);

    // Without a next sibling the iterator stands after the node before the removed one.
    EXPECT_EQ(iterator->previousNode(), c);
    root->removeChild(c);
    EXPECT_EQ(iterator->referenceNode(), t2);
    EXPECT_EQ(iterator->position(), 1);
    EXPECT_EQ(iterator->nextNode(), nullptr);
    EXPECT_EQ(iterator->previousNode(), t2);

    // Removing an ancestor of the reference node inside the root moves the reference out with it.
    EXPECT_EQ(iterator->previousNode(), a21);
    EXPECT_EQ(iterator->previousNode(), a2);
    EXPECT_EQ(iterator->nextNode(), a2);
    EXPECT_EQ(iterator->nextNode(), a21);
    EXPECT_EQ(iterator->previousNode(), a21); // stands before a21, inside a2
    a->removeChild(a2);
    EXPECT_EQ(iterator->referenceNode(), t1);
    EXPECT_EQ(iterator->position(), 1);
    EXPECT_EQ(iterator->nextNode(), nullptr);
}

TEST_F(Traversal, IteratorStandingAfterTheRemovedNodeStaysAfterTheNodeBeforeIt) {
    TdomNodeIterator* iterator = doc->createNodeIterator(root, kShowAllNodes, nullptr, true);
    while (iterator->nextNode() != b) {
    }
    root->removeChild(b);
    EXPECT_EQ(iterator->referenceNode(), t2); // last node of a's subtree
    EXPECT_EQ(iterator->position(), 1);
    EXPECT_EQ(iterator->nextNode(), c);
    EXPECT_EQ(iterator->previousNode(), c);
    EXPECT_EQ(iterator->previousNode(), t2);

    // Moving a node elsewhere removes it from its old place first.
    TdomNodeIterator* inside = doc->createNodeIterator(a, kShowAllNodes, nullptr, true);
    while (inside->nextNode() != t1) {
    }
    a2->appendChild(a1); // a1 (with t1) leaves for the end of a2
    EXPECT_EQ(inside->referenceNode(), a);
    EXPECT_EQ(inside->nextNode(), a2);
    EXPECT_EQ(collect([&] { return inside->nextNode(); }), (Labels{"a21", "t2", "a1", "t1"}));
}

TEST_F(Traversal, RemovalsElsewhereLeaveTheIteratorAlone) {
    TdomNodeIterator* iterator = doc->createNodeIterator(a, kShowAllNodes, nullptr, true);
    while (iterator->nextNode() != a1) {
    }
    root->removeChild(c); // not an ancestor of the reference node
    EXPECT_EQ(iterator->referenceNode(), a1);
    a1->removeChild(t1); // a descendant of the reference node only
    EXPECT_EQ(iterator->referenceNode(), a1);
    root->removeChild(a); // the root itself leaves: the iterator goes with it
    EXPECT_EQ(iterator->referenceNode(), a1);
    EXPECT_EQ(iterator->position(), 1);
    EXPECT_EQ(iterator->nextNode(), a2);
}

TEST_F(Traversal, FreeingTheRootStopsIteratorsAndWalkers) {
    TdomNodeIterator* iterator = doc->createNodeIterator(a, kShowAllNodes, nullptr, true);
    TdomTreeWalker* walker = doc->createTreeWalker(a, kShowAllNodes, nullptr, true);
    while (iterator->nextNode() != t2) {
    }
    walker->setCurrentNode(t2);
    // A root inside an attribute goes with the attribute's element.
    TdomAttr* attr = b1->setAttribute(u"n", u"v");
    TdomNodeIterator* inAttribute = doc->createNodeIterator(attr->firstChild(), kShowAllNodes, nullptr, true);
    TdomNodeIterator* elsewhere = doc->createNodeIterator(c, kShowAllNodes, nullptr, true);
    doc->destroyNode(root->removeChild(a));
    doc->destroyNode(root->removeChild(b));
    EXPECT_EQ(iterator->root(), nullptr);
    EXPECT_EQ(iterator->referenceNode(), nullptr);
    EXPECT_THROW(iterator->nextNode(), EInvalid_State_Err);
    EXPECT_THROW(inAttribute->previousNode(), EInvalid_State_Err);
    EXPECT_EQ(walker->currentNode(), nullptr);
    EXPECT_THROW(walker->nextNode(), EInvalid_State_Err);
    EXPECT_THROW(walker->setCurrentNode(root), EInvalid_State_Err);
    EXPECT_EQ(elsewhere->nextNode(), c);
}

TEST_F(Traversal, WalkerOnAFreedNodeMovesToOneThatStays) {
    TdomTreeWalker* walker = doc->createTreeWalker(root, kShowAllNodes, nullptr, true);
    walker->setCurrentNode(t2);
    a->freeChildren();
    EXPECT_EQ(walker->currentNode(), a);
    EXPECT_EQ(walker->nextNode(), b);

    // Outside the root too: a node freed on its own leaves the walker at its root.
    TdomElement* loose = doc->createElement(u"loose");
    walker->setCurrentNode(loose->appendChild(doc->createTextNode(u"x")));
    doc->destroyNode(loose);
    EXPECT_EQ(walker->currentNode(), root);
    EXPECT_EQ(walker->firstChild(), a);

    // An iterator that stood inside the freed children moves as for their removal.
    TdomNodeIterator* iterator = doc->createNodeIterator(root, kShowAllNodes, nullptr, true);
    while (iterator->nextNode() != b1) {
    }
    b->freeChildren();
    EXPECT_EQ(iterator->referenceNode(), b);
    EXPECT_EQ(iterator->nextNode(), c);
}

} // namespace
