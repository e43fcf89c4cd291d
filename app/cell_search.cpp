#include "app/cell_search.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>

#include "app/cell_text.h"
#include "text/ascii.h"
#include "text/code_page_932.h"
#include "text/utf8.h"

namespace {

constexpr std::uint32_t kNoBoundary = std::numeric_limits<std::uint32_t>::max();
constexpr char16_t kHiraganaFirst = 0x3041, kHiraganaLast = 0x3096, kKatakanaOffset = 0x60;

// How the code page's decoder splits bytes into characters: a lead byte takes the next byte as its
// trail when that byte may trail, and stands alone (as one undefined character) otherwise.
struct ByteClasses {
    std::array<bool, 256> lead{};
    std::array<bool, 256> trail{};
    ByteClasses() {
        for (int b = 0; b < 256; ++b) {
            lead[b] = cp932::isLeadByte(static_cast<std::uint8_t>(b));
            const char pair[2] = {'\x81', static_cast<char>(b)};
            trail[b] = cp932::decode(std::string_view(pair, 2)).size() == 1;
        }
    }
};
const ByteClasses& byteClasses() {
    static const ByteClasses classes;
    return classes;
}

// The unit of the character at p[i] and its length in bytes.
char16_t decodeAt(const ByteClasses& classes, const std::uint8_t* p, std::size_t i, std::size_t n,
                  std::size_t& length) {
    const std::uint8_t b = p[i];
    length = 1;
    if (b < 0x80) return b;
    if (!classes.lead[b]) return cp932::decodeSingle(b);
    if (i + 1 < n && classes.trail[p[i + 1]]) {
        length = 2;
        return cp932::decodePair(b, p[i + 1]);
    }
    return cp932::kReplacementUnit;
}

std::size_t characterLength(const ByteClasses& classes, const std::uint8_t* p, std::size_t i, std::size_t n) {
    return classes.lead[p[i]] && i + 1 < n && classes.trail[p[i + 1]] ? 2 : 1;
}

const std::uint8_t* bytesOf(std::string_view text) { return reinterpret_cast<const std::uint8_t*>(text.data()); }

// Units that a cell may decode to from exactly one byte sequence: for a text of these, finding its
// code page 932 bytes finds exactly the cells that decode to it. Units from several sequences (the
// duplicated NEC and IBM characters, and "・", which every undefined byte decodes to too) are
// compared on the decoded cell instead.
struct DecodedUnits {
    std::vector<std::uint8_t> sources = std::vector<std::uint8_t>(0x10000); // byte sequences per unit, at most 2
    DecodedUnits() {
        const ByteClasses& classes = byteClasses();
        auto count = [&](char16_t unit) { sources[unit] = static_cast<std::uint8_t>(std::min(sources[unit] + 1, 2)); };
        for (int b = 0; b < 256; ++b) {
            if (!classes.lead[b]) {
                count(b < 0x80 ? static_cast<char16_t>(b) : cp932::decodeSingle(static_cast<std::uint8_t>(b)));
                continue;
            }
            count(cp932::kReplacementUnit); // a lead byte without its trail
            for (int t = 0; t < 256; ++t)
                if (classes.trail[t])
                    count(cp932::decodePair(static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(t)));
        }
        // A unit is found by its bytes only when its bytes are the sequence it comes from.
        for (std::uint32_t unit = 0; unit < 0x10000; ++unit) {
            const char16_t character = static_cast<char16_t>(unit);
            if (sources[unit] == 1 &&
                cp932::decode(cp932::encode(std::u16string_view(&character, 1))) != std::u16string_view(&character, 1))
                sources[unit] = 2;
        }
    }
};
const DecodedUnits& decodedUnits() {
    static const DecodedUnits units;
    return units;
}

const icu::Normalizer2& nfkc() {
    static const icu::Normalizer2* normalizer = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* instance = icu::Normalizer2::getNFKCInstance(status);
        if (U_FAILURE(status) || !instance) throw Exception("Cannot open the NFKC normalization.");
        return instance;
    }();
    return *normalizer;
}

// NFKC, then hiragana to katakana, appended to out.
void appendJapaneseFold(std::u16string_view text, std::u16string& out) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString source(false, text.data(), static_cast<std::int32_t>(text.size()));
    const icu::UnicodeString normalized = nfkc().normalize(source, status);
    if (U_FAILURE(status)) throw Exception("Cannot normalize a text for Japanese matching.");
    const std::size_t start = out.size();
    out.append(normalized.getBuffer(), static_cast<std::size_t>(normalized.length()));
    for (std::size_t i = start; i < out.size(); ++i)
        if (out[i] >= kHiraganaFirst && out[i] <= kHiraganaLast)
            out[i] = static_cast<char16_t>(out[i] + kKatakanaOffset);
}

// The Japanese fold of every BMP unit on its own, and whether it starts a normalization segment
// (nothing before it can change its normalization, nor it the normalization of what is before).
// A cell is folded by these; only a segment of several characters (a kana and a half-width voiced
// mark after it) goes through the normalizer itself.
struct FoldTable {
    std::vector<std::uint32_t> entries = std::vector<std::uint32_t>(0x10000); // offset << 9 | length << 1 | boundary
    std::u16string pool;
    FoldTable() {
        std::u16string folded;
        for (std::uint32_t unit = 0; unit < 0x10000; ++unit) {
            const char16_t character = static_cast<char16_t>(unit);
            folded.clear();
            appendJapaneseFold(std::u16string_view(&character, 1), folded);
            if (folded.size() > 0xFF || pool.size() > 0x7FFFFF) throw Exception("The Japanese fold table overflows.");
            const bool boundary = nfkc().hasBoundaryBefore(character);
            entries[unit] = static_cast<std::uint32_t>(pool.size() << 9 | folded.size() << 1) | (boundary ? 1 : 0);
            pool += folded;
        }
    }
    bool boundaryBefore(char16_t unit) const { return entries[unit] & 1; }
    std::u16string_view fold(char16_t unit) const {
        return std::u16string_view(pool).substr(entries[unit] >> 9, (entries[unit] >> 1) & 0xFF);
    }
};
const FoldTable& foldTable() {
    static const FoldTable table;
    return table;
}

// The Japanese fold of a cell, appended to out. boundaries (when given) receives for every unit
// appended the byte offset of the cell where a match may begin or end there, or kNoBoundary inside
// the fold of one segment, and the cell's size last. Returns whether every segment folded to
// exactly one unit (every position a boundary).
bool appendFoldedCell(std::string_view cell, std::u16string& out, std::vector<std::uint32_t>* boundaries) {
    const ByteClasses& classes = byteClasses();
    const FoldTable& table = foldTable();
    const std::uint8_t* p = bytesOf(cell);
    const std::size_t n = cell.size(), base = out.size();
    if (boundaries) boundaries->clear();
    bool whole = true;
    std::size_t i = 0, length = 0;
    char16_t unit = n > 0 ? decodeAt(classes, p, 0, n, length) : 0;
    while (i < n) {
        const std::size_t start = i, before = out.size();
        const char16_t first = unit;
        i += length;
        const std::size_t second = i;
        // The characters that join this one: those without a boundary before them.
        while (i < n) {
            unit = decodeAt(classes, p, i, n, length);
            if (table.boundaryBefore(unit)) break;
            i += length;
        }
        if (i == second) {
            const std::u16string_view folded = table.fold(first);
            if (folded.size() == 1) {
                out.push_back(folded[0]);
            } else {
                out.append(folded);
                whole = false;
            }
        } else {
            appendJapaneseFold(cp932::decode(cell.substr(start, i - start)), out);
            whole = whole && out.size() == before + 1;
        }
        if (boundaries) {
            boundaries->resize(out.size() - base, kNoBoundary);
            if (out.size() > before) (*boundaries)[before - base] = static_cast<std::uint32_t>(start);
        }
    }
    if (boundaries) boundaries->push_back(static_cast<std::uint32_t>(n));
    return whole;
}

// The cell decoded into out, with the byte offset of every unit (and the end) in boundaries.
void decodeCell(std::string_view cell, std::u16string& out, std::vector<std::uint32_t>& boundaries) {
    const ByteClasses& classes = byteClasses();
    const std::uint8_t* p = bytesOf(cell);
    out.clear();
    boundaries.clear();
    for (std::size_t i = 0, length = 0; i < cell.size(); i += length) {
        boundaries.push_back(static_cast<std::uint32_t>(i));
        out.push_back(decodeAt(classes, p, i, cell.size(), length));
    }
    boundaries.push_back(static_cast<std::uint32_t>(cell.size()));
}

std::string namedCharacters(const std::vector<std::u16string>& characters) {
    std::string named;
    for (const std::u16string& character : characters) {
        char32_t code = character[0];
        if (character.size() == 2) code = 0x10000 + ((character[0] - 0xD800) << 10) + (character[1] - 0xDC00);
        char number[16];
        std::snprintf(number, sizeof number, "%04X", static_cast<unsigned>(code));
        if (!named.empty()) named += ' ';
        named += "「" + utf16ToUtf8(character) + "」(U+" + number + ")";
    }
    return named;
}

} // namespace

EUnrepresentableText::EUnrepresentableText(std::vector<std::u16string> characters)
    : EConvertError("次の文字は Shift_JIS にないため使えません: " + namedCharacters(characters)),
      characters_(std::move(characters)) {}

std::string representableCell(std::u16string_view text) {
    std::vector<std::u16string> missing = unrepresentableCharacters(text);
    if (!missing.empty()) throw EUnrepresentableText(std::move(missing));
    return cp932::encode(text);
}

TCellMatcher::TCellMatcher(std::u16string_view text, TMatchOptions options) : options_(options) {
    if (text.empty()) return;
    if (options.japanese) {
        appendJapaneseFold(text, units_);
        if (!options.matchCase) std::transform(units_.begin(), units_.end(), units_.begin(), asciiLower<char16_t>);
        mode_ = units_.empty() ? Mode::nothing : Mode::units;
        asciiText_ = std::all_of(units_.begin(), units_.end(), [](char16_t unit) { return unit < 0x80; });
        return;
    }
    const DecodedUnits& decoded = decodedUnits();
    bool bytesFindIt = true;
    for (const char16_t unit : text) {
        if (decoded.sources[unit] == 0) return; // no cell decodes to this character
        bytesFindIt = bytesFindIt && decoded.sources[unit] == 1;
    }
    units_ = text;
    if (!options.matchCase) std::transform(units_.begin(), units_.end(), units_.begin(), asciiLower<char16_t>);
    if (!bytesFindIt) {
        mode_ = Mode::units;
        return;
    }
    bytes_ = cp932::encode(text);
    foldedByte_.assign(bytes_.size(), 0);
    mode_ = Mode::bytes;
    if (options.matchCase) return;
    // Only single-byte characters are letters; a trail byte that looks like one is not.
    const ByteClasses& classes = byteClasses();
    const std::uint8_t* p = bytesOf(bytes_);
    for (std::size_t i = 0; i < bytes_.size(); i += characterLength(classes, p, i, bytes_.size())) {
        const char lower = static_cast<char>(asciiLower(p[i]));
        if (lower >= 'a' && lower <= 'z') {
            bytes_[i] = lower;
            foldedByte_[i] = 1;
            mode_ = Mode::foldedBytes;
        }
    }
}

std::optional<TByteRange> TCellMatcher::findBytes(std::string_view cell, std::size_t from) const {
    const std::size_t m = bytes_.size(), n = cell.size();
    if (from > n || n - from < m) return std::nullopt; // many cells are shorter than the text
    const std::uint8_t* p = bytesOf(cell);
    auto equalAt = [&](std::size_t start) {
        if (mode_ == Mode::bytes) return std::memcmp(p + start, bytes_.data(), m) == 0;
        for (std::size_t k = 0; k < m; ++k) {
            const std::uint8_t byte =
                foldedByte_[k] ? static_cast<std::uint8_t>(asciiLower(p[start + k])) : p[start + k];
            if (byte != static_cast<std::uint8_t>(bytes_[k])) return false;
        }
        return true;
    };
    if (options_.wholeCell) {
        if (from == 0 && n == m && equalAt(0)) return TByteRange{0, n};
        return std::nullopt;
    }
    if (mode_ == Mode::bytes) {
        // The text's own bytes are whole characters, so a match that begins a character of the
        // cell also ends one.
        std::size_t boundary = from;
        for (std::size_t at = from; at + m <= n; ++at) {
            const void* first = std::memchr(p + at, bytes_[0], n - m + 1 - at);
            if (!first) break;
            at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(first) - p);
            if (std::memcmp(p + at + 1, bytes_.data() + 1, m - 1) != 0) continue;
            const ByteClasses& classes = byteClasses();
            while (boundary < at) boundary += characterLength(classes, p, boundary, n);
            if (boundary == at) return TByteRange{at, at + m};
        }
        return std::nullopt;
    }
    const ByteClasses& classes = byteClasses();
    for (std::size_t start = from; start + m <= n; start += characterLength(classes, p, start, n))
        if (equalAt(start)) return TByteRange{start, start + m};
    return std::nullopt;
}

std::optional<std::size_t> TCellMatcher::findUnits(std::u16string_view units, std::size_t from,
                                                   const std::vector<std::uint32_t>* boundaries) const {
    const std::size_t m = units_.size(), n = units.size();
    auto equalAt = [&](std::size_t start) {
        for (std::size_t k = 0; k < m; ++k) {
            const char16_t unit = options_.matchCase ? units[start + k] : asciiLower(units[start + k]);
            if (unit != units_[k]) return false;
        }
        return true;
    };
    if (options_.wholeCell) {
        if (from == 0 && n == m && equalAt(0)) return 0;
        return std::nullopt;
    }
    if (n < m) return std::nullopt;
    const char16_t head = units_[0];
    for (std::size_t start = from; start <= n - m; ++start) {
        if ((options_.matchCase ? units[start] : asciiLower(units[start])) != head) continue;
        if (boundaries && ((*boundaries)[start] == kNoBoundary || (*boundaries)[start + m] == kNoBoundary)) continue;
        if (equalAt(start)) return start;
    }
    return std::nullopt;
}

void TCellMatcher::unfold(std::string_view cell) const {
    cellUnits_.clear();
    if (options_.japanese)
        appendFoldedCell(cell, cellUnits_, &cellBoundaries_);
    else
        decodeCell(cell, cellUnits_, cellBoundaries_);
}

bool TCellMatcher::beginsCharacter(std::string_view cell, std::size_t offset) {
    const ByteClasses& classes = byteClasses();
    std::size_t boundary = 0;
    while (boundary < offset) boundary += characterLength(classes, bytesOf(cell), boundary, cell.size());
    return boundary == offset;
}

bool TCellMatcher::matches(std::string_view cell) const {
    switch (mode_) {
    case Mode::nothing:
        return false;
    case Mode::bytes:
        if (!options_.wholeCell) return containsBytes(cell);
        [[fallthrough]];
    case Mode::foldedBytes:
        return findBytes(cell, 0).has_value();
    case Mode::units:
        break;
    }
    unfold(cell);
    return findUnits(cellUnits_, 0, options_.japanese ? &cellBoundaries_ : nullptr).has_value();
}

bool TCellMatcher::matchesCached(std::string_view cell, int column, int row, TFoldedCells& cache) const {
    if (column < 0 || column >= kColumnCount || row < 0) return matches(cell);
    // An ASCII cell is its own normalization: it is compared as it stands and not kept.
    if (std::all_of(cell.begin(), cell.end(), [](char byte) { return static_cast<std::uint8_t>(byte) < 0x80; })) {
        if (!asciiText_) return false;
        cellUnits_.assign(cell.begin(), cell.end());
        return findUnits(cellUnits_, 0, nullptr).has_value();
    }
    bool wholeCharacters = false;
    const std::u16string_view text = cache.text(column, row, cell, wholeCharacters);
    if (!findUnits(text, 0, nullptr)) return false;
    // A match found inside the fold of one cell character may not count: look again with the
    // boundaries, which only such cells need.
    return wholeCharacters || matches(cell);
}

std::optional<TByteRange> TCellMatcher::find(std::string_view cell, std::size_t from) const {
    switch (mode_) {
    case Mode::nothing:
        return std::nullopt;
    case Mode::bytes:
    case Mode::foldedBytes:
        return findBytes(cell, from);
    case Mode::units:
        break;
    }
    unfold(cell);
    return findUnfolded(from);
}

std::optional<TByteRange> TCellMatcher::findUnfolded(std::size_t from) const {
    std::size_t start = 0;
    while (start < cellUnits_.size() && (cellBoundaries_[start] == kNoBoundary || cellBoundaries_[start] < from))
        ++start;
    const std::optional<std::size_t> found = findUnits(cellUnits_, start, &cellBoundaries_);
    if (!found) return std::nullopt;
    return TByteRange{cellBoundaries_[*found], cellBoundaries_[*found + units_.size()]};
}

std::optional<std::string> TCellMatcher::replaced(std::string_view cell, std::string_view replacement) const {
    if (options_.wholeCell) return matches(cell) ? std::optional<std::string>(replacement) : std::nullopt;
    auto next = [&](std::size_t from) { return mode_ == Mode::units ? findUnfolded(from) : findBytes(cell, from); };
    if (mode_ == Mode::nothing) return std::nullopt;
    if (mode_ == Mode::units) unfold(cell);
    std::optional<TByteRange> range = next(0);
    if (!range) return std::nullopt;
    std::string result;
    result.reserve(cell.size() + replacement.size());
    std::size_t copied = 0;
    for (; range; range = next(range->end)) {
        result.append(cell.substr(copied, range->begin - copied)).append(replacement);
        copied = range->end;
    }
    return result.append(cell.substr(copied));
}

std::u16string_view TFoldedCells::text(int column, int row, std::string_view cell, bool& wholeCharacters) {
    std::vector<std::uint32_t>& cells = cells_[static_cast<std::size_t>(column)];
    const auto r = static_cast<std::size_t>(row);
    if (r >= cells.size()) cells.resize(r + 1, kNone);
    if (const std::uint32_t held = cells[r]; held != kNone) {
        const Text& kept = texts_[held];
        if (kept.sourceSize == cell.size() && std::memcmp(sources_.data() + kept.source, cell.data(), cell.size()) == 0)
            return view(kept, wholeCharacters);
    }
    const auto hash = static_cast<std::uint32_t>(std::hash<std::string_view>()(cell));
    std::uint32_t found = find(cell, hash);
    if (found == kNone) {
        ++foldCount_;
        // More than half of what is held belongs to texts no cell refers to: keep only the others.
        if (deadBytes_ > sources_.size() + 2 * folded_.size() - deadBytes_ + 65536) compact();
        const std::size_t folded = folded_.size();
        const bool whole = appendFoldedCell(cell, folded_, nullptr);
        const std::size_t size = folded_.size() - folded;
        constexpr std::size_t limit = kWholeBit - 1;
        if (sources_.size() + cell.size() > limit || folded_.size() > limit || texts_.size() >= limit) {
            // Beyond what a text can address: answered, not kept.
            fresh_.assign(folded_, folded, size);
            folded_.resize(folded);
            refer(cells[r], kNone);
            wholeCharacters = whole;
            return fresh_;
        }
        found = static_cast<std::uint32_t>(texts_.size());
        texts_.push_back({static_cast<std::uint32_t>(sources_.size()), static_cast<std::uint32_t>(cell.size()),
                          static_cast<std::uint32_t>(folded),
                          static_cast<std::uint32_t>(size) | (whole ? kWholeBit : 0), hash, 0});
        sources_.append(cell);
        deadBytes_ += cell.size() + size * sizeof(char16_t); // no cell refers to it yet
        index(found);
    }
    refer(cells[r], found);
    return view(texts_[found], wholeCharacters);
}

std::u16string_view TFoldedCells::view(const Text& text, bool& wholeCharacters) const {
    wholeCharacters = (text.foldedSize & kWholeBit) != 0;
    return std::u16string_view(folded_).substr(text.folded, text.foldedSize & ~kWholeBit);
}

std::uint32_t TFoldedCells::find(std::string_view bytes, std::uint32_t hash) const {
    if (slots_.empty()) return kNone;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask; slots_[at] != kNone; at = (at + 1) & mask) {
        const Text& kept = texts_[slots_[at]];
        if (kept.hash == hash && kept.sourceSize == bytes.size() &&
            std::memcmp(sources_.data() + kept.source, bytes.data(), bytes.size()) == 0)
            return slots_[at];
    }
    return kNone;
}

void TFoldedCells::index(std::uint32_t text) {
    // At most half of the slots in use, so that a text is found after a few steps.
    if (2 * texts_.size() > slots_.size()) return rehash();
    place(text);
}

void TFoldedCells::place(std::uint32_t text) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = texts_[text].hash & mask;
    while (slots_[at] != kNone) at = (at + 1) & mask;
    slots_[at] = text;
}

void TFoldedCells::rehash() {
    std::size_t size = 1024;
    while (size < 2 * texts_.size()) size *= 2;
    slots_.assign(size, kNone);
    for (std::uint32_t t = 0; t < texts_.size(); ++t) place(t);
}

void TFoldedCells::refer(std::uint32_t& cell, std::uint32_t text) {
    if (cell == text) return;
    auto bytesOf = [](const Text& kept) { return kept.sourceSize + (kept.foldedSize & ~kWholeBit) * sizeof(char16_t); };
    if (cell != kNone && --texts_[cell].cells == 0) deadBytes_ += bytesOf(texts_[cell]);
    if (text != kNone && texts_[text].cells++ == 0) deadBytes_ -= bytesOf(texts_[text]);
    cell = text;
}

void TFoldedCells::compact() {
    std::vector<std::uint32_t> moved(texts_.size(), kNone);
    std::vector<Text> texts;
    std::string sources;
    std::u16string folded;
    for (std::uint32_t t = 0; t < texts_.size(); ++t) {
        const Text& kept = texts_[t];
        if (kept.cells == 0) continue;
        moved[t] = static_cast<std::uint32_t>(texts.size());
        const std::uint32_t foldedSize = kept.foldedSize & ~kWholeBit;
        texts.push_back({static_cast<std::uint32_t>(sources.size()), kept.sourceSize,
                         static_cast<std::uint32_t>(folded.size()), kept.foldedSize, kept.hash, kept.cells});
        sources.append(sources_, kept.source, kept.sourceSize);
        folded.append(folded_, kept.folded, foldedSize);
    }
    for (std::vector<std::uint32_t>& cells : cells_)
        for (std::uint32_t& cell : cells)
            if (cell != kNone) cell = moved[cell];
    texts_ = std::move(texts);
    sources_ = std::move(sources);
    folded_ = std::move(folded);
    deadBytes_ = 0;
    rehash();
}

std::size_t TFoldedCells::heldBytes() const {
    std::size_t bytes = texts_.capacity() * sizeof(Text) + slots_.capacity() * sizeof(std::uint32_t) +
                        sources_.capacity() + folded_.capacity() * sizeof(char16_t);
    for (const std::vector<std::uint32_t>& cells : cells_) bytes += cells.capacity() * sizeof(std::uint32_t);
    return bytes;
}

void TFoldedCells::clear() { *this = TFoldedCells(); }

namespace {

// The cells of a scope in row-major order, by position 0 .. size() - 1.
class ScopeCells {
public:
    ScopeCells(const TPointMarkTable& table, const TSearchScope& scope)
        : table_(table), rows_(scope.rows), first_(table.fixedRows()), end_(table.rowCount()),
          column_(scope.column >= 0 && scope.column < kColumnCount ? scope.column : kAllColumns),
          columns_(column_ == kAllColumns ? kColumnCount : 1) {
        if (scope.column != kAllColumns && column_ == kAllColumns) { // no such column: no cell
            rows_ = nullptr;
            end_ = first_;
        }
    }
    std::size_t rowCount() const {
        return rows_ ? rows_->size() : static_cast<std::size_t>(std::max(end_ - first_, 0));
    }
    std::size_t size() const { return rowCount() * static_cast<std::size_t>(columns_); }
    // Number of positions whose cell comes before cell (orEqual: or is it) in row-major order.
    std::size_t countBefore(const TCellPos& cell, bool orEqual) const {
        std::size_t rowsBefore = 0;
        bool sameRow = false;
        if (rows_) {
            const auto found = std::lower_bound(rows_->begin(), rows_->end(), cell.row);
            rowsBefore = static_cast<std::size_t>(found - rows_->begin());
            sameRow = found != rows_->end() && *found == cell.row;
        } else {
            const int row = std::clamp(cell.row, first_, std::max(end_, first_));
            rowsBefore = static_cast<std::size_t>(row - first_);
            sameRow = row == cell.row && row < end_;
        }
        std::size_t columnsBefore = 0;
        if (sameRow) {
            const int limit = cell.column + (orEqual ? 1 : 0);
            columnsBefore = column_ == kAllColumns ? static_cast<std::size_t>(std::clamp(limit, 0, kColumnCount))
                                                   : (column_ < limit ? 1 : 0);
        }
        return rowsBefore * static_cast<std::size_t>(columns_) + columnsBefore;
    }
    // Visits every cell once, beginning at position start and going on forward or backward
    // around the end, until visit(cell, column, row) answers true; returns that cell.
    template <class Visit> std::optional<TCellPos> walk(std::size_t start, bool backward, Visit&& visit) const {
        const std::size_t rows = rowCount(), total = size();
        if (total == 0) return std::nullopt;
        const std::vector<TPointMarkRow>& cells = table_.rows();
        start %= total;
        std::size_t r = start / static_cast<std::size_t>(columns_);
        int c = static_cast<int>(start % static_cast<std::size_t>(columns_));
        for (std::size_t visited = 0; visited < total;) {
            const int row = rows_ ? (*rows_)[r] : first_ + static_cast<int>(r);
            const bool inTable = row >= first_ && row < end_;
            for (; c >= 0 && c < columns_ && visited < total; c += backward ? -1 : 1, ++visited) {
                const int column = column_ == kAllColumns ? c : column_;
                if (inTable &&
                    visit(cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)], column, row))
                    return TCellPos{column, row};
            }
            if (backward) {
                r = r == 0 ? rows - 1 : r - 1;
                c = columns_ - 1;
            } else {
                r = r + 1 == rows ? 0 : r + 1;
                c = 0;
            }
        }
        return std::nullopt;
    }

private:
    const TPointMarkTable& table_;
    const std::vector<int>* rows_;
    int first_, end_;
    int column_, columns_;
};

} // namespace

std::optional<TCellPos> findCell(const TPointMarkTable& table, const TCellMatcher& matcher, TCellPos from,
                                 bool backward, const TSearchScope& scope, TFoldedCells* cache) {
    if (matcher.matchesNothing()) return std::nullopt;
    const ScopeCells cells(table, scope);
    // Forward: from the first cell after from; backward: from the last cell before it.
    const std::size_t start =
        backward ? cells.countBefore(from, false) + cells.size() - 1 : cells.countBefore(from, true);
    return cells.walk(start, backward, [&](std::string_view cell, int column, int row) {
        return matcher.matches(cell, column, row, cache);
    });
}

std::vector<TCellPos> matchingCells(const TPointMarkTable& table, const TCellMatcher& matcher,
                                    const TSearchScope& scope, TFoldedCells* cache) {
    std::vector<TCellPos> found;
    if (matcher.matchesNothing()) return found;
    ScopeCells(table, scope).walk(0, false, [&](std::string_view cell, int column, int row) {
        if (matcher.matches(cell, column, row, cache)) found.push_back({column, row});
        return false;
    });
    return found;
}

namespace {

// Cells replaced in place: made while they were found, so the first toggle (when the step takes
// the change) only tells the views; every later toggle swaps the values held with the table's.
class ReplacedCellsChange : public TTableChange {
public:
    explicit ReplacedCellsChange(std::vector<TCellValue> previous) : values_(std::move(previous)) {}

    void toggle(TPointMarkTable& table) override {
        std::vector<TPointMarkRow>& rows = table.rows();
        if (!made_)
            for (TCellValue& cell : values_)
                cell.value = rows[static_cast<std::size_t>(cell.row)].exchange(static_cast<std::size_t>(cell.column),
                                                                               std::move(cell.value));
        made_ = false;
        table.notifyRowsChanged(values_.front().row, values_.back().row);
    }

    std::size_t heldBytes() const override {
        std::size_t bytes = values_.capacity() * sizeof(TCellValue);
        for (const TCellValue& cell : values_)
            if (cell.value.capacity() > std::string().capacity()) bytes += cell.value.capacity() + 1;
        return bytes;
    }

private:
    std::vector<TCellValue> values_; // row-major order
    bool made_ = true;
};

} // namespace

TReplaceAll replaceAll(TPointMarkTable& table, const TCellMatcher& matcher, std::string_view replacement,
                       const TSearchScope& scope, TFoldedCells* cache) {
    TReplaceAll result;
    if (matcher.matchesNothing()) return result;
    std::vector<TPointMarkRow>& rows = table.rows();
    std::vector<TCellValue> previous;
    try {
        ScopeCells(table, scope).walk(0, false, [&](std::string_view cell, int column, int row) {
            // With the Japanese option the cache tells most cells without a match at once.
            if (cache && matcher.options().japanese && !matcher.matches(cell, column, row, cache)) return false;
            std::optional<std::string> value = matcher.replaced(cell, replacement);
            if (!value || *value == cell) return false;
            // The former text is kept before the cell changes, so that a failure finds every
            // changed cell among those to restore.
            if (previous.size() == previous.capacity()) previous.reserve(2 * previous.size() + 64);
            previous.push_back({column, row, std::string(cell)});
            rows[static_cast<std::size_t>(row)].set(static_cast<std::size_t>(column), *value);
            return false;
        });
    } catch (...) {
        for (auto cell = previous.rbegin(); cell != previous.rend(); ++cell)
            rows[static_cast<std::size_t>(cell->row)].set(static_cast<std::size_t>(cell->column), cell->value);
        throw;
    }
    result.cells = static_cast<int>(previous.size());
    if (!previous.empty()) result.change = std::make_unique<ReplacedCellsChange>(std::move(previous));
    return result;
}

TRowFilter::TRowFilter(const std::vector<TFilterCondition>& conditions, TMatchOptions options) {
    for (const TFilterCondition& condition : conditions) {
        if (condition.text.empty()) continue;
        conditions_.push_back({condition.column, TCellMatcher(condition.text, options)});
        const bool knownColumn =
            condition.column == kAllColumns || (condition.column >= 0 && condition.column < kColumnCount);
        nothingMatches_ = nothingMatches_ || !knownColumn || conditions_.back().matcher.matchesNothing();
    }
}

bool TRowFilter::accepts(const TPointMarkTable& table, int row, TFoldedCells* cache) const {
    if (row < table.fixedRows() || row >= table.rowCount() || nothingMatches_) return false;
    const TPointMarkRow& cells = table.rows()[static_cast<std::size_t>(row)];
    for (const Condition& condition : conditions_) {
        bool met = false;
        if (condition.column != kAllColumns) {
            met = condition.matcher.matches(cells[static_cast<std::size_t>(condition.column)], condition.column, row,
                                            cache);
        } else {
            for (int column = 0; column < kColumnCount && !met; ++column)
                met = condition.matcher.matches(cells[static_cast<std::size_t>(column)], column, row, cache);
        }
        if (!met) return false;
    }
    return true;
}

std::vector<int> TRowFilter::matchingRows(const TPointMarkTable& table, TFoldedCells* cache) const {
    std::vector<int> rows;
    if (nothingMatches_) return rows;
    for (int row = table.fixedRows(); row < table.rowCount(); ++row)
        if (accepts(table, row, cache)) rows.push_back(row);
    return rows;
}
