#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

class TXmlInputSource;

// Line and column counter of an input source. The input source calls advance for every character
// it delivers; readers mark where a piece of text starts so that errors can name its range. The
// first character of an input is at line 1, column 1, and a line feed belongs to the line it ends.
class TdomStandardLocator {
public:
    // The input source is not owned and may be none.
    explicit TdomStandardLocator(TXmlInputSource* inputSource = nullptr);
    virtual ~TdomStandardLocator() = default;

    // The input source's identifiers; empty without an input source.
    virtual std::u16string publicId() const;
    virtual std::u16string systemId() const;
    void advance(char16_t c) {
        if (lastWasLineFeed_) {
            if (line_ != kLargest) ++line_;
            column_ = 1;
            lastWasLineFeed_ = false;
        } else if (column_ != kLargest) {
            ++column_;
        }
        if (c == u'\n') lastWasLineFeed_ = true;
        if (pieceEnded_) startPiece();
    }
    // The same as advance for every unit of the run, in one step.
    void advanceOver(std::u16string_view units) {
        if (units.empty()) return;
        // The first unit may start a piece, which then starts at its position.
        advance(units.front());
        if (units.size() == 1) return;
        const std::u16string_view rest = units.substr(1);
        // A run in the middle of a line, the common case, only adds columns.
        if (!lastWasLineFeed_ && !hasLineFeed(rest.substr(0, rest.size() - 1))) {
            addColumns(rest.size());
            lastWasLineFeed_ = rest.back() == u'\n';
            return;
        }
        advanceOverRest(rest);
    }
    // advanceOver for units that hold no line feed.
    void advanceWithinLine(std::u16string_view units) {
        if (units.empty()) return;
        advance(units.front());
        addColumns(units.size() - 1);
    }
    // The next character starts a new piece.
    void markPieceEnd() { pieceEnded_ = true; }
    // The piece starts at the current character.
    void startPiece() {
        pieceStartColumn_ = column_;
        pieceStartLine_ = line_;
        pieceEnded_ = false;
    }
    void reset();

    TXmlInputSource* inputSource() const { return inputSource_; }
    std::int32_t line() const { return line_; }
    std::int32_t column() const { return column_; }
    std::int32_t pieceStartLine() const { return pieceStartLine_; }
    std::int32_t pieceStartColumn() const { return pieceStartColumn_; }

private:
    // Moves the column on by count, within the line.
    void addColumns(std::size_t count) {
        const std::int64_t column = static_cast<std::int64_t>(column_) + static_cast<std::int64_t>(count);
        column_ = column < kLargest ? static_cast<std::int32_t>(column) : kLargest;
    }
    // Whether a line feed is among the units, eight at a time where the vector unit allows.
    static bool hasLineFeed(std::u16string_view units) {
        std::size_t i = 0;
#ifdef __SSE2__
        const __m128i lineFeed = _mm_set1_epi16(0x0A);
        for (; i + 8 <= units.size(); i += 8) {
            const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units.data() + i));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(eight, lineFeed)) != 0) return true;
        }
#endif
        for (; i < units.size(); ++i)
            if (units[i] == u'\n') return true;
        return false;
    }

    // advanceOver for the units of a run after its first one.
    void advanceOverRest(std::u16string_view units);

    // Counters stop at the largest value instead of wrapping on absurdly long inputs.
    static constexpr std::int32_t kLargest = std::numeric_limits<std::int32_t>::max();

    TXmlInputSource* inputSource_;
    std::int32_t column_ = 0;
    std::int32_t line_ = 0;
    std::int32_t pieceStartColumn_ = 0;
    std::int32_t pieceStartLine_ = 0;
    bool lastWasLineFeed_ = true;
    bool pieceEnded_ = true;
};
