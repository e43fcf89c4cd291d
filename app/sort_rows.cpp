#include "app/sort_rows.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <memory>

#include "app/point_mark_table.h"
#include "text/code_page_932.h"
#include "text/exception.h"

namespace {

struct CollatorCloser {
    void operator()(UCollator* collator) const { ucol_close(collator); }
};

// One collator for the whole program: opening one costs far more than a key.
const UCollator* japaneseCollator() {
    static const std::unique_ptr<UCollator, CollatorCloser> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCollator, CollatorCloser> opened(ucol_open("ja", &status));
        if (U_FAILURE(status) || !opened) throw Exception("Cannot open the Japanese collation.");
        ucol_setStrength(opened.get(), UCOL_SECONDARY);
        return opened;
    }();
    return collator.get();
}

// Builds keys with a reusable conversion buffer and key buffer.
class KeyMaker {
public:
    std::string key(std::string_view cell) {
        if (cell.empty()) return std::string();
        wide_.clear();
        cp932::appendDecoded(cell, wide_);
        const auto length =
            static_cast<std::int32_t>(std::min<std::size_t>(wide_.size(), std::numeric_limits<std::int32_t>::max()));
        std::int32_t needed = ucol_getSortKey(collator_, wide_.data(), length, buffer_.data() + 1,
                                              static_cast<std::int32_t>(buffer_.size() - 1));
        if (needed > static_cast<std::int32_t>(buffer_.size() - 1)) {
            buffer_.resize(static_cast<std::size_t>(needed) + 1);
            needed = ucol_getSortKey(collator_, wide_.data(), length, buffer_.data() + 1,
                                     static_cast<std::int32_t>(buffer_.size() - 1));
        }
        // The marker byte puts every non-empty cell after the empty ones, even a cell whose
        // characters the collation ignores; the key's own terminating zero is left off.
        buffer_[0] = 1;
        const std::size_t size = needed > 0 ? static_cast<std::size_t>(needed) : 1;
        return std::string(reinterpret_cast<const char*>(buffer_.data()), size);
    }

private:
    const UCollator* collator_ = japaneseCollator();
    std::u16string wide_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(256);
};

} // namespace

std::string localeSortKey(std::string_view cell) { return KeyMaker().key(cell); }

std::vector<std::string> localeSortKeys(const std::vector<std::string_view>& cells) {
    KeyMaker maker;
    std::vector<std::string> keys;
    keys.reserve(cells.size());
    for (const std::string_view cell : cells) keys.push_back(maker.key(cell));
    return keys;
}

int compareLocale(std::string_view a, std::string_view b) {
    KeyMaker maker;
    return maker.key(a).compare(maker.key(b));
}

std::vector<std::size_t> quickSortOrder(const std::vector<std::string>& keys) {
    const std::size_t count = keys.size();
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = i;
    if (count < 2) return order;

    auto key = [&](std::size_t position) -> const std::string& { return keys[order[position]]; };
    struct Range {
        std::ptrdiff_t left, right;
        int depth;
    };
    // Beyond this many nested partitions a range is partitioning badly.
    const int depthLimit = 2 * std::bit_width(count) + 16;
    std::vector<Range> pending{{0, static_cast<std::ptrdiff_t>(count) - 1, 0}};
    while (!pending.empty()) {
        Range range = pending.back();
        pending.pop_back();
        std::ptrdiff_t left = range.left;
        const std::ptrdiff_t right = range.right;
        int depth = range.depth;
        std::ptrdiff_t i = 0;
        do {
            if (depth > depthLimit) {
                std::stable_sort(order.begin() + left, order.begin() + right + 1,
                                 [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
                break;
            }
            i = left;
            std::ptrdiff_t j = right;
            std::ptrdiff_t pivot = (left + right) / 2;
            do {
                while (key(i).compare(key(pivot)) < 0) ++i;
                while (key(j).compare(key(pivot)) > 0) --j;
                if (i <= j) {
                    if (i != j) std::swap(order[i], order[j]);
                    if (pivot == i)
                        pivot = j;
                    else if (pivot == j)
                        pivot = i;
                    ++i;
                    --j;
                }
            } while (i <= j);
            ++depth;
            if (left < j) pending.push_back({left, j, depth});
            left = i;
        } while (i < right);
    }
    return order;
}

std::vector<std::size_t> sortedDataRowOrder(const TPointMarkTable& table, int column, bool descending) {
    if (column < 0 || column >= kColumnCount) return {};
    const std::vector<TPointMarkRow>& rows = table.rows();
    const std::size_t first = static_cast<std::size_t>(table.fixedRows());
    if (rows.size() < first + 2) return {};
    std::vector<std::string_view> cells;
    cells.reserve(rows.size() - first);
    for (std::size_t r = first; r < rows.size(); ++r) cells.push_back(rows[r][column]);
    const std::vector<std::string> keys = localeSortKeys(cells);
    if (!descending) return quickSortOrder(keys);
    std::vector<std::size_t> order(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] > keys[b]; });
    return order;
}

void applyDataRowOrder(TPointMarkTable& table, const std::vector<std::size_t>& order) {
    if (order.empty()) return;
    std::vector<TPointMarkRow>& rows = table.rows();
    const std::size_t first = static_cast<std::size_t>(table.fixedRows());
    std::vector<TPointMarkRow> sorted;
    sorted.reserve(order.size());
    for (const std::size_t from : order) sorted.push_back(std::move(rows[first + from]));
    std::move(sorted.begin(), sorted.end(), rows.begin() + static_cast<std::ptrdiff_t>(first));
    table.notifyRowsChanged(static_cast<int>(first), table.rowCount() - 1);
}

void SortGridRows(TPointMarkTable& table, int column) { applyDataRowOrder(table, sortedDataRowOrder(table, column)); }
