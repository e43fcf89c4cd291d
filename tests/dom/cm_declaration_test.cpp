#include <gtest/gtest.h>

#include "tests/dom/cm_test_support.h"
#include "text/dom_exception.h"
#include "text/stream.h"

namespace {

class CMDeclarationTest : public ::testing::Test {
protected:
    TdomCMInternalObject subset{nullptr, u"", u""};
    ModelBuilder m{subset};
};

TEST_F(CMDeclarationTest, ConstructionRefusals) {
    EXPECT_THROW(subset.createElementTypeDeclaration(u"1a", TdomCMContentKind::any), EInvalid_Character_Err);
    EXPECT_THROW(subset.createAttrList(u"a b"), EInvalid_Character_Err);
    EXPECT_THROW(subset.createElementParticle(u"", u""), EInvalid_Character_Err);
    EXPECT_THROW(subset.createNameParticle(u"-n"), EInvalid_Character_Err);
    EXPECT_NO_THROW(subset.createNmtokenParticle(u"-n"));
    EXPECT_THROW(subset.createNmtokenParticle(u"a b"), EInvalid_Character_Err);
    EXPECT_THROW(subset.createParameterEntityReference(u"%pe"), EInvalid_Character_Err);
    // Occurrences.
    EXPECT_THROW(subset.createSequenceParticle(u"**"), EInvalid_Character_Err);
    EXPECT_THROW(subset.createElementParticle(u"a", u"x"), EInvalid_Character_Err);
    EXPECT_THROW(subset.createPcdataChoiceParticle(u"+"), EInvalid_Character_Err);
    EXPECT_THROW(subset.createPcdataChoiceParticle(u"?"), EInvalid_Character_Err);
    // Attribute definitions.
    EXPECT_THROW(subset.createAttrDefinition(u"id", u"ID", u"#REQUIRED", u"x"), EInvalid_Character_Err);
    EXPECT_THROW(subset.createAttrDefinition(u"a", u"CDATA", u"#IMPLIED", u"x"), EInvalid_Character_Err);
    EXPECT_THROW(subset.createAttrDefinition(u"a", u"STRING", u"#IMPLIED", u""), EInvalid_Character_Err);
    EXPECT_THROW(subset.createAttrDefinition(u"a", u"CDATA", u"#DEFAULT", u""), EInvalid_Character_Err);
    EXPECT_THROW(subset.createAttrDefinition(u"a", u"CDATA", u"#FIXED", u"a<b"), EInvalid_Character_Err);
    EXPECT_THROW(subset.createAttrDefinition(u"a", u"CDATA", u"", u"a&b"), EInvalid_Character_Err);
    EXPECT_NO_THROW(subset.createAttrDefinition(u"a", u"NMTOKENS", u"#FIXED", u"say \"hi\""));
    EXPECT_NO_THROW(subset.createAttrDefinition(u"a", u"CDATA", u"", u"a&amp;b"));
    // Notations: a system identifier with both quotes needs a valid public identifier.
    EXPECT_THROW(subset.createNotationDeclaration(u"n", u"{bad}", u"a\"b'c"), EInvalid_Character_Err);
    EXPECT_NO_THROW(subset.createNotationDeclaration(u"n", u"-//good//EN", u"a\"b'c"));
    EXPECT_THROW(subset.createNotationDeclaration(u"1n", u"", u"x"), EInvalid_Character_Err);
    // Entities.
    EXPECT_THROW(subset.createEntityDeclaration(u"e", u"v", u"", u"sys", u""), EInvalid_Character_Err);
    EXPECT_THROW(subset.createEntityDeclaration(u"e", u"v", u"", u"", u"gif"), EInvalid_Character_Err);
    EXPECT_THROW(subset.createEntityDeclaration(u"e", u"", u"", u"sys", u"1gif"), EInvalid_Character_Err);
    EXPECT_THROW(subset.createEntityDeclaration(u"e", u"a&b", u"", u"", u""), EInvalid_Character_Err);
    EXPECT_THROW(subset.createEntityDeclaration(u"e", u"", u"p{", u"sys", u""), EInvalid_Character_Err);
    EXPECT_THROW(subset.createParameterEntityDeclaration(u"p", u"%x", u"", u""), EInvalid_Character_Err);
    TdomCMEntityDeclaration* entity = subset.createEntityDeclaration(u"e", u"", u"", u"pic.gif", u"gif");
    EXPECT_TRUE(entity->isReadonly());
    EXPECT_FALSE(entity->parsed());
    EXPECT_FALSE(entity->internal());
    EXPECT_THROW(entity->setNodeValue(u"x"), ENo_Modification_Allowed_Err);
}

TEST_F(CMDeclarationTest, DeclarationTexts) {
    EXPECT_EQ(subset.createElementTypeDeclaration(u"a", TdomCMContentKind::empty)->declarationText(),
              u"<!ELEMENT a EMPTY  >");
    EXPECT_EQ(subset.createElementTypeDeclaration(u"a", TdomCMContentKind::any)->declarationText(),
              u"<!ELEMENT a ANY  >");
    TdomCMElementTypeDeclaration* content =
        subset.createElementTypeDeclaration(u"doc", TdomCMContentKind::elementContent);
    content->appendChild(
        m.seq({m.el(u"a"), m.el(u"b", u"?"), m.choice({m.el(u"c"), m.el(u"d")}, u"*"), m.el(u"e", u"+")}));
    EXPECT_EQ(content->declarationText(), u"<!ELEMENT doc (a, b?, (c | d)*, e+) >");
    TdomCMElementTypeDeclaration* mixed = subset.createElementTypeDeclaration(u"p", TdomCMContentKind::mixed);
    TdomCMPcdataChoiceParticle* pcdata = subset.createPcdataChoiceParticle(u"*");
    mixed->appendChild(pcdata);
    EXPECT_EQ(mixed->declarationText(), u"<!ELEMENT p ( #PCDATA )* >");
    pcdata->appendChild(m.el(u"b"));
    pcdata->appendChild(m.el(u"i"));
    EXPECT_EQ(mixed->declarationText(), u"<!ELEMENT p ( #PCDATA | b | i )* >");
    // A lone (#PCDATA) has no occurrence of its own.
    TdomCMElementTypeDeclaration* text = subset.createElementTypeDeclaration(u"t", TdomCMContentKind::mixed);
    text->appendChild(subset.createPcdataChoiceParticle(u""));
    EXPECT_EQ(text->declarationText(), u"<!ELEMENT t ( #PCDATA ) >");

    TdomCMAttrList* list = subset.createAttrList(u"img");
    list->appendChild(subset.createAttrDefinition(u"src", u"CDATA", u"#REQUIRED", u""));
    TdomCMAttrDefinition* align = subset.createAttrDefinition(u"align", u"", u"", u"left");
    align->appendChild(subset.createNmtokenParticle(u"left"));
    align->appendChild(subset.createNmtokenParticle(u"right"));
    list->appendChild(align);
    TdomCMAttrDefinition* format = subset.createAttrDefinition(u"format", u"NOTATION", u"#FIXED", u"say \"gif\"");
    format->appendChild(subset.createNameParticle(u"gif"));
    list->appendChild(format);
    EXPECT_EQ(list->declarationText(), u"<!ATTLIST img\n\tsrc\tCDATA\t\t#REQUIRED\n\talign\t(left | right)\t\"left\""
                                       u"\n\tformat\tNOTATION\t(gif)\t#FIXED\t'say \"gif\"'>");
    EXPECT_EQ(subset.createAttrList(u"none")->declarationText(), u"<!ATTLIST none>");

    EXPECT_EQ(subset.createEntityDeclaration(u"q", u"say \"hi\"", u"", u"", u"")->declarationText(),
              u"<!ENTITY q \t'say \"hi\"'>");
    EXPECT_EQ(subset.createEntityDeclaration(u"v", u"it's", u"", u"", u"")->declarationText(),
              u"<!ENTITY v \t\"it's\">");
    EXPECT_EQ(subset.createEntityDeclaration(u"pic", u"", u"", u"pic.gif", u"gif")->declarationText(),
              u"<!ENTITY pic  SYSTEM \"pic.gif\" NDATA gif >");
    EXPECT_EQ(subset.createParameterEntityDeclaration(u"pe", u"(a|b)", u"", u"")->declarationText(),
              u"<!ENTITY % pe \t\"(a|b)\">");
    EXPECT_EQ(subset.createParameterEntityDeclaration(u"ext", u"", u"-//X//EN", u"x.ent")->declarationText(),
              u"<!ENTITY % ext  PUBLIC \"-//X//EN\" \"x.ent\" >");
    EXPECT_EQ(subset.createNotationDeclaration(u"gif", u"", u"viewer")->declarationText(),
              u"<!NOTATION gif  SYSTEM \"viewer\" >");
    EXPECT_EQ(subset.createParameterEntityReference(u"pe")->declarationText(), u"%pe;");
    EXPECT_EQ(subset.createComment(u" note ")->declarationText(), u"<!-- note -->");
    EXPECT_EQ(subset.createProcessingInstruction(u"app", u"run")->declarationText(), u"<?app run?>");

    // writeDeclaration writes the same text as UTF-16 code units.
    TMemoryStream stream;
    content->writeDeclaration(stream);
    std::u16string expected = content->declarationText();
    ASSERT_EQ(stream.size(), static_cast<std::int64_t>(expected.size() * 2));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(stream.memory()), expected.size()), expected);
}

TEST_F(CMDeclarationTest, UnwritableNodesRefuseBeforeWriting) {
    EXPECT_THROW(subset.createSequenceParticle(u"")->declarationText(), ENot_Supported_Err);
    EXPECT_THROW(subset.createChoiceParticle(u"*")->declarationText(), ENot_Supported_Err);
    EXPECT_THROW(subset.createElementTypeDeclaration(u"a", TdomCMContentKind::elementContent)->declarationText(),
                 ENot_Supported_Err);
    EXPECT_THROW(subset.createElementTypeDeclaration(u"a", TdomCMContentKind::mixed)->declarationText(),
                 ENot_Supported_Err);
    // An empty group deep inside a declaration refuses the whole text; nothing reaches the stream.
    TdomCMElementTypeDeclaration* declaration =
        subset.createElementTypeDeclaration(u"a", TdomCMContentKind::elementContent);
    declaration->appendChild(m.seq({m.el(u"b"), m.choice({})}));
    TMemoryStream stream;
    EXPECT_THROW(declaration->writeDeclaration(stream), ENot_Supported_Err);
    EXPECT_EQ(stream.size(), 0);
}

TEST_F(CMDeclarationTest, SelfCheckReports) {
    RecordingErrorHandler handler;
    TdomCMPcdataChoiceParticle* mixed = subset.createPcdataChoiceParticle(u"*");
    for (const char16_t* name : {u"a", u"b", u"a"}) mixed->appendChild(m.el(name));
    EXPECT_FALSE(mixed->selfCheck(&handler));
    ASSERT_EQ(handler.classes.size(), 1u);
    EXPECT_EQ(handler.classes[0], "EParserDuplicate_Name_In_Mixed_Content_Err");
    EXPECT_EQ(handler.codes[0], u"a");

    handler.classes.clear();
    TdomCMAttrDefinition* fixedId = subset.createAttrDefinition(u"id", u"ID", u"#FIXED", u"x");
    EXPECT_FALSE(fixedId->selfCheck(&handler));
    EXPECT_TRUE(subset.createAttrDefinition(u"id", u"ID", u"#IMPLIED", u"")->selfCheck(&handler));
    EXPECT_TRUE(subset.createAttrDefinition(u"id", u"ID", u"#REQUIRED", u"")->selfCheck(nullptr));
    TdomCMAttrDefinition* tokens = subset.createAttrDefinition(u"t", u"", u"#IMPLIED", u"");
    for (const char16_t* token : {u"x", u"y", u"x"}) tokens->appendChild(subset.createNmtokenParticle(token));
    EXPECT_FALSE(tokens->selfCheck(&handler));
    // An ID with default value and duplicate tokens would report both; here: one each.
    EXPECT_EQ(handler.classes,
              (std::vector<std::string>{"EParserId_Neither_Implied_Nor_Required_Err", "EParserDuplicate_Tokens_Err"}));

    // A subset checks its declarations in turn and stops at the first that fails.
    handler.classes.clear();
    TdomCMElementTypeDeclaration* p = subset.createElementTypeDeclaration(u"p", TdomCMContentKind::mixed);
    p->appendChild(mixed);
    subset.appendChild(subset.createElementTypeDeclaration(u"e", TdomCMContentKind::empty));
    subset.appendChild(p);
    TdomCMAttrList* list = subset.createAttrList(u"p");
    list->appendChild(fixedId);
    subset.appendChild(list);
    EXPECT_FALSE(subset.selfCheck(&handler));
    EXPECT_EQ(handler.classes, (std::vector<std::string>{"EParserDuplicate_Name_In_Mixed_Content_Err"}));
    // Group particles always pass.
    EXPECT_TRUE(m.seq({m.el(u"a"), m.el(u"a")})->selfCheck(&handler));
}

} // namespace
