#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/edit_history.h"
#include "app/point_mark_table.h"
#include "text/exception.h"

// Finding text in the table's cells: the matching rules of find, replace and the filter.
//
// The text to find is UTF-16, as the window and the command line give it; cells are code page 932
// bytes and are compared as the characters they decode to. A match never splits a character of
// the cell: a two-byte character whose trail byte happens to be an ASCII letter (0x83 0x41 "ア")
// never matches that letter, with or without case. Found ranges are byte ranges of the cell, so a
// replacement keeps every byte around a match as it was.
//
// Options:
// - matchCase off (the default): ASCII letters A-Z and a-z compare equal to their other case; no
//   other character is folded (full-width letters only with the Japanese option, through NFKC).
// - wholeCell: the text must be the whole cell instead of a part of it.
// - japanese: half-width and full-width forms and hiragana and katakana compare equal. Both sides
//   are normalized to NFKC (full-width ASCII becomes ASCII, half-width katakana becomes full-width,
//   a half-width voiced mark joins the kana before it: ｶﾞ = ガ), then hiragana U+3041-U+3096 become
//   the katakana 0x60 above them (が = ガ). A match begins and ends between characters of the cell
//   as normalization splits it: a cell character that normalizes to several characters (㌔ to キロ)
//   is matched as a whole or not at all, so replacing a match replaces exactly the cell characters
//   that produced it.
//
// An empty text matches nothing.

// Every column of a row (for a search scope or a filter condition).
constexpr int kAllColumns = -1;

struct TMatchOptions {
    bool matchCase = false;
    bool wholeCell = false;
    bool japanese = false;
};

// A cell of the table by column and table row (row 0 is the header row while the table has one).
struct TCellPos {
    int column = 0;
    int row = 0;
    bool operator==(const TCellPos&) const = default;
};

// A byte range [begin, end) of a cell.
struct TByteRange {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool operator==(const TByteRange&) const = default;
};

// Replacement text that code page 932 cannot hold. characters() lists each such character once,
// in order of first appearance; the message (UTF-8) names them.
class EUnrepresentableText : public EConvertError {
public:
    explicit EUnrepresentableText(std::vector<std::u16string> characters);
    const std::vector<std::u16string>& characters() const { return characters_; }

private:
    std::vector<std::u16string> characters_;
};

// The bytes of text in code page 932; raises EUnrepresentableText when a character is missing there.
std::string representableCell(std::u16string_view text);

class TFoldedCells;

// A text to find, prepared once for the options and then tested against many cells. Not
// thread-safe: matching a cell reuses working buffers of the matcher.
class TCellMatcher {
public:
    TCellMatcher(std::u16string_view text, TMatchOptions options);

    const TMatchOptions& options() const { return options_; }
    // True when no cell can match (an empty text, or without the Japanese option a character that
    // no cell can decode to).
    bool matchesNothing() const { return mode_ == Mode::nothing; }

    // Whether the cell holds a match (is one, with wholeCell).
    bool matches(std::string_view cell) const;
    // The same for the cell at (column, row) of a table; with the Japanese option the cell's
    // normalized text is taken from the cache when one is given (see TFoldedCells).
    bool matches(std::string_view cell, int column, int row, TFoldedCells* cache) const {
        if (mode_ == Mode::bytes && !options_.wholeCell) return containsBytes(cell);
        return mode_ == Mode::units && options_.japanese && cache ? matchesCached(cell, column, row, *cache)
                                                                  : matches(cell);
    }
    // The first match that begins at or after byte from (which must begin a character of the cell).
    std::optional<TByteRange> find(std::string_view cell, std::size_t from = 0) const;
    // The cell with every match, left to right and without overlap, replaced by replacement
    // (code page 932 bytes); with wholeCell the whole cell. Nothing when the cell holds no match.
    std::optional<std::string> replaced(std::string_view cell, std::string_view replacement) const;

private:
    enum class Mode {
        nothing,
        bytes,       // the text's code page 932 bytes, found byte for byte on character boundaries
        foldedBytes, // the same, ASCII letters of the text in either case
        units        // the cell decoded (and normalized, with the Japanese option) and compared by units
    };
    bool matchesCached(std::string_view cell, int column, int row, TFoldedCells& cache) const;
    // Whether the cell holds the text's bytes at the beginning of a character (bytes mode, not
    // wholeCell). Inline, as a find or filter asks it of every cell.
    bool containsBytes(std::string_view cell) const {
        const std::size_t m = bytes_.size();
        if (cell.size() < m) return false;
        const char* const first = cell.data();
        const char* const last = first + (cell.size() - m);
        for (const char* at = first; at <= last; ++at) {
            at = static_cast<const char*>(std::memchr(at, bytes_[0], static_cast<std::size_t>(last - at) + 1));
            if (!at) return false;
            if (std::memcmp(at + 1, bytes_.data() + 1, m - 1) == 0 &&
                beginsCharacter(cell, static_cast<std::size_t>(at - first)))
                return true;
        }
        return false;
    }
    // Whether byte offset begins a character of the cell.
    static bool beginsCharacter(std::string_view cell, std::size_t offset);
    std::optional<TByteRange> findBytes(std::string_view cell, std::size_t from) const;
    // First match in units_ of the cell's units at or after unit from; boundaries (when given)
    // holds the byte offset of each unit position where a match may begin or end, or kNoBoundary.
    std::optional<std::size_t> findUnits(std::u16string_view units, std::size_t from,
                                         const std::vector<std::uint32_t>* boundaries) const;
    // The cell's units and their boundaries into the working buffers.
    void unfold(std::string_view cell) const;
    // The first match in the working buffers that begins at or after byte from.
    std::optional<TByteRange> findUnfolded(std::size_t from) const;

    TMatchOptions options_;
    Mode mode_ = Mode::nothing;
    std::string bytes_;      // the text's bytes; ASCII letters in lower case for foldedBytes
    std::string foldedByte_; // per byte of bytes_: 1 where a single-byte ASCII letter is compared in either case
    std::u16string units_;   // the text as cells are compared in units mode (lower-case ASCII without matchCase)
    bool asciiText_ = false; // units_ is all ASCII, so an ASCII cell may match (Japanese option)
    mutable std::u16string cellUnits_;
    mutable std::vector<std::uint32_t> cellBoundaries_;
};

// The cells' texts as the Japanese option compares them, kept from one search to the next so
// that a find or filter over the whole table does not normalize every cell again. Each text is kept
// once with the bytes it was made from, however many cells hold those bytes, and each cell (column,
// row) refers to the text of the bytes it held when it was last asked for. A cell whose bytes
// differ (edited, or another row moved there by a sort) takes the text of its new bytes when that
// is kept already, and is normalized again only when it is not. Texts that no cell refers to any
// more are let go of. Any table may be searched through any cache; the results are the same as
// without one. The editor's core keeps one for its table (TMainFormCore::SearchCache).
class TFoldedCells {
public:
    // The normalized text of the cell (column, row) whose bytes are cell. wholeCharacters tells
    // that every unit of it came from whole characters of the cell, so a match may begin and end
    // anywhere in it. The view lasts until the next call.
    std::u16string_view text(int column, int row, std::string_view cell, bool& wholeCharacters);
    // Cells normalized since the cache was made or cleared.
    std::size_t foldCount() const { return foldCount_; }
    std::size_t heldBytes() const;
    void clear();

private:
    // One kept text: where its source bytes and its normalized units lie, how many cells refer to it.
    struct Text {
        std::uint32_t source = 0;
        std::uint32_t sourceSize = 0;
        std::uint32_t folded = 0;
        std::uint32_t foldedSize = 0; // the top bit: wholeCharacters
        std::uint32_t hash = 0;
        std::uint32_t cells = 0;
    };
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    static constexpr std::uint32_t kWholeBit = 0x80000000;
    // The kept text of these bytes, or kNone.
    std::uint32_t find(std::string_view bytes, std::uint32_t hash) const;
    // Puts a new text into the slots, or all of them into more slots.
    void index(std::uint32_t text);
    void place(std::uint32_t text);
    void rehash();
    // Makes the cell refer to text (or to none).
    void refer(std::uint32_t& cell, std::uint32_t text);
    std::u16string_view view(const Text& text, bool& wholeCharacters) const;
    void compact();

    std::vector<std::uint32_t> cells_[kColumnCount]; // per column and row: the text referred to, or kNone
    std::vector<Text> texts_;
    std::vector<std::uint32_t> slots_; // open-addressed by hash: texts_ indices, kNone for free slots
    std::string sources_;              // the bytes each text was made from
    std::u16string folded_;            // the normalized texts
    std::u16string fresh_;             // a text too large to keep
    std::size_t deadBytes_ = 0;        // of texts that no cell refers to
    std::size_t foldCount_ = 0;
};

// Which cells a find or replace-all visits: one column or all, in the given rows (ascending table
// rows; rows outside the data rows are skipped) or in every data row (the rows after the header).
struct TSearchScope {
    int column = kAllColumns;
    const std::vector<int>* rows = nullptr;
};

// The next matching cell after from in row-major order (left to right, then down; up and to the
// left when backward), wrapping around at the end of the scope; from itself is tested last, so
// a single match is found again. A from outside the scope counts by its place in that order (a
// row before the first data row starts at the first cell). Nothing when no cell matches.
std::optional<TCellPos> findCell(const TPointMarkTable& table, const TCellMatcher& matcher, TCellPos from,
                                 bool backward = false, const TSearchScope& scope = {}, TFoldedCells* cache = nullptr);

// Every matching cell of the scope, in row-major order.
std::vector<TCellPos> matchingCells(const TPointMarkTable& table, const TCellMatcher& matcher,
                                    const TSearchScope& scope = {}, TFoldedCells* cache = nullptr);

// Replace-all: every cell of the scope with a match becomes TCellMatcher::replaced of it with
// replacement (code page 932 bytes), in the same pass that finds it. change holds what the cells
// held before, for the edit history (TEditStep::apply takes it without changing the table again;
// undo and redo swap the values); none when no cell changed. cells is the number of cells changed.
struct TReplaceAll {
    std::unique_ptr<TTableChange> change;
    int cells = 0;
};
TReplaceAll replaceAll(TPointMarkTable& table, const TCellMatcher& matcher, std::string_view replacement,
                       const TSearchScope& scope = {}, TFoldedCells* cache = nullptr);

// One condition of a filter: the cell of column (or any cell of the row, with kAllColumns)
// contains text (or is it, with wholeCell).
struct TFilterCondition {
    int column = kAllColumns;
    std::u16string text;
};

// Which data rows a filter shows: those that meet every condition. Conditions with an empty text
// are left out; without any condition every row is shown.
class TRowFilter {
public:
    TRowFilter(const std::vector<TFilterCondition>& conditions, TMatchOptions options);
    bool showsEveryRow() const { return conditions_.empty(); }
    bool accepts(const TPointMarkTable& table, int row, TFoldedCells* cache = nullptr) const;
    // The data rows shown (ascending table rows).
    std::vector<int> matchingRows(const TPointMarkTable& table, TFoldedCells* cache = nullptr) const;

private:
    struct Condition {
        int column;
        TCellMatcher matcher;
    };
    std::vector<Condition> conditions_;
    bool nothingMatches_ = false;
};
