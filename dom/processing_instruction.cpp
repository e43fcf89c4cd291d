#include "dom/processing_instruction.h"

#include "dom/document.h"
#include "text/dom_exception.h"

TdomProcessingInstruction::TdomProcessingInstruction(TdomDocument* ownerDocument, const std::u16string* target,
                                                     std::u16string_view data)
    : TdomNode(ownerDocument, TdomNodeType::processingInstruction, target) {
    ownerDocument->textStore().create(data_, data);
}

void TdomProcessingInstruction::setData(std::u16string_view value) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    ownerDocument()->textStore().replace(data_, 0, data_.length(), value);
}

bool TdomProcessingInstruction::validate(TdomCustomErrorHandler*) { return true; }
