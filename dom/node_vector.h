#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <new>

class TdomNode;

// An ordered sequence of node references (a node's children, an attribute map's items, a registry)
// with the subset of std::vector's interface that the DOM uses. Up to two references are kept
// inside the object itself: most nodes of a parsed document have at most two children and most
// elements at most two attributes, so most sequences never need a heap block of their own. The
// object has the size of a std::vector.
//
// Iterators and references are invalidated as with std::vector: by any insertion that outgrows
// the capacity, by erasure after the erased position, and (for the inline storage) by moving or
// swapping the sequence itself.
class TdomNodeVector {
public:
    using value_type = TdomNode*;
    using size_type = std::size_t;
    using iterator = TdomNode**;
    using const_iterator = TdomNode* const*;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    TdomNodeVector() noexcept : storage_{{nullptr, nullptr}} {}
    TdomNodeVector(const_iterator first, const_iterator last);
    TdomNodeVector(const TdomNodeVector& other) : TdomNodeVector(other.begin(), other.end()) {}
    TdomNodeVector(TdomNodeVector&& other) noexcept;
    TdomNodeVector& operator=(const TdomNodeVector& other);
    TdomNodeVector& operator=(TdomNodeVector&& other) noexcept;
    ~TdomNodeVector() { releaseHeap(); }

    size_type size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    size_type capacity() const noexcept { return capacity_; }

    TdomNode** data() noexcept { return onHeap() ? storage_.heapItems : storage_.inlineItems; }
    TdomNode* const* data() const noexcept { return onHeap() ? storage_.heapItems : storage_.inlineItems; }
    iterator begin() noexcept { return data(); }
    iterator end() noexcept { return data() + size_; }
    const_iterator begin() const noexcept { return data(); }
    const_iterator end() const noexcept { return data() + size_; }
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }

    TdomNode*& operator[](size_type i) noexcept { return data()[i]; }
    TdomNode* operator[](size_type i) const noexcept { return data()[i]; }
    TdomNode* front() const noexcept { return data()[0]; }
    TdomNode* back() const noexcept { return data()[size_ - 1]; }

    // Makes room for n references; throws std::bad_alloc (nothing changed) when memory runs out.
    void reserve(size_type n) {
        if (n > capacity_) grow(n);
    }
    void push_back(TdomNode* node) {
        if (size_ == capacity_) grow(size_ + 1);
        data()[size_++] = node;
    }
    void pop_back() noexcept { --size_; }
    // Inserts node before position and returns its position.
    iterator insert(const_iterator position, TdomNode* node);
    // Removes the reference at position and returns the position that follows it.
    iterator erase(const_iterator position) noexcept;
    void clear() noexcept { size_ = 0; }
    // Gives back the heap block when the references fit inside the object.
    void shrink_to_fit() noexcept;
    void swap(TdomNodeVector& other) noexcept;

private:
    static constexpr std::uint32_t kInline = 2;
    bool onHeap() const noexcept { return capacity_ > kInline; }
    void grow(size_type minimum);
    void releaseHeap() noexcept {
        if (onHeap()) ::operator delete(storage_.heapItems);
    }

    // The inline references while capacity_ is kInline, else the heap block.
    union Storage {
        TdomNode* inlineItems[kInline];
        TdomNode** heapItems;
    } storage_;
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = kInline;
};
