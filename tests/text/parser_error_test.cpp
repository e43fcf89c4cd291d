#include <gtest/gtest.h>

#include <set>
#include <string>

#include "text/error_messages.h"
#include "text/input_source.h"
#include "text/locator.h"
#include "text/parser_error.h"
#include "text/utf8.h"
#include "text/xml_memory_stream.h"

namespace {

constexpr TXmlMessageLanguage kAllLanguages[] = {
    TXmlMessageLanguage::de, TXmlMessageLanguage::en, TXmlMessageLanguage::es, TXmlMessageLanguage::fr,
    TXmlMessageLanguage::it, TXmlMessageLanguage::nl, TXmlMessageLanguage::pl, TXmlMessageLanguage::pt};

std::string english(const TXmlParserError& error) { return utf16ToUtf8(error.errorMessage(TXmlMessageLanguage::en)); }

TXmlParserError record(const char* errorClass, std::u16string code, std::u16string publicId, std::u16string systemId,
                       int startLine, int startColumn, int endLine, int endColumn) {
    return TXmlParserError(errorClass, std::move(code), std::move(publicId), std::move(systemId), startLine,
                           startColumn, endLine, endColumn);
}

} // namespace

TEST(ParserErrorMessage, SeverityWordsAndSeverityFromClass) {
    const TXmlParserError fatal = record("EParserInvalidElementName_Err", u"", u"", u"", 0, 0, 0, 0);
    EXPECT_EQ(fatal.errorType(), TXmlErrorType::fatal);
    EXPECT_EQ(english(fatal), "FATAL ERROR  -- Invalid element name.");

    const TXmlParserError error = record("EParserDuplicate_ID_Value_Err", u"x1", u"", u"", 0, 0, 0, 0);
    EXPECT_EQ(error.errorType(), TXmlErrorType::error);
    EXPECT_EQ(english(error), "ERROR  -- Duplicate ID value: x1");

    const TXmlParserError warning = record("EParserDouble_AttDef_Warning", u"", u"", u"", 0, 0, 0, 0);
    EXPECT_EQ(warning.errorType(), TXmlErrorType::warning);
    EXPECT_EQ(english(warning), "WARNING:  -- Double attribute defintion.");

    // Classes outside the three severity branches are fatal and have no message of their own.
    const TXmlParserError internal = record("EInternalParserException", u"", u"", u"", 0, 0, 0, 0);
    EXPECT_EQ(internal.errorType(), TXmlErrorType::fatal);
    EXPECT_EQ(english(internal), "FATAL ERROR  -- Invalid source-code.");
    // Names are compared exactly, case included; unknown names are fatal.
    const TXmlParserError lower = record("eparserinvalidelementname_err", u"", u"", u"", 0, 0, 0, 0);
    EXPECT_EQ(lower.errorType(), TXmlErrorType::fatal);
    EXPECT_EQ(english(lower), "FATAL ERROR  -- Invalid source-code.");
    // A message row whose class is not in the tree still gives its text.
    EXPECT_EQ(english(record("EParserInvalidEndTag_Err", u"</a>", u"", u"", 0, 0, 0, 0)),
              "FATAL ERROR  -- Invalid end-tag: </a>");
}

TEST(ParserErrorMessage, DocumentAndPositionPhrases) {
    EXPECT_EQ(english(record("EParserNotInRoot_Err", u"abc", u"", u"C:\\data\\a.xml", 3, 5, 3, 9)),
              "FATAL ERROR in local document C:\\data\\a.xml in line 3, between position 5 and 9 -- "
              "Character(s) outside the root-element: abc");
    EXPECT_EQ(english(record("EParserInvalidComment_Err", u"", u"-//P//EN", u"", 4, 7, 4, 7)),
              "FATAL ERROR in public document -//P//EN in line 4, position 7 -- Invalid comment.");
    EXPECT_EQ(english(record("EParserMissingEndTag_Err", u"", u"-//P//EN", u"p.dtd", 2, 10, 5, 1)),
              "FATAL ERROR in document -//P//EN (p.dtd) between line 2, position 10 and line 5, position 1 -- "
              "Missing end-tag.");
    // An end line of 0 leaves the position out, whatever the other numbers.
    EXPECT_EQ(english(record("EParserWrongOrder_Err", u"", u"", u"f.xml", 7, 7, 0, 3)),
              "FATAL ERROR in local document f.xml  -- Wrong order.");
    // Identifiers pass through code page 932: Japanese survives, characters outside it become "?".
    EXPECT_EQ(english(record("EParserWrongOrder_Err", u"", u"", u"\u5730\u56F3\u00E9.xml", 0, 0, 0, 0)),
              "FATAL ERROR in local document \u5730\u56F3?.xml  -- Wrong order.");
    // The offending text is appended as it is.
    EXPECT_EQ(english(record("EParserInvalidCharacter_Err", u"\u00E9", u"", u"", 1, 1, 1, 1)),
              "FATAL ERROR in line 1, position 1 -- Invalid character: \u00E9");
    // Placeholders inside an identifier are not expanded again.
    EXPECT_EQ(english(record("EParserWrongOrder_Err", u"", u"%2", u"b", 0, 0, 0, 0)),
              "FATAL ERROR in document %2 (b)  -- Wrong order.");
}

TEST(ParserErrorMessage, EveryLanguageHasEveryText) {
    std::set<std::string> classes;
    for (const char* name : kMessageClasses) EXPECT_TRUE(classes.insert(name).second) << name;
    EXPECT_EQ(classes.size(), 81u);
    // Every class of the tree that can be reported has a row, except the bases and the internal class.
    for (const char* name : {"EParserInvalidElementName_Err", "EParserExternal_Entity_Not_Found_Err",
                             "EParserUnusable_Entity_Decl_Warning", "EParserWrongPrefixMappingNesting_Err",
                             "EParserUnusable_Encoding_Declaration_Err", "EParserWrong_Standalone_Declaration_Err"})
        EXPECT_TRUE(classes.count(name)) << name;

    for (TXmlMessageLanguage language : kAllLanguages) {
        const TXmlMessageTable& table = messageTable(language);
        std::set<std::string> texts;
        for (const char* message : table.messages) {
            ASSERT_NE(message, nullptr);
            EXPECT_GT(std::string(message).size(), 3u);
            texts.insert(message);
        }
        // Distinct classes get distinct texts (no row was copied twice by mistake).
        EXPECT_EQ(texts.size(), table.messages.size()) << static_cast<int>(language);
        EXPECT_NE(std::string(table.fallback), "");
        for (const char* pattern : table.documentPhrases)
            EXPECT_NE(std::string(pattern).find('%'), std::string::npos) << pattern;
        EXPECT_NE(std::string(table.positionPatterns[2]).find("%4"), std::string::npos);
        if (language != TXmlMessageLanguage::en) {
            EXPECT_STRNE(table.messages[0], messageTable(TXmlMessageLanguage::en).messages[0]);
        }

        // A full line in every language carries every number, both identifiers and the code.
        const TXmlParserError error = record("EParserMissingEndTag_Err", u"<p>", u"PUB", u"SYS", 12, 34, 56, 78);
        const std::u16string line = error.errorMessage(language);
        for (const char16_t* part : {u"PUB", u"SYS", u"12", u"34", u"56", u"78", u": <p>"})
            EXPECT_NE(line.find(part), std::u16string::npos) << static_cast<int>(language);
        EXPECT_EQ(line.find(u'%'), std::u16string::npos);
    }
}

TEST(ParserErrorMessage, TextsAreWidenedFromTheirCodePage) {
    const TXmlParserError error = record("EParserInvalidElementName_Err", u"", u"", u"", 0, 0, 0, 0);
    EXPECT_EQ(utf16ToUtf8(error.errorMessage(TXmlMessageLanguage::de)),
              "FATALER FEHLER  -- Ung\u00FCltiger Elementname.");
    EXPECT_EQ(utf16ToUtf8(error.errorMessage(TXmlMessageLanguage::fr)),
              "ERREUR FATALE  -- Nom d'\u00E9l\u00E9ment non valide.");
    // Polish is Windows-1250: the L with stroke is 0xA3 there, not the pound sign of Latin-1.
    EXPECT_EQ(utf16ToUtf8(error.errorMessage(TXmlMessageLanguage::pl)),
              "B\u0141\u0104D KRYTYCZNY  -- Nieprawid\u0142owa nazwa elementu.");
    const TXmlParserError warning = record("EParserDouble_Entity_Decl_Warning", u"", u"", u"", 2, 1, 2, 4);
    EXPECT_EQ(utf16ToUtf8(warning.errorMessage(TXmlMessageLanguage::pt)),
              "AVISO: na linha 2, entre as posi\u00E7\u00F5es 1 e 4 -- Declara\u00E7\u00E3o de entidade duplicada.");
}

TEST(ParserErrorMessage, QuotesAtMostEightyCharactersOfTheInput) {
    const std::u16string eighty(80, u'x');
    const std::u16string smile = u"\U0001F600"; // one character, two code units
    for (TXmlMessageLanguage language : kAllLanguages) {
        auto quote = [language](std::u16string code) {
            const std::u16string line =
                record("EParserInvalidEntityName_Err", std::move(code), u"", u"", 1, 1, 1, 2).errorMessage(language);
            return line.substr(line.find(u": ") + 2);
        };
        EXPECT_EQ(quote(eighty), eighty);
        EXPECT_EQ(quote(eighty + u"y" + std::u16string(100000, u'z')), eighty + u"\u2026");
        // The eightieth character is a surrogate pair: kept whole, and counted as one.
        const std::u16string pairLast = std::u16string(79, u'x') + smile;
        EXPECT_EQ(quote(pairLast), pairLast);
        EXPECT_EQ(quote(pairLast + u"y"), pairLast + u"\u2026");
        EXPECT_EQ(quote(std::u16string(40, u'x') + std::u16string(50, u'\u3042')),
                  std::u16string(40, u'x') + std::u16string(40, u'\u3042') + u"\u2026");
    }
}

TEST(ParserErrorRecord, MadeFromTheLocator) {
    TXmlMemoryStream empty;
    TXmlInputSource source(&empty, u"-//P//EN", u"points.xml");
    TdomStandardLocator locator(&source);
    for (char16_t c : std::u16string(u"ab\ncd")) locator.advance(c);
    locator.markPieceEnd();
    for (char16_t c : std::u16string(u"e\nfg")) locator.advance(c);

    const auto error = createParserError(&locator, u"efg", "EParserInvalidCharacter_Err");
    EXPECT_EQ(error->errorClass(), "EParserInvalidCharacter_Err");
    EXPECT_EQ(error->startLine(), 2);
    EXPECT_EQ(error->startColumn(), 3);
    EXPECT_EQ(error->endLine(), 3);
    EXPECT_EQ(error->endColumn(), 2);
    EXPECT_EQ(error->publicId(), u"-//P//EN");
    EXPECT_EQ(error->systemId(), u"points.xml");
    EXPECT_EQ(error->code(), u"efg");
    EXPECT_EQ(english(*error), "FATAL ERROR in document -//P//EN (points.xml) between line 2, position 3 and line 3, "
                               "position 2 -- Invalid character: efg");

    const auto blind = createParserError(nullptr, u"", "EParserRootNotFound_Err");
    EXPECT_EQ(blind->startLine(), 0);
    EXPECT_EQ(blind->endColumn(), 0);
    EXPECT_EQ(blind->systemId(), u"");
    EXPECT_EQ(english(*blind), "FATAL ERROR  -- No root element found.");
}
