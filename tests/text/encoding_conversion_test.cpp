#include "text/encoding_conversion.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "text/exception.h"

namespace {

// Decodes a whole byte string with a per-character decoder, as the input source does: the decoder
// gets the first byte and a reader for the bytes after it.
struct ByteReader {
    const std::string& bytes;
    std::size_t i = 0;
    std::uint8_t next() {
        if (i >= bytes.size()) throw EReadError("Stream read error");
        return static_cast<std::uint8_t>(bytes[i++]);
    }
};

template <class Decoder> std::u16string decodeAll(const std::string& bytes, Decoder decoder) {
    std::u16string out;
    ByteReader reader{bytes};
    while (reader.i < bytes.size()) {
        const std::uint8_t first = reader.next();
        out.push_back(decoder(first, reader));
    }
    return out;
}

std::u16string sjis(const std::string& bytes) {
    return decodeAll(bytes, [](std::uint8_t b, ByteReader& reader) {
        return decodeShiftJis(
            b, [&] { return reader.next(); }, [&] { --reader.i; });
    });
}
std::u16string eucjp(const std::string& bytes) {
    return decodeAll(bytes, [](std::uint8_t b, ByteReader& reader) {
        return decodeEucJp(
            b, [&] { return reader.next(); }, [&] { --reader.i; });
    });
}

// One unit from iconv, or 0 when it rejects the bytes or gives more than one unit.
char16_t iconvUnit(iconv_t cd, const char* bytes, std::size_t length) {
    char out[16];
    char* in = const_cast<char*>(bytes);
    char* outPtr = out;
    std::size_t inLeft = length;
    std::size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || sizeof out - outLeft != 2)
        return 0;
    return static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
}

TEST(JapaneseDecoding, ShiftJisCharacters) {
    EXPECT_EQ(sjis("\x82\xA0"), u"\x3042");
    EXPECT_EQ(sjis("\xB1"), u"\xFF71");
    EXPECT_EQ(sjis("a\x83\x41"
                   "b"),
              u"a\x30A2"
              "b");
    EXPECT_EQ(sjis("\x81\x60\x81\x5F\x87\x40\xFA\x40"), u"\xFF5E\xFF3C\x2460\x2170");
    // An undefined pair gives the replacement unit and consumes both bytes.
    EXPECT_EQ(sjis("\x85\x40x"), u"\x30FBx");
    // A lead byte before a byte that cannot trail it (below 0x40, 0x7F, above 0xFC) is the
    // replacement unit, and that byte is read again: a bad byte never eats the "<" of a tag.
    EXPECT_EQ(sjis("\x82\x0Ax"), u"\x30FB\nx");
    EXPECT_EQ(sjis("\x82</a>"), u"\x30FB</a>");
    EXPECT_EQ(sjis("\x9F\x7F\xE0\xFD\xFC\xFF"), u"\x30FB\x7F\x30FB\x30FB\x30FB\x30FB");
    // 0x80, 0xA0 and 0xFD-0xFF are the replacement unit on their own.
    EXPECT_EQ(sjis("\x80"
                   "A"
                   "\xA0"
                   "B"
                   "\xFD\xFE\xFF"
                   "C"),
              u"\x30FB"
              "A"
              "\x30FB"
              "B"
              "\x30FB\x30FB\x30FB"
              "C");
    // A missing second byte is the reader's error.
    EXPECT_THROW(sjis("\x82"), EReadError);
}

TEST(JapaneseDecoding, EucJpCharacters) {
    EXPECT_EQ(eucjp("\xA4\xA2"), u"\x3042");
    EXPECT_EQ(eucjp("\x8E\xB1"), u"\xFF71");
    EXPECT_EQ(eucjp("x\xA5\xA2y"), u"x\x30A2y");
    EXPECT_EQ(eucjp("\xB0\xA1"), u"\x4E9C");
    EXPECT_EQ(eucjp("\xA1\xC1"), u"\xFF5E");
    // A JIS X 0212 character (three bytes) is not known: one replacement unit for all three.
    EXPECT_EQ(eucjp("\x8F\xB0\xA1x"), u"\x30FB"
                                      "x");
    // 0x8E before a byte that is no half-width katakana is replaced alone; the byte is read again.
    EXPECT_EQ(eucjp("\x8E\x41"), u"\x30FB"
                                 "A");
    EXPECT_THROW(eucjp("\xA4"), EReadError);
}

// Shift_JIS through the per-character path must agree with code page 932 read as a whole string
// (a separate code path) for every two bytes from a byte of 0x80 on, and with iconv's CP932
// wherever iconv converts them; where it refuses them, the replacement unit stands for what it
// refused, and a second byte that cannot trail is read on its own.
TEST(JapaneseDecoding, EveryTwoBytesMatchIconvAndWholeStringDecoding) {
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    int defined = 0;
    for (int first = 0x80; first <= 0xFF; ++first) {
        const bool lead = cp932::isLeadByte(static_cast<std::uint8_t>(first));
        for (int second = 0x00; second <= 0xFF; ++second) {
            const char bytes[2] = {static_cast<char>(first), static_cast<char>(second)};
            // A space after them, so that a second byte read on its own is never cut off.
            const std::string text = std::string(bytes, 2) + " ";
            const std::u16string ours = sjis(text);
            ASSERT_EQ(ours, cp932::decode(text)) << std::hex << first << " " << second;
            const bool pair = lead && second >= 0x40 && second != 0x7F && second <= 0xFC;
            ASSERT_EQ(ours.size(), pair ? 2u : 3u) << std::hex << first << " " << second;
            if (!pair && (lead || first == 0x80 || first == 0xA0 || first >= 0xFD)) {
                EXPECT_EQ(ours[0], cp932::kReplacementUnit) << std::hex << first << " " << second;
                EXPECT_EQ(ours.substr(1), sjis(text.substr(1))) << std::hex << first << " " << second;
            }
            const char16_t theirs = pair ? iconvUnit(cd, bytes, 2) : iconvUnit(cd, bytes, 1);
            if (theirs != 0) {
                EXPECT_EQ(ours[0], theirs) << std::hex << first << " " << second;
                defined += pair;
            } else {
                EXPECT_EQ(ours[0], cp932::kReplacementUnit) << std::hex << first << " " << second;
            }
        }
    }
    iconv_close(cd);
    EXPECT_GT(defined, 7000);
}

// EUC-JP is derived from code page 932 by arithmetic; every JIS X 0208 character must survive the
// round trip between the two byte forms, and decode as the Shift_JIS form does.
TEST(JapaneseDecoding, EucAndShiftJisPairsCorrespond) {
    for (int b1 = 0xA1; b1 <= 0xFE; ++b1) {
        for (int b2 = 0xA1; b2 <= 0xFE; ++b2) {
            std::uint8_t s1 = static_cast<std::uint8_t>(b1);
            std::uint8_t s2 = static_cast<std::uint8_t>(b2);
            eucToShiftJisPair(s1, s2);
            ASSERT_TRUE(cp932::isLeadByte(s1)) << std::hex << b1 << " " << b2;
            ASSERT_TRUE(s2 >= 0x40 && s2 <= 0xFC && s2 != 0x7F) << std::hex << b1 << " " << b2;
            const char sjisBytes[2] = {static_cast<char>(s1), static_cast<char>(s2)};
            const char eucBytes[2] = {static_cast<char>(b1), static_cast<char>(b2)};
            ASSERT_EQ(eucjp(std::string(eucBytes, 2)), sjis(std::string(sjisBytes, 2)));
            shiftJisToEucPair(s1, s2);
            ASSERT_EQ(s1, b1);
            ASSERT_EQ(s2, b2);
        }
    }
    std::uint8_t a = 0x82, b = 0xA0;
    shiftJisToEucPair(a, b);
    EXPECT_EQ(a, 0xA4);
    EXPECT_EQ(b, 0xA2);
    a = 0xE0, b = 0x40;
    shiftJisToEucPair(a, b);
    EXPECT_EQ(a, 0xDF);
    EXPECT_EQ(b, 0xA1);
    // A code page 932 extension goes through the same arithmetic (IBM row FA).
    a = 0xFA, b = 0x40;
    shiftJisToEucPair(a, b);
    eucToShiftJisPair(a, b);
    EXPECT_EQ(a, 0xFA);
    EXPECT_EQ(b, 0x40);
}

TEST(NarrowAscii, MarksSwappingAndFailures) {
    EXPECT_EQ(narrowAscii(u"http://x/a.dtd"), "http://x/a.dtd");
    EXPECT_EQ(narrowAscii(u"\xFEFF"
                          "abc"),
              "abc");
    EXPECT_EQ(narrowAscii(u"\xFFFE\x6100\x6200"), "ab");
    EXPECT_EQ(narrowAscii(u""), "");
    EXPECT_EQ(narrowAscii(u"\xFEFF"), "");
    EXPECT_THROW(narrowAscii(u"caf\xE9"), EConvertError);
    EXPECT_THROW(narrowAscii(u"\x80"), EConvertError);
    EXPECT_THROW(narrowAscii(u"\xFFFE\x0061"), EConvertError); // 0x6100 after swapping
    EXPECT_THROW(narrowAscii(u"a\xFEFF"), EConvertError);      // only a leading mark is dropped
}

} // namespace
