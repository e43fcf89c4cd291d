#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dom/character_data.h"
#include "dom/cm_object.h"
#include "dom/document.h"
#include "dom/document_fragment.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "dom/implementation.h"
#include "dom/processing_instruction.h"
#include "text/dom_exception.h"
#include "text/error_handler.h"
#include "text/parser_exception.h"

namespace {

TdomDocument* makeSpecialDocument(TDomImplementation* implementation);

class TSpecialDocument : public TdomDocument {
public:
    using TdomDocument::TdomDocument;
};

TdomDocument* makeSpecialDocument(TDomImplementation* implementation) { return new TSpecialDocument(implementation); }
TdomDocument* makeOtherDocument(TDomImplementation* implementation) { return new TSpecialDocument(implementation); }

TEST(Implementation, CreatesDocumentsAndOwnsThem) {
    TDomImplementation impl;
    TdomDocument* doc = impl.createDocument(u"root", nullptr);
    ASSERT_NE(doc->documentElement(), nullptr);
    EXPECT_EQ(doc->documentElement()->nodeName(), u"root");
    EXPECT_EQ(doc->ownerDocument(), doc);
    EXPECT_EQ(doc->nodeName(), u"#document");
    EXPECT_EQ(impl.documents().length(), 1);
    EXPECT_THROW(impl.createDocument(u"1root", nullptr), EInvalid_Character_Err);
    EXPECT_EQ(impl.documents().length(), 1);

    // A document type from the implementation becomes the first child of the new document.
    TdomDocumentType* type = impl.createDocumentType(u"root", u"", u"root.dtd", u"");
    EXPECT_EQ(impl.documentTypes().length(), 1);
    TdomDocument* typed = impl.createDocument(u"root", type);
    EXPECT_EQ(typed->doctype(), type);
    EXPECT_EQ(typed->firstChild(), type);
    EXPECT_EQ(type->ownerDocument(), typed);
    EXPECT_EQ(impl.documentTypes().length(), 0);
    // The same document type again: a document owns it already.
    EXPECT_THROW(impl.createDocument(u"root", type), EWrong_Document_Err);
    EXPECT_THROW(impl.createDocument(u"root", doc->createDocumentType(u"root", u"", u"", u"")), EWrong_Document_Err);

    TdomDocument* ns = impl.createDocumentNS(u"urn:x", u"p:root", nullptr);
    EXPECT_EQ(ns->documentElement()->localName(), u"root");
    EXPECT_TRUE(ns->documentElement()->attributesNamespaceAware());
    EXPECT_THROW(impl.createDocumentNS(u"", u"p:root", nullptr), ENamespace_Err);
    EXPECT_THROW(impl.createDocumentNS(u"urn:x", u"xml:root", nullptr), ENamespace_Err);
    EXPECT_THROW(impl.createDocumentNS(u"urn:x", u"xmlns:root", nullptr), ENamespace_Err);
    EXPECT_THROW(impl.createDocumentNS(u"urn:x", u"a:b:c", nullptr), ENamespace_Err);

    impl.freeDocument(doc);
    EXPECT_EQ(doc, nullptr);
    EXPECT_EQ(impl.documents().length(), 2);
    TdomDocument stray;
    TdomDocument* strayPointer = &stray;
    try {
        impl.freeDocument(strayPointer);
        FAIL() << "a document of no implementation was freed";
    } catch (const ENot_Found_Err& e) {
        EXPECT_STREQ(e.what(), "Document not found error.");
    }
    TdomDocumentType* unknownType = nullptr;
    EXPECT_THROW(impl.freeDocumentType(unknownType), ENot_Found_Err);
    impl.releaseAll();
    EXPECT_EQ(impl.documents().length(), 0);
}

TEST(Implementation, FeaturesAndDocumentFormats) {
    TDomImplementation impl;
    EXPECT_TRUE(impl.hasFeature(u"traversal", u"2.0"));
    EXPECT_TRUE(impl.hasFeature(u"Views", u"2.0"));
    EXPECT_FALSE(impl.hasFeature(u"TRAVERSAL", u""));
    EXPECT_TRUE(impl.hasFeature(u"XML", u""));
    EXPECT_TRUE(impl.hasFeature(u"xml", u"1.0"));
    EXPECT_FALSE(impl.hasFeature(u"XML", u"3.0"));

    try {
        TDomImplementation::registerDocumentFormat(u"", u"default", makeSpecialDocument);
        FAIL() << "the reserved format was registered";
    } catch (const EInvalid_Access_Err& e) {
        EXPECT_STREQ(e.what(), "Illegal Parameter Error: Attempt to set the reserved Document Format \"default\".");
    }
    EXPECT_FALSE(TDomImplementation::supportsDocumentFormat(u"", u"special"));
    EXPECT_THROW(TDomImplementation::getDocumentClass(u"", u"special"), EUnknown_Document_Format_Err);
    TDomImplementation::registerDocumentFormat(u"", u"special", makeSpecialDocument);
    TDomImplementation::registerDocumentFormat(u"", u"special", makeOtherDocument);
    EXPECT_EQ(TDomImplementation::getDocumentClass(u"", u"special"), makeOtherDocument); // the newer one wins
    TdomDocument* doc = impl.createDocument(u"special", nullptr);
    EXPECT_NE(dynamic_cast<TSpecialDocument*>(doc), nullptr);
    TDomImplementation::unregisterDocumentFormat(makeOtherDocument);
    EXPECT_EQ(TDomImplementation::getDocumentClass(u"", u"special"), makeSpecialDocument);
    TDomImplementation::unregisterDocumentFormat(makeSpecialDocument);
    EXPECT_FALSE(TDomImplementation::supportsDocumentFormat(u"", u"special"));
}

struct DocumentRules : ::testing::Test {
    TDomImplementation impl;
    TdomDocument* doc = impl.createEmptyDocument();
};

TEST_F(DocumentRules, OneDocumentTypeBeforeOneDocumentElement) {
    TdomElement* root = doc->createElement(u"root");
    doc->appendChild(doc->createComment(u"c"));
    doc->appendChild(root);
    EXPECT_THROW(doc->appendChild(doc->createElement(u"second")), EHierarchy_Request_Err);
    EXPECT_THROW(doc->appendChild(doc->createDocumentType(u"root", u"", u"", u"")), EHierarchy_Request_Err);
    EXPECT_THROW(doc->appendChild(doc->createTextNode(u"t")), EHierarchy_Request_Err);
    EXPECT_THROW(doc->appendChild(nullptr), ENot_Supported_Err);
    // A document type must carry the element's name and land before it.
    EXPECT_THROW(doc->insertBefore(doc->createDocumentType(u"other", u"", u"", u""), root), EInvalid_Character_Err);
    EXPECT_THROW(doc->insertBefore(doc->createDocumentType(u"root", u"", u"", u""), nullptr), EHierarchy_Request_Err);
    TdomDocumentType* type = doc->createDocumentType(u"root", u"", u"", u"");
    doc->insertBefore(type, root);
    EXPECT_EQ(doc->doctype(), type);
    EXPECT_EQ(doc->childNodes().item(1), type);
    EXPECT_THROW(doc->insertBefore(doc->createDocumentType(u"root", u"", u"", u""), root), EHierarchy_Request_Err);
    // The element may be replaced by one of the same name only.
    EXPECT_THROW(doc->replaceChild(doc->createElement(u"other"), root), EInvalid_Character_Err);
    TdomElement* replacement = doc->createElement(u"root");
    EXPECT_EQ(doc->replaceChild(replacement, root), root);
    EXPECT_EQ(doc->documentElement(), replacement);
    EXPECT_THROW(doc->replaceChild(doc->createElement(u"root"), type), EHierarchy_Request_Err);
    EXPECT_THROW(doc->replaceChild(doc->createDocumentType(u"root", u"", u"", u""), doc->firstChild()),
                 EHierarchy_Request_Err);
    doc->insertBefore(doc->createProcessingInstruction(u"pi", u"d"), type);
    EXPECT_EQ(doc->childNodes().item(1)->nodeType(), TdomNodeType::processingInstruction);
    // Elements inserted next to a document type go after it.
    doc->removeChild(replacement);
    EXPECT_THROW(doc->insertBefore(root, type), EHierarchy_Request_Err);
    doc->insertBefore(root, nullptr);
    EXPECT_EQ(doc->documentElement(), root);
    EXPECT_THROW(doc->createDocumentElement(u"again"), EHierarchy_Request_Err);
    doc->setNodeValue(u"ignored");
    EXPECT_EQ(doc->nodeValue(), u"");
}

TEST_F(DocumentRules, NamesAreCheckedEveryTimeTheyAreNew) {
    // Names met before are answered from a cache; a name that fails its check never is.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(doc->createElement(u"point")->nodeName(), u"point");
        EXPECT_EQ(doc->createAttribute(u"href")->nodeName(), u"href");
        EXPECT_THROW(doc->createElement(u"po int"), EInvalid_Character_Err);
        EXPECT_THROW(doc->createAttribute(u"1href"), EInvalid_Character_Err);
    }
    EXPECT_EQ(&doc->createElement(u"point")->nodeName(), &doc->createAttribute(u"point")->nodeName());

    // Names of one length with the same first, middle and last units, met in turns, keep their own
    // interned strings; a name interned without its check is checked when an element takes it.
    const std::u16string alike[] = {u"abcde", u"aXcYe", u"a1c2e"};
    const std::u16string* first[3] = {};
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 3; ++i) {
            const std::u16string& name = doc->createElement(alike[i])->nodeName();
            EXPECT_EQ(name, alike[i]);
            if (round == 0) first[i] = &name;
            EXPECT_EQ(&name, first[i]);
            EXPECT_THROW(doc->createElement(u"a c e"), EInvalid_Character_Err);
        }
    EXPECT_EQ(doc->createDocumentType(u"1abc", u"", u"", u"")->nodeName(), u"1abc");
    EXPECT_THROW(doc->createElement(u"1abc"), EInvalid_Character_Err);
    EXPECT_THROW(doc->createAttribute(u"1abc"), EInvalid_Character_Err);
}

TEST_F(DocumentRules, DestroyNodeRefusesNodesInUse) {
    TdomElement* root = doc->createDocumentElement(u"root");
    TdomElement* child = doc->createElement(u"child");
    root->appendChild(child);
    root->setAttribute(u"a", u"1");
    TdomAttr* attr = root->getAttributeNode(u"a");
    EXPECT_THROW(doc->destroyNode(child), EInuse_Node_Err);
    EXPECT_THROW(doc->destroyNode(attr), EInuse_Attribute_Err);
    TdomNode* self = doc;
    EXPECT_THROW(doc->destroyNode(self), ENo_Modification_Allowed_Err);
    TdomNode* none = nullptr;
    doc->destroyNode(none);
    TdomDocument* other = impl.createEmptyDocument();
    TdomElement* foreign = other->createElement(u"f");
    EXPECT_THROW(doc->destroyNode(foreign), EWrong_Document_Err);
    EXPECT_NE(foreign, nullptr);
    std::size_t before = doc->createdNodeCount();
    doc->destroyNode(root->removeChild(child));
    EXPECT_EQ(doc->createdNodeCount(), before - 1);
    // A read-only node with content is refused before anything is taken apart.
    TdomElement* locked = doc->createElement(u"locked");
    locked->appendChild(doc->createTextNode(u"t"));
    locked->setReadonly(true);
    EXPECT_THROW(doc->destroyNode(locked), ENo_Modification_Allowed_Err);
    EXPECT_EQ(locked->childNodes().length(), 1);
    locked->setReadonly(false);
    doc->destroyNode(locked);
    // A freed slot is reused by the next node of the same kind.
    TdomElement* again = doc->createElement(u"again");
    EXPECT_EQ(again->nodeName(), u"again");
    EXPECT_EQ(doc->createdNodeCount(), before);
}

// Clearing finds the live nodes among freed and reused memory: nodes destroyed before (whose memory
// must not be destroyed again), nodes made in their place, parentless nodes and the document type.
TEST_F(DocumentRules, ClearingFreesExactlyTheLiveNodes) {
    TdomDocumentType* doctype = impl.createDocumentType(u"root", u"", u"", u"");
    TdomDocument* typed = impl.createDocument(u"root", doctype);
    TdomElement* root = typed->documentElement();
    std::vector<TdomElement*> items;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 20'000; ++i) {
            TdomElement* item = typed->createElement(u"item");
            item->setAttribute(u"n", u"value " + std::u16string(static_cast<std::size_t>(i % 12), u'v'));
            for (int k = 0; k < 3; ++k) item->appendChild(typed->createTextNode(u"text"));
            root->appendChild(item);
            items.push_back(item);
        }
        // Every third item goes (with its attribute and children), every fifth of the others is only
        // taken out.
        std::vector<TdomElement*> kept;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const bool attached = items[i]->parentNode() != nullptr;
            if (i % 3 == 0) {
                if (attached) root->removeChild(items[i]);
                typed->destroyNode(items[i]);
            } else {
                if (i % 5 == 0 && attached) root->removeChild(items[i]);
                kept.push_back(items[i]);
            }
        }
        items = kept;
        // 1 document type, the root, and per item the item, its attribute with its text, three texts.
        EXPECT_EQ(typed->createdNodeCount(), 2 + 6 * items.size());
    }
    EXPECT_EQ(items.back()->getAttribute(u"n"), u"value " + std::u16string(19'999 % 12, u'v'));
    typed->freeChildren();
    EXPECT_EQ(typed->createdNodeCount(), 0u);
    EXPECT_EQ(typed->doctype(), nullptr);
    TdomElement* again = typed->createElement(u"again");
    typed->appendChild(again);
    again->appendChild(typed->createTextNode(u"after clearing"));
    EXPECT_EQ(typed->documentElement()->textContent(), u"after clearing");
    EXPECT_EQ(typed->createdNodeCount(), 2u);
    impl.freeDocument(typed);
}

TEST_F(DocumentRules, ImportAndCloneCopyByKind) {
    TdomElement* root = doc->createDocumentElement(u"root");
    root->setAttribute(u"a", u"1");
    TdomElement* child = doc->createElement(u"child");
    root->appendChild(child);
    child->appendChild(doc->createTextNode(u"text"));

    auto* shallow = static_cast<TdomElement*>(root->cloneNode(false));
    EXPECT_EQ(shallow->parentNode(), nullptr);
    EXPECT_EQ(shallow->ownerDocument(), doc);
    EXPECT_FALSE(shallow->hasChildNodes());
    EXPECT_EQ(shallow->getAttribute(u"a"), u"1");
    EXPECT_NE(shallow->getAttributeNode(u"a"), root->getAttributeNode(u"a"));

    TdomDocument* other = impl.createEmptyDocument();
    auto* deep = static_cast<TdomElement*>(other->importNode(root, true));
    EXPECT_EQ(deep->ownerDocument(), other);
    EXPECT_EQ(deep->textContent(), u"text");
    EXPECT_EQ(deep->firstChild()->ownerDocument(), other);
    EXPECT_EQ(deep->getAttribute(u"a"), u"1");

    TdomAttr* attr = root->getAttributeNode(u"a");
    auto* attrCopy = static_cast<TdomAttr*>(other->importNode(attr, false));
    EXPECT_EQ(attrCopy->value(), u"1"); // the value comes along even without deep
    EXPECT_EQ(attrCopy->ownerElement(), nullptr);

    EXPECT_THROW(other->importNode(doc, true), ENot_Supported_Err);
    EXPECT_THROW(other->importNode(doc->createDocumentType(u"root", u"", u"", u""), true), ENot_Supported_Err);
    EXPECT_THROW(other->importNode(nullptr, true), ENot_Supported_Err);

    TdomElement* ns = doc->createElementNS(u"urn:x", u"p:e");
    ns->setAttributeNS(u"urn:y", u"q:at", u"v");
    auto* nsCopy = static_cast<TdomElement*>(other->importNode(ns, true));
    EXPECT_EQ(nsCopy->namespaceURI(), u"urn:x");
    EXPECT_TRUE(nsCopy->attributesNamespaceAware());
    EXPECT_EQ(nsCopy->getAttributeNS(u"urn:y", u"at"), u"v");

    TdomProcessingInstruction* pi = doc->createProcessingInstruction(u"target", u"data");
    auto* piCopy = static_cast<TdomProcessingInstruction*>(other->importNode(pi, false));
    EXPECT_EQ(piCopy->target(), u"target");
    EXPECT_EQ(piCopy->data(), u"data");
    EXPECT_EQ(other->importNode(doc->createCDATASection(u"x"), false)->nodeType(), TdomNodeType::cdataSection);

    // Entity references are filled again in the copy, and their content stays read-only.
    TdomEntityReference* amp = doc->createEntityReference(u"amp");
    EXPECT_TRUE(amp->fillByParsing());
    TdomNode* refCopy = amp->cloneNode(true);
    ASSERT_EQ(refCopy->childNodes().length(), 1);
    EXPECT_EQ(refCopy->firstChild()->nodeValue(), u"&");
    EXPECT_TRUE(refCopy->firstChild()->isReadonly());
    EXPECT_TRUE(amp->firstChild()->isReadonly());
}

TEST_F(DocumentRules, ImportAddsDefaultAttributesOfTheContentModel) {
    TdomCMObject* model = impl.createContentModel();
    TdomCMInternalObject* subset = impl.createInternalSubset(u"", u"");
    model->setInternalSubset(subset);
    TdomCMAttrList* list = subset->createAttrList(u"item");
    list->appendChild(subset->createAttrDefinition(u"kind", u"CDATA", u"", u"plain"));
    list->appendChild(subset->createAttrDefinition(u"id", u"ID", u"#IMPLIED", u""));
    list->appendChild(subset->createAttrDefinition(u"given", u"CDATA", u"#FIXED", u"fixed"));
    subset->appendChild(list);
    TdomDocument* target = impl.createEmptyDocument();
    EXPECT_EQ(target->attachContentModel(model), nullptr);
    EXPECT_THROW(doc->attachContentModel(model), EInuse_Content_Model_Err);
    EXPECT_EQ(doc->contentModel(), nullptr);

    TdomElement* item = doc->createElement(u"item");
    item->setAttribute(u"given", u"mine");
    auto* copy = static_cast<TdomElement*>(target->importNode(item, false));
    ASSERT_EQ(copy->attributes()->length(), 2);
    EXPECT_EQ(copy->getAttribute(u"given"), u"mine");
    EXPECT_TRUE(copy->getAttributeNode(u"given")->specified());
    EXPECT_EQ(copy->getAttribute(u"kind"), u"plain");
    EXPECT_FALSE(copy->getAttributeNode(u"kind")->specified());
    EXPECT_FALSE(copy->hasAttribute(u"id"));
    // A namespace-aware copy gets its defaults as namespace-aware attributes, each under its own name.
    TdomElement* awareItem = doc->createElementNS(u"", u"item");
    auto* awareCopy = static_cast<TdomElement*>(target->importNode(awareItem, false));
    ASSERT_EQ(awareCopy->attributes()->length(), 2);
    EXPECT_EQ(awareCopy->getAttributeNS(u"", u"kind"), u"plain");
    EXPECT_EQ(awareCopy->getAttributeNS(u"", u"given"), u"fixed");
    EXPECT_EQ(target->detachContentModel(), model);
    EXPECT_EQ(model->document(), nullptr);
}

TEST_F(DocumentRules, FillEntityReferenceCopiesTheEntity) {
    TdomDocumentType* type = doc->createDocumentType(u"root", u"", u"", u"");
    doc->appendChild(type);
    TdomEntity* entity = doc->createEntity(u"greeting", u"", u"", u"");
    entity->appendChild(doc->createTextNode(u"hello "));
    TdomElement* b = doc->createElement(u"b");
    b->appendChild(doc->createTextNode(u"world"));
    entity->appendChild(b);
    type->entities()->setNamedItem(entity);
    TdomEntityReference* ref = doc->createEntityReference(u"greeting");
    EXPECT_TRUE(doc->fillEntityReference(ref));
    EXPECT_EQ(ref->textContent(), u"hello world");
    EXPECT_TRUE(ref->firstChild()->isReadonly());
    EXPECT_TRUE(ref->lastChild()->firstChild()->isReadonly());
    EXPECT_FALSE(ref->isReadonly());
    EXPECT_THROW(static_cast<TdomText*>(ref->firstChild())->appendData(u"x"), ENo_Modification_Allowed_Err);
    // Filling again replaces the content.
    EXPECT_TRUE(doc->fillEntityReference(ref));
    EXPECT_EQ(ref->childNodes().length(), 2);
    TdomEntityReference* unknown = doc->createEntityReference(u"unknown");
    EXPECT_FALSE(doc->fillEntityReference(unknown));
    TdomEntityReference* lt = doc->createEntityReference(u"lt");
    EXPECT_TRUE(doc->fillEntityReference(lt));
    EXPECT_EQ(lt->textContent(), u"<");
    TdomEntity* unparsed = doc->createEntity(u"pic", u"", u"pic.gif", u"gif");
    type->entities()->setNamedItem(unparsed);
    EXPECT_THROW(doc->fillEntityReference(doc->createEntityReference(u"pic")), EInvalid_Entity_Reference_Err);
    EXPECT_THROW(doc->fillEntityReference(doc->createElement(u"e")), ENot_Supported_Err);
    TdomDocument* other = impl.createEmptyDocument();
    EXPECT_THROW(other->fillEntityReference(ref), EWrong_Document_Err);
    EXPECT_THROW(doc->fillEntityReference(nullptr), ENot_Supported_Err);
}

TEST_F(DocumentRules, ClearingFreesEveryNode) {
    TdomElement* root = doc->createDocumentElement(u"root");
    for (int i = 0; i < 1000; ++i) {
        TdomElement* e = doc->createElement(u"e");
        e->setAttribute(u"n", u"v");
        root->appendChild(e);
    }
    doc->createTextNode(u"parentless");
    EXPECT_EQ(doc->createdNodeCount(), 1u + 1000 * 3 + 1);
    doc->freeChildren();
    EXPECT_EQ(doc->createdNodeCount(), 0u);
    EXPECT_EQ(doc->documentElement(), nullptr);
    // The document stays usable.
    doc->createDocumentElement(u"new");
    EXPECT_EQ(doc->documentElement()->nodeName(), u"new");

    // Clearing frees node memory page by page while it destroys the nodes. Nodes made late in the
    // places of destroyed ones lie in early pages; attribute values and texts own heap memory.
    const std::u16string longText(40, u'x');
    for (int round = 0; round < 2; ++round) {
        TdomElement* top = doc->documentElement();
        std::vector<TdomElement*> made;
        for (int i = 0; i < 5000; ++i) {
            TdomElement* e = doc->createElement(u"e");
            e->setAttribute(u"a", longText);
            e->appendChild(doc->createTextNode(longText));
            made.push_back(static_cast<TdomElement*>(top->appendChild(e)));
        }
        for (std::size_t i = 0; i < made.size(); i += 7) doc->destroyNode(top->removeChild(made[i]));
        for (int i = 0; i < 1000; ++i) {
            TdomElement* e = doc->createElement(u"late");
            e->setAttribute(u"b", longText);
            top->appendChild(e)->appendChild(doc->createTextNode(longText));
        }
        EXPECT_EQ(top->lastChild()->firstChild()->nodeValue(), longText);
        // Each element came with an attribute, its value text and a text child: four nodes. The
        // registry of created nodes spans several blocks, and removals moved nodes between them.
        EXPECT_EQ(doc->createdNodeCount(), 1u + 5000 * 4 - 715 * 4 + 1000 * 4);
        doc->freeChildren();
        EXPECT_EQ(doc->createdNodeCount(), 0u);
        doc->createDocumentElement(u"again");
    }
}

TEST_F(DocumentRules, ValidateReportsToTheErrorHandler) {
    EXPECT_THROW(doc->validate(nullptr, 0), EParserRootNotFound_Err);
    doc->appendChild(doc->createDocumentType(u"expected", u"", u"", u""));
    TdomElement* root = doc->createElement(u"actual");
    doc->appendChild(root);
    TdomStandardErrorHandler handler;
    EXPECT_FALSE(doc->validate(&handler, 0));
    ASSERT_EQ(handler.errorList().size(), 1u);
    EXPECT_EQ(handler.errorList()[0]->errorClass(), "EParserWrong_Root_Element_Type_Err");

    TdomDocument* plain = impl.createDocument(u"root", nullptr);
    EXPECT_TRUE(plain->validate(nullptr, 0));
    TdomEntityReference* ref = plain->createEntityReference(u"undeclared");
    plain->documentElement()->appendChild(ref);
    TdomStandardErrorHandler second;
    EXPECT_FALSE(plain->validate(&second, 0));
    ASSERT_EQ(second.errorList().size(), 1u);
    EXPECT_EQ(second.errorList()[0]->errorClass(), "EParserMissing_Entity_Declaration_Err");
    EXPECT_THROW(plain->createDocumentFragment()->validate(nullptr), ENot_Supported_Err);
}

// Records the removals a document announces to its node iterators.
class TRemovalRecorder : public TdomTraversalObject {
public:
    explicit TRemovalRecorder(std::vector<std::u16string>* log) : log_(log) {}
    void nodeRemoving(TdomNode* node) override {
        // Told while the node is still in the tree.
        log_->push_back(node->nodeName() + (node->parentNode() ? u"@" + node->parentNode()->nodeName() : u""));
    }
    bool isDetached() const override { return detached; }
    bool detached = false;

private:
    std::vector<std::u16string>* log_;
};

TEST_F(DocumentRules, RegisteredIteratorsHearOfEveryRemoval) {
    std::vector<std::u16string> log;
    auto recorder = std::make_unique<TRemovalRecorder>(&log);
    TRemovalRecorder* watcher = recorder.get();
    doc->nodeIteratorRegistry().push_back(std::move(recorder));
    TdomElement* root = doc->createElement(u"root");
    TdomElement* a = doc->createElement(u"a");
    a->appendChild(doc->createElement(u"a1"));
    root->appendChild(a);
    root->appendChild(doc->createElement(u"b"));
    TdomElement* c = doc->createElement(u"c");
    c->appendChild(a); // moving a removes it from root first
    EXPECT_EQ(log, (std::vector<std::u16string>{u"a@root"}));
    log.clear();
    root->appendChild(c);
    root->freeChildren(); // first child first, each subtree before the next child
    EXPECT_EQ(log, (std::vector<std::u16string>{u"b@root", u"c@root", u"a@c", u"a1@a"}));
    EXPECT_EQ(doc->createdNodeCount(), 1u);
    doc->freeDetachedIterators();
    EXPECT_EQ(doc->nodeIteratorRegistry().size(), 1u);
    watcher->detached = true;
    doc->freeDetachedIterators();
    EXPECT_TRUE(doc->nodeIteratorRegistry().empty());
}

} // namespace
