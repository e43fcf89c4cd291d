#include "parser/source_code.h"

#include "text/exception.h"

namespace {
void checkIndex(std::size_t index, std::size_t limit) {
    if (index >= limit) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}
} // namespace

TXmlSourceCodePiece& TXmlSourceCode::item(std::size_t index) {
    checkIndex(index, pieces_.size());
    return pieces_[index];
}

const TXmlSourceCodePiece& TXmlSourceCode::item(std::size_t index) const {
    checkIndex(index, pieces_.size());
    return pieces_[index];
}

TXmlSourceCodePiece& TXmlSourceCode::add(std::u16string text) { return pieces_.emplace_back(std::move(text)); }

TXmlSourceCodePiece& TXmlSourceCode::insert(std::size_t index, std::u16string text) {
    checkIndex(index, pieces_.size() + 1);
    return *pieces_.emplace(pieces_.begin() + static_cast<std::ptrdiff_t>(index), std::move(text));
}

void TXmlSourceCode::remove(std::size_t index) {
    checkIndex(index, pieces_.size());
    pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(index));
}

std::u16string TXmlSourceCode::text() const {
    std::size_t length = 0;
    for (const TXmlSourceCodePiece& piece : pieces_) length += piece.text().size();
    std::u16string result;
    result.reserve(length);
    for (const TXmlSourceCodePiece& piece : pieces_) result += piece.text();
    return result;
}
