#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "dom/node.h"
#include "dom/text_store.h"

class TdomText;

// Base of text, comment and CDATA-section nodes. Lengths and offsets count UTF-16 code units
// (a surrogate pair counts two); offset == length() addresses the end, and a count reaching past the
// end is cut there. The data lies in the owner document's text store.
class TdomCharacterData : public TdomNode {
public:
    std::u16string nodeValue() const override { return std::u16string(data()); }
    void setNodeValue(std::u16string_view value) override;
    bool validate(TdomCustomErrorHandler* errorHandler) override;

    std::u16string_view data() const { return text_.view(); }
    void setData(std::u16string_view value);
    int length() const { return static_cast<int>(text_.length()); }
    std::u16string substringData(int offset, int count) const;
    void appendData(std::u16string_view arg);
    void insertData(int offset, std::u16string_view arg);
    void deleteData(int offset, int count);
    void replaceData(int offset, int count, std::u16string_view arg);

protected:
    TdomCharacterData(TdomDocument* ownerDocument, TdomNodeType type, const std::u16string* name,
                      std::u16string_view data);
    TdomCharacterData(TdomDocument* ownerDocument, TdomNodeType type, const std::u16string* name,
                      std::u16string&& data);

private:
    friend class TdomDocument;
    TdomStoredText text_;
};

class TdomText : public TdomCharacterData {
public:
    // True for white space inside an element that the content model declares with element content.
    bool isWhitespaceInElementContent() const;
    // The data as the XML output writes it (appendEscapedText of dom/xml_output.h).
    std::u16string escapedData() const;
    // Cuts the data at offset; the tail becomes a new text node placed after this one.
    TdomText* splitText(int offset);

protected:
    friend class TdomDocument;
    TdomText(TdomDocument* ownerDocument, TdomNodeType type, const std::u16string* name, std::u16string_view data)
        : TdomCharacterData(ownerDocument, type, name, data) {}
    TdomText(TdomDocument* ownerDocument, TdomNodeType type, const std::u16string* name, std::u16string&& data)
        : TdomCharacterData(ownerDocument, type, name, std::move(data)) {}
};

class TdomComment : public TdomCharacterData {
private:
    friend class TdomDocument;
    TdomComment(TdomDocument* ownerDocument, std::u16string_view data);
};

class TdomCDATASection : public TdomText {
private:
    friend class TdomDocument;
    TdomCDATASection(TdomDocument* ownerDocument, std::u16string_view data);
};
