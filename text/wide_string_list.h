#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// How a sorted TdomWideStringList treats a string equal to one it holds already.
enum class TdomDuplicates : std::uint8_t { dupIgnore = 0, dupAccept = 1, dupError = 2 };

// One entry of a TdomWideStringList: a string and an object the list refers to but never frees.
struct TdomWideStringItem {
    std::u16string fString;
    void* fObject = nullptr;
};

// List of wide strings with attached objects, optionally kept sorted. Strings are compared after
// conversion to code page 932 with ASCII letters compared case-insensitively, so "ABC" and "abc"
// count as equal for sorting and searching. Indices are 0-based; a bad index raises
// EStringListError "List index out of bounds (<index>)".
//
// Changes are announced through OnChanging (before) and OnChanged (after); between holdChanges and
// the matching releaseChanges the announcements are collected into one pair.
class TdomWideStringList {
public:
    using TNotifyEvent = std::function<void(TdomWideStringList& sender)>;

    TdomWideStringList() = default;
    virtual ~TdomWideStringList() = default;
    TdomWideStringList(const TdomWideStringList&) = default;
    TdomWideStringList& operator=(const TdomWideStringList&) = default;

    // Inside one update bracket: clears the list, then adds every string of source with its object.
    virtual void assign(const TdomWideStringList& source);
    // Fire OnChanged / OnChanging unless an update bracket is open.
    virtual void changed();
    virtual void changing();
    virtual const std::u16string& stringAt(int index) const;
    virtual int capacity() const { return capacity_; }
    virtual int count() const { return static_cast<int>(items_.size()); }
    virtual void* objectAt(int index) const;
    virtual void setStringAt(int index, const std::u16string& s);
    virtual void setObjectAt(int index, void* object);
    // Room for n entries. A capacity below the count raises EStringListError "List capacity out of
    // bounds (<n>)", as entries would be lost.
    virtual void setCapacity(int n);
    virtual void setUpdating(bool updating);
    // Returns the index of the new entry; in a sorted list the index of the equal entry when the
    // duplicates mode is dupIgnore. dupError raises "String list does not allow duplicates".
    virtual int addString(const std::u16string& s);
    virtual int addStringWithObject(const std::u16string& s, void* object);
    virtual void addStrings(const TdomWideStringList& list);
    virtual void appendString(const std::u16string& s);
    virtual void holdChanges();
    virtual void clearAll();
    virtual void deleteAt(int index);
    virtual void releaseChanges();
    virtual void swap(int i, int j);
    // Binary search of a sorted list: true when an equal entry exists; index is the first equal
    // entry or the insertion point.
    virtual bool findSorted(std::u16string_view s, int& index) const;
    // Index of the first equal entry, or -1.
    virtual int indexOfString(std::u16string_view s) const;
    // Index may equal the count (append); the new entry carries no object.
    virtual void insertAt(int index, const std::u16string& s);
    virtual void sortAll();

    // Switching sorting on sorts the list first.
    void setSorted(bool sorted);
    bool sorted() const { return sorted_; }
    TdomDuplicates duplicates() const { return duplicates_; }
    void setDuplicates(TdomDuplicates mode) { duplicates_ = mode; }
    int updateDepth() const { return updateDepth_; }

    // The comparison the list sorts and searches with: negative, 0 or positive.
    static int compareStrings(std::u16string_view a, std::u16string_view b);

    TNotifyEvent OnChanged;
    TNotifyEvent OnChanging;

private:
    // Entries of storage that clearing keeps for the next fill.
    static constexpr std::size_t kKeptEntries = 64;

    void checkIndex(int index) const;
    void insertItem(int index, const std::u16string& s, void* object);
    void quickSort(int l, int r);

    int capacity_ = 0;
    TdomDuplicates duplicates_ = TdomDuplicates::dupIgnore;
    std::vector<TdomWideStringItem> items_;
    bool sorted_ = false;
    int updateDepth_ = 0;
};
