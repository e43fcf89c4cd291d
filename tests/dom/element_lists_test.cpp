#include <gtest/gtest.h>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/element_lists.h"
#include "dom/entity_reference.h"
#include "dom/implementation.h"

namespace {

struct ElementLists : ::testing::Test {
    TDomImplementation impl;
    TdomDocument* doc = impl.createEmptyDocument();

    TdomElement* add(TdomNode* parent, std::u16string_view name) {
        return static_cast<TdomElement*>(parent->appendChild(doc->createElement(name)));
    }
};

// <r><b id=1/><c><b id=2/><b id=3/></c>text<d/><b id=4/></r>, identified by position.
TEST_F(ElementLists, ListMatchingDescendantsInDocumentOrder) {
    TdomElement* r = add(doc, u"r");
    TdomElement* b1 = add(r, u"b");
    TdomElement* c = add(r, u"c");
    TdomElement* b2 = add(c, u"b");
    TdomElement* b3 = add(c, u"b");
    TdomNode* text = r->appendChild(doc->createTextNode(u"text"));
    TdomElement* d = add(r, u"d");
    TdomElement* b4 = add(r, u"b");

    TdomElementsNodeList* bs = doc->getElementsByTagName(u"b");
    ASSERT_EQ(bs->length(), 4);
    EXPECT_EQ(bs->item(0), b1);
    EXPECT_EQ(bs->item(1), b2);
    EXPECT_EQ(bs->item(2), b3);
    EXPECT_EQ(bs->item(3), b4);
    EXPECT_EQ(bs->item(4), nullptr);
    EXPECT_EQ(bs->item(-1), nullptr);
    EXPECT_EQ(bs->indexOf(b3), 2);
    EXPECT_EQ(bs->indexOf(b4), 3);

    // The document's list covers the document element; an element's list leaves the element out.
    EXPECT_EQ(doc->getElementsByTagName(u"*")->length(), 7);
    EXPECT_EQ(doc->getElementsByTagName(u"r")->item(0), r);
    EXPECT_EQ(r->getElementsByTagName(u"r")->length(), 0);
    EXPECT_EQ(r->getElementsByTagName(u"*")->length(), 6);
    EXPECT_EQ(c->getElementsByTagName(u"b")->length(), 2);
    EXPECT_EQ(c->getElementsByTagName(u"b")->item(1), b3);

    // indexOf answers -1 for everything that is not among the matches.
    EXPECT_EQ(bs->indexOf(nullptr), -1);
    EXPECT_EQ(bs->indexOf(text), -1);
    EXPECT_EQ(bs->indexOf(d), -1);
    EXPECT_EQ(c->getElementsByTagName(u"b")->indexOf(b1), -1); // a match by name, but outside c
    EXPECT_EQ(doc->getElementsByTagName(u"#text")->length(), 0);
}

TEST_F(ElementLists, ListsFollowChangesOfTheTreeAndAreCached) {
    TdomElement* r = add(doc, u"r");
    TdomElementsNodeList* items = r->getElementsByTagName(u"item");
    EXPECT_EQ(r->getElementsByTagName(u"item"), items);
    EXPECT_NE(r->getElementsByTagName(u"other"), items);
    EXPECT_NE(doc->getElementsByTagName(u"item"), items);
    EXPECT_EQ(items->length(), 0);

    TdomElement* first = add(r, u"item");
    TdomElement* group = add(r, u"group");
    TdomElement* nested = add(group, u"item");
    EXPECT_EQ(items->length(), 2);
    EXPECT_EQ(items->item(1), nested);

    r->removeChild(first);
    EXPECT_EQ(items->length(), 1);
    EXPECT_EQ(items->item(0), nested);
    EXPECT_EQ(items->indexOf(first), -1);

    group->insertBefore(first, nested);
    EXPECT_EQ(items->length(), 2);
    EXPECT_EQ(items->item(0), first);
    EXPECT_EQ(items->indexOf(nested), 1);

    // Content of entity references is part of the walk.
    TdomNode* reference = r->appendChild(doc->createEntityReference(u"ent"));
    TdomElement* inside = add(reference, u"item");
    EXPECT_EQ(items->length(), 3);
    EXPECT_EQ(items->item(2), inside);
}

TEST_F(ElementLists, NamespaceListsMatchUriAndLocalNameWithWildcards) {
    const std::u16string ns1 = u"urn:one";
    const std::u16string ns2 = u"urn:two";
    TdomElement* r = static_cast<TdomElement*>(doc->appendChild(doc->createElementNS(ns1, u"p:r")));
    TdomElement* x1 = static_cast<TdomElement*>(r->appendChild(doc->createElementNS(ns1, u"p:x")));
    TdomElement* x2 = static_cast<TdomElement*>(r->appendChild(doc->createElementNS(ns2, u"q:x")));
    TdomElement* y2 = static_cast<TdomElement*>(r->appendChild(doc->createElementNS(ns2, u"y")));
    TdomElement* plain = add(r, u"x"); // no namespace parts at all

    TdomElementsNodeListNS* x1s = doc->getElementsByTagNameNS(ns1, u"x");
    EXPECT_EQ(doc->getElementsByTagNameNS(ns1, u"x"), x1s);
    ASSERT_EQ(x1s->length(), 1);
    EXPECT_EQ(x1s->item(0), x1);
    EXPECT_EQ(x1s->indexOf(x2), -1);

    TdomElementsNodeListNS* anyX = doc->getElementsByTagNameNS(u"*", u"x");
    ASSERT_EQ(anyX->length(), 2); // the qualified name does not count, the plain element has no local name
    EXPECT_EQ(anyX->item(1), x2);
    EXPECT_EQ(anyX->indexOf(plain), -1);

    TdomElementsNodeListNS* inNs2 = r->getElementsByTagNameNS(ns2, u"*");
    ASSERT_EQ(inNs2->length(), 2);
    EXPECT_EQ(inNs2->item(0), x2);
    EXPECT_EQ(inNs2->item(1), y2);

    EXPECT_EQ(doc->getElementsByTagNameNS(u"*", u"*")->length(), 5);
    EXPECT_EQ(r->getElementsByTagNameNS(u"*", u"*")->length(), 4);
    EXPECT_EQ(doc->getElementsByTagNameNS(u"", u"*")->item(0), plain);
}

TEST_F(ElementLists, DeepTreesAreWalkedWithoutRecursion) {
    constexpr int kDepth = 100000;
    TdomNode* top = doc->createElement(u"leaf");
    for (int i = 1; i < kDepth; ++i) {
        TdomNode* parent = doc->createElement(i % 2 ? u"odd" : u"even");
        parent->appendChild(top); // built from the bottom up, so each append finds no ancestors
        top = parent;
    }
    doc->appendChild(top);
    TdomElementsNodeList* leaves = doc->getElementsByTagName(u"leaf");
    ASSERT_EQ(leaves->length(), 1);
    EXPECT_EQ(leaves->item(0)->nodeName(), u"leaf");
    EXPECT_EQ(leaves->indexOf(leaves->item(0)), 0);
    EXPECT_EQ(doc->getElementsByTagName(u"odd")->length(), kDepth / 2);
}

} // namespace
