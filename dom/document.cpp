#include "dom/document.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <new>
#include <utility>

#include <sanitizer/asan_interface.h>

#include "dom/character_data.h"
#include "dom/cm_object.h"
#include "dom/content_model_access.h"
#include "dom/document_fragment.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "dom/implementation.h"
#include "dom/node_internal.h"
#include "dom/processing_instruction.h"
#include "text/dom_exception.h"
#include "text/error_handler.h"
#include "text/parser_exception.h"
#include "text/text_utils.h"
#include "text/wide_string_list.h"
#include "text/xml_chars.h"

namespace {

// Makes room for one more entry (with geometric growth) so that the push_back after it cannot throw.
template <class T> void reserveOneMore(std::vector<T>& list) {
    if (list.size() == list.capacity()) list.reserve(list.empty() ? 16 : list.size() * 2);
}

const std::u16string kDocumentName = u"#document";

bool isLiteralEitherWay(std::u16string_view value, bool (*check)(std::u16string_view)) {
    std::u16string quoted;
    quoted.reserve(value.size() + 2);
    quoted += u'"';
    quoted += value;
    quoted += u'"';
    if (check(quoted)) return true;
    quoted.front() = u'\'';
    quoted.back() = u'\'';
    return check(quoted);
}

// Kinds whose nodes own nothing but their place in the pages and their string in the text store.
constexpr TdomNodeTypeSet kTextLikeKinds = nodeTypeSet(
    {TdomNodeType::text, TdomNodeType::cdataSection, TdomNodeType::comment, TdomNodeType::processingInstruction});
// Kinds whose nodes own nothing when they are made. Elements and attributes come to own memory with an
// attribute block or with more children than the node holds inline, and are marked for destruction then.
constexpr TdomNodeTypeSet kBornOwningNothing =
    kTextLikeKinds | nodeTypeSet({TdomNodeType::element, TdomNodeType::attribute});

} // namespace

// ---- node memory ----

// Under AddressSanitizer a freed block stays marked unusable until the arena hands it out again, so
// that using a freed node is reported as a use after free (elsewhere the marks compile to nothing).

inline void* TdomDocument::NodeArena::allocate(std::size_t size, std::uint8_t& sizeClass, std::uint32_t& page) {
    if (size > kLargestObject) {
        void* p = ::operator new(size);
        sizeClass = kOwnMemory;
        return p;
    }
    std::size_t cls = (std::max(size, sizeof(FreeBlock)) + kGranule - 1) / kGranule;
    std::size_t rounded = cls * kGranule;
    sizeClass = static_cast<std::uint8_t>(cls);
    if (FreeBlock* block = free_[cls - 1]) {
        ASAN_UNPOISON_MEMORY_REGION(block, rounded);
        free_[cls - 1] = block->next;
        page = block->page;
        return block;
    }
    if (static_cast<std::size_t>(end_ - cursor_) < rounded) addPage();
    void* p = cursor_;
    cursor_ += rounded;
    page = lastPage_;
    return p;
}

void TdomDocument::NodeArena::addPage() {
    reserveOneMore(pages_);
    char* fresh = static_cast<char*>(::operator new(kPageSize));
    pages_.push_back(fresh);
    std::memset(fresh, 0, kMapBytes);
    cursor_ = fresh + kMapBytes;
    end_ = fresh + kPageSize;
    lastPage_ = static_cast<std::uint32_t>(pages_.size() - 1);
}

void TdomDocument::NodeArena::deallocate(void* p, std::uint8_t sizeClass, std::uint32_t page) noexcept {
    if (sizeClass == kOwnMemory) {
        ::operator delete(p);
        return;
    }
    mapWord(page, p) &= ~mapBit(page, p);
    auto* block = static_cast<FreeBlock*>(p);
    block->next = free_[sizeClass - 1];
    block->page = page;
    free_[sizeClass - 1] = block;
    ASAN_POISON_MEMORY_REGION(block, sizeClass * kGranule);
}

void TdomDocument::NodeArena::release() {
    // The last page made goes first, as in releaseObjects.
    for (auto page = pages_.rbegin(); page != pages_.rend(); ++page) {
        ASAN_UNPOISON_MEMORY_REGION(*page, kPageSize);
        ::operator delete(*page);
    }
    pages_.clear();
    pages_.shrink_to_fit();
    std::fill(std::begin(free_), std::end(free_), nullptr);
    cursor_ = end_ = nullptr;
}

template <class Destroy> void TdomDocument::NodeArena::releaseObjects(Destroy destroy) {
    // Page by page, each handed back right after the objects in it (and the small heap blocks they
    // owned) are gone, so that the heap merges those blocks while they are still in the cache. The last
    // page made goes first: in the order they were made, the heap handed much of the memory back to
    // the system and the next document had to fault it in again (a fifth more time parsing a document
    // again and again).
    //
    // The marked objects lie scattered over the page, so that reading each is a cache miss: each is
    // asked for kAhead objects before its destructor runs, in the order of the page.
    constexpr std::size_t kAhead = 8;
    TdomNode* ahead[kAhead];
    for (std::size_t page = pages_.size(); page-- > 0;) {
        const std::uint64_t* words = map(static_cast<std::uint32_t>(page));
        std::size_t seen = 0;
        for (std::size_t word = 0; word < kMapWords; ++word)
            for (std::uint64_t bits = words[word]; bits != 0; bits &= bits - 1) {
                std::size_t granule = word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
                // Every node class derives from TdomNode alone: an object's address is its node's.
                auto* node = reinterpret_cast<TdomNode*>(pages_[page] + granule * kGranule);
                __builtin_prefetch(node);
                TdomNode*& slot = ahead[seen++ % kAhead];
                if (seen > kAhead) destroy(slot);
                slot = node;
            }
        for (std::size_t next = seen > kAhead ? seen - kAhead : 0; next < seen; ++next) destroy(ahead[next % kAhead]);
        ASAN_UNPOISON_MEMORY_REGION(pages_[page], kPageSize);
        ::operator delete(pages_[page]);
    }
    pages_.clear();
    release();
}

template <class T, class... Args> T* TdomDocument::make(Args&&... args) {
    // Room for the record of a node outside the pages first, so that recording it cannot fail.
    if (sizeof(T) > NodeArena::kLargestObject) reserveOneMore(outsideNodes_);
    std::uint8_t sizeClass;
    std::uint32_t page = 0;
    void* p = arena_.allocate(sizeof(T), sizeClass, page);
    T* node;
    try {
        node = new (p) T(std::forward<Args>(args)...);
    } catch (...) {
        arena_.deallocate(p, sizeClass, page);
        throw;
    }
    node->sizeClass_ = sizeClass;
    node->slot_ = page;
    if (sizeClass == NodeArena::kOwnMemory)
        addOutsideNode(node);
    else if (!nodeTypeSetContains(kBornOwningNothing, node->type_))
        arena_.markForDestruction(node, page);
    ++nodeCount_;
    return node;
}

void* TdomDocument::allocateAttributeBlock(std::size_t size, std::uint8_t& sizeClass, std::uint32_t& page) {
    return attributeBlocks_.allocate(size, sizeClass, page);
}

void TdomDocument::addOutsideNode(TdomNode* node) {
    node->slot_ = static_cast<std::uint32_t>(outsideNodes_.size());
    outsideNodes_.push_back(node);
}

void TdomDocument::removeOutsideNode(TdomNode* node) {
    TdomNode* last = outsideNodes_.back();
    outsideNodes_[node->slot_] = last;
    last->slot_ = node->slot_;
    outsideNodes_.pop_back();
}

void TdomDocument::freeNode(TdomNode* node) {
    --nodeCount_;
    if (node->flag(kNamespacePartsFlag)) namespaceParts_.erase(node);
    if (node->type_ == TdomNodeType::element && static_cast<TdomElement*>(node)->flag(TdomElement::kListCachesFlag))
        elementListCaches_.erase(node);
    if (node->flag(kHeapAllocatedFlag)) {
        removeOutsideNode(node);
        delete node;
        return;
    }
    std::uint8_t sizeClass = node->sizeClass_;
    std::uint32_t page = node->slot_;
    if (sizeClass == NodeArena::kOwnMemory) removeOutsideNode(node);
    if (nodeTypeSetContains(kTextLikeKinds, node->type_)) {
        if (node->type_ == TdomNodeType::processingInstruction)
            textStore_.release(static_cast<TdomProcessingInstruction*>(node)->data_);
        else
            textStore_.release(static_cast<TdomCharacterData*>(node)->text_);
    } else {
        node->~TdomNode();
    }
    arena_.deallocate(node, sizeClass, page);
}

bool TdomDocument::CachedName::holds(std::u16string_view candidate) const {
    return name && length == candidate.size() && sameUnits(std::u16string_view(units, length), candidate);
}

TdomDocument::CachedName* TdomDocument::cachedSet(std::u16string_view name) {
    // A document uses few distinct names over and over: a small cache, indexed by the length and three
    // units of the name mixed by a multiplication, answers most requests without hashing the whole name.
    std::uint64_t key = name.size();
    if (!name.empty())
        key |= std::uint64_t{name.front()} << 16 | std::uint64_t{name[name.size() / 2]} << 32 |
               std::uint64_t{name.back()} << 48;
    std::size_t set = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> (64 - kInternCacheSetBits));
    return internCache_ + set * kInternCacheWays;
}

TdomDocument::CachedName* TdomDocument::findCached(CachedName* set, std::u16string_view name) {
    static_assert(kInternCacheWays == 2);
    if (set[0].holds(name)) return &set[0];
    if (set[1].holds(name)) return &set[1];
    return nullptr;
}

TdomDocument::CachedName& TdomDocument::internUncached(CachedName* set, std::u16string_view name) {
    auto it = names_.find(name);
    const std::u16string* interned = it != names_.end() ? &*it : &*names_.emplace(name).first;
    // The older entry makes room: a name met again soon after finds itself in the second place.
    set[1] = set[0];
    set[0] = CachedName{interned, interned->data(), interned->size(), false};
    return set[0];
}

const std::u16string* TdomDocument::intern(std::u16string_view name) {
    CachedName* set = cachedSet(name);
    if (CachedName* cached = findCached(set, name)) return cached->name;
    return internUncached(set, name).name;
}

const std::u16string* TdomDocument::internCheckedName(std::u16string_view name) {
    CachedName* set = cachedSet(name);
    CachedName* cached = findCached(set, name);
    if (cached && cached->checked) return cached->name;
    return internAndCheck(set, cached, name);
}

const std::u16string* TdomDocument::internAndCheck(CachedName* set, CachedName* cached, std::u16string_view name) {
    if (!checkName(name)) throw EInvalid_Character_Err();
    if (!cached) cached = &internUncached(set, name);
    cached->checked = true;
    return cached->name;
}

// ---- construction and clearing ----

TdomDocument::TdomDocument(TDomImplementation* implementation)
    : TdomNode(this, TdomNodeType::document, &kDocumentName), idList_(std::make_unique<TdomWideStringList>()),
      implementation_(implementation) {
    idList_->setDuplicates(TdomDuplicates::dupError);
    idList_->setSorted(true);
}

TdomDocument::~TdomDocument() {
    clearDocument();
    if (contentModel_) detachContentModel();
}

void TdomDocument::clearDocument() {
    nodeIterators_.clear();
    treeWalkers_.clear();
    elementLists_.clear();
    elementListsNS_.clear();
    children_.clear();
    // Only the nodes that own memory were marked: the strings of text-like nodes go with the text store below.
    arena_.releaseObjects([](TdomNode* node) { node->~TdomNode(); });
    std::vector<TdomNode*> outside;
    outside.swap(outsideNodes_);
    for (TdomNode* node : outside) {
        if (node->flag(kHeapAllocatedFlag)) {
            delete node;
        } else {
            if (!nodeTypeSetContains(kTextLikeKinds, node->type_)) node->~TdomNode();
            ::operator delete(node);
        }
    }
    // Every element is gone, and with it the use of its attribute block.
    attributeBlocks_.release();
    nodeCount_ = 0;
    textStore_.clear();
    namespaceParts_.clear();
    elementListCaches_.clear();
    std::fill(std::begin(internCache_), std::end(internCache_), CachedName{});
    names_.clear();
}

void TdomDocument::freeChildren() { clearDocument(); }

// ---- destroying nodes ----

void TdomDocument::destroyNodeOnly(TdomNode* node) {
    if (!node) return;
    if (node->ownerDocument_ != this) throw EWrong_Document_Err();
    if (node == this) throw ENo_Modification_Allowed_Err();
    if (node->parent_) throw EInuse_Node_Err();
    if (node->type_ == TdomNodeType::attribute && static_cast<TdomAttr*>(node)->ownerElement())
        throw EInuse_Attribute_Err();
    destroySubtree(node, nullptr);
}

void TdomDocument::destroySubtree(TdomNode* root, TdomNode* formerParent) {
    bool hasAttributes =
        root->type_ == TdomNodeType::element && !static_cast<TdomElement*>(root)->attributeNodes().empty();
    if (root->isReadonly() && (root->hasChildNodes() || hasAttributes)) throw ENo_Modification_Allowed_Err();
    // Before anything is freed, so that the removals below no longer concern an object whose root goes.
    for (auto& iterator : nodeIterators_) iterator->nodeDestroying(root, formerParent);
    for (auto& walker : treeWalkers_) walker->nodeDestroying(root, formerParent);
    std::vector<TdomNode*> stack{root};
    if (nodeIterators_.empty()) {
        // Nobody watches removals: take whole child lists at once.
        while (!stack.empty()) {
            TdomNode* node = stack.back();
            stack.pop_back();
            for (TdomNode* child : node->children_) {
                child->parent_ = nullptr;
                stack.push_back(child);
            }
            node->children_.clear();
            if (node->type_ == TdomNodeType::element) static_cast<TdomElement*>(node)->releaseAttributes(stack);
            freeNode(node);
        }
        return;
    }
    // Node iterators are registered: remove one child at a time, first child first, so that each
    // iterator sees every removal in order.
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        if (!node->children_.empty()) {
            TdomNode* child = node->children_.front();
            child->setReadonly(false);
            node->detachChildAt(0);
            stack.push_back(child);
            continue;
        }
        if (node->type_ == TdomNodeType::element) {
            auto* element = static_cast<TdomElement*>(node);
            if (!element->attributeNodes().empty()) {
                auto* attr = static_cast<TdomAttr*>(element->attributeNodes().front());
                attr->setReadonly(false);
                element->removeAttributeNode(attr);
                stack.push_back(attr);
                continue;
            }
        }
        stack.pop_back();
        freeNode(node);
    }
}

void TdomDocument::destroyChildren(TdomNode* node) {
    if (nodeIterators_.empty()) {
        TdomNodeVector children;
        children.swap(node->children_);
        for (TdomNode* child : children) {
            child->parent_ = nullptr;
            child->setReadonly(false);
            destroySubtree(child, node);
        }
        return;
    }
    while (!node->children_.empty()) {
        TdomNode* child = node->children_.front();
        child->setReadonly(false);
        node->detachChildAt(0);
        destroySubtree(child, node);
    }
}

void TdomDocument::detachChildren(TdomNode* node) {
    if (nodeIterators_.empty()) {
        for (TdomNode* child : node->children_) {
            child->parent_ = nullptr;
            child->setReadonly(false);
        }
        node->children_.clear();
        return;
    }
    while (!node->children_.empty()) {
        node->children_.front()->setReadonly(false);
        node->detachChildAt(0);
    }
}

bool TdomDocument::emptyNode(TdomNode* node) {
    if (node->children_.empty()) return false;
    bool wasReadonly = node->isReadonly();
    node->setReadonlyFlag(false);
    detachChildren(node);
    node->setReadonlyFlag(wasReadonly);
    return true;
}

// ---- traversal registries ----

void TdomDocument::notifyNodeRemoval(TdomNode* node) {
    for (std::size_t i = 0; i < nodeIterators_.size(); ++i) nodeIterators_[i]->nodeRemoving(node);
}

void TdomDocument::freeDetachedIterators() {
    std::erase_if(nodeIterators_, [](const std::unique_ptr<TdomTraversalObject>& it) { return it->isDetached(); });
}

// ---- document children ----

TdomDocumentType* TdomDocument::doctype() const {
    for (TdomNode* child : children_)
        if (child->type_ == TdomNodeType::documentType) return static_cast<TdomDocumentType*>(child);
    return nullptr;
}

TdomElement* TdomDocument::documentElement() const {
    for (TdomNode* child : children_)
        if (child->type_ == TdomNodeType::element) return static_cast<TdomElement*>(child);
    return nullptr;
}

void TdomDocument::setNodeValue(std::u16string_view) {}

bool TdomDocument::checkIdReferences(TdomCustomErrorHandler* errorHandler) {
    TdomElement* root = documentElement();
    return root ? root->checkIdReferences(errorHandler) : true;
}

TdomNode* TdomDocument::appendChild(TdomNode* newChild) {
    if (!newChild) throw ENot_Supported_Err();
    switch (newChild->type_) {
    case TdomNodeType::element:
        if (documentElement()) throw EHierarchy_Request_Err();
        break;
    case TdomNodeType::documentType:
        if (doctype() || documentElement()) throw EHierarchy_Request_Err();
        break;
    case TdomNodeType::processingInstruction:
    case TdomNodeType::comment:
    case TdomNodeType::documentFragment:
        break;
    default:
        throw EHierarchy_Request_Err();
    }
    return TdomNode::appendChild(newChild);
}

TdomNode* TdomDocument::insertBefore(TdomNode* newChild, TdomNode* refChild) {
    if (!newChild) throw ENot_Supported_Err();
    auto positionOf = [&](TdomNode* ref) { return ref ? indexOfChild(ref) : static_cast<int>(children_.size()); };
    switch (newChild->type_) {
    case TdomNodeType::element:
        if (TdomDocumentType* type = doctype()) {
            if (type->nodeName() != newChild->nodeName()) throw EInvalid_Character_Err();
            if (!(indexOfChild(type) < positionOf(refChild))) throw EHierarchy_Request_Err();
        }
        if (documentElement()) throw EHierarchy_Request_Err();
        break;
    case TdomNodeType::documentType:
        if (TdomElement* root = documentElement()) {
            if (root->nodeName() != newChild->nodeName()) throw EInvalid_Character_Err();
            if (!(positionOf(refChild) <= indexOfChild(root))) throw EHierarchy_Request_Err();
        }
        if (doctype()) throw EHierarchy_Request_Err();
        break;
    case TdomNodeType::processingInstruction:
    case TdomNodeType::comment:
    case TdomNodeType::documentFragment:
        break;
    default:
        throw EHierarchy_Request_Err();
    }
    return TdomNode::insertBefore(newChild, refChild);
}

TdomNode* TdomDocument::replaceChild(TdomNode* newChild, TdomNode* oldChild) {
    if (!newChild || !oldChild) throw ENot_Supported_Err();
    switch (newChild->type_) {
    case TdomNodeType::element: {
        TdomElement* root = documentElement();
        if (root && root != oldChild) throw EHierarchy_Request_Err();
        TdomDocumentType* type = doctype();
        if (type && type->nodeName() != newChild->nodeName()) throw EInvalid_Character_Err();
        break;
    }
    case TdomNodeType::documentType: {
        TdomDocumentType* type = doctype();
        if (type && type != oldChild) throw EHierarchy_Request_Err();
        TdomElement* root = documentElement();
        if (root && root->nodeName() != newChild->nodeName()) throw EInvalid_Character_Err();
        break;
    }
    case TdomNodeType::processingInstruction:
    case TdomNodeType::comment:
    case TdomNodeType::documentFragment:
        break;
    default:
        throw EHierarchy_Request_Err();
    }
    return TdomNode::replaceChild(newChild, oldChild);
}

// ---- factories ----

TdomElement* TdomDocument::createElement(std::u16string_view tagName) {
    return make<TdomElement>(this, internCheckedName(tagName));
}

TdomElement* TdomDocument::createElementNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName) {
    std::u16string prefix, localName;
    dominternal::splitQualifiedName(namespaceURI, qualifiedName, false, prefix, localName);
    const std::u16string* names[4] = {intern(qualifiedName), intern(namespaceURI), intern(prefix), intern(localName)};
    TdomElement* element = make<TdomElement>(this, names[0]);
    element->setNamespaceParts(names[1], names[2], names[3]);
    element->setMapNamespaceAware(true);
    return element;
}

TdomAttr* TdomDocument::createAttribute(std::u16string_view name) {
    return make<TdomAttr>(this, internCheckedName(name), true);
}

TdomAttr* TdomDocument::createAttributeNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName) {
    std::u16string prefix, localName;
    dominternal::splitQualifiedName(namespaceURI, qualifiedName, true, prefix, localName);
    const std::u16string* names[4] = {intern(qualifiedName), intern(namespaceURI), intern(prefix), intern(localName)};
    TdomAttr* attr = make<TdomAttr>(this, names[0], true);
    attr->setNamespaceParts(names[1], names[2], names[3]);
    return attr;
}

TdomElement* TdomDocument::createDocumentElement(std::u16string_view tagName) {
    if (!checkName(tagName)) throw EInvalid_Character_Err();
    if (documentElement()) throw EHierarchy_Request_Err();
    TdomElement* element = createElement(tagName);
    try {
        appendChild(element);
    } catch (...) {
        destroyNode(element);
        throw;
    }
    return element;
}

TdomElement* TdomDocument::createDocumentElementNS(std::u16string_view namespaceURI,
                                                   std::u16string_view qualifiedName) {
    std::u16string prefix, localName;
    dominternal::splitQualifiedName(namespaceURI, qualifiedName, false, prefix, localName);
    if ((prefix == u"xmlns" || qualifiedName == u"xmlns") && namespaceURI != kXmlnsNamespaceUri) throw ENamespace_Err();
    if (documentElement()) throw EHierarchy_Request_Err();
    TdomElement* element = createElementNS(namespaceURI, qualifiedName);
    try {
        appendChild(element);
    } catch (...) {
        destroyNode(element);
        throw;
    }
    return element;
}

TdomDocumentFragment* TdomDocument::createDocumentFragment() { return make<TdomDocumentFragment>(this); }

namespace {
const std::u16string kTextName = u"#text";
} // namespace

TdomText* TdomDocument::createTextNode(std::u16string_view data) {
    return make<TdomText>(this, TdomNodeType::text, &kTextName, data);
}

TdomText* TdomDocument::createTextNodeTaking(std::u16string&& data) {
    return make<TdomText>(this, TdomNodeType::text, &kTextName, std::move(data));
}

TdomComment* TdomDocument::createComment(std::u16string_view data) { return make<TdomComment>(this, data); }

TdomCDATASection* TdomDocument::createCDATASection(std::u16string_view data) {
    return make<TdomCDATASection>(this, data);
}

TdomProcessingInstruction* TdomDocument::createProcessingInstruction(std::u16string_view target,
                                                                     std::u16string_view data) {
    if (!checkPITarget(target)) throw EInvalid_Character_Err();
    return make<TdomProcessingInstruction>(this, intern(target), data);
}

TdomEntityReference* TdomDocument::createEntityReference(std::u16string_view name) {
    if (!checkName(name)) throw EInvalid_Character_Err();
    return make<TdomEntityReference>(this, intern(name));
}

TdomDocumentType* TdomDocument::createDocumentType(std::u16string_view name, std::u16string_view publicId,
                                                   std::u16string_view systemId, std::u16string_view internalSubset) {
    return make<TdomDocumentType>(this, intern(name), publicId, systemId, internalSubset);
}

TdomEntity* TdomDocument::createEntity(std::u16string_view name, std::u16string_view publicId,
                                       std::u16string_view systemId, std::u16string_view notationName) {
    if (!checkName(name)) throw EInvalid_Character_Err();
    if (!isLiteralEitherWay(systemId, checkSystemLiteral)) throw EInvalid_Character_Err();
    if (!isLiteralEitherWay(publicId, checkPubidLiteral)) throw EInvalid_Character_Err();
    return make<TdomEntity>(this, intern(name), publicId, systemId, notationName);
}

TdomNotation* TdomDocument::createNotation(std::u16string_view name, std::u16string_view publicId,
                                           std::u16string_view systemId) {
    if (!checkName(name)) throw EInvalid_Character_Err();
    if (!isLiteralEitherWay(systemId, checkSystemLiteral) && !isLiteralEitherWay(publicId, checkPubidLiteral))
        throw EInvalid_Character_Err();
    return make<TdomNotation>(this, intern(name), publicId, systemId);
}

void TdomDocument::adoptDocumentType(TdomDocumentType* doctype) {
    // The document type was made by the implementation; from now on this document owns it.
    doctype->ownerDocument_ = this;
    doctype->name_ = intern(doctype->nodeName());
    doctype->entities_.ownerDocument_ = this;
    doctype->notations_.ownerDocument_ = this;
    reserveOneMore(outsideNodes_);
    addOutsideNode(doctype);
    ++nodeCount_;
    appendChild(doctype);
}

// ---- entity references ----

bool TdomDocument::fillEntityReference(TdomNode* node) {
    if (!node) throw ENot_Supported_Err();
    if (node->ownerDocument_ != this) throw EWrong_Document_Err();
    if (node->type_ != TdomNodeType::entityReference && node->type_ != TdomNodeType::entity) throw ENot_Supported_Err();
    bool changed = emptyNode(node);
    std::u16string_view predefined = predefinedEntityText(node->nodeName());
    bool wasReadonly = node->isReadonly();
    node->setReadonlyFlag(false);
    try {
        if (!predefined.empty()) {
            node->appendChild(createTextNode(predefined));
            changed = true;
        } else if (TdomDocumentType* type = doctype()) {
            TdomNode* found = type->entities()->getNamedItem(node->nodeName());
            if (found && found->type_ == TdomNodeType::entity) {
                auto* entity = static_cast<TdomEntity*>(found);
                if (!entity->notationName().empty()) throw EInvalid_Entity_Reference_Err();
                // Copy first, so that filling an entity from itself cannot loop.
                const TdomNodeVector sources = entity->children_;
                for (TdomNode* source : sources) {
                    TdomNode* copy = importNode(source, true);
                    try {
                        node->appendChild(copy);
                    } catch (...) {
                        destroyNode(copy);
                        throw;
                    }
                    changed = true;
                }
            }
        }
    } catch (...) {
        node->setReadonlyFlag(wasReadonly);
        throw;
    }
    node->setReadonlyFlag(wasReadonly);
    node->setDescendantsReadonly();
    return changed;
}

// ---- import ----

TdomNode* TdomDocument::importNode(TdomNode* node, bool deep) {
    if (!node) throw ENot_Supported_Err();
    switch (node->type_) {
    case TdomNodeType::document:
    case TdomNodeType::documentType:
    case TdomNodeType::unknown:
        throw ENot_Supported_Err();
    default:
        break;
    }
    TdomNode* rootCopy = nullptr;
    // Pending copies: (source, parent of the copy). Children are pushed last first, so that they are
    // copied and appended in document order.
    std::vector<std::pair<TdomNode*, TdomNode*>> stack{{node, nullptr}};
    try {
        while (!stack.empty()) {
            auto [source, parent] = stack.back();
            stack.pop_back();
            TdomNode* copy = importShallow(source);
            if (parent) {
                try {
                    parent->appendChild(copy);
                } catch (...) {
                    destroyNode(copy);
                    throw;
                }
            } else {
                rootCopy = copy;
            }
            bool withChildren = false;
            switch (source->type_) {
            case TdomNodeType::attribute:
                withChildren = true;
                break;
            case TdomNodeType::element:
            case TdomNodeType::entity:
            case TdomNodeType::documentFragment:
                withChildren = deep;
                break;
            default:
                break;
            }
            if (withChildren)
                for (auto it = source->children_.rbegin(); it != source->children_.rend(); ++it)
                    stack.emplace_back(*it, copy);
        }
    } catch (...) {
        if (rootCopy) destroyNode(rootCopy);
        throw;
    }
    return rootCopy;
}

TdomNode* TdomDocument::importShallow(TdomNode* source) {
    switch (source->type_) {
    case TdomNodeType::element:
        return importElement(static_cast<TdomElement*>(source));
    case TdomNodeType::attribute: {
        if (!source->namespaceURI().empty() || !source->prefix().empty())
            return createAttributeNS(source->namespaceURI(), source->nodeName());
        return createAttribute(source->nodeName());
    }
    case TdomNodeType::text:
        return createTextNode(static_cast<TdomText*>(source)->data());
    case TdomNodeType::cdataSection:
        return createCDATASection(static_cast<TdomCDATASection*>(source)->data());
    case TdomNodeType::comment:
        return createComment(static_cast<TdomComment*>(source)->data());
    case TdomNodeType::processingInstruction: {
        auto* pi = static_cast<TdomProcessingInstruction*>(source);
        return createProcessingInstruction(pi->target(), pi->data());
    }
    case TdomNodeType::entityReference: {
        TdomEntityReference* reference = createEntityReference(source->nodeName());
        try {
            reference->fillByParsing();
        } catch (...) {
            destroyNode(reference);
            throw;
        }
        return reference;
    }
    case TdomNodeType::entity: {
        auto* entity = static_cast<TdomEntity*>(source);
        TdomEntity* copy =
            createEntity(entity->nodeName(), entity->publicId(), entity->systemId(), entity->notationName());
        copy->setEncoding(entity->encoding());
        copy->setVersion(entity->version());
        return copy;
    }
    case TdomNodeType::notation: {
        auto* notation = static_cast<TdomNotation*>(source);
        return createNotation(notation->nodeName(), notation->publicId(), notation->systemId());
    }
    case TdomNodeType::documentFragment:
        return createDocumentFragment();
    default:
        throw ENot_Supported_Err();
    }
}

TdomElement* TdomDocument::importElement(TdomElement* source) {
    bool namespaced = !source->namespaceURI().empty() || !source->prefix().empty();
    TdomElement* copy =
        namespaced ? createElementNS(source->namespaceURI(), source->nodeName()) : createElement(source->nodeName());
    try {
        bool aware = source->attributesNamespaceAware();
        copy->setMapNamespaceAware(aware);
        for (TdomNode* item : source->attributeNodes()) {
            auto* attr = static_cast<TdomAttr*>(item);
            if (!attr->specified()) continue;
            auto* attrCopy = static_cast<TdomAttr*>(importNode(attr, true));
            try {
                if (aware)
                    copy->setAttributeNodeNS(attrCopy);
                else
                    copy->setAttributeNode(attrCopy);
            } catch (...) {
                destroyNode(attrCopy);
                throw;
            }
        }
        if (contentModel_) addDefaultAttributes(copy);
    } catch (...) {
        destroyNode(copy);
        throw;
    }
    return copy;
}

void TdomDocument::addDefaultAttributes(TdomElement* element) {
    for (const cmaccess::AttributeDefinition& definition :
         cmaccess::attributeDefinitions(contentModel_, element->nodeName())) {
        if (definition.defaultKind == u"#REQUIRED" || definition.defaultKind == u"#IMPLIED") continue;
        bool present = false;
        for (TdomNode* attr : element->attributeNodes())
            if (attr->nodeName() == definition.name) present = true;
        if (present) continue;
        bool aware = element->attributesNamespaceAware();
        TdomAttr* attr = nullptr;
        if (aware) {
            // A namespace-aware map needs the attribute's namespace parts: only names without a prefix
            // or with one of the two reserved prefixes can be given them.
            std::size_t colon = definition.name.find(u':');
            std::u16string_view prefix = std::u16string_view(definition.name).substr(0, colon);
            std::u16string_view uri;
            if (colon != std::u16string::npos) {
                if (prefix == u"xml")
                    uri = kXmlNamespaceUri;
                else if (prefix == u"xmlns")
                    uri = kXmlnsNamespaceUri;
                else
                    continue;
            }
            try {
                attr = createAttributeNS(uri, definition.name);
            } catch (const EDomException&) {
                continue;
            }
        } else {
            attr = createAttribute(definition.name);
        }
        try {
            attr->setValue(definition.defaultValue);
            attr->setSpecified(false);
            if (aware)
                element->setAttributeNodeNS(attr);
            else
                element->setAttributeNode(attr);
        } catch (...) {
            destroyNode(attr);
            throw;
        }
    }
}

// ---- content model, base URI ----

TdomCMObject* TdomDocument::detachContentModel() {
    TdomCMObject* old = contentModel_;
    if (old) cmaccess::setAttachedDocument(old, nullptr);
    contentModel_ = nullptr;
    return old;
}

TdomCMObject* TdomDocument::attachContentModel(TdomCMObject* contentModel) {
    TdomCMObject* old = detachContentModel();
    if (contentModel) {
        if (cmaccess::attachedDocument(contentModel)) throw EInuse_Content_Model_Err();
        cmaccess::setAttachedDocument(contentModel, this);
        contentModel_ = contentModel;
    }
    return old;
}

void TdomDocument::setDocumentBaseUri(std::u16string_view uri) {
    if (!uri.empty() && uri.front() == 0xFEFF) uri.remove_prefix(1);
    std::string narrow;
    narrow.reserve(uri.size());
    for (char16_t unit : uri) {
        if (unit > 0xFF) throw ESyntax_Err();
        narrow += static_cast<char>(unit);
    }
    if (!dominternal::isAbsoluteUri(narrow)) throw ESyntax_Err();
    baseUri_ = uri;
}

// ---- validation ----

bool TdomDocument::validate(TdomCustomErrorHandler* errorHandler, int option) {
    TdomElement* root = documentElement();
    if (!root) throw EParserRootNotFound_Err("Root not found error.");
    bool result = true;
    TdomDocumentType* type = doctype();
    if (type && contentModel_ && !contentModel_->selfCheck(errorHandler)) result = false;
    if (!checkEntityReferences(option)) {
        result = false;
        if (errorHandler)
            errorHandler->error(this, nullptr, std::u16string_view(),
                                EParserUnresolvable_Entity_Reference_Err::kClassName);
    }
    if (type && type->nodeName() != root->nodeName()) {
        result = false;
        if (errorHandler)
            errorHandler->error(this, nullptr, std::u16string_view(), EParserWrong_Root_Element_Type_Err::kClassName);
    }
    idList_->clearAll();
    for (TdomNode* child : children_)
        if (!child->validate(errorHandler)) result = false;
    // The references are checked even after other problems, so that every problem is reported.
    if (!checkIdReferences(errorHandler)) {
        result = false;
        idList_->clearAll();
    }
    return result;
}
