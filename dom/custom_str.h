#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// Growable buffer of UTF-16 code units that readers fill one unit at a time. It starts with room
// for 64 units and grows by a quarter when full, so appending a unit rarely reallocates.
// Positions are 1-based and not checked: callers pass only positions inside the content.
class TdomCustomStr {
public:
    static constexpr std::size_t kInitialCapacity = 64;

    TdomCustomStr() { empty(); }
    TdomCustomStr(const TdomCustomStr& other);
    TdomCustomStr& operator=(const TdomCustomStr& other);
    // A moved-from buffer is empty with no capacity; it grows again on the next append.
    TdomCustomStr(TdomCustomStr&& other) noexcept;
    TdomCustomStr& operator=(TdomCustomStr&& other) noexcept;

    char16_t charAt(std::size_t position) const { return buffer_[position - 1]; }
    void setCharAt(std::size_t position, char16_t unit) { buffer_[position - 1] = unit; }
    void appendChar(char16_t unit) {
        if (length_ == capacity_) grow(length_ + 1);
        buffer_[length_++] = unit;
    }
    void appendText(std::u16string_view text);
    // False for an empty argument or one longer than the content.
    bool hasSuffix(std::u16string_view text) const;
    bool hasPrefix(std::u16string_view text) const;
    // Same units; two empty texts are the same.
    bool sameAs(std::u16string_view text) const { return view() == text; }
    // Drops the content and returns to the initial capacity.
    void empty();
    std::u16string text() const { return std::u16string(view()); }

    std::size_t length() const { return length_; }
    std::size_t capacity() const { return capacity_; }
    std::u16string_view view() const { return std::u16string_view(buffer_.get(), length_); }

private:
    // Grows the capacity by quarters until it holds needed units.
    void grow(std::size_t needed);

    std::size_t length_ = 0;
    std::size_t capacity_ = 0;
    // Allocated with malloc so that growth can use realloc, which moves large blocks without copying.
    struct FreeBuffer {
        void operator()(char16_t* buffer) const;
    };
    std::unique_ptr<char16_t[], FreeBuffer> buffer_;
};
