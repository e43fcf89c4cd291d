#include <gtest/gtest.h>

#include <memory>

#include "tests/dom/cm_test_support.h"

namespace {

class CMObjectTest : public ::testing::Test {
protected:
    CMObjectTest() {
        model.setInternalSubset(&internal);
        model.setExternalSubset(&external);
    }

    TdomCMObject model{nullptr};
    TdomCMInternalObject internal{nullptr, u"", u""};
    TdomCMExternalObject external{nullptr, u"", u"points.dtd"};

    TdomCMEntityDeclaration* entity(TdomCustomCMIEObject& subset, const std::u16string& name,
                                    const std::u16string& value, const std::u16string& systemId = u"",
                                    const std::u16string& notation = u"") {
        auto* declaration = subset.createEntityDeclaration(name, value, u"", systemId, notation);
        subset.appendChild(declaration);
        return declaration;
    }
    TdomCMAttrDefinition* attribute(TdomCustomCMIEObject& subset, const std::u16string& element,
                                    const std::u16string& name, const std::u16string& type, const std::u16string& kind,
                                    const std::u16string& value) {
        TdomCMAttrList* list = subset.createAttrList(element);
        TdomCMAttrDefinition* definition = subset.createAttrDefinition(name, type, kind, value);
        list->appendChild(definition);
        subset.appendChild(list);
        return definition;
    }
};

TEST_F(CMObjectTest, InternalSubsetIsSearchedFirst) {
    auto* internalE = internal.createElementTypeDeclaration(u"point", TdomCMContentKind::any);
    internal.appendChild(internalE);
    external.appendChild(external.createElementTypeDeclaration(u"point", TdomCMContentKind::empty));
    auto* onlyExternal = external.createElementTypeDeclaration(u"list", TdomCMContentKind::elementContent);
    onlyExternal->appendChild(external.createSequenceParticle(u""));
    external.appendChild(onlyExternal);
    EXPECT_EQ(model.findElementTypeDeclaration(u"point"), internalE);
    EXPECT_EQ(model.findElementTypeDeclaration(u"list"), onlyExternal);
    EXPECT_EQ(model.findElementTypeDeclaration(u"none"), nullptr);
    EXPECT_TRUE(model.hasElementContent(u"list"));
    EXPECT_FALSE(model.hasElementContent(u"point"));
    EXPECT_FALSE(model.hasElementContent(u"none"));

    auto* internalA = attribute(internal, u"point", u"lat", u"NMTOKEN", u"#IMPLIED", u"");
    attribute(external, u"point", u"lat", u"CDATA", u"#IMPLIED", u"");
    auto* externalB = attribute(external, u"point", u"unit", u"CDATA", u"#FIXED", u"deg");
    EXPECT_EQ(model.findAttrDefinition(u"point", u"lat"), internalA);
    EXPECT_EQ(model.findAttrDefinition(u"point", u"unit"), externalB);
    EXPECT_EQ(model.findAttrDefinition(u"point", u"none"), nullptr);
    EXPECT_EQ(model.findAttrDefinition(u"none", u"lat"), nullptr);
    EXPECT_EQ(externalB->attrList()->elementName(), u"point");
    EXPECT_EQ(externalB->defaultKind(), u"#FIXED");
    EXPECT_EQ(externalB->defaultValue(), u"deg");
    EXPECT_EQ(model.attrDefinitionsOf(u"point"), (std::vector<TdomCMAttrDefinition*>{internalA, externalB}));

    auto* internalEntity = entity(internal, u"e", u"inside");
    entity(external, u"e", u"outside");
    EXPECT_EQ(model.findEntityDeclaration(u"e"), internalEntity);
    EXPECT_EQ(model.findEntityDeclaration(u"f"), nullptr);
    auto* notation = external.createNotationDeclaration(u"gif", u"", u"viewer");
    external.appendChild(notation);
    EXPECT_EQ(model.findNotationDeclaration(u"gif"), notation);
    EXPECT_EQ(model.findParameterEntityDeclaration(u"gif"), nullptr);
}

TEST_F(CMObjectTest, FirstDeclarationBindsAndRemovalIsSeen) {
    auto* second = internal.createEntityDeclaration(u"e", u"second", u"", u"", u"");
    internal.appendChild(second);
    auto* first = internal.createEntityDeclaration(u"e", u"first", u"", u"", u"");
    internal.insertBefore(first, second);
    EXPECT_EQ(model.findEntityDeclaration(u"e"), first);
    internal.removeChild(first);
    EXPECT_EQ(model.findEntityDeclaration(u"e"), second);
    internal.removeChild(second);
    EXPECT_EQ(model.findEntityDeclaration(u"e"), nullptr);
    // A declaration that is not a child of a subset is not declared.
    internal.createElementTypeDeclaration(u"loose", TdomCMContentKind::any);
    EXPECT_EQ(model.findElementTypeDeclaration(u"loose"), nullptr);
    // An attribute definition added to a list already in the subset is found at once.
    TdomCMAttrList* list = internal.createAttrList(u"p");
    internal.appendChild(list);
    EXPECT_EQ(model.findAttrDefinition(u"p", u"x"), nullptr);
    auto* x = internal.createAttrDefinition(u"x", u"CDATA", u"#IMPLIED", u"");
    list->appendChild(x);
    EXPECT_EQ(model.findAttrDefinition(u"p", u"x"), x);
}

TEST_F(CMObjectTest, EntityAnswers) {
    entity(internal, u"tab", u"a&#9;b");
    entity(internal, u"nested", u"[&tab; &amp;&#38;#60;]");
    entity(external, u"file", u"", u"file.xml");
    entity(external, u"pic", u"", u"pic.gif", u"gif");
    entity(internal, u"usesFile", u"see &file;");
    entity(internal, u"usesUsesPic", u"&usesPic;");
    entity(internal, u"usesPic", u"look &pic;");
    internal.parameterEntityList().addPair(u"pe", u"from list");
    entity(internal, u"withPe", u"(%pe;)");

    const TdomCMEntityDeclaration* tab = model.findEntityDeclaration(u"tab");
    EXPECT_EQ(tab->replacementText(), u"a\tb");
    EXPECT_EQ(tab->normalizedValue(), u"a b");
    const TdomCMEntityDeclaration* nested = model.findEntityDeclaration(u"nested");
    EXPECT_EQ(nested->replacementText(), u"[&tab; &amp;&#60;]");
    EXPECT_EQ(nested->normalizedValue(), u"[a b &<]");
    EXPECT_FALSE(nested->isUnusable());
    EXPECT_EQ(model.findEntityDeclaration(u"withPe")->replacementText(), u"(from list)");

    EXPECT_TRUE(model.findEntityDeclaration(u"file")->refersToExternalEntity());
    EXPECT_TRUE(model.findEntityDeclaration(u"usesFile")->refersToExternalEntity());
    EXPECT_FALSE(model.findEntityDeclaration(u"usesFile")->refersToUnparsedEntity());
    EXPECT_FALSE(nested->refersToExternalEntity());
    EXPECT_TRUE(model.findEntityDeclaration(u"usesUsesPic")->refersToUnparsedEntity());
    EXPECT_TRUE(model.findEntityDeclaration(u"usesUsesPic")->refersToExternalEntity());
    EXPECT_FALSE(model.findEntityDeclaration(u"tab")->refersToUnparsedEntity());
}

TEST_F(CMObjectTest, UnusableEntities) {
    entity(internal, u"self", u"x&self;");
    entity(internal, u"ping", u"&pong;");
    entity(internal, u"pong", u"&ping;");
    entity(internal, u"undeclared", u"&nobody;");
    entity(internal, u"badPe", u"%nope;");
    entity(internal, u"badChar", u"&#xFFFE;");
    for (const char16_t* name : {u"self", u"ping", u"pong", u"undeclared", u"badPe", u"badChar"}) {
        const TdomCMEntityDeclaration* e = model.findEntityDeclaration(name);
        ASSERT_NE(e, nullptr);
        EXPECT_TRUE(e->isUnusable()) << std::string(e->nodeName().begin(), e->nodeName().end());
        EXPECT_EQ(e->normalizedValue(), u"");
        EXPECT_EQ(e->replacementText(), u"");
        EXPECT_FALSE(e->refersToExternalEntity());
    }
    // Inside a CDATA section, a comment or a processing instruction "&name;" is no reference; after
    // them references count again.
    entity(internal, u"quoted", u"<![CDATA[&nobody;]]><!--&nobody;--><?p &nobody;?>");
    entity(internal, u"quotedThenSelf", u"<![CDATA[x]]>&quotedThenSelf;");
    entity(internal, u"commentThenFile", u"<!--x-->&file;");
    EXPECT_FALSE(model.findEntityDeclaration(u"quoted")->isUnusable());
    EXPECT_EQ(model.findEntityDeclaration(u"quoted")->replacementText(),
              u"<![CDATA[&nobody;]]><!--&nobody;--><?p &nobody;?>");
    EXPECT_TRUE(model.findEntityDeclaration(u"quotedThenSelf")->isUnusable());
    entity(external, u"file", u"", u"file.ent");
    EXPECT_TRUE(model.findEntityDeclaration(u"commentThenFile")->refersToExternalEntity());
    // Exponential expansion: each level doubles; 40 levels would be 2^40 units. Bounded instead.
    entity(internal, u"l0", u"xxxxxxxx");
    for (int i = 1; i <= 40; ++i) {
        std::u16string name = u"l";
        for (char c : std::to_string(i)) name += static_cast<char16_t>(c);
        std::u16string ref = u"&l";
        for (char c : std::to_string(i - 1)) ref += static_cast<char16_t>(c);
        ref += u";";
        entity(internal, name, ref + ref);
    }
    EXPECT_FALSE(model.findEntityDeclaration(u"l10")->isUnusable());
    EXPECT_EQ(model.findEntityDeclaration(u"l10")->normalizedValue().size(), 8u * 1024u);
    EXPECT_TRUE(model.findEntityDeclaration(u"l40")->isUnusable());
    EXPECT_FALSE(model.findEntityDeclaration(u"l40")->refersToExternalEntity());
}

TEST_F(CMObjectTest, WholeDefinitionCheckAndElementValidation) {
    RecordingErrorHandler handler;
    EXPECT_TRUE(model.selfCheck(&handler));
    auto* list = internal.createElementTypeDeclaration(u"list", TdomCMContentKind::elementContent);
    auto* sequence = internal.createSequenceParticle(u"");
    sequence->appendChild(internal.createElementParticle(u"item", u"+"));
    list->appendChild(sequence);
    internal.appendChild(list);
    std::vector<std::u16string> items{u"item", u"item"};
    EXPECT_TRUE(model.validateElementContent(u"list", items, &handler));
    std::vector<std::u16string> none;
    EXPECT_FALSE(model.validateElementContent(u"list", none, &handler));
    EXPECT_FALSE(model.validateElementContent(u"undeclared", items, &handler));
    EXPECT_EQ(handler.classes, (std::vector<std::string>{"EParserElement_With_Illegal_Element_Content_Err",
                                                         "EParserElement_With_Illegal_Element_Content_Err"}));
    // The external subset is checked too.
    handler.classes.clear();
    attribute(external, u"list", u"id", u"ID", u"", u"x");
    EXPECT_FALSE(model.selfCheck(&handler));
    EXPECT_EQ(handler.classes, (std::vector<std::string>{"EParserId_Neither_Implied_Nor_Required_Err"}));
}

TEST(CMObjectLinks, FreeingEitherSideClearsTheOther) {
    TdomCMObject model(nullptr);
    auto internal = std::make_unique<TdomCMInternalObject>(nullptr, u"", u"");
    auto external = std::make_unique<TdomCMExternalObject>(nullptr, u"", u"");
    model.setInternalSubset(internal.get());
    model.setExternalSubset(external.get());
    EXPECT_EQ(internal->contentModel(), &model);
    internal.reset();
    EXPECT_EQ(model.internalSubset(), nullptr);
    EXPECT_EQ(model.findEntityDeclaration(u"x"), nullptr);
    // A subset moved to another content model leaves the first.
    TdomCMObject other(nullptr);
    other.setExternalSubset(external.get());
    EXPECT_EQ(model.externalSubset(), nullptr);
    EXPECT_EQ(external->contentModel(), &other);
    {
        TdomCMObject shortLived(nullptr);
        shortLived.setExternalSubset(external.get());
    }
    EXPECT_EQ(external->contentModel(), nullptr);
    EXPECT_EQ(other.externalSubset(), nullptr);
}

TEST(CMObjectScale, ManyDeclarations) {
    // Declaring and looking up many names stays fast; freeing them needs no recursion.
    constexpr int kCount = 200000;
    TdomCMObject model(nullptr);
    TdomCMInternalObject internal(nullptr, u"", u"");
    model.setInternalSubset(&internal);
    for (int i = 0; i < kCount; ++i) {
        std::u16string name = u"e";
        for (char c : std::to_string(i)) name += static_cast<char16_t>(c);
        internal.appendChild(internal.createElementTypeDeclaration(name, TdomCMContentKind::empty));
    }
    EXPECT_EQ(internal.elementTypeDeclarations().length(), static_cast<std::size_t>(kCount));
    EXPECT_NE(model.findElementTypeDeclaration(u"e199999"), nullptr);
    EXPECT_EQ(model.findElementTypeDeclaration(u"e200000"), nullptr);
    EXPECT_TRUE(model.selfCheck(nullptr));
}

} // namespace
