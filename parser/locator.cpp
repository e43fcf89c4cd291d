#include "parser/locator.h"

#include <limits>

#include "text/input_source.h"

namespace {

// Counters stop at the largest value instead of wrapping on absurdly long inputs.
void increment(std::int32_t& counter) {
    if (counter != std::numeric_limits<std::int32_t>::max()) ++counter;
}

} // namespace

TdomStandardLocator::TdomStandardLocator(TXmlInputSource* inputSource) : inputSource_(inputSource) { reset(); }

std::u16string TdomStandardLocator::publicId() const {
    return inputSource_ ? inputSource_->publicId() : std::u16string();
}

std::u16string TdomStandardLocator::systemId() const {
    return inputSource_ ? inputSource_->systemId() : std::u16string();
}

void TdomStandardLocator::advance(char16_t c) {
    if (lastWasLineFeed_) {
        increment(line_);
        column_ = 1;
        lastWasLineFeed_ = false;
    } else {
        increment(column_);
    }
    if (c == u'\n') lastWasLineFeed_ = true;
    if (pieceEnded_) startPiece();
}

void TdomStandardLocator::startPiece() {
    pieceStartColumn_ = column_;
    pieceStartLine_ = line_;
    pieceEnded_ = false;
}

void TdomStandardLocator::reset() {
    column_ = 0;
    line_ = 0;
    pieceStartColumn_ = 0;
    pieceStartLine_ = 0;
    lastWasLineFeed_ = true;
    markPieceEnd();
}
