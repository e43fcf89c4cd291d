#include <gtest/gtest.h>

#include "tests/dom/cm_test_support.h"
#include "text/dom_exception.h"

namespace {

class CMTreeTest : public ::testing::Test {
protected:
    TdomCMInternalObject subset{nullptr, u"", u""};
    TdomCMExternalObject other{nullptr, u"", u"other.dtd"};
};

TEST_F(CMTreeTest, NodeNamesAndTypes) {
    EXPECT_EQ(subset.nodeName(), u"#cm-internal-object");
    EXPECT_EQ(subset.nodeType(), TdomCMNodeType::internalObject);
    EXPECT_EQ(subset.owner(), &subset);
    EXPECT_EQ(other.nodeName(), u"#cm-external-object");
    EXPECT_EQ(TdomCMObject(nullptr).nodeName(), u"#cm-object");
    EXPECT_EQ(subset.createComment(u"c")->nodeName(), u"#comment");
    EXPECT_EQ(subset.createFragment()->nodeName(), u"#cm-fragment");
    EXPECT_EQ(subset.createAttribute(u"x")->nodeName(), u"#cm-attribute");
    EXPECT_EQ(subset.createSequenceParticle(u"")->nodeName(), u"#sequence-particle");
    EXPECT_EQ(subset.createChoiceParticle(u"")->nodeName(), u"#choice-particle");
    EXPECT_EQ(subset.createPcdataChoiceParticle(u"*")->nodeName(), u"#pcdata-choice-particle");
    TdomCMProcessingInstruction* pi = subset.createProcessingInstruction(u"target", u"data");
    EXPECT_EQ(pi->nodeName(), u"target");
    EXPECT_EQ(pi->nodeValue(), u"data");
    EXPECT_EQ(pi->nodeType(), TdomCMNodeType::processingInstruction);
    EXPECT_EQ(subset.createNmtokenParticle(u"1x")->nodeType(), TdomCMNodeType::nmtokenParticle);
    // Permitted children follow the attribute type and the content kind.
    EXPECT_TRUE(subset.createAttrDefinition(u"e", u"", u"#IMPLIED", u"")
                    ->isPermittedChildType(TdomCMNodeType::nmtokenParticle));
    EXPECT_TRUE(subset.createAttrDefinition(u"n", u"NOTATION", u"#IMPLIED", u"")
                    ->isPermittedChildType(TdomCMNodeType::nameParticle));
    EXPECT_EQ(subset.createAttrDefinition(u"c", u"CDATA", u"#IMPLIED", u"")->permittedChildTypes(), 0u);
    EXPECT_EQ(subset.createElementTypeDeclaration(u"e", TdomCMContentKind::empty)->permittedChildTypes(), 0u);
}

TEST_F(CMTreeTest, InsertionRefusals) {
    TdomCMAttrList* list = subset.createAttrList(u"a");
    TdomCMAttrDefinition* definition = subset.createAttrDefinition(u"x", u"CDATA", u"#IMPLIED", u"");
    EXPECT_THROW(list->appendChild(nullptr), ENot_Supported_Err);
    EXPECT_THROW(list->insertBefore(nullptr, nullptr), ENot_Supported_Err);
    // A type the parent does not take.
    EXPECT_THROW(list->appendChild(subset.createComment(u"c")), EHierarchy_Request_Err);
    // A node of another subset.
    EXPECT_THROW(list->appendChild(other.createAttrDefinition(u"y", u"CDATA", u"#IMPLIED", u"")), EWrong_Document_Err);
    // A reference child that is not a child.
    TdomCMAttrDefinition* stranger = subset.createAttrDefinition(u"z", u"CDATA", u"#IMPLIED", u"");
    EXPECT_THROW(list->insertBefore(definition, stranger), ENot_Found_Err);
    // Read-only parent, and read-only old parent.
    list->setReadonly(true);
    EXPECT_THROW(list->appendChild(definition), ENo_Modification_Allowed_Err);
    list->setReadonly(false);
    list->appendChild(definition);
    list->setReadonly(true);
    TdomCMAttrList* second = subset.createAttrList(u"b");
    EXPECT_THROW(second->appendChild(definition), ENo_Modification_Allowed_Err);
    EXPECT_THROW(list->removeChild(definition), ENo_Modification_Allowed_Err);
    EXPECT_EQ(definition->parentNode(), list);
    list->setReadonly(false);
    EXPECT_THROW(second->removeChild(definition), ENot_Found_Err);
    EXPECT_THROW(second->removeChild(nullptr), ENot_Supported_Err);
    // A node into itself or into its own descendant.
    TdomCMSequenceParticle* outer = subset.createSequenceParticle(u"");
    TdomCMChoiceParticle* inner = subset.createChoiceParticle(u"");
    outer->appendChild(inner);
    EXPECT_THROW(inner->appendChild(outer), EHierarchy_Request_Err);
    EXPECT_THROW(outer->appendChild(outer), EHierarchy_Request_Err);
    EXPECT_THROW(outer->insertBefore(inner, inner), EHierarchy_Request_Err);
    EXPECT_EQ(outer->childNodes().length(), 1);
}

TEST_F(CMTreeTest, ElementTypeDeclarationHoldsOneParticle) {
    TdomCMElementTypeDeclaration* empty = subset.createElementTypeDeclaration(u"e", TdomCMContentKind::empty);
    EXPECT_THROW(empty->appendChild(subset.createSequenceParticle(u"")), ENot_Supported_Err);
    TdomCMElementTypeDeclaration* any = subset.createElementTypeDeclaration(u"any", TdomCMContentKind::any);
    EXPECT_THROW(any->appendChild(subset.createSequenceParticle(u"")), ENot_Supported_Err);

    TdomCMElementTypeDeclaration* children =
        subset.createElementTypeDeclaration(u"c", TdomCMContentKind::elementContent);
    TdomCMSequenceParticle* first = subset.createSequenceParticle(u"");
    children->appendChild(first);
    EXPECT_EQ(children->particle(), first);
    // Appending the particle again keeps it; a second particle is refused.
    EXPECT_NO_THROW(children->appendChild(first));
    EXPECT_THROW(children->appendChild(subset.createChoiceParticle(u"")), ENot_Supported_Err);
    // The particle may be replaced.
    TdomCMChoiceParticle* replacement = subset.createChoiceParticle(u"");
    EXPECT_EQ(children->replaceChild(replacement, first), first);
    EXPECT_EQ(children->particle(), replacement);
    EXPECT_EQ(first->parentNode(), nullptr);
    // Mixed content takes only the #PCDATA choice.
    TdomCMElementTypeDeclaration* mixed = subset.createElementTypeDeclaration(u"m", TdomCMContentKind::mixed);
    EXPECT_THROW(mixed->appendChild(subset.createSequenceParticle(u"")), EHierarchy_Request_Err);
    EXPECT_NO_THROW(mixed->appendChild(subset.createPcdataChoiceParticle(u"*")));
}

TEST_F(CMTreeTest, OrderSiblingsAndMoves) {
    TdomCMSequenceParticle* group = subset.createSequenceParticle(u"");
    TdomCMElementParticle* a = subset.createElementParticle(u"a", u"");
    TdomCMElementParticle* b = subset.createElementParticle(u"b", u"");
    TdomCMElementParticle* c = subset.createElementParticle(u"c", u"");
    group->appendChild(c);
    group->insertBefore(a, c);
    group->insertBefore(b, c);
    EXPECT_EQ(group->declarationText(), u"(a, b, c)");
    EXPECT_EQ(b->previousSibling(), a);
    EXPECT_EQ(b->nextSibling(), c);
    EXPECT_EQ(a->previousSibling(), nullptr);
    EXPECT_EQ(c->nextSibling(), nullptr);
    EXPECT_EQ(group->firstChild(), a);
    EXPECT_EQ(group->lastChild(), c);
    EXPECT_EQ(group->childNodes().item(3), nullptr);
    EXPECT_EQ(group->childNodes().item(-1), nullptr);
    // Moving a child within its parent and to another parent.
    group->appendChild(a);
    EXPECT_EQ(group->declarationText(), u"(b, c, a)");
    TdomCMChoiceParticle* choice = subset.createChoiceParticle(u"*");
    choice->appendChild(b);
    EXPECT_EQ(group->declarationText(), u"(c, a)");
    EXPECT_EQ(b->parentNode(), choice);
    EXPECT_EQ(group->replaceChild(choice, c), c);
    EXPECT_EQ(group->declarationText(), u"((b)*, a)");
    EXPECT_EQ(group->replaceChild(a, a), a);
    EXPECT_EQ(group->removeChild(a), a);
    EXPECT_FALSE(a->parentNode());
    EXPECT_EQ(group->declarationText(), u"((b)*)");
}

TEST_F(CMTreeTest, FragmentInsertionMovesItsChildren) {
    TdomCMFragment* fragment = subset.createFragment();
    fragment->appendChild(subset.createComment(u"one"));
    fragment->appendChild(subset.createParameterEntityReference(u"pe"));
    TdomCMComment* last = subset.createComment(u"last");
    subset.appendChild(last);
    subset.insertBefore(fragment, last);
    EXPECT_FALSE(fragment->hasChildNodes());
    EXPECT_EQ(subset.declarationText(), u"<!--one-->\n%pe;\n<!--last-->\n");
}

TEST_F(CMTreeTest, CloneAndFree) {
    TdomCMAttrList* list = subset.createAttrList(u"a");
    TdomCMAttrDefinition* definition = subset.createAttrDefinition(u"kind", u"", u"", u"x");
    definition->appendChild(subset.createNmtokenParticle(u"x"));
    definition->appendChild(subset.createNmtokenParticle(u"y"));
    list->appendChild(definition);
    subset.appendChild(list);

    TdomCMNode* shallow = list->cloneNode(false);
    EXPECT_EQ(shallow->owner(), &subset);
    EXPECT_EQ(shallow->parentNode(), nullptr);
    EXPECT_FALSE(shallow->hasChildNodes());
    TdomCMNode* deep = list->cloneNode(true);
    EXPECT_EQ(deep->declarationText(), list->declarationText());
    EXPECT_NE(deep->firstChild(), definition);
    EXPECT_THROW(subset.cloneNode(true), ENot_Supported_Err);
    // Entity declarations stay read-only in their copies.
    TdomCMNode* entity = subset.createEntityDeclaration(u"e", u"v", u"", u"", u"");
    EXPECT_TRUE(entity->cloneNode(false)->isReadonly());

    std::size_t count = subset.createdNodeCount();
    TdomCMNode* inUse = definition;
    EXPECT_THROW(subset.freeNode(inUse), EInuse_Node_Err);
    TdomCMNode* foreign = other.createComment(u"x");
    EXPECT_THROW(subset.freeNode(foreign), EWrong_Document_Err);
    TdomCMNode* self = &subset;
    EXPECT_THROW(subset.freeNode(self), ENo_Modification_Allowed_Err);
    TdomCMNode* none = nullptr;
    EXPECT_NO_THROW(subset.freeNode(none));
    subset.freeNode(deep);
    EXPECT_EQ(deep, nullptr);
    EXPECT_EQ(subset.createdNodeCount(), count - 4);
}

} // namespace
