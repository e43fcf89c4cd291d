#include <gtest/gtest.h>

#include "text/error_handler.h"
#include "text/input_source.h"
#include "text/locator.h"
#include "text/xml_memory_stream.h"

TEST(ErrorHandler, CustomHandlerRaisesOnlyOnFatalErrors) {
    TdomCustomErrorHandler handler;
    EXPECT_NO_THROW(handler.error(nullptr, nullptr, u"x", "EParserDuplicate_ID_Value_Err"));
    EXPECT_NO_THROW(handler.warning(nullptr, nullptr, u"x", "EParserDouble_AttDef_Warning"));
    try {
        handler.fatalError(nullptr, nullptr, u"x", "EParserInvalidElementName_Err");
        FAIL() << "nothing raised";
    } catch (const EParserFatalError& e) {
        EXPECT_EQ(e.message(), "EParserFatalError: Fatal Error.");
    }
}

TEST(ErrorHandler, StandardHandlerRecordsInOrder) {
    TXmlMemoryStream empty;
    TXmlInputSource source(&empty, u"", u"model.dtd");
    TdomStandardLocator locator(&source);
    for (char16_t c : std::u16string(u"<!ELEMENT a")) locator.advance(c);

    TdomStandardErrorHandler handler;
    handler.warning(nullptr, &locator, u"", "EParserDouble_AttDef_Warning");
    handler.error(nullptr, &locator, u"id", "EParserDuplicate_ID_Value_Err");
    // A fatal error is recorded before it is raised.
    EXPECT_THROW(handler.fatalError(nullptr, nullptr, u"", "EParserInvalidElementName_Err"), EParserFatalError);

    const auto& list = handler.errorList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->errorType(), TXmlErrorType::warning);
    EXPECT_EQ(list[1]->errorClass(), "EParserDuplicate_ID_Value_Err");
    EXPECT_EQ(list[1]->code(), u"id");
    EXPECT_EQ(list[1]->systemId(), u"model.dtd");
    EXPECT_EQ(list[1]->startColumn(), 1);
    EXPECT_EQ(list[1]->endColumn(), 11);
    EXPECT_EQ(list[2]->errorType(), TXmlErrorType::fatal);
    EXPECT_EQ(list[2]->endLine(), 0);

    handler.clearErrorList();
    EXPECT_TRUE(handler.errorList().empty());
}
