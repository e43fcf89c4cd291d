#pragma once

#include <cstdint>

#include "text/stream.h"

// A stream over memory that belongs to the caller: setBuffer makes it read the given bytes in
// place, from position 0, without copying or freeing them. The caller keeps the memory alive while
// the stream is used. The stream is for reading: writing moves no byte and the size is fixed.
class TXmlMemoryStream : public TStream {
public:
    TXmlMemoryStream() = default;
    TXmlMemoryStream(const void* pointer, std::int64_t byteCount) { setBuffer(pointer, byteCount); }

    // A null pointer or a negative count makes an empty stream.
    void setBuffer(const void* pointer, std::int64_t byteCount);

    std::int64_t size() override { return size_; }
    std::int64_t read(void* buffer, std::int64_t count) override;
    // Returns 0: nothing is written into the caller's memory.
    std::int64_t write(const void* buffer, std::int64_t count) override;
    std::int64_t seek(std::int64_t offset, TSeekOrigin origin) override;
    std::optional<std::span<const std::uint8_t>> bytesInPlace() override;

    const std::uint8_t* memory() const { return data_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};
