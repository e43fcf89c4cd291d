#include <gtest/gtest.h>

#include <string>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "dom/implementation.h"
#include "dom/node_iterator.h"
#include "text/dom_exception.h"

namespace {

// Longer than the inline buffer of a string, so that the text lives on the heap.
const std::u16string kOldValue = u"the value before it was replaced";

// Nodes that an operation takes out of the tree stay alive and usable until destroyNode or the
// document frees them.
struct DetachedNodes : ::testing::Test {
    TDomImplementation impl;
    TdomDocument* doc = impl.createEmptyDocument();
    TdomElement* root = doc->createDocumentElement(u"root");

    TdomText* text(std::u16string_view data) { return doc->createTextNode(data); }
};

TEST_F(DetachedNodes, SetValueLeavesTheOldChildrenUsable) {
    TdomAttr* attr = root->setAttribute(u"a", kOldValue);
    TdomNode* old = attr->firstChild();
    attr->setValue(u"new");
    EXPECT_EQ(attr->value(), u"new");
    EXPECT_NE(attr->firstChild(), old);
    EXPECT_EQ(old->nodeValue(), kOldValue);
    EXPECT_EQ(old->parentNode(), nullptr);
    root->appendChild(old);
    EXPECT_EQ(root->textContent(), kOldValue);
    std::size_t before = doc->createdNodeCount();
    doc->destroyNode(root->removeChild(old));
    EXPECT_EQ(doc->createdNodeCount(), before - 1);
}

TEST_F(DetachedNodes, NormalizeKeepsTheMergedSiblingsAlive) {
    TdomText* first = static_cast<TdomText*>(root->appendChild(text(u"a")));
    TdomNode* second = root->appendChild(text(kOldValue));
    TdomNode* third = root->appendChild(text(u"c"));
    root->appendChild(doc->createElement(u"e"));
    TdomNode* last = root->appendChild(text(u"d"));
    TdomAttr* attr = root->setAttribute(u"v", u"x");
    TdomNode* attrText = attr->appendChild(text(u"y"));
    root->normalize();
    EXPECT_EQ(root->childNodes().length(), 3);
    EXPECT_EQ(first->data(), u"a" + kOldValue + u"c");
    EXPECT_EQ(root->lastChild(), last);
    EXPECT_EQ(attr->childNodes().length(), 1);
    EXPECT_EQ(attr->value(), u"xy");
    for (TdomNode* merged : {second, third, attrText}) EXPECT_EQ(merged->parentNode(), nullptr);
    EXPECT_EQ(second->nodeValue(), kOldValue);
    EXPECT_EQ(attrText->nodeValue(), u"y");
}

TEST_F(DetachedNodes, RefillingEntityReferencesKeepsTheOldContentAlive) {
    TdomDocumentType* type = doc->createDocumentType(u"root", u"", u"", u"");
    doc->insertBefore(type, root);
    TdomEntity* entity = doc->createEntity(u"ent", u"", u"", u"");
    entity->appendChild(text(kOldValue));
    type->entities()->setNamedItem(entity);
    TdomEntityReference* reference = doc->createEntityReference(u"ent");
    doc->fillEntityReference(reference);
    TdomNode* filled = reference->firstChild();
    doc->fillEntityReference(reference);
    EXPECT_NE(reference->firstChild(), filled);
    EXPECT_EQ(filled->parentNode(), nullptr);
    EXPECT_EQ(filled->nodeValue(), kOldValue);
    doc->destroyNode(filled); // made writable when it was taken out

    // Removing the entity empties the references to it inside the other entities.
    TdomEntity* user = doc->createEntity(u"user", u"", u"", u"");
    user->appendChild(doc->createEntityReference(u"ent"));
    type->entities()->setNamedItem(user);
    TdomNode* copied = user->firstChild()->firstChild();
    type->entities()->removeNamedItem(u"ent");
    EXPECT_FALSE(user->firstChild()->hasChildNodes());
    EXPECT_EQ(copied->nodeValue(), kOldValue);

    TdomEntityReference* amp = doc->createEntityReference(u"amp");
    amp->appendChild(text(kOldValue));
    TdomNode* before = amp->firstChild();
    EXPECT_TRUE(amp->fillByParsing());
    EXPECT_EQ(amp->textContent(), u"&");
    EXPECT_EQ(before->nodeValue(), kOldValue);
    amp->setReadonly(true);
    EXPECT_THROW(amp->fillByParsing(), ENo_Modification_Allowed_Err);
    EXPECT_EQ(amp->textContent(), u"&");
}

TEST_F(DetachedNodes, ANodeTakenOutOfAnEntityReferenceIsWritableAgain) {
    TdomDocumentType* type = doc->createDocumentType(u"root", u"", u"", u"");
    doc->insertBefore(type, root);
    TdomEntity* entity = doc->createEntity(u"ent", u"", u"", u"");
    entity->appendChild(text(kOldValue));
    type->entities()->setNamedItem(entity);
    // Taking children out one at a time (while a node iterator is registered) or all at once.
    for (const bool withIterator : {false, true}) {
        if (withIterator) doc->createNodeIterator(root, kShowAllNodes, nullptr, true);
        auto filledText = [](TdomNode* reference) {
            auto* filled = static_cast<TdomText*>(reference->firstChild());
            EXPECT_THROW(filled->setData(u"changed"), ENo_Modification_Allowed_Err);
            return filled;
        };
        auto expectWritable = [](TdomText* taken) {
            EXPECT_EQ(taken->parentNode(), nullptr);
            taken->setData(u"changed");
            EXPECT_EQ(taken->data(), u"changed");
        };
        // Filled again by the document, and by parsing.
        TdomEntityReference* reference = doc->createEntityReference(u"ent");
        doc->fillEntityReference(reference);
        TdomText* taken = filledText(reference);
        doc->fillEntityReference(reference);
        expectWritable(taken);
        TdomEntityReference* amp = doc->createEntityReference(u"amp");
        doc->fillEntityReference(amp);
        taken = filledText(amp);
        EXPECT_TRUE(amp->fillByParsing());
        expectWritable(taken);
    }
}

} // namespace
