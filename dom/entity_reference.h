#pragma once

#include <string_view>

#include "dom/node.h"

class TdomCMNode;

// A reference to an entity by name. Created empty; filled by the document's fillEntityReference, by
// fillByParsing, or by the DOM builder. Its content is read-only.
class TdomEntityReference : public TdomNode {
public:
    void setNodeValue(std::u16string_view value) override;
    bool validate(TdomCustomErrorHandler* errorHandler) override;
    bool checkEntityReferences(int option) override;
    // The node's copy; then the descendants of this reference and of the copy are made read-only.
    TdomNode* cloneNode(bool deep) override;

    // The entity declaration of that name in the owner document's content model, nullptr without one.
    TdomCMNode* declaredEntity() const;
    bool isPredefined() const { return isPredefinedEntityName(nodeName()); }
    // Empties the reference (ENo_Modification_Allowed_Err when it is read-only; the old children stay
    // alive, parentless) and fills it again from its declaration (or a predefined entity). False
    // when there is nothing to fill it from or parsing the replacement text failed; an exception
    // that is not the program's own (running out of memory) passes on.
    bool fillByParsing();

private:
    friend class TdomDocument;
    TdomEntityReference(TdomDocument* ownerDocument, const std::u16string* name);
};
