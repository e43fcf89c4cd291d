#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

// Where a node's string (the data of a text, comment, CDATA section or processing instruction)
// lies. A string of up to kInlineUnits units lies in the object itself; a longer one lies in its
// document's text store, and the object holds its address, length and block size. The node owns
// nothing itself: the store hands the storage out and takes it back, and clearing the store frees
// all of it at once.
//
// The sixteen bytes hold either the inline units followed by their count (0 to kInlineUnits), or
// the address (bytes 0-7), the length (8-11) and the block size (12-13) followed by kPaged or
// kOwnBlock. A zeroed object is the empty string.
class TdomStoredText {
public:
    static constexpr std::size_t kInlineUnits = 7;

    std::u16string_view view() const {
        if (isInline()) return {units_, mode_};
        return {address(), farLength()};
    }
    std::size_t length() const { return isInline() ? mode_ : farLength(); }
    bool isInline() const { return mode_ <= kInlineUnits; }

private:
    friend class TdomTextStore;
    static constexpr std::uint16_t kPaged = 0xFFFE;    // a block of a page
    static constexpr std::uint16_t kOwnBlock = 0xFFFF; // a block of its own (a long string)

    char16_t* address() const {
        char16_t* data;
        std::memcpy(&data, units_, sizeof data);
        return data;
    }
    std::uint32_t farLength() const {
        std::uint32_t length;
        std::memcpy(&length, units_ + 4, sizeof length);
        return length;
    }
    std::uint16_t blockUnits() const { return static_cast<std::uint16_t>(units_[6]); }
    bool isOwnBlock() const { return mode_ == kOwnBlock; }
    // Copies value (at most kInlineUnits units) into the object.
    void setInline(std::u16string_view value) {
        if (!value.empty()) std::memcpy(units_, value.data(), value.size() * sizeof(char16_t));
        mode_ = static_cast<std::uint16_t>(value.size());
    }
    void setFar(char16_t* data, std::size_t length, std::uint16_t blockUnits, std::uint16_t mode) {
        auto length32 = static_cast<std::uint32_t>(length);
        std::memcpy(units_, &data, sizeof data);
        std::memcpy(units_ + 4, &length32, sizeof length32);
        units_[6] = static_cast<char16_t>(blockUnits);
        mode_ = mode;
    }
    void setFarLength(std::size_t length) {
        auto length32 = static_cast<std::uint32_t>(length);
        std::memcpy(units_ + 4, &length32, sizeof length32);
    }

    alignas(char16_t*) char16_t units_[kInlineUnits] = {};
    std::uint16_t mode_ = 0;
};
static_assert(sizeof(TdomStoredText) == 16, "a node's string takes two pointers");
static_assert(std::is_trivially_destructible_v<TdomStoredText>, "nodes holding text need no destructor");

// The strings of a document's nodes.
//
// Strings of up to TdomStoredText::kInlineUnits units lie in the node itself and take nothing from
// the store. Short strings (up to kMaxPagedUnits) lie in 64 KiB pages, in blocks of fixed sizes: multiples of
// four units up to 64 units, then four sizes per doubling (80, 96, 112, 128, 160, ...), so that a
// block is at most a quarter larger than its string. A string that is changed stays where it is
// when the new value fits; otherwise it moves to a new block and its old block goes to the free list
// of its size, where the next string of that size finds it. Memory therefore stays bounded however
// often values change or nodes come and go: each free list holds at most as many blocks as were in
// use at once.
//
// Longer strings get a block of their own (a std::u16string the store keeps by address), freed as
// soon as the node lets go of it; a string handed over by move is kept as it is, without a copy.
class TdomTextStore {
public:
    static constexpr std::size_t kMaxPagedUnits = 2048;
    // Strings must be shorter than this.
    static constexpr std::size_t kMaxLength = 0xFFFFFFFFu;

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
    static constexpr std::size_t kSmallUnits = 64; // up to here the sizes go by kUnitGranule
    static constexpr int kClasses = 36;            // the size of the largest class is kMaxPagedUnits
    struct FreeBlock {
        FreeBlock* next;
    };

    // The class of the smallest block that holds units units (1 to kMaxPagedUnits), and its size.
    static int classOf(std::size_t units);
    static std::size_t classUnits(int cls);
    // A block of class cls, from its free list or else from the current page.
    char16_t* allocate(int cls);
    void deallocate(char16_t* block, int cls) noexcept;
    char16_t* takeFromPage(std::size_t units);
    void adopt(TdomStoredText& text, std::u16string&& value);

    FreeBlock* free_[kClasses] = {};
    std::vector<char16_t*> pages_;
    char16_t* cursor_ = nullptr;
    char16_t* end_ = nullptr;
    std::unordered_map<const char16_t*, std::u16string> ownBlocks_;
    std::size_t ownBlockBytes_ = 0;
};
