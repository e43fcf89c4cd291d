#include "text/xml_memory_stream.h"

#include <cstring>

void TXmlMemoryStream::setBuffer(const void* pointer, std::int64_t byteCount) {
    if (!pointer || byteCount < 0) {
        data_ = nullptr;
        size_ = 0;
    } else {
        data_ = static_cast<const std::uint8_t*>(pointer);
        size_ = byteCount;
    }
    position_ = 0;
}

std::int64_t TXmlMemoryStream::read(void* buffer, std::int64_t count) {
    if (count <= 0 || position_ >= size_) return 0;
    std::int64_t available = size_ - position_;
    if (count > available) count = available;
    std::memcpy(buffer, data_ + position_, static_cast<std::size_t>(count));
    position_ += count;
    return count;
}

std::int64_t TXmlMemoryStream::write(const void*, std::int64_t) { return 0; }

std::int64_t TXmlMemoryStream::seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t target = offset;
    if (origin == TSeekOrigin::soCurrent)
        target = position_ + offset;
    else if (origin == TSeekOrigin::soEnd)
        target = size_ + offset;
    // Positions beyond the end are allowed (reading there gives nothing); before the start is not.
    position_ = target < 0 ? 0 : target;
    return position_;
}

std::optional<std::span<const std::uint8_t>> TXmlMemoryStream::bytesInPlace() {
    if (position_ >= size_) return std::span<const std::uint8_t>();
    return std::span<const std::uint8_t>(data_ + position_, static_cast<std::size_t>(size_ - position_));
}
