#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

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
        bool lineFeedBeforeLast = lastWasLineFeed_;
        for (std::size_t i = 1; i + 1 < units.size(); ++i) lineFeedBeforeLast |= units[i] == u'\n';
        if (lineFeedBeforeLast) {
            advanceOverLines(units.substr(1));
            return;
        }
        const std::int64_t column = static_cast<std::int64_t>(column_) + static_cast<std::int64_t>(units.size() - 1);
        column_ = column < kLargest ? static_cast<std::int32_t>(column) : kLargest;
        lastWasLineFeed_ = units.back() == u'\n';
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
    // advanceOver for a run, after its first unit, in which a unit before the last starts a line.
    void advanceOverLines(std::u16string_view units);

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
