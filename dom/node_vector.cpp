#include "dom/node_vector.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

TdomNodeVector::TdomNodeVector(const_iterator first, const_iterator last) {
    reserve(static_cast<size_type>(last - first));
    for (; first != last; ++first) push_back(*first);
}

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

void TdomNodeVector::pushBackBeyondFirst(TdomNode* node) {
    if (!onHeap()) {
        if (!slots_[1]) {
            slots_[1] = node;
            return;
        }
        grow(kInline + 1);
    } else if (block()->size == block()->capacity) {
        grow(size_type{block()->size} + 1);
    }
    Block* b = block();
    b->items()[b->size++] = node;
}

void TdomNodeVector::pop_back() noexcept {
    if (onHeap())
        --block()->size;
    else
        slots_[slots_[1] ? 1 : 0] = nullptr;
}

TdomNodeVector::iterator TdomNodeVector::insert(const_iterator position, TdomNode* node) {
    const auto index = static_cast<size_type>(position - begin());
    const size_type count = size();
    if (count == capacity()) grow(count + 1);
    TdomNode** items = data();
    std::copy_backward(items + index, items + count, items + count + 1);
    items[index] = node;
    if (onHeap()) ++block()->size;
    return items + index;
}

TdomNodeVector::iterator TdomNodeVector::erase(const_iterator position) noexcept {
    const auto index = static_cast<size_type>(position - begin());
    const size_type count = size();
    TdomNode** items = data();
    std::copy(items + index + 1, items + count, items + index);
    if (onHeap())
        --block()->size;
    else
        items[count - 1] = nullptr;
    return items + index;
}

void TdomNodeVector::clear() noexcept {
    if (onHeap())
        block()->size = 0;
    else
        slots_[0] = slots_[1] = nullptr;
}

void TdomNodeVector::shrink_to_fit() noexcept {
    if (!onHeap() || block()->size > kInline) return;
    Block* old = block();
    TdomNode* kept[kInline] = {nullptr, nullptr};
    std::copy(old->items(), old->items() + old->size, kept);
    ::operator delete(old);
    slots_[0] = kept[0];
    slots_[1] = kept[1];
}

void TdomNodeVector::grow(size_type minimum) {
    constexpr size_type kLimit = std::numeric_limits<std::uint32_t>::max();
    if (minimum > kLimit) throw std::length_error("node sequence too long");
    // Four at first (the next step after the inline two), then doubling.
    const size_type wanted =
        std::max<size_type>(minimum, std::min<size_type>(kLimit, std::max<size_type>(4, capacity() * 2)));
    auto* fresh = static_cast<Block*>(::operator new(sizeof(Block) + wanted * sizeof(TdomNode*)));
    const size_type count = size();
    std::copy(begin(), end(), fresh->items());
    fresh->size = static_cast<std::uint32_t>(count);
    fresh->capacity = static_cast<std::uint32_t>(wanted);
    releaseHeap();
    slots_[0] = reinterpret_cast<TdomNode*>(reinterpret_cast<std::uintptr_t>(fresh) | kHeapMark);
    slots_[1] = nullptr;
}
