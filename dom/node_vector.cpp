#include "dom/node_vector.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

TdomNodeVector::TdomNodeVector(const_iterator first, const_iterator last) : TdomNodeVector() {
    const auto count = static_cast<size_type>(last - first);
    reserve(count);
    std::copy(first, last, data());
    size_ = static_cast<std::uint32_t>(count);
}

TdomNodeVector::TdomNodeVector(TdomNodeVector&& other) noexcept : TdomNodeVector() { swap(other); }

TdomNodeVector& TdomNodeVector::operator=(const TdomNodeVector& other) {
    if (this != &other) {
        TdomNodeVector copy(other);
        swap(copy);
    }
    return *this;
}

TdomNodeVector& TdomNodeVector::operator=(TdomNodeVector&& other) noexcept {
    if (this != &other) {
        TdomNodeVector taken(static_cast<TdomNodeVector&&>(other));
        swap(taken);
    }
    return *this;
}

TdomNodeVector::iterator TdomNodeVector::insert(const_iterator position, TdomNode* node) {
    const auto index = static_cast<size_type>(position - begin());
    if (size_ == capacity_) grow(size_ + 1);
    TdomNode** items = data();
    std::copy_backward(items + index, items + size_, items + size_ + 1);
    items[index] = node;
    ++size_;
    return items + index;
}

TdomNodeVector::iterator TdomNodeVector::erase(const_iterator position) noexcept {
    const auto index = static_cast<size_type>(position - begin());
    TdomNode** items = data();
    std::copy(items + index + 1, items + size_, items + index);
    --size_;
    return items + index;
}

void TdomNodeVector::shrink_to_fit() noexcept {
    if (!onHeap() || size_ > kInline) return;
    TdomNode** old = storage_.heapItems;
    Storage kept{{nullptr, nullptr}};
    std::copy(old, old + size_, kept.inlineItems);
    ::operator delete(old);
    storage_ = kept;
    capacity_ = kInline;
}

void TdomNodeVector::swap(TdomNodeVector& other) noexcept {
    std::swap(storage_, other.storage_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
}

void TdomNodeVector::grow(size_type minimum) {
    constexpr size_type kLimit = std::numeric_limits<std::uint32_t>::max();
    if (minimum > kLimit) throw std::length_error("node sequence too long");
    // Four at first (the next step after the inline two), then doubling.
    size_type wanted =
        std::max<size_type>(minimum, std::min<size_type>(kLimit, std::max<size_type>(4, size_type{capacity_} * 2)));
    auto* items = static_cast<TdomNode**>(::operator new(wanted * sizeof(TdomNode*)));
    std::copy(begin(), end(), items);
    releaseHeap();
    storage_.heapItems = items;
    capacity_ = static_cast<std::uint32_t>(wanted);
}
