#include "dom/content_model_access.h"

#include "dom/cm_declaration.h"
#include "dom/cm_object.h"
#include "dom/cm_particle.h"

namespace cmaccess {

namespace {
TdomCMEntityDeclaration* asEntity(TdomCMNode* node) {
    return node && node->nodeType() == TdomCMNodeType::entityDeclaration ? static_cast<TdomCMEntityDeclaration*>(node)
                                                                         : nullptr;
}
AttributeDefinition toDefinition(const TdomCMAttrDefinition* d) {
    AttributeDefinition definition{d->nodeName(),
                                   d->declaredType(),
                                   d->defaultKind(),
                                   d->defaultValue(),
                                   {},
                                   d->owner()->nodeType() == TdomCMNodeType::externalObject};
    for (const TdomCMNode* token : d->children()) definition.tokens.push_back(token->nodeName());
    return definition;
}
} // namespace

TdomCMNode* declaredEntity(TdomCMObject* model, std::u16string_view name) {
    return model ? model->findEntityDeclaration(name) : nullptr;
}

bool entityRefersToExternal(TdomCMObject* model, TdomCMNode* entity) {
    TdomCMEntityDeclaration* e = model ? asEntity(entity) : nullptr;
    return e && e->refersToExternalEntity();
}

bool entityRefersToUnparsed(TdomCMObject* model, TdomCMNode* entity) {
    TdomCMEntityDeclaration* e = model ? asEntity(entity) : nullptr;
    return e && e->refersToUnparsedEntity();
}

bool entityIsUnusable(TdomCMObject* model, TdomCMNode* entity) {
    TdomCMEntityDeclaration* e = model ? asEntity(entity) : nullptr;
    return e && e->isUnusable();
}

std::u16string entityReplacementText(TdomCMObject* model, TdomCMNode* entity) {
    TdomCMEntityDeclaration* e = model ? asEntity(entity) : nullptr;
    return e ? e->replacementText() : std::u16string();
}

std::u16string entityNormalizedValue(TdomCMObject* model, TdomCMNode* entity) {
    TdomCMEntityDeclaration* e = model ? asEntity(entity) : nullptr;
    return e ? e->normalizedValue() : std::u16string();
}

bool attributeDefinition(TdomCMObject* model, std::u16string_view elementName, std::u16string_view attributeName,
                         AttributeDefinition& definition) {
    if (!model) return false;
    const TdomCMAttrDefinition* d = model->findAttrDefinition(elementName, attributeName);
    if (!d) return false;
    definition = toDefinition(d);
    return true;
}

std::vector<AttributeDefinition> attributeDefinitions(TdomCMObject* model, std::u16string_view elementName) {
    std::vector<AttributeDefinition> result;
    if (!model) return result;
    for (const TdomCMAttrDefinition* d : model->attrDefinitionsOf(elementName)) result.push_back(toDefinition(d));
    return result;
}

bool hasElementContent(TdomCMObject* model, std::u16string_view elementName) {
    return model && model->hasElementContent(elementName);
}

bool elementDeclaredExternally(TdomCMObject* model, std::u16string_view elementName) {
    const TdomCMElementTypeDeclaration* declaration = model ? model->findElementTypeDeclaration(elementName) : nullptr;
    return declaration && declaration->owner()->nodeType() == TdomCMNodeType::externalObject;
}

ElementContent elementContent(TdomCMObject* model, std::u16string_view elementName) {
    const TdomCMElementTypeDeclaration* declaration = model ? model->findElementTypeDeclaration(elementName) : nullptr;
    if (!declaration) return ElementContent::undeclared;
    switch (declaration->contentKind()) {
    case TdomCMContentKind::empty:
        return ElementContent::empty;
    case TdomCMContentKind::any:
        return ElementContent::any;
    case TdomCMContentKind::mixed:
        return ElementContent::mixed;
    default:
        return ElementContent::elements;
    }
}

bool mixedContentAllows(TdomCMObject* model, std::u16string_view elementName, std::u16string_view childName) {
    const TdomCMElementTypeDeclaration* declaration = model ? model->findElementTypeDeclaration(elementName) : nullptr;
    const TdomCMParticle* choice = declaration ? declaration->particle() : nullptr;
    if (!choice) return false;
    for (const TdomCMNode* particle : choice->children())
        if (particle->nodeName() == childName) return true;
    return false;
}

bool validateElementContent(TdomCMObject* model, std::u16string_view elementName,
                            std::span<const std::u16string> childNames, TdomCustomErrorHandler* errorHandler) {
    return model && model->validateElementContent(elementName, childNames, errorHandler);
}

bool isUnparsedEntity(TdomCMObject* model, std::u16string_view name) {
    const TdomCMEntityDeclaration* entity = model ? model->findEntityDeclaration(name) : nullptr;
    return entity && !entity->parsed();
}

TdomDocument* attachedDocument(TdomCMObject* model) { return model ? model->document() : nullptr; }

void setAttachedDocument(TdomCMObject* model, TdomDocument* document) {
    if (model) model->setDocument(document);
}

} // namespace cmaccess
