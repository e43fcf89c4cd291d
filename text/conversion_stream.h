#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "text/exception.h"
#include "text/stream.h"

// Raised by the conversion streams for misuse: no target, or an odd byte count.
class EConversionStream : public EStreamError {
    using EStreamError::EStreamError;
};

// Write-only filter stream: the bytes written to it are UTF-16 text in the machine's byte order
// (little-endian, as a std::u16string lies in memory); a descendant converts them in
// convertOutgoing into outputBuffer, and write passes the result on to the target stream, which
// stays owned by the caller. Each write is converted whole before anything reaches the target,
// so a write must hold whole surrogate pairs.
class TConversionStream : public TStream {
public:
    // A null target raises EConversionStream "Must have a target stream".
    explicit TConversionStream(TStream* target);
    TConversionStream(const TConversionStream&) = delete;
    TConversionStream& operator=(const TConversionStream&) = delete;

    // Reads from the target unchanged.
    std::int64_t read(void* buffer, std::int64_t count) override;
    // Returns count when the target took every converted byte, else the negative of what it took.
    std::int64_t write(const void* buffer, std::int64_t count) override;
    // Always 0: a conversion stream has no position of its own.
    std::int64_t seek(std::int64_t offset, TSeekOrigin origin) override;

    virtual std::int64_t convertIncoming(void* buffer, std::int64_t count);
    // Converts byteCount bytes of UTF-16 text into outputBuffer; returns the bytes produced.
    virtual std::int64_t convertOutgoing(const void* buffer, std::int64_t byteCount);
    // Reallocates outputBuffer to exactly size bytes, keeping what fits.
    virtual void resizeBuffer(std::int64_t size);

    TStream* destination() const { return destination_; }
    const char* outputBuffer() const { return outputBuffer_.get(); }
    std::int64_t bufferCapacity() const { return bufferCapacity_; }
    std::int64_t producedCount() const { return producedCount_; }

    // Write each line feed as CR LF.
    bool crlfLineEnds = false;

protected:
    // The units of a write after its checks: raises for an odd count, skips a leading 0xFEFF.
    // Returns a view that stays valid until the next call.
    std::u16string_view incomingUnits(const void* buffer, std::int64_t byteCount);
    char* buffer() { return outputBuffer_.get(); }

private:
    struct FreeBuffer {
        void operator()(char* p) const;
    };
    TStream* destination_;
    std::unique_ptr<char, FreeBuffer> outputBuffer_;
    std::int64_t bufferCapacity_ = 0;
    std::int64_t producedCount_ = 0;
    std::u16string alignedCopy_;
};

// UTF-8 output. Control characters other than tab, CR and LF, and 0xFFFE and 0xFFFF are dropped;
// a surrogate pair in either order becomes one four-byte character; an unpaired surrogate raises
// EConvertError.
class TUTF16BEToUTF8Stream : public TConversionStream {
public:
    using TConversionStream::TConversionStream;
    std::int64_t convertOutgoing(const void* buffer, std::int64_t byteCount) override;

private:
    void growFor(std::int64_t needed);
};

// Shift_JIS (code page 932) output; characters the code page lacks become "?".
class TUTF16BEToShiftJISStream : public TConversionStream {
public:
    using TConversionStream::TConversionStream;
    std::int64_t convertOutgoing(const void* buffer, std::int64_t byteCount) override;
};

// EUC-JP output, derived from the code page 932 bytes; half-width katakana get the 0x8E prefix.
class TUTF16BEToEUCJPStream : public TConversionStream {
public:
    using TConversionStream::TConversionStream;
    std::int64_t convertOutgoing(const void* buffer, std::int64_t byteCount) override;

private:
    std::string encoded_;
};
