#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/encoding_conversion.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/locator.h"
#include "text/stream.h"
#include "text/utf8.h"
#include "text/xml_memory_stream.h"

using namespace std::string_literals;

namespace {

// An input source over bytes that it keeps alive itself.
struct Source {
    std::string bytes;
    TXmlMemoryStream stream;
    TXmlInputSource source;
    explicit Source(std::string text)
        : bytes(std::move(text)), stream(bytes.data(), static_cast<std::int64_t>(bytes.size())),
          source(&stream, u"pub", u"sys") {}

    // What follows the XML declaration.
    std::u16string contentAfterDeclaration() {
        std::u16string text = readAll();
        return text.substr(text.find(u"?>") + 2);
    }

    std::u16string readAll() {
        std::u16string text;
        char16_t unit;
        while (source.readChar(unit)) text.push_back(unit);
        return text;
    }
};

TextEncoding encodingOf(const std::string& bytes) { return Source(bytes).source.encoding(); }

// The message of the EConvertError that reading everything raises; "" when nothing is raised.
std::string conversionFailure(const std::string& bytes) {
    Source s(bytes);
    try {
        s.readAll();
    } catch (const EConvertError& e) {
        return e.message();
    }
    return "";
}

} // namespace

TEST(InputSource, DetectsTheEncodingFromMarkOrDeclaration) {
    EXPECT_EQ(encodingOf("\xFF\xFE<\0?\0"s), TextEncoding::utf16le);
    EXPECT_EQ(encodingOf("\xFF\xFE<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"), TextEncoding::utf16le);
    EXPECT_EQ(encodingOf("\xFE\xFF\0<"s), TextEncoding::utf16be);
    EXPECT_EQ(encodingOf("<?xml version=\"1.0\" encoding=\"shift_jis\"?><a/>"), TextEncoding::shiftJis);
    EXPECT_EQ(encodingOf("<?xml version=\"1.0\" encoding=\"SJIS\"?><a/>"), TextEncoding::utf8);
    EXPECT_EQ(encodingOf("<?xml version=\"1.0\" encoding=\"x-sjis\"?><a/>"), TextEncoding::utf8);
    EXPECT_EQ(encodingOf("<?XML version=\"1.0\" encoding=\"Shift_JIS\"?><a/>"), TextEncoding::utf8);
    EXPECT_EQ(encodingOf("<?xml  version=\"1.0\" encoding=\"Shift_JIS\"?><a/>"), TextEncoding::utf8);
    EXPECT_EQ(encodingOf("<?xml\tversion=\"1.0\" encoding=\"Shift_JIS\"?><a/>"), TextEncoding::shiftJis);
    EXPECT_EQ(encodingOf("<?xml version=\"1.0\" encoding=\"Shift_JIS?><a/>"), TextEncoding::utf8);
    EXPECT_EQ(encodingOf("<?xml version=\"1.0\" encoding=\"Shift_JIS\""), TextEncoding::utf8);
    EXPECT_EQ(encodingOf("<"), TextEncoding::utf8);
    EXPECT_EQ(encodingOf(""), TextEncoding::utf8);
    // The UTF-8 mark is a mark: it selects UTF-8 and is not part of the content.
    Source bom("\xEF\xBB\xBF<a/>");
    EXPECT_EQ(bom.source.encoding(), TextEncoding::utf8);
    EXPECT_EQ(bom.readAll(), u"<a/>");
    bom.source.rewind();
    EXPECT_EQ(bom.readAll(), u"<a/>");
    EXPECT_EQ(conversionFailure("\xEF\xBB<a/>"), "Invalid UTF-8 sequence at position 2"); // no mark

    const std::pair<const char*, TextEncoding> names[] = {
        {"ISO-8859-1", TextEncoding::iso8859_1},
        {"latin-1", TextEncoding::iso8859_1},
        {"ISO-8859-2", TextEncoding::iso8859_2},
        {"Latin-3", TextEncoding::iso8859_3},
        {"iso-8859-4", TextEncoding::iso8859_4},
        {"Cyrillic", TextEncoding::iso8859_5},
        {"ARABIC", TextEncoding::iso8859_6},
        {"Greek", TextEncoding::iso8859_7},
        {"Hebrew", TextEncoding::iso8859_8},
        {"Latin-5", TextEncoding::iso8859_9},
        {"Latin-6", TextEncoding::iso8859_10},
        {"ISO-8859-13", TextEncoding::iso8859_13},
        {"Latin-8", TextEncoding::iso8859_14},
        {"Latin-9", TextEncoding::iso8859_15},
        {"KOI8-R", TextEncoding::koi8r},
        {"cp10000_MacRoman", TextEncoding::macRoman},
        {"cp1250", TextEncoding::windows1250},
        {"Windows-1251", TextEncoding::windows1251},
        {"Windows-1252", TextEncoding::windows1252},
        {"cp1252", TextEncoding::windows1252},
        {"EUC_JP", TextEncoding::eucJp},
        {"euc-jp", TextEncoding::eucJp},
        {"Shift-JIS", TextEncoding::shiftJis},
        {"UTF-16", TextEncoding::utf8},
        {"UTF-8", TextEncoding::utf8},
        {"1252", TextEncoding::utf8},
    };
    for (const auto& [name, expected] : names)
        EXPECT_EQ(encodingOf(std::string("<?xml version=\"1.0\" encoding=\"") + name + "\"?><a/>"), expected) << name;
}

namespace {

std::string utf16Bytes(std::u16string_view text, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

// The encoding a source picks, and its problem in words.
std::pair<TextEncoding, std::u16string> detected(const std::string& bytes, bool decodedText = false) {
    TXmlMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    TXmlInputSource source(&stream, u"", u"", decodedText);
    return {source.encoding(), source.encodingProblemText()};
}

} // namespace

TEST(InputSource, TheDeclaredEncodingMustBeKnownAndAgreeWithTheMark) {
    using Found = std::pair<TextEncoding, std::u16string>;
    const std::u16string_view shiftJis = u"<?xml version='1.0' encoding='Shift_JIS'?><a/>";
    // A name outside the known ones: read as UTF-8, and told.
    EXPECT_EQ(detected("<?xml version='1.0' encoding='SJIS'?><a/>"),
              Found(TextEncoding::utf8, u"unknown encoding \"SJIS\""));
    // UTF-16 without its byte-order mark: what was read as single bytes is no UTF-16.
    EXPECT_EQ(detected("<?xml version='1.0' encoding='utf-16'?><a/>"),
              Found(TextEncoding::utf8, u"encoding \"utf-16\" without a byte-order mark"));
    EXPECT_EQ(detected("<?xml version='1.0' encoding='utf-16'?><a/>", true), Found(TextEncoding::utf8, u""));
    // Other names of code page 932, and ASCII as a part of UTF-8, are known names.
    for (const char* name : {"Windows-31J", "cp932", "MS_Kanji", "MS932"})
        EXPECT_EQ(detected("<?xml version='1.0' encoding='" + std::string(name) + "'?><a/>"),
                  Found(TextEncoding::shiftJis, u""))
            << name;
    EXPECT_EQ(detected("<?xml version='1.0' encoding='US-ASCII'?><a/>"), Found(TextEncoding::utf8, u""));
    EXPECT_EQ(detected("<?xml version='1.0' encoding='Shift_JIS'?><a/>"), Found(TextEncoding::shiftJis, u""));
    // Under a mark the mark decides, and a declaration in the mark's encoding must name it.
    EXPECT_EQ(detected(utf16Bytes(shiftJis, true)),
              Found(TextEncoding::utf16le, u"encoding \"Shift_JIS\" under a UTF-16 byte-order mark"));
    EXPECT_EQ(detected(utf16Bytes(u"<?xml version='1.0' encoding='windows-31j'?>", false)),
              Found(TextEncoding::utf16be, u"encoding \"windows-31j\" under a UTF-16 byte-order mark"));
    EXPECT_EQ(detected(utf16Bytes(u"<?xml version='1.0' encoding='utf-16'?><a/>", false)),
              Found(TextEncoding::utf16be, u""));
    EXPECT_EQ(detected(utf16Bytes(u"<?xml version='1.0'?><a/>", true)), Found(TextEncoding::utf16le, u""));
    EXPECT_EQ(detected("\xEF\xBB\xBF<?xml version='1.0' encoding='EUC-JP'?><a/>"),
              Found(TextEncoding::utf8, u"encoding \"EUC-JP\" under a UTF-8 byte-order mark"));
    EXPECT_EQ(detected("\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?><a/>"), Found(TextEncoding::utf8, u""));
    // Text decoded already (a wide string behind its mark) binds nothing to its declaration.
    EXPECT_EQ(detected(utf16Bytes(shiftJis, true), true), Found(TextEncoding::utf16le, u""));
}

TEST(InputSource, DecodesEachEncoding) {
    EXPECT_EQ(Source("\xFF\xFE"
                     "a\0\x42\x30"s)
                  .readAll(),
              u"a\u3042");
    EXPECT_EQ(Source("\xFE\xFF\0a\x30\x42"s).readAll(), u"a\u3042");
    EXPECT_EQ(Source("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\x82\xA0\xB1").contentAfterDeclaration(),
              u"\u3042\uFF71");
    EXPECT_EQ(Source("<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\xA4\xA2\x8E\xB1").contentAfterDeclaration(),
              u"\u3042\uFF71");
    EXPECT_EQ(Source("<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\x80").contentAfterDeclaration(), u"\u20AC");
    EXPECT_EQ(Source("<?xml version=\"1.0\" encoding=\"KOI8-R\"?>\xC1").contentAfterDeclaration(), u"\u0430");
    EXPECT_EQ(conversionFailure("<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\x81"),
              "Invalid Windows-1252 sequence \"\xC2\x81\"");
    // A unit or a two-byte character cut off by the end of the stream.
    EXPECT_THROW(Source("\xFF\xFE"
                        "a")
                     .readAll(),
                 EReadError);
    EXPECT_THROW(Source("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\x82").readAll(), EReadError);
    EXPECT_THROW(Source("<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\xA4").readAll(), EReadError);

    TXmlMemoryStream stream;
    try {
        TXmlInputSource missing(nullptr, u"", u"");
        FAIL() << "no exception";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.message(), "Stream not specified.");
    }
}

TEST(InputSource, Utf8FailuresNameTheirByteOffset) {
    EXPECT_EQ(Source("a\xF0\x9F\x98\x80").readAll(), u"a\U0001F600");
    EXPECT_EQ(Source("\xF4\x8F\xBF\xBF").readAll(), u"\U0010FFFF");
    EXPECT_EQ(conversionFailure("\xC0\x80"), "Invalid UTF-8 encoding at position 1");
    EXPECT_EQ(conversionFailure("ab\xE0\x80\x80"), "Invalid UTF-8 encoding at position 4");
    EXPECT_EQ(conversionFailure("\x80"), "Invalid UTF-8 sequence at position 0");
    EXPECT_EQ(conversionFailure("xy\xC3z"), "Invalid UTF-8 sequence at position 3");
    EXPECT_EQ(conversionFailure("\xE3\x81"), "Aborted UTF-8 sequence at position 2");
    EXPECT_EQ(conversionFailure("\xFE\x80\x80\x80\x80\x80\x80"), "Invalid UTF-8 sequence at position 0");
    // Nothing beyond U+10FFFF has a UTF-16 form: four-, five- and six-byte forms above it are refused.
    EXPECT_EQ(conversionFailure("\xF4\x90\x80\x80"), "Invalid UTF-8 encoding at position 3");
    EXPECT_EQ(conversionFailure("\xF8\x88\x80\x80\x80"), "Invalid UTF-8 encoding at position 4");
    EXPECT_EQ(conversionFailure("\xFC\x84\x80\x80\x80\x80"), "Invalid UTF-8 encoding at position 5");
    // A surrogate is no character: its three-byte form is refused, alone or as half of a pair.
    EXPECT_EQ(Source("\xED\x9F\xBF\xEE\x80\x80").readAll(), u"\uD7FF\uE000");
    EXPECT_EQ(conversionFailure("a\xED\xA0\xBD\xED\xB8\x80"), "Invalid UTF-8 encoding at position 3");
    EXPECT_EQ(conversionFailure("\xED\xBF\xBF"), "Invalid UTF-8 encoding at position 2");

    // Offsets stay exact across the source's internal buffer.
    std::string big(70000, 'a');
    big += "\x80";
    EXPECT_EQ(conversionFailure(big), "Invalid UTF-8 sequence at position 70000");
    std::string text;
    for (int i = 0; i < 40000; ++i) text += "\xE3\x81\x82\xF0\x9F\x98\x80z";
    EXPECT_EQ(Source(text).readAll(), utf8ToUtf16(text));
}

TEST(InputSource, NormalisesLineEndsAndCountsThem) {
    Source s("ab\r\ncd\re\r");
    EXPECT_EQ(s.readAll(), u"ab\ncd\ne\n");
    Source counted("ab\r\nc");
    TdomStandardLocator* locator = counted.source.locator();
    char16_t unit;
    for (int i = 0; i < 3; ++i) counted.source.readChar(unit);
    EXPECT_EQ(unit, u'\n');
    EXPECT_EQ(locator->line(), 1);
    EXPECT_EQ(locator->column(), 3);
    counted.source.readChar(unit);
    EXPECT_EQ(unit, u'c');
    EXPECT_EQ(locator->line(), 2);
    EXPECT_EQ(locator->column(), 1);
    EXPECT_FALSE(counted.source.readChar(unit));

    // Rewinding goes back past the mark only and resets the locator.
    Source utf16("\xFF\xFE"
                 "a\0b\0"s);
    EXPECT_EQ(utf16.readAll(), u"ab");
    utf16.source.rewind();
    EXPECT_EQ(utf16.source.locator()->line(), 0);
    EXPECT_EQ(utf16.readAll(), u"ab");
}

TEST(InputSource, SkipsTextDeclarationsAndReturnsEntityText) {
    Source entity("  <?xml version='1.0' encoding='UTF-8'?>text");
    entity.source.skipTextDeclaration(nullptr);
    EXPECT_EQ(entity.readAll(), u"text");
    Source stylesheet("<?xml-stylesheet href='a'?>text");
    stylesheet.source.skipTextDeclaration(nullptr);
    EXPECT_EQ(stylesheet.readAll(), u"<?xml-stylesheet href='a'?>text");
    Source unterminated("<?xml version='1.0'? text");
    unterminated.source.skipTextDeclaration(nullptr);
    EXPECT_EQ(unterminated.readAll(), u"<?xml version='1.0'? text");
    Source upper("<?XML version='1.0'?>x");
    upper.source.skipTextDeclaration(nullptr);
    EXPECT_EQ(upper.readAll(), u"x");

    Source s("<?xml encoding='UTF-8'?>a\r\nb");
    char16_t unit;
    s.source.readChar(unit);
    EXPECT_EQ(s.source.entityText(), u"a\nb");
    // The reading state is restored: the next unit follows the one read before.
    s.source.readChar(unit);
    EXPECT_EQ(unit, u'?');
}

TEST(InputSource, SniffsTheRootName) {
    EXPECT_EQ(Source("<?xml version='1.0'?><!-- c --><?pi x?>\n<!DOCTYPE velmar SYSTEM 'v.dtd'><velmar/>")
                  .source.rootElementName(),
              u"velmar");
    EXPECT_EQ(Source("<root a='1'>").source.rootElementName(), u"root");
    EXPECT_EQ(Source("<!DOCTYPE  doc[]><doc/>").source.rootElementName(), u"doc");
    EXPECT_EQ(Source("<1bad/>").source.rootElementName(), u"");
    EXPECT_EQ(Source("<![CDATA[x]]><a/>").source.rootElementName(), u"");
    EXPECT_EQ(Source("no markup").source.rootElementName(), u"");
    EXPECT_EQ(Source("\x80<a/>").source.rootElementName(), u"");

    Source unterminated("<!-- never closed <a/>");
    EXPECT_EQ(unterminated.source.rootElementName(), u"");
    // The source stands at the first character again, with a fresh locator.
    char16_t unit;
    ASSERT_TRUE(unterminated.source.readChar(unit));
    EXPECT_EQ(unit, u'<');
    EXPECT_EQ(unterminated.source.locator()->column(), 1);
}

TEST(InputSource, MemoryStreamReadsInPlace) {
    const char bytes[] = "abcdef";
    TXmlMemoryStream stream;
    stream.setBuffer(bytes, 6);
    EXPECT_EQ(stream.size(), 6);
    EXPECT_EQ(stream.memory(), reinterpret_cast<const std::uint8_t*>(bytes));
    char out[8] = {};
    EXPECT_EQ(stream.read(out, 4), 4);
    EXPECT_EQ(std::string(out, 4), "abcd");
    EXPECT_EQ(stream.read(out, 4), 2);
    EXPECT_EQ(stream.write("zz", 2), 0);
    EXPECT_EQ(bytes[0], 'a');
    EXPECT_EQ(stream.seek(-1, TSeekOrigin::soEnd), 5);
    EXPECT_EQ(stream.seek(-10, TSeekOrigin::soCurrent), 0);

    // Memory streams offer their bytes from the position on, without moving it.
    stream.seek(2, TSeekOrigin::soBeginning);
    ASSERT_TRUE(stream.bytesInPlace());
    EXPECT_EQ(stream.bytesInPlace()->data(), reinterpret_cast<const std::uint8_t*>(bytes) + 2);
    EXPECT_EQ(stream.bytesInPlace()->size(), 4u);
    EXPECT_EQ(stream.position(), 2);
    stream.seek(9, TSeekOrigin::soBeginning);
    EXPECT_EQ(stream.bytesInPlace()->size(), 0u);
    TMemoryStream owned(std::string("ghij"));
    owned.seek(1, TSeekOrigin::soBeginning);
    EXPECT_EQ(owned.bytesInPlace()->data(), reinterpret_cast<const std::uint8_t*>(owned.memory()) + 1);
    EXPECT_EQ(owned.bytesInPlace()->size(), 3u);
}

namespace {

// Everything a source delivers, taken as the document reader takes it: buffered runs at once,
// unit by unit where the buffer is empty. The locator hears of every unit either way.
std::u16string readInRuns(TXmlInputSource& source) {
    std::u16string text;
    char16_t unit;
    for (;;) {
        const std::u16string_view run = source.bufferedUnits();
        text.append(run);
        source.skipBufferedUnits(run.size());
        source.locator()->advanceOver(run);
        if (!source.readChar(unit)) break;
        text.push_back(unit);
    }
    return text;
}

} // namespace

TEST(InputSource, DecodingAheadDeliversWhatUnitByUnitDecodingWould) {
    // Long enough for several decoded blocks and byte buffers, with CR LF pairs, surrogate pairs
    // and two-byte characters at every offset against their borders.
    std::string utf8;
    std::string shiftJis = "<?xml version='1.0' encoding='Shift_JIS'?>";
    std::u16string expectedShiftJis;
    for (int i = 0; i < 30000; ++i) {
        utf8 += std::string(static_cast<std::size_t>(i % 7), 'a') + "\r\n\xF0\x9F\x98\x80\r\xE3\x81\x82";
        shiftJis += std::string(static_cast<std::size_t>(i % 5), 'b') + "\x82\xa0\r\n\xb1";
        expectedShiftJis += std::u16string(static_cast<std::size_t>(i % 5), u'b') + u"\u3042\n\uff71";
    }
    // CR LF and lone CR as LF.
    std::u16string expectedUtf8;
    const std::u16string decoded = utf8ToUtf16(utf8);
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == u'\r' && i + 1 < decoded.size() && decoded[i + 1] == u'\n') continue;
        expectedUtf8.push_back(decoded[i] == u'\r' ? u'\n' : decoded[i]);
    }

    Source unitByUnit(utf8);
    Source inRuns(utf8);
    EXPECT_EQ(unitByUnit.readAll(), expectedUtf8);
    EXPECT_EQ(readInRuns(inRuns.source), expectedUtf8);
    EXPECT_EQ(inRuns.source.locator()->line(), unitByUnit.source.locator()->line());
    EXPECT_EQ(inRuns.source.locator()->column(), unitByUnit.source.locator()->column());

    Source japanese(shiftJis);
    EXPECT_EQ(japanese.contentAfterDeclaration(), expectedShiftJis);
    japanese.source.rewind();
    EXPECT_EQ(readInRuns(japanese.source).substr(shiftJis.find("?>") + 2), expectedShiftJis);
    EXPECT_EQ(japanese.source.locator()->line(), 30001);
}

TEST(InputSource, FailuresComeAfterTheUnitsBeforeThemAndReadingGoesOn) {
    Source s("abc\x80" "def");
    // The units before a bad byte are delivered first; the failure only when the reader reaches it.
    EXPECT_EQ(s.source.bufferedUnits(), u"");
    char16_t unit;
    ASSERT_TRUE(s.source.readChar(unit));
    EXPECT_EQ(s.source.bufferedUnits(), u"bc");
    s.source.skipBufferedUnits(2);
    try {
        s.source.readChar(unit);
        ADD_FAILURE() << "no failure raised";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "Invalid UTF-8 sequence at position 3");
    }
    // The source stays where the failing read stopped.
    EXPECT_EQ(s.readAll(), u"def");

    // A stream that ends inside a two-byte character raises the stream's read error.
    Source cut("<?xml version='1.0' encoding='Shift_JIS'?>ab\x82");
    EXPECT_THROW(cut.readAll(), EReadError);

    // entityText leaves a kept failure where it was.
    Source pending("xy\x80z");
    pending.source.readChar(unit);
    EXPECT_THROW(pending.source.entityText(), EConvertError);
    ASSERT_TRUE(pending.source.readChar(unit));
    EXPECT_EQ(unit, u'y');
    EXPECT_THROW(pending.source.readChar(unit), EConvertError);
    EXPECT_EQ(pending.readAll(), u"z");
}

TEST(TextDeclaration, SplitFromTheEntityTextAtItsVeryStartOnly) {
    std::u16string content;
    ASSERT_TRUE(splitTextDeclaration(u"<?xml encoding='UTF-8'?><a/>", content));
    EXPECT_EQ(content, u"<a/>");
    ASSERT_TRUE(splitTextDeclaration(u"<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>t", content));
    EXPECT_EQ(content, u"t");
    ASSERT_TRUE(splitTextDeclaration(u"no declaration <?xml-stylesheet x?>", content));
    EXPECT_EQ(content, u"no declaration <?xml-stylesheet x?>");
    for (const char16_t* bad : {u"<?xml version='1.0'?>", u"<?xml encoding='UTF-8' version='1.0'?>",
                                u"<?xml encoding='UTF-8' standalone='no'?>", u"<?xml version='1.1' encoding='UTF-8'?>",
                                u"<?xml encoding='UTF-8'", u" <?xml encoding='UTF-8'?>",
                                u"<?xml encoding='UTF-8'?><?xml encoding='UTF-8'?>", u"<?xml encoding='8bit'?>"})
        EXPECT_FALSE(splitTextDeclaration(bad, content)) << std::string(bad, bad + std::u16string(bad).size());
}

namespace {

// The bytes of a string through a stream that must be read, as a file's are: the source copies
// them into a buffer of its own.
class ReadOnlyStream : public TXmlMemoryStream {
public:
    explicit ReadOnlyStream(const std::string& bytes)
        : TXmlMemoryStream(bytes.data(), static_cast<std::int64_t>(bytes.size())) {}
    std::optional<std::span<const std::uint8_t>> bytesInPlace() override { return std::nullopt; }
};

// What a source delivers from the bytes, or the message of the failure that ends it; the same
// through a stream read in place and through one that must be read.
std::u16string delivered(const std::string& bytes) {
    TXmlMemoryStream inPlace(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    ReadOnlyStream copied(bytes);
    std::u16string results[2];
    TStream* streams[] = {&inPlace, &copied};
    for (int k = 0; k < 2; ++k) {
        try {
            TXmlInputSource source(streams[k], u"", u"");
            results[k] = readInRuns(source);
        } catch (const Exception& e) {
            results[k] = u"failure: " + utf8ToUtf16(e.message());
        }
    }
    EXPECT_EQ(results[0], results[1]);
    return results[0];
}

} // namespace

TEST(InputSource, ShiftJisDecodesAsItsCharacterDecoderDoes) {
    // Random bytes of every kind: ASCII, CR and LF, lead bytes with defined, undefined and
    // impossible trail bytes, half-width katakana and the bytes that stand for nothing.
    const std::string head = "<?xml version='1.0' encoding='Shift_JIS'?>";
    const std::vector<std::uint8_t> kinds = {'a',  ' ',  '<',  0x0D, 0x0A, 0x81, 0x82, 0x88, 0x9F, 0xE0, 0xEA,
                                             0xFC, 0x40, 0x7F, 0x80, 0x9E, 0xA0, 0xA1, 0xB1, 0xDF, 0xFD, 0xFF};
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::string bytes;
        for (int i = 0; i < 20000; ++i) {
            const std::uint8_t byte = kinds[random() % kinds.size()];
            bytes.push_back(static_cast<char>(byte));
            // Often a lead byte's usual trail byte, so that long runs of pairs occur.
            if (kShiftJisLeadBytes[byte] && random() % 2) bytes.push_back(static_cast<char>(0x40 + random() % 0xBD));
        }
        bytes += "z"; // a lead byte at the end has its trail byte
        std::u16string expected;
        std::size_t at = 0;
        bool afterCarriageReturn = false;
        auto next = [&] { return static_cast<std::uint8_t>(bytes[at++]); };
        while (at < bytes.size()) {
            char16_t unit = decodeShiftJis(next(), next, [&] { --at; });
            if (unit == u'\n' && afterCarriageReturn) {
                afterCarriageReturn = false;
                continue;
            }
            afterCarriageReturn = unit == u'\r';
            expected.push_back(afterCarriageReturn ? u'\n' : unit);
        }
        EXPECT_EQ(Source(head + bytes).contentAfterDeclaration(), expected) << "round " << round;
    }
}

TEST(InputSource, CharactersSplitByTheWindowBorderDecodeWhole) {
    constexpr std::size_t kWindow = 64 * 1024;
    const std::string shiftJis = "<?xml version='1.0' encoding='Shift_JIS'?>";
    const std::string eucJp = "<?xml version='1.0' encoding='EUC-JP'?>";
    struct Case {
        std::string head, character;
        std::u16string expected;
    };
    const Case cases[] = {
        {"", "\xC3\xA9", u"\u00E9"},
        {"", "\xE3\x81\x82", u"\u3042"},
        {"", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"", "\r\n", u"\n"},
        {shiftJis, "\x82\xA0", u"\u3042"},
        {shiftJis, "\x82\r\n", u"\u30FB\n"}, // a lead byte without its trail byte: the CR is read again
        {eucJp, "\xA4\xA2", u"\u3042"},
    };
    for (const Case& c : cases) {
        // The character starts `before` bytes ahead of the border.
        for (std::size_t before = 1; before < c.character.size(); ++before) {
            const std::size_t filler = kWindow - before - c.head.size();
            SCOPED_TRACE(testing::Message() << c.character.size() << " bytes, " << before << " before the border");
            EXPECT_EQ(delivered(c.head + std::string(filler, 'f') + c.character + "z"),
                      utf8ToUtf16(c.head) + std::u16string(filler, u'f') + c.expected + u"z");
        }
    }
    // Failures name the same byte offsets on either side of the border.
    const std::string filler(kWindow - 2, 'f');
    EXPECT_EQ(delivered(filler + "f\xE3x"), u"failure: Invalid UTF-8 sequence at position 65536");
    EXPECT_EQ(delivered(filler + "\xE3\x81x"), u"failure: Invalid UTF-8 sequence at position 65536");
    EXPECT_EQ(delivered(filler + "f\xE3\x81"), u"failure: Aborted UTF-8 sequence at position 65537");
    EXPECT_EQ(delivered(shiftJis + filler.substr(shiftJis.size() - 1) + "\x82"), u"failure: Stream read error");
}

TEST(InputSource, TheStreamPositionTellsHowFarTheSourceHasRead) {
    // The position moves a window at a time, whether the bytes are taken in place or read.
    const std::string bytes = "<a>" + std::string(150000, 'x') + "</a>";
    TXmlMemoryStream inPlace(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    ReadOnlyStream copied(bytes);
    for (TStream* stream : {static_cast<TStream*>(&inPlace), static_cast<TStream*>(&copied)}) {
        TXmlInputSource source(stream, u"", u"");
        std::vector<std::int64_t> positions;
        char16_t unit;
        for (std::size_t count = 0; source.readChar(unit); ++count)
            if (count % 50000 == 0) positions.push_back(stream->position());
        EXPECT_EQ(positions, (std::vector<std::int64_t>{65536, 65536, 131072, 150007}));
    }
}
