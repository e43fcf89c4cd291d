#include "dom/cm_node.h"

#include <algorithm>
#include <utility>

#include "dom/cm_object.h"
#include "text/dom_exception.h"
#include "text/stream.h"
#include "text/xml_chars.h"

namespace {
constexpr TdomCMNodeTypeSet kNoChildren = 0;
constexpr TdomCMNodeTypeSet kTokenTypes =
    cmNodeTypeSet({TdomCMNodeType::nameParticle, TdomCMNodeType::nmtokenParticle});
} // namespace

// ---- TdomCMNodeList ----

TdomCMNode* TdomCMNodeList::item(int index) const {
    if (index < 0 || index >= length()) return nullptr;
    return (*items_)[static_cast<std::size_t>(index)];
}

int TdomCMNodeList::indexOf(const TdomCMNode* node) const {
    auto it = std::find(items_->begin(), items_->end(), node);
    return it == items_->end() ? -1 : static_cast<int>(it - items_->begin());
}

// ---- TdomCMNode ----

TdomCMNode::TdomCMNode(TdomCustomCMObject* owner, TdomCMNodeType type, std::u16string name, std::u16string value,
                       TdomCMNodeTypeSet permittedChildTypes)
    : owner_(owner), name_(std::move(name)), value_(std::move(value)), permittedChildTypes_(permittedChildTypes),
      type_(type) {}

TdomCMNode::TdomCMNode(const TdomCMNode& source)
    : owner_(source.owner_), name_(source.name_), value_(source.value_),
      permittedChildTypes_(source.permittedChildTypes_), type_(source.type_), readOnly_(source.readOnly_) {}

TdomCMNode::~TdomCMNode() = default;

int TdomCMNode::indexOfChild(const TdomCMNode* child) const {
    auto it = std::find(children_.begin(), children_.end(), child);
    return it == children_.end() ? -1 : static_cast<int>(it - children_.begin());
}

TdomCMNode* TdomCMNode::previousSibling() const {
    if (!parent_) return nullptr;
    int i = parent_->indexOfChild(this);
    return i > 0 ? parent_->children_[static_cast<std::size_t>(i - 1)] : nullptr;
}

TdomCMNode* TdomCMNode::nextSibling() const {
    if (!parent_) return nullptr;
    int i = parent_->indexOfChild(this);
    if (i < 0 || static_cast<std::size_t>(i) + 1 >= parent_->children_.size()) return nullptr;
    return parent_->children_[static_cast<std::size_t>(i) + 1];
}

void TdomCMNode::setNodeValue(const std::u16string& value) {
    if (readOnly_) throw ENo_Modification_Allowed_Err();
    value_ = value;
}

bool TdomCMNode::hasAncestor(const TdomCMNode* node) const {
    for (const TdomCMNode* p = parent_; p; p = p->parent_)
        if (p == node) return true;
    return false;
}

void TdomCMNode::checkChildAcceptable(const TdomCMNode*, const TdomCMNode*) const {}
void TdomCMNode::childInserted(TdomCMNode*) {}
void TdomCMNode::childRemoving(TdomCMNode*) {}

void TdomCMNode::checkNewChild(const TdomCMNode* newChild, const TdomCMNode* oldChild) const {
    if (!newChild) throw ENot_Supported_Err();
    checkChildAcceptable(newChild, oldChild);
    if (newChild->type_ != TdomCMNodeType::fragment && !isPermittedChildType(newChild->type_))
        throw EHierarchy_Request_Err();
    if (newChild->owner_ != owner_) throw EWrong_Document_Err();
    if (newChild == this || hasAncestor(newChild)) throw EHierarchy_Request_Err();
    if (readOnly_ || (newChild->parent_ && newChild->parent_->readOnly_)) throw ENo_Modification_Allowed_Err();
}

void TdomCMNode::detachChildAt(int index) {
    ++owner_->treeVersion_;
    TdomCMNode* child = children_[static_cast<std::size_t>(index)];
    childRemoving(child);
    children_.erase(children_.begin() + index);
    child->parent_ = nullptr;
}

void TdomCMNode::adoptChild(TdomCMNode* child, int index) {
    ++owner_->treeVersion_;
    if (child->parent_) child->parent_->detachChildAt(child->parent_->indexOfChild(child));
    if (index < 0 || static_cast<std::size_t>(index) > children_.size())
        children_.push_back(child);
    else
        children_.insert(children_.begin() + index, child);
    child->parent_ = this;
    childInserted(child);
}

TdomCMNode* TdomCMNode::insertBefore(TdomCMNode* newChild, TdomCMNode* refChild) {
    checkNewChild(newChild, nullptr);
    if (newChild == refChild) throw EHierarchy_Request_Err();
    if (refChild && refChild->parent_ != this) throw ENot_Found_Err();
    if (newChild->type_ == TdomCMNodeType::fragment) {
        while (newChild->hasChildNodes()) insertBefore(newChild->children_.front(), refChild);
        return newChild;
    }
    if (newChild->parent_) newChild->parent_->removeChild(newChild);
    adoptChild(newChild, refChild ? indexOfChild(refChild) : -1);
    return newChild;
}

TdomCMNode* TdomCMNode::appendChild(TdomCMNode* newChild) {
    checkNewChild(newChild, nullptr);
    if (newChild->type_ == TdomCMNodeType::fragment) {
        while (newChild->hasChildNodes()) appendChild(newChild->children_.front());
        return newChild;
    }
    if (newChild->parent_) newChild->parent_->removeChild(newChild);
    adoptChild(newChild, -1);
    return newChild;
}

TdomCMNode* TdomCMNode::replaceChild(TdomCMNode* newChild, TdomCMNode* oldChild) {
    if (!newChild || !oldChild) throw ENot_Supported_Err();
    checkNewChild(newChild, oldChild);
    if (oldChild->parent_ != this) throw ENot_Found_Err();
    if (newChild == oldChild) return oldChild;
    if (newChild->parent_) newChild->parent_->removeChild(newChild);
    TdomCMNode* next = oldChild->nextSibling();
    removeChild(oldChild);
    if (next)
        insertBefore(newChild, next);
    else
        appendChild(newChild);
    return oldChild;
}

TdomCMNode* TdomCMNode::removeChild(TdomCMNode* oldChild) {
    if (!oldChild) throw ENot_Supported_Err();
    if (readOnly_) throw ENo_Modification_Allowed_Err();
    int index = oldChild->parent_ == this ? indexOfChild(oldChild) : -1;
    if (index < 0) throw ENot_Found_Err();
    detachChildAt(index);
    return oldChild;
}

std::unique_ptr<TdomCMNode> TdomCMNode::copyNode() const { throw ENot_Supported_Err(); }

TdomCMNode* TdomCMNode::cloneNode(bool deep) const {
    TdomCMNode* root = owner_->registerNode(copyNode());
    if (!deep) return root;
    // Iterative, so that a deeply nested content model copies without deep recursion.
    std::vector<std::pair<const TdomCMNode*, TdomCMNode*>> pending{{this, root}};
    while (!pending.empty()) {
        auto [source, copy] = pending.back();
        pending.pop_back();
        for (const TdomCMNode* child : source->children_) {
            TdomCMNode* childCopy = owner_->registerNode(child->copyNode());
            ++owner_->treeVersion_;
            copy->children_.push_back(childCopy);
            childCopy->parent_ = copy;
            copy->childInserted(childCopy);
            if (!child->children_.empty()) pending.emplace_back(child, childCopy);
        }
    }
    return root;
}

bool TdomCMNode::selfCheck(TdomCustomErrorHandler*) const { return true; }

void TdomCMNode::declarationParts(DeclarationParts&) const { throw ENot_Supported_Err(); }

std::u16string TdomCMNode::declarationText() const {
    // Iterative walk: a content model may nest deeper than the call stack allows.
    struct Frame {
        const TdomCMNode* node;
        DeclarationParts parts;
        std::size_t next;
    };
    std::u16string out;
    std::vector<Frame> stack;
    auto enter = [&](const TdomCMNode* node) {
        Frame frame{node, {}, 0};
        node->declarationParts(frame.parts);
        out += frame.parts.open;
        stack.push_back(std::move(frame));
    };
    enter(this);
    while (!stack.empty()) {
        Frame& top = stack.back();
        const auto& kids = top.node->children_;
        if (top.parts.writeChildren && top.next < kids.size()) {
            if (top.next > 0) out += top.parts.afterEach, out += top.parts.between;
            out += top.parts.beforeEach;
            const TdomCMNode* child = kids[top.next++];
            enter(child); // may invalidate top
            continue;
        }
        if (top.parts.writeChildren && !kids.empty()) out += top.parts.afterEach;
        out += top.parts.close;
        stack.pop_back();
    }
    return out;
}

void TdomCMNode::writeDeclaration(TStream& stream) const {
    std::u16string text = declarationText();
    if (!text.empty()) stream.writeBuffer(text.data(), static_cast<std::int64_t>(text.size() * sizeof(char16_t)));
}

// ---- the simple node classes ----

TdomCMProcessingInstruction::TdomCMProcessingInstruction(TdomCustomCMObject* owner, std::u16string target,
                                                         std::u16string data)
    : TdomCMNode(owner, TdomCMNodeType::processingInstruction, std::move(target), std::move(data), kNoChildren) {}

void TdomCMProcessingInstruction::declarationParts(DeclarationParts& parts) const {
    parts.open = u"<?" + target() + u" " + data() + u"?>";
    parts.writeChildren = false;
}

std::unique_ptr<TdomCMNode> TdomCMProcessingInstruction::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMProcessingInstruction(*this));
}

TdomCMComment::TdomCMComment(TdomCustomCMObject* owner, std::u16string data)
    : TdomCMNode(owner, TdomCMNodeType::comment, u"#comment", std::move(data), kNoChildren) {}

void TdomCMComment::declarationParts(DeclarationParts& parts) const {
    parts.open = u"<!--" + nodeValue() + u"-->";
    parts.writeChildren = false;
}

std::unique_ptr<TdomCMNode> TdomCMComment::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMComment(*this));
}

TdomCMFragment::TdomCMFragment(TdomCustomCMObject* owner)
    : TdomCMNode(owner, TdomCMNodeType::fragment, u"#cm-fragment", u"", kCMDeclarationTypes) {}

void TdomCMFragment::declarationParts(DeclarationParts& parts) const { parts.afterEach.push_back(u'\n'); }

std::unique_ptr<TdomCMNode> TdomCMFragment::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMFragment(*this));
}

TdomCMAttribute::TdomCMAttribute(TdomCustomCMObject* owner, std::u16string name)
    : TdomCMNode(owner, TdomCMNodeType::attribute, u"#cm-attribute", std::move(name), kTokenTypes) {}

std::unique_ptr<TdomCMNode> TdomCMAttribute::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMAttribute(*this));
}

TdomCMNotation::TdomCMNotation(TdomCustomCMObject* owner, std::u16string name, std::u16string publicId,
                               std::u16string systemId)
    : TdomCMNode(owner, TdomCMNodeType::notation, std::move(name), u"", kNoChildren), publicId_(std::move(publicId)),
      systemId_(std::move(systemId)) {}

std::unique_ptr<TdomCMNode> TdomCMNotation::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMNotation(*this));
}

TdomCMEntity::TdomCMEntity(TdomCustomCMObject* owner, std::u16string name, std::u16string value,
                           std::u16string publicId, std::u16string systemId, std::u16string notationName)
    : TdomCMNode(owner, TdomCMNodeType::entity, std::move(name), std::move(value), kNoChildren),
      publicId_(std::move(publicId)), systemId_(std::move(systemId)), notationName_(std::move(notationName)) {}

std::unique_ptr<TdomCMNode> TdomCMEntity::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMEntity(*this));
}

TdomCMParameterEntity::TdomCMParameterEntity(TdomCustomCMObject* owner, std::u16string name, std::u16string value,
                                             std::u16string publicId, std::u16string systemId)
    : TdomCMNode(owner, TdomCMNodeType::parameterEntity, std::move(name), std::move(value), kNoChildren),
      publicId_(std::move(publicId)), systemId_(std::move(systemId)) {}

std::unique_ptr<TdomCMNode> TdomCMParameterEntity::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMParameterEntity(*this));
}

TdomCMParameterEntityReference::TdomCMParameterEntityReference(TdomCustomCMObject* owner, std::u16string name)
    : TdomCMNode(owner, TdomCMNodeType::parameterEntityReference, std::move(name), u"", kNoChildren) {
    if (!checkName(nodeName())) throw EInvalid_Character_Err();
}

void TdomCMParameterEntityReference::declarationParts(DeclarationParts& parts) const {
    parts.open = u"%" + nodeName() + u";";
    parts.writeChildren = false;
}

std::unique_ptr<TdomCMNode> TdomCMParameterEntityReference::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMParameterEntityReference(*this));
}
