#pragma once

#include <string>
#include <string_view>

#include "dom/node.h"
#include "dom/text_store.h"

// A processing instruction: the target is the node name, the data (in the owner document's text
// store) the node value.
class TdomProcessingInstruction : public TdomNode {
public:
    std::u16string nodeValue() const override { return std::u16string(data()); }
    void setNodeValue(std::u16string_view value) override { setData(value); }
    bool validate(TdomCustomErrorHandler* errorHandler) override;

    const std::u16string& target() const { return nodeName(); }
    std::u16string_view data() const { return data_.view(); }
    void setData(std::u16string_view value);

private:
    friend class TdomDocument;
    TdomProcessingInstruction(TdomDocument* ownerDocument, const std::u16string* target, std::u16string_view data);

    TdomStoredText data_;
};
