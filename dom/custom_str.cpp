#include "dom/custom_str.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <utility>

namespace {

char16_t* reallocateUnits(char16_t* buffer, std::size_t units) {
    void* grown = std::realloc(buffer, units * sizeof(char16_t));
    if (!grown) throw std::bad_alloc();
    return static_cast<char16_t*>(grown);
}

} // namespace

void TdomCustomStr::FreeBuffer::operator()(char16_t* buffer) const { std::free(buffer); }

TdomCustomStr::TdomCustomStr(const TdomCustomStr& other) : length_(other.length_), capacity_(other.capacity_) {
    if (capacity_ == 0) return; // a moved-from buffer copies as one
    buffer_.reset(reallocateUnits(nullptr, capacity_));
    std::copy_n(other.buffer_.get(), length_, buffer_.get());
}

TdomCustomStr& TdomCustomStr::operator=(const TdomCustomStr& other) {
    if (this != &other) *this = TdomCustomStr(other);
    return *this;
}

TdomCustomStr::TdomCustomStr(TdomCustomStr&& other) noexcept
    : length_(std::exchange(other.length_, 0)), capacity_(std::exchange(other.capacity_, 0)),
      buffer_(std::move(other.buffer_)) {}

TdomCustomStr& TdomCustomStr::operator=(TdomCustomStr&& other) noexcept {
    if (this != &other) {
        length_ = std::exchange(other.length_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

void TdomCustomStr::appendText(std::u16string_view text) {
    if (text.size() > capacity_ - length_) grow(length_ + text.size());
    std::copy(text.begin(), text.end(), buffer_.get() + length_);
    length_ += text.size();
}

bool TdomCustomStr::hasSuffix(std::u16string_view text) const {
    if (text.empty() || text.size() > length_) return false;
    return view().substr(length_ - text.size()) == text;
}

bool TdomCustomStr::hasPrefix(std::u16string_view text) const {
    if (text.empty() || text.size() > length_) return false;
    return view().substr(0, text.size()) == text;
}

void TdomCustomStr::empty() {
    if (capacity_ != kInitialCapacity) {
        buffer_.reset(reallocateUnits(nullptr, kInitialCapacity));
        capacity_ = kInitialCapacity;
    }
    length_ = 0;
}

void TdomCustomStr::grow(std::size_t needed) {
    constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max() / sizeof(char16_t) / 2;
    if (needed > kMax) throw std::bad_alloc();
    std::size_t capacity = std::max(capacity_, kInitialCapacity);
    while (capacity < needed) capacity += capacity / 4;
    char16_t* grown = reallocateUnits(buffer_.get(), capacity); // on failure the old buffer stays
    static_cast<void>(buffer_.release());
    buffer_.reset(grown);
    capacity_ = capacity;
}
