#pragma once

// The questions the document object model asks of the content model (the DTD object model) attached
// to a document. Every function answers "nothing" (nullptr, false, empty) for a null model.

#include <span>
#include <string>
#include <string_view>
#include <vector>

class TdomCMNode;
class TdomCMObject;
class TdomDocument;
class TdomCustomErrorHandler;

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
    std::vector<std::u16string> tokens; // the names of an enumeration or a NOTATION type
    bool external = false;              // declared in the external subset
};
// The definition of attribute attributeName of element type elementName; false when none.
bool attributeDefinition(TdomCMObject* model, std::u16string_view elementName, std::u16string_view attributeName,
                         AttributeDefinition& definition);
// Every attribute definition of element type elementName, in declaration order.
std::vector<AttributeDefinition> attributeDefinitions(TdomCMObject* model, std::u16string_view elementName);
// True when element type elementName is declared with element content.
bool hasElementContent(TdomCMObject* model, std::u16string_view elementName);
// True when element type elementName is declared in the external subset.
bool elementDeclaredExternally(TdomCMObject* model, std::u16string_view elementName);

// What the element type declaration of elementName allows as content.
enum class ElementContent { undeclared, empty, any, mixed, elements };
ElementContent elementContent(TdomCMObject* model, std::u16string_view elementName);
// True when childName is one of the element types listed in the mixed content of elementName.
bool mixedContentAllows(TdomCMObject* model, std::u16string_view elementName, std::u16string_view childName);
// Matches the names of the child elements against the element content of elementName; a mismatch is
// reported to errorHandler with elementName as the code.
bool validateElementContent(TdomCMObject* model, std::u16string_view elementName,
                            std::span<const std::u16string> childNames, TdomCustomErrorHandler* errorHandler);
// True when name is declared as an unparsed entity.
bool isUnparsedEntity(TdomCMObject* model, std::u16string_view name);

// The document a content model is attached to (nullptr) and the link from the model to it.
TdomDocument* attachedDocument(TdomCMObject* model);
void setAttachedDocument(TdomCMObject* model, TdomDocument* document);

} // namespace cmaccess
