#include "text/code_page_932.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include "text/utf8.h"

namespace {

// Converts with the C library's iconv; nullopt when it rejects the input or has no converter.
std::optional<std::string> iconvConvert(const char* to, const char* from, const std::string& input) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(input.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1)) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

bool haveIconvCp932() {
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
}

std::u16string fromLittleEndian(const std::string& bytes) {
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return units;
}

} // namespace

TEST(CodePage932, KnownMappings) {
    EXPECT_EQ(cp932::decode("\x82\xA0"), u"\u3042");
    EXPECT_EQ(cp932::decode("\xB1"), u"\uFF71");
    EXPECT_EQ(cp932::decode("\x81\x60"), u"\uFF5E");
    EXPECT_EQ(cp932::decode("\x81\x5F"), u"\uFF3C");
    EXPECT_EQ(cp932::decode("\x87\x40"), u"\u2460");
    EXPECT_EQ(cp932::decode("\xFA\x40"), u"\u2170");
    EXPECT_EQ(cp932::encode(u"\uFF5E\uFF3C\u2460\u2170"), "\x81\x60\x81\x5F\x87\x40\xFA\x40");
    EXPECT_EQ(cp932::encode(u"\u30A2\uFF71abc"), "\x83\x41\xB1" "abc");
}

TEST(CodePage932, ReplacementsForWhatTheCodePageLacks) {
    // Bytes that are no character, a lead byte cut off at the end, a lead byte before a byte
    // that cannot trail it (that byte is decoded on its own), an undefined pair.
    EXPECT_EQ(cp932::decode("\x80"), u"\u30FB");
    EXPECT_EQ(cp932::decode("\xA0\xFD\xFE\xFF"), u"\u30FB\u30FB\u30FB\u30FB");
    EXPECT_EQ(cp932::decode("a\x82"), u"a\u30FB");
    EXPECT_EQ(cp932::decode("\x82" "1"), u"\u30FB" u"1");
    EXPECT_EQ(cp932::decode("\x85\x40"), u"\u30FB");
    EXPECT_EQ(cp932::decode(std::string("\0x", 2)), std::u16string(u"\0x", 2));
    // A character beyond the BMP is one "?", as is a lone surrogate; Hangul is not in the code page.
    EXPECT_EQ(cp932::encode(u"\U0001F600"), "?");
    EXPECT_EQ(cp932::encode(u"a\xD800" u"b\xDC00"), "a?b?");
    EXPECT_EQ(cp932::encode(u"\uAC00"), "?");
}

TEST(CodePage932, RoundTripOfEveryDefinedCharacter) {
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932::isLeadByte(static_cast<std::uint8_t>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char16_t unit = cp932::decodePair(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail));
            if (unit == cp932::kReplacementUnit) continue;
            // Duplicate codes (NEC and IBM rows) decode to one unit that encodes to one of them.
            const std::string again = cp932::encode(std::u16string(1, unit));
            ASSERT_EQ(cp932::decode(again), std::u16string(1, unit)) << std::hex << lead << " " << trail;
        }
    }
}

TEST(CodePage932, AgreesWithIconvForEveryCode) {
    if (!haveIconvCp932()) GTEST_SKIP() << "iconv has no CP932 converter on this machine";
    for (int b = 0; b < 256; ++b) {
        if (cp932::isLeadByte(static_cast<std::uint8_t>(b))) continue;
        const auto expected = iconvConvert("UTF-16LE", "CP932", std::string(1, static_cast<char>(b)));
        const char16_t want = expected ? fromLittleEndian(*expected)[0] : cp932::kReplacementUnit;
        ASSERT_EQ(cp932::decodeSingle(static_cast<std::uint8_t>(b)), want) << "byte " << b;
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932::isLeadByte(static_cast<std::uint8_t>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            const auto expected = iconvConvert("UTF-16LE", "CP932", pair);
            const char16_t want = expected && expected->size() == 2 ? fromLittleEndian(*expected)[0] : cp932::kReplacementUnit;
            ASSERT_EQ(cp932::decodePair(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)), want)
                << std::hex << lead << " " << trail;
        }
    }
    for (int unit = 0; unit < 0x10000; ++unit) {
        if (unit >= 0xD800 && unit <= 0xDFFF) continue;
        std::string utf16le{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        const auto expected = iconvConvert("CP932", "UTF-16LE", utf16le);
        ASSERT_EQ(cp932::encode(std::u16string(1, static_cast<char16_t>(unit))), expected ? *expected : "?")
            << std::hex << unit;
    }
}

TEST(Utf8, ConvertsBothWaysAndReplacesInvalidInput) {
    EXPECT_EQ(utf8ToUtf16("a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80"), u"a\u00E9\u3042\U0001F600");
    EXPECT_EQ(utf16ToUtf8(u"a\u00E9\u3042\U0001F600"), "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80");
    EXPECT_EQ(utf8ToUtf16("\xFF" "a\xE3\x81"), u"\uFFFD" u"a\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xC0\x80"), u"\uFFFD");  // overlong
    EXPECT_EQ(utf16ToUtf8(u"\xD800"), "\xEF\xBF\xBD");
}
