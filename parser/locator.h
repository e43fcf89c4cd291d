#pragma once

#include <cstdint>
#include <string>

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
    virtual void advance(char16_t c);
    // The next character starts a new piece.
    virtual void markPieceEnd() { pieceEnded_ = true; }
    // The piece starts at the current character.
    virtual void startPiece();
    virtual void reset();

    TXmlInputSource* inputSource() const { return inputSource_; }
    std::int32_t line() const { return line_; }
    std::int32_t column() const { return column_; }
    std::int32_t pieceStartLine() const { return pieceStartLine_; }
    std::int32_t pieceStartColumn() const { return pieceStartColumn_; }

private:
    TXmlInputSource* inputSource_;
    std::int32_t column_ = 0;
    std::int32_t line_ = 0;
    std::int32_t pieceStartColumn_ = 0;
    std::int32_t pieceStartLine_ = 0;
    bool lastWasLineFeed_ = true;
    bool pieceEnded_ = true;
};
