#pragma once

// The questions the document object model asks of the content model (the DTD object model) attached
// to a document. Every function answers "nothing" (nullptr, false, empty) for a null model.

#include <string>
#include <string_view>
#include <vector>

class TdomCMNode;
class TdomCMObject;
class TdomDocument;

namespace cmaccess {

// The general entity declared with that name, or nullptr.
TdomCMNode* declaredEntity(TdomCMObject* model, std::u16string_view name);
// Whether the entity refers, directly or through the entities it references, to an external entity /
// an unparsed entity.
bool entityRefersToExternal(TdomCMObject* model, TdomCMNode* entity);
bool entityRefersToUnparsed(TdomCMObject* model, TdomCMNode* entity);
bool entityIsUnusable(TdomCMObject* model, TdomCMNode* entity);
// The replacement text with the references it contains resolved.
std::u16string entityReplacementText(TdomCMObject* model, TdomCMNode* entity);
// The value the entity contributes to an attribute value.
std::u16string entityNormalizedValue(TdomCMObject* model, TdomCMNode* entity);

struct AttributeDefinition {
    std::u16string name;
    std::u16string declaredType; // "CDATA", a tokenized type, "NOTATION", or empty for an enumeration
    std::u16string defaultKind;  // "#REQUIRED", "#IMPLIED", "#FIXED" or empty
    std::u16string defaultValue;
};
// The definition of attribute attributeName of element type elementName; false when none.
bool attributeDefinition(TdomCMObject* model, std::u16string_view elementName, std::u16string_view attributeName,
                         AttributeDefinition& definition);
// Every attribute definition of element type elementName, in declaration order.
std::vector<AttributeDefinition> attributeDefinitions(TdomCMObject* model, std::u16string_view elementName);
// True when element type elementName is declared with element content.
bool hasElementContent(TdomCMObject* model, std::u16string_view elementName);

// The document a content model is attached to (nullptr) and the link from the model to it.
TdomDocument* attachedDocument(TdomCMObject* model);
void setAttachedDocument(TdomCMObject* model, TdomDocument* document);

} // namespace cmaccess
