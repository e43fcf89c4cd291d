#include <gtest/gtest.h>

#include <string>

#include "parser/wf_test_content_handler.h"
#include "text/name_value_list.h"
#include "text/parser_error.h"
#include "text/parser_exception.h"

namespace {

class WFTest : public ::testing::Test {
protected:
    TXmlCustomProcessorAgent agent;
    TXmlWFTestContentHandler wf;
    TdomNameValueList noAttributes;

    void SetUp() override { EXPECT_EQ(wf.startDocument(&agent, nullptr, u""), nullptr); }

    // The class of the answer, "" for none; the code goes to lastCode.
    std::string answer(TXmlErrorRecord record) {
        lastCode = record ? record->code() : u"";
        return record ? record->errorClass() : std::string();
    }
    std::string start(const std::u16string& name) {
        return answer(wf.startElement(&agent, nullptr, u"", name, noAttributes));
    }
    std::string end(const std::u16string& name) { return answer(wf.endElement(&agent, nullptr, u"", name)); }
    std::string text(const std::u16string& data) { return answer(wf.PCDATA(&agent, nullptr, std::u16string(data))); }
    std::string startWith(std::initializer_list<std::pair<std::u16string, std::u16string>> pairs) {
        TdomNameValueList list;
        for (const auto& [name, value] : pairs) list.addPair(name, value);
        return answer(wf.startElement(&agent, nullptr, u"", u"e", list));
    }
    std::u16string lastCode;
};

} // namespace

TEST_F(WFTest, ActivityIsRequiredAndResetEndsARun) {
    EXPECT_THROW(
        {
            try {
                wf.startDocument(&agent, nullptr, u"");
            } catch (const EParserException& e) {
                EXPECT_STREQ(e.what(), "TXmlWFTestContentHandler is active.");
                throw;
            }
        },
        EParserException);
    wf.reset();
    EXPECT_THROW(
        {
            try {
                wf.PCDATA(&agent, nullptr, u"x");
            } catch (const EParserException& e) {
                EXPECT_STREQ(e.what(), "TXmlWFTestContentHandler not active.");
                throw;
            }
        },
        EParserException);
    // Prefix mappings are only forwarded, active or not.
    EXPECT_EQ(wf.startPrefixMapping(&agent, nullptr, u"p", u"urn:x"), nullptr);
    EXPECT_EQ(wf.endPrefixMapping(&agent, nullptr, u"p"), nullptr);
    // After a reset a new run starts cleanly, and endDocument ends it.
    EXPECT_EQ(wf.startDocument(&agent, nullptr, u""), nullptr);
    EXPECT_EQ(start(u"r"), "");
    EXPECT_EQ(end(u"r"), "");
    EXPECT_EQ(answer(wf.endDocument(&agent, nullptr)), "");
    EXPECT_THROW(wf.endDocument(&agent, nullptr), EParserException);
}

TEST_F(WFTest, DeclarationsMustComeFirstAndBeWellFormed) {
    EXPECT_EQ(answer(wf.xmlDeclaration(&agent, nullptr, u"1.0", u"Shift_JIS", u"")), "");
    EXPECT_EQ(answer(wf.xmlDeclaration(&agent, nullptr, u"1.0", u"", u"")), "EParserWrongOrder_Err");
    wf.reset();

    const struct {
        std::u16string version, encoding, standalone;
    } invalid[] = {{u"1.0", u"1SJIS", u""}, {u"1.0", u"", u"maybe"}, {u"", u"", u""}, {u"1 0", u"", u"yes"}};
    for (const auto& d : invalid) {
        SCOPED_TRACE(testing::PrintToString(d.version) + " " + testing::PrintToString(d.encoding) + " " +
                     testing::PrintToString(d.standalone));
        wf.startDocument(&agent, nullptr, u"");
        EXPECT_EQ(answer(wf.xmlDeclaration(&agent, nullptr, std::u16string(d.version), std::u16string(d.encoding),
                                           std::u16string(d.standalone))),
                  "EParserInvalidXmlDeclaration_Err");
        wf.reset();
    }

    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(answer(wf.comment(&agent, nullptr, u" c ")), "");
    EXPECT_EQ(answer(wf.xmlDeclaration(&agent, nullptr, u"1.0", u"", u"")), "EParserWrongOrder_Err");
    EXPECT_EQ(answer(wf.doctype(&agent, nullptr, u"velmar", u"", u"velmar.dtd", u"")), "");
    EXPECT_EQ(answer(wf.doctype(&agent, nullptr, u"velmar", u"", u"", u"<!-- subset -->")), "EParserDoubleDoctype_Err");
    EXPECT_EQ(lastCode, u"<!-- subset -->");
    wf.reset();

    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(answer(wf.doctype(&agent, nullptr, u"1bad", u"", u"", u"s")), "EParserInvalidDoctype_Err");
    EXPECT_EQ(lastCode, u"s");
    wf.reset();
    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(answer(wf.doctype(&agent, nullptr, u"a", u"{bad}", u"", u"")), "EParserInvalidDoctype_Err");
    wf.reset();
    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(answer(wf.doctype(&agent, nullptr, u"a", u"", u"both'\"quotes", u"")), "EParserInvalidDoctype_Err");
    wf.reset();
    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(start(u"root"), "");
    EXPECT_EQ(answer(wf.doctype(&agent, nullptr, u"root", u"", u"", u"")), "EParserWrongOrder_Err");
}

TEST_F(WFTest, OneRootAndMatchingEndTags) {
    EXPECT_EQ(start(u"a"), "");
    EXPECT_EQ(end(u"a"), "");
    EXPECT_EQ(start(u"b"), "EParserDoubleRootElement_Err");
    EXPECT_EQ(lastCode, u"b");
    wf.reset();

    // Outside document mode several top-level elements are fine.
    wf.setDocumentMode(false);
    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(start(u"a"), "");
    EXPECT_EQ(end(u"a"), "");
    EXPECT_EQ(start(u"b"), "");
    EXPECT_EQ(end(u"b"), "");
    EXPECT_EQ(text(u"loose text"), "");
    EXPECT_EQ(answer(wf.endDocument(&agent, nullptr)), "");
    wf.setDocumentMode(true);

    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(start(u"1a"), "EParserInvalidElementName_Err");
    // Signals that go on after the record: an end tag naming the invalid element is invalid too,
    // as is any other invalid name; a valid one is merely unmatched.
    EXPECT_EQ(end(u"1a"), "EParserInvalidElementName_Err");
    EXPECT_EQ(end(u"2b"), "EParserInvalidElementName_Err");
    EXPECT_EQ(end(u"b"), "EParserMissingStartTag_Err");
    wf.reset();
    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(start(u"a"), "");
    EXPECT_EQ(start(u"b"), "");
    EXPECT_EQ(end(u"a"), "EParserMissingStartTag_Err");
    EXPECT_EQ(lastCode, u"a");
    EXPECT_EQ(end(u"b"), "");
    EXPECT_EQ(answer(wf.endDocument(&agent, nullptr)), "EParserMissingEndTag_Err");

    // An end tag matches the innermost name exactly, not a run of open names or a part of one.
    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(start(u"ab"), "");
    EXPECT_EQ(start(u"c"), "");
    EXPECT_EQ(end(u"abc"), "EParserMissingStartTag_Err");
    EXPECT_EQ(end(u"bc"), "EParserMissingStartTag_Err");
    EXPECT_EQ(end(u"c"), "");
    EXPECT_EQ(end(u"b"), "EParserMissingStartTag_Err");
    EXPECT_EQ(end(u"ab"), "");
    EXPECT_EQ(answer(wf.endDocument(&agent, nullptr)), "");

    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(end(u"x"), "EParserMissingStartTag_Err");
    wf.reset();
    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(text(u"\n"), "");
    EXPECT_EQ(answer(wf.endDocument(&agent, nullptr)), "EParserRootNotFound_Err");
}

TEST_F(WFTest, CharacterDataAndReferencesOutsideAndInsideTheRoot) {
    EXPECT_EQ(text(u" \r\n\t"), "");
    EXPECT_EQ(text(u"x"), "EParserNotInRoot_Err");
    EXPECT_EQ(answer(wf.CDATA(&agent, nullptr, u" ")), "EParserNotInRoot_Err");
    EXPECT_EQ(answer(wf.charRef(&agent, nullptr, u"&#65;")), "EParserNotInRoot_Err");
    EXPECT_EQ(answer(wf.charRef(&agent, nullptr, u"&#0;")), "EParserNotInRoot_Err");
    EXPECT_EQ(answer(wf.entityRef(&agent, nullptr, u"amp")), "EParserNotInRoot_Err");
    EXPECT_EQ(lastCode, u"&amp;");
    EXPECT_EQ(answer(wf.entityRef(&agent, nullptr, u"1a")), "EParserInvalidEntityName_Err");

    EXPECT_EQ(start(u"r"), "");
    EXPECT_EQ(text(u"a]]>b"), "EParserInvalidCharacter_Err");
    EXPECT_EQ(text(u"a&b"), "EParserInvalidCharacter_Err");
    EXPECT_EQ(text(std::u16string(1, char16_t(0xD800))), "EParserInvalidCharacter_Err");
    EXPECT_EQ(text(u"plain"), "");
    EXPECT_EQ(answer(wf.CDATA(&agent, nullptr, u"<&>")), "");
    EXPECT_EQ(answer(wf.CDATA(&agent, nullptr, u"]]>")), "EParserInvalidCDATASection_Err");
    EXPECT_EQ(answer(wf.charRef(&agent, nullptr, u"&#xD800;")), "EParserInvalidCharRef_Err");
    EXPECT_EQ(lastCode, u"&#xD800;");
    EXPECT_EQ(answer(wf.charRef(&agent, nullptr, u"&#x1F600;")), "");
    EXPECT_EQ(answer(wf.entityRef(&agent, nullptr, u"name")), "");
}

TEST_F(WFTest, CommentsAndProcessingInstructions) {
    EXPECT_EQ(answer(wf.comment(&agent, nullptr, u"a--b")), "EParserInvalidComment_Err");
    EXPECT_EQ(lastCode, u"--");
    EXPECT_EQ(answer(wf.comment(&agent, nullptr, u"ends-")), "EParserInvalidComment_Err");
    EXPECT_EQ(lastCode, u"-");
    EXPECT_EQ(answer(wf.comment(&agent, nullptr, std::u16string(1, char16_t(0xFFFE)))), "EParserInvalidCharacter_Err");
    EXPECT_EQ(answer(wf.comment(&agent, nullptr, u"")), "");
    EXPECT_EQ(answer(wf.processingInstruction(&agent, nullptr, u"XML", u"")),
              "EParserInvalidProcessingInstruction_Err");
    EXPECT_EQ(lastCode, u"XML");
    EXPECT_EQ(answer(wf.processingInstruction(&agent, nullptr, u"pi", u"a?>b")),
              "EParserInvalidProcessingInstruction_Err");
    EXPECT_EQ(lastCode, u"?>");
    EXPECT_EQ(answer(wf.processingInstruction(&agent, nullptr, u"xml-stylesheet", u"href='a'")), "");
}

TEST_F(WFTest, AttributesAreCheckedInOrder) {
    auto fresh = [&] {
        wf.reset();
        wf.startDocument(&agent, nullptr, u"");
    };
    EXPECT_EQ(startWith({{u"a", u"1"}, {u"b", u"2"}, {u"a", u"3"}}), "EParserDoubleAttributeName_Err");
    EXPECT_EQ(lastCode, u"a");
    fresh();
    // Names are compared exactly, as XML names are.
    EXPECT_EQ(startWith({{u"a", u"1"}, {u"A", u"2"}}), "");
    fresh();
    EXPECT_EQ(startWith({{u"1a", u"value"}}), "EParserInvalidAttributeName_Err");
    EXPECT_EQ(lastCode, u"value");
    fresh();
    EXPECT_EQ(startWith({{u"a", u"x<y"}}), "EParserInvalidAttributeValue_Err");
    fresh();
    EXPECT_EQ(startWith({{u"a", u"x&amp;<"}}), "EParserInvalidAttributeValue_Err");
    fresh();
    EXPECT_EQ(startWith({{u"a", u"x &amp"}}), "EParserInvalidAttributeValue_Err");
    EXPECT_EQ(lastCode, u"x &amp");
    fresh();
    EXPECT_EQ(startWith({{u"a", u"&#xD800;"}}), "EParserInvalidCharRef_Err");
    EXPECT_EQ(lastCode, u"&#xD800;");
    fresh();
    EXPECT_EQ(startWith({{u"a", u"x&1a;"}}), "EParserInvalidEntityName_Err");
    EXPECT_EQ(lastCode, u"1a");
    fresh();
    EXPECT_EQ(startWith({{u"a", u"&#65;&amp;text"}}), "");
}

TEST_F(WFTest, LongAttributeListsAndDeepNestingStayLinear) {
    TdomNameValueList many;
    for (int i = 0; i < 100000; ++i) {
        std::string name = "a" + std::to_string(i);
        many.addPair(std::u16string(name.begin(), name.end()), u"v");
    }
    EXPECT_EQ(answer(wf.startElement(&agent, nullptr, u"", u"e", many)), "");
    many.addPair(u"a0", u"v");
    wf.reset();
    wf.startDocument(&agent, nullptr, u"");
    EXPECT_EQ(answer(wf.startElement(&agent, nullptr, u"", u"e", many)), "EParserDoubleAttributeName_Err");
    EXPECT_EQ(lastCode, u"a0");

    wf.reset();
    wf.startDocument(&agent, nullptr, u"");
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(start(u"d"), "");
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(end(u"d"), "");
    EXPECT_EQ(answer(wf.endDocument(&agent, nullptr)), "");
}
