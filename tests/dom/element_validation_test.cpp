#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "dom/document.h"
#include "dom/element.h"
#include "dom/implementation.h"
#include "front/xml_to_dom_parser.h"
#include "text/error_handler.h"
#include "text/parser_error.h"
#include "text/parser_exception.h"
#include "text/stream.h"
#include "text/wide_string_list.h"

namespace {

// Parses the document (which must be well-formed) and answers the classes that its validation
// reports, in order, or "valid". The external subset that the document names, if any, is
// externalSubset; standalone is the document's standalone declaration.
std::string validityOf(const std::u16string& text, const std::string& externalSubset = "",
                       const std::u16string& standalone = u"") {
    TDomImplementation implementation;
    TXmlToDomParser parser;
    parser.setDOMImpl(&implementation);
    parser.OnExternalSubset = [&](void*, const std::u16string&, std::u16string&, std::u16string&, TStream*& stream,
                                  TXmlParserAction& action) {
        stream = new TMemoryStream(externalSubset);
        action = TXmlParserAction::paOK;
    };
    TdomDocument* document = parser.wideStringToDocument(text);
    if (!document) return "not parsed";
    document->setStandalone(standalone);
    TdomStandardErrorHandler handler;
    const bool valid = document->validate(&handler, 0);
    std::string classes;
    for (const auto& error : handler.errorList()) classes += (classes.empty() ? "" : " ") + error->errorClass();
    if (valid != classes.empty()) classes += " (answer disagrees)";
    return classes.empty() ? "valid" : classes;
}

struct Case {
    const char16_t* declarations; // the internal subset of a document whose root is a
    const char16_t* content;      // the document element
    const char* expected;
};

} // namespace

TEST(ElementValidation, EachConstraintIsKeptOrReportedOnce) {
    const Case cases[] = {
        // element content
        {u"<!ELEMENT a (b, c?)><!ELEMENT b EMPTY><!ELEMENT c EMPTY>", u"<a> <b/><!--x--><c/></a>", "valid"},
        {u"<!ELEMENT a (b, c?)><!ELEMENT b EMPTY><!ELEMENT c EMPTY>", u"<a><c/><b/></a>",
         "EParserElement_With_Illegal_Element_Content_Err"},
        {u"<!ELEMENT a (b)><!ELEMENT b EMPTY>", u"<a>t<b/></a>", "EParserElement_With_Illegal_Element_Content_Err"},
        // EMPTY, ANY, mixed, undeclared
        {u"<!ELEMENT a EMPTY>", u"<a> </a>", "EParserElement_Declared_Empty_Has_Content_Err"},
        {u"<!ELEMENT a ANY><!ELEMENT b EMPTY>", u"<a>t<b/></a>", "valid"},
        {u"<!ELEMENT a (#PCDATA|b)*><!ELEMENT b EMPTY><!ELEMENT c EMPTY>", u"<a>t<b/>t</a>", "valid"},
        {u"<!ELEMENT a (#PCDATA|b)*><!ELEMENT b EMPTY><!ELEMENT c EMPTY>", u"<a>t<c/></a>",
         "EParserElement_With_Illegal_Mixed_Content_Err"},
        {u"<!ELEMENT a ANY>", u"<a><b/></a>", "EParserElement_Type_Declaration_Not_Found_Err"},
        // attributes: declared, type, #REQUIRED, #FIXED
        {u"<!ELEMENT a EMPTY>", u"<a x='1'/>", "EParserAttribute_Definition_Not_Found_Err"},
        {u"<!ELEMENT a EMPTY><!ATTLIST a x NMTOKEN #IMPLIED>", u"<a x=' t1 '/>", "valid"},
        {u"<!ELEMENT a EMPTY><!ATTLIST a x NMTOKEN #IMPLIED>", u"<a x='t 1'/>", "EParserAttribute_Type_Mismatch_Err"},
        {u"<!ELEMENT a EMPTY><!ATTLIST a x (p|q) #IMPLIED>", u"<a x='r'/>", "EParserAttribute_Type_Mismatch_Err"},
        {u"<!ELEMENT a EMPTY><!ATTLIST a x CDATA #REQUIRED>", u"<a/>", "EParserRequired_Attribute_Not_Found_Err"},
        {u"<!ELEMENT a EMPTY><!ATTLIST a x CDATA #FIXED 'v'>", u"<a x='v'/>", "valid"},
        {u"<!ELEMENT a EMPTY><!ATTLIST a x CDATA #FIXED 'v'>", u"<a x='w'/>", "EParserFixed_Attribute_Mismatch_Err"},
        // ID, IDREF, IDREFS, ENTITY
        {u"<!ELEMENT a (b*)><!ELEMENT b EMPTY><!ATTLIST b i ID #IMPLIED r IDREFS #IMPLIED>",
         u"<a><b i='p' r='q p'/><b i='q'/></a>", "valid"},
        {u"<!ELEMENT a (b*)><!ELEMENT b EMPTY><!ATTLIST b i ID #IMPLIED>", u"<a><b i='p'/><b i='p'/></a>",
         "EParserDuplicate_ID_Value_Err"},
        {u"<!ELEMENT a (b*)><!ELEMENT b EMPTY><!ATTLIST b i ID #IMPLIED r IDREF #IMPLIED>",
         u"<a><b i='p' r='z'/><b i='p'/></a>", "EParserDuplicate_ID_Value_Err EParserTarget_ID_Value_Not_Found_Err"},
        {u"<!ELEMENT a EMPTY><!ATTLIST a e ENTITY #IMPLIED><!NOTATION n SYSTEM 'n'><!ENTITY u SYSTEM 'u' NDATA n>",
         u"<a e='u'/>", "valid"},
        {u"<!ELEMENT a EMPTY><!ATTLIST a e ENTITY #IMPLIED><!ENTITY p 'parsed'>", u"<a e='p'/>",
         "EParserTarget_Unparsed_Entity_Not_Found_Err"},
    };
    for (const Case& c : cases) {
        const std::u16string text = u"<!DOCTYPE a [" + std::u16string(c.declarations) + u"]>" + c.content;
        EXPECT_EQ(validityOf(text), c.expected) << std::string(text.begin(), text.end());
    }
}

TEST(ElementValidation, TheIdListHoldsTheIdsOfAValidDocument) {
    TDomImplementation implementation;
    TXmlToDomParser parser;
    parser.setDOMImpl(&implementation);
    TdomDocument* document = parser.wideStringToDocument(
        u"<!DOCTYPE a [<!ELEMENT a (b*)><!ELEMENT b EMPTY><!ATTLIST b i ID #REQUIRED>]><a><b i='y'/><b i='x'/></a>");
    ASSERT_TRUE(document->validate(nullptr, 0));
    ASSERT_EQ(document->idList().count(), 2);
    EXPECT_EQ(document->idList().stringAt(0), u"x");
    // A second run starts from an empty list, so the same IDs are no duplicates.
    EXPECT_TRUE(document->validate(nullptr, 0));
}

TEST(ElementValidation, AStandaloneDocumentDoesNotDependOnItsExternalSubset) {
    const std::string external = "<!ELEMENT a (b*)><!ELEMENT b EMPTY>"
                                 "<!ATTLIST b d CDATA 'x' f CDATA #FIXED 'y' n NMTOKEN #IMPLIED c CDATA #IMPLIED>";
    const struct {
        const char16_t* internalSubset;
        const char16_t* content;
        const char* expected;
    } cases[] = {
        {u"", u"<a><b d='x' f='y' n='t' c=' s '/></a>", "valid"},
        // white space in element content declared externally
        {u"", u"<a> <b d='x' f='y'/></a>", "EParserWrong_Standalone_Declaration_Err"},
        // a default value taken from the external subset, plain or fixed
        {u"", u"<a><b f='y'/></a>", "EParserWrong_Standalone_Declaration_Err"},
        {u"", u"<a><b d='x'/></a>", "EParserWrong_Standalone_Declaration_Err"},
        // a value that the tokenized type declared externally normalizes
        {u"", u"<a><b d='x' f='y' n=' t'/></a>", "EParserWrong_Standalone_Declaration_Err"},
        // declared internally, the same is fine
        {u"<!ATTLIST b n NMTOKEN #IMPLIED d CDATA 'x' f CDATA #FIXED 'y'>", u"<a><b n=' t'/></a>", "valid"},
    };
    for (const auto& c : cases) {
        const std::u16string text =
            u"<!DOCTYPE a SYSTEM 'a.dtd' [" + std::u16string(c.internalSubset) + u"]>" + c.content;
        EXPECT_EQ(validityOf(text, external, u"yes"), c.expected) << std::string(text.begin(), text.end());
    }
    // Without the standalone declaration the same document is valid.
    EXPECT_EQ(validityOf(u"<!DOCTYPE a SYSTEM 'a.dtd'><a> <b/></a>", external, u"no"), "valid");
}

TEST(ElementValidation, OnlyTheProgramsOwnExceptionsOfTheHandlerAreSwallowed) {
    // Counts the errors it receives and raises on each: the program's own exception, or at the
    // error numbered giveUpAt, something else.
    struct RaisingHandler : TdomCustomErrorHandler {
        int errors = 0;
        int giveUpAt = 0;
        void error(void*, const TdomStandardLocator*, std::u16string_view, std::string_view errorClass) override {
            if (++errors == giveUpAt) throw std::bad_alloc();
            throw EParserError(std::string(errorClass));
        }
    };
    TDomImplementation implementation;
    TXmlToDomParser parser;
    parser.setDOMImpl(&implementation);
    // An ID, then element content out of order, then an undeclared attribute.
    TdomDocument* document = parser.wideStringToDocument(
        u"<!DOCTYPE a [<!ELEMENT a (b, c)><!ELEMENT b EMPTY><!ELEMENT c EMPTY><!ATTLIST b i ID #IMPLIED>]>"
        u"<a><c/><b i='p' x='1'/></a>");
    ASSERT_NE(document, nullptr);
    RaisingHandler raising;
    EXPECT_FALSE(document->validate(&raising, 0));
    EXPECT_EQ(raising.errors, 2);
    // Out of memory in the content check (reported through the content model) and in the
    // attribute check: the validation ends there and the exception reaches the caller.
    for (int giveUpAt : {1, 2}) {
        RaisingHandler givingUp;
        givingUp.giveUpAt = giveUpAt;
        EXPECT_THROW(document->validate(&givingUp, 0), std::bad_alloc) << giveUpAt;
        EXPECT_EQ(givingUp.errors, giveUpAt);
    }
    // The document is left as a later validation needs it: the ID is no duplicate of itself.
    TdomStandardErrorHandler standard;
    EXPECT_FALSE(document->validate(&standard, 0));
    ASSERT_EQ(standard.errorList().size(), 2u);
    EXPECT_EQ(standard.errorList()[0]->errorClass(), "EParserElement_With_Illegal_Element_Content_Err");
    EXPECT_EQ(standard.errorList()[1]->errorClass(), "EParserAttribute_Definition_Not_Found_Err");
}
