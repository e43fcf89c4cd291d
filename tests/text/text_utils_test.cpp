#include "text/text_utils.h"

#include <gtest/gtest.h>

#include <string>

#include "dom/name_value_list.h"
#include "tests/text/raised_message.h"
#include "text/exception.h"

namespace {

TEST(TextUtilsEscaping, QuotesAndMarkup) {
    EXPECT_EQ(escapeQuotes(u"a\"b'c&<>"), u"a&#34;b&#39;c&<>");
    EXPECT_EQ(escapeMarkup(u"a\"b'c&<>\x3042"), u"a&#34;b&#39;c&#38;&#60;&#62;\x3042");
    EXPECT_EQ(escapeMarkup(u""), u"");
    EXPECT_EQ(escapeMarkup(u"&&"), u"&#38;&#38;");
}

TEST(TextUtilsTrimming, WhiteSpaceAndSpaces) {
    EXPECT_EQ(trimWhiteSpace(u" \t\r\n a b \n"), u"a b");
    EXPECT_EQ(trimWhiteSpace(u" \t "), u"");
    EXPECT_EQ(trimWhiteSpace(u""), u"");
    EXPECT_EQ(trimWhiteSpace(u"\x3000x\x3000"), u"\x3000x\x3000"); // ideographic space is no XML white space
    EXPECT_EQ(trimChar(u"  a b  "), u"a b");
    EXPECT_EQ(trimChar(u"\ta "), u"\ta");
    EXPECT_EQ(trimChar(u"   "), u"");
}

TEST(TextUtilsSplitting, TargetsBracketsAndParentheses) {
    std::u16string first, rest;
    splitTarget(u"xml-stylesheet \t href='a' type='b'  \n", first, rest);
    EXPECT_EQ(first, u"xml-stylesheet");
    EXPECT_EQ(rest, u"href='a' type='b'");
    splitTarget(u"target", first, rest);
    EXPECT_EQ(first, u"target");
    EXPECT_EQ(rest, u"");
    splitTarget(u" lead", first, rest);
    EXPECT_EQ(first, u"");
    EXPECT_EQ(rest, u"lead");
    // The outputs may be the input itself.
    std::u16string text = u"name rest of it";
    splitTarget(text, first, text);
    EXPECT_EQ(first, u"name");
    EXPECT_EQ(text, u"rest of it");

    std::u16string inner;
    bool failed = true;
    unwrapBrackets(u"  [ <!ELEMENT a ANY> ] \n", inner, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(inner, u" <!ELEMENT a ANY> ");
    unwrapBrackets(u"[]", inner, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(inner, u"");
    for (const char16_t* bad : {u"[", u"]", u"", u"[a", u"a]", u"(a)"}) {
        unwrapBrackets(bad, inner, failed);
        EXPECT_TRUE(failed) << static_cast<int>(bad[0]);
    }
    unwrapParentheses(u" ( a | b ) ", inner, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(inner, u"a | b");
    unwrapParentheses(u"(a", inner, failed);
    EXPECT_TRUE(failed);
}

TEST(TextUtilsLiterals, TakeQuotedLiteral) {
    std::u16string value, rest;
    bool failed = true;
    char16_t quote = 0;
    takeQuotedLiteral(u"  \"a'b\"  next 'x'", value, rest, failed, quote);
    EXPECT_FALSE(failed);
    EXPECT_EQ(value, u"a'b");
    EXPECT_EQ(rest, u"next 'x'");
    EXPECT_EQ(quote, u'"');
    takeQuotedLiteral(u"'v'", value, rest, failed, quote);
    EXPECT_FALSE(failed);
    EXPECT_EQ(value, u"v");
    EXPECT_EQ(rest, u"");
    EXPECT_EQ(quote, u'\'');
    takeQuotedLiteral(u"''", value, rest, failed, quote);
    EXPECT_FALSE(failed);
    EXPECT_EQ(value, u"");
    for (const char16_t* bad : {u"", u"'", u"\"", u"x'a'", u"'abc", u"'a'b", u"\"a'"}) {
        takeQuotedLiteral(bad, value, rest, failed, quote);
        EXPECT_TRUE(failed);
        EXPECT_EQ(quote, 0);
    }
}

TEST(TextUtilsExternalIds, Formatting) {
    EXPECT_EQ(formatExternalId(u"", u"", u""), u" SYSTEM \"\" ");
    EXPECT_EQ(formatExternalId(u"", u"a.dtd", u""), u" SYSTEM \"a.dtd\" ");
    EXPECT_EQ(formatExternalId(u"", u"say \"hi\"", u""), u" SYSTEM 'say \"hi\"' ");
    EXPECT_EQ(formatExternalId(u"-//X//EN", u"", u""), u" PUBLIC \"-//X//EN\" ");
    EXPECT_EQ(formatExternalId(u"-//X//EN", u"x.dtd", u""), u" PUBLIC \"-//X//EN\" \"x.dtd\" ");
    EXPECT_EQ(formatExternalId(u"", u"pic.gif", u"gif"), u" SYSTEM \"pic.gif\" NDATA gif ");
    EXPECT_EQ(raisedMessage<EConvertError>([&] { formatExternalId(u"", u"a\"b'c", u""); }),
              "a\"b'c is not a valid systemId value.");
    EXPECT_EQ(raisedMessage<EConvertError>([&] { formatExternalId(u"a{b", u"x", u""); }),
              "a{b is not a valid publicId value.");
    EXPECT_EQ(raisedMessage<EConvertError>([&] { formatExternalId(u"", u"x", u"1gif"); }),
              "1gif is not a valid notaName value.");
    EXPECT_THROW(formatExternalId(u"", u"\xD800", u""), EConvertError);
}

TEST(TextUtilsPseudoAttributes, PairsAndResultCodes) {
    TdomNameValueList list;
    std::u16string target;
    int result = -1;
    parsePseudoAttributes(u"xml version=\"1.0\"  encoding = 'Shift_JIS'\tstandalone='no' ", target, list, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(target, u"xml");
    ASSERT_EQ(list.pairCount(), 3);
    EXPECT_EQ(list.nameAt(0), u"version");
    EXPECT_EQ(list.valueAt(0), u"1.0");
    EXPECT_EQ(list.nameAt(1), u"encoding");
    EXPECT_EQ(list.valueAt(1), u"Shift_JIS");
    EXPECT_EQ(list.valueAt(2), u"no");

    parsePseudoAttributes(u"pi", target, list, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(target, u"pi");
    EXPECT_EQ(list.pairCount(), 0); // cleared first

    parsePseudoAttributes(u"x a='1' a=\"2\"", target, list, result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(list.pairCount(), 1); // pairs before the error stay
    parsePseudoAttributes(u"x a='1' A='2'", target, list, result);
    EXPECT_EQ(result, 0); // names are case-sensitive
    parsePseudoAttributes(u"x a=1", target, list, result);
    EXPECT_EQ(result, 2);
    parsePseudoAttributes(u"x a='1", target, list, result);
    EXPECT_EQ(result, 2);
    parsePseudoAttributes(u"x a=", target, list, result);
    EXPECT_EQ(result, 2);
    parsePseudoAttributes(u"x a '1'", target, list, result);
    EXPECT_EQ(result, 3);
    parsePseudoAttributes(u"x a", target, list, result);
    EXPECT_EQ(result, 3);
    parsePseudoAttributes(u"x a='1'b='2'", target, list, result);
    EXPECT_EQ(result, 4);
    EXPECT_EQ(list.pairCount(), 1);
    // The target may be the text itself.
    std::u16string text = u"name k='v'";
    parsePseudoAttributes(text, text, list, result);
    EXPECT_EQ(text, u"name");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(list.valueAt(0), u"v");
}

TEST(TextUtilsEntityDefinitions, InternalExternalAndUnparsed) {
    std::u16string value, systemId, publicId, notation;
    bool failed = true;
    parseEntityDefinition(u" \"a &amp; %pe; b\" ", value, systemId, publicId, notation, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(value, u"a &amp; %pe; b");
    EXPECT_EQ(systemId, u"");
    parseEntityDefinition(u" SYSTEM 'a.ent'", value, systemId, publicId, notation, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(value, u"");
    EXPECT_EQ(systemId, u"a.ent");
    parseEntityDefinition(u"PUBLIC \"-//X//EN\" \"x.ent\"", value, systemId, publicId, notation, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(publicId, u"-//X//EN");
    EXPECT_EQ(systemId, u"x.ent");
    parseEntityDefinition(u"SYSTEM \"p.gif\" NDATA  gif ", value, systemId, publicId, notation, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(systemId, u"p.gif");
    EXPECT_EQ(notation, u"gif");
    for (const char16_t* bad : {u"", u"'", u"'a' x", u"'a&b'", u"'a%b'", u"SYSTEM", u"SYSTEM'a'", u"SYSTEMS 'a'",
                                u"system 'a'", u"PUBLIC 'a'", u"PUBLIC 'a{' 'b'", u"SYSTEM 'a' NDATA",
                                u"SYSTEM 'a' NDATA 1x", u"SYSTEM 'a' NDATAgif", u"SYSTEM 'a' junk", u"SYSTEM 'a'b'"}) {
        parseEntityDefinition(bad, value, systemId, publicId, notation, failed);
        EXPECT_TRUE(failed) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
    }
}

TEST(TextUtilsNotations, ExternalIdentifiers) {
    std::u16string systemId, publicId;
    bool failed = true;
    parseNotationExternalId(u" SYSTEM 'viewer.exe' ", systemId, publicId, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(systemId, u"viewer.exe");
    EXPECT_EQ(publicId, u"");
    parseNotationExternalId(u"PUBLIC '-//X//NOTATION gif//EN'", systemId, publicId, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(publicId, u"-//X//NOTATION gif//EN");
    EXPECT_EQ(systemId, u"");
    parseNotationExternalId(u"PUBLIC 'p' \"s\"", systemId, publicId, failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(publicId, u"p");
    EXPECT_EQ(systemId, u"s");
    for (const char16_t* bad : {u"", u"SYSTEM", u"SYSTEM 'a' 'b'", u"PUBLIC 'p' junk", u"PUBLIC 'p' 's' 't'",
                                u"PUBLIC '{'", u"NOTATION 'a'", u"SYSTEM 'a"}) {
        parseNotationExternalId(bad, systemId, publicId, failed);
        EXPECT_TRUE(failed);
    }
}

// Random declarations made of the tokens that matter: the parsers never raise, and what they
// accept as an external identifier survives formatting and parsing again.
TEST(TextUtilsEntityDefinitions, RandomTextsAndRoundTrips) {
    const std::u16string tokens[] = {u"SYSTEM ", u"PUBLIC ", u" NDATA ", u" n",  u"'a.b'", u"\"p q\"", u"'it\"s'",
                                     u"\"{\"",   u" ",       u"'",       u"&a;", u"%",     u"\t",      u"\"\""};
    std::uint32_t seed = 11;
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::u16string text;
        seed = seed * 1103515245u + 12345u;
        const unsigned count = (seed >> 16) % 10;
        for (unsigned i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += tokens[(seed >> 16) % std::size(tokens)];
        }
        std::u16string value, systemId, publicId, notation, first, rest, inner;
        bool failed = false;
        char16_t quote = 0;
        TdomNameValueList list;
        int result = -1;
        ASSERT_NO_THROW(parsePseudoAttributes(text, first, list, result));
        ASSERT_TRUE(result >= 0 && result <= 4);
        ASSERT_NO_THROW(takeQuotedLiteral(text, value, rest, failed, quote));
        ASSERT_EQ(failed, quote == 0);
        ASSERT_NO_THROW(parseNotationExternalId(text, systemId, publicId, failed));
        ASSERT_NO_THROW(parseEntityDefinition(text, value, systemId, publicId, notation, failed));
        if (failed || trimWhiteSpace(text)[0] == u'"' || trimWhiteSpace(text)[0] == u'\'') continue;
        // An empty system literal after a public one is written as absent, as for a notation.
        if (!publicId.empty() && systemId.empty()) continue;
        ++accepted;
        std::u16string value2, systemId2, publicId2, notation2;
        parseEntityDefinition(formatExternalId(publicId, systemId, notation), value2, systemId2, publicId2, notation2,
                              failed);
        ASSERT_FALSE(failed);
        ASSERT_EQ(systemId2, systemId);
        ASSERT_EQ(publicId2, publicId);
        ASSERT_EQ(notation2, notation);
    }
    EXPECT_GT(accepted, 0);
}

} // namespace
