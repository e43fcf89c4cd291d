#include <gtest/gtest.h>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/document_fragment.h"
#include "dom/document_type.h"
#include "dom/dom_exception.h"
#include "dom/element.h"
#include "dom/implementation.h"

namespace {

struct Tree : ::testing::Test {
    TDomImplementation impl;
    TdomDocument* doc = impl.createEmptyDocument();
};

TEST_F(Tree, InsertionChecksRunInTheirOrder) {
    TdomElement* a = doc->createElement(u"a");
    TdomElement* b = doc->createElement(u"b");
    TdomElement* c = doc->createElement(u"c");
    a->appendChild(b);
    b->appendChild(c);
    EXPECT_THROW(a->insertBefore(nullptr, nullptr), ENot_Supported_Err);
    EXPECT_THROW(c->appendChild(a), EHierarchy_Request_Err); // a is an ancestor of c
    EXPECT_THROW(a->appendChild(a), EHierarchy_Request_Err);
    EXPECT_THROW(a->insertBefore(b, b), EHierarchy_Request_Err); // even though b is a child of a
    EXPECT_THROW(a->appendChild(doc), EHierarchy_Request_Err);   // kind not accepted comes first
    TdomDocument* other = impl.createEmptyDocument();
    EXPECT_THROW(a->appendChild(other->createElement(u"x")), EWrong_Document_Err);
    TdomElement* loose = doc->createElement(u"loose");
    EXPECT_THROW(a->insertBefore(loose, c), ENot_Found_Err); // c is a grandchild
    b->setReadonly(true);
    TdomElement* target = doc->createElement(u"target");
    EXPECT_THROW(target->appendChild(c), ENo_Modification_Allowed_Err); // c's parent is read-only
    EXPECT_EQ(c->parentNode(), b);
    b->setReadonly(false);
    target->appendChild(c);
    EXPECT_EQ(c->parentNode(), target);
    EXPECT_FALSE(b->hasChildNodes());
}

TEST_F(Tree, FragmentInsertionStopsAtTheFirstRefusedChild) {
    TdomDocumentFragment* fragment = doc->createDocumentFragment();
    fragment->appendChild(doc->createElement(u"one"));
    fragment->appendChild(doc->createTextNode(u"two"));
    fragment->appendChild(doc->createDocumentType(u"three", u"", u"", u""));
    fragment->appendChild(doc->createComment(u"four"));
    TdomElement* target = doc->createElement(u"target");
    EXPECT_THROW(target->appendChild(fragment), EHierarchy_Request_Err);
    ASSERT_EQ(target->childNodes().length(), 2);
    EXPECT_EQ(target->childNodes().item(0)->nodeName(), u"one");
    EXPECT_EQ(target->childNodes().item(1)->nodeName(), u"#text");
    EXPECT_EQ(fragment->childNodes().length(), 2);
    EXPECT_EQ(fragment->parentNode(), nullptr);
}

} // namespace
