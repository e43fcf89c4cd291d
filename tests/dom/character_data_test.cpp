#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "dom/character_data.h"
#include "dom/cm_object.h"
#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "dom/implementation.h"
#include "dom/processing_instruction.h"
#include "text/dom_exception.h"
#include "text/parser_exception.h"

namespace {

struct CharacterData : ::testing::Test {
    TDomImplementation impl;
    TdomDocument* doc = impl.createEmptyDocument();
};

TEST_F(CharacterData, EditingCountsCodeUnits) {
    TdomText* text = doc->createTextNode(u"ab\U0001F600cd");
    EXPECT_EQ(text->length(), 6); // the pair counts two
    EXPECT_EQ(text->substringData(6, 1), u"");
    EXPECT_THROW(text->substringData(7, 0), EIndex_Size_Err);
    EXPECT_THROW(text->substringData(-1, 1), EIndex_Size_Err);
    EXPECT_THROW(text->substringData(0, -1), EIndex_Size_Err);
    EXPECT_EQ(text->substringData(4, 100), u"cd");
    EXPECT_EQ(text->substringData(2, 2), u"\U0001F600");
    text->deleteData(1, 0);
    EXPECT_EQ(text->data(), u"ab\U0001F600cd");
    text->insertData(6, u"!");
    EXPECT_EQ(text->data(), u"ab\U0001F600cd!");
    text->replaceData(2, 2, u"-");
    EXPECT_EQ(text->data(), u"ab-cd!");
    text->replaceData(4, 100, u"");
    EXPECT_EQ(text->data(), u"ab-c");
    EXPECT_THROW(text->replaceData(5, 0, u"x"), EIndex_Size_Err);
    text->appendData(u"z");
    EXPECT_EQ(text->nodeValue(), u"ab-cz");
    text->setReadonly(true);
    EXPECT_THROW(text->appendData(u"x"), ENo_Modification_Allowed_Err);
    EXPECT_THROW(text->setData(u"x"), ENo_Modification_Allowed_Err);
    EXPECT_THROW(text->deleteData(0, 1), ENo_Modification_Allowed_Err);
    EXPECT_THROW(text->setNodeValue(u"x"), ENo_Modification_Allowed_Err);
    EXPECT_EQ(text->data(), u"ab-cz");
    TdomComment* comment = doc->createComment(u"note");
    EXPECT_EQ(comment->nodeName(), u"#comment");
    comment->setData(u"changed");
    EXPECT_EQ(comment->nodeValue(), u"changed");
    EXPECT_EQ(doc->createTextNode(u"\"&'<>x")->escapedData(), u"&#34;&#38;&#39;&#60;&#62;x");
}

TEST_F(CharacterData, SplitTextPlacesTheTail) {
    TdomText* loose = doc->createTextNode(u"a\U0001F600");
    TdomText* tail = loose->splitText(2); // between the two halves of the pair
    EXPECT_EQ(loose->data(), std::u16string(u"a") + char16_t(0xD83D));
    EXPECT_EQ(tail->data(), std::u16string(1, char16_t(0xDE00)));
    EXPECT_EQ(tail->parentNode(), nullptr);

    TdomElement* parent = doc->createElement(u"p");
    TdomText* first = doc->createTextNode(u"hello world");
    TdomComment* after = doc->createComment(u"c");
    parent->appendChild(first);
    parent->appendChild(after);
    TdomText* world = first->splitText(5);
    EXPECT_EQ(first->data(), u"hello");
    EXPECT_EQ(world->data(), u" world");
    EXPECT_EQ(parent->childNodes().item(1), world);
    EXPECT_EQ(parent->lastChild(), after);
    TdomText* end = world->splitText(world->length());
    EXPECT_EQ(end->data(), u"");
    EXPECT_EQ(parent->childNodes().item(2), end);

    TdomCDATASection* cdata = doc->createCDATASection(u"xy");
    parent->appendChild(cdata);
    TdomText* y = cdata->splitText(1);
    EXPECT_EQ(y->nodeType(), TdomNodeType::text);
    EXPECT_EQ(parent->lastChild(), y);
    EXPECT_EQ(cdata->data(), u"x");
    EXPECT_THROW(cdata->splitText(2), EIndex_Size_Err);
    EXPECT_THROW(cdata->splitText(-1), EIndex_Size_Err);
    // A refused insertion leaves the data whole.
    parent->setReadonly(true);
    EXPECT_THROW(first->splitText(1), ENo_Modification_Allowed_Err);
    EXPECT_EQ(first->data(), u"hello");
}

TEST_F(CharacterData, OtherKindsCheckTheirNames) {
    EXPECT_THROW(doc->createProcessingInstruction(u"XML", u""), EInvalid_Character_Err);
    EXPECT_THROW(doc->createProcessingInstruction(u"xMl", u""), EInvalid_Character_Err);
    TdomProcessingInstruction* pi = doc->createProcessingInstruction(u"xml-stylesheet", u"href='a'");
    EXPECT_EQ(pi->target(), u"xml-stylesheet");
    pi->setNodeValue(u"data");
    EXPECT_EQ(pi->data(), u"data");
    EXPECT_THROW(doc->createEntityReference(u"a b"), EInvalid_Character_Err);
    EXPECT_THROW(doc->createElement(u""), EInvalid_Character_Err);

    // Identifiers must form literals with one quote or the other.
    EXPECT_THROW(doc->createEntity(u"e", u"", u"a\"b'c", u""), EInvalid_Character_Err);
    EXPECT_THROW(doc->createEntity(u"e", u"{", u"", u""), EInvalid_Character_Err);
    EXPECT_THROW(doc->createEntity(u"1e", u"", u"", u""), EInvalid_Character_Err);
    TdomEntity* internal = doc->createEntity(u"e", u"", u"", u"");
    EXPECT_TRUE(internal->isInternal());
    internal->appendChild(doc->createTextNode(u"x"));
    TdomEntity* external = doc->createEntity(u"x", u"-//P//EN", u"x.xml", u"");
    EXPECT_FALSE(external->isInternal());
    EXPECT_THROW(external->appendChild(doc->createTextNode(u"x")), ENo_Modification_Allowed_Err);
    EXPECT_THROW(doc->createNotation(u"n", u"{", u"a\"b'c"), EInvalid_Character_Err);
    TdomNotation* notation = doc->createNotation(u"n", u"{", u""); // the empty system identifier passes
    EXPECT_EQ(notation->publicId(), u"{");
    notation->setNodeValue(u"ignored");
    EXPECT_EQ(notation->nodeValue(), u"");
}

TEST_F(CharacterData, FillByParsingKnowsThePredefinedEntities) {
    TdomEntityReference* amp = doc->createEntityReference(u"amp");
    EXPECT_TRUE(amp->isPredefined());
    EXPECT_TRUE(amp->fillByParsing());
    ASSERT_EQ(amp->childNodes().length(), 1);
    EXPECT_EQ(amp->firstChild()->nodeValue(), u"&");
    EXPECT_TRUE(amp->fillByParsing()); // filled again, not twice
    EXPECT_EQ(amp->childNodes().length(), 1);
    TdomEntityReference* other = doc->createEntityReference(u"other");
    EXPECT_FALSE(other->isPredefined());
    EXPECT_FALSE(other->fillByParsing());
    EXPECT_FALSE(other->hasChildNodes());
    EXPECT_FALSE(other->validate(nullptr));
    EXPECT_TRUE(amp->validate(nullptr));

    // With a content model: an empty declared entity fills nothing and answers true.
    TdomCMObject* model = impl.createContentModel();
    TdomCMInternalObject* subset = impl.createInternalSubset(u"", u"");
    model->setInternalSubset(subset);
    subset->appendChild(subset->createEntityDeclaration(u"nothing", u"", u"", u"", u""));
    doc->attachContentModel(model);
    TdomEntityReference* nothing = doc->createEntityReference(u"nothing");
    EXPECT_NE(nothing->declaredEntity(), nullptr);
    EXPECT_TRUE(nothing->fillByParsing());
    EXPECT_EQ(doc->createEntityReference(u"undeclared")->declaredEntity(), nullptr);
}

TEST_F(CharacterData, FillByParsingAnswersFalseOnParseErrorsAndPassesOthersOn) {
    TdomCMObject* model = impl.createContentModel();
    TdomCMInternalObject* subset = impl.createInternalSubset(u"", u"");
    model->setInternalSubset(subset);
    subset->appendChild(subset->createEntityDeclaration(u"e", u"<b/>", u"", u"", u""));
    doc->attachContentModel(model);
    TdomEntityReference* reference = doc->createEntityReference(u"e");
    // The fragment parser that a parser front installs, failing in the ways a parse can.
    impl.fragmentParser = [](const std::u16string&, TdomNode*) -> bool {
        throw EParserInvalidElementName_Err("EParserInvalidElementName_Err");
    };
    EXPECT_FALSE(reference->fillByParsing());
    impl.fragmentParser = [](const std::u16string&, TdomNode*) -> bool { throw EHierarchy_Request_Err(); };
    EXPECT_FALSE(reference->fillByParsing());
    // Running out of memory, or an exception of a type the parse does not raise, is no answer.
    impl.fragmentParser = [](const std::u16string&, TdomNode*) -> bool { throw std::bad_alloc(); };
    EXPECT_THROW(reference->fillByParsing(), std::bad_alloc);
    impl.fragmentParser = [](const std::u16string&, TdomNode*) -> bool { throw std::logic_error("bug"); };
    EXPECT_THROW(reference->fillByParsing(), std::logic_error);
}

TEST_F(CharacterData, WhitespaceInElementContentNeedsTheContentModel) {
    TdomElement* list = doc->createDocumentElement(u"list");
    TdomText* space = doc->createTextNode(u" \n\t");
    list->appendChild(space);
    EXPECT_FALSE(space->isWhitespaceInElementContent());
    TdomCMObject* model = impl.createContentModel();
    TdomCMInternalObject* subset = impl.createInternalSubset(u"", u"");
    model->setInternalSubset(subset);
    TdomCMElementTypeDeclaration* declaration =
        subset->createElementTypeDeclaration(u"list", TdomCMContentKind::elementContent);
    TdomCMSequenceParticle* sequence = subset->createSequenceParticle(u"*");
    sequence->appendChild(subset->createElementParticle(u"item", u""));
    declaration->appendChild(sequence);
    subset->appendChild(declaration);
    subset->appendChild(subset->createElementTypeDeclaration(u"mixed", TdomCMContentKind::any));
    doc->attachContentModel(model);
    EXPECT_TRUE(space->isWhitespaceInElementContent());
    TdomText* words = doc->createTextNode(u" a ");
    list->appendChild(words);
    EXPECT_FALSE(words->isWhitespaceInElementContent());
    TdomElement* mixed = doc->createElement(u"mixed");
    list->appendChild(mixed);
    TdomText* inMixed = doc->createTextNode(u" ");
    mixed->appendChild(inMixed);
    EXPECT_FALSE(inMixed->isWhitespaceInElementContent());
    EXPECT_FALSE(doc->createTextNode(u" ")->isWhitespaceInElementContent()); // no parent
}

} // namespace
