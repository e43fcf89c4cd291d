#include "dom/document_fragment.h"

namespace {
const std::u16string kFragmentName = u"#document-fragment";
constexpr TdomNodeTypeSet kFragmentChildren =
    nodeTypeSet({TdomNodeType::element, TdomNodeType::text, TdomNodeType::cdataSection, TdomNodeType::entityReference,
                 TdomNodeType::processingInstruction, TdomNodeType::comment, TdomNodeType::documentType,
                 TdomNodeType::documentFragment});
} // namespace

TdomDocumentFragment::TdomDocumentFragment(TdomDocument* ownerDocument)
    : TdomNode(ownerDocument, TdomNodeType::documentFragment, &kFragmentName, kFragmentChildren) {}

void TdomDocumentFragment::setNodeValue(std::u16string_view) {}
