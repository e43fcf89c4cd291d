#include "text/wide_string_list.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "text/code_page_932.h"
#include "text/exception.h"

namespace {

[[noreturn]] void raiseBoundsError(int index) {
    throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

[[noreturn]] void raiseSortedError() { throw EStringListError("Operation not allowed on sorted string list"); }

int foldAscii(unsigned unit) { return (unit >= 'A' && unit <= 'Z') ? static_cast<int>(unit + ('a' - 'A')) : unit; }

int compareBytesIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t k = 0; k < n; ++k) {
        const int ca = foldAscii(static_cast<unsigned char>(a[k]));
        const int cb = foldAscii(static_cast<unsigned char>(b[k]));
        if (ca != cb) return ca - cb;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Growth of the entry array when an entry is added to a full one.
int grownCapacity(int capacity) {
    int delta = capacity > 64 ? capacity / 4 : (capacity > 8 ? 16 : 4);
    if (capacity > std::numeric_limits<int>::max() - delta) throw EStringListError("String list is full");
    return capacity + delta;
}

// Holds an update bracket open for the lifetime of the object, also when an exception leaves.
class UpdateBracket {
public:
    explicit UpdateBracket(TdomWideStringList& list) : list_(list) { list_.holdChanges(); }
    ~UpdateBracket() { list_.releaseChanges(); }
    UpdateBracket(const UpdateBracket&) = delete;
    UpdateBracket& operator=(const UpdateBracket&) = delete;

private:
    TdomWideStringList& list_;
};

} // namespace

int TdomWideStringList::compareStrings(std::u16string_view a, std::u16string_view b) {
    // Code page 932 keeps ASCII as it is, so the common prefix of ASCII units is compared
    // without converting; the rest of both strings goes through the code page.
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t k = 0;
    for (; k < n; ++k) {
        const unsigned ua = a[k];
        const unsigned ub = b[k];
        if (ua >= 0x80 || ub >= 0x80) break;
        const int ca = foldAscii(ua);
        const int cb = foldAscii(ub);
        if (ca != cb) return ca - cb;
    }
    if (k == n) return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    return compareBytesIgnoringAsciiCase(cp932::encode(a.substr(k)), cp932::encode(b.substr(k)));
}

void TdomWideStringList::assign(const TdomWideStringList& source) {
    if (&source == this) return;
    const std::vector<TdomWideStringItem> entries = source.items_;
    UpdateBracket bracket(*this);
    clearAll();
    for (const TdomWideStringItem& item : entries) addStringWithObject(item.fString, item.fObject);
}

void TdomWideStringList::changed() {
    if (updateDepth_ == 0 && OnChanged) OnChanged(*this);
}

void TdomWideStringList::changing() {
    if (updateDepth_ == 0 && OnChanging) OnChanging(*this);
}

void TdomWideStringList::checkIndex(int index) const {
    if (index < 0 || index >= count()) raiseBoundsError(index);
}

const std::u16string& TdomWideStringList::stringAt(int index) const {
    checkIndex(index);
    return items_[index].fString;
}

void* TdomWideStringList::objectAt(int index) const {
    checkIndex(index);
    return items_[index].fObject;
}

void TdomWideStringList::setStringAt(int index, const std::u16string& s) {
    if (sorted_) raiseSortedError();
    checkIndex(index);
    changing();
    items_[index].fString = s;
    changed();
}

void TdomWideStringList::setObjectAt(int index, void* object) {
    checkIndex(index);
    changing();
    items_[index].fObject = object;
    changed();
}

void TdomWideStringList::setCapacity(int n) {
    if (n < count()) throw EStringListError("List capacity out of bounds (" + std::to_string(n) + ")");
    const auto wanted = static_cast<std::size_t>(n);
    // Storage kept from before the list was last cleared serves again unless it is far too large.
    if (wanted > items_.capacity() || (items_.capacity() > kKeptEntries && wanted < items_.capacity())) {
        std::vector<TdomWideStringItem> items;
        items.reserve(wanted);
        std::move(items_.begin(), items_.end(), std::back_inserter(items));
        items_ = std::move(items);
    }
    capacity_ = n;
}

void TdomWideStringList::setUpdating(bool updating) {
    if (updating)
        changing();
    else
        changed();
}

void TdomWideStringList::insertItem(int index, const std::u16string& s, void* object) {
    changing();
    if (count() == capacity_) setCapacity(grownCapacity(capacity_));
    if (index == count())
        items_.push_back(TdomWideStringItem{s, object});
    else
        items_.insert(items_.begin() + index, TdomWideStringItem{s, object});
    changed();
}

int TdomWideStringList::addString(const std::u16string& s) {
    int index = count();
    if (sorted_) {
        if (findSorted(s, index)) {
            if (duplicates_ == TdomDuplicates::dupIgnore) return index;
            if (duplicates_ == TdomDuplicates::dupError)
                throw EStringListError("String list does not allow duplicates");
        }
    }
    insertItem(index, s, nullptr);
    return index;
}

int TdomWideStringList::addStringWithObject(const std::u16string& s, void* object) {
    const int index = addString(s);
    setObjectAt(index, object);
    return index;
}

void TdomWideStringList::addStrings(const TdomWideStringList& list) {
    const std::vector<TdomWideStringItem> entries = list.items_; // the list may be this one
    UpdateBracket bracket(*this);
    for (const TdomWideStringItem& item : entries) addStringWithObject(item.fString, item.fObject);
}

void TdomWideStringList::appendString(const std::u16string& s) { addString(s); }

void TdomWideStringList::holdChanges() {
    if (updateDepth_ == 0) setUpdating(true);
    ++updateDepth_;
}

void TdomWideStringList::clearAll() {
    if (items_.empty()) return;
    changing();
    items_.clear();
    // A list cleared and refilled over and over (the attributes of each start tag) keeps a
    // modest block for the next fill; its capacity counts as 0 all the same.
    if (items_.capacity() > kKeptEntries) items_.shrink_to_fit();
    capacity_ = 0;
    changed();
}

void TdomWideStringList::deleteAt(int index) {
    checkIndex(index);
    changing();
    items_.erase(items_.begin() + index);
    changed();
}

void TdomWideStringList::releaseChanges() {
    if (updateDepth_ == 0) return; // unpaired release: nothing is held
    --updateDepth_;
    if (updateDepth_ == 0) setUpdating(false);
}

void TdomWideStringList::swap(int i, int j) {
    checkIndex(i);
    checkIndex(j);
    changing();
    std::swap(items_[i], items_[j]);
    changed();
}

bool TdomWideStringList::findSorted(std::u16string_view s, int& index) const {
    bool found = false;
    int low = 0;
    int high = count() - 1;
    while (low <= high) {
        const int mid = low + (high - low) / 2;
        const int c = compareStrings(items_[mid].fString, s);
        if (c < 0) {
            low = mid + 1;
        } else {
            high = mid - 1;
            if (c == 0) {
                found = true;
                if (duplicates_ != TdomDuplicates::dupAccept) low = mid;
            }
        }
    }
    index = low;
    return found;
}

int TdomWideStringList::indexOfString(std::u16string_view s) const {
    if (sorted_) {
        int index = 0;
        return findSorted(s, index) ? index : -1;
    }
    for (int k = 0; k < count(); ++k)
        if (compareStrings(items_[k].fString, s) == 0) return k;
    return -1;
}

void TdomWideStringList::insertAt(int index, const std::u16string& s) {
    if (sorted_) raiseSortedError();
    if (index < 0 || index > count()) raiseBoundsError(index);
    insertItem(index, s, nullptr);
}

void TdomWideStringList::sortAll() {
    if (sorted_ || count() < 2) return;
    changing();
    quickSort(0, count() - 1);
    changed();
}

// Hoare partitioning around the middle entry. The smaller part is sorted by recursion and the
// larger one by the loop, so the depth stays logarithmic whatever the input.
void TdomWideStringList::quickSort(int l, int r) {
    while (l < r) {
        int i = l;
        int j = r;
        const std::u16string pivot = items_[l + (r - l) / 2].fString;
        do {
            while (compareStrings(items_[i].fString, pivot) < 0) ++i;
            while (compareStrings(items_[j].fString, pivot) > 0) --j;
            if (i <= j) {
                if (i != j) std::swap(items_[i], items_[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - l < r - i) {
            if (l < j) quickSort(l, j);
            l = i;
        } else {
            if (i < r) quickSort(i, r);
            r = j;
        }
    }
}

void TdomWideStringList::setSorted(bool sorted) {
    if (sorted) sortAll();
    sorted_ = sorted;
}
