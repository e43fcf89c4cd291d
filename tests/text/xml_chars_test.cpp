#include "text/xml_chars.h"

#include <gtest/gtest.h>
#include <libxml/chvalid.h>

#include <string>

#include "dom/dom_exception.h"
#include "text/exception.h"

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

TEST(XmlCharsUnits, SurrogatesAndBoundaries) {
    EXPECT_TRUE(isCharUnit(0x09));
    EXPECT_FALSE(isCharUnit(0x0B));
    EXPECT_TRUE(isCharUnit(0xD800));
    EXPECT_TRUE(isCharUnit(0xFFFD));
    EXPECT_FALSE(isCharUnit(0xFFFE));
    EXPECT_FALSE(isCharUnit(0xFFFF));
    EXPECT_TRUE(isHighSurrogate(0xDBFF));
    EXPECT_FALSE(isHighSurrogate(0xDC00));
    EXPECT_TRUE(isLowSurrogate(0xDC00));
    EXPECT_FALSE(isLowSurrogate(0xE000));
    EXPECT_FALSE(isPubidChar(u'"'));
    EXPECT_FALSE(isPubidChar(u'&'));
    EXPECT_TRUE(isPubidChar(u'\''));
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

TEST(XmlCharsChecks, CharsFollowThePairingRule) {
    EXPECT_TRUE(checkChars(u""));
    EXPECT_TRUE(checkChars(u"a\tb\r\n"));
    EXPECT_TRUE(checkChars(u"x\xD83D\xDE00y"));
    EXPECT_FALSE(checkChars(u"abc\xD83D"));
    EXPECT_FALSE(checkChars(u"\xDE00"
                            u"abc"));
    EXPECT_FALSE(checkChars(u"\xD83D"
                            u"a\xDE00"));
    EXPECT_FALSE(checkChars(u"a\xFFFE"));
    EXPECT_FALSE(checkChars(u"a\xFFFF"));
    EXPECT_FALSE(checkChars(std::u16string(1, u'\0')));
    EXPECT_FALSE(checkChars(u"\x0B"));
    EXPECT_TRUE(checkCData(u"a]]b>"));
    EXPECT_FALSE(checkCData(u"a]]>b"));
    EXPECT_FALSE(checkCData(u"\xD800"));
    EXPECT_TRUE(checkCharData(u"plain text"));
    EXPECT_FALSE(checkCharData(u"a<b"));
    EXPECT_FALSE(checkCharData(u"a&b"));
    EXPECT_FALSE(checkCharData(u"]]>"));
    EXPECT_TRUE(checkWhiteSpace(u" \t\r\n"));
    EXPECT_FALSE(checkWhiteSpace(u""));
    EXPECT_FALSE(checkWhiteSpace(u" x "));
}

TEST(XmlCharsChecks, NamesTokensAndQualifiedNames) {
    EXPECT_TRUE(checkName(u":a"));
    EXPECT_TRUE(checkName(u"_1"));
    EXPECT_TRUE(checkName(u"\x5730\x70B9-name.x"));
    EXPECT_FALSE(checkName(u"1a"));
    EXPECT_FALSE(checkName(u""));
    EXPECT_FALSE(checkName(u"a b"));
    EXPECT_FALSE(checkName(u"a\xD83D\xDE00"));
    EXPECT_FALSE(checkNCName(u":a"));
    EXPECT_FALSE(checkNCName(u"a:b"));
    EXPECT_TRUE(checkNCName(u"_a.b-c"));
    EXPECT_TRUE(checkQName(u"a:b"));
    EXPECT_TRUE(checkQName(u"ab"));
    EXPECT_FALSE(checkQName(u"a:b:c"));
    EXPECT_FALSE(checkQName(u":b"));
    EXPECT_FALSE(checkQName(u"a:"));
    EXPECT_TRUE(checkNames(u"a b c"));
    EXPECT_FALSE(checkNames(u"a  b"));
    EXPECT_FALSE(checkNames(u" a"));
    EXPECT_FALSE(checkNames(u"a "));
    EXPECT_FALSE(checkNames(u""));
    EXPECT_FALSE(checkNames(u"a 1b"));
    EXPECT_TRUE(checkNmtoken(u"1a"));
    EXPECT_FALSE(checkNmtoken(u""));
    EXPECT_TRUE(checkNmtokens(u"1 2 .x"));
    EXPECT_FALSE(checkNmtokens(u"1  2"));
    EXPECT_FALSE(checkPITarget(u"XmL"));
    EXPECT_FALSE(checkPITarget(u"xml"));
    EXPECT_TRUE(checkPITarget(u"xml-stylesheet"));
    EXPECT_TRUE(checkPITarget(u"xm"));
}

TEST(XmlCharsChecks, DeclarationTokens) {
    EXPECT_TRUE(checkEncName(u"Shift_JIS"));
    EXPECT_TRUE(checkEncName(u"EUC-JP"));
    EXPECT_FALSE(checkEncName(u"Shift JIS"));
    EXPECT_FALSE(checkEncName(u"8859"));
    EXPECT_FALSE(checkEncName(u""));
    EXPECT_TRUE(checkVersionNum(u"1.0"));
    EXPECT_TRUE(checkVersionNum(u"a:b_c-d"));
    EXPECT_FALSE(checkVersionNum(u""));
    EXPECT_FALSE(checkVersionNum(u"1 0"));
    EXPECT_TRUE(checkStringType(u"CDATA"));
    EXPECT_FALSE(checkStringType(u"cdata"));
    for (const char16_t* type : {u"ID", u"IDREF", u"IDREFS", u"ENTITY", u"ENTITIES", u"NMTOKEN", u"NMTOKENS"})
        EXPECT_TRUE(checkTokenizedType(type));
    EXPECT_FALSE(checkTokenizedType(u"id"));
    EXPECT_FALSE(checkTokenizedType(u"CDATA"));
}

TEST(XmlCharsChecks, References) {
    EXPECT_TRUE(checkCharRef(u"&#x1F600;"));
    EXPECT_TRUE(checkCharRef(u"&#65;"));
    EXPECT_TRUE(checkCharRef(u"&#xaF;"));
    EXPECT_FALSE(checkCharRef(u"&#X41;"));
    EXPECT_FALSE(checkCharRef(u"&#;"));
    EXPECT_FALSE(checkCharRef(u"&#x;"));
    EXPECT_FALSE(checkCharRef(u"&#65"));
    EXPECT_FALSE(checkCharRef(u"&#6a;"));
    EXPECT_FALSE(checkCharRef(u";"));
    EXPECT_FALSE(checkCharRef(u""));
    EXPECT_TRUE(checkEntityRef(u"&amp;"));
    EXPECT_FALSE(checkEntityRef(u"&;"));
    EXPECT_FALSE(checkEntityRef(u"&"));
    EXPECT_FALSE(checkEntityRef(u"a&b;"));
    EXPECT_FALSE(checkEntityRef(u"&a&b;"));
    EXPECT_FALSE(checkEntityRef(u"%a;"));
    EXPECT_TRUE(checkPEReference(u"%a;"));
    EXPECT_FALSE(checkPEReference(u"&a;"));
    EXPECT_TRUE(checkReference(u"&a;"));
    EXPECT_TRUE(checkReference(u"&#10;"));
    EXPECT_FALSE(checkReference(u"%a;"));
}

TEST(XmlCharsChecks, QuotedValuesAndLiterals) {
    EXPECT_TRUE(checkEntityValue(u"\"a %pe; &ent; &#65; 'b'\""));
    EXPECT_TRUE(checkEntityValue(u"''"));
    EXPECT_TRUE(checkEntityValue(u"'<'"));
    EXPECT_FALSE(checkEntityValue(u"'"));
    EXPECT_FALSE(checkEntityValue(u"'a\""));
    EXPECT_FALSE(checkEntityValue(u"'a'b'"));
    EXPECT_FALSE(checkEntityValue(u"'a % b'"));
    EXPECT_FALSE(checkEntityValue(u"'a & b;'"));
    EXPECT_FALSE(checkEntityValue(u"'a &b'"));
    EXPECT_FALSE(checkEntityValue(u"'\xD800'"));
    EXPECT_TRUE(checkEntityValue(u"'\xD800\xDC00'"));
    EXPECT_TRUE(checkAttValue(u"'a % b &c; &#x20;'"));
    EXPECT_FALSE(checkAttValue(u"'a<b'"));
    EXPECT_FALSE(checkAttValue(u"'&c'"));
    EXPECT_TRUE(checkSystemLiteral(u"\"it's.dtd\""));
    EXPECT_TRUE(checkSystemLiteral(u"'a\"b'"));
    EXPECT_FALSE(checkSystemLiteral(u"'a'b'"));
    EXPECT_FALSE(checkSystemLiteral(u"\"abc'"));
    EXPECT_FALSE(checkSystemLiteral(u"\""));
    EXPECT_TRUE(checkPubidLiteral(u"\"-//ORG//DTD x 1.0//EN\""));
    EXPECT_FALSE(checkPubidLiteral(u"\"a{b\""));
    EXPECT_FALSE(checkPubidLiteral(u"'a{b'"));
    EXPECT_FALSE(checkPubidLiteral(u"'a\"b'"));
    EXPECT_FALSE(checkPubidLiteral(u"'it's'"));
    EXPECT_TRUE(checkPubidLiteral(u"\"it's\""));
}

TEST(XmlCharsCharRef, ValuesTextsAndFailures) {
    EXPECT_EQ(charRefValue(u"&#x9;"), 9);
    EXPECT_EQ(charRefValue(u"&#x10FFFF;"), 0x10FFFF);
    EXPECT_EQ(charRefValue(u"&#65;"), 65);
    EXPECT_EQ(charRefValue(u"&#x00000000041;"), 0x41);
    EXPECT_EQ(charRefText(u"&#x1F600;"), std::u16string(u"\xD83D\xDE00"));
    EXPECT_EQ(charRefText(u"&#12354;"), std::u16string(u"\x3042"));
    for (const char16_t* bad : {u"&#xD800;", u"&#xFFFE;", u"&#x110000;", u"&#0;", u"&#X41;", u"abc"}) {
        try {
            charRefValue(bad);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_NE(e.message().find(" is not a valid XmlCharRef value."), std::string::npos);
        }
    }
    try {
        charRefValue(u"&#xD800;");
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "&#xD800; is not a valid XmlCharRef value.");
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
    try {
        qnameLocalName(u":b");
        ADD_FAILURE() << "no exception";
    } catch (const EInvalid_Character_Err& e) {
        EXPECT_EQ(e.message(), "Invalid character error.");
    }
}

} // namespace
