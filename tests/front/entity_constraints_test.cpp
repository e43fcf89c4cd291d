#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dom/document.h"
#include "dom/element.h"
#include "dom/implementation.h"
#include "dom/xml_output.h"
#include "front/entity_constraints.h"
#include "front/xml_to_dom_parser.h"
#include "parser/doc_builder.h"
#include "text/error_handler.h"
#include "text/parser_error.h"
#include "text/stream.h"

namespace {

// The classes that the entity constraints report for a well-formed parse, or "ok". The external
// subset that the document names, if any, is externalSubset.
std::string entityProblems(const std::u16string& text, const std::string& externalSubset = "",
                           const TExternalEntityOpener& openExternal = nullptr,
                           std::vector<std::u16string>* codes = nullptr) {
    TDomImplementation implementation;
    TXmlToDomParser parser;
    parser.setDOMImpl(&implementation);
    parser.OnExternalSubset = [&](void*, const std::u16string&, std::u16string&, std::u16string&, TStream*& stream,
                                  TXmlParserAction& action) {
        stream = new TMemoryStream(externalSubset);
        action = TXmlParserAction::paOK;
    };
    std::u16string standalone;
    parser.docBuilder()->OnXmlDeclaration = [&](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&,
                                                std::u16string&, std::u16string& sdDl) { standalone = sdDl; };
    TdomDocument* document = parser.wideStringToDocument(text);
    if (!document) return "not parsed";
    document->setStandalone(standalone);
    TdomStandardErrorHandler handler;
    // A standard handler raises after recording a fatal error; the checks go on regardless.
    const bool ok = checkEntityConstraints(document, &handler, openExternal);
    std::string classes;
    for (const auto& error : handler.errorList()) {
        classes += (classes.empty() ? "" : " ") + error->errorClass();
        if (codes) codes->push_back(error->code());
    }
    if (ok != classes.empty()) classes += " (answer disagrees)";
    return classes.empty() ? "ok" : classes;
}

} // namespace

TEST(EntityConstraints, EachConstraintIsKeptOrReported) {
    const struct {
        const char16_t* text;
        const char* expected;
    } cases[] = {
        // Entity Declared, where all declarations are known
        {u"<a>&e;</a>", "EParserMissing_Entity_Declaration_Err"},
        {u"<a>&lt;&amp;</a>", "ok"},
        {u"<!DOCTYPE a [<!ENTITY % p ''>%p;]><a>&e;</a>", "ok"},
        {u"<?xml version='1.0' standalone='yes'?><!DOCTYPE a [<!ENTITY % p ''>%p;]><a>&e;</a>",
         "EParserMissing_Entity_Declaration_Err"},
        // Parsed Entity
        {u"<!DOCTYPE a [<!NOTATION n SYSTEM 'n'><!ENTITY u SYSTEM 'u' NDATA n>]><a>&u;</a>",
         "EParserReferenceToUnparsedEntity_Err"},
        // No Recursion, well-formed replacement text, also nested
        {u"<!DOCTYPE a [<!ENTITY e '&f;'><!ENTITY f '&e;'>]><a>&e;</a>", "EParserNoProperMarkupReferenced_Err"},
        {u"<!DOCTYPE a [<!ENTITY e '</a><a>'>]><a>&e;</a>", "EParserNoProperMarkupReferenced_Err"},
        {u"<!DOCTYPE a [<!ENTITY e '<b>&f;</b>'><!ENTITY f '<c/>'>]><a>&e;</a>", "ok"},
        {u"<!DOCTYPE a [<!ENTITY e '<b>&f;</b>'><!ENTITY f '<c>'>]><a>&e;</a>", "EParserNoProperMarkupReferenced_Err"},
        // attribute values
        {u"<!DOCTYPE a [<!ENTITY e SYSTEM 'e.ent'>]><a x='&e;'/>", "EParserAttributeValueRefersToExternalEntity_Err"},
        {u"<!DOCTYPE a [<!ENTITY e '&#60;'>]><a x='&e;'/>", "EParserLtInAttributeValue_Err"},
        {u"<!DOCTYPE a [<!ENTITY e 'v&f;'><!ENTITY f 'w'>]><a x='&e;'/>", "ok"},
        {u"<a x='&e;'/>", "EParserMissing_Entity_Declaration_Err"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entityProblems(c.text), c.expected) << std::string(c.text, c.text + std::u16string(c.text).size());
}

TEST(EntityConstraints, ReferencesInDefaultValuesAndOfStandaloneDocuments) {
    const struct {
        const char16_t* text;
        const char* expected;
    } cases[] = {
        // Default values of attribute lists: declared before, parsed, internal, not recursive.
        {u"<!DOCTYPE a [<!ENTITY e 'v'><!ATTLIST a x CDATA '&e;'>]><a/>", "ok"},
        {u"<!DOCTYPE a [<!ATTLIST a x CDATA '&e;'><!ENTITY e 'v'>]><a/>", "EParserMissing_Entity_Declaration_Err"},
        {u"<!DOCTYPE a [<!ATTLIST a x CDATA '&e;'>]><a/>", "EParserMissing_Entity_Declaration_Err"},
        {u"<!DOCTYPE a [<!ENTITY e SYSTEM 'e'><!ATTLIST a x CDATA '&e;'>]><a x='y'/>",
         "EParserAttributeValueRefersToExternalEntity_Err"},
        {u"<!DOCTYPE a [<!ENTITY e '&f;'><!ENTITY f '&e;'><!ATTLIST a x CDATA #FIXED '&e;'>]><a/>",
         "EParserNoProperMarkupReferenced_Err"},
        // A document declared standalone may not refer to entities of its external subset.
        {u"<?xml version='1.0' standalone='yes'?><!DOCTYPE a SYSTEM 'a.dtd' [<!ENTITY i 'v'>]><a>&i;</a>", "ok"},
        {u"<?xml version='1.0' standalone='yes'?><!DOCTYPE a SYSTEM 'a.dtd'><a>&x;</a>",
         "EParserMissing_Entity_Declaration_Err"},
        {u"<?xml version='1.0' standalone='yes'?><!DOCTYPE a SYSTEM 'a.dtd'><a y='&x;'/>",
         "EParserMissing_Entity_Declaration_Err"},
        {u"<?xml version='1.0' standalone='no'?><!DOCTYPE a SYSTEM 'a.dtd'><a>&x;</a>", "ok"},
        // The external subset's own default values may.
        {u"<?xml version='1.0' standalone='yes'?><!DOCTYPE a SYSTEM 'a.dtd'><a/>", "ok"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entityProblems(c.text, "<!ENTITY x 'v'><!ATTLIST a z CDATA '&x;'>"), c.expected)
            << std::string(c.text, c.text + std::u16string(c.text).size());
}

TEST(EntityConstraints, ExternalParsedEntitiesAreReadAndCheckedAsContent) {
    const std::map<std::u16string, std::string> files = {
        {u"ok.ent", "<?xml encoding='UTF-8'?><b/>t"},
        {u"bare.ent", "<b/>"},
        {u"empty.ent", ""},
        {u"self.ent", "<b>&self;</b>"},
        {u"open.ent", "<b>"},
        {u"standalone.ent", "<?xml encoding='UTF-8' standalone='yes'?>t"},
        {u"late.ent", " <?xml encoding='UTF-8'?>t"},
    };
    std::vector<bool> fromExternalSubset;
    const TExternalEntityOpener open = [&](const std::u16string& systemId,
                                           bool declaredInExternalSubset) -> std::unique_ptr<TStream> {
        fromExternalSubset.push_back(declaredInExternalSubset);
        auto file = files.find(systemId);
        return file == files.end() ? nullptr : std::make_unique<TMemoryStream>(file->second);
    };
    auto problems = [&](const char16_t* file) {
        const std::u16string text = u"<!DOCTYPE a [<!ENTITY self SYSTEM 'self.ent'><!ENTITY e SYSTEM '" +
                                    std::u16string(file) + u"'>]><a>&e;</a>";
        return entityProblems(text, "", open);
    };
    for (const char16_t* file : {u"ok.ent", u"bare.ent", u"empty.ent"})
        EXPECT_EQ(problems(file), "ok") << std::string(file, file + std::u16string(file).size());
    EXPECT_EQ(problems(u"self.ent"), "EParserNoProperMarkupReferenced_Err");
    EXPECT_EQ(problems(u"open.ent"), "EParserNoProperMarkupReferenced_Err");
    EXPECT_EQ(problems(u"missing.ent"), "EParserExternal_Entity_Not_Found_Err");
    // The forms of the declaration are the input source's to tell (splitTextDeclaration).
    for (const char16_t* file : {u"standalone.ent", u"late.ent"})
        EXPECT_EQ(problems(file), "EParserInvalidTextDeclaration_Err")
            << std::string(file, file + std::u16string(file).size());
    // Declared in the external subset, the entity is looked up from there.
    fromExternalSubset.clear();
    EXPECT_EQ(entityProblems(u"<!DOCTYPE a SYSTEM 'a.dtd'><a>&x;</a>", "<!ENTITY x SYSTEM 'ok.ent'>", open), "ok");
    EXPECT_EQ(fromExternalSubset, std::vector<bool>{true});
}

TEST(EntityConstraints, HostileDocumentsAreRefusedAtOnceWithTheLimitNamedAndDeepOnesPass) {
    // The billion laughs, in content and in an attribute value.
    std::u16string laughs = u"<!DOCTYPE a [<!ENTITY l0 'lol'>";
    for (int level = 1; level <= 9; ++level) {
        std::u16string references;
        for (int k = 0; k < 10; ++k) references += u"&l" + std::u16string(1, u'0' + level - 1) + u";";
        laughs += u"<!ENTITY l" + std::u16string(1, u'0' + level) + u" '" + references + u"'>";
    }
    laughs += u"]>";
    // 1,000 references to an entity of 100,000 characters: ten times what one parse may expand.
    const std::u16string big = u"<!DOCTYPE a [<!ENTITY e '" + std::u16string(100000, u'x') + u"'>]><a>" + [] {
        std::u16string references;
        for (int k = 0; k < 1000; ++k) references += u"&e;";
        return references;
    }() + u"</a>";
    // External entities 30 deep, each referring twice to the next.
    const TExternalEntityOpener chain = [](const std::u16string& systemId, bool) -> std::unique_ptr<TStream> {
        const int level = std::stoi(std::string(systemId.begin() + 1, systemId.end()));
        if (level == 30) return std::make_unique<TMemoryStream>("end");
        const std::string next = "&e" + std::to_string(level + 1) + ";";
        return std::make_unique<TMemoryStream>("<x>" + next + next + "</x>");
    };
    std::u16string chained = u"<!DOCTYPE a [";
    for (int level = 0; level <= 30; ++level) {
        const std::u16string n(u"0123456789"[level / 10] == u'0' ? std::u16string()
                                                                 : std::u16string(1, u"0123456789"[level / 10]));
        const std::u16string number = n + std::u16string(1, u"0123456789"[level % 10]);
        chained += u"<!ENTITY e" + number + u" SYSTEM 'e" + number + u"'>";
    }
    chained += u"]><a>&e0;</a>";

    for (const auto& [text, opener] : {std::pair{laughs + u"<a>&l9;</a>", TExternalEntityOpener()},
                                       std::pair{laughs + u"<a b='&l9;'/>", TExternalEntityOpener()},
                                       std::pair{big, TExternalEntityOpener()}, std::pair{chained, chain}}) {
        std::vector<std::u16string> codes;
        EXPECT_EQ(entityProblems(text, "", opener, &codes), "EParserUnresolvable_Entity_Reference_Err");
        ASSERT_EQ(codes.size(), 1u);
        EXPECT_NE(codes[0].find(u"expansion limit of 10000000 code units"), std::u16string::npos);
    }
    // Within the limit, the same entity may be referred to as often as it likes.
    EXPECT_EQ(entityProblems(laughs + u"<a>&l5;&l5;&l5;</a>"), "ok");

    // Nesting far deeper than a call stack holds.
    constexpr int kDepth = 200000;
    std::u16string deep;
    for (int k = 0; k < kDepth; ++k) deep += u"<a>";
    for (int k = 0; k < kDepth; ++k) deep += u"</a>";
    EXPECT_EQ(entityProblems(deep), "ok");
}

TEST(EntityConstraints, LaterReferencesToACheckedEntityHoldTheSameContent) {
    TDomImplementation implementation;
    TXmlToDomParser parser;
    parser.setDOMImpl(&implementation);
    TdomDocument* document =
        parser.wideStringToDocument(u"<!DOCTYPE a [<!ENTITY f 'u<?p d?>'><!ENTITY e '<b x=\"1\">t&f;<!--c--></b>&f;'>]>"
                                    u"<a>&e;<c>&e;</c>&e;</a>");
    ASSERT_NE(document, nullptr);
    TdomStandardErrorHandler handler;
    ASSERT_TRUE(checkEntityConstraints(document, &handler));
    // Each reference's content written out, references with their content in brackets.
    auto content = [](TdomNode* reference) {
        TMemoryStream stream;
        std::vector<TdomNode*> pending(reference->children().rbegin(), reference->children().rend());
        while (!pending.empty()) {
            TdomNode* node = pending.back();
            pending.pop_back();
            writeNodeXml(node, stream);
            if (node->nodeType() == TdomNodeType::entityReference)
                pending.insert(pending.end(), node->children().rbegin(), node->children().rend());
        }
        std::string text(stream.memory(), static_cast<std::size_t>(stream.size()));
        std::erase(text, '\0'); // the ASCII of UTF-16 code units
        return text;
    };
    TdomElement* root = document->documentElement();
    TdomNode* first = root->children()[0];
    const std::string expected = content(first);
    EXPECT_EQ(expected, "<b x=\"1\">t&f;<!--c--></b>&f;u<?p d?>");
    EXPECT_EQ(content(root->children()[1]->children()[0]), expected);
    EXPECT_EQ(content(root->children()[2]), expected);
}
