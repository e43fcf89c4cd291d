#include <gtest/gtest.h>
#include <iconv.h>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "tests/text/raised_message.h"
#include "text/encoding_conversion.h"
#include "text/exception.h"
#include "text/single_byte_decoders.h"
#include "text/utf8.h"

namespace {

// The code unit of one byte, or kUnassignedByte when the decoder raises.
char16_t decodeOrUnassigned(int encoding, int byte) {
    try {
        return decodeSingleByte(encoding, static_cast<std::uint8_t>(byte));
    } catch (const EConvertError&) {
        return kUnassignedByte;
    }
}

// iconv's answer for one byte: its code unit, or kUnassignedByte when iconv rejects it.
char16_t iconvDecode(iconv_t cd, int byte) {
    char in = static_cast<char>(byte);
    char out[8];
    char* inPtr = &in;
    char* outPtr = out;
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || sizeof out - outLeft != 2)
        return kUnassignedByte;
    return static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
}

// Every decoder is compared with iconv for all 256 bytes. The decoders deliberately keep older
// mappings in a few places; those bytes are the only differences allowed:
//   ISO-8859-8: AF is U+203E (iconv: U+00AF); FD and FE are unassigned (iconv: LRM and RLM).
//   cp10000_MacRoman: BD is U+2126 (iconv: U+03A9), DB is U+00A4 (iconv: U+20AC), F0 is
//     unassigned (iconv: U+F8FF).
//   Windows-1250: 80 is unassigned (iconv: the euro sign).
//   ISO-8859-7 follows the 2003 edition (A4 euro, A5 drachma, AA ypogegrammeni); where the
//     installed iconv has the older table, those three bytes are also allowed to differ.
// One byte differs because glibc's iconv departs from the vendor's table, not because we do:
//   cp10000_MacRoman C6 is U+2206 INCREMENT as in the vendor's table (glibc: U+0394).
TEST(SingleByteOracle, EveryDecoderMatchesIconvForAll256Bytes) {
    const std::map<int, const char*> iconvNames = {
        {3, "ISO-8859-1"},   {4, "ISO-8859-2"},   {5, "ISO-8859-3"},   {6, "ISO-8859-4"},  {7, "ISO-8859-5"},
        {8, "ISO-8859-6"},   {9, "ISO-8859-7"},   {10, "ISO-8859-8"},  {11, "ISO-8859-9"}, {12, "ISO-8859-10"},
        {13, "ISO-8859-13"}, {14, "ISO-8859-14"}, {15, "ISO-8859-15"}, {16, "KOI8-R"},     {17, "MACINTOSH"},
        {18, "CP1250"},      {19, "CP1251"},      {20, "CP1252"}};
    const std::set<std::pair<int, int>> deliberate = {{10, 0xAF}, {10, 0xFD}, {10, 0xFE}, {17, 0xBD},
                                                      {17, 0xDB}, {17, 0xF0}, {18, 0x80}};
    const std::set<std::pair<int, int>> olderIconvTables = {{9, 0xA4}, {9, 0xA5}, {9, 0xAA}};
    const std::pair<int, int> iconvMacIncrement{17, 0xC6};
    int compared = 0;
    for (const auto& [encoding, name] : iconvNames) {
        iconv_t cd = iconv_open("UTF-16LE", name);
        ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "iconv lacks " << name;
        for (int byte = 0; byte < 256; ++byte) {
            const char16_t ours = decodeOrUnassigned(encoding, byte);
            const char16_t theirs = iconvDecode(cd, byte);
            const std::pair<int, int> key{encoding, byte};
            if (deliberate.count(key) != 0) {
                EXPECT_NE(ours, theirs) << name << " byte " << byte << " should keep the older mapping";
            } else if (key == iconvMacIncrement) {
                EXPECT_EQ(ours, 0x2206);
            } else if (olderIconvTables.count(key) == 0 || theirs != kUnassignedByte) {
                EXPECT_EQ(ours, theirs) << name << " byte " << std::hex << byte;
            }
            ++compared;
        }
        iconv_close(cd);
    }
    EXPECT_EQ(compared, 18 * 256);
}

// The oracle test covers the common mappings; these are the values where it only knows that
// the decoders differ from iconv, or where iconv may lag behind.
TEST(SingleByteDecoders, DeliberateMappings) {
    EXPECT_EQ(decodeSingleByte(9, 0xA4), 0x20AC);
    EXPECT_EQ(decodeSingleByte(9, 0xA5), 0x20AF);
    EXPECT_EQ(decodeSingleByte(9, 0xAA), 0x037A);
    EXPECT_EQ(decodeSingleByte(10, 0xAF), 0x203E);
    EXPECT_EQ(decodeSingleByte(17, 0xBD), 0x2126);
    EXPECT_EQ(decodeSingleByte(17, 0xDB), 0x00A4);
}

TEST(SingleByteDecoders, UnassignedBytesRaiseTheEncodingsMessage) {
    const std::map<int, std::pair<std::string, std::set<int>>> unassigned = {
        {5, {"Invalid ISO-8859-3 sequence", {0xA5, 0xAE, 0xBE, 0xC3, 0xD0, 0xE3, 0xF0}}},
        {9, {"Invalid ISO-8859-7 sequence", {0xAE, 0xD2, 0xFF}}},
        {17, {"Invalid cp10000_MacRoman sequence", {0xF0}}},
        {18, {"Invalid Windows-1250 sequence", {0x80, 0x81, 0x83, 0x88, 0x90, 0x98}}},
        {19, {"Invalid cp1251 sequence", {0x98}}},
        {20, {"Invalid Windows-1252 sequence", {0x81, 0x8D, 0x8F, 0x90, 0x9D}}}};
    for (const auto& [encoding, expected] : unassigned) {
        for (int byte = 0x80; byte < 0x100; ++byte) {
            // The byte appears in the message as the character of the same value.
            const std::string shown = utf16ToUtf8(std::u16string(1, static_cast<char16_t>(byte)));
            EXPECT_EQ(
                raisedMessage<EConvertError>([&] { decodeSingleByte(encoding, static_cast<std::uint8_t>(byte)); }),
                expected.second.count(byte) != 0 ? expected.first + " \"" + shown + "\"" : "(nothing raised)")
                << "encoding " << encoding << ", byte " << byte;
        }
    }
    // ISO-8859-8: A1, BF-DE and FB-FF; ISO-8859-6: the 45 empty positions of the standard.
    int hebrew = 0;
    int arabic = 0;
    for (int byte = 0x80; byte < 0x100; ++byte) {
        hebrew += decodeOrUnassigned(10, byte) == kUnassignedByte;
        arabic += decodeOrUnassigned(8, byte) == kUnassignedByte;
    }
    EXPECT_EQ(hebrew, 1 + 32 + 5);
    EXPECT_EQ(arabic, 45);
    for (int encoding : {3, 4, 6, 7, 11, 12, 13, 14, 15, 16})
        for (int byte = 0; byte < 0x100; ++byte)
            EXPECT_NE(decodeOrUnassigned(encoding, byte), kUnassignedByte)
                << "encoding " << encoding << ", byte " << byte;
    EXPECT_EQ(raisedMessage<EConvertError>([&] { decodeSingleByte(9, 0xD2); }),
              "Invalid ISO-8859-7 sequence \"\xC3\x92\"");
    EXPECT_THROW(decodeSingleByte(2, 0x41), EConvertError);
    EXPECT_THROW(decodeSingleByte(21, 0x41), EConvertError);
}

TEST(SingleByteWidening, Latin1AndWindows1250) {
    EXPECT_EQ(widenLatin1(std::string("a\xE9\x80\xFF", 4)), std::u16string(u"a\xE9\x80\xFF"));
    EXPECT_EQ(widenLatin1(std::string("\0x", 2)), std::u16string(u"\0x", 2));
    EXPECT_EQ(widenWindows1250("B\xB3\xB9"
                               "d"),
              u"B\x0142\x0105"
              "d");
    EXPECT_EQ(widenWindows1250("\x8A\x9A"), u"\x0160\x0161");
    // Bytes the table leaves unassigned still widen, to U+FFFD.
    EXPECT_EQ(widenWindows1250("\x80\x98"), u"\xFFFD\xFFFD");
    EXPECT_EQ(widenWindows1250(""), u"");
}

} // namespace
