#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "dom/document.h"
#include "dom/implementation.h"
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
                           const TExternalEntityOpener& openExternal = nullptr) {
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
    for (const auto& error : handler.errorList()) classes += (classes.empty() ? "" : " ") + error->errorClass();
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
