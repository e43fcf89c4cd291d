#include "dom/cm_object.h"

#include <unordered_set>
#include <utility>
#include <vector>

#include "dom/cm_declaration.h"
#include "dom/cm_report.h"
#include "text/dom_exception.h"
#include "text/parser_exception.h"

// ---- TdomCustomCMObject ----

TdomCustomCMObject::TdomCustomCMObject(TDomImplementation* implementation, TdomCMNodeType type, std::u16string name,
                                       TdomCMNodeTypeSet permittedChildTypes)
    : TdomCMNode(this, type, std::move(name), u"", permittedChildTypes), domImplementation_(implementation) {}

TdomCustomCMObject::~TdomCustomCMObject() {
    // The nodes refer to each other only by raw pointers, so each is freed on its own.
    for (TdomCMNode* node : createdNodes_) delete node;
}

TdomCMNode* TdomCustomCMObject::registerNode(std::unique_ptr<TdomCMNode> node) {
    node->registryIndex_ = createdNodes_.size();
    createdNodes_.push_back(node.get());
    return node.release();
}

template <class T> T* TdomCustomCMObject::adopt(std::unique_ptr<T> node) {
    T* raw = node.get();
    registerNode(std::unique_ptr<TdomCMNode>(node.release()));
    return raw;
}

void TdomCustomCMObject::unregisterAndDelete(TdomCMNode* node) {
    std::size_t index = node->registryIndex_;
    TdomCMNode* last = createdNodes_.back();
    createdNodes_[index] = last;
    last->registryIndex_ = index;
    createdNodes_.pop_back();
    delete node;
}

void TdomCustomCMObject::freeNode(TdomCMNode*& node) {
    if (!node) return;
    if (node == this) throw ENo_Modification_Allowed_Err();
    if (node->owner() != this) throw EWrong_Document_Err();
    if (node->parentNode()) throw EInuse_Node_Err();
    std::vector<TdomCMNode*> pending{node};
    while (!pending.empty()) {
        TdomCMNode* current = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), current->children_.begin(), current->children_.end());
        unregisterAndDelete(current);
    }
    node = nullptr;
}

TdomCMNode* TdomCustomCMObject::cloneNode(bool) const { throw ENot_Supported_Err(); }

TdomCMEntityDeclaration* TdomCustomCMObject::findEntityDeclaration(std::u16string_view) const { return nullptr; }

TdomCMParameterEntityDeclaration* TdomCustomCMObject::findParameterEntityDeclaration(std::u16string_view) const {
    return nullptr;
}

bool TdomCustomCMObject::findParameterEntityText(std::u16string_view, std::u16string&) const { return false; }

TdomCMProcessingInstruction* TdomCustomCMObject::createProcessingInstruction(const std::u16string& target,
                                                                             const std::u16string& data) {
    return adopt(std::make_unique<TdomCMProcessingInstruction>(this, target, data));
}

TdomCMComment* TdomCustomCMObject::createComment(const std::u16string& data) {
    return adopt(std::make_unique<TdomCMComment>(this, data));
}

TdomCMFragment* TdomCustomCMObject::createFragment() { return adopt(std::make_unique<TdomCMFragment>(this)); }

TdomCMAttribute* TdomCustomCMObject::createAttribute(const std::u16string& name) {
    return adopt(std::make_unique<TdomCMAttribute>(this, name));
}

TdomCMNotation* TdomCustomCMObject::createNotation(const std::u16string& name, const std::u16string& publicId,
                                                   const std::u16string& systemId) {
    return adopt(std::make_unique<TdomCMNotation>(this, name, publicId, systemId));
}

TdomCMEntity* TdomCustomCMObject::createEntity(const std::u16string& name, const std::u16string& value,
                                               const std::u16string& publicId, const std::u16string& systemId,
                                               const std::u16string& notationName) {
    return adopt(std::make_unique<TdomCMEntity>(this, name, value, publicId, systemId, notationName));
}

TdomCMParameterEntity* TdomCustomCMObject::createParameterEntity(const std::u16string& name,
                                                                 const std::u16string& value,
                                                                 const std::u16string& publicId,
                                                                 const std::u16string& systemId) {
    return adopt(std::make_unique<TdomCMParameterEntity>(this, name, value, publicId, systemId));
}

TdomCMParameterEntityReference* TdomCustomCMObject::createParameterEntityReference(const std::u16string& name) {
    return adopt(std::make_unique<TdomCMParameterEntityReference>(this, name));
}

TdomCMEntityDeclaration* TdomCustomCMObject::createEntityDeclaration(const std::u16string& name,
                                                                     const std::u16string& value,
                                                                     const std::u16string& publicId,
                                                                     const std::u16string& systemId,
                                                                     const std::u16string& notation) {
    return adopt(std::make_unique<TdomCMEntityDeclaration>(this, name, value, publicId, systemId, notation));
}

TdomCMParameterEntityDeclaration* TdomCustomCMObject::createParameterEntityDeclaration(const std::u16string& name,
                                                                                       const std::u16string& value,
                                                                                       const std::u16string& publicId,
                                                                                       const std::u16string& systemId) {
    return adopt(std::make_unique<TdomCMParameterEntityDeclaration>(this, name, value, publicId, systemId));
}

TdomCMElementTypeDeclaration* TdomCustomCMObject::createElementTypeDeclaration(const std::u16string& name,
                                                                               TdomCMContentKind contentKind) {
    return adopt(std::make_unique<TdomCMElementTypeDeclaration>(this, name, contentKind));
}

TdomCMSequenceParticle* TdomCustomCMObject::createSequenceParticle(const std::u16string& occurrence) {
    return adopt(std::make_unique<TdomCMSequenceParticle>(this, occurrence));
}

TdomCMChoiceParticle* TdomCustomCMObject::createChoiceParticle(const std::u16string& occurrence) {
    return adopt(std::make_unique<TdomCMChoiceParticle>(this, occurrence));
}

TdomCMPcdataChoiceParticle* TdomCustomCMObject::createPcdataChoiceParticle(const std::u16string& occurrence) {
    return adopt(std::make_unique<TdomCMPcdataChoiceParticle>(this, occurrence));
}

TdomCMElementParticle* TdomCustomCMObject::createElementParticle(const std::u16string& name,
                                                                 const std::u16string& occurrence) {
    return adopt(std::make_unique<TdomCMElementParticle>(this, name, occurrence));
}

TdomCMAttrList* TdomCustomCMObject::createAttrList(const std::u16string& elementName) {
    return adopt(std::make_unique<TdomCMAttrList>(this, elementName));
}

TdomCMAttrDefinition* TdomCustomCMObject::createAttrDefinition(const std::u16string& name,
                                                               const std::u16string& declaredType,
                                                               const std::u16string& defaultKind,
                                                               const std::u16string& defaultValue) {
    return adopt(std::make_unique<TdomCMAttrDefinition>(this, name, declaredType, defaultKind, defaultValue));
}

TdomCMNotationDeclaration* TdomCustomCMObject::createNotationDeclaration(const std::u16string& name,
                                                                         const std::u16string& publicId,
                                                                         const std::u16string& systemId) {
    return adopt(std::make_unique<TdomCMNotationDeclaration>(this, name, publicId, systemId));
}

TdomCMNameParticle* TdomCustomCMObject::createNameParticle(const std::u16string& name) {
    return adopt(std::make_unique<TdomCMNameParticle>(this, name));
}

TdomCMNmtokenParticle* TdomCustomCMObject::createNmtokenParticle(const std::u16string& token) {
    return adopt(std::make_unique<TdomCMNmtokenParticle>(this, token));
}

// ---- TdomCustomCMIEObject ----

TdomCustomCMIEObject::TdomCustomCMIEObject(TDomImplementation* implementation, TdomCMNodeType type, std::u16string name,
                                           std::u16string publicId, std::u16string systemId)
    : TdomCustomCMObject(implementation, type, std::move(name), kCMDeclarationTypes), publicId_(std::move(publicId)),
      systemId_(std::move(systemId)) {}

TdomCustomCMIEObject::~TdomCustomCMIEObject() {
    if (contentModel_) {
        if (contentModel_->internalSubset_ == this) contentModel_->internalSubset_ = nullptr;
        if (contentModel_->externalSubset_ == this) contentModel_->externalSubset_ = nullptr;
    }
}

void TdomCustomCMIEObject::childInserted(TdomCMNode* child) {
    switch (child->nodeType()) {
    case TdomCMNodeType::elementTypeDeclaration:
        elementTypes_.add(child);
        break;
    case TdomCMNodeType::attrList:
        attrLists_.add(static_cast<TdomCMAttrList*>(child));
        break;
    case TdomCMNodeType::entityDeclaration:
        entities_.add(static_cast<TdomCustomCMEntDecl*>(child));
        break;
    case TdomCMNodeType::parameterEntityDeclaration:
        parameterEntities_.add(static_cast<TdomCustomCMEntDecl*>(child));
        break;
    case TdomCMNodeType::notationDeclaration:
        notations_.add(child);
        break;
    default:
        break;
    }
}

void TdomCustomCMIEObject::childRemoving(TdomCMNode* child) {
    switch (child->nodeType()) {
    case TdomCMNodeType::elementTypeDeclaration:
        elementTypes_.remove(child);
        break;
    case TdomCMNodeType::attrList:
        attrLists_.remove(static_cast<TdomCMAttrList*>(child));
        break;
    case TdomCMNodeType::entityDeclaration:
        entities_.remove(static_cast<TdomCustomCMEntDecl*>(child));
        break;
    case TdomCMNodeType::parameterEntityDeclaration:
        parameterEntities_.remove(static_cast<TdomCustomCMEntDecl*>(child));
        break;
    case TdomCMNodeType::notationDeclaration:
        notations_.remove(child);
        break;
    default:
        break;
    }
}

TdomCMElementTypeDeclaration* TdomCustomCMIEObject::findOwnElementTypeDeclaration(std::u16string_view name) const {
    return static_cast<TdomCMElementTypeDeclaration*>(elementTypes_.getNamedItem(name));
}

TdomCMAttrDefinition* TdomCustomCMIEObject::findOwnAttrDefinition(std::u16string_view elementName,
                                                                  std::u16string_view attributeName) const {
    return attrLists_.getAttrDefinition(elementName, attributeName);
}

TdomCMEntityDeclaration* TdomCustomCMIEObject::findOwnEntityDeclaration(std::u16string_view name) const {
    return static_cast<TdomCMEntityDeclaration*>(entities_.getNamedItem(name));
}

TdomCMParameterEntityDeclaration*
TdomCustomCMIEObject::findOwnParameterEntityDeclaration(std::u16string_view name) const {
    return static_cast<TdomCMParameterEntityDeclaration*>(parameterEntities_.getNamedItem(name));
}

TdomCMNotationDeclaration* TdomCustomCMIEObject::findOwnNotationDeclaration(std::u16string_view name) const {
    return static_cast<TdomCMNotationDeclaration*>(notations_.getNamedItem(name));
}

TdomCMEntityDeclaration* TdomCustomCMIEObject::findEntityDeclaration(std::u16string_view name) const {
    return contentModel_ ? contentModel_->findEntityDeclaration(name) : findOwnEntityDeclaration(name);
}

TdomCMParameterEntityDeclaration* TdomCustomCMIEObject::findParameterEntityDeclaration(std::u16string_view name) const {
    return contentModel_ ? contentModel_->findParameterEntityDeclaration(name)
                         : findOwnParameterEntityDeclaration(name);
}

namespace {
bool findInList(const TdomNameValueList& list, std::u16string_view name, std::u16string& text) {
    // Exact comparison: entity names are case-sensitive.
    for (int i = 0; i < list.pairCount(); ++i) {
        if (list.nameAt(i) == name) {
            text = list.valueAt(i);
            return true;
        }
    }
    return false;
}
} // namespace

bool TdomCustomCMIEObject::findParameterEntityText(std::u16string_view name, std::u16string& text) const {
    if (contentModel_) return contentModel_->findParameterEntityText(name, text);
    return findInList(parameterEntityList_, name, text);
}

bool TdomCustomCMIEObject::selfCheck(TdomCustomErrorHandler* errorHandler) const {
    for (const TdomCMNode* child : children())
        if (!child->selfCheck(errorHandler)) return false;
    return true;
}

void TdomCustomCMIEObject::declarationParts(DeclarationParts& parts) const { parts.afterEach.push_back(u'\n'); }

TdomCMExternalObject::TdomCMExternalObject(TDomImplementation* implementation, std::u16string publicId,
                                           std::u16string systemId)
    : TdomCustomCMIEObject(implementation, TdomCMNodeType::externalObject, u"#cm-external-object", std::move(publicId),
                           std::move(systemId)) {}

TdomCMInternalObject::TdomCMInternalObject(TDomImplementation* implementation, std::u16string publicId,
                                           std::u16string systemId)
    : TdomCustomCMIEObject(implementation, TdomCMNodeType::internalObject, u"#cm-internal-object", std::move(publicId),
                           std::move(systemId)) {}

// ---- TdomCMObject ----

TdomCMObject::TdomCMObject(TDomImplementation* implementation)
    : TdomCustomCMObject(implementation, TdomCMNodeType::object, u"#cm-object", 0) {}

TdomCMObject::~TdomCMObject() {
    setInternalSubset(nullptr);
    setExternalSubset(nullptr);
}

void TdomCMObject::setInternalSubset(TdomCMInternalObject* subset) {
    if (internalSubset_ == subset) return;
    if (internalSubset_) internalSubset_->contentModel_ = nullptr;
    internalSubset_ = nullptr;
    if (subset) {
        if (TdomCMObject* previous = subset->contentModel_) previous->setInternalSubset(nullptr);
        subset->contentModel_ = this;
        internalSubset_ = subset;
    }
}

void TdomCMObject::setExternalSubset(TdomCMExternalObject* subset) {
    if (externalSubset_ == subset) return;
    if (externalSubset_) externalSubset_->contentModel_ = nullptr;
    externalSubset_ = nullptr;
    if (subset) {
        if (TdomCMObject* previous = subset->contentModel_) previous->setExternalSubset(nullptr);
        subset->contentModel_ = this;
        externalSubset_ = subset;
    }
}

TdomCMElementTypeDeclaration* TdomCMObject::findElementTypeDeclaration(std::u16string_view name) const {
    if (internalSubset_)
        if (auto* found = internalSubset_->findOwnElementTypeDeclaration(name)) return found;
    return externalSubset_ ? externalSubset_->findOwnElementTypeDeclaration(name) : nullptr;
}

bool TdomCMObject::hasElementContent(std::u16string_view elementName) const {
    const TdomCMElementTypeDeclaration* declaration = findElementTypeDeclaration(elementName);
    return declaration && declaration->hasElementContent();
}

TdomCMAttrDefinition* TdomCMObject::findAttrDefinition(std::u16string_view elementName,
                                                       std::u16string_view attributeName) const {
    if (internalSubset_)
        if (auto* found = internalSubset_->findOwnAttrDefinition(elementName, attributeName)) return found;
    return externalSubset_ ? externalSubset_->findOwnAttrDefinition(elementName, attributeName) : nullptr;
}

std::vector<TdomCMAttrDefinition*> TdomCMObject::attrDefinitionsOf(std::u16string_view elementName) const {
    std::vector<TdomCMAttrDefinition*> definitions;
    if (internalSubset_) definitions = internalSubset_->attrLists().attrDefinitionsOf(elementName);
    if (externalSubset_) {
        std::unordered_set<std::u16string_view> seen;
        for (const TdomCMAttrDefinition* definition : definitions) seen.insert(definition->nodeName());
        for (TdomCMAttrDefinition* definition : externalSubset_->attrLists().attrDefinitionsOf(elementName))
            if (seen.insert(definition->nodeName()).second) definitions.push_back(definition);
    }
    return definitions;
}

TdomCMEntityDeclaration* TdomCMObject::findEntityDeclaration(std::u16string_view name) const {
    if (internalSubset_)
        if (auto* found = internalSubset_->findOwnEntityDeclaration(name)) return found;
    return externalSubset_ ? externalSubset_->findOwnEntityDeclaration(name) : nullptr;
}

TdomCMParameterEntityDeclaration* TdomCMObject::findParameterEntityDeclaration(std::u16string_view name) const {
    if (internalSubset_)
        if (auto* found = internalSubset_->findOwnParameterEntityDeclaration(name)) return found;
    return externalSubset_ ? externalSubset_->findOwnParameterEntityDeclaration(name) : nullptr;
}

TdomCMNotationDeclaration* TdomCMObject::findNotationDeclaration(std::u16string_view name) const {
    if (internalSubset_)
        if (auto* found = internalSubset_->findOwnNotationDeclaration(name)) return found;
    return externalSubset_ ? externalSubset_->findOwnNotationDeclaration(name) : nullptr;
}

bool TdomCMObject::findParameterEntityText(std::u16string_view name, std::u16string& text) const {
    if (internalSubset_ && findInList(internalSubset_->parameterEntityList(), name, text)) return true;
    return externalSubset_ && findInList(externalSubset_->parameterEntityList(), name, text);
}

bool TdomCMObject::selfCheck(TdomCustomErrorHandler* errorHandler) const {
    bool ok = !internalSubset_ || internalSubset_->selfCheck(errorHandler);
    if (externalSubset_ && !externalSubset_->selfCheck(errorHandler)) ok = false;
    return checkDeclarationsTogether(errorHandler) && ok;
}

bool TdomCMObject::checkDeclarationsTogether(TdomCustomErrorHandler* errorHandler) const {
    bool ok = true;
    auto problem = [&](const TdomCMNode* sender, std::string_view errorClass, std::u16string_view code) {
        reportContentModelError(errorHandler, sender, errorClass, code);
        ok = false;
    };
    std::unordered_set<std::u16string_view> elementTypes;
    std::vector<std::u16string_view> attributedTypes;
    std::unordered_set<std::u16string_view> attributedSeen;
    for (const TdomCustomCMIEObject* subset : {static_cast<const TdomCustomCMIEObject*>(internalSubset_),
                                               static_cast<const TdomCustomCMIEObject*>(externalSubset_)}) {
        if (!subset) continue;
        for (const TdomCMNode* child : subset->children()) {
            switch (child->nodeType()) {
            case TdomCMNodeType::elementTypeDeclaration:
                if (!elementTypes.insert(child->nodeName()).second)
                    problem(child, EParserDouble_Element_Type_Declaration_Err::kClassName, child->nodeName());
                break;
            case TdomCMNodeType::attrList:
                if (attributedSeen.insert(child->nodeName()).second) attributedTypes.push_back(child->nodeName());
                break;
            case TdomCMNodeType::entityDeclaration: {
                const auto* entity = static_cast<const TdomCMEntityDeclaration*>(child);
                if (!entity->notation().empty() && !findNotationDeclaration(entity->notation()))
                    problem(child, EParserUndeclared_Notation_Name_Err::kClassName, entity->notation());
                break;
            }
            default:
                break;
            }
        }
    }
    // The binding attribute definitions of each element type: one ID and one NOTATION attribute at
    // most, no NOTATION attribute on an EMPTY element type, and only declared notations named.
    for (std::u16string_view elementName : attributedTypes) {
        int ids = 0, notations = 0;
        for (const TdomCMAttrDefinition* definition : attrDefinitionsOf(elementName)) {
            if (definition->declaredType() == u"ID" && ++ids == 2)
                problem(definition, EParserDuplicate_ID_On_Element_Type_Err::kClassName, elementName);
            if (definition->declaredType() != u"NOTATION") continue;
            if (++notations == 2)
                problem(definition, EParserDuplicate_Notation_On_Element_Type_Err::kClassName, elementName);
            const TdomCMElementTypeDeclaration* element = findElementTypeDeclaration(elementName);
            if (element && element->contentKind() == TdomCMContentKind::empty)
                problem(definition, EParserNotation_On_Empty_Element_Err::kClassName, elementName);
            for (const TdomCMNode* name : definition->children())
                if (!findNotationDeclaration(name->nodeName()))
                    problem(definition, EParserUndeclared_Notation_Name_Err::kClassName, name->nodeName());
        }
    }
    return ok;
}

bool TdomCMObject::validateElementContent(std::u16string_view elementName, std::span<const std::u16string> childNames,
                                          TdomCustomErrorHandler* errorHandler) const {
    const TdomCMElementTypeDeclaration* declaration = findElementTypeDeclaration(elementName);
    if (declaration) return declaration->validateChildNames(childNames, errorHandler, std::u16string(elementName));
    reportContentModelError(errorHandler, this, EParserElement_With_Illegal_Element_Content_Err::kClassName,
                            std::u16string(elementName));
    return false;
}
