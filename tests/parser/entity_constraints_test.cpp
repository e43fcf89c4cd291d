#include <gtest/gtest.h>

#include <string>

#include "dom/document.h"
#include "dom/implementation.h"
#include "front/xml_to_dom_parser.h"
#include "parser/doc_builder.h"
#include "parser/entity_constraints.h"
#include "text/error_handler.h"
#include "text/parser_error.h"

namespace {

// The classes that the entity constraints report for a well-formed parse, or "ok".
std::string entityProblems(const std::u16string& text) {
    TDomImplementation implementation;
    TXmlToDomParser parser;
    parser.setDOMImpl(&implementation);
    std::u16string standalone;
    parser.docBuilder()->OnXmlDeclaration = [&](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&,
                                                std::u16string&, std::u16string& sdDl) { standalone = sdDl; };
    TdomDocument* document = parser.wideStringToDocument(text);
    if (!document) return "not parsed";
    document->setStandalone(standalone);
    TdomStandardErrorHandler handler;
    // A standard handler raises after recording a fatal error; the checks go on regardless.
    const bool ok = checkEntityConstraints(document, &handler);
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
