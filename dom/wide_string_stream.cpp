#include "dom/wide_string_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "text/exception.h"

namespace {

// Far beyond any memory; keeps the size arithmetic below free of overflow.
constexpr std::int64_t kMaxSize = std::numeric_limits<std::int64_t>::max() / 4;

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b < 0 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    return sum;
}

} // namespace

void TdomWideStringStream::setSize(std::int64_t newSize) {
    if (newSize % 2 != 0) throw EStreamError("Odd size not valid for WideString");
    if (newSize > capacity()) {
        if (newSize > kMaxSize) throw EStreamError("Out of memory while expanding memory stream");
        const std::int64_t grown = newSize > 31 ? newSize + newSize / 4 : newSize + 8;
        setCapacity(grown & ~std::int64_t{3});
    }
    if (newSize < 0) throw EStreamError("Negative stream size invalid");
    size_ = newSize;
    position_ = std::min(position_, size_);
}

std::int64_t TdomWideStringStream::read(void* buffer, std::int64_t count) {
    const std::int64_t n = std::max<std::int64_t>(0, std::min(count, size_ - position_));
    if (n > 0) std::memcpy(buffer, buffer_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

std::int64_t TdomWideStringStream::write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    if (count > kMaxSize - position_) throw EStreamError("Out of memory while expanding memory stream");
    const std::int64_t end = position_ + count;
    if (end > size_) setSize(end + (end & 1));
    std::memcpy(buffer_.data() + position_, buffer, static_cast<std::size_t>(count));
    position_ = end;
    return count;
}

std::int64_t TdomWideStringStream::seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t target = offset;
    if (origin == TSeekOrigin::soCurrent) target = saturatingAdd(position_, offset);
    if (origin == TSeekOrigin::soEnd) {
        target = offset == std::numeric_limits<std::int64_t>::min() ? std::numeric_limits<std::int64_t>::max()
                                                                    : saturatingAdd(size_, -offset);
    }
    position_ = std::clamp<std::int64_t>(target, 0, size_);
    return position_;
}

void TdomWideStringStream::setCapacity(std::int64_t newCapacity) {
    if (newCapacity < size_) throw EStreamError("Capacity cannot be less than size");
    std::vector<char> buffer(static_cast<std::size_t>(newCapacity));
    if (size_ > 0) std::memcpy(buffer.data(), buffer_.data(), static_cast<std::size_t>(size_));
    buffer_.swap(buffer);
}

std::u16string TdomWideStringStream::contentText() const {
    std::u16string text(static_cast<std::size_t>(size_ / 2), u'\0');
    if (!text.empty()) std::memcpy(text.data(), buffer_.data(), text.size() * sizeof(char16_t));
    return text;
}
