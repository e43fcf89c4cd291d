#include "dom/document_fragment.h"

namespace {
const std::u16string kFragmentName = u"#document-fragment";
} // namespace

TdomDocumentFragment::TdomDocumentFragment(TdomDocument* ownerDocument)
    : TdomNode(ownerDocument, TdomNodeType::documentFragment, &kFragmentName) {}

void TdomDocumentFragment::setNodeValue(std::u16string_view) {}
