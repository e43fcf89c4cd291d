#include "dom/text_store.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <utility>

#include <sanitizer/asan_interface.h>

namespace {

void copyUnits(char16_t* to, const char16_t* from, std::size_t units) {
    if (units > 0) std::memcpy(to, from, units * sizeof(char16_t));
}

// True when view lies in the units [data, data + length).
bool liesIn(std::u16string_view view, const char16_t* data, std::size_t length) {
    if (view.empty() || !data) return false;
    std::less_equal<const char16_t*> notAfter;
    return notAfter(data, view.data()) && !notAfter(data + length, view.data());
}

} // namespace

// Under AddressSanitizer a block on a free list stays marked unusable until it is handed out again,
// so that reading a node's old storage after a change is reported.

int TdomTextStore::classOf(std::size_t units) {
    if (units <= kSmallUnits) return static_cast<int>((units + kUnitGranule - 1) / kUnitGranule) - 1;
    // 2^e < units <= 2^(e+1); four steps of 2^(e-2) in between.
    int e = std::bit_width(units - 1) - 1;
    std::size_t step = std::size_t{1} << (e - 2);
    std::size_t steps = (units - (std::size_t{1} << e) + step - 1) / step;
    return static_cast<int>(kSmallUnits / kUnitGranule) + (e - 6) * 4 + static_cast<int>(steps) - 1;
}

std::size_t TdomTextStore::classUnits(int cls) {
    constexpr int kSmallClasses = static_cast<int>(kSmallUnits / kUnitGranule);
    if (cls < kSmallClasses) return kUnitGranule * static_cast<std::size_t>(cls + 1);
    int e = 6 + (cls - kSmallClasses) / 4;
    return (std::size_t{1} << e) +
           static_cast<std::size_t>((cls - kSmallClasses) % 4 + 1) * (std::size_t{1} << (e - 2));
}

char16_t* TdomTextStore::takeFromPage(std::size_t units) {
    if (static_cast<std::size_t>(end_ - cursor_) < units) {
        // The rest of the page goes to the free lists, in the largest blocks that fit.
        std::size_t rest = static_cast<std::size_t>(end_ - cursor_);
        while (rest >= kUnitGranule) {
            int cls = classOf(rest);
            if (classUnits(cls) > rest) --cls;
            deallocate(cursor_, cls);
            cursor_ += classUnits(cls);
            rest -= classUnits(cls);
        }
        if (pages_.size() == pages_.capacity()) pages_.reserve(pages_.empty() ? 16 : pages_.size() * 2);
        auto* page = static_cast<char16_t*>(::operator new(kPageBytes));
        pages_.push_back(page);
        cursor_ = page;
        end_ = page + kPageUnits;
    }
    char16_t* block = cursor_;
    cursor_ += units;
    return block;
}

char16_t* TdomTextStore::allocate(int cls) {
    if (FreeBlock* block = free_[cls]) {
        ASAN_UNPOISON_MEMORY_REGION(block, classUnits(cls) * sizeof(char16_t));
        free_[cls] = block->next;
        return reinterpret_cast<char16_t*>(block);
    }
    return takeFromPage(classUnits(cls));
}

void TdomTextStore::deallocate(char16_t* block, int cls) noexcept {
    auto* free = reinterpret_cast<FreeBlock*>(block);
    free->next = free_[cls];
    free_[cls] = free;
    ASAN_POISON_MEMORY_REGION(block, classUnits(cls) * sizeof(char16_t));
}

void TdomTextStore::adopt(TdomStoredText& text, std::u16string&& value) {
    std::size_t bytes = value.capacity() * sizeof(char16_t);
    auto [it, inserted] = ownBlocks_.emplace(value.data(), std::move(value));
    (void)inserted;
    ownBlockBytes_ += bytes;
    text.setFar(it->second.data(), it->second.size(), 0, TdomStoredText::kOwnBlock);
}

void TdomTextStore::create(TdomStoredText& text, std::u16string_view value) {
    if (value.size() <= TdomStoredText::kInlineUnits) {
        text.setInline(value);
        return;
    }
    if (value.size() > kMaxPagedUnits) {
        create(text, std::u16string(value));
        return;
    }
    int cls = classOf(value.size());
    char16_t* block = allocate(cls);
    copyUnits(block, value.data(), value.size());
    text.setFar(block, value.size(), static_cast<std::uint16_t>(classUnits(cls)), TdomStoredText::kPaged);
}

void TdomTextStore::create(TdomStoredText& text, std::u16string&& value) {
    if (value.size() <= kMaxPagedUnits) {
        create(text, std::u16string_view(value));
        return;
    }
    if (value.size() >= kMaxLength) throw std::length_error("text too long");
    adopt(text, std::move(value));
}

void TdomTextStore::replace(TdomStoredText& text, std::size_t offset, std::size_t count, std::u16string_view arg) {
    std::u16string_view old = text.view();
    std::size_t length = old.size();
    std::size_t newLength = length - count + arg.size();
    if (newLength >= kMaxLength) throw std::length_error("text too long");
    if (newLength <= TdomStoredText::kInlineUnits) {
        // Assembled aside first: arg may lie in the old storage, which goes before the units move in.
        char16_t units[TdomStoredText::kInlineUnits];
        copyUnits(units, old.data(), offset);
        copyUnits(units + offset, arg.data(), arg.size());
        copyUnits(units + offset + arg.size(), old.data() + offset + count, length - offset - count);
        release(text);
        text.setInline({units, newLength});
        return;
    }
    bool ownBlock = text.isOwnBlock();
    bool inPlace = ownBlock ? newLength > kMaxPagedUnits : !text.isInline() && newLength <= text.blockUnits();
    if (inPlace && liesIn(arg, old.data(), length)) {
        std::u16string copy(arg);
        replace(text, offset, count, copy);
        return;
    }
    if (inPlace && ownBlock) {
        auto handle = ownBlocks_.extract(text.address());
        std::u16string& value = handle.mapped();
        std::size_t oldBytes = value.capacity() * sizeof(char16_t);
        try {
            value.replace(offset, count, arg);
        } catch (...) {
            ownBlocks_.insert(std::move(handle));
            throw;
        }
        ownBlockBytes_ = ownBlockBytes_ - oldBytes + value.capacity() * sizeof(char16_t);
        handle.key() = value.data();
        text.setFar(value.data(), newLength, 0, TdomStoredText::kOwnBlock);
        ownBlocks_.insert(std::move(handle));
        return;
    }
    if (inPlace) {
        char16_t* data = text.address();
        std::size_t tail = length - offset - count;
        if (tail > 0) std::memmove(data + offset + arg.size(), data + offset + count, tail * sizeof(char16_t));
        copyUnits(data + offset, arg.data(), arg.size());
        text.setFarLength(newLength);
        return;
    }
    // New storage, filled before the old one goes (arg may lie in it).
    TdomStoredText fresh;
    if (newLength > kMaxPagedUnits) {
        std::u16string value;
        value.reserve(newLength);
        value.append(old.substr(0, offset)).append(arg).append(old.substr(offset + count));
        adopt(fresh, std::move(value));
    } else {
        int cls = classOf(newLength);
        char16_t* block = allocate(cls);
        copyUnits(block, old.data(), offset);
        copyUnits(block + offset, arg.data(), arg.size());
        copyUnits(block + offset + arg.size(), old.data() + offset + count, length - offset - count);
        fresh.setFar(block, newLength, static_cast<std::uint16_t>(classUnits(cls)), TdomStoredText::kPaged);
    }
    release(text);
    text = fresh;
}

void TdomTextStore::release(TdomStoredText& text) noexcept {
    if (text.isOwnBlock()) {
        auto it = ownBlocks_.find(text.address());
        ownBlockBytes_ -= it->second.capacity() * sizeof(char16_t);
        ownBlocks_.erase(it);
    } else if (!text.isInline()) {
        deallocate(text.address(), classOf(text.blockUnits()));
    }
    text = TdomStoredText{};
}

void TdomTextStore::clear() noexcept {
    for (char16_t* page : pages_) {
        ASAN_UNPOISON_MEMORY_REGION(page, kPageBytes);
        ::operator delete(page);
    }
    pages_.clear();
    pages_.shrink_to_fit();
    std::fill(std::begin(free_), std::end(free_), nullptr);
    cursor_ = end_ = nullptr;
    ownBlocks_.clear();
    ownBlockBytes_ = 0;
}
