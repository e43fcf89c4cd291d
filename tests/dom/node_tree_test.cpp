#include <gtest/gtest.h>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/document_fragment.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "dom/implementation.h"
#include "dom/processing_instruction.h"
#include "text/dom_exception.h"
#include "text/exception.h"

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

TEST_F(Tree, AppendingAFreshNodeRunsEveryCheck) {
    TdomElement* target = doc->createElement(u"target");
    TdomElement* fresh = doc->createElement(u"fresh");
    EXPECT_THROW(fresh->appendChild(fresh), EHierarchy_Request_Err);
    TdomText* text = doc->createTextNode(u"text");
    EXPECT_THROW(text->appendChild(doc->createTextNode(u"inner")), EHierarchy_Request_Err);
    target->setReadonly(true);
    EXPECT_THROW(target->appendChild(fresh), ENo_Modification_Allowed_Err);
    target->setReadonly(false);
    // An empty fragment adds nothing and stays parentless.
    TdomDocumentFragment* empty = doc->createDocumentFragment();
    EXPECT_EQ(target->appendChild(empty), empty);
    EXPECT_FALSE(target->hasChildNodes());
    EXPECT_EQ(empty->parentNode(), nullptr);
    EXPECT_EQ(target->appendChild(fresh), fresh);
    EXPECT_EQ(target->appendChild(text), text);
    EXPECT_EQ(target->lastChild(), text);
    EXPECT_EQ(fresh->parentNode(), target);
    EXPECT_EQ(target->childNodes().length(), 2);
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

namespace {

TEST_F(Tree, ReplaceRemoveAndSiblings) {
    TdomElement* root = doc->createElement(u"root");
    TdomElement* a = doc->createElement(u"a");
    TdomElement* b = doc->createElement(u"b");
    TdomElement* c = doc->createElement(u"c");
    root->appendChild(a);
    root->appendChild(b);
    root->appendChild(c);
    EXPECT_EQ(root->replaceChild(b, b), b); // replacing a child by itself changes nothing
    EXPECT_EQ(root->childNodes().item(1), b);
    EXPECT_EQ(a->previousSibling(), nullptr);
    EXPECT_EQ(c->nextSibling(), nullptr);
    EXPECT_EQ(b->previousSibling(), a);
    EXPECT_EQ(b->nextSibling(), c);
    // Replacing a by its own next sibling c: c is taken out first, then lands where a stood.
    EXPECT_EQ(root->replaceChild(c, a), a);
    EXPECT_EQ(a->parentNode(), nullptr);
    ASSERT_EQ(root->childNodes().length(), 2);
    EXPECT_EQ(root->firstChild(), c);
    EXPECT_EQ(root->lastChild(), b);
    EXPECT_THROW(root->removeChild(a), ENot_Found_Err);
    EXPECT_THROW(root->removeChild(nullptr), ENot_Supported_Err);
    EXPECT_THROW(root->replaceChild(nullptr, b), ENot_Supported_Err);
    EXPECT_THROW(root->replaceChild(a, nullptr), ENot_Supported_Err);
    EXPECT_THROW(root->replaceChild(doc->createElement(u"x"), a), ENot_Found_Err);
    root->setReadonly(true);
    EXPECT_THROW(root->removeChild(b), ENo_Modification_Allowed_Err);
    root->setReadonly(false);
    EXPECT_EQ(root->removeChild(b), b);
    EXPECT_EQ(b->parentNode(), nullptr);
    // Appending the last child again keeps the order; appending an earlier child moves it to the end.
    root->appendChild(a);
    root->appendChild(a);
    ASSERT_EQ(root->childNodes().length(), 2);
    root->appendChild(c);
    EXPECT_EQ(root->firstChild(), a);
    EXPECT_EQ(root->lastChild(), c);
    // The child list view is live and answers nullptr outside its range.
    TdomNodeList view = root->childNodes();
    root->insertBefore(b, c);
    EXPECT_EQ(view.length(), 3);
    EXPECT_EQ(view.item(1), b);
    EXPECT_EQ(view.item(-1), nullptr);
    EXPECT_EQ(view.item(3), nullptr);
    EXPECT_EQ(view.indexOf(c), 2);
    EXPECT_EQ(view.indexOf(root), -1);
}

TEST_F(Tree, AttributesStandOutsideTheTree) {
    TdomElement* root = doc->createElement(u"root");
    root->appendChild(doc->createElement(u"before"));
    root->setAttribute(u"x", u"1");
    root->setAttribute(u"y", u"2");
    TdomAttr* x = root->getAttributeNode(u"x");
    EXPECT_EQ(x->parentNode(), nullptr);
    EXPECT_EQ(x->previousSibling(), nullptr);
    EXPECT_EQ(x->nextSibling(), nullptr);
    EXPECT_EQ(x->ownerElement(), root);
    EXPECT_THROW(root->appendChild(x), EHierarchy_Request_Err);
}

TEST_F(Tree, PrefixesFollowTheNamespaceRules) {
    TdomElement* plain = doc->createElement(u"plain");
    EXPECT_THROW(plain->setPrefix(u""), EInvalid_Character_Err);
    EXPECT_THROW(plain->setPrefix(u"p"), ENamespace_Err); // no namespace URI
    TdomElement* e = doc->createElementNS(u"urn:x", u"a:item");
    EXPECT_EQ(e->prefix(), u"a");
    EXPECT_EQ(e->localName(), u"item");
    EXPECT_THROW(e->setPrefix(u"1p"), EInvalid_Character_Err);
    EXPECT_THROW(e->setPrefix(u"p:q"), ENamespace_Err); // a Name, not an NCName
    EXPECT_THROW(e->setPrefix(u"xml"), ENamespace_Err);
    e->setPrefix(u"b");
    EXPECT_EQ(e->nodeName(), u"b:item");
    EXPECT_EQ(e->prefix(), u"b");
    EXPECT_EQ(e->localName(), u"item");
    e->setReadonly(true);
    EXPECT_THROW(e->setPrefix(u"c"), ENo_Modification_Allowed_Err);
    TdomAttr* xmlns = doc->createAttributeNS(kXmlnsNamespaceUri, u"xmlns");
    EXPECT_THROW(xmlns->setPrefix(u"p"), ENamespace_Err);
    TdomAttr* attr = doc->createAttributeNS(u"urn:x", u"a:at");
    EXPECT_THROW(attr->setPrefix(u"xmlns"), ENamespace_Err);
    attr->setPrefix(u"z");
    EXPECT_EQ(attr->nodeName(), u"z:at");
}

TEST_F(Tree, TextContentSkipsCommentsAndInstructions) {
    TdomElement* root = doc->createDocumentElement(u"root");
    root->appendChild(doc->createTextNode(u"a"));
    root->appendChild(doc->createComment(u"no"));
    TdomElement* inner = doc->createElement(u"inner");
    root->appendChild(inner);
    inner->appendChild(doc->createCDATASection(u"b"));
    inner->appendChild(doc->createProcessingInstruction(u"pi", u"no"));
    TdomEntityReference* amp = doc->createEntityReference(u"amp");
    amp->fillByParsing();
    inner->appendChild(amp);
    root->appendChild(doc->createTextNode(u"c"));
    doc->insertBefore(doc->createComment(u"top"), root);
    EXPECT_EQ(doc->textContent(), u"ab&c");
    EXPECT_EQ(root->textContent(), u"ab&c");
    EXPECT_EQ(inner->textContent(), u"b&");
    TdomDocumentType* type = doc->createDocumentType(u"root", u"", u"sys.dtd", u"");
    EXPECT_EQ(type->textContent(), u"");
    EXPECT_EQ(doc->createComment(u"c")->textContent(), u"c");
    EXPECT_EQ(root->firstChild()->textContent(), u"a");
}

TEST_F(Tree, FeaturesAndElementLookups) {
    EXPECT_TRUE(doc->isSupported(u"xml", u"2.0"));
    EXPECT_TRUE(doc->isSupported(u"XmL", u""));
    EXPECT_TRUE(doc->isSupported(u"XML", u"1.0"));
    EXPECT_FALSE(doc->isSupported(u"XML", u"3.0"));
    EXPECT_FALSE(doc->isSupported(u"TRAVERSAL", u"2.0"));
    TdomElement* root = doc->createElement(u"root");
    TdomElement* first = doc->createElement(u"item");
    TdomElement* middle = doc->createElementNS(u"urn:x", u"p:item");
    TdomElement* last = doc->createElement(u"item");
    root->appendChild(first);
    root->appendChild(doc->createTextNode(u"t"));
    root->appendChild(middle);
    root->appendChild(last);
    EXPECT_EQ(root->firstChildElementNamed(u"item"), first);
    EXPECT_EQ(root->lastChildElementNamed(u"item"), last);
    EXPECT_EQ(root->firstChildElementNamedNS(u"urn:x", u"item"), middle);
    EXPECT_EQ(root->lastChildElementNamedNS(u"urn:x", u"item"), middle);
    EXPECT_EQ(first->nextSiblingElementNamed(u"item"), last);
    EXPECT_EQ(last->previousSiblingElementNamed(u"item"), first);
    EXPECT_EQ(first->nextSiblingElementNamedNS(u"urn:x", u"item"), middle);
    EXPECT_EQ(last->previousSiblingElementNamedNS(u"urn:x", u"item"), middle);
    EXPECT_EQ(root->firstChildElementNamed(u"none"), nullptr);
    TdomElement* deep = doc->createElement(u"deep");
    middle->appendChild(deep);
    EXPECT_EQ(deep->ancestorElementNamed(u"root"), root);
    EXPECT_EQ(deep->ancestorElementNamedNS(u"urn:x", u"item"), middle);
    EXPECT_EQ(deep->ancestorElementNamed(u"deep"), nullptr);
    EXPECT_TRUE(deep->hasAncestor(root));
    EXPECT_FALSE(deep->hasAncestor(deep));
    EXPECT_FALSE(root->hasAncestor(deep));
}

TEST_F(Tree, BaseUriComesFromXmlBaseAndTheDocument) {
    doc->setDocumentBaseUri(u"http://h/dir/doc.xml");
    TdomElement* root = doc->createDocumentElement(u"root");
    TdomElement* child = doc->createElement(u"child");
    root->appendChild(child);
    TdomText* text = doc->createTextNode(u"t");
    child->appendChild(text);
    EXPECT_EQ(text->baseURI(), u"http://h/dir/doc.xml");
    child->setAttribute(u"xml:base", u"sub/");
    EXPECT_EQ(text->baseURI(), u"http://h/dir/sub/");
    EXPECT_EQ(child->getAttributeNode(u"xml:base")->baseURI(), u"http://h/dir/doc.xml");
    root->setAttribute(u"xml:base", u"ftp://other/base/");
    EXPECT_EQ(child->baseURI(), u"ftp://other/base/sub/");
    root->setAttribute(u"other", u"v");
    EXPECT_EQ(root->getAttributeNode(u"other")->baseURI(), u"ftp://other/base/");
    EXPECT_EQ(doc->createElement(u"loose")->baseURI(), u"");
    EXPECT_EQ(doc->createDocumentFragment()->baseURI(), u"");
    EXPECT_THROW(doc->setDocumentBaseUri(u"relative/path"), ESyntax_Err);
    EXPECT_THROW(doc->setDocumentBaseUri(u"http://h/\u3042"), ESyntax_Err);
    EXPECT_EQ(doc->documentBaseUri(), u"http://h/dir/doc.xml");
}

// A parser hands the DOM untrusted documents: none of the tree walks may recurse on the call stack.
TEST_F(Tree, DeepTreesSurviveEveryWalk) {
    constexpr int kDepth = 100000;
    TdomElement* root = doc->createDocumentElement(u"root");
    TdomNode* node = root;
    for (int i = 0; i < kDepth; ++i) {
        TdomElement* child = doc->createElement(u"e");
        node->appendChild(child);
        node->appendChild(doc->createTextNode(u"a"));
        node->appendChild(doc->createTextNode(u"b"));
        node = child;
    }
    node->appendChild(doc->createTextNode(u"z"));
    EXPECT_EQ(doc->textContent().size(), static_cast<std::size_t>(2 * kDepth + 1));
    EXPECT_FALSE(root->containsEntityReference(u"x"));
    root->normalize();
    EXPECT_EQ(root->childNodes().length(), 2); // the two texts merged
    TdomNode* copy = root->cloneNode(true);
    EXPECT_EQ(copy->textContent().size(), static_cast<std::size_t>(2 * kDepth + 1));
    std::size_t before = doc->createdNodeCount();
    doc->destroyNode(copy);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(doc->createdNodeCount(), before - (2 * kDepth + 2));
    doc->removeChild(root);
    doc->destroyNode(root);
    // Only the texts that normalize merged away are left: out of the tree, but alive.
    EXPECT_EQ(doc->createdNodeCount(), static_cast<std::size_t>(kDepth));
}

TEST_F(Tree, FreeChildrenDestroysTheSubtrees) {
    TdomElement* root = doc->createElement(u"root");
    for (int i = 0; i < 3; ++i) {
        TdomElement* child = doc->createElement(u"c");
        child->setAttribute(u"a", u"1");
        child->appendChild(doc->createTextNode(u"t"));
        child->setReadonly(true);
        root->appendChild(child);
    }
    EXPECT_EQ(doc->createdNodeCount(), 1u + 3 * 4);
    root->freeChildren();
    EXPECT_FALSE(root->hasChildNodes());
    EXPECT_EQ(doc->createdNodeCount(), 1u);
    root->appendChild(doc->createTextNode(u"x"));
    root->setReadonly(true);
    EXPECT_THROW(root->freeChildren(), ENo_Modification_Allowed_Err);
    EXPECT_EQ(root->childNodes().length(), 1);
}

TEST_F(Tree, NormalizeRefusesReadOnlyContentBeforeChangingAnything) {
    TdomElement* e = doc->createElement(u"e");
    TdomNode* texts[] = {e->appendChild(doc->createTextNode(u"a")), e->appendChild(doc->createTextNode(u"b"))};
    TdomElement* locked = static_cast<TdomElement*>(e->appendChild(doc->createElement(u"locked")));
    locked->appendChild(doc->createTextNode(u"c"));
    locked->appendChild(doc->createTextNode(u"d"));
    locked->setReadonly(true);
    EXPECT_THROW(e->normalize(), ENo_Modification_Allowed_Err);
    EXPECT_EQ(e->childNodes().length(), 3);
    EXPECT_EQ(texts[0]->nodeValue(), u"a");
    EXPECT_EQ(locked->childNodes().length(), 2);

    // The same for a read-only attribute, and for a read-only first text of a run.
    locked->setReadonly(false);
    e->removeChild(locked);
    TdomAttr* attr = e->setAttribute(u"v", u"x");
    attr->appendChild(doc->createTextNode(u"y"));
    attr->setReadonly(true);
    EXPECT_THROW(e->normalize(), ENo_Modification_Allowed_Err);
    EXPECT_EQ(e->childNodes().length(), 2);
    attr->setReadonly(false);
    texts[0]->setReadonly(true);
    EXPECT_THROW(e->normalize(), ENo_Modification_Allowed_Err);
    EXPECT_EQ(attr->childNodes().length(), 2);
    texts[0]->setReadonly(false);
    texts[1]->setReadonly(true); // taken out, not changed: allowed
    e->normalize();
    EXPECT_EQ(e->textContent(), u"ab");
    EXPECT_EQ(attr->childNodes().length(), 1);
}

} // namespace
