#pragma once

#include "dom/node.h"

// A lightweight container of nodes; inserting it inserts its children instead.
class TdomDocumentFragment : public TdomNode {
public:
    void setNodeValue(std::u16string_view value) override;

private:
    friend class TdomDocument;
    explicit TdomDocumentFragment(TdomDocument* ownerDocument);
};
