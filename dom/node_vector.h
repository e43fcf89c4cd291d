#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <new>

class TdomNode;

// An ordered sequence of node references (a node's children, an attribute map's items, a registry)
// with the subset of std::vector's interface that the DOM uses. It holds no null references.
//
// Up to two references are kept inside the object itself: most nodes of a parsed document have at
// most two children and most elements at most two attributes, so most sequences never need a heap
// block. The object is two pointers wide: inline, the unused slots are null, which gives the
// count; beyond two, the first slot holds the address of a heap block (count, capacity, then the
// references) marked by its lowest bit, which no node address has.
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

    TdomNodeVector() noexcept = default;
    TdomNodeVector(const_iterator first, const_iterator last);
    TdomNodeVector(const TdomNodeVector& other) : TdomNodeVector(other.begin(), other.end()) {}
    TdomNodeVector(TdomNodeVector&& other) noexcept { swap(other); }
    TdomNodeVector& operator=(const TdomNodeVector& other);
    TdomNodeVector& operator=(TdomNodeVector&& other) noexcept;
    ~TdomNodeVector() { releaseHeap(); }

    size_type size() const noexcept {
        if (onHeap()) return block()->size;
        return static_cast<size_type>(slots_[0] != nullptr) + static_cast<size_type>(slots_[1] != nullptr);
    }
    bool empty() const noexcept { return onHeap() ? block()->size == 0 : slots_[0] == nullptr; }
    size_type capacity() const noexcept { return onHeap() ? block()->capacity : kInline; }
    // True while the references lie in a heap block, which the destructor frees.
    bool holdsBlock() const noexcept { return onHeap(); }

    TdomNode** data() noexcept { return onHeap() ? block()->items() : slots_; }
    TdomNode* const* data() const noexcept { return onHeap() ? block()->items() : slots_; }
    iterator begin() noexcept { return data(); }
    iterator end() noexcept { return data() + size(); }
    const_iterator begin() const noexcept { return data(); }
    const_iterator end() const noexcept { return data() + size(); }
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }

    TdomNode* operator[](size_type i) const noexcept { return data()[i]; }
    TdomNode* front() const noexcept { return data()[0]; }
    TdomNode* back() const noexcept { return data()[size() - 1]; }

    // Makes room for n references; throws std::bad_alloc (nothing changed) when memory runs out.
    void reserve(size_type n) {
        if (n > capacity()) grow(n);
    }
    // node must not be null.
    void push_back(TdomNode* node) {
        // An empty inline sequence has a null first slot (a heap block's address is marked, never null).
        if (!slots_[0]) {
            slots_[0] = node;
            return;
        }
        pushBackBeyondFirst(node);
    }
    void pop_back() noexcept;
    // Inserts node (not null) before position and returns its position.
    iterator insert(const_iterator position, TdomNode* node);
    // Removes the reference at position and returns the position that follows it.
    iterator erase(const_iterator position) noexcept;
    void clear() noexcept;
    // Gives back the heap block when the references fit inside the object.
    void shrink_to_fit() noexcept;
    void swap(TdomNodeVector& other) noexcept {
        std::swap(slots_[0], other.slots_[0]);
        std::swap(slots_[1], other.slots_[1]);
    }

private:
    static constexpr size_type kInline = 2;
    static constexpr std::uintptr_t kHeapMark = 1;

    // A heap block: its count and capacity, then the references.
    struct Block {
        std::uint32_t size;
        std::uint32_t capacity;
        TdomNode** items() noexcept { return reinterpret_cast<TdomNode**>(this + 1); }
    };
    static_assert(sizeof(Block) == sizeof(TdomNode*), "the references follow the block header unpadded");

    bool onHeap() const noexcept { return (reinterpret_cast<std::uintptr_t>(slots_[0]) & kHeapMark) != 0; }
    Block* block() const noexcept {
        return reinterpret_cast<Block*>(reinterpret_cast<std::uintptr_t>(slots_[0]) & ~kHeapMark);
    }
    // Moves the references into a heap block of at least minimum references.
    void grow(size_type minimum);
    // push_back into a sequence that is not empty inline.
    void pushBackBeyondFirst(TdomNode* node);
    void releaseHeap() noexcept {
        if (onHeap()) ::operator delete(block());
    }

    TdomNode* slots_[kInline] = {nullptr, nullptr};
};

static_assert(sizeof(TdomNodeVector) == 2 * sizeof(TdomNode*), "a child list takes two pointers in every node");
