#include "text/conversion_stream.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstring>

#include <memory>
#include <string>

#include "tests/text/raised_message.h"
#include "text/code_page_932.h"
#include "text/exception.h"

namespace {

// Writes the units to a fresh stream of type S over a memory stream; returns the target's bytes.
template <class S> std::string convert(const std::u16string& text, bool crlf = false) {
    TMemoryStream target;
    S stream(&target);
    stream.crlfLineEnds = crlf;
    const auto bytes = static_cast<std::int64_t>(text.size() * 2);
    EXPECT_EQ(stream.write(text.data(), bytes), bytes);
    return target.bytes();
}

// A target that takes at most `limit` bytes per write.
class ShortStream : public TMemoryStream {
public:
    explicit ShortStream(std::int64_t limit) : limit_(limit) {}
    std::int64_t write(const void* buffer, std::int64_t count) override {
        return TMemoryStream::write(buffer, std::min(count, limit_));
    }

private:
    std::int64_t limit_;
};

std::string iconvFromUtf16(const char* to, const std::u16string& text) {
    iconv_t cd = iconv_open(to, "UTF-16LE");
    std::string out(text.size() * 4 + 16, '\0');
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
    char* outPtr = out.data();
    std::size_t inLeft = text.size() * 2;
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    EXPECT_NE(result, static_cast<std::size_t>(-1));
    out.resize(out.size() - outLeft);
    return out;
}

TEST(ConversionStreamBase, ConstructionWritesAndFailures) {
    EXPECT_EQ(raisedMessage<EConversionStream>([&] { TUTF16BEToUTF8Stream stream(nullptr); }),
              "Must have a target stream");
    TMemoryStream target;
    TUTF16BEToShiftJISStream stream(&target);
    EXPECT_EQ(stream.write("a", 0), 0);
    EXPECT_EQ(target.size(), 0);
    EXPECT_EQ(raisedMessage<EConversionStream>([&] { stream.write("a", 1); }), "Odd size not valid for WideString");
    EXPECT_EQ(stream.seek(10, TSeekOrigin::soBeginning), 0);
    // Reading passes the target's bytes through unchanged.
    TMemoryStream source(std::string("xyz"));
    TUTF16BEToUTF8Stream reader(&source);
    char buffer[4] = {};
    EXPECT_EQ(reader.read(buffer, 4), 3);
    EXPECT_EQ(std::string(buffer), "xyz");
    EXPECT_EQ(reader.producedCount(), 0);
    // A target that takes fewer bytes than produced: the negative of what it took.
    ShortStream shortTarget(2);
    TUTF16BEToUTF8Stream shortStream(&shortTarget);
    const std::u16string text = u"\x20AC";
    EXPECT_EQ(shortStream.write(text.data(), 2), -2);
    EXPECT_EQ(shortStream.producedCount(), 3);
    EXPECT_THROW(shortStream.writeBuffer(text.data(), 2), EWriteError);
    // A base conversion stream produces nothing and reports the write as complete.
    TConversionStream plain(&target);
    EXPECT_EQ(plain.write(text.data(), 2), 2);
    EXPECT_EQ(plain.producedCount(), 0);
}

TEST(ConversionStreamUtf8, CharactersMarksAndControls) {
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(u"\xE9"), "\xC3\xA9");
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(u"\x20AC"), "\xE2\x82\xAC");
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(u"\xDE00\xD83D"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(u"\xFEFF"
                                            "a"),
              "a");
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(u"a\xFEFF"), "a\xEF\xBB\xBF"); // only a leading mark is dropped
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(u"\t\r\n\x01\x1F"
                                            "b"),
              "\t\r\nb");
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(std::u16string(u"a\0b", 3)), "ab");
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(u"x\xFFFE\xFFFFy\xFFFD"), "xy\xEF\xBF\xBD");
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(u"a\nb\r\n", true), "a\r\nb\r\r\n");
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(u"\x7F\x80\x7FF\x800\xD7FF\xE000"),
              "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80");
    // Every BMP character that is written agrees with iconv.
    std::u16string all;
    for (unsigned u = 0x20; u < 0xFFFE; ++u)
        if (u < 0xD800 || u > 0xDFFF) all.push_back(static_cast<char16_t>(u));
    all += u"\xDBFF\xDFFF\xD800\xDC00";
    EXPECT_EQ(convert<TUTF16BEToUTF8Stream>(all), iconvFromUtf16("UTF-8", all));
}

TEST(ConversionStreamUtf8, UnpairedSurrogatesRaiseAndWriteNothing) {
    TMemoryStream target;
    TUTF16BEToUTF8Stream stream(&target);
    const std::u16string high = u"ab\xD83D"
                                "c";
    EXPECT_EQ(raisedMessage<EConvertError>([&] { stream.write(high.data(), 8); }),
              "High surrogate D83D without low surrogate.");
    const std::u16string low = u"ab\xDE00";
    EXPECT_EQ(raisedMessage<EConvertError>([&] { stream.write(low.data(), 6); }),
              "Low surrogate DE00 without high surrogate.");
    const std::u16string trailingHigh = u"\xDBFF";
    EXPECT_THROW(stream.write(trailingHigh.data(), 2), EConvertError);
    EXPECT_EQ(target.size(), 0);
}

TEST(ConversionStreamUtf8, BufferGrowsAndIsReused) {
    TMemoryStream target;
    TUTF16BEToUTF8Stream stream(&target);
    const std::u16string one = u"a";
    stream.write(one.data(), 2);
    EXPECT_EQ(stream.bufferCapacity(), 8); // 1 + 9, rounded down to a multiple of 4
    const std::u16string text(1000, u'\x3042');
    stream.write(text.data(), 2000);
    EXPECT_GE(stream.bufferCapacity(), 3000);
    EXPECT_LT(stream.bufferCapacity(), 3000 + 3000 / 4 + 8);
    EXPECT_EQ(stream.bufferCapacity() % 4, 0);
    const std::int64_t capacity = stream.bufferCapacity();
    stream.write(one.data(), 2);
    EXPECT_EQ(stream.bufferCapacity(), capacity);
    EXPECT_EQ(target.size(), 1 + 3000 + 1);
}

TEST(ConversionStreamJapanese, ShiftJisAndEucJpOutput) {
    EXPECT_EQ(convert<TUTF16BEToShiftJISStream>(u"\x30A2"), "\x83\x41");
    EXPECT_EQ(convert<TUTF16BEToShiftJISStream>(u"\xFF71"), "\xB1");
    EXPECT_EQ(convert<TUTF16BEToEUCJPStream>(u"\x30A2"), "\xA5\xA2");
    EXPECT_EQ(convert<TUTF16BEToEUCJPStream>(u"\xFF71"), "\x8E\xB1");
    EXPECT_EQ(convert<TUTF16BEToShiftJISStream>(u"\xFEFF\x5730\x70B9"), "\x92\x6E\x93\x5F");
    EXPECT_EQ(convert<TUTF16BEToShiftJISStream>(u"a\nb", true), "a\r\nb");
    EXPECT_EQ(convert<TUTF16BEToShiftJISStream>(u"a\nb", false), "a\nb");
    EXPECT_EQ(convert<TUTF16BEToEUCJPStream>(u"\n\x3042\n", true), "\r\n\xA4\xA2\r\n");
    // Characters the code page lacks become "?", a surrogate pair as one.
    EXPECT_EQ(convert<TUTF16BEToShiftJISStream>(u"\xE9\xD83D\xDE00x"), "??x");
    EXPECT_EQ(convert<TUTF16BEToEUCJPStream>(u"\xE9\xD83D\xDE00x"), "??x");
    // The Shift_JIS stream sizes its buffer exactly to each write's result.
    TMemoryStream target;
    TUTF16BEToShiftJISStream stream(&target);
    const std::u16string text = u"\x3042\x3044x";
    stream.write(text.data(), 6);
    EXPECT_EQ(stream.bufferCapacity(), 5);
    EXPECT_EQ(stream.producedCount(), 5);
    // JIS X 0208 text in EUC-JP agrees with iconv's EUC-JP.
    std::u16string kana;
    for (char16_t u = 0x3041; u <= 0x3093; ++u) kana.push_back(u);
    for (char16_t u = 0x30A1; u <= 0x30F6; ++u) kana.push_back(u);
    kana += u"\x4E9C\x5730\x70B9\x9ED2\xFF71\xFF9F"
            "abc";
    EXPECT_EQ(convert<TUTF16BEToEUCJPStream>(kana), iconvFromUtf16("EUC-JP", kana));
    EXPECT_EQ(convert<TUTF16BEToShiftJISStream>(kana), iconvFromUtf16("CP932", kana));
}

// The stream's encoder agrees with the code page 932 converter for every BMP unit, surrogate
// pairs and lone surrogates included.
TEST(ConversionStreamJapanese, ShiftJisOutputMatchesTheCodePageForEveryUnit) {
    std::u16string all;
    for (unsigned u = 0; u <= 0xFFFF; ++u) all.push_back(static_cast<char16_t>(u));
    all += u"\xD83D\xDE00\xDE00\xD83D";
    EXPECT_EQ(convert<TUTF16BEToShiftJISStream>(all), cp932::encode(all));
}

TEST(ConversionStreamJapanese, UnalignedBuffersConvertTheSame) {
    const std::u16string text = u"\xFEFF\x3042\nA\xD83D\xDE00";
    std::unique_ptr<char[]> storage(new char[text.size() * 2 + 1]);
    std::memcpy(storage.get() + 1, text.data(), text.size() * 2);
    TMemoryStream utf8Target;
    TUTF16BEToUTF8Stream utf8(&utf8Target);
    utf8.write(storage.get() + 1, static_cast<std::int64_t>(text.size() * 2));
    EXPECT_EQ(utf8Target.bytes(), "\xE3\x81\x82\nA\xF0\x9F\x98\x80");
    TMemoryStream eucTarget;
    TUTF16BEToEUCJPStream euc(&eucTarget);
    euc.write(storage.get() + 1, static_cast<std::int64_t>(text.size() * 2));
    EXPECT_EQ(eucTarget.bytes(), "\xA4\xA2\nA?");
}

} // namespace
