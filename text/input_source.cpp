#include "text/input_source.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "text/ascii.h"
#include "text/attribute_grammar.h"
#include "text/dom_exception.h"
#include "text/encoding_conversion.h"
#include "text/exception.h"
#include "text/locator.h"
#include "text/parser_exception.h"
#include "text/single_byte_decoders.h"
#include "text/stream.h"
#include "text/xml_chars.h"

namespace {

struct EncodingName {
    const char* name;
    TextEncoding encoding;
};

constexpr EncodingName kEncodingNames[] = {
    {"ISO-8859-1", TextEncoding::iso8859_1},
    {"Latin-1", TextEncoding::iso8859_1},
    {"ISO-8859-2", TextEncoding::iso8859_2},
    {"Latin-2", TextEncoding::iso8859_2},
    {"ISO-8859-3", TextEncoding::iso8859_3},
    {"Latin-3", TextEncoding::iso8859_3},
    {"ISO-8859-4", TextEncoding::iso8859_4},
    {"Latin-4", TextEncoding::iso8859_4},
    {"ISO-8859-5", TextEncoding::iso8859_5},
    {"Cyrillic", TextEncoding::iso8859_5},
    {"ISO-8859-6", TextEncoding::iso8859_6},
    {"Arabic", TextEncoding::iso8859_6},
    {"ISO-8859-7", TextEncoding::iso8859_7},
    {"Greek", TextEncoding::iso8859_7},
    {"ISO-8859-8", TextEncoding::iso8859_8},
    {"Hebrew", TextEncoding::iso8859_8},
    {"ISO-8859-9", TextEncoding::iso8859_9},
    {"Latin-5", TextEncoding::iso8859_9},
    {"ISO-8859-10", TextEncoding::iso8859_10},
    {"Latin-6", TextEncoding::iso8859_10},
    {"ISO-8859-13", TextEncoding::iso8859_13},
    {"Latin-7", TextEncoding::iso8859_13},
    {"ISO-8859-14", TextEncoding::iso8859_14},
    {"Latin-8", TextEncoding::iso8859_14},
    {"ISO-8859-15", TextEncoding::iso8859_15},
    {"Latin-9", TextEncoding::iso8859_15},
    {"KOI8-R", TextEncoding::koi8r},
    {"cp10000_MacRoman", TextEncoding::macRoman},
    {"Windows-1250", TextEncoding::windows1250},
    {"cp1250", TextEncoding::windows1250},
    {"Windows-1251", TextEncoding::windows1251},
    {"cp1251", TextEncoding::windows1251},
    {"Windows-1252", TextEncoding::windows1252},
    {"cp1252", TextEncoding::windows1252},
    {"EUC_JP", TextEncoding::eucJp},
    {"EUC-JP", TextEncoding::eucJp},
    {"Shift_JIS", TextEncoding::shiftJis},
    {"Shift-JIS", TextEncoding::shiftJis},
    // Registered and common names of the same code page (the Shift_JIS decoding is code page 932).
    {"MS_Kanji", TextEncoding::shiftJis},
    {"csShiftJIS", TextEncoding::shiftJis},
    {"Windows-31J", TextEncoding::shiftJis},
    {"CP932", TextEncoding::shiftJis},
    {"MS932", TextEncoding::shiftJis},
    // Known, and read as UTF-8 unless a byte-order mark says UTF-16; ASCII is a part of UTF-8.
    {"UTF-8", TextEncoding::utf8},
    {"UTF-16", TextEncoding::utf8},
    {"US-ASCII", TextEncoding::utf8},
    {"ASCII", TextEncoding::utf8},
};

[[noreturn]] void raiseUtf8(const char* pattern, std::int64_t position) {
    char message[80];
    std::snprintf(message, sizeof message, pattern, static_cast<int>(position));
    throw EConvertError(message);
}

// The attributes of a declaration's attribute text, in order, each value as it reads: character
// references replaced, entity references standing for nothing (a declaration has no entities to
// expand). A malformed text raises the exception of the attribute grammar.
std::vector<std::pair<std::u16string_view, std::u16string>> declarationAttributes(std::u16string_view text) {
    std::vector<std::pair<std::u16string_view, std::u16string>> attributes;
    std::unordered_set<std::u16string_view> names;
    scanAttributeSpecs(text, names, [&](std::u16string_view name, std::u16string_view value) {
        std::u16string expanded;
        if (value.find(u'&') == std::u16string_view::npos) {
            if (!checkCharData(value)) throw EParserInvalidAttributeValue_Err("Invalid attribute value error.");
            expanded = value;
        } else {
            auto append = [&](std::u16string_view characters) { expanded += characters; };
            scanReferencedValue(value, append, append, [](std::u16string_view) {});
        }
        attributes.emplace_back(name, std::move(expanded));
    });
    return attributes;
}

// The value of the encoding attribute of an XML declaration's attribute text; empty when it is
// absent. A malformed text raises the exception of the attribute grammar.
std::u16string encodingAttributeOf(std::u16string_view text) {
    for (auto& [name, value] : declarationAttributes(text))
        if (name == u"encoding") return std::move(value);
    return std::u16string();
}

// Copies the run of ASCII bytes other than CR at the start of [p, end) to out as units; returns
// its length. Such bytes stand for themselves in every encoding but UTF-16.
inline std::size_t asciiRunLength(const std::uint8_t* p, const std::uint8_t* const end, char16_t* out) {
    const std::uint8_t* const start = p;
#ifdef __SSE2__
    const __m128i carriageReturns = _mm_set1_epi8(0x0D);
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // The top bit of a mask byte is set for a byte from 0x80 on and for a CR.
        const int stops = _mm_movemask_epi8(_mm_or_si128(bytes, _mm_cmpeq_epi8(bytes, carriageReturns)));
        // All sixteen units are written (there is room for them); those from the first stop on
        // are written over later.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
        if (stops != 0)
            return static_cast<std::size_t>(p - start) +
                   static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(stops)));
        p += 16;
        out += 16;
    }
#endif
    while (p < end && *p < 0x80 && *p != 0x0D) *out++ = *p++;
    return static_cast<std::size_t>(p - start);
}

// Whether the bytes are the Shift_JIS or EUC-JP form of U+30FB itself, which is no replacement.
bool isKatakanaMiddleDot(const std::uint8_t* bytes, std::size_t count, bool shiftJis) {
    return count == 2 && bytes[0] == (shiftJis ? 0x81 : 0xA1) && bytes[1] == (shiftJis ? 0x45 : 0xA6);
}

bool isSingleByteEncoding(TextEncoding encoding) {
    return encoding >= TextEncoding::iso8859_1 && encoding <= TextEncoding::windows1252;
}

} // namespace

namespace {

const EncodingName* findEncodingName(std::u16string_view name) {
    // Names are compared as narrow strings; a unit beyond ASCII never matches a table name.
    std::string narrow;
    narrow.reserve(name.size());
    for (char16_t unit : name) {
        if (unit >= 0x80) return nullptr;
        narrow.push_back(static_cast<char>(unit));
    }
    for (const EncodingName& entry : kEncodingNames)
        if (equalsIgnoringAsciiCase<char>(narrow, entry.name)) return &entry;
    return nullptr;
}

} // namespace

TextEncoding encodingFromName(std::u16string_view name) {
    const EncodingName* entry = findEncodingName(name);
    return entry ? entry->encoding : TextEncoding::utf8;
}

bool isKnownEncodingName(std::u16string_view name) { return findEncodingName(name) != nullptr; }

TXmlInputSource::TXmlInputSource(TStream* stream, const std::u16string& publicId, const std::u16string& systemId,
                                 bool decodedText)
    : stream_(stream), decodedText_(decodedText) {
    if (!stream) throw EStreamError("Stream not specified.");
    publicId_ = publicId;
    systemId_ = systemId;
    inPlace_ = stream_->bytesInPlace().has_value();
    if (!inPlace_) {
        ownBuffer_ = std::make_unique<std::uint8_t[]>(kBufferSize);
        buffer_ = ownBuffer_.get();
    }
    units_ = std::make_unique<char16_t[]>(kUnitCapacity);
    streamSize_ = stream_->size();
    bufferStart_ = stream_->position();
    encoding_ = detectEncoding();
    asciiTransparent_ = encoding_ != TextEncoding::utf16le && encoding_ != TextEncoding::utf16be;
    if (isSingleByteEncoding(encoding_)) buildSingleByteTable();
    locator_ = std::make_unique<TdomStandardLocator>(this);
    sniffRootName(rootElementName_);
}

TXmlInputSource::~TXmlInputSource() = default;

void TXmlInputSource::buildSingleByteTable() {
    singleByteTable_ = std::make_unique<char16_t[]>(256);
    singleByteInvalid_ = std::make_unique<bool[]>(256);
    for (int byte = 0; byte < 256; ++byte) {
        try {
            singleByteTable_[byte] = decodeSingleByte(static_cast<int>(encoding_), static_cast<std::uint8_t>(byte));
            singleByteInvalid_[byte] = false;
        } catch (const EConvertError&) {
            singleByteTable_[byte] = 0;
            singleByteInvalid_[byte] = true;
        }
    }
}

void TXmlInputSource::seekTo(std::int64_t offset) {
    if (offset >= bufferStart_ && offset <= bufferStart_ + static_cast<std::int64_t>(bufferLength_)) {
        bufferPos_ = static_cast<std::size_t>(offset - bufferStart_);
        return;
    }
    stream_->seek(offset, TSeekOrigin::soBeginning);
    bufferStart_ = offset;
    bufferPos_ = 0;
    bufferLength_ = 0;
}

bool TXmlInputSource::fill() {
    std::int64_t next = bufferStart_ + static_cast<std::int64_t>(bufferLength_);
    if (next >= streamSize_) return false;
    std::int64_t wanted = streamSize_ - next;
    if (wanted > static_cast<std::int64_t>(kBufferSize)) wanted = kBufferSize;
    std::int64_t got = 0;
    if (inPlace_) {
        // The window is the stream's memory; the stream moves past it as a read would move it.
        if (const auto bytes = stream_->bytesInPlace()) {
            got = std::min(wanted, static_cast<std::int64_t>(bytes->size()));
            buffer_ = bytes->data();
            stream_->seek(got, TSeekOrigin::soCurrent);
        }
    } else {
        got = stream_->read(ownBuffer_.get(), wanted);
    }
    bufferStart_ = next;
    bufferPos_ = 0;
    bufferLength_ = got > 0 ? static_cast<std::size_t>(got) : 0;
    if (bufferLength_ == 0) {
        // The stream holds less than it said: take its end as the end.
        streamSize_ = next;
        return false;
    }
    return true;
}

std::uint8_t TXmlInputSource::requiredByte() {
    std::uint8_t byte;
    if (!nextByte(byte)) throw EReadError("Stream read error");
    return byte;
}

std::u16string TXmlInputSource::declarationEncodingName(TextEncoding markEncoding) {
    // One unit of the declaration: two bytes in the order of a UTF-16 mark, else one byte.
    auto nextUnit = [&](char16_t& unit) {
        std::uint8_t first, second;
        if (!nextByte(first)) return false;
        if (markEncoding != TextEncoding::utf16le && markEncoding != TextEncoding::utf16be) {
            unit = first;
            return true;
        }
        if (!nextByte(second)) return false;
        unit = markEncoding == TextEncoding::utf16le ? static_cast<char16_t>(first | second << 8)
                                                     : static_cast<char16_t>(first << 8 | second);
        return true;
    };
    char16_t unit;
    for (char16_t expected : std::u16string_view(u"<?xml"))
        if (!nextUnit(unit) || unit != expected) return std::u16string();
    if (!nextUnit(unit) || (unit != 0x09 && unit != 0x0A && unit != 0x0D && unit != 0x20)) return std::u16string();
    // Exactly one white-space unit separates the letters xml from the attributes.
    std::u16string text;
    for (;;) {
        if (!nextUnit(unit)) return std::u16string();
        if (unit == u'?') break;
        text.push_back(unit);
    }
    if (!text.empty() && isWhiteSpace(text[0])) return std::u16string();
    try {
        return encodingAttributeOf(text);
    } catch (const EDomException&) {
    } catch (const EParserException&) {
    }
    return std::u16string();
}

TextEncoding TXmlInputSource::detectEncoding() {
    seekTo(0);
    TextEncoding markEncoding = TextEncoding::utf8;
    contentStart_ = 0;
    std::uint8_t first, second, third;
    if (nextByte(first) && nextByte(second)) {
        if (first == 0xFF && second == 0xFE) {
            markEncoding = TextEncoding::utf16le;
            contentStart_ = 2;
        } else if (first == 0xFE && second == 0xFF) {
            markEncoding = TextEncoding::utf16be;
            contentStart_ = 2;
        } else if (first == 0xEF && second == 0xBB && nextByte(third) && third == 0xBF) {
            contentStart_ = 3;
        }
    }
    seekTo(contentStart_);
    declaredEncoding_ = declarationEncodingName(markEncoding);
    seekTo(contentStart_);

    // Without a mark the declaration decides; a mark decides alone, and a declaration must agree.
    const EncodingName* named = findEncodingName(declaredEncoding_);
    encodingProblem_ = TEncodingProblem::none;
    if (!declaredEncoding_.empty() && !named) {
        encodingProblem_ = TEncodingProblem::unknownName;
    } else if (named && contentStart_ > 0) {
        const std::string_view markName = contentStart_ == 2 ? "UTF-16" : "UTF-8";
        if (named->name != markName) encodingProblem_ = TEncodingProblem::contradictsMark;
    } else if (named && std::string_view(named->name) == "UTF-16") {
        // Text in UTF-16 starts with its byte-order mark; what was read here without one is not.
        encodingProblem_ = TEncodingProblem::missingMark;
    }
    if (decodedText_) encodingProblem_ = TEncodingProblem::none;
    if (contentStart_ == 0) return named ? named->encoding : TextEncoding::utf8;
    return markEncoding;
}

std::u16string TXmlInputSource::encodingProblemText() const {
    switch (encodingProblem_) {
    case TEncodingProblem::none:
        break;
    case TEncodingProblem::unknownName:
        return u"unknown encoding \"" + declaredEncoding_ + u"\"";
    case TEncodingProblem::contradictsMark:
        return u"encoding \"" + declaredEncoding_ + u"\" under a " + (contentStart_ == 2 ? u"UTF-16" : u"UTF-8") +
               u" byte-order mark";
    case TEncodingProblem::missingMark:
        return u"encoding \"" + declaredEncoding_ + u"\" without a byte-order mark";
    }
    return std::u16string();
}

std::int32_t TXmlInputSource::decodeUtf8(std::uint8_t lead) {
    std::int64_t leadPosition = bytePosition() - 1;
    if ((lead & 0xC0) != 0xC0) raiseUtf8("Invalid UTF-8 sequence at position %d", leadPosition);
    int continuation = 0;
    for (std::uint8_t bit = 0x40; bit != 0 && (lead & bit) != 0; bit >>= 1) ++continuation;
    if (continuation > 5) raiseUtf8("Invalid UTF-8 sequence at position %d", leadPosition);
    std::int64_t value = lead;
    for (int i = 0; i < continuation; ++i) {
        std::uint8_t byte;
        if (!nextByte(byte)) raiseUtf8("Aborted UTF-8 sequence at position %d", bytePosition());
        if ((byte & 0xC0) != 0x80) raiseUtf8("Invalid UTF-8 sequence at position %d", bytePosition() - 1);
        value = value * 64 + (byte & 0x3F);
    }
    static const std::int64_t kPayload[] = {0x7F, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF, 0x7FFFFFFF};
    value &= kPayload[continuation];
    // The shortest form is required, nothing beyond the last code point U+10FFFF fits in a pair, and
    // the surrogates are no characters of their own.
    if (value <= kPayload[continuation - 1] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        raiseUtf8("Invalid UTF-8 encoding at position %d", bytePosition() - 1);
    return static_cast<std::int32_t>(value);
}

void TXmlInputSource::dropDecodedUnits() {
    unitsBefore_ += static_cast<std::int64_t>(unitPos_);
    unitPos_ = 0;
    unitEnd_ = 0;
    runEnd_ = 0;
    pendingFailure_ = nullptr;
}

void TXmlInputSource::findRunEnd() {
    runEnd_ = unitEnd_;
    if (notesDelivered_ < undecodable_.size()) {
        const std::int64_t local = undecodable_[notesDelivered_].unit - unitsBefore_;
        if (local >= 0 && local < static_cast<std::int64_t>(unitEnd_)) runEnd_ = static_cast<std::size_t>(local);
    }
}

std::int32_t TXmlInputSource::decodeUtf8ReadingOn(std::uint8_t lead) {
    // The shortest forms of the code points up to U+10FFFF without the surrogates: the lead byte
    // fixes the count and the range of the byte after it.
    int count;
    std::uint8_t low = 0x80, high = 0xBF;
    std::int32_t value;
    if (lead >= 0xC2 && lead <= 0xDF) {
        count = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 2;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 3;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        noteUndecodable(&lead, 1);
        return cp932::kReplacementUnit;
    }
    std::uint8_t bytes[4] = {lead};
    for (int i = 1; i <= count; ++i) {
        std::uint8_t byte;
        if (!nextByte(byte)) {
            noteUndecodable(bytes, static_cast<std::size_t>(i));
            return cp932::kReplacementUnit;
        }
        if (byte < low || byte > high) {
            --bufferPos_; // read again: the byte just read is still in the buffer
            noteUndecodable(bytes, static_cast<std::size_t>(i));
            return cp932::kReplacementUnit;
        }
        bytes[i] = byte;
        low = 0x80;
        high = 0xBF;
        value = value << 6 | (byte & 0x3F);
    }
    return value;
}

std::int32_t TXmlInputSource::decodeUtf16ReadingOn(std::uint8_t first, bool littleEndian) {
    auto unitOf = [littleEndian](std::uint8_t a, std::uint8_t b) {
        return littleEndian ? std::int32_t{a} | std::int32_t{b} << 8 : std::int32_t{a} << 8 | std::int32_t{b};
    };
    std::uint8_t bytes[2] = {first};
    if (!nextByte(bytes[1])) {
        noteUndecodable(bytes, 1);
        return cp932::kReplacementUnit;
    }
    const std::int32_t unit = unitOf(bytes[0], bytes[1]);
    if (unit < 0xD800 || unit > 0xDFFF) return unit;
    if (unit <= 0xDBFF) {
        // A high surrogate takes a low one after it; any other unit is read again.
        const std::int64_t next = bytePosition();
        std::uint8_t a, b;
        if (nextByte(a)) {
            if (nextByte(b)) {
                const std::int32_t low = unitOf(a, b);
                if (low >= 0xDC00 && low <= 0xDFFF) return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            }
            seekTo(next);
        }
    }
    noteUndecodable(bytes, 2);
    return cp932::kReplacementUnit;
}

std::uint8_t TXmlInputSource::byteOrEnd(bool& atEnd) {
    std::uint8_t byte;
    if (nextByte(byte)) return byte;
    if (!readOn_) throw EReadError("Stream read error");
    atEnd = true;
    return 0;
}

void TXmlInputSource::noteJapanese(const std::uint8_t* bytes, std::size_t count, bool shiftJis) {
    // The pair that stands for U+30FB itself is no replacement.
    if (!isKatakanaMiddleDot(bytes, count, shiftJis)) noteUndecodable(bytes, count);
}

char16_t TXmlInputSource::decodeJapaneseNearEnd(std::uint8_t first) {
    const bool shiftJis = encoding_ == TextEncoding::shiftJis;
    std::uint8_t bytes[3] = {first};
    std::size_t count = 1;
    bool atEnd = false;
    auto readNext = [&] {
        const std::uint8_t next = byteOrEnd(atEnd);
        if (!atEnd) bytes[count++] = next;
        return next;
    };
    // The byte just read is still in the buffer (a refill keeps it at its start).
    auto unread = [&] {
        if (atEnd) return;
        --bufferPos_;
        --count;
    };
    const char16_t unit = shiftJis ? decodeShiftJis(first, readNext, unread) : decodeEucJp(first, readNext, unread);
    if (unit == cp932::kReplacementUnit) noteJapanese(bytes, count, shiftJis);
    return unit;
}

template <class DecodeUnit> void TXmlInputSource::decodeBlockWith(DecodeUnit decodeUnit) {
    unitsBefore_ += static_cast<std::int64_t>(unitEnd_);
    unitPos_ = 0;
    std::size_t n = 0;
    char16_t* const out = units_.get();
    try {
        // Two units of room are kept for a surrogate pair.
        while (n + 1 < kUnitCapacity) {
            if (bufferPos_ == bufferLength_ && !fill()) break;
            if (asciiTransparent_ && !afterCarriageReturn_ && buffer_[bufferPos_] < 0x80) {
                const std::uint8_t* const start = buffer_ + bufferPos_;
                const std::size_t length =
                    asciiRunLength(start, start + std::min(bufferLength_ - bufferPos_, kUnitCapacity - 1 - n), out + n);
                n += length;
                bufferPos_ += length;
                if (length > 0) continue;
            }
            std::int32_t value = decodeUnit(buffer_[bufferPos_++]);
            if (!noted_.empty()) {
                undecodable_.push_back({unitsBefore_ + static_cast<std::int64_t>(n), std::move(noted_)});
                noted_.clear();
            }
            // CR LF and a lone CR become one LF.
            if (value == 0x0A && afterCarriageReturn_) {
                afterCarriageReturn_ = false;
                continue;
            }
            afterCarriageReturn_ = value == 0x0D;
            if (afterCarriageReturn_) value = 0x0A;
            if (value < 0x10000) {
                out[n++] = static_cast<char16_t>(value);
            } else {
                out[n++] = highSurrogateOf(value);
                out[n++] = lowSurrogateOf(value);
            }
        }
    } catch (...) {
        // Raised when the reader has taken the units before it.
        noted_.clear();
        pendingFailure_ = std::current_exception();
    }
    unitEnd_ = n;
    findRunEnd();
}

void TXmlInputSource::decodeBlock() {
    // The per-unit decoding is chosen once per block, so that the loop inlines it.
    auto nextRequired = [this] { return bufferPos_ < bufferLength_ ? buffer_[bufferPos_++] : requiredByte(); };
    switch (encoding_) {
    case TextEncoding::utf8:
        if (readOn_)
            decodeBlockWith(
                [this](std::uint8_t byte) { return byte < 0x80 ? std::int32_t{byte} : decodeUtf8ReadingOn(byte); });
        else
            decodeBlockWith([this](std::uint8_t byte) { return byte < 0x80 ? std::int32_t{byte} : decodeUtf8(byte); });
        break;
    case TextEncoding::utf16le:
    case TextEncoding::utf16be: {
        const bool littleEndian = encoding_ == TextEncoding::utf16le;
        if (readOn_)
            decodeBlockWith([&](std::uint8_t byte) { return decodeUtf16ReadingOn(byte, littleEndian); });
        else if (littleEndian)
            decodeBlockWith([&](std::uint8_t byte) { return std::int32_t{byte} | (nextRequired() << 8); });
        else
            decodeBlockWith([&](std::uint8_t byte) { return (std::int32_t{byte} << 8) | nextRequired(); });
        break;
    }
    case TextEncoding::eucJp:
    case TextEncoding::shiftJis: {
        const bool shiftJis = encoding_ == TextEncoding::shiftJis;
        // decodeCharacter is decodeShiftJis or decodeEucJp, chosen here so that each loop inlines its own.
        auto decodeJapanese = [&](auto decodeCharacter) {
            decodeBlockWith([&](std::uint8_t byte) {
                // Near the end of the buffer a character may need a refill, or the end of the stream.
                if (bufferLength_ - bufferPos_ < 2) return std::int32_t{decodeJapaneseNearEnd(byte)};
                // The first byte is still in the buffer before the others, and a byte given back
                // is one step back.
                const std::size_t start = bufferPos_ - 1;
                const char16_t unit = decodeCharacter(
                    byte, [this] { return buffer_[bufferPos_++]; }, [this] { --bufferPos_; });
                if (unit == cp932::kReplacementUnit) noteJapanese(buffer_ + start, bufferPos_ - start, shiftJis);
                return std::int32_t{unit};
            });
        };
        if (shiftJis)
            decodeJapanese([](std::uint8_t byte, auto&& readNext, auto&& unreadNext) {
                return decodeShiftJis(byte, readNext, unreadNext);
            });
        else
            decodeJapanese([](std::uint8_t byte, auto&& readNext, auto&& unreadNext) {
                return decodeEucJp(byte, readNext, unreadNext);
            });
        break;
    }
    default:
        decodeBlockWith([this](std::uint8_t byte) {
            if (singleByteInvalid_[byte]) {
                if (!readOn_) decodeSingleByte(static_cast<int>(encoding_), byte); // raises its own error
                noteUndecodable(&byte, 1);
                return std::int32_t{cp932::kReplacementUnit};
            }
            return std::int32_t{singleByteTable_[byte]};
        });
        break;
    }
}

bool TXmlInputSource::decodeAhead() {
    if (!pendingFailure_) {
        decodeBlock();
        if (unitEnd_ > 0) return true;
    }
    if (pendingFailure_) {
        std::exception_ptr failure = pendingFailure_;
        dropDecodedUnits();
        std::rethrow_exception(failure);
    }
    return false;
}

bool TXmlInputSource::readCharWith(char16_t& unit, TdomStandardLocator* locator) {
    if (unitPos_ == unitEnd_ && !decodeAhead()) return false;
    unit = units_[unitPos_++];
    if (unitPos_ > runEnd_) {
        // The replacement unit that ended the run.
        ++notesDelivered_;
        findRunEnd();
    }
    if (locator) locator->advance(unit);
    return true;
}

void TXmlInputSource::rewindWith(TdomStandardLocator* locator) {
    dropDecodedUnits();
    unitsBefore_ = 0;
    noted_.clear();
    undecodable_.clear();
    notesDelivered_ = 0;
    afterCarriageReturn_ = false;
    seekTo(contentStart_);
    if (locator) locator->reset();
}

void TXmlInputSource::skipTextDeclaration(TdomStandardLocator* locator) {
    rewindWith(locator);
    try {
        char16_t unit;
        bool more = readCharWith(unit, locator);
        while (more && isWhiteSpace(unit)) more = readCharWith(unit, locator);
        static const char16_t kLower[] = u"<?xml";
        static const char16_t kUpper[] = u"<?XML";
        for (int i = 0; i < 5; ++i) {
            if (i > 0) more = readCharWith(unit, locator);
            if (!more || (unit != kLower[i] && unit != kUpper[i])) {
                rewindWith(locator);
                return;
            }
        }
        if (!readCharWith(unit, locator) || !isWhiteSpace(unit)) {
            rewindWith(locator);
            return;
        }
        while ((more = readCharWith(unit, locator)) && unit != u'?') {
        }
        if (!more || !readCharWith(unit, locator) || unit != u'>') rewindWith(locator);
    } catch (...) {
        rewindWith(locator);
        throw;
    }
}

std::u16string TXmlInputSource::entityText() {
    // The reading state: the undelivered units, a failure kept behind them, the decoder's, and the
    // undecodable bytes noted.
    const std::exception_ptr savedFailure = pendingFailure_;
    const std::int64_t savedPosition = bytePosition();
    const bool savedAfterCarriageReturn = afterCarriageReturn_;
    const std::int64_t savedUnitsRead = unitsRead();
    std::vector<TUndecodableBytes> savedUndecodable = undecodable_;
    const std::size_t savedNotesDelivered = notesDelivered_;
    // The units still buffered are all there is to restore; the rest were decoded before.
    const std::u16string savedUnits(units_.get() + unitPos_, unitEnd_ - unitPos_);
    auto restore = [&] {
        seekTo(savedPosition);
        afterCarriageReturn_ = savedAfterCarriageReturn;
        std::copy(savedUnits.begin(), savedUnits.end(), units_.get());
        unitsBefore_ = savedUnitsRead;
        unitPos_ = 0;
        unitEnd_ = savedUnits.size();
        pendingFailure_ = savedFailure;
        undecodable_ = std::move(savedUndecodable);
        notesDelivered_ = savedNotesDelivered;
        findRunEnd();
    };
    std::u16string text;
    try {
        skipTextDeclaration(nullptr);
        for (;;) {
            const std::u16string_view run = bufferedUnits();
            if (!run.empty()) {
                text.append(run);
                unitPos_ += run.size();
            }
            char16_t unit;
            if (!readCharWith(unit, nullptr)) break;
            text.push_back(unit);
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return text;
}

void TXmlInputSource::sniffRootName(std::u16string& name) {
    name.clear();
    auto isNameEnd = [](char16_t unit) { return isWhiteSpace(unit) || unit == u'>' || unit == u'/' || unit == u'['; };
    try {
        rewind();
        char16_t unit;
        std::u16string candidate;
        bool found = false;
        while (!found) {
            bool more;
            while ((more = readChar(unit)) && unit != u'<') {
            }
            if (!more || !readChar(unit)) break;
            if (unit == u'?') {
                // Skip to the next "?>".
                char16_t previous = 0;
                while ((more = readChar(unit)) && !(previous == u'?' && unit == u'>')) previous = unit;
                if (!more) break;
                continue;
            }
            if (unit == u'!') {
                if (!readChar(unit)) break;
                if (unit == u'-') {
                    if (!readChar(unit) || unit != u'-') break;
                    // Skip to the next "-->".
                    char16_t first = 0, second = 0;
                    while ((more = readChar(unit)) && !(first == u'-' && second == u'-' && unit == u'>')) {
                        first = second;
                        second = unit;
                    }
                    if (!more) break;
                    continue;
                }
                static const char16_t kDoctype[] = u"DOCTYPE";
                bool doctype = unit == u'D';
                for (int i = 1; doctype && i < 7; ++i) doctype = readChar(unit) && unit == kDoctype[i];
                if (!doctype || !readChar(unit) || !isWhiteSpace(unit)) break;
                while ((more = readChar(unit)) && isWhiteSpace(unit)) {
                }
                if (!more) break;
            }
            // unit is the first unit of the name.
            candidate.clear();
            do {
                if (isNameEnd(unit)) break;
                candidate.push_back(unit);
            } while (readChar(unit));
            found = true;
        }
        if (found && checkName(candidate)) name = std::move(candidate);
    } catch (const Exception&) {
        name.clear();
    }
    rewind();
}

namespace {

bool startsWithDeclaration(std::u16string_view text, std::size_t at) {
    return text.substr(at, 5) == u"<?xml" && at + 5 < text.size() && isWhiteSpace(text[at + 5]);
}

} // namespace

bool splitTextDeclaration(const std::u16string& text, std::u16string& content) {
    std::size_t start = 0;
    if (startsWithDeclaration(text, 0)) {
        const std::size_t end = text.find(u"?>");
        if (end == std::u16string::npos) return false;
        std::vector<std::pair<std::u16string_view, std::u16string>> attributes;
        try {
            attributes = declarationAttributes(std::u16string_view(text).substr(6, end - 6));
        } catch (const Exception&) {
            return false;
        }
        // [version="1.0"] encoding="..." in this order, nothing else.
        std::size_t index = 0;
        if (index < attributes.size() && attributes[index].first == u"version") {
            if (attributes[index].second != u"1.0") return false;
            ++index;
        }
        if (index >= attributes.size() || attributes[index].first != u"encoding" ||
            !checkEncName(attributes[index].second))
            return false;
        if (++index != attributes.size()) return false;
        start = end + 2;
    }
    content = text.substr(start);
    for (std::size_t at = content.find(u"<?xml"); at != std::u16string::npos; at = content.find(u"<?xml", at + 1))
        if (startsWithDeclaration(content, at)) return false;
    return true;
}
