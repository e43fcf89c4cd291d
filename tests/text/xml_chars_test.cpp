#include <gtest/gtest.h>
#include <initializer_list>
#include <libxml/chvalid.h>
#include <string>
#include <string_view>

#include "tests/text/raised_message.h"
#include "text/dom_exception.h"
#include "text/exception.h"
#include "text/xml_chars.h"

namespace {

// libxml2 carries its own range tables of the same appendix; every code unit must agree.
TEST(XmlCharsOracle, AppendixBClassesMatchLibxml2ForEveryCodeUnit) {
    int mismatches = 0;
    for (unsigned c = 0; c <= 0xFFFF; ++c) {
        const char16_t u = static_cast<char16_t>(c);
        const bool base = xmlIsBaseChar(c) != 0;
        const bool ideo = xmlIsIdeographic(c) != 0;
        const bool comb = xmlIsCombining(c) != 0;
        const bool digit = xmlIsDigit(c) != 0;
        const bool ext = xmlIsExtender(c) != 0;
        const bool pubid = xmlIsPubidChar(c) != 0;
        const bool blank = xmlIsBlank(c) != 0;
        // libxml2 tests whole code points: surrogates are no Char there, but pass as units here.
        const bool charUnit = xmlIsChar(c) != 0 || (c >= 0xD800 && c <= 0xDFFF);
        const bool letter = base || ideo;
        const bool nameChar = letter || digit || comb || ext || c == '-' || c == '.' || c == ':' || c == '_';
        const bool ok = isBaseChar(u) == base && isIdeographic(u) == ideo && isCombiningChar(u) == comb &&
                        isDigitChar(u) == digit && isExtender(u) == ext && isPubidChar(u) == pubid &&
                        isWhiteSpace(u) == blank && isCharUnit(u) == charUnit && isLetter(u) == letter &&
                        isNameChar(u) == nameChar && isNCNameChar(u) == (nameChar && c != ':') &&
                        isNameStartChar(u) == (letter || c == '_' || c == ':') &&
                        isNCNameStartChar(u) == (letter || c == '_');
        if (!ok && ++mismatches <= 20) ADD_FAILURE() << "classes differ at U+" << std::hex << c;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(XmlCharsSurrogates, ArithmeticRoundTripsEveryPlane) {
    EXPECT_EQ(highSurrogateOf(0x1F600), 0xD83D);
    EXPECT_EQ(lowSurrogateOf(0x1F600), 0xDE00);
    EXPECT_EQ(codePointOfPair(0xD83D, 0xDE00), 0x1F600);
    for (std::int32_t c = 0x10000; c <= 0x10FFFF; c += 0x3FF) {
        const char16_t high = highSurrogateOf(c);
        const char16_t low = lowSurrogateOf(c);
        ASSERT_TRUE(isHighSurrogate(high));
        ASSERT_TRUE(isLowSurrogate(low));
        ASSERT_EQ(codePointOfPair(high, low), c);
    }
}

using Check = bool (*)(std::u16string_view);

// Every text gets the expected answer from the check.
void expectAll(Check check, std::initializer_list<std::u16string_view> texts, bool expected) {
    int index = 0;
    for (std::u16string_view text : texts) EXPECT_EQ(check(text), expected) << "text #" << index++;
}

TEST(XmlCharsChecks, CharsFollowThePairingRule) {
    expectAll(checkChars, {u"", u"a\tb\r\n", u"x\xD83D\xDE00y"}, true);
    expectAll(checkChars,
              {u"abc\xD83D",
               u"\xDE00"
               u"abc",
               u"\xD83D"
               u"a\xDE00",
               u"a\xFFFE", u"a\xFFFF", u"\x0B"},
              false);
    EXPECT_FALSE(checkChars(std::u16string(1, u'\0')));
    expectAll(checkCData, {u"a]]b>", u""}, true);
    expectAll(checkCData, {u"a]]>b", u"\xD800"}, false);
    expectAll(checkCharData, {u"plain text"}, true);
    expectAll(checkCharData, {u"a<b", u"a&b", u"]]>"}, false);
    expectAll(checkWhiteSpace, {u" \t\r\n"}, true);
    expectAll(checkWhiteSpace, {u"", u" x "}, false);
}

TEST(XmlCharsChecks, NamesTokensAndQualifiedNames) {
    expectAll(checkName, {u":a", u"_1", u"\x5730\x70B9-name.x"}, true);
    expectAll(checkName, {u"1a", u"", u"a b", u"a\xD83D\xDE00"}, false);
    expectAll(checkNCName, {u"_a.b-c"}, true);
    expectAll(checkNCName, {u":a", u"a:b"}, false);
    expectAll(checkQName, {u"a:b", u"ab"}, true);
    expectAll(checkQName, {u"a:b:c", u":b", u"a:"}, false);
    expectAll(checkNames, {u"a b c"}, true);
    expectAll(checkNames, {u"a  b", u" a", u"a ", u"", u"a 1b"}, false);
    expectAll(checkNmtoken, {u"1a"}, true);
    expectAll(checkNmtoken, {u""}, false);
    expectAll(checkNmtokens, {u"1 2 .x"}, true);
    expectAll(checkNmtokens, {u"1  2"}, false);
    expectAll(checkPITarget, {u"xml-stylesheet", u"xm"}, true);
    expectAll(checkPITarget, {u"XmL", u"xml"}, false);
}

TEST(XmlCharsChecks, DeclarationTokens) {
    expectAll(checkEncName, {u"Shift_JIS", u"EUC-JP"}, true);
    expectAll(checkEncName, {u"Shift JIS", u"8859", u""}, false);
    expectAll(checkVersionNum, {u"1.0", u"a:b_c-d"}, true);
    expectAll(checkVersionNum, {u"", u"1 0"}, false);
    expectAll(checkStringType, {u"CDATA"}, true);
    expectAll(checkStringType, {u"cdata"}, false);
    expectAll(checkTokenizedType, {u"ID", u"IDREF", u"IDREFS", u"ENTITY", u"ENTITIES", u"NMTOKEN", u"NMTOKENS"}, true);
    expectAll(checkTokenizedType, {u"id", u"CDATA"}, false);
}

TEST(XmlCharsChecks, References) {
    expectAll(checkCharRef, {u"&#x1F600;", u"&#65;", u"&#xaF;"}, true);
    expectAll(checkCharRef, {u"&#X41;", u"&#;", u"&#x;", u"&#65", u"&#6a;", u";", u""}, false);
    expectAll(checkEntityRef, {u"&amp;"}, true);
    expectAll(checkEntityRef, {u"&;", u"&", u"a&b;", u"&a&b;", u"%a;"}, false);
    expectAll(checkPEReference, {u"%a;"}, true);
    expectAll(checkPEReference, {u"&a;"}, false);
    expectAll(checkReference, {u"&a;", u"&#10;"}, true);
    expectAll(checkReference, {u"%a;"}, false);
}

TEST(XmlCharsChecks, QuotedValuesAndLiterals) {
    expectAll(checkEntityValue, {u"\"a %pe; &ent; &#65; 'b'\"", u"''", u"'<'", u"'\xD800\xDC00'"}, true);
    expectAll(checkEntityValue, {u"'", u"'a\"", u"'a'b'", u"'a % b'", u"'a & b;'", u"'a &b'", u"'\xD800'"}, false);
    expectAll(checkAttValue, {u"'a % b &c; &#x20;'"}, true);
    expectAll(checkAttValue, {u"'a<b'", u"'&c'"}, false);
    expectAll(checkSystemLiteral, {u"\"it's.dtd\"", u"'a\"b'"}, true);
    expectAll(checkSystemLiteral, {u"'a'b'", u"\"abc'", u"\""}, false);
    expectAll(checkPubidLiteral, {u"\"-//ORG//DTD x 1.0//EN\"", u"\"it's\""}, true);
    expectAll(checkPubidLiteral, {u"\"a{b\"", u"'a{b'", u"'a\"b'", u"'it's'"}, false);
}

TEST(XmlCharsCharRef, ValuesTextsAndFailures) {
    EXPECT_EQ(charRefValue(u"&#x9;"), 9);
    EXPECT_EQ(charRefValue(u"&#x10FFFF;"), 0x10FFFF);
    EXPECT_EQ(charRefValue(u"&#65;"), 65);
    EXPECT_EQ(charRefValue(u"&#x00000000041;"), 0x41);
    EXPECT_EQ(charRefText(u"&#x1F600;"), std::u16string(u"\xD83D\xDE00"));
    EXPECT_EQ(charRefText(u"&#12354;"), std::u16string(u"\x3042"));
    for (const char16_t* bad : {u"&#xD800;", u"&#xFFFE;", u"&#x110000;", u"&#0;", u"&#X41;", u"abc"}) {
        const std::u16string text = bad;
        EXPECT_EQ(raisedMessage<EConvertError>([&] { charRefValue(text); }),
                  std::string(text.begin(), text.end()) + " is not a valid XmlCharRef value.");
    }
    // Digits beyond 32 bits fail in the conversion, without wrapping around to a valid value.
    EXPECT_THROW(charRefValue(u"&#x100000041;"), EConvertError);
    EXPECT_THROW(charRefValue(u"&#4294967361;"), EConvertError);
    EXPECT_THROW(charRefValue(u"&#99999999999999999999999999999999999999;"), EConvertError);
    EXPECT_THROW(charRefText(u"&#x7FFFFFFF;"), EConvertError);
}

TEST(XmlCharsQName, PrefixAndLocalPart) {
    EXPECT_EQ(qnamePrefix(u"pm:format"), u"pm");
    EXPECT_EQ(qnameLocalName(u"pm:format"), u"format");
    EXPECT_EQ(qnamePrefix(u"format"), u"");
    EXPECT_EQ(qnameLocalName(u"format"), u"format");
    EXPECT_THROW(qnamePrefix(u"a:b:c"), EInvalid_Character_Err);
    EXPECT_THROW(qnameLocalName(u"1a:b"), EInvalid_Character_Err);
    EXPECT_THROW(qnameLocalName(u"a:"), EInvalid_Character_Err);
    EXPECT_THROW(qnamePrefix(u""), EInvalid_Character_Err);
    EXPECT_EQ(raisedMessage<EInvalid_Character_Err>([&] { qnameLocalName(u":b"); }), "Invalid character error.");
}

// Random texts over the units that matter to the productions: every check answers without
// raising, and the productions nest as they should.
TEST(XmlCharsChecks, TotalOnRandomTextsAndProductionsNest) {
    const char16_t alphabet[] = {u'a',   u'Z',   u'1',   u'_',   u':',   u'-',  u'.', u' ',   u'\t',  u'&',
                                 u'%',   u';',   u'#',   u'x',   u'"',   u'\'', u'<', u']',   u'>',   0,
                                 0xD800, 0xDC00, 0xFFFE, 0x3042, 0x0300, 0x1F,  0x7F, 0xD7FF, 0xE000, 0xFFFF};
    std::uint32_t seed = 7;
    for (int round = 0; round < 20000; ++round) {
        std::u16string s;
        seed = seed * 1103515245u + 12345u;
        const unsigned length = (seed >> 16) % 12;
        for (unsigned i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            s.push_back(alphabet[(seed >> 16) % std::size(alphabet)]);
        }
        // The character-data checks are single passes; they must agree with their definitions.
        const bool cdata = s.find(u"]]>") == std::u16string::npos && checkChars(s);
        ASSERT_EQ(checkCData(s), cdata);
        ASSERT_EQ(checkCharData(s), cdata && s.find_first_of(u"<&") == std::u16string::npos);
        ASSERT_TRUE(!checkNCName(s) || checkQName(s));
        ASSERT_TRUE(!checkQName(s) || checkName(s));
        ASSERT_TRUE(!checkName(s) || (checkNmtoken(s) && checkNames(s)));
        ASSERT_TRUE(!checkPubidLiteral(s) || checkSystemLiteral(s));
        ASSERT_TRUE(s.size() >= 2 || !(checkAttValue(s) || checkEntityValue(s) || checkSystemLiteral(s)));
        if (checkCharRef(s)) {
            try {
                const std::int32_t value = charRefValue(s);
                ASSERT_EQ(charRefText(s).size(), value > 0xFFFF ? 2u : 1u);
            } catch (const EConvertError&) {
            }
        } else {
            ASSERT_THROW(charRefValue(s), EConvertError);
        }
        ASSERT_EQ(checkReference(s), checkEntityRef(s) || checkCharRef(s));
        if (checkQName(s))
            ASSERT_EQ(qnamePrefix(s).empty() ? qnameLocalName(s) : qnamePrefix(s) + u":" + qnameLocalName(s), s);
        else
            ASSERT_THROW(qnamePrefix(s), EInvalid_Character_Err);
    }
}

// Long texts, where the character-data checks pass over plain units in blocks: a unit that
// matters is found at every position of a block and across block borders, also as part of a
// "]]>" or a surrogate pair cut by the border.
TEST(XmlCharsChecks, CharacterDataChecksFindEveryUnitInLongTexts) {
    const std::u16string inserts[] = {u"<",      u"&",   u"\x0B",         u"\xFFFE", u"\xFFFF", u"\xDC00",
                                      u"\xD800", u"]]>", u"\xD83D\xDE00", u"\t\r\n", u"]>",     u"\xE000\x7F\x80"};
    for (const std::u16string& plain : {std::u16string(u"abcdefghijklmnopqrstuvwx"), std::u16string(24, 0x99c5)}) {
        for (std::size_t position = 0; position <= plain.size(); ++position) {
            for (const std::u16string& insert : inserts) {
                std::u16string s = plain;
                s.insert(position, insert);
                const bool cdata = s.find(u"]]>") == std::u16string::npos && checkChars(s);
                ASSERT_EQ(checkCData(s), cdata) << position;
                ASSERT_EQ(checkCharData(s), cdata && s.find_first_of(u"<&") == std::u16string::npos) << position;
            }
        }
    }
}

} // namespace
