#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dom/cm_declaration.h"
#include "dom/document.h"
#include "front/xml_to_dom_parser.h"
#include "tests/dom/cm_test_support.h"
#include "tests/dtd/dtd_chain_helpers.h"
#include "tests/support/parser_chains.h"
#include "tests/support/test_data.h"
#include "text/parser_exception.h"
#include "text/stream.h"

namespace {

std::string declarationsOf(const std::string& dtd, bool external = true) {
    DtdBuildChain chain;
    bool ok = external ? chain.readExternal(dtd) : chain.readInternal(dtd);
    if (!ok) return "error: " + chain.reports.last();
    return DtdBuildChain::text(external ? static_cast<TdomCMNode*>(chain.external) : chain.internal);
}

std::string errorOf(const std::string& dtd, bool external = true) {
    DtdBuildChain chain;
    bool ok = external ? chain.readExternal(dtd) : chain.readInternal(dtd);
    return ok ? std::string("ok") : chain.reports.last();
}

} // namespace

TEST(DtdBuilderElements, ContentSpecificationsBecomeParticles) {
    EXPECT_EQ(declarationsOf("<!ELEMENT r (a, (b | c)*, d?)>"), "<!ELEMENT r (a, (b | c)*, d?) >\n");
    EXPECT_EQ(declarationsOf("<!ELEMENT m (#PCDATA | a | b)*>"), "<!ELEMENT m ( #PCDATA | a | b )* >\n");
    EXPECT_EQ(declarationsOf("<!ELEMENT p ( #PCDATA )>"), "<!ELEMENT p ( #PCDATA ) >\n");
    EXPECT_EQ(declarationsOf("<!ELEMENT e EMPTY><!ELEMENT y ANY>", false),
              "<!ELEMENT e EMPTY  >\n<!ELEMENT y ANY  >\n");
    EXPECT_EQ(declarationsOf("<!ELEMENT c ((x|y)+,(z))>"), "<!ELEMENT c ((x | y)+, (z)) >\n");

    for (const char* bad : {"<!ELEMENT m (#PCDATA | a)>", "<!ELEMENT s (a, b | c)>", "<!ELEMENT s ((a)>",
                            "<!ELEMENT s (a)(b)>", "<!ELEMENT s (  )>", "<!ELEMENT s (a,)>", "<!ELEMENT s foo>",
                            "<!ELEMENT s (a) *>", "<!ELEMENT m (x #PCDATA | a)*>", "<!ELEMENT m (#PCDATA|1a)*>"}) {
        DtdBuildChain chain;
        EXPECT_FALSE(chain.readExternal(bad)) << bad;
        EXPECT_EQ(chain.reports.last(), "EParserInvalidElementDeclaration_Err") << bad;
        EXPECT_FALSE(chain.external->hasChildNodes()) << bad;
    }
}

TEST(DtdBuilderElements, DeepContentModelsNeedNoDeepStack) {
    const int depth = 200000;
    std::string model = std::string(depth, '(') + "a" + std::string(depth, ')');
    DtdBuildChain chain;
    EXPECT_TRUE(chain.readExternal("<!ELEMENT d " + model + ">"));
    ASSERT_EQ(chain.external->children().size(), 1u);
    EXPECT_EQ(chain.external->firstChild()->declarationText().size(), model.size() + 14);
}

TEST(DtdBuilderAttributeLists, DefinitionsAndEnumerations) {
    DtdBuildChain chain;
    ASSERT_TRUE(chain.readExternal("<!ATTLIST r id ID #REQUIRED kind (x | y | x) \"x\" n NOTATION (png|gif) #IMPLIED "
                                   "v CDATA #FIXED '1.0'>"));
    ASSERT_EQ(chain.external->children().size(), 1u);
    const TdomCMNode* list = chain.external->firstChild();
    EXPECT_EQ(list->nodeType(), TdomCMNodeType::attrList);
    ASSERT_EQ(list->children().size(), 4u);
    auto definition = [&](int i) { return static_cast<const TdomCMAttrDefinition*>(list->children()[i]); };
    EXPECT_EQ(definition(0)->declaredType(), u"ID");
    EXPECT_EQ(definition(0)->defaultKind(), u"#REQUIRED");
    EXPECT_EQ(definition(1)->declaredType(), u"");
    EXPECT_EQ(definition(1)->defaultValue(), u"x");
    ASSERT_EQ(definition(1)->children().size(), 3u);
    EXPECT_EQ(definition(1)->children()[2]->nodeType(), TdomCMNodeType::nmtokenParticle);
    ASSERT_EQ(definition(2)->children().size(), 2u);
    EXPECT_EQ(definition(2)->children()[1]->nodeType(), TdomCMNodeType::nameParticle);
    EXPECT_EQ(definition(2)->children()[1]->nodeName(), u"gif");
    EXPECT_EQ(definition(3)->defaultKind(), u"#FIXED");
    EXPECT_EQ(definition(3)->defaultValue(), u"1.0");
    // The duplicate token is left to the self-check.
    RecordingErrorHandler handler;
    EXPECT_FALSE(chain.external->selfCheck(&handler));
    EXPECT_EQ(handler.classes, (std::vector<std::string>{"EParserDuplicate_Tokens_Err"}));

    for (const char* bad : {"<!ATTLIST r k (a|) #IMPLIED>", "<!ATTLIST r n NOTATION (1x) #IMPLIED>",
                            "<!ATTLIST r v CDATA #FOO>", "<!ATTLIST r id BOGUS #IMPLIED>"}) {
        EXPECT_EQ(errorOf(bad), "EParserInvalidAttributeDeclaration_Err") << bad;
    }
}

TEST(DtdBuilderEntities, ParameterEntityReplacementTexts) {
    DtdBuildChain chain;
    ASSERT_TRUE(chain.readExternal("<!ENTITY % a \"&#x41;&amp;\"><!ENTITY % b '[%a;]'><!ENTITY e \"v\">"
                                   "<!ENTITY % ext SYSTEM \"none.ent\"><!NOTATION n SYSTEM 'n'>"));
    EXPECT_EQ(DtdBuildChain::parameterEntity(chain.external, u"a"), "A&amp;");
    EXPECT_EQ(DtdBuildChain::parameterEntity(chain.external, u"b"), "[A&amp;]");
    // An external parameter entity is fetched where it is referred to; without
    // onExternalParsedEntity it is not found there.
    EXPECT_EQ(DtdBuildChain::parameterEntity(chain.external, u"ext"), "<none>");
    EXPECT_FALSE(chain.readExternal("<!ENTITY % ext SYSTEM \"none.ent\">%ext;"));
    EXPECT_EQ(chain.reports.last(), "EParserExternal_Entity_Not_Found_Err");
    // In the internal subset a parameter-entity reference may not stand inside a declaration.
    for (const char* bad : {"<!ENTITY % a 'x'><!ENTITY % b '[%a;]'>", "<!ENTITY % a 'x'><!ENTITY e '%a;'>"}) {
        DtdBuildChain internal;
        EXPECT_FALSE(internal.readInternal(bad)) << bad;
        EXPECT_EQ(internal.reports.last(), "EParserInvalidEntityDeclaration_Err") << bad;
    }

    // A reference between declarations is kept, and the declarations of its text take effect there;
    // a text that is no declaration is refused.
    EXPECT_EQ(declarationsOf("<!ENTITY % a '<!ELEMENT x ANY>'><!NOTATION n SYSTEM 'n'>%a;", false),
              "<!ENTITY % a \t\"<!ELEMENT x ANY>\">\n<!NOTATION n  SYSTEM \"n\" >\n%a;\n<!ELEMENT x ANY  >\n");
    EXPECT_EQ(errorOf("<!ENTITY % a 'x'>%a;", false), "EParserInvalidEntityName_Err");
    EXPECT_EQ(errorOf("<!ELEMENT x ANY>%undeclared;", false), "EParserUnresolvable_Parameter_Entity_Reference_Err");
    for (const char* bad : {"<!ENTITY % a 'x&y'>", "<!ENTITY % a '%nope;'>", "<!ENTITY % a '&#0;'>"})
        EXPECT_EQ(errorOf(bad, false), "EParserInvalidEntityDeclaration_Err") << bad;
}

TEST(DtdBuilderEntities, ExternalParameterEntitiesComeFromTheImplementation) {
    DtdBuildChain chain(u"dir/main.dtd");
    int calls = 0;
    std::u16string parent;
    chain.implementation.onExternalParsedEntity = [&](void*, const std::u16string& parentSystemId, std::u16string&,
                                                      std::u16string& systemId, TStream*& stream,
                                                      TdomParserAction& action) {
        parent = parentSystemId;
        if (++calls < 3) {
            action = TdomParserAction::paRetry;
            return;
        }
        action = TdomParserAction::paOK;
        if (systemId == u"decl.ent") stream = new TMemoryStream("<?xml encoding='UTF-8'?><!ELEMENT q ANY>");
    };
    ASSERT_TRUE(chain.readExternal("<!ENTITY % ext SYSTEM \"decl.ent\">%ext;"));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(parent, u"dir/main.dtd");
    EXPECT_EQ(DtdBuildChain::parameterEntity(chain.external, u"ext"), "<!ELEMENT q ANY>");
    ASSERT_EQ(chain.external->children().size(), 2u);
    EXPECT_EQ(chain.external->lastChild()->nodeName(), u"q");

    // paOK without a stream: the load goes on, but the entity has no text.
    calls = 0;
    DtdBuildChain second;
    second.implementation.onExternalParsedEntity = chain.implementation.onExternalParsedEntity;
    EXPECT_FALSE(second.readExternal("<!ENTITY % other SYSTEM \"other.ent\">%other;"));
    EXPECT_EQ(second.reports.last(), "EParserUnresolvable_Parameter_Entity_Reference_Err");
    // A subset without a system identifier of its own names the input being read as the parent.
    DtdBuildChain anonymous(u"");
    anonymous.implementation.onExternalParsedEntity = chain.implementation.onExternalParsedEntity;
    anonymous.readExternal("<!ENTITY % other SYSTEM \"other.ent\">%other;");
    EXPECT_EQ(parent, u"test.dtd");

    DtdBuildChain refused;
    refused.implementation.onExternalParsedEntity = [](void*, const std::u16string&, std::u16string&, std::u16string&,
                                                       TStream*&, TdomParserAction&) {};
    EXPECT_TRUE(refused.readExternal("<!ENTITY % unused SYSTEM \"decl.ent\">"));
    EXPECT_FALSE(refused.readExternal("<!ENTITY % ext SYSTEM \"decl.ent\">%ext;"));
    EXPECT_EQ(refused.reports.last(), "EParserExternal_Entity_Not_Found_Err");

    // A stream handed over is the builder's even when the next call raises.
    struct CountedStream : TMemoryStream {
        explicit CountedStream(int& freed) : freed(freed) {}
        ~CountedStream() override { ++freed; }
        int& freed;
    };
    int freed = 0;
    DtdBuildChain raising;
    raising.implementation.onExternalParsedEntity = [&](void*, const std::u16string&, std::u16string&, std::u16string&,
                                                        TStream*& stream, TdomParserAction& action) {
        if (stream) throw EConvertError("unreachable");
        stream = new CountedStream(freed);
        action = TdomParserAction::paRetry;
    };
    EXPECT_THROW(raising.readExternal("<!ENTITY % ext SYSTEM \"decl.ent\">%ext;"), EConvertError);
    EXPECT_EQ(freed, 1);
    // A text declaration that is not at the very start, or names a standalone status, is refused.
    for (const char* text : {"\n<?xml encoding='UTF-8'?>", "<?xml encoding='UTF-8' standalone='yes'?>"}) {
        DtdBuildChain misdeclared;
        misdeclared.implementation.onExternalParsedEntity = [text](void*, const std::u16string&, std::u16string&,
                                                                   std::u16string&, TStream*& stream,
                                                                   TdomParserAction& action) {
            stream = new TMemoryStream(text);
            action = TdomParserAction::paOK;
        };
        EXPECT_FALSE(misdeclared.readExternal("<!ENTITY % ext SYSTEM \"decl.ent\">%ext;")) << text;
        EXPECT_EQ(misdeclared.reports.last(), "EParserInvalidTextDeclaration_Err") << text;
    }
    // An entity whose encoding is not known is told, read as UTF-8 and used.
    DtdBuildChain unknown;
    unknown.implementation.onExternalParsedEntity = [](void*, const std::u16string&, std::u16string&, std::u16string&,
                                                       TStream*& stream, TdomParserAction& action) {
        stream = new TMemoryStream("<?xml encoding='Shift-JIS-2004'?><!ELEMENT q ANY>");
        action = TdomParserAction::paOK;
    };
    EXPECT_TRUE(unknown.readExternal("<!ENTITY % ext SYSTEM \"decl.ent\">%ext;"));
    EXPECT_EQ(unknown.reports.classes, std::vector<std::string>{"EParserUnusable_Encoding_Declaration_Err"});
    EXPECT_EQ(unknown.reports.codes.back(), u"unknown encoding \"Shift-JIS-2004\"");
    EXPECT_EQ(unknown.external->lastChild()->nodeName(), u"q");
}

TEST(DtdBuilderNestedReads, ReferencesAndIncludedSectionsOfTheExternalSubset) {
    DtdBuildChain chain;
    ASSERT_TRUE(chain.readExternal("<?xml version='1.0' encoding='UTF-8'?>"
                                   "<!ENTITY % decl \"<!ELEMENT z ANY>\">%decl;"
                                   "<![INCLUDE[<!ELEMENT i ANY><![IGNORE[<!ELEMENT g ANY>]]>]]>"
                                   "<![IGNORE[<!ELEMENT h ANY>]]><![INCLUDE[]]>"));
    EXPECT_EQ(DtdBuildChain::text(chain.external),
              "<!ENTITY % decl \t\"<!ELEMENT z ANY>\">\n<!ELEMENT z ANY  >\n<!ELEMENT i ANY  >\n");
    EXPECT_EQ(chain.external->version(), u"1.0");
    EXPECT_EQ(chain.external->encoding(), u"UTF-8");

    EXPECT_EQ(errorOf("%nope;"), "EParserUnresolvable_Parameter_Entity_Reference_Err");
    EXPECT_EQ(errorOf("<!ENTITY % bad \"<!ELEMENT\">%bad;"), "EParserInvalidEntityName_Err");
    EXPECT_EQ(errorOf("<![INCLUDE[<!ELEMENT>]]>"), "EParserInvalidConditionalSection_Err");
}

TEST(DtdBuilderNestedReads, NestedSectionsAreHandedOverAndReadWhole) {
    // Three levels, each with declarations before and after comments longer than the blocks that a
    // nested read lets go of while it reads.
    const std::string filler = "<!--" + std::string(100000, 'x') + "-->";
    const std::string inner = "<!ELEMENT a1 ANY>" + filler + "<![INCLUDE[<!ELEMENT b1 ANY>" + filler +
                              "<![INCLUDE[<!ELEMENT c ANY>" + filler + "]]>" + filler + "<!ELEMENT b2 ANY>]]>" +
                              filler + "<!ELEMENT a2 ANY>";
    auto run = [&](DtdBuildChain& chain) {
        // Per nested read of this builder: whether it took the text over, and whether it let go of it.
        std::vector<std::pair<bool, bool>> reads;
        chain.builder.setNestedReader([&](const TXmlNestedSubsetRead& read) {
            const bool ok = TXmlToDomParser::readNestedSubset(read);
            reads.emplace_back(read.consume, read.text.empty());
            return ok;
        });
        EXPECT_TRUE(chain.readExternal("<![INCLUDE[" + inner + "]]>"));
        std::string names;
        for (const TdomCMNode* child : chain.external->children())
            if (child->nodeType() == TdomCMNodeType::elementTypeDeclaration) names += u8(child->nodeName()) + " ";
        EXPECT_EQ(names, "a1 b1 c b2 a2 ");
        return reads;
    };
    DtdBuildChain alone;
    EXPECT_EQ(run(alone), (std::vector<std::pair<bool, bool>>{{true, true}}));
    // A handler after the builder is given the outer section whole: that text is only lent.
    DtdBuildChain followed;
    DtdSignalRecorder after;
    followed.builder.setNextHandler(&after);
    EXPECT_EQ(run(followed), (std::vector<std::pair<bool, bool>>{{false, false}}));
    EXPECT_NE(std::find(after.lines.begin(), after.lines.end(), "cond(INCLUDE|" + inner + ")"), after.lines.end());
}

TEST(DtdBuilderNestedReads, ATextDeclarationIsRefusedInAnIncludedSectionAsInAReference) {
    // It would set the version and encoding of the subset in the middle of it.
    for (const char* text : {"<!ENTITY % t \"<?xml encoding='UTF-8'?><!ELEMENT a ANY>\">%t;",
                             "<![INCLUDE[<?xml encoding='UTF-8'?><!ELEMENT a ANY>]]>",
                             "<![INCLUDE[ <![INCLUDE[<?xml encoding='UTF-8'?>]]> ]]>"}) {
        DtdBuildChain chain;
        EXPECT_THROW(chain.readExternal(text), EParserInvalidTextDeclaration_Err) << text;
        EXPECT_EQ(chain.external->encoding(), u"") << text;
    }
}

TEST(DtdBuilderNestedReads, NestingAndExpansionAreBounded) {
    // A record of a reached bound says which one in its code.
    auto boundOf = [](const std::string& dtd, bool external = true) {
        DtdBuildChain chain;
        EXPECT_FALSE(external ? chain.readExternal(dtd) : chain.readInternal(dtd)) << dtd;
        return chain.reports.last() + " " + u8(chain.reports.codes.back());
    };
    const std::string nesting = " " + u8(std::u16string(kNestingLimitReached));
    const std::string length = " " + u8(std::u16string(kExpandedTextLimitReached));
    const std::string total = " " + u8(std::u16string(kExpansionLimitReached));

    // A parameter entity that refers to itself between declarations.
    EXPECT_EQ(boundOf("<!ENTITY % loop \"&#37;loop;\">%loop;"), "EParserInvalidEntityName_Err" + nesting);

    // Included sections: 64 levels are read, 65 are refused.
    auto nested = [](int levels) {
        std::string text;
        for (int i = 0; i < levels; ++i) text += "<![INCLUDE[";
        text += "<!ELEMENT deep ANY>";
        for (int i = 0; i < levels; ++i) text += "]]>";
        return text;
    };
    EXPECT_EQ(errorOf(nested(64)), "ok");
    EXPECT_EQ(boundOf(nested(65)), "EParserInvalidConditionalSection_Err" + nesting);

    // Each level ten times the last: the replacement text of a6 would be ten million units.
    std::string laughs = "<!ENTITY % a0 \"xxxxxxxxxx\">";
    for (int i = 1; i <= 8; ++i) {
        laughs += "<!ENTITY % a" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j) laughs += "%a" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    DtdBuildChain chain;
    EXPECT_FALSE(chain.readExternal(laughs));
    EXPECT_EQ(chain.reports.last(), "EParserInvalidEntityDeclaration_Err");
    EXPECT_EQ(chain.reports.codes.back(), kExpandedTextLimitReached);
    EXPECT_EQ(DtdBuildChain::parameterEntity(chain.external, u"a4").size(), 100000u);
    EXPECT_EQ(DtdBuildChain::parameterEntity(chain.external, u"a5"), "<none>");

    // Many references to one big text: the run's total is bounded, nested reads included.
    std::string big = "<!ENTITY % big \"<!--" + std::string(500000, 'x') + "-->\">";
    std::string many = big;
    for (int i = 0; i < 25; ++i) many += "%big;";
    DtdBuildChain bounded;
    EXPECT_FALSE(bounded.readExternal(many));
    EXPECT_EQ(bounded.reports.last(), "EParserInvalidEntityName_Err");
    EXPECT_EQ(bounded.reports.codes.back(), kExpansionLimitReached);
    EXPECT_LT(bounded.external->children().size(), 22u);
    EXPECT_GT(bounded.external->children().size(), 15u);
    // A bound reached inside a nested read is told by the reference that started it.
    EXPECT_EQ(boundOf("<!ENTITY % p \"" + std::string(600000, 'y') +
                      "\"><!ENTITY % in \"<!ELEMENT a (&#37;p;|&#37;p;)>\">%in;"),
              "EParserInvalidEntityName_Err" + length);
    EXPECT_EQ(boundOf("<![INCLUDE[" + many + "]]>"), "EParserInvalidConditionalSection_Err" + total);
}

TEST(DtdBuilderNestedReads, OneExpansionBudgetForAWholeParseRun) {
    // Expansions of the internal subset's builder, the external subset's reader, its builder and
    // nested reads, each far below the bound, add up over the run of one document.
    auto load = [](int references) {
        // A little under half a million, so that %b;%b; fits one declaration.
        const std::string half = std::string(499000, 'x');
        std::string external = "<!ENTITY % b2 '%b;%b;'><!ENTITY % c \"<!--%b;-->\">";
        for (int i = 0; i < 10; ++i) external += "<!ENTITY e" + std::to_string(i) + " \"%b;\">";
        for (int i = 0; i < references; ++i) external += "%c;";
        TDomImplementation implementation;
        TXmlToDomParser parser;
        parser.setDOMImpl(&implementation);
        std::vector<std::u16string> codes;
        parser.OnFatalError = [&](TXmlToDomParser*, TXmlParserError& e) { codes.push_back(e.code()); };
        parser.OnExternalSubset = [&](void*, const std::u16string&, std::u16string&, std::u16string&, TStream*& stream,
                                      TdomParserAction& action) {
            stream = new TMemoryStream(external);
            action = TdomParserAction::paOK;
        };
        parser.stringToDocument("<!DOCTYPE a SYSTEM 'a.dtd' [<!ENTITY % b '" + half + "'>]><a/>");
        return codes;
    };
    EXPECT_TRUE(load(6).empty()); // 1 + 0.5 + 5 + 3 million units
    const std::vector<std::u16string> codes = load(8);
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), kExpansionLimitReached);
}

TEST(DtdBuilderActivity, TargetsAndSubsetsFollowTheRules) {
    DtdBuildChain chain;
    TXmlCustomProcessorAgent agent;
    try {
        chain.builder.elementTypeDeclaration(&agent, nullptr, u"a", u"ANY");
        ADD_FAILURE() << "no exception";
    } catch (const EParserException& e) {
        EXPECT_STREQ(e.what(), "TXmlDtdBuilder is not active.");
    }
    chain.builder.startExtDtd(&agent, nullptr);
    EXPECT_EQ(chain.builder.currentNode(), chain.external);
    EXPECT_THROW(chain.builder.setExternalTarget(nullptr), EParserException);
    try {
        chain.builder.startIntDtd(&agent, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const EParserException& e) {
        EXPECT_STREQ(e.what(), "TXmlDtdBuilder -- external DTD is active.");
    }
    EXPECT_THROW(chain.builder.endIntDtd(&agent, nullptr), EParserException);
    chain.builder.setInternalTarget(chain.internal);

    // Internal subset first, then the external one, when looking up parameter entities.
    chain.internal->parameterEntityList().addPair(u"p", u"internal");
    chain.external->parameterEntityList().addPair(u"p", u"external");
    chain.external->parameterEntityList().addPair(u"q", u"external q");
    bool found = false;
    std::u16string text;
    chain.builder.findParameterEntity(&agent, nullptr, found, text, u"p");
    EXPECT_TRUE(found);
    EXPECT_EQ(text, u"internal");
    chain.builder.findParameterEntity(&agent, nullptr, found, text, u"q");
    EXPECT_EQ(text, u"external q");
    chain.builder.endExtDtd(&agent, nullptr);
    chain.builder.findParameterEntity(&agent, nullptr, found, text, u"q");
    EXPECT_FALSE(found);

    // Without a target the signals pass without building anything.
    chain.builder.setExternalTarget(nullptr);
    chain.builder.startExtDtd(&agent, nullptr);
    EXPECT_EQ(chain.builder.elementTypeDeclaration(&agent, nullptr, u"a", u"(b"), nullptr);
    chain.builder.reset();
    EXPECT_FALSE(chain.builder.externalActive());
    EXPECT_FALSE(chain.external->hasChildNodes());
}

TEST(DtdBuilderFiles, PointMarkDtdDescribesPointMarkFiles) {
    DtdBuildChain chain(u"velmar.dtd");
    ASSERT_TRUE(chain.readExternal(readTestData("dtd/velmar.dtd"))) << chain.reports.last();
    EXPECT_EQ(chain.external->version(), u"1.0");
    EXPECT_EQ(chain.external->encoding(), u"UTF-8");
    RecordingErrorHandler handler;
    EXPECT_TRUE(chain.external->selfCheck(&handler));

    const TdomCMElementTypeDeclaration* root = chain.external->findOwnElementTypeDeclaration(u"velmar");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->declarationText(), u"<!ELEMENT velmar (format, gpoi)* >");
    const std::u16string record[] = {u"format", u"gpoi", u"format", u"gpoi"};
    EXPECT_TRUE(root->validateChildNames(record, &handler));
    EXPECT_EQ(chain.external->findOwnElementTypeDeclaration(u"datum")->contentKind(), TdomCMContentKind::mixed);
    // The declaration in the ignored section does not count.
    EXPECT_EQ(chain.external->findOwnElementTypeDeclaration(u"name")->declarationText(), u"<!ELEMENT name (nb, rt) >");
    const TdomCMAttrDefinition* repeat = chain.external->findOwnAttrDefinition(u"multimedia", u"repeat");
    ASSERT_NE(repeat, nullptr);
    EXPECT_EQ(repeat->children().size(), 10u);
    EXPECT_EQ(chain.external->findOwnAttrDefinition(u"category", u"vendor")->defaultValue(), u"DRAVON-ORVEX");
    EXPECT_EQ(DtdBuildChain::parameterEntity(chain.external, u"text"), "(#PCDATA)");
}

TEST(DtdBuilderFiles, ConditionalSectionsAndParameterEntitiesTogether) {
    DtdBuildChain chain(u"conditional.dtd");
    ASSERT_TRUE(chain.readExternal(readTestData("dtd/conditional.dtd"))) << chain.reports.last();
    EXPECT_EQ(chain.external->findOwnElementTypeDeclaration(u"doc")->declarationText(),
              u"<!ELEMENT doc (title, (first | second)*) >");
    EXPECT_EQ(chain.external->findOwnElementTypeDeclaration(u"title")->contentKind(), TdomCMContentKind::mixed);
    EXPECT_NE(chain.external->findOwnElementTypeDeclaration(u"extra"), nullptr);
    EXPECT_EQ(chain.external->findOwnAttrDefinition(u"doc", u"status")->children().size(), 2u);
    EXPECT_EQ(chain.external->findOwnAttrDefinition(u"doc", u"xml:lang")->declaredType(), u"NMTOKEN");
}

TEST(DtdBuilderFiles, SampleDocumentLoadsWithBothSubsets) {
    ParserFront front;
    TXmlToDomParser& parser = front.parser;
    std::u16string requested;
    parser.OnExternalSubset = [&](void*, const std::u16string&, std::u16string&, std::u16string& systemId,
                                  TStream*& stream, TdomParserAction& action) {
        requested = systemId;
        stream = new TMemoryStream(readTestData("dtd/" + u8(systemId)));
        action = TdomParserAction::paOK;
    };
    TdomDocument* document = parser.fileToDocument(testDataPath("dtd/velmar-sample.xml"));
    EXPECT_TRUE(front.reports.empty()) << front.messages().front();
    EXPECT_EQ(requested, u"velmar.dtd");
    ASSERT_NE(document->contentModel(), nullptr);
    const TdomCMObject* model = document->contentModel();
    EXPECT_TRUE(model->hasElementContent(u"gpoi"));
    EXPECT_NE(model->findEntityDeclaration(u"dravon"), nullptr);
    EXPECT_EQ(DtdBuildChain::parameterEntity(model->internalSubset(), u"local"), "(#PCDATA)");
    EXPECT_EQ(model->findAttrDefinition(u"multimedia", u"format")->defaultValue(), u"ORVEX-SOUND");
}
