#include "text/locator.h"

#include <algorithm>
#include <limits>

#include "text/input_source.h"

namespace {

std::int32_t saturated(std::int64_t value) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

} // namespace

TdomStandardLocator::TdomStandardLocator(TXmlInputSource* inputSource) : inputSource_(inputSource) { reset(); }

std::u16string TdomStandardLocator::publicId() const {
    return inputSource_ ? inputSource_->publicId() : std::u16string();
}

std::u16string TdomStandardLocator::systemId() const {
    return inputSource_ ? inputSource_->systemId() : std::u16string();
}

void TdomStandardLocator::advanceOverRest(std::u16string_view units) {
    // Every unit that follows a line feed starts a new line; the others add a column.
    const std::u16string_view beforeLast = units.substr(0, units.size() - 1);
    const std::size_t lastLineFeed = beforeLast.rfind(u'\n');
    std::int64_t lineFeeds = 0;
    if (lastLineFeed != std::u16string_view::npos)
        for (std::size_t i = 0; i <= lastLineFeed; ++i) lineFeeds += beforeLast[i] == u'\n';
    const std::int64_t newLines = lineFeeds + (lastWasLineFeed_ ? 1 : 0);
    std::int64_t column;
    if (lastLineFeed != std::u16string_view::npos)
        column = static_cast<std::int64_t>(units.size() - 1 - lastLineFeed);
    else if (lastWasLineFeed_)
        column = static_cast<std::int64_t>(units.size());
    else
        column = column_ + static_cast<std::int64_t>(units.size());
    line_ = saturated(line_ + newLines);
    column_ = saturated(column);
    lastWasLineFeed_ = units.back() == u'\n';
}

void TdomStandardLocator::reset() {
    column_ = 0;
    line_ = 0;
    pieceStartColumn_ = 0;
    pieceStartLine_ = 0;
    lastWasLineFeed_ = true;
    markPieceEnd();
}
