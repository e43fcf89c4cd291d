#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/stream.h"

// Stream whose content is a wide string: the bytes written are UTF-16 code units in memory order,
// and the size is always even. Serialized XML is collected in it.
class TdomWideStringStream : public TStream {
public:
    TdomWideStringStream() = default;

    std::int64_t size() override { return size_; }
    // Odd size: EStreamError "Odd size not valid for WideString"; negative: "Negative stream size
    // invalid". The position is cut to the new size.
    void setSize(std::int64_t newSize) override;
    std::int64_t read(void* buffer, std::int64_t count) override;
    // Extends the size as needed (rounded up to even) and returns count.
    std::int64_t write(const void* buffer, std::int64_t count) override;
    // From the end the offset counts backwards (size - offset); the result is kept within 0..size.
    std::int64_t seek(std::int64_t offset, TSeekOrigin origin) override;
    // Below the size: EStreamError "Capacity cannot be less than size".
    virtual void setCapacity(std::int64_t newCapacity);

    std::int64_t capacity() const { return static_cast<std::int64_t>(buffer_.size()); }
    // The first size/2 code units.
    std::u16string contentText() const;
    std::int64_t textLength() const { return size_ / 2; }

private:
    std::vector<char> buffer_;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};
