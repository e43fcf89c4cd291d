#include "text/parser_exception.h"

#include <gtest/gtest.h>

TEST(ParserExceptionTree, SeverityFollowsAncestry) {
    EXPECT_EQ(parserErrorSeverity("EParserInvalidElementName_Err"), TXmlErrorType::fatal);
    EXPECT_EQ(parserErrorSeverity("EParserInvalidPrefix_Err"), TXmlErrorType::fatal); // via the namespace branch
    EXPECT_EQ(parserErrorSeverity("EParserInvalidEntityDeclaration_Err"),
              TXmlErrorType::fatal); // via the doctype branch
    EXPECT_EQ(parserErrorSeverity("EParserDuplicate_Tokens_Err"), TXmlErrorType::error);
    EXPECT_EQ(parserErrorSeverity("EParserUnusable_Encoding_Declaration_Err"), TXmlErrorType::error);
    EXPECT_EQ(parserErrorSeverity("EParserUnusable_Entity_Decl_Warning"), TXmlErrorType::warning);
    // Outside the three branches, and unknown or differently cased names, count as fatal.
    EXPECT_EQ(parserErrorSeverity("EInternalParserException"), TXmlErrorType::fatal);
    EXPECT_EQ(parserErrorSeverity("EParserException"), TXmlErrorType::fatal);
    EXPECT_EQ(parserErrorSeverity("eparserduplicate_tokens_err"), TXmlErrorType::fatal);
    EXPECT_FALSE(isParserErrorClass("EParserInvalidEndTag_Err")); // has a message, but no class
}

TEST(ParserExceptionTree, RaisingByNameThrowsThatClass) {
    try {
        raiseParserException("EParserDoubleDoctype_Err", "twice");
        FAIL();
    } catch (const EParserInvalidDoctype_Err& e) { // caught through its base
        EXPECT_EQ(e.message(), "twice");
        EXPECT_NE(dynamic_cast<const EParserDoubleDoctype_Err*>(&e), nullptr);
    }
    EXPECT_THROW(raiseParserException("NoSuchClass", "x"), EParserException);
    EXPECT_TRUE(parserErrorClassInherits("EParserDoubleDoctype_Err", "EParserFatalError"));
    EXPECT_FALSE(parserErrorClassInherits("EParserDoubleDoctype_Err", "EParserError"));
}
