#pragma once

#include <string>
#include <string_view>

#include "dom/node.h"

// A processing instruction: the target is the node name, the data the node value.
class TdomProcessingInstruction : public TdomNode {
public:
    std::u16string nodeValue() const override { return data_; }
    void setNodeValue(std::u16string_view value) override { setData(value); }
    bool validate(TdomCustomErrorHandler* errorHandler) override;

    const std::u16string& target() const { return nodeName(); }
    const std::u16string& data() const { return data_; }
    void setData(std::u16string_view value);

private:
    friend class TdomDocument;
    TdomProcessingInstruction(TdomDocument* ownerDocument, const std::u16string* target, std::u16string_view data);

    std::u16string data_;
};
