// Decodes 50 MB of Shift_JIS text (mostly Japanese) to UTF-16 one character at a time, as the
// input source does, and encodes it back with the Shift_JIS conversion stream; prints both
// throughputs and their ratios to iconv's CP932 converter doing the same work in the same run.
// Then the input source itself decodes the same text as a document, taken in runs as the document
// reader takes it: from a memory stream and from a file.
//
// Usage: bench_text_decoding [megabytes] [rounds]

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "text/code_page_932.h"
#include "text/conversion_stream.h"
#include "text/encoding_conversion.h"
#include "text/input_source.h"
#include "text/stream.h"
#include "text/xml_memory_stream.h"

namespace {

// CPU time of this thread: the machine is shared, and time spent waiting for a core is not work.
struct Clock {
    using time_point = double;
    static double now() {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    }
};

// Point-mark-like text: words of kana, kanji, half-width katakana and ASCII (markup, numbers),
// and line ends; about four characters in five are Japanese.
std::string makeShiftJisText(std::size_t bytes) {
    std::u16string sample;
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    while (sample.size() < 1 << 20) {
        const unsigned kind = next() % 100;
        for (unsigned length = 1 + next() % 6; length > 0; --length) {
            if (kind < 30) {
                sample += static_cast<char16_t>(0x3041 + next() % 83); // hiragana
            } else if (kind < 45) {
                sample += static_cast<char16_t>(0x30A1 + next() % 86); // katakana
            } else if (kind < 80) {
                // kanji that code page 932 holds
                char16_t u;
                char out[2];
                do u = static_cast<char16_t>(0x4E00 + next() % 0x5000);
                while (cp932::encodeUnit(u, out) != 2);
                sample += u;
            } else if (kind < 83) {
                sample += static_cast<char16_t>(0xFF71 + next() % 40); // half-width katakana
            } else if (kind < 98) {
                sample += static_cast<char16_t>(u'a' + next() % 26);
            } else {
                sample += u"\n";
            }
        }
    }
    const std::string chunk = cp932::encode(sample);
    std::string text;
    text.reserve(bytes + chunk.size());
    while (text.size() < bytes) text += chunk;
    // Cut at a character boundary.
    std::size_t end = 0;
    while (end < bytes) end += cp932::isLeadByte(static_cast<std::uint8_t>(text[end])) ? 2 : 1;
    text.resize(end);
    return text;
}

// Decodes into out, allocated beforehand as iconv's output is; returns the units written.
std::size_t decodePerCharacter(const std::string& bytes, char16_t* out) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    auto readSecond = [&]() -> std::uint8_t {
        if (p == end) std::abort();
        return *p++;
    };
    auto unreadSecond = [&] { --p; };
    char16_t* dest = out;
    while (p != end) {
        const std::uint8_t first = *p++;
        *dest++ = decodeShiftJis(first, readSecond, unreadSecond);
    }
    return static_cast<std::size_t>(dest - out);
}

std::size_t iconvConvert(iconv_t cd, const char* in, std::size_t inBytes, char* out, std::size_t outBytes) {
    char* inPtr = const_cast<char*>(in);
    char* outPtr = out;
    std::size_t inLeft = inBytes;
    std::size_t outLeft = outBytes;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        std::perror("iconv");
        std::exit(1);
    }
    return outBytes - outLeft;
}

// Target stream that copies into a buffer allocated beforehand, as iconv writes into its own.
class BufferSink : public TStream {
public:
    explicit BufferSink(std::size_t capacity) : data_(capacity) {}
    std::int64_t read(void*, std::int64_t) override { return 0; }
    std::int64_t write(const void* buffer, std::int64_t count) override {
        std::memcpy(data_.data() + used_, buffer, static_cast<std::size_t>(count));
        used_ += static_cast<std::size_t>(count);
        return count;
    }
    std::int64_t seek(std::int64_t, TSeekOrigin) override { return static_cast<std::int64_t>(used_); }
    std::string text() const { return std::string(data_.data(), used_); }
    void rewind() { used_ = 0; }

private:
    std::vector<char> data_;
    std::size_t used_ = 0;
};

double seconds(Clock::time_point start) { return Clock::now() - start; }

// The units an input source delivers from a stream, taken in runs where it has them decoded.
std::size_t unitsOfInputSource(TStream& stream) {
    TXmlInputSource source(&stream, u"", u"bench");
    std::size_t units = 0;
    char16_t unit;
    for (;;) {
        const std::size_t run = source.bufferedUnits().size();
        source.skipBufferedUnits(run);
        units += run;
        if (!source.readCharWith(unit, nullptr)) break;
        ++units;
    }
    return units;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string sjis = makeShiftJisText(megabytes << 20);
    const double mb = static_cast<double>(sjis.size()) / (1 << 20);

    // Decoding.
    iconv_t toUtf16 = iconv_open("UTF-16LE", "CP932");
    std::vector<char> iconvOut(sjis.size() * 2 + 16);
    std::u16string ours(sjis.size(), u'\0');
    std::size_t oursUnits = 0;
    double oursDecode = 1e9, iconvDecode = 1e9;
    std::size_t iconvBytes = 0;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        oursUnits = decodePerCharacter(sjis, ours.data());
        oursDecode = std::min(oursDecode, seconds(start));
        start = Clock::now();
        iconvBytes = iconvConvert(toUtf16, sjis.data(), sjis.size(), iconvOut.data(), iconvOut.size());
        iconvDecode = std::min(iconvDecode, seconds(start));
    }
    iconv_close(toUtf16);
    ours.resize(oursUnits);
    if (iconvBytes != ours.size() * 2 || std::memcmp(iconvOut.data(), ours.data(), iconvBytes) != 0) {
        std::fprintf(stderr, "decoders disagree\n");
        return 1;
    }

    // Encoding back, in writes of 64K units as a document save would make them.
    iconv_t toSjis = iconv_open("CP932", "UTF-16LE");
    BufferSink sink(sjis.size() * 2 + 16);
    double oursEncode = 1e9, iconvEncode = 1e9;
    std::size_t iconvEncoded = 0;
    constexpr std::size_t kChunk = 65536;
    for (int r = 0; r < rounds; ++r) {
        sink.rewind();
        auto start = Clock::now();
        {
            TUTF16BEToShiftJISStream stream(&sink);
            for (std::size_t i = 0; i < ours.size(); i += kChunk) {
                const std::size_t n = std::min(kChunk, ours.size() - i);
                stream.writeBuffer(ours.data() + i, static_cast<std::int64_t>(n * 2));
            }
        }
        oursEncode = std::min(oursEncode, seconds(start));
        start = Clock::now();
        iconvEncoded = 0;
        for (std::size_t i = 0; i < ours.size(); i += kChunk) {
            const std::size_t n = std::min(kChunk, ours.size() - i);
            iconvEncoded += iconvConvert(toSjis, reinterpret_cast<const char*>(ours.data() + i), n * 2,
                                         iconvOut.data() + iconvEncoded, iconvOut.size() - iconvEncoded);
        }
        iconvEncode = std::min(iconvEncode, seconds(start));
    }
    iconv_close(toSjis);
    if (sink.text() != sjis || iconvEncoded != sjis.size()) {
        std::fprintf(stderr, "encoders disagree\n");
        return 1;
    }

    // The input source over the same text as a document.
    const std::string document = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>" + sjis;
    char fileName[] = "/tmp/bench-text-decoding-XXXXXX";
    const int fd = mkstemp(fileName);
    if (fd < 0 || write(fd, document.data(), document.size()) != static_cast<ssize_t>(document.size())) {
        std::perror("temporary file");
        return 1;
    }
    close(fd);
    double sourceFromMemory = 1e9, sourceFromFile = 1e9;
    std::size_t memoryUnits = 0, fileUnits = 0;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        TXmlMemoryStream memory(document.data(), static_cast<std::int64_t>(document.size()));
        memoryUnits = unitsOfInputSource(memory);
        sourceFromMemory = std::min(sourceFromMemory, seconds(start));
        start = Clock::now();
        TFileStream file(fileName, TFileStream::Mode::openRead);
        fileUnits = unitsOfInputSource(file);
        sourceFromFile = std::min(sourceFromFile, seconds(start));
    }
    unlink(fileName);
    const std::size_t documentUnits = ours.size() + (document.size() - sjis.size()); // an ASCII head
    if (memoryUnits != documentUnits || fileUnits != documentUnits) {
        std::fprintf(stderr, "the input source delivered %zu and %zu units, not %zu\n", memoryUnits, fileUnits,
                     documentUnits);
        return 1;
    }

    std::printf("Shift_JIS text: %.1f MB, %zu characters; best of %d rounds\n", mb, ours.size(), rounds);
    std::printf("decode  per character:    %7.1f MB/s   iconv: %7.1f MB/s   ratio %.2f\n", mb / oursDecode,
                mb / iconvDecode, iconvDecode / oursDecode);
    std::printf("encode  conversion stream:%7.1f MB/s   iconv: %7.1f MB/s   ratio %.2f\n", mb / oursEncode,
                mb / iconvEncode, iconvEncode / oursEncode);
    std::printf("decode  input source, memory: %7.1f MB/s   ratio to iconv %.2f\n", mb / sourceFromMemory,
                iconvDecode / sourceFromMemory);
    std::printf("decode  input source, file:   %7.1f MB/s   ratio to iconv %.2f\n", mb / sourceFromFile,
                iconvDecode / sourceFromFile);
    return 0;
}
