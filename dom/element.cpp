#include "dom/element.h"
#include "dom/character_data.h"
#include "dom/content_model_access.h"
#include "dom/document.h"
#include "dom/element_validation.h"
#include "dom/entity_reference.h"
#include "dom/node_internal.h"
#include "dom/xml_output.h"
#include "text/dom_exception.h"

namespace {

const TdomNodeVector kNoAttributes;

// Runs of spaces become one space; leading and trailing spaces go.
std::u16string collapseSpaces(const std::u16string& value) {
    std::u16string result;
    result.reserve(value.size());
    bool pendingSpace = false;
    for (char16_t unit : value) {
        if (unit == u' ') {
            pendingSpace = !result.empty();
            continue;
        }
        if (pendingSpace) result += u' ';
        pendingSpace = false;
        result += unit;
    }
    return result;
}

} // namespace

// ---- TdomElement ----

TdomElement::AttributeBlock::AttributeBlock(TdomDocument* document, TdomElement* element)
    : map(document, nodeTypeBit(TdomNodeType::attribute), &storage, element) {}

TdomElement::TdomElement(TdomDocument* ownerDocument, const std::u16string* tagName)
    : TdomNode(ownerDocument, TdomNodeType::element, tagName) {}

TdomElement::~TdomElement() = default;

void TdomElement::AttributeBlockDeleter::operator()(AttributeBlock* block) const noexcept {
    TdomDocument* document = block->map.ownerDocument();
    const std::uint8_t sizeClass = block->sizeClass;
    const std::uint32_t page = block->page;
    block->~AttributeBlock();
    document->freeAttributeBlock(block, sizeClass, page);
}

TdomNamedNodeMap& TdomElement::map() {
    if (!attrs_) {
        std::uint8_t sizeClass;
        std::uint32_t page = 0;
        void* memory = ownerDocument()->allocateAttributeBlock(sizeof(AttributeBlock), sizeClass, page);
        attrs_.reset(new (memory) AttributeBlock(ownerDocument(), this));
        attrs_->sizeClass = sizeClass;
        attrs_->page = page;
        attrs_->map.setNamespaceAware(flag(kNamespaceAwareFlag));
        attrs_->map.setReadonly(flag(kMapReadonlyFlag));
        ownerDocument()->keepForDestruction(this);
    }
    return attrs_->map;
}

void TdomElement::setMapNamespaceAware(bool value) {
    if (attrs_)
        attrs_->map.setNamespaceAware(value);
    else
        setFlag(kNamespaceAwareFlag, value);
}

bool TdomElement::attributesNamespaceAware() const {
    return attrs_ ? attrs_->map.namespaceAware() : flag(kNamespaceAwareFlag);
}

const TdomNodeVector& TdomElement::attributeNodes() const { return attrs_ ? attrs_->storage : kNoAttributes; }

void TdomElement::releaseAttributes(std::vector<TdomNode*>& out) {
    if (!attrs_) return;
    for (TdomNode* attr : attrs_->storage) {
        static_cast<TdomAttr*>(attr)->ownerElement_ = nullptr;
        out.push_back(attr);
    }
    attrs_->storage.clear();
    attrs_->map.itemsCleared();
}

TdomElementListCaches& TdomElement::listCaches() {
    auto& slot = ownerDocument()->elementListCaches_[this];
    if (!slot) slot = std::make_unique<TdomElementListCaches>();
    setFlag(kListCachesFlag, true);
    return *slot;
}

std::vector<std::unique_ptr<TdomNodeList>>& TdomElement::elementListCache() { return listCaches().byName; }

std::vector<std::unique_ptr<TdomNodeList>>& TdomElement::elementListCacheNS() { return listCaches().byNamespace; }

void TdomElement::setNodeValue(std::u16string_view) {}

TdomNamedNodeMap* TdomElement::attributes() { return &map(); }

void TdomElement::setReadonly(bool value) {
    setReadonlyFlag(value);
    if (attrs_)
        attrs_->map.setReadonly(value);
    else
        setFlag(kMapReadonlyFlag, value);
}

void TdomElement::normalize() { dominternal::normalizeSubtree(this); }

bool TdomElement::validate(TdomCustomErrorHandler* errorHandler) {
    return domvalidation::validateTree(this, errorHandler);
}

bool TdomElement::checkIdReferences(TdomCustomErrorHandler* errorHandler) {
    // Every IDREF and IDREFS attribute of this element and the elements below it, entity content
    // included.
    bool valid = true;
    std::vector<TdomNode*> stack{this};
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        if (node->nodeType() == TdomNodeType::element)
            for (TdomNode* attribute : static_cast<TdomElement*>(node)->attributeNodes())
                if (!attribute->checkIdReferences(errorHandler)) valid = false;
        for (auto it = node->children().rbegin(); it != node->children().rend(); ++it) stack.push_back(*it);
    }
    return valid;
}

bool TdomElement::checkEntityReferences(int option) {
    for (TdomNode* attribute : attributeNodes())
        if (!attribute->checkEntityReferences(option)) return false;
    return TdomNode::checkEntityReferences(option);
}

void TdomElement::checkPlain() const {
    if (attributesNamespaceAware()) throw ENamespace_Err();
}

void TdomElement::checkNamespaceAware() const {
    if (!attributesNamespaceAware()) throw ENamespace_Err();
}

TdomAttr* TdomElement::findAttribute(std::u16string_view name) const {
    return attrs_ ? static_cast<TdomAttr*>(attrs_->map.findNamed(name)) : nullptr;
}

TdomAttr* TdomElement::findAttributeNS(std::u16string_view namespaceURI, std::u16string_view localName) const {
    return attrs_ ? static_cast<TdomAttr*>(attrs_->map.findNamedNS(namespaceURI, localName)) : nullptr;
}

std::u16string TdomElement::getAttribute(std::u16string_view name) {
    checkPlain();
    TdomAttr* attr = findAttribute(name);
    return attr ? attr->value() : std::u16string();
}

TdomAttr* TdomElement::setAttribute(std::u16string_view name, std::u16string_view value) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    checkPlain();
    if (TdomAttr* existing = findAttribute(name)) {
        existing->setValue(value);
        return nullptr;
    }
    TdomAttr* attr = ownerDocument()->createAttribute(name);
    try {
        attr->setValue(value);
        // setAttributeNode's checks of the attribute hold for a fresh one, and no attribute has its name.
        appendAttribute(attr);
    } catch (...) {
        ownerDocument()->destroyNode(attr);
        throw;
    }
    return attr;
}

void TdomElement::appendAttribute(TdomAttr* attr) {
    TdomNamedNodeMap& attributes = map();
    if (attributes.isReadonly()) throw ENo_Modification_Allowed_Err();
    attributes.addItem(attr);
}

TdomAttr* TdomElement::removeAttribute(std::u16string_view name) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    checkPlain();
    return removeAttributeNode(findAttribute(name));
}

TdomAttr* TdomElement::getAttributeNode(std::u16string_view name) {
    checkPlain();
    return findAttribute(name);
}

TdomAttr* TdomElement::setAttributeNode(TdomAttr* attr) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    checkPlain();
    if (!attr) throw ENot_Supported_Err();
    if (attr->ownerDocument() != ownerDocument()) throw EWrong_Document_Err();
    if (attr->ownerElement_ && attr->ownerElement_ != this) throw EInuse_Attribute_Err();
    if (attr->ownerElement_ == this) return nullptr;
    TdomAttr* replaced = findAttribute(attr->nodeName());
    if (!replaced) {
        // Of the map's checks only its read-only flag is left to fail, and no item has the name.
        appendAttribute(attr);
        return nullptr;
    }
    removeAttributeNode(replaced);
    map().setNamedItem(attr);
    return replaced;
}

TdomAttr* TdomElement::removeAttributeNode(TdomAttr* attr) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    if (!attr || !attrs_ || attr->ownerElement_ != this) throw ENot_Found_Err();
    attrs_->map.removeItem(attr);
    attr->ownerElement_ = nullptr;
    return attr;
}

std::u16string TdomElement::getAttributeNS(std::u16string_view namespaceURI, std::u16string_view localName) {
    checkNamespaceAware();
    TdomAttr* attr = findAttributeNS(namespaceURI, localName);
    return attr ? attr->value() : std::u16string();
}

TdomAttr* TdomElement::setAttributeNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                                      std::u16string_view value) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    checkNamespaceAware();
    std::u16string prefix, localName;
    dominternal::splitQualifiedName(namespaceURI, qualifiedName, true, prefix, localName);
    if (TdomAttr* existing = findAttributeNS(namespaceURI, localName)) {
        // The value first: a read-only attribute refuses it before the name changes.
        const std::u16string* name = ownerDocument()->intern(qualifiedName);
        existing->setValue(value);
        existing->setNodeNameInterned(name);
        return nullptr;
    }
    TdomAttr* attr = ownerDocument()->createAttributeNS(namespaceURI, qualifiedName);
    try {
        attr->setValue(value);
        setAttributeNodeNS(attr);
    } catch (...) {
        ownerDocument()->destroyNode(attr);
        throw;
    }
    return attr;
}

TdomAttr* TdomElement::removeAttributeNS(std::u16string_view namespaceURI, std::u16string_view localName) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    checkNamespaceAware();
    return removeAttributeNode(findAttributeNS(namespaceURI, localName));
}

TdomAttr* TdomElement::getAttributeNodeNS(std::u16string_view namespaceURI, std::u16string_view localName) {
    checkNamespaceAware();
    return findAttributeNS(namespaceURI, localName);
}

TdomAttr* TdomElement::setAttributeNodeNS(TdomAttr* attr) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    checkNamespaceAware();
    if (!attr) throw ENot_Supported_Err();
    if (attr->ownerDocument() != ownerDocument()) throw EWrong_Document_Err();
    if (attr->ownerElement_ && attr->ownerElement_ != this) throw EInuse_Attribute_Err();
    if (attr->ownerElement_ == this) return nullptr;
    TdomAttr* replaced = findAttributeNS(attr->namespaceURI(), attr->localName());
    if (replaced) removeAttributeNode(replaced);
    map().setNamedItemNS(attr);
    return replaced;
}

bool TdomElement::hasAttribute(std::u16string_view name) {
    checkPlain();
    return findAttribute(name) != nullptr;
}

bool TdomElement::hasAttributeNS(std::u16string_view namespaceURI, std::u16string_view localName) {
    checkNamespaceAware();
    return findAttributeNS(namespaceURI, localName) != nullptr;
}

// ---- TdomAttr ----

TdomAttr::TdomAttr(TdomDocument* ownerDocument, const std::u16string* name, bool specified)
    : TdomNode(ownerDocument, TdomNodeType::attribute, name) {
    setSpecified(specified);
}

std::u16string TdomAttr::value() const {
    std::u16string result;
    TdomCMObject* model = ownerDocument()->contentModel();
    for (TdomNode* child : children()) {
        if (child->nodeType() == TdomNodeType::text) {
            result += static_cast<TdomText*>(child)->data();
        } else if (child->nodeType() == TdomNodeType::entityReference) {
            const std::u16string& name = child->nodeName();
            if (name == u"lt")
                result += u"&#60;";
            else if (name == u"gt")
                result += u'>';
            else if (name == u"amp")
                result += u"&#38;";
            else if (name == u"apos")
                result += u'\'';
            else if (name == u"quot")
                result += u'"';
            else {
                TdomCMNode* entity = cmaccess::declaredEntity(model, name);
                if (!entity) throw EInvalid_Entity_Reference_Err();
                result += cmaccess::entityNormalizedValue(model, entity);
            }
        }
    }
    if (ownerElement_ && model) {
        cmaccess::AttributeDefinition definition;
        if (cmaccess::attributeDefinition(model, ownerElement_->nodeName(), nodeName(), definition) &&
            definition.declaredType != u"CDATA")
            result = collapseSpaces(result);
    }
    return result;
}

void TdomAttr::setValue(std::u16string_view value) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    TdomText* text = ownerDocument()->createTextNode(value);
    // The old children stay alive, parentless: a caller may still hold one.
    if (hasChildNodes()) ownerDocument()->detachChildren(this);
    appendChild(text);
}

std::u16string TdomAttr::escapedValue() const {
    std::u16string result;
    for (TdomNode* child : children()) {
        if (child->nodeType() == TdomNodeType::text) {
            appendEscapedAttributeText(result, static_cast<TdomText*>(child)->data());
        } else if (child->nodeType() == TdomNodeType::entityReference) {
            result += u'&';
            result += child->nodeName();
            result += u';';
        }
    }
    return result;
}

void TdomAttr::normalize() { dominternal::normalizeSubtree(this); }

bool TdomAttr::validate(TdomCustomErrorHandler* errorHandler) {
    return domvalidation::validateTree(this, errorHandler);
}

bool TdomAttr::checkIdReferences(TdomCustomErrorHandler* errorHandler) {
    return domvalidation::checkIdReferences(this, errorHandler);
}

bool TdomAttr::checkEntityReferences(int option) { return TdomNode::checkEntityReferences(option); }
