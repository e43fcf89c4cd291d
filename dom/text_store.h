#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

// Where a node's string (the data of a text, comment, CDATA section or processing instruction)
// lies in its document's text store. The node owns nothing itself: the store hands the storage out
// and takes it back, and clearing the store frees all of it at once.
struct TdomStoredText {
    char16_t* data = nullptr;
    std::uint32_t length = 0;
    // Units the storage holds; kOwnBlock for a string with a block of its own.
    std::uint32_t capacity = 0;

    static constexpr std::uint32_t kOwnBlock = 0xFFFFFFFFu;

    std::u16string_view view() const { return {data, length}; }
};
static_assert(std::is_trivially_destructible_v<TdomStoredText>, "nodes holding text need no destructor");

// The strings of a document's nodes.
//
// Short strings (up to kMaxPagedUnits) lie in 64 KiB pages: a new string takes exactly its size
// (rounded up to four units) from the current page. A string that is changed stays where it is when
// the new value fits; otherwise it moves to new storage and its old block goes to a free list. The
// free lists go by powers of two: a block of capacity c waits in list floor(log2 c), a request for n
// units is served from list ceil(log2 n) (every block there is large enough), and a request that
// finds that list empty takes 2^ceil(log2 n) units from the page, so that the block goes back to the
// same list later. Memory for a node that is changed over and over therefore stays bounded: each list
// holds at most the blocks that were live at once, and a node never holds more than twice its length.
//
// Longer strings get a block of their own (a std::u16string the store keeps by address), freed as
// soon as the node lets go of it; a string handed over by move is kept as it is, without a copy.
class TdomTextStore {
public:
    static constexpr std::size_t kMaxPagedUnits = 2048;

    TdomTextStore() = default;
    TdomTextStore(const TdomTextStore&) = delete;
    TdomTextStore& operator=(const TdomTextStore&) = delete;
    ~TdomTextStore() { clear(); }

    // Gives text (which holds no storage yet) the contents value.
    void create(TdomStoredText& text, std::u16string_view value);
    // Like create, taking a long value over without copying it.
    void create(TdomStoredText& text, std::u16string&& value);
    // Replaces count units from offset (both within the text) by arg; arg may lie in the text itself.
    void replace(TdomStoredText& text, std::size_t offset, std::size_t count, std::u16string_view arg);
    // Gives the storage of text back; text is empty afterwards.
    void release(TdomStoredText& text) noexcept;
    // Frees every page and block; every text of the store must be forgotten.
    void clear() noexcept;

    // Bytes the store holds from the heap: its pages and the blocks of long strings.
    std::size_t heldBytes() const { return pages_.size() * kPageBytes + ownBlockBytes_; }

private:
    static constexpr std::size_t kPageBytes = 64 * 1024;
    static constexpr std::size_t kPageUnits = kPageBytes / sizeof(char16_t);
    static constexpr std::size_t kUnitGranule = 4; // blocks stay pointer-aligned and can hold a link
    static constexpr int kMinClass = 2;            // 2^2 = kUnitGranule units
    static constexpr int kMaxClass = 11;           // 2^11 = kMaxPagedUnits units
    struct FreeBlock {
        FreeBlock* next;
    };

    // Storage of at least units units (1 to kMaxPagedUnits); capacity receives what it holds.
    // exact: take only what is asked when no free block fits (a new node); otherwise round up to
    // the class, for a value that is being changed.
    char16_t* allocate(std::size_t units, bool exact, std::uint32_t& capacity);
    void deallocate(char16_t* block, std::size_t capacity) noexcept;
    char16_t* takeFromPage(std::size_t units);
    void adopt(TdomStoredText& text, std::u16string&& value);

    FreeBlock* free_[kMaxClass + 1] = {};
    std::vector<char16_t*> pages_;
    char16_t* cursor_ = nullptr;
    char16_t* end_ = nullptr;
    std::unordered_map<const char16_t*, std::u16string> ownBlocks_;
    std::size_t ownBlockBytes_ = 0;
};
