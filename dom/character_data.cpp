#include "dom/character_data.h"

#include <algorithm>

#include "dom/content_model_access.h"
#include "dom/document.h"
#include "dom/xml_output.h"
#include "text/dom_exception.h"
#include "text/xml_chars.h"

namespace {
const std::u16string kCommentName = u"#comment";
const std::u16string kCDATASectionName = u"#cdata-section";
} // namespace

// ---- TdomCharacterData ----

TdomCharacterData::TdomCharacterData(TdomDocument* ownerDocument, TdomNodeType type, const std::u16string* name,
                                     std::u16string_view data)
    : TdomNode(ownerDocument, type, name) {
    ownerDocument->textStore().create(text_, data);
}

TdomCharacterData::TdomCharacterData(TdomDocument* ownerDocument, TdomNodeType type, const std::u16string* name,
                                     std::u16string&& data)
    : TdomNode(ownerDocument, type, name) {
    ownerDocument->textStore().create(text_, std::move(data));
}

void TdomCharacterData::setNodeValue(std::u16string_view value) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    ownerDocument()->textStore().replace(text_, 0, text_.length(), value);
}

bool TdomCharacterData::validate(TdomCustomErrorHandler*) { return true; }

void TdomCharacterData::setData(std::u16string_view value) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    setNodeValue(value);
}

std::u16string TdomCharacterData::substringData(int offset, int count) const {
    if (offset < 0 || offset > length() || count < 0) throw EIndex_Size_Err();
    return std::u16string(data().substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(count)));
}

void TdomCharacterData::appendData(std::u16string_view arg) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    ownerDocument()->textStore().replace(text_, text_.length(), 0, arg);
}

void TdomCharacterData::insertData(int offset, std::u16string_view arg) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    replaceData(offset, 0, arg);
}

void TdomCharacterData::deleteData(int offset, int count) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    replaceData(offset, count, std::u16string_view());
}

void TdomCharacterData::replaceData(int offset, int count, std::u16string_view arg) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    if (offset < 0 || offset > length() || count < 0) throw EIndex_Size_Err();
    int cut = std::min(count, length() - offset);
    ownerDocument()->textStore().replace(text_, static_cast<std::size_t>(offset), static_cast<std::size_t>(cut), arg);
}

// ---- TdomText ----

bool TdomText::isWhitespaceInElementContent() const {
    for (char16_t unit : data())
        if (!isWhiteSpace(unit)) return false;
    TdomCMObject* model = ownerDocument()->contentModel();
    if (!model) return false;
    const TdomNode* ancestor = parentNode();
    while (ancestor && ancestor->nodeType() == TdomNodeType::entityReference) ancestor = ancestor->parentNode();
    if (!ancestor || ancestor->nodeType() != TdomNodeType::element) return false;
    return cmaccess::hasElementContent(model, ancestor->nodeName());
}

std::u16string TdomText::escapedData() const {
    std::u16string result;
    result.reserve(data().size());
    appendEscapedText(result, data());
    return result;
}

TdomText* TdomText::splitText(int offset) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    if (offset < 0 || offset > length()) throw EIndex_Size_Err();
    TdomText* tail = ownerDocument()->createTextNode(data().substr(static_cast<std::size_t>(offset)));
    TdomNode* parent = parentNode();
    if (parent) {
        // Insert first, so that a refusal leaves this node unchanged.
        try {
            if (TdomNode* following = nextSibling())
                parent->insertBefore(tail, following);
            else
                parent->appendChild(tail);
        } catch (...) {
            ownerDocument()->destroyNode(tail);
            throw;
        }
    }
    deleteData(offset, length() - offset);
    return tail;
}

// ---- TdomComment, TdomCDATASection ----

TdomComment::TdomComment(TdomDocument* ownerDocument, std::u16string_view data)
    : TdomCharacterData(ownerDocument, TdomNodeType::comment, &kCommentName, data) {}

TdomCDATASection::TdomCDATASection(TdomDocument* ownerDocument, std::u16string_view data)
    : TdomText(ownerDocument, TdomNodeType::cdataSection, &kCDATASectionName, data) {}
