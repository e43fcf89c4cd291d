#include "dom/content_model_access.h"

#include "dtd/cm_declaration.h"
#include "dtd/cm_object.h"

namespace cmaccess {

namespace {
TdomCMEntityDeclaration* asEntity(TdomCMNode* node) {
    return node && node->nodeType() == TdomCMNodeType::entityDeclaration ? static_cast<TdomCMEntityDeclaration*>(node)
                                                                         : nullptr;
}
AttributeDefinition toDefinition(const TdomCMAttrDefinition* d) {
    return AttributeDefinition{d->nodeName(), d->declaredType(), d->defaultKind(), d->defaultValue()};
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

TdomDocument* attachedDocument(TdomCMObject* model) { return model ? model->document() : nullptr; }

void setAttachedDocument(TdomCMObject* model, TdomDocument* document) {
    if (model) model->setDocument(document);
}

} // namespace cmaccess
