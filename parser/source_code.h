#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// One piece of a source code: a wide text.
class TXmlSourceCodePiece {
public:
    explicit TXmlSourceCodePiece(std::u16string text = std::u16string()) : text_(std::move(text)) {}

    const std::u16string& text() const { return text_; }
    void setText(std::u16string text) { text_ = std::move(text); }

private:
    std::u16string text_;
};

// An ordered list of source pieces. As an input it stands for the concatenation of the pieces'
// texts, in order.
class TXmlSourceCode {
public:
    std::size_t count() const { return pieces_.size(); }
    bool empty() const { return pieces_.empty(); }
    // The piece at index; raises EStringListError for an index out of range.
    TXmlSourceCodePiece& item(std::size_t index);
    const TXmlSourceCodePiece& item(std::size_t index) const;

    // Appends a piece holding text and returns it.
    TXmlSourceCodePiece& add(std::u16string text);
    // Inserts a piece holding text before index (index == count appends); EStringListError beyond.
    TXmlSourceCodePiece& insert(std::size_t index, std::u16string text);
    // Removes the piece at index; EStringListError for an index out of range.
    void remove(std::size_t index);
    void clear() { pieces_.clear(); }

    // The texts of all pieces, in order, as one wide string.
    std::u16string text() const;

private:
    std::vector<TXmlSourceCodePiece> pieces_;
};
