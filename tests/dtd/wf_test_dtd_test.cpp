#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/dtd/dtd_chain_helpers.h"
#include "text/parser_exception.h"

namespace {

// The handler under test in front of a recorder; signals are sent to it directly.
struct WFTest {
    TXmlWFTestDTDHandler handler;
    DtdSignalRecorder next;
    TXmlCustomProcessorAgent agent;

    WFTest() { handler.setNextHandler(&next); }

    // The class of the record a signal answered, "" when it passed.
    static std::string classOf(const TXmlErrorRecord& record) { return record ? record->errorClass() : std::string(); }
    static std::u16string codeOf(const TXmlErrorRecord& record) { return record ? record->code() : u"?"; }

    std::string entity(std::u16string name, std::u16string value, std::u16string pubId, std::u16string sysId) {
        return classOf(handler.entityDeclaration(&agent, nullptr, std::move(name), std::move(value), std::move(pubId),
                                                 std::move(sysId), u""));
    }
    std::string parameterEntity(std::u16string name, std::u16string value, std::u16string pubId, std::u16string sysId) {
        return classOf(handler.parameterEntityDeclaration(&agent, nullptr, std::move(name), std::move(value),
                                                          std::move(pubId), std::move(sysId)));
    }
};

} // namespace

TEST(WFTestDtdActivity, SignalsNeedExactlyOneActiveSubset) {
    WFTest t;
    EXPECT_THROW(t.handler.elementTypeDeclaration(&t.agent, nullptr, u"a", u"ANY"), EParserException);
    EXPECT_THROW(t.handler.endExtDtd(&t.agent, nullptr), EParserException);
    EXPECT_EQ(WFTest::classOf(t.handler.startIntDtd(&t.agent, nullptr)), "");
    EXPECT_TRUE(t.handler.internalActive());
    EXPECT_THROW(t.handler.startExtDtd(&t.agent, nullptr), EParserException);
    EXPECT_THROW(t.handler.endExtDtd(&t.agent, nullptr), EParserException);
    EXPECT_EQ(WFTest::classOf(t.handler.endIntDtd(&t.agent, nullptr)), "");
    EXPECT_FALSE(t.handler.internalActive());

    // An attribute list still open at the end of the subset.
    t.handler.startExtDtd(&t.agent, nullptr);
    t.handler.startAttListDeclaration(&t.agent, nullptr, u"a");
    EXPECT_EQ(WFTest::classOf(t.handler.endExtDtd(&t.agent, nullptr)), "EParserInvalidAttributeDeclaration_Err");
    EXPECT_FALSE(t.handler.externalActive());
    EXPECT_FALSE(t.handler.inAttList());

    t.handler.startExtDtd(&t.agent, nullptr);
    t.handler.reset();
    EXPECT_FALSE(t.handler.externalActive());
    EXPECT_FALSE(t.handler.textDeclAllowed());
    EXPECT_EQ(t.next.lines, (std::vector<std::string>{"startInt", "endInt", "startExt", "attlist(a)", "startExt"}));
}

TEST(WFTestDtdAttributeLists, OpenListAdmitsOnlyDefinitionsAndItsEnd) {
    WFTest t;
    t.handler.startExtDtd(&t.agent, nullptr);
    EXPECT_EQ(WFTest::classOf(t.handler.attributeDefinition(&t.agent, nullptr, u"x", u"CDATA", u"", u"#IMPLIED", u"")),
              "EParserInvalidAttributeDeclaration_Err");
    EXPECT_EQ(WFTest::classOf(t.handler.endAttListDeclaration(&t.agent, nullptr)),
              "EParserInvalidAttributeDeclaration_Err");
    EXPECT_EQ(WFTest::classOf(t.handler.startAttListDeclaration(&t.agent, nullptr, u"a")), "");
    EXPECT_EQ(WFTest::classOf(t.handler.attributeDefinition(&t.agent, nullptr, u"x", u"CDATA", u"", u"#IMPLIED", u"")),
              "");
    EXPECT_EQ(WFTest::classOf(t.handler.attributeDefinition(&t.agent, nullptr, u"1x", u"CDATA", u"", u"#IMPLIED", u"")),
              "EParserInvalidAttributeDeclaration_Err");
    EXPECT_EQ(WFTest::classOf(t.handler.elementTypeDeclaration(&t.agent, nullptr, u"b", u"ANY")),
              "EParserInvalidAttributeDeclaration_Err");
    EXPECT_EQ(WFTest::classOf(t.handler.endAttListDeclaration(&t.agent, nullptr)), "");
    EXPECT_FALSE(t.handler.inAttList());
    // A list with an invalid element name fails but counts as open.
    EXPECT_EQ(WFTest::classOf(t.handler.startAttListDeclaration(&t.agent, nullptr, u"1a")),
              "EParserInvalidAttributeDeclaration_Err");
    EXPECT_TRUE(t.handler.inAttList());
    EXPECT_EQ(t.next.lines,
              (std::vector<std::string>{"startExt", "attlist(a)", "attdef(x|CDATA||#IMPLIED|)", "endattlist"}));
}

TEST(WFTestDtdDeclarations, NamesAndLiteralsAreChecked) {
    WFTest t;
    t.handler.startExtDtd(&t.agent, nullptr);
    EXPECT_EQ(WFTest::classOf(t.handler.elementTypeDeclaration(&t.agent, nullptr, u"a:b", u"ANY")), "");
    EXPECT_EQ(WFTest::classOf(t.handler.elementTypeDeclaration(&t.agent, nullptr, u"-a", u"ANY")),
              "EParserInvalidElementDeclaration_Err");

    EXPECT_EQ(t.entity(u"e", u"it's", u"", u""), "");
    EXPECT_EQ(t.entity(u"e", u"a&b", u"", u""), "EParserInvalidEntityDeclaration_Err");
    EXPECT_EQ(t.entity(u"e", u"", u"-//x", u"x.ent"), "");
    EXPECT_EQ(t.entity(u"e", u"v", u"", u"x.ent"), "EParserInvalidEntityDeclaration_Err");
    EXPECT_EQ(t.entity(u"e", u"", u"", u"a\"b'c"), "EParserInvalidEntityDeclaration_Err");
    EXPECT_EQ(t.entity(u"e", u"", u"{bad}", u"x"), "EParserInvalidEntityDeclaration_Err");
    EXPECT_EQ(t.entity(u"1e", u"v", u"", u""), "EParserInvalidEntityDeclaration_Err");
    // The same faults in parameter-entity declarations give the same class.
    EXPECT_EQ(t.parameterEntity(u"p", u"", u"", u"a\"b'c"), "EParserInvalidEntityDeclaration_Err");
    EXPECT_EQ(t.parameterEntity(u"p", u"%q;", u"", u""), "");

    EXPECT_EQ(WFTest::classOf(t.handler.notationDeclaration(&t.agent, nullptr, u"n", u"-//n", u"")), "");
    EXPECT_EQ(WFTest::classOf(t.handler.notationDeclaration(&t.agent, nullptr, u"n", u"{", u"")),
              "EParserInvalidNotationDeclaration_Err");

    TXmlErrorRecord record = t.handler.parameterEntityRef(&t.agent, nullptr, u"a b");
    EXPECT_EQ(WFTest::classOf(record), "EParserInvalidEntityName_Err");
    EXPECT_EQ(WFTest::codeOf(record), u"a b");
    EXPECT_EQ(WFTest::classOf(t.handler.parameterEntityRef(&t.agent, nullptr, u"p")), "");
}

TEST(WFTestDtdDeclarations, CommentsAndProcessingInstructions) {
    WFTest t;
    t.handler.startIntDtd(&t.agent, nullptr);
    EXPECT_EQ(WFTest::classOf(t.handler.dtdComment(&t.agent, nullptr, u" fine - text ")), "");
    TXmlErrorRecord record = t.handler.dtdComment(&t.agent, nullptr, u"a--b");
    EXPECT_EQ(WFTest::classOf(record), "EParserInvalidComment_Err");
    EXPECT_EQ(WFTest::codeOf(record), u"--");
    record = t.handler.dtdComment(&t.agent, nullptr, u"ends-");
    EXPECT_EQ(WFTest::classOf(record), "EParserInvalidComment_Err");
    EXPECT_EQ(WFTest::codeOf(record), u"-");
    EXPECT_EQ(WFTest::classOf(t.handler.dtdComment(&t.agent, nullptr, std::u16string(1, u'\x01'))),
              "EParserInvalidCharacter_Err");

    EXPECT_EQ(WFTest::classOf(t.handler.dtdProcessingInstruction(&t.agent, nullptr, u"t", u"data")), "");
    record = t.handler.dtdProcessingInstruction(&t.agent, nullptr, u"XML", u"data");
    EXPECT_EQ(WFTest::classOf(record), "EParserInvalidProcessingInstruction_Err");
    EXPECT_EQ(WFTest::codeOf(record), u"XML");
    record = t.handler.dtdProcessingInstruction(&t.agent, nullptr, u"t", u"a?>b");
    EXPECT_EQ(WFTest::codeOf(record), u"?>");
    EXPECT_EQ(WFTest::classOf(t.handler.dtdProcessingInstruction(&t.agent, nullptr, u"t", u"\x01")),
              "EParserInvalidCharacter_Err");
    // Conditional sections and text declarations belong to the external subset.
    EXPECT_EQ(WFTest::classOf(t.handler.conditionalSection(&t.agent, nullptr, u"INCLUDE", u"")),
              "EParserInvalidConditionalSection_Err");
    EXPECT_EQ(WFTest::classOf(t.handler.textDeclaration(&t.agent, nullptr, u"1.0", u"UTF-8")),
              "EParserInvalidTextDeclaration_Err");
}

TEST(WFTestDtdTextDeclaration, OnlyFirstAndWellFormed) {
    WFTest t;
    t.handler.startExtDtd(&t.agent, nullptr);
    EXPECT_EQ(WFTest::classOf(t.handler.textDeclaration(&t.agent, nullptr, u"1.0", u"bad name")),
              "EParserInvalidTextDeclaration_Err");
    EXPECT_EQ(WFTest::classOf(t.handler.textDeclaration(&t.agent, nullptr, u"", u"Shift_JIS")), "");
    EXPECT_EQ(WFTest::classOf(t.handler.conditionalSection(&t.agent, nullptr, u"IGNORE", u"x")), "");
    EXPECT_EQ(WFTest::classOf(t.handler.conditionalSection(&t.agent, nullptr, u"%p;", u"x")),
              "EParserInvalidConditionalSection_Err");
    EXPECT_EQ(WFTest::classOf(t.handler.textDeclaration(&t.agent, nullptr, u"1.0", u"UTF-8")), "EParserWrongOrder_Err");

    // Through the reader: a text declaration anywhere but at the very start is refused before it
    // reaches the test, and the next run starts afresh.
    TXmlStandardDtdReader reader;
    TXmlWFTestDTDHandler handler;
    reader.setNextHandler(&handler);
    ReportedRecords reports;
    reports.listenTo(reader);
    EXPECT_THROW(readDtd(reader, "<?xml encoding='UTF-8'?><?xml encoding='UTF-8'?>", true),
                 EParserInvalidTextDeclaration_Err);
    EXPECT_THROW(readDtd(reader, "<!--c--><?xml encoding='UTF-8'?>", true), EParserInvalidTextDeclaration_Err);
    EXPECT_TRUE(readDtd(reader, "<?xml version='1.0' encoding='UTF-8'?><!ELEMENT a ANY>", true));
    EXPECT_TRUE(reports.classes.empty());
}
