#include "text/conversion_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "text/code_page_932.h"
#include "text/encoding_conversion.h"
#include "text/xml_chars.h"

namespace {

[[noreturn]] void raiseUnpairedSurrogate(const char* format, char16_t unit) {
    char message[64];
    std::snprintf(message, sizeof message, format, static_cast<unsigned>(unit));
    throw EConvertError(message);
}

// Code page 932 bytes of the units at the start of out, which only grows so that it is not
// cleared on every write; returns their count.
std::size_t encodeShiftJis(std::u16string_view units, bool crlf, std::string& out) {
    if (out.size() < units.size() * 2 + 1) out.resize(units.size() * 2 + 1);
    return encodeShiftJisUnits(units, crlf, out.data());
}

} // namespace

TConversionStream::TConversionStream(TStream* target) : destination_(target) {
    if (target == nullptr) throw EConversionStream("Must have a target stream");
}

std::int64_t TConversionStream::read(void* buffer, std::int64_t count) {
    const std::int64_t result = destination_->read(buffer, count);
    convertIncoming(buffer, result);
    producedCount_ = 0;
    return result;
}

std::int64_t TConversionStream::write(const void* buffer, std::int64_t count) {
    producedCount_ = convertOutgoing(buffer, count);
    const std::int64_t taken = producedCount_ > 0 ? destination_->write(outputBuffer_.get(), producedCount_) : 0;
    return taken == producedCount_ ? count : -taken;
}

std::int64_t TConversionStream::seek(std::int64_t, TSeekOrigin) { return 0; }

std::int64_t TConversionStream::convertIncoming(void*, std::int64_t) { return 0; }

std::int64_t TConversionStream::convertOutgoing(const void*, std::int64_t) { return 0; }

void TConversionStream::FreeBuffer::operator()(char* p) const { std::free(p); }

void TConversionStream::resizeBuffer(std::int64_t size) {
    if (size == bufferCapacity_) return;
    if (size <= 0) {
        outputBuffer_.reset();
        bufferCapacity_ = 0;
        return;
    }
    void* resized = std::realloc(outputBuffer_.get(), static_cast<std::size_t>(size));
    if (resized == nullptr) throw std::bad_alloc();
    outputBuffer_.release();
    outputBuffer_.reset(static_cast<char*>(resized));
    bufferCapacity_ = size;
}

std::u16string_view TConversionStream::incomingUnits(const void* buffer, std::int64_t byteCount) {
    if (byteCount % 2 != 0) throw EConversionStream("Odd size not valid for WideString");
    if (byteCount <= 0) return {};
    const std::size_t count = static_cast<std::size_t>(byteCount / 2);
    const char16_t* units;
    if (reinterpret_cast<std::uintptr_t>(buffer) % alignof(char16_t) == 0) {
        units = static_cast<const char16_t*>(buffer);
    } else {
        alignedCopy_.resize(count);
        std::memcpy(alignedCopy_.data(), buffer, count * 2);
        units = alignedCopy_.data();
    }
    std::u16string_view view(units, count);
    if (view.front() == 0xFEFF) view.remove_prefix(1);
    return view;
}

void TUTF16BEToUTF8Stream::growFor(std::int64_t needed) {
    std::int64_t size = needed >= 31 ? needed + 1 + (needed + 1) / 4 : needed + 9;
    resizeBuffer(size & ~std::int64_t{3});
}

std::int64_t TUTF16BEToUTF8Stream::convertOutgoing(const void* buffer, std::int64_t byteCount) {
    if (byteCount == 0) return 0;
    const std::u16string_view units = incomingUnits(buffer, byteCount);
    std::int64_t produced = 0;
    auto put = [&](unsigned byte) {
        if (produced + 1 > bufferCapacity()) growFor(produced + 1);
        this->buffer()[produced++] = static_cast<char>(byte);
    };
    auto putCodePoint = [&](std::uint32_t c) {
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | (c >> 6));
            put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | (c >> 12));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | (c >> 18));
            put(0x80 | ((c >> 12) & 0x3F));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    };
    const std::size_t n = units.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = units[i];
        if (u == 0x0A) {
            if (crlfLineEnds) put(0x0D);
            put(0x0A);
        } else if (u < 0x20) {
            if (u == 0x09 || u == 0x0D) put(u);
        } else if (isHighSurrogate(u)) {
            if (i + 1 >= n || !isLowSurrogate(units[i + 1]))
                raiseUnpairedSurrogate("High surrogate %4.4X without low surrogate.", u);
            putCodePoint(static_cast<std::uint32_t>(codePointOfPair(u, units[++i])));
        } else if (isLowSurrogate(u)) {
            if (i + 1 >= n || !isHighSurrogate(units[i + 1]))
                raiseUnpairedSurrogate("Low surrogate %4.4X without high surrogate.", u);
            putCodePoint(static_cast<std::uint32_t>(codePointOfPair(units[++i], u)));
        } else if (u < 0xFFFE) {
            putCodePoint(u);
        }
    }
    return produced;
}

std::int64_t TUTF16BEToShiftJISStream::convertOutgoing(const void* buffer, std::int64_t byteCount) {
    if (byteCount == 0) return 0;
    const std::u16string_view units = incomingUnits(buffer, byteCount);
    // Encoded in place with room for the longest result, then cut to the exact length.
    resizeBuffer(static_cast<std::int64_t>(units.size()) * 2 + 1);
    const auto length = static_cast<std::int64_t>(encodeShiftJisUnits(units, crlfLineEnds, this->buffer()));
    resizeBuffer(length);
    return length;
}

std::int64_t TUTF16BEToEUCJPStream::convertOutgoing(const void* buffer, std::int64_t byteCount) {
    if (byteCount == 0) return 0;
    const std::u16string_view units = incomingUnits(buffer, byteCount);
    const std::size_t n = encodeShiftJis(units, crlfLineEnds, encoded_);
    // Every unit gives at most two bytes: a CR LF, a two-byte character, or 8E and a katakana.
    resizeBuffer(static_cast<std::int64_t>(units.size()) * 2);
    char* out = this->buffer();
    std::int64_t produced = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<std::uint8_t>(encoded_[i]);
        if (b < 0x80) {
            out[produced++] = static_cast<char>(b);
        } else if (b >= 0xA1 && b <= 0xDF) {
            out[produced++] = static_cast<char>(0x8E);
            out[produced++] = static_cast<char>(b);
        } else if (i + 1 < n) {
            std::uint8_t b1 = b;
            std::uint8_t b2 = static_cast<std::uint8_t>(encoded_[++i]);
            shiftJisToEucPair(b1, b2);
            out[produced++] = static_cast<char>(b1);
            out[produced++] = static_cast<char>(b2);
        }
    }
    return produced;
}
