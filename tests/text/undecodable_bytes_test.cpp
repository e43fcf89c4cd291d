#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "text/code_page_932.h"
#include "text/input_source.h"
#include "text/xml_memory_stream.h"

namespace {

// A stream that must be read, so that the source decodes from a buffer of its own.
class CopiedStream : public TXmlMemoryStream {
public:
    explicit CopiedStream(const std::string& bytes)
        : TXmlMemoryStream(bytes.data(), static_cast<std::int64_t>(bytes.size())) {}
    std::optional<std::span<const std::uint8_t>> bytesInPlace() override { return std::nullopt; }
};

// What a source that reads on delivers after the declaration, and the bytes it noted, each as
// "unit:hex" with the unit counted from the first unit after the declaration.
struct Decoded {
    std::u16string units;
    std::vector<std::string> notes;
    bool operator==(const Decoded&) const = default;
};

std::string hex(const std::string& bytes) {
    std::string text;
    for (const char byte : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%s%02X", text.empty() ? "" : " ", static_cast<unsigned char>(byte));
        text += two;
    }
    return text;
}

Decoded decodeWith(TStream& stream, std::size_t declarationLength) {
    TXmlInputSource source(&stream, u"", u"");
    source.readOnUndecodable(true);
    source.rewind();
    Decoded result;
    // Taken in runs, as the document reader takes them: a replacement unit only comes one at a time.
    for (;;) {
        const std::u16string_view run = source.bufferedUnits();
        const std::int64_t start = source.unitsRead();
        for (const auto& entry : source.undecodableBytes())
            EXPECT_FALSE(entry.unit >= start && entry.unit < start + static_cast<std::int64_t>(run.size()))
                << "a run holds no replacement unit";
        result.units.append(run);
        source.skipBufferedUnits(run.size());
        char16_t unit;
        if (!source.readChar(unit)) break;
        result.units.push_back(unit);
    }
    EXPECT_EQ(source.undecodableDelivered(), source.undecodableBytes().size());
    result.units.erase(0, declarationLength);
    for (const auto& entry : source.undecodableBytes())
        result.notes.push_back(std::to_string(entry.unit - static_cast<std::int64_t>(declarationLength)) + ":" +
                               hex(entry.bytes));
    return result;
}

// The same through a stream read in place and through one that must be read.
Decoded decode(const std::string& encoding, const std::string& bytes) {
    const std::string declaration = encoding.empty() ? "" : "<?xml version='1.0' encoding='" + encoding + "'?>";
    const std::string text = declaration + bytes;
    TXmlMemoryStream inPlace(text.data(), static_cast<std::int64_t>(text.size()));
    CopiedStream copied(text);
    const Decoded result = decodeWith(inPlace, declaration.size());
    EXPECT_EQ(decodeWith(copied, declaration.size()), result);
    return result;
}

// The UTF-16 units iconv makes of the bytes; nullopt when it rejects them or stops short.
std::optional<std::u16string> iconvUnits(iconv_t cd, const std::string& bytes) {
    char out[32];
    char* in = const_cast<char*>(bytes.data());
    char* outPtr = out;
    std::size_t inLeft = bytes.size();
    std::size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
    std::u16string units;
    for (const char* p = out; p < outPtr; p += 2)
        units.push_back(
            static_cast<char16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8));
    return units;
}

class IconvOracle {
public:
    explicit IconvOracle(const char* from) : cd_(iconv_open("UTF-16LE", from)) {}
    ~IconvOracle() {
        if (ok()) iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    std::optional<std::u16string> operator()(const std::string& bytes) const { return iconvUnits(cd_, bytes); }

private:
    iconv_t cd_;
};

const std::u16string kDot(1, cp932::kReplacementUnit);

// Every two bytes from a lead byte of 0x80 on, followed by spaces: where iconv reads them as one
// character, so does the source, without a note; where it refuses them, the source gives one
// replacement unit with one note. That unit took both bytes when they form a sequence of the
// encoding (a well-formed pair that names no character, or the start of a longer one cut off by
// the space), else the first byte alone, and the second byte is then read as if it came first.
// Vendor pairs that iconv does not know may be characters.
void checkEveryPair(const std::string& encoding, const IconvOracle& iconvOf, bool (*isSequence)(int, int), int& defined,
                    bool (*isVendorPair)(int, int) = nullptr) {
    for (int first = 0x80; first <= 0xFF; ++first) {
        for (int second = 0x00; second <= 0xFF; ++second) {
            SCOPED_TRACE(testing::Message() << encoding << " " << std::hex << first << " " << second);
            const std::string pair{static_cast<char>(first), static_cast<char>(second)};
            const Decoded ours = decode(encoding, pair + "   ");
            const std::optional<std::u16string> theirs = iconvOf(pair);
            // The user-defined rows that iconv maps into the private use area may name no character here.
            const bool privateUse = theirs && theirs->size() == 1 && (*theirs)[0] >= 0xE000 && (*theirs)[0] <= 0xF8FF;
            if (theirs && theirs->size() == 1 && (!privateUse || ours.units[0] == (*theirs)[0])) {
                ASSERT_EQ(ours.units, *theirs + u"   ");
                // U+30FB is a character of its own too.
                ASSERT_TRUE(ours.notes.empty());
                ++defined;
                continue;
            }
            const Decoded rest = decode(encoding, pair.substr(1) + "   ");
            if (const std::optional<std::u16string> single = iconvOf(pair.substr(0, 1));
                single && single->size() == 1) {
                // A character of one byte (half-width katakana).
                ASSERT_EQ(ours.units, *single + rest.units);
                ASSERT_EQ(ours.notes.size(), rest.notes.size());
                continue;
            }
            if (ours.units[0] != cp932::kReplacementUnit && isVendorPair && isVendorPair(first, second)) {
                ASSERT_EQ(ours.units.substr(1), u"   ");
                ASSERT_TRUE(ours.notes.empty());
                continue;
            }
            ASSERT_EQ(ours.units.substr(0, 1), kDot);
            if (isSequence(first, second)) {
                ASSERT_EQ(ours.units, kDot + u"   ");
                ASSERT_EQ(ours.notes, std::vector<std::string>{"0:" + hex(pair)});
            } else {
                ASSERT_EQ(ours.notes.front(), "0:" + hex(pair.substr(0, 1)));
                ASSERT_EQ(ours.units.substr(1), rest.units);
                ASSERT_EQ(ours.notes.size(), rest.notes.size() + 1);
            }
        }
    }
}

bool isEucPairByte(int byte) { return byte >= 0xA1 && byte <= 0xFE; }

} // namespace

TEST(UndecodableBytes, EucJpPairsAgreeWithIconv) {
    // The code page 932 flavour of EUC-JP, with its vendor rows.
    IconvOracle oracle("EUC-JP-MS");
    ASSERT_TRUE(oracle.ok());
    int defined = 0;
    checkEveryPair(
        "EUC-JP", oracle,
        [](int first, int second) {
            // 0x8F starts three bytes, and the space cuts it short after two.
            return isEucPairByte(first) ? isEucPairByte(second) : first == 0x8F && isEucPairByte(second);
        },
        defined,
        // The NEC-selected IBM extensions of code page 932 (its rows ED and EE), which EUC-JP-MS
        // places in its three-byte form instead.
        [](int first, int second) { return first >= 0xF9 && first <= 0xFC && isEucPairByte(second); });
    EXPECT_GT(defined, 7000);
}

// The three-byte form (JIS X 0212) is one unit of three bytes wherever iconv reads it as one
// character; the byte after it is read on its own.
TEST(UndecodableBytes, EucJpThreeByteFormsTakeTheBytesIconvTakes) {
    IconvOracle oracle("EUC-JP");
    ASSERT_TRUE(oracle.ok());
    int characters = 0;
    for (int second = 0xA1; second <= 0xFE; ++second) {
        for (int third = 0xA1; third <= 0xFE; ++third) {
            const std::string form{'\x8F', static_cast<char>(second), static_cast<char>(third)};
            if (oracle(form).has_value()) ++characters;
            const Decoded ours = decode("EUC-JP", form + "x");
            ASSERT_EQ(ours.units, kDot + u"x") << std::hex << second << " " << third;
            ASSERT_EQ(ours.notes, std::vector<std::string>{"0:" + hex(form)});
        }
    }
    EXPECT_GT(characters, 5000);
    // A third byte that cannot continue the form is read again.
    EXPECT_EQ(decode("EUC-JP", "\x8F\xB0<").units, kDot + u"<");
    EXPECT_EQ(decode("EUC-JP", "\x8F<").notes, std::vector<std::string>{"0:8F"});
}

TEST(UndecodableBytes, ShiftJisPairsAgreeWithIconv) {
    IconvOracle oracle("CP932");
    ASSERT_TRUE(oracle.ok());
    int defined = 0;
    checkEveryPair(
        "Shift_JIS", oracle,
        [](int first, int second) {
            return cp932::isLeadByte(static_cast<std::uint8_t>(first)) && second >= 0x40 && second <= 0xFC &&
                   second != 0x7F;
        },
        defined);
    EXPECT_GT(defined, 7000);
}

TEST(UndecodableBytes, Utf8PairsAgreeWithIconv) {
    IconvOracle oracle("UTF-8");
    ASSERT_TRUE(oracle.ok());
    int defined = 0;
    checkEveryPair(
        "UTF-8", oracle,
        [](int first, int second) {
            // The lead of three or four bytes with a second byte it takes: cut short by the space.
            if (first >= 0xE0 && first <= 0xEF)
                return second >= (first == 0xE0 ? 0xA0 : 0x80) && second <= (first == 0xED ? 0x9F : 0xBF);
            if (first >= 0xF0 && first <= 0xF4)
                return second >= (first == 0xF0 ? 0x90 : 0x80) && second <= (first == 0xF4 ? 0x8F : 0xBF);
            return false;
        },
        defined);
    EXPECT_EQ(defined, 30 * 64);
}

// A replacement takes bytes on both sides of the border between two windows of the stream, and the
// byte read again after it may be the first of the next window.
TEST(UndecodableBytes, ReadAgainAcrossTheWindowBorder) {
    constexpr std::size_t kWindow = 64 * 1024;
    for (std::size_t before = 1; before <= 3; ++before) {
        SCOPED_TRACE(before);
        const std::string filler(kWindow - before, 'f');
        const std::u16string units(kWindow - before, u'f');
        EXPECT_EQ(decode("", filler + "\xF0\x90\x80<").units, units + kDot + u"<");
        EXPECT_EQ(decode("", filler + "\xE3<<").units, units + kDot + u"<<");
        const std::string euc = "<?xml version='1.0' encoding='EUC-JP'?>";
        EXPECT_EQ(decode("", euc + filler.substr(euc.size()) + "\x8F\xB0<<").notes.back(),
                  std::to_string(kWindow - before) + ":8F B0");
    }
    // UTF-16: a high surrogate, then a unit that is no low one, across the border.
    for (std::size_t before = 1; before <= 3; ++before) {
        SCOPED_TRACE(before);
        std::string bytes = "\xFF\xFE";
        std::u16string units;
        while (bytes.size() + before < kWindow) {
            bytes += std::string("f\0", 2);
            units.push_back(u'f');
        }
        bytes += std::string("\x00\xD8<\0>\0", 6);
        const Decoded result = decode("", bytes);
        EXPECT_EQ(result.units, units + kDot + u"<>");
        EXPECT_EQ(result.notes, std::vector<std::string>{std::to_string(units.size()) + ":00 D8"});
    }
}

// Reading the entity text ahead leaves the source where it was, with the bytes it noted so far.
TEST(UndecodableBytes, EntityTextKeepsTheNotesAndThePlace) {
    const std::string bytes = "a\xFF" + std::string(40000, 'b') + "\xFF" + std::string(40000, 'c') + "\xFE";
    TXmlMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    TXmlInputSource source(&stream, u"", u"");
    source.readOnUndecodable(true);
    source.rewind();
    std::u16string units;
    char16_t unit;
    for (int i = 0; i < 30000; ++i) {
        ASSERT_TRUE(source.readChar(unit));
        units.push_back(unit);
    }
    const std::u16string whole = source.entityText();
    EXPECT_EQ(whole.size(), bytes.size());
    EXPECT_EQ(source.undecodableDelivered(), 1u);
    EXPECT_EQ(source.unitsRead(), 30000);
    while (source.readChar(unit)) units.push_back(unit);
    EXPECT_EQ(units, whole);
    ASSERT_EQ(source.undecodableBytes().size(), 3u);
    EXPECT_EQ(source.undecodableBytes()[1].unit, 40002);
    EXPECT_EQ(source.undecodableBytes()[2].unit, 80003);
    EXPECT_EQ(source.undecodableDelivered(), 3u);
}
