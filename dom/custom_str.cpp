#include "dom/custom_str.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

TdomCustomStr::TdomCustomStr(const TdomCustomStr& other)
    : length_(other.length_), capacity_(other.capacity_), buffer_(new char16_t[other.capacity_]) {
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
        buffer_.reset(new char16_t[kInitialCapacity]);
        capacity_ = kInitialCapacity;
    }
    length_ = 0;
}

void TdomCustomStr::grow(std::size_t needed) {
    constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max() / sizeof(char16_t) / 2;
    if (needed > kMax) throw std::bad_alloc();
    std::size_t capacity = std::max(capacity_, kInitialCapacity);
    while (capacity < needed) capacity += capacity / 4;
    std::unique_ptr<char16_t[]> buffer(new char16_t[capacity]);
    std::copy_n(buffer_.get(), length_, buffer.get());
    buffer_ = std::move(buffer);
    capacity_ = capacity;
}
