#include <gtest/gtest.h>
#include <string>

#include "tests/text/raised_message.h"
#include "text/exception.h"
#include "text/name_value_list.h"
#include "text/text_utils.h"

namespace {

// Each helper runs one utility and sums up its outputs in one text, "failed" on failure.
std::u16string split(std::u16string_view text) {
    std::u16string first, rest;
    splitTarget(text, first, rest);
    return first + u"|" + rest;
}

template <void (*Unwrap)(std::u16string_view, std::u16string&, bool&)>
std::u16string unwrapped(std::u16string_view text) {
    std::u16string inner;
    bool failed = false;
    Unwrap(text, inner, failed);
    return failed ? u"failed" : inner;
}

std::u16string literal(std::u16string_view text) {
    std::u16string value, rest;
    bool failed = false;
    char16_t quote = u'?';
    takeQuotedLiteral(text, value, rest, failed, quote);
    if (failed) return quote == 0 ? u"failed" : u"failed, quote kept";
    return quote + value + quote + u"|" + rest;
}

std::u16string pseudo(std::u16string_view text) {
    TdomNameValueList list;
    list.addPair(u"stale", u"pair");
    std::u16string target;
    int result = -1;
    parsePseudoAttributes(text, target, list, result);
    std::u16string summary = std::u16string(1, static_cast<char16_t>(u'0' + result)) + u" " + target + u":";
    for (int i = 0; i < list.pairCount(); ++i) summary += u" " + list.nameAt(i) + u"=" + list.valueAt(i);
    return summary;
}

std::u16string entity(std::u16string_view text) {
    std::u16string value, systemId, publicId, notation;
    bool failed = false;
    parseEntityDefinition(text, value, systemId, publicId, notation, failed);
    return failed ? u"failed" : u"[" + value + u"] S[" + systemId + u"] P[" + publicId + u"] N[" + notation + u"]";
}

std::u16string notation(std::u16string_view text) {
    std::u16string systemId, publicId;
    bool failed = false;
    parseNotationExternalId(text, systemId, publicId, failed);
    return failed ? u"failed" : u"S[" + systemId + u"] P[" + publicId + u"]";
}

TEST(TextUtilsEscapingAndTrimming, EscapesAndTrims) {
    EXPECT_EQ(escapeQuotes(u"a\"b'c&<>"), u"a&#34;b&#39;c&<>");
    EXPECT_EQ(escapeMarkup(u"a\"b'c&<>\x3042"), u"a&#34;b&#39;c&#38;&#60;&#62;\x3042");
    EXPECT_EQ(escapeMarkup(u""), u"");
    EXPECT_EQ(trimWhiteSpace(u" \t\r\n a b \n"), u"a b");
    EXPECT_EQ(trimWhiteSpace(u" \t "), u"");
    EXPECT_EQ(trimWhiteSpace(u"\x3000x\x3000"), u"\x3000x\x3000"); // ideographic space is no XML white space
    EXPECT_EQ(trimChar(u"  a b  "), u"a b");
    EXPECT_EQ(trimChar(u"\ta "), u"\ta");
    EXPECT_EQ(trimChar(u"   "), u"");
}

TEST(TextUtilsSplitting, TargetsBracketsAndParentheses) {
    EXPECT_EQ(split(u"xml-stylesheet \t href='a' type='b'  \n"), u"xml-stylesheet|href='a' type='b'");
    EXPECT_EQ(split(u"target"), u"target|");
    EXPECT_EQ(split(u" lead"), u"|lead");
    // The outputs may be the input itself.
    std::u16string first, text = u"name rest of it";
    splitTarget(text, first, text);
    EXPECT_EQ(first + u"|" + text, u"name|rest of it");

    EXPECT_EQ(unwrapped<unwrapBrackets>(u"  [ <!ELEMENT a ANY> ] \n"), u" <!ELEMENT a ANY> ");
    EXPECT_EQ(unwrapped<unwrapBrackets>(u"[]"), u"");
    for (const char16_t* bad : {u"[", u"]", u"", u"[a", u"a]", u"(a)"})
        EXPECT_EQ(unwrapped<unwrapBrackets>(bad), u"failed");
    EXPECT_EQ(unwrapped<unwrapParentheses>(u" ( a | b ) "), u"a | b");
    EXPECT_EQ(unwrapped<unwrapParentheses>(u"(a"), u"failed");
}

TEST(TextUtilsLiterals, TakeQuotedLiteral) {
    EXPECT_EQ(literal(u"  \"a'b\"  next 'x'"), u"\"a'b\"|next 'x'");
    EXPECT_EQ(literal(u"'v'"), u"'v'|");
    EXPECT_EQ(literal(u"''"), u"''|");
    for (const char16_t* bad : {u"", u"'", u"\"", u"x'a'", u"'abc", u"'a'b", u"\"a'"})
        EXPECT_EQ(literal(bad), u"failed");
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
    EXPECT_EQ(pseudo(u"xml version=\"1.0\"  encoding = 'Shift_JIS'\tstandalone='no' "),
              u"0 xml: version=1.0 encoding=Shift_JIS standalone=no");
    EXPECT_EQ(pseudo(u"pi"), u"0 pi:");                   // the list is cleared first
    EXPECT_EQ(pseudo(u"x a='1' A='2'"), u"0 x: a=1 A=2"); // names are case-sensitive
    // Parsing stops at the first error; the pairs before it stay.
    EXPECT_EQ(pseudo(u"x a='1' a=\"2\""), u"1 x: a=1");
    EXPECT_EQ(pseudo(u"x a=1"), u"2 x:");
    EXPECT_EQ(pseudo(u"x a='1"), u"2 x:");
    EXPECT_EQ(pseudo(u"x a="), u"2 x:");
    EXPECT_EQ(pseudo(u"x a '1'"), u"3 x:");
    EXPECT_EQ(pseudo(u"x a"), u"3 x:");
    EXPECT_EQ(pseudo(u"x a='1'b='2'"), u"4 x: a=1");
    EXPECT_EQ(pseudo(u"x \t\r\n"), u"0 x:");
    EXPECT_EQ(pseudo(u" x='1'"), u"0 : x=1");
    // Long lists find a repeated name, early or late, as short ones do.
    std::u16string many = u"x", expected = u" x:";
    for (int i = 0; i < 20; ++i) {
        const std::u16string n = u"n" + std::u16string(1, static_cast<char16_t>(u'a' + i));
        many += u" " + n + u"='" + n + u"'";
        expected += u" " + n + u"=" + n;
    }
    EXPECT_EQ(pseudo(many), u"0" + expected);
    EXPECT_EQ(pseudo(many + u" na='again'"), u"1" + expected);
    EXPECT_EQ(pseudo(many + u" nt='again'"), u"1" + expected);
    EXPECT_EQ(pseudo(many + u" new='1' new='2'"), u"1" + expected + u" new=1");
    // The target may be the text itself.
    TdomNameValueList list;
    std::u16string text = u"name k='v'";
    int result = -1;
    parsePseudoAttributes(text, text, list, result);
    EXPECT_EQ(text, u"name");
    EXPECT_EQ(list.valueAt(0), u"v");
}

TEST(TextUtilsDeclarations, EntityDefinitionsAndNotations) {
    EXPECT_EQ(entity(u" \"a &amp; %pe; b\" "), u"[a &amp; %pe; b] S[] P[] N[]");
    EXPECT_EQ(entity(u" SYSTEM 'a.ent'"), u"[] S[a.ent] P[] N[]");
    EXPECT_EQ(entity(u"PUBLIC \"-//X//EN\" \"x.ent\""), u"[] S[x.ent] P[-//X//EN] N[]");
    EXPECT_EQ(entity(u"SYSTEM \"p.gif\" NDATA  gif "), u"[] S[p.gif] P[] N[gif]");
    for (const char16_t* bad : {u"", u"'", u"'a' x", u"'a&b'", u"'a%b'", u"SYSTEM", u"SYSTEM'a'", u"SYSTEMS 'a'",
                                u"system 'a'", u"PUBLIC 'a'", u"PUBLIC 'a{' 'b'", u"SYSTEM 'a' NDATA",
                                u"SYSTEM 'a' NDATA 1x", u"SYSTEM 'a' NDATAgif", u"SYSTEM 'a' junk", u"SYSTEM 'a'b'"})
        EXPECT_EQ(entity(bad), u"failed");

    EXPECT_EQ(notation(u" SYSTEM 'viewer.exe' "), u"S[viewer.exe] P[]");
    EXPECT_EQ(notation(u"PUBLIC '-//X//NOTATION gif//EN'"), u"S[] P[-//X//NOTATION gif//EN]");
    EXPECT_EQ(notation(u"PUBLIC 'p' \"s\""), u"S[s] P[p]");
    for (const char16_t* bad : {u"", u"SYSTEM", u"SYSTEM 'a' 'b'", u"PUBLIC 'p' junk", u"PUBLIC 'p' 's' 't'",
                                u"PUBLIC '{'", u"NOTATION 'a'", u"SYSTEM 'a"})
        EXPECT_EQ(notation(bad), u"failed");
}

// Random declarations made of the tokens that matter: the parsers never raise, and what they
// accept as an external identifier survives formatting and parsing again.
TEST(TextUtilsDeclarations, RandomTextsAndRoundTrips) {
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
        ASSERT_NO_THROW(pseudo(text));
        ASSERT_NE(literal(text), u"failed, quote kept");
        ASSERT_NO_THROW(notation(text));
        std::u16string value, systemId, publicId, notationName;
        bool failed = false;
        ASSERT_NO_THROW(parseEntityDefinition(text, value, systemId, publicId, notationName, failed));
        if (failed || trimWhiteSpace(text)[0] == u'"' || trimWhiteSpace(text)[0] == u'\'') continue;
        // An empty system literal after a public one is written as absent, as for a notation.
        if (!publicId.empty() && systemId.empty()) continue;
        ++accepted;
        ASSERT_EQ(entity(formatExternalId(publicId, systemId, notationName)), entity(text));
    }
    EXPECT_GT(accepted, 0);
}

} // namespace
