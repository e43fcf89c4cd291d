#include "dom/node.h"

#include <iterator>
#include <utility>
#include <vector>

#include "dom/content_model_access.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/element_validation.h"
#include "dom/entity_reference.h"
#include "dom/named_node_map.h"
#include "dom/node_internal.h"
#include "text/code_page_932.h"
#include "text/dom_exception.h"
#include "text/xml_chars.h"

namespace {

const std::u16string kEmpty;
const std::u16string kBareNodeName;

using T = TdomNodeType;
constexpr TdomNodeTypeSet kContentChildren = nodeTypeSet({T::element, T::text, T::cdataSection, T::entityReference,
                                                          T::processingInstruction, T::comment, T::documentFragment});

// The children each node type accepts, by type code.
constexpr TdomNodeTypeSet kAllowedChildKinds[] = {
    /* unknown */ nodeTypeSet({T::element, T::text, T::cdataSection, T::entityReference, T::processingInstruction,
                               T::comment, T::documentType, T::documentFragment, T::notation}),
    /* element */ kContentChildren,
    /* attribute */ nodeTypeSet({T::text, T::entityReference, T::documentFragment}),
    /* text */ 0,
    /* cdataSection */ 0,
    /* entityReference */ kContentChildren,
    /* entity */ kContentChildren,
    /* processingInstruction */ 0,
    /* comment */ 0,
    /* document */
    nodeTypeSet({T::element, T::processingInstruction, T::comment, T::documentType, T::documentFragment}),
    /* documentType */ 0,
    /* documentFragment */
    nodeTypeSet({T::element, T::text, T::cdataSection, T::entityReference, T::processingInstruction, T::comment,
                 T::documentType, T::documentFragment}),
    /* notation */ 0,
};
static_assert(std::size(kAllowedChildKinds) == static_cast<std::size_t>(T::notation) + 1);

bool isElementNamed(const TdomNode* node, std::u16string_view name) {
    return node->nodeType() == TdomNodeType::element && node->nodeName() == name;
}

bool isElementNamedNS(const TdomNode* node, std::u16string_view namespaceURI, std::u16string_view localName) {
    return node->nodeType() == TdomNodeType::element && node->namespaceURI() == namespaceURI &&
           node->localName() == localName;
}

bool asciiEqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// Pre-order walk of the descendants of root (root excluded) with an explicit stack, so that deep
// trees cannot exhaust the call stack. visit(node) answers whether to descend into node; it may
// change node's own children before the walk descends into them.
template <class Visit> void walkDescendants(TdomNode* root, Visit visit) {
    std::vector<std::pair<TdomNode*, std::size_t>> stack;
    stack.emplace_back(root, 0);
    while (!stack.empty()) {
        auto& [node, index] = stack.back();
        if (index >= node->children().size()) {
            stack.pop_back();
            continue;
        }
        TdomNode* child = node->children()[index++];
        if (visit(child)) stack.emplace_back(child, 0);
    }
}

} // namespace

bool isPredefinedEntityName(std::u16string_view name) { return !predefinedEntityText(name).empty(); }

std::u16string_view predefinedEntityText(std::u16string_view name) {
    if (name == u"lt") return u"<";
    if (name == u"gt") return u">";
    if (name == u"amp") return u"&";
    if (name == u"apos") return u"'";
    if (name == u"quot") return u"\"";
    return {};
}

// ---- TdomNodeList ----

int TdomNodeList::length() const { return items_ ? static_cast<int>(items_->size()) : 0; }

int TdomNodeList::indexOf(const TdomNode* node) const {
    if (!items_) return -1;
    for (std::size_t i = 0; i < items_->size(); ++i)
        if ((*items_)[i] == node) return static_cast<int>(i);
    return -1;
}

TdomNode* TdomNodeList::item(int index) const {
    if (!items_ || index < 0 || static_cast<std::size_t>(index) >= items_->size()) return nullptr;
    return (*items_)[static_cast<std::size_t>(index)];
}

// ---- TdomNode: construction ----

TdomNode::TdomNode(TdomDocument* ownerDocument) : TdomNode(ownerDocument, TdomNodeType::unknown, &kBareNodeName) {}

TdomNode::~TdomNode() = default;

TdomNodeTypeSet TdomNode::allowedChildKinds() const { return kAllowedChildKinds[static_cast<std::size_t>(type_)]; }

void TdomNode::setNamespaceParts(const std::u16string* namespaceURI, const std::u16string* prefix,
                                 const std::u16string* localName) {
    ownerDocument_->namespaceParts_[this] = TdomNamespaceParts{namespaceURI, prefix, localName};
    setFlag(kNamespacePartsFlag, true);
}

const std::u16string& TdomNode::localName() const {
    return hasNamespaceParts() ? *ownerDocument_->namespaceParts_.at(this).localName : kEmpty;
}
const std::u16string& TdomNode::namespaceURI() const {
    return hasNamespaceParts() ? *ownerDocument_->namespaceParts_.at(this).namespaceURI : kEmpty;
}
const std::u16string& TdomNode::prefix() const {
    return hasNamespaceParts() ? *ownerDocument_->namespaceParts_.at(this).prefix : kEmpty;
}

// ---- entity-related walks ----

void TdomNode::setDescendantsReadonly() {
    walkDescendants(this, [](TdomNode* node) {
        node->setReadonly(true);
        return true;
    });
}

bool TdomNode::dependsOnExternalEntity() {
    TdomCMObject* model = ownerDocument_ ? ownerDocument_->contentModel() : nullptr;
    if (!model) return false;
    bool found = false;
    walkDescendants(this, [&](TdomNode* node) {
        if (found) return false;
        if (node->nodeType() == TdomNodeType::entityReference) {
            if (TdomCMNode* entity = cmaccess::declaredEntity(model, node->nodeName())) {
                found = cmaccess::entityRefersToExternal(model, entity);
                return false;
            }
        }
        return true;
    });
    return found;
}

bool TdomNode::hasUnresolvableReference() {
    TdomCMObject* model = ownerDocument_ ? ownerDocument_->contentModel() : nullptr;
    if (!model) return false;
    bool found = false;
    walkDescendants(this, [&](TdomNode* node) {
        if (found) return false;
        if (node->nodeType() == TdomNodeType::entityReference) {
            if (TdomCMNode* entity = cmaccess::declaredEntity(model, node->nodeName()))
                found = cmaccess::entityRefersToUnparsed(model, entity);
            else
                found = !isPredefinedEntityName(node->nodeName());
            return false;
        }
        return true;
    });
    return found;
}

bool TdomNode::containsEntityReference(std::u16string_view name) const {
    bool found = false;
    walkDescendants(const_cast<TdomNode*>(this), [&](TdomNode* node) {
        if (found) return false;
        if (node->nodeType() == TdomNodeType::entityReference && node->nodeName() == name) found = true;
        return !found;
    });
    return found;
}

void TdomNode::expandEntityReferencesNamed(std::u16string_view name) {
    walkDescendants(this, [&](TdomNode* node) {
        if (node->nodeType() == TdomNodeType::entityReference && node->nodeName() == name)
            ownerDocument_->fillEntityReference(node);
        return true;
    });
}

void TdomNode::clearEntityReferencesNamed(std::u16string_view name) {
    walkDescendants(this, [&](TdomNode* node) {
        if (node->nodeType() == TdomNodeType::entityReference && node->nodeName() == name) {
            ownerDocument_->emptyNode(node);
            return false;
        }
        return true;
    });
}

// ---- values and simple accessors ----

std::u16string TdomNode::nodeValue() const { return std::u16string(); }

void TdomNode::setNodeValue(std::u16string_view) {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
}

TdomNamedNodeMap* TdomNode::attributes() { return nullptr; }

TdomNode* TdomNode::parentNode() const { return parent_; }

int TdomNode::indexOfChild(const TdomNode* child) const {
    for (std::size_t i = 0; i < children_.size(); ++i)
        if (children_[i] == child) return static_cast<int>(i);
    return -1;
}

TdomNode* TdomNode::previousSibling() const {
    if (!parent_) return nullptr;
    int i = parent_->indexOfChild(this);
    return i > 0 ? parent_->children_[static_cast<std::size_t>(i - 1)] : nullptr;
}

TdomNode* TdomNode::nextSibling() const {
    if (!parent_) return nullptr;
    int i = parent_->indexOfChild(this);
    if (i < 0 || static_cast<std::size_t>(i) + 1 >= parent_->children_.size()) return nullptr;
    return parent_->children_[static_cast<std::size_t>(i) + 1];
}

std::u16string TdomNode::textContent() const {
    switch (type_) {
    case TdomNodeType::attribute:
    case TdomNodeType::text:
    case TdomNodeType::cdataSection:
    case TdomNodeType::processingInstruction:
    case TdomNodeType::comment:
        return nodeValue();
    case TdomNodeType::element:
    case TdomNodeType::entityReference:
    case TdomNodeType::entity:
    case TdomNodeType::document:
    case TdomNodeType::documentFragment:
        break;
    default:
        return std::u16string();
    }
    std::u16string result;
    walkDescendants(const_cast<TdomNode*>(this), [&](TdomNode* node) {
        switch (node->nodeType()) {
        case TdomNodeType::comment:
        case TdomNodeType::processingInstruction:
            return false;
        case TdomNodeType::attribute:
        case TdomNodeType::text:
        case TdomNodeType::cdataSection:
            result += node->nodeValue();
            return false;
        case TdomNodeType::element:
        case TdomNodeType::entityReference:
        case TdomNodeType::entity:
        case TdomNodeType::document:
        case TdomNodeType::documentFragment:
            return true;
        default:
            return false;
        }
    });
    return result;
}

std::u16string TdomNode::baseURI() const {
    // Walk up to the first node whose base is known outright, collecting the relative xml:base
    // values met on the way; then resolve them from the top down.
    std::vector<std::u16string> pending;
    std::u16string base;
    const TdomNode* node = this;
    while (node) {
        const TdomNode* next = nullptr;
        switch (node->nodeType()) {
        case TdomNodeType::document:
            base = static_cast<const TdomDocument*>(node)->documentBaseUri();
            break;
        case TdomNodeType::element: {
            const TdomAttr* attr = dominternal::findXmlBaseAttribute(static_cast<const TdomElement*>(node));
            if (attr) {
                std::u16string value = attr->value();
                if (dominternal::uriHasScheme(value)) {
                    base = value;
                    break;
                }
                pending.push_back(std::move(value));
            }
            next = node->parent_;
            break;
        }
        case TdomNodeType::attribute: {
            const TdomElement* owner = static_cast<const TdomAttr*>(node)->ownerElement();
            if (!owner) break;
            next = dominternal::isXmlBaseAttribute(static_cast<const TdomAttr*>(node)) ? owner->parent_ : owner;
            break;
        }
        case TdomNodeType::text:
        case TdomNodeType::cdataSection:
        case TdomNodeType::entityReference:
        case TdomNodeType::processingInstruction:
        case TdomNodeType::comment:
        case TdomNodeType::documentType:
            next = node->parent_;
            break;
        case TdomNodeType::entity:
        case TdomNodeType::notation:
            next = node->ownerDocument_;
            break;
        default:
            break;
        }
        node = next;
    }
    while (!pending.empty()) {
        base = dominternal::resolveUriReference(base, pending.back());
        pending.pop_back();
    }
    return base;
}

void TdomNode::setReadonly(bool value) { setReadonlyFlag(value); }

void TdomNode::setPrefix(std::u16string_view newPrefix) {
    if (!checkName(newPrefix)) throw EInvalid_Character_Err();
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
    if (!checkNCName(newPrefix)) throw ENamespace_Err();
    const std::u16string& uri = namespaceURI();
    if (uri.empty()) throw ENamespace_Err();
    if (newPrefix == u"xml" && uri != kXmlNamespaceUri) throw ENamespace_Err();
    if (type_ == TdomNodeType::attribute) {
        if (newPrefix == u"xmlns" && uri != kXmlnsNamespaceUri) throw ENamespace_Err();
        if (nodeName() == u"xmlns") throw ENamespace_Err();
    }
    std::u16string qualified(newPrefix);
    qualified += u':';
    qualified += localName();
    ownerDocument_->namespaceParts_.at(this).prefix = ownerDocument_->intern(newPrefix);
    name_ = ownerDocument_->intern(qualified);
    if (type_ == TdomNodeType::attribute)
        if (TdomElement* owner = static_cast<TdomAttr*>(this)->ownerElement()) owner->attributes()->itemRenamed();
}

bool TdomNode::validate(TdomCustomErrorHandler*) { throw ENot_Supported_Err(); }

bool TdomNode::checkIdReferences(TdomCustomErrorHandler*) { throw ENot_Supported_Err(); }

// ---- tree mutation ----

void TdomNode::checkNewChild(TdomNode* newChild, const TdomNode* refChild) const {
    if (!newChild) throw ENot_Supported_Err();
    if (!nodeTypeSetContains(allowedChildKinds(), newChild->type_)) throw EHierarchy_Request_Err();
    if (newChild->ownerDocument_ != ownerDocument_) throw EWrong_Document_Err();
    // A node without children cannot be an ancestor of this one; skipping the walk keeps building a
    // deep tree linear.
    bool isAncestor = !newChild->children_.empty() && hasAncestor(newChild);
    if (isAncestor || newChild == this || newChild == refChild) throw EHierarchy_Request_Err();
    if (isReadonly() || (newChild->parent_ && newChild->parent_->isReadonly())) throw ENo_Modification_Allowed_Err();
}

void TdomNode::checkWritable() const {
    if (isReadonly()) throw ENo_Modification_Allowed_Err();
}

void TdomNode::adoptChild(TdomNode* newChild, int index) {
    // Room first, so that running out of memory leaves newChild where it was.
    children_.reserve(children_.size() + 1);
    if (newChild->parent_) newChild->parent_->removeChild(newChild);
    if (index < 0 || static_cast<std::size_t>(index) >= children_.size())
        children_.push_back(newChild);
    else
        children_.insert(children_.begin() + index, newChild);
    newChild->parent_ = this;
    if (children_.holdsBlock()) ownerDocument_->keepForDestruction(this);
}

void TdomNode::detachChildAt(int index) {
    TdomNode* child = children_[static_cast<std::size_t>(index)];
    ownerDocument_->notifyNodeRemoval(child);
    children_.erase(children_.begin() + index);
    child->parent_ = nullptr;
}

TdomNode* TdomNode::appendChild(TdomNode* newChild) {
    // The common case first: a parentless node of this document without children, of a kind this
    // writable node accepts, and no fragment. Every check of checkNewChild passes for it, and there is
    // no old parent to take it from.
    constexpr TdomNodeTypeSet kNotFragment = static_cast<TdomNodeTypeSet>(~nodeTypeBit(TdomNodeType::documentFragment));
    if (newChild && !newChild->parent_ && newChild->children_.empty() && newChild != this &&
        newChild->ownerDocument_ == ownerDocument_ && !isReadonly() &&
        nodeTypeSetContains(allowedChildKinds() & kNotFragment, newChild->type_)) {
        children_.push_back(newChild);
        newChild->parent_ = this;
        if (children_.holdsBlock()) ownerDocument_->keepForDestruction(this);
        return newChild;
    }
    checkNewChild(newChild, nullptr);
    if (newChild->type_ == TdomNodeType::documentFragment) {
        while (!newChild->children_.empty()) appendChild(newChild->children_.front());
        return newChild;
    }
    adoptChild(newChild, -1);
    return newChild;
}

TdomNode* TdomNode::insertBefore(TdomNode* newChild, TdomNode* refChild) {
    checkNewChild(newChild, refChild);
    if (refChild && refChild->parent_ != this) throw ENot_Found_Err();
    if (newChild->type_ == TdomNodeType::documentFragment) {
        while (!newChild->children_.empty()) insertBefore(newChild->children_.front(), refChild);
        return newChild;
    }
    if (newChild->parent_) newChild->parent_->removeChild(newChild);
    adoptChild(newChild, refChild ? indexOfChild(refChild) : -1);
    return newChild;
}

TdomNode* TdomNode::removeChild(TdomNode* oldChild) {
    if (!oldChild) throw ENot_Supported_Err();
    checkWritable();
    int index = oldChild->parent_ == this ? indexOfChild(oldChild) : -1;
    if (index < 0) throw ENot_Found_Err();
    detachChildAt(index);
    return oldChild;
}

TdomNode* TdomNode::replaceChild(TdomNode* newChild, TdomNode* oldChild) {
    if (!newChild || !oldChild) throw ENot_Supported_Err();
    checkNewChild(newChild, nullptr);
    if (oldChild->parent_ != this) throw ENot_Found_Err();
    if (newChild == oldChild) return oldChild;
    if (newChild->parent_) newChild->parent_->removeChild(newChild);
    TdomNode* following = oldChild->nextSibling();
    removeChild(oldChild);
    if (following)
        insertBefore(newChild, following);
    else
        appendChild(newChild);
    return oldChild;
}

bool TdomNode::hasAncestor(const TdomNode* node) const {
    // Every node on a parent chain belongs to the same document, so a walk longer than the number
    // of nodes the document holds has met a node twice.
    std::size_t limit = ownerDocument_ ? ownerDocument_->createdNodeCount() + 2 : 0;
    std::size_t steps = 0;
    for (const TdomNode* p = parent_; p; p = p->parent_) {
        if (p == node) return true;
        if (ownerDocument_ && ++steps > limit) throw EHierarchy_Request_Err();
    }
    return false;
}

bool TdomNode::liesWithin(const TdomNode* top) const {
    for (const TdomNode* n = this; n;
         n = n->type_ == TdomNodeType::attribute ? static_cast<const TdomAttr*>(n)->ownerElement() : n->parent_)
        if (n == top) return true;
    return false;
}

void TdomNode::freeChildren() {
    checkWritable();
    ownerDocument_->destroyChildren(this);
}

TdomNode* TdomNode::cloneNode(bool deep) { return ownerDocument_->importNode(this, deep); }

// ---- element lookups ----

TdomElement* TdomNode::firstChildElementNamed(std::u16string_view name) const {
    for (TdomNode* child : children_)
        if (isElementNamed(child, name)) return static_cast<TdomElement*>(child);
    return nullptr;
}

TdomElement* TdomNode::firstChildElementNamedNS(std::u16string_view namespaceURI, std::u16string_view localName) const {
    for (TdomNode* child : children_)
        if (isElementNamedNS(child, namespaceURI, localName)) return static_cast<TdomElement*>(child);
    return nullptr;
}

TdomElement* TdomNode::lastChildElementNamed(std::u16string_view name) const {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it)
        if (isElementNamed(*it, name)) return static_cast<TdomElement*>(*it);
    return nullptr;
}

TdomElement* TdomNode::lastChildElementNamedNS(std::u16string_view namespaceURI, std::u16string_view localName) const {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it)
        if (isElementNamedNS(*it, namespaceURI, localName)) return static_cast<TdomElement*>(*it);
    return nullptr;
}

TdomElement* TdomNode::nextSiblingElementNamed(std::u16string_view name) const {
    if (!parent_ || type_ == TdomNodeType::attribute) return nullptr;
    const auto& siblings = parent_->children_;
    for (std::size_t i = static_cast<std::size_t>(parent_->indexOfChild(this)) + 1; i < siblings.size(); ++i)
        if (isElementNamed(siblings[i], name)) return static_cast<TdomElement*>(siblings[i]);
    return nullptr;
}

TdomElement* TdomNode::nextSiblingElementNamedNS(std::u16string_view namespaceURI,
                                                 std::u16string_view localName) const {
    if (!parent_ || type_ == TdomNodeType::attribute) return nullptr;
    const auto& siblings = parent_->children_;
    for (std::size_t i = static_cast<std::size_t>(parent_->indexOfChild(this)) + 1; i < siblings.size(); ++i)
        if (isElementNamedNS(siblings[i], namespaceURI, localName)) return static_cast<TdomElement*>(siblings[i]);
    return nullptr;
}

TdomElement* TdomNode::previousSiblingElementNamed(std::u16string_view name) const {
    if (!parent_ || type_ == TdomNodeType::attribute) return nullptr;
    const auto& siblings = parent_->children_;
    for (int i = parent_->indexOfChild(this) - 1; i >= 0; --i)
        if (isElementNamed(siblings[static_cast<std::size_t>(i)], name))
            return static_cast<TdomElement*>(siblings[static_cast<std::size_t>(i)]);
    return nullptr;
}

TdomElement* TdomNode::previousSiblingElementNamedNS(std::u16string_view namespaceURI,
                                                     std::u16string_view localName) const {
    if (!parent_ || type_ == TdomNodeType::attribute) return nullptr;
    const auto& siblings = parent_->children_;
    for (int i = parent_->indexOfChild(this) - 1; i >= 0; --i)
        if (isElementNamedNS(siblings[static_cast<std::size_t>(i)], namespaceURI, localName))
            return static_cast<TdomElement*>(siblings[static_cast<std::size_t>(i)]);
    return nullptr;
}

TdomElement* TdomNode::ancestorElementNamed(std::u16string_view name) const {
    for (const TdomNode* p = parentNode(); p; p = p->parentNode())
        if (isElementNamed(p, name)) return static_cast<TdomElement*>(const_cast<TdomNode*>(p));
    return nullptr;
}

TdomElement* TdomNode::ancestorElementNamedNS(std::u16string_view namespaceURI, std::u16string_view localName) const {
    for (const TdomNode* p = parentNode(); p; p = p->parentNode())
        if (isElementNamedNS(p, namespaceURI, localName)) return static_cast<TdomElement*>(const_cast<TdomNode*>(p));
    return nullptr;
}

// ---- normalize, entity checks, features ----

void TdomNode::normalize() { dominternal::normalizeSubtree(this); }

bool TdomNode::checkEntityReferences(int) {
    // Every entity reference below this node, in attribute values too; a stack of its own, as the
    // tree may nest deeper than the call stack allows.
    std::vector<TdomNode*> stack(children_.begin(), children_.end());
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        if (node->type_ == TdomNodeType::entityReference && !domvalidation::entityReferenceResolvable(node))
            return false;
        if (node->type_ == TdomNodeType::element)
            for (TdomNode* attribute : static_cast<TdomElement*>(node)->attributeNodes()) stack.push_back(attribute);
        stack.insert(stack.end(), node->children_.begin(), node->children_.end());
    }
    return true;
}

bool TdomNode::isSupported(std::u16string_view feature, std::u16string_view version) const {
    std::string narrowFeature = cp932::encode(feature);
    std::string narrowVersion = cp932::encode(version);
    if (!asciiEqualIgnoringCase(narrowFeature, "XML")) return false;
    return narrowVersion == "1.0" || narrowVersion.empty() || narrowVersion == "2.0";
}
