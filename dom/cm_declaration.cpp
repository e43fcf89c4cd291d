#include "dom/cm_declaration.h"

#include <deque>
#include <unordered_set>
#include <utility>
#include <vector>

#include "dom/cm_object.h"
#include "dom/cm_particle.h"
#include "dom/cm_report.h"
#include "text/dom_exception.h"
#include "text/exception.h"
#include "text/parser_exception.h"
#include "text/text_utils.h"
#include "text/xml_chars.h"

namespace {

constexpr TdomCMNodeTypeSet kNoChildren = 0;

// Bounds of entity expansion: nesting of entities within entities, and the size of an expanded
// value. An entity beyond them counts as unusable (this also stops exponential expansion).
constexpr int kMaxEntityNesting = 64;
constexpr std::size_t kMaxExpansionUnits = std::size_t{1} << 22;

std::u16string quoted(const std::u16string& value) {
    return value.find(u'"') == std::u16string::npos ? u"\"" + value + u"\"" : u"'" + value + u"'";
}

// True when the text, enclosed in double quotes or else in apostrophes, passes check.
template <class Check> bool passesQuoted(const std::u16string& text, Check check) {
    return check(u"\"" + text + u"\"") || check(u"'" + text + u"'");
}

bool isPredefinedName(std::u16string_view name) {
    return name == u"lt" || name == u"gt" || name == u"amp" || name == u"apos" || name == u"quot";
}

char16_t predefinedChar(std::u16string_view name) {
    if (name == u"lt") return u'<';
    if (name == u"gt") return u'>';
    if (name == u"amp") return u'&';
    if (name == u"apos") return u'\'';
    return u'"';
}

bool isDeclaredType(const std::u16string& type) {
    return type.empty() || type == u"NOTATION" || type == u"CDATA" || checkTokenizedType(type);
}

bool isDefaultKind(const std::u16string& kind) {
    return kind.empty() || kind == u"#REQUIRED" || kind == u"#IMPLIED" || kind == u"#FIXED";
}

TdomCMNodeTypeSet tokenTypesFor(const std::u16string& declaredType) {
    if (declaredType.empty()) return cmNodeTypeSet({TdomCMNodeType::nmtokenParticle});
    if (declaredType == u"NOTATION") return cmNodeTypeSet({TdomCMNodeType::nameParticle});
    return kNoChildren;
}

TdomCMNodeTypeSet particleTypesFor(TdomCMContentKind kind) {
    switch (kind) {
    case TdomCMContentKind::mixed:
        return cmNodeTypeSet({TdomCMNodeType::pcdataChoiceParticle});
    case TdomCMContentKind::elementContent:
        return cmNodeTypeSet({TdomCMNodeType::sequenceParticle, TdomCMNodeType::choiceParticle});
    default:
        return kNoChildren;
    }
}

// The text from a reference's first unit up to and including the next ";" (npos: no ";").
std::size_t referenceEnd(std::u16string_view text, std::size_t start) { return text.find(u';', start + 1); }

// Where markup that holds no references ends, when a CDATA section, a comment or a processing
// instruction starts at start of a replacement text: the index after it (the text's end when it is
// not closed). start itself when none starts there.
std::size_t afterMarkupWithoutReferences(std::u16string_view text, std::size_t start) {
    std::u16string_view close;
    if (text.substr(start, 9) == u"<![CDATA[")
        close = u"]]>";
    else if (text.substr(start, 4) == u"<!--")
        close = u"-->";
    else if (text.substr(start, 2) == u"<?")
        close = u"?>";
    else
        return start;
    const std::size_t end = text.find(close, start + 2);
    return end == std::u16string_view::npos ? text.size() : end + close.size();
}

// ---- entity resolution ----

class EntityResolver {
public:
    // The replacement text of an internal entity (general or parameter); false when it cannot be
    // built. External entities have an empty one.
    bool replacementText(const TdomCustomCMEntDecl* entity, std::u16string& out, int depth = 0) {
        if (!entity->internal()) return true;
        if (depth > kMaxEntityNesting) return false;
        const std::u16string& value = entity->nodeValue();
        const TdomCustomCMObject* scope = entity->owner();
        for (std::size_t i = 0; i < value.size();) {
            char16_t c = value[i];
            if (c != u'&' && c != u'%') {
                out += c;
                ++i;
                continue;
            }
            std::size_t end = referenceEnd(value, i);
            if (end == std::u16string::npos) return false;
            std::u16string_view ref(value.data() + i, end - i + 1);
            if (c == u'&') {
                if (ref.size() > 1 && ref[1] == u'#') {
                    if (!checkCharRef(ref)) return false;
                    try {
                        out += charRefText(ref);
                    } catch (const Exception&) {
                        return false;
                    }
                } else {
                    if (!checkEntityRef(ref)) return false;
                    out += ref;
                }
            } else {
                if (!checkPEReference(ref)) return false;
                std::u16string_view name = ref.substr(1, ref.size() - 2);
                std::u16string text;
                if (scope->findParameterEntityText(name, text)) {
                    out += text;
                } else if (const auto* pe = scope->findParameterEntityDeclaration(name)) {
                    if (!replacementText(pe, out, depth + 1)) return false;
                } else {
                    return false;
                }
            }
            if (out.size() > kMaxExpansionUnits) return false;
            i = end + 1;
        }
        return out.size() <= kMaxExpansionUnits;
    }

    // The attribute-value form of an entity; false when it cannot be built (see isUnusable).
    bool normalizedValue(const TdomCMEntityDeclaration* entity, std::u16string& out, int depth = 0) {
        if (!entity->internal() || !entity->parsed()) return true;
        if (depth > kMaxEntityNesting) return false;
        for (const TdomCMEntityDeclaration* active : active_)
            if (active == entity) return false; // refers to itself
        std::u16string text;
        if (!replacementText(entity, text)) return false;
        active_.push_back(entity);
        bool ok = normalizeText(entity, text, out, depth);
        active_.pop_back();
        return ok;
    }

    // Names of the general entities an internal entity refers to.
    static std::vector<std::u16string> referencedNames(const std::u16string& text) {
        std::vector<std::u16string> names;
        for (std::size_t i = text.find_first_of(u"&<"); i != std::u16string::npos;
             i = text.find_first_of(u"&<", i + 1)) {
            if (text[i] == u'<') {
                // The search goes on right after such markup.
                if (const std::size_t after = afterMarkupWithoutReferences(text, i); after != i) i = after - 1;
                continue;
            }
            std::size_t end = referenceEnd(text, i);
            if (end == std::u16string::npos) break;
            if (end > i + 1 && text[i + 1] != u'#') names.emplace_back(text.substr(i + 1, end - i - 1));
        }
        return names;
    }

private:
    bool normalizeText(const TdomCMEntityDeclaration* entity, const std::u16string& text, std::u16string& out,
                       int depth) {
        for (std::size_t i = 0; i < text.size();) {
            char16_t c = text[i];
            if (c == u'<') {
                // Such markup makes the entity no attribute value; its references are no references.
                const std::size_t after = afterMarkupWithoutReferences(text, i);
                if (after != i) {
                    out.append(text, i, after - i);
                    i = after;
                    continue;
                }
            }
            if (c == u'&') {
                std::size_t end = referenceEnd(text, i);
                if (end == std::u16string::npos) return false;
                std::u16string_view ref(text.data() + i, end - i + 1);
                if (ref.size() > 1 && ref[1] == u'#') {
                    try {
                        out += charRefText(ref);
                    } catch (const Exception&) {
                        return false;
                    }
                } else {
                    std::u16string_view name = ref.substr(1, ref.size() - 2);
                    if (const auto* nested = entity->owner()->findEntityDeclaration(name)) {
                        if (!normalizedValue(nested, out, depth + 1)) return false;
                    } else if (isPredefinedName(name)) {
                        out += predefinedChar(name);
                    } else {
                        return false;
                    }
                }
                i = end + 1;
            } else {
                out += (c == u'\t' || c == u'\n' || c == u'\r') ? u' ' : c;
                ++i;
            }
            if (out.size() > kMaxExpansionUnits) return false;
        }
        return true;
    }

    std::vector<const TdomCMEntityDeclaration*> active_;
};

// Breadth-first walk over the entities reachable from entity through the references of their
// replacement texts; true as soon as one satisfies test.
template <class Test> bool anyReachableEntity(const TdomCMEntityDeclaration* entity, Test test) {
    std::unordered_set<const TdomCMEntityDeclaration*> seen{entity};
    std::deque<const TdomCMEntityDeclaration*> queue{entity};
    while (!queue.empty()) {
        const TdomCMEntityDeclaration* current = queue.front();
        queue.pop_front();
        if (test(current)) return true;
        if (!current->internal()) continue;
        std::u16string text;
        if (!EntityResolver().replacementText(current, text)) continue;
        for (const std::u16string& name : EntityResolver::referencedNames(text)) {
            const TdomCMEntityDeclaration* nested = current->owner()->findEntityDeclaration(name);
            if (nested && seen.insert(nested).second) queue.push_back(nested);
        }
    }
    return false;
}

} // namespace

// ---- TdomCMElementTypeDeclaration ----

TdomCMElementTypeDeclaration::TdomCMElementTypeDeclaration(TdomCustomCMObject* owner, std::u16string name,
                                                           TdomCMContentKind contentKind)
    : TdomCMNode(owner, TdomCMNodeType::elementTypeDeclaration, std::move(name), u"", particleTypesFor(contentKind)),
      contentKind_(contentKind) {
    if (!checkName(nodeName())) throw EInvalid_Character_Err();
    if (static_cast<unsigned>(contentKind) > static_cast<unsigned>(TdomCMContentKind::elementContent))
        throw ENot_Supported_Err();
}

TdomCMParticle* TdomCMElementTypeDeclaration::particle() const { return static_cast<TdomCMParticle*>(firstChild()); }

void TdomCMElementTypeDeclaration::checkChildAcceptable(const TdomCMNode* newChild, const TdomCMNode* oldChild) const {
    if (contentKind_ != TdomCMContentKind::mixed && contentKind_ != TdomCMContentKind::elementContent)
        throw ENot_Supported_Err();
    if (hasChildNodes() && newChild != firstChild() && oldChild != firstChild()) throw ENot_Supported_Err();
}

bool TdomCMElementTypeDeclaration::validateChildNames(std::span<const std::u16string> names,
                                                      TdomCustomErrorHandler* errorHandler,
                                                      const std::u16string& code) const {
    const TdomCMParticle* model = particle();
    std::size_t next = 0;
    if (hasElementContent() && model && model->matchNames(names, 0, next) && next == names.size()) return true;
    reportContentModelError(errorHandler, this, EParserElement_With_Illegal_Element_Content_Err::kClassName, code);
    return false;
}

bool TdomCMElementTypeDeclaration::selfCheck(TdomCustomErrorHandler* errorHandler) const {
    for (const TdomCMNode* child : children())
        if (!child->selfCheck(errorHandler)) return false;
    // An ambiguous model is matched all the same: XML asks for determinism only for compatibility.
    if (hasElementContent() && particle() && !particle()->deterministic())
        reportContentModelWarning(errorHandler, this, EParserNondeterministic_Element_Content_Model_Err::kClassName,
                                  nodeName());
    return true;
}

void TdomCMElementTypeDeclaration::declarationParts(DeclarationParts& parts) const {
    parts.open = u"<!ELEMENT " + nodeName() + u" ";
    switch (contentKind_) {
    case TdomCMContentKind::empty:
        parts.open += u"EMPTY ";
        parts.writeChildren = false;
        break;
    case TdomCMContentKind::any:
        parts.open += u"ANY ";
        parts.writeChildren = false;
        break;
    default:
        if (!particle()) throw ENot_Supported_Err();
        break;
    }
    parts.close = u" >";
}

std::unique_ptr<TdomCMNode> TdomCMElementTypeDeclaration::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMElementTypeDeclaration(*this));
}

// ---- TdomCMAttrList ----

TdomCMAttrList::TdomCMAttrList(TdomCustomCMObject* owner, std::u16string elementName)
    : TdomCMNode(owner, TdomCMNodeType::attrList, std::move(elementName), u"",
                 cmNodeTypeSet({TdomCMNodeType::attrDefinition})) {
    if (!checkName(nodeName())) throw EInvalid_Character_Err();
}

bool TdomCMAttrList::selfCheck(TdomCustomErrorHandler* errorHandler) const {
    for (const TdomCMNode* child : children())
        if (!child->selfCheck(errorHandler)) return false;
    return true;
}

void TdomCMAttrList::declarationParts(DeclarationParts& parts) const {
    parts.open = u"<!ATTLIST " + nodeName();
    parts.beforeEach = u"\n\t";
    parts.close = u">";
}

std::unique_ptr<TdomCMNode> TdomCMAttrList::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMAttrList(*this));
}

// ---- TdomCMAttrDefinition ----

TdomCMAttrDefinition::TdomCMAttrDefinition(TdomCustomCMObject* owner, std::u16string name, std::u16string declaredType,
                                           std::u16string defaultKind, std::u16string defaultValue)
    : TdomCMNode(owner, TdomCMNodeType::attrDefinition, std::move(name), std::move(defaultValue),
                 tokenTypesFor(declaredType)),
      declaredType_(std::move(declaredType)), defaultKind_(std::move(defaultKind)) {
    if (!checkName(nodeName()) || !isDeclaredType(declaredType_) || !isDefaultKind(defaultKind_))
        throw EInvalid_Character_Err();
    if (defaultKind_ == u"#REQUIRED" || defaultKind_ == u"#IMPLIED") {
        if (!nodeValue().empty()) throw EInvalid_Character_Err();
    } else if (!passesQuoted(nodeValue(), checkAttValue)) {
        throw EInvalid_Character_Err();
    }
}

TdomCMAttrList* TdomCMAttrDefinition::attrList() const {
    TdomCMNode* parent = parentNode();
    return parent && parent->nodeType() == TdomCMNodeType::attrList ? static_cast<TdomCMAttrList*>(parent) : nullptr;
}

bool TdomCMAttrDefinition::defaultValueFitsType() const {
    if (declaredType_ == u"CDATA" || declaredType_ == u"ID") return true;
    if (defaultKind_ == u"#REQUIRED" || defaultKind_ == u"#IMPLIED") return true;
    // A value with references is what they expand to; that is left to the attribute's own uses.
    const std::u16string& value = nodeValue();
    if (value.find(u'&') != std::u16string::npos) return true;
    // The value as tokenized attributes are normalized: white space as spaces, none at either end,
    // single spaces between tokens.
    std::u16string tokens;
    for (char16_t unit : value) {
        if (!isWhiteSpace(unit))
            tokens.push_back(unit);
        else if (!tokens.empty() && tokens.back() != u' ')
            tokens.push_back(u' ');
    }
    if (!tokens.empty() && tokens.back() == u' ') tokens.pop_back();
    if (declaredType_ == u"IDREF" || declaredType_ == u"ENTITY") return checkName(tokens);
    if (declaredType_ == u"IDREFS" || declaredType_ == u"ENTITIES") return checkNames(tokens);
    if (declaredType_ == u"NMTOKEN") return checkNmtoken(tokens);
    if (declaredType_ == u"NMTOKENS") return checkNmtokens(tokens);
    // An enumeration or a NOTATION type: one of its tokens.
    for (const TdomCMNode* token : children())
        if (token->nodeName() == tokens) return true;
    return false;
}

bool TdomCMAttrDefinition::selfCheck(TdomCustomErrorHandler* errorHandler) const {
    bool ok = true;
    if (declaredType_ == u"ID" && defaultKind_ != u"#REQUIRED" && defaultKind_ != u"#IMPLIED") {
        reportContentModelError(errorHandler, this, EParserId_Neither_Implied_Nor_Required_Err::kClassName, nodeName());
        ok = false;
    }
    if (!defaultValueFitsType()) {
        reportContentModelError(errorHandler, this, EParserAttribute_Default_Type_Mismatch_Err::kClassName,
                                nodeName() + u"=\"" + nodeValue() + u"\"");
        ok = false;
    }
    std::unordered_set<std::u16string_view> seen;
    for (const TdomCMNode* child : children()) {
        if (!seen.insert(child->nodeName()).second) {
            reportContentModelError(errorHandler, this, EParserDuplicate_Tokens_Err::kClassName, child->nodeName());
            ok = false;
            break;
        }
    }
    return ok;
}

void TdomCMAttrDefinition::declarationParts(DeclarationParts& parts) const {
    parts.open = nodeName() + u"\t";
    if (!declaredType_.empty()) parts.open += declaredType_ + u"\t";
    if (hasChildNodes()) {
        parts.open += u"(";
        parts.between = u" | ";
        parts.close = u")";
    }
    if (!defaultKind_.empty()) parts.close += u"\t" + defaultKind_;
    if (defaultKind_.empty() || defaultKind_ == u"#FIXED") parts.close += u"\t" + quoted(nodeValue());
}

std::unique_ptr<TdomCMNode> TdomCMAttrDefinition::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMAttrDefinition(*this));
}

// ---- name and nmtoken particles ----

TdomCMNameParticle::TdomCMNameParticle(TdomCustomCMObject* owner, std::u16string name)
    : TdomCMNode(owner, TdomCMNodeType::nameParticle, std::move(name), u"", kNoChildren) {
    if (!checkName(nodeName())) throw EInvalid_Character_Err();
}

void TdomCMNameParticle::declarationParts(DeclarationParts& parts) const {
    parts.open = nodeName();
    parts.writeChildren = false;
}

std::unique_ptr<TdomCMNode> TdomCMNameParticle::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMNameParticle(*this));
}

TdomCMNmtokenParticle::TdomCMNmtokenParticle(TdomCustomCMObject* owner, std::u16string token)
    : TdomCMNode(owner, TdomCMNodeType::nmtokenParticle, std::move(token), u"", kNoChildren) {
    if (!checkNmtoken(nodeName())) throw EInvalid_Character_Err();
}

void TdomCMNmtokenParticle::declarationParts(DeclarationParts& parts) const {
    parts.open = nodeName();
    parts.writeChildren = false;
}

std::unique_ptr<TdomCMNode> TdomCMNmtokenParticle::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMNmtokenParticle(*this));
}

// ---- entity declarations ----

TdomCustomCMEntDecl::TdomCustomCMEntDecl(TdomCustomCMObject* owner, TdomCMNodeType type, std::u16string name,
                                         std::u16string value, std::u16string publicId, std::u16string systemId)
    : TdomCMNode(owner, type, std::move(name), std::move(value), kNoChildren), publicId_(std::move(publicId)),
      systemId_(std::move(systemId)) {
    if (!checkName(nodeName()) || !passesQuoted(systemId_, checkSystemLiteral) ||
        !passesQuoted(publicId_, checkPubidLiteral))
        throw EInvalid_Character_Err();
    if (!nodeValue().empty() && (!passesQuoted(nodeValue(), checkEntityValue) || !internal()))
        throw EInvalid_Character_Err();
    setReadonly(true);
}

void TdomCustomCMEntDecl::appendDefinition(std::u16string& out, const std::u16string& notation) const {
    if (!internal())
        out += formatExternalId(publicId_, systemId_, notation);
    else
        out += u"\t" + quoted(nodeValue());
}

TdomCMEntityDeclaration::TdomCMEntityDeclaration(TdomCustomCMObject* owner, std::u16string name, std::u16string value,
                                                 std::u16string publicId, std::u16string systemId,
                                                 std::u16string notation)
    : TdomCustomCMEntDecl(owner, TdomCMNodeType::entityDeclaration, std::move(name), std::move(value),
                          std::move(publicId), std::move(systemId)),
      notation_(std::move(notation)) {
    if (!notation_.empty() && (!checkName(notation_) || !nodeValue().empty())) throw EInvalid_Character_Err();
}

std::u16string TdomCMEntityDeclaration::replacementText() const {
    std::u16string text;
    if (!EntityResolver().replacementText(this, text) || isUnusable()) return std::u16string();
    return text;
}

std::u16string TdomCMEntityDeclaration::normalizedValue() const {
    std::u16string value;
    if (!EntityResolver().normalizedValue(this, value)) return std::u16string();
    return value;
}

bool TdomCMEntityDeclaration::isUnusable() const {
    std::u16string value;
    return !EntityResolver().normalizedValue(this, value);
}

bool TdomCMEntityDeclaration::refersToExternalEntity() const {
    return anyReachableEntity(this, [](const TdomCMEntityDeclaration* e) { return !e->internal(); });
}

bool TdomCMEntityDeclaration::refersToUnparsedEntity() const {
    return anyReachableEntity(this, [](const TdomCMEntityDeclaration* e) { return !e->parsed(); });
}

void TdomCMEntityDeclaration::declarationParts(DeclarationParts& parts) const {
    parts.open = u"<!ENTITY " + nodeName() + u" ";
    appendDefinition(parts.open, notation_);
    parts.open += u">";
    parts.writeChildren = false;
}

std::unique_ptr<TdomCMNode> TdomCMEntityDeclaration::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMEntityDeclaration(*this));
}

TdomCMParameterEntityDeclaration::TdomCMParameterEntityDeclaration(TdomCustomCMObject* owner, std::u16string name,
                                                                   std::u16string value, std::u16string publicId,
                                                                   std::u16string systemId)
    : TdomCustomCMEntDecl(owner, TdomCMNodeType::parameterEntityDeclaration, std::move(name), std::move(value),
                          std::move(publicId), std::move(systemId)) {}

void TdomCMParameterEntityDeclaration::declarationParts(DeclarationParts& parts) const {
    parts.open = u"<!ENTITY % " + nodeName() + u" ";
    appendDefinition(parts.open, std::u16string());
    parts.open += u">";
    parts.writeChildren = false;
}

std::unique_ptr<TdomCMNode> TdomCMParameterEntityDeclaration::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMParameterEntityDeclaration(*this));
}

// ---- TdomCMNotationDeclaration ----

TdomCMNotationDeclaration::TdomCMNotationDeclaration(TdomCustomCMObject* owner, std::u16string name,
                                                     std::u16string publicId, std::u16string systemId)
    : TdomCMNode(owner, TdomCMNodeType::notationDeclaration, std::move(name), u"", kNoChildren),
      publicId_(std::move(publicId)), systemId_(std::move(systemId)) {
    if (!checkName(nodeName())) throw EInvalid_Character_Err();
    if (!passesQuoted(systemId_, checkSystemLiteral) && !passesQuoted(publicId_, checkPubidLiteral))
        throw EInvalid_Character_Err();
}

void TdomCMNotationDeclaration::declarationParts(DeclarationParts& parts) const {
    parts.open = u"<!NOTATION " + nodeName() + u" " + formatExternalId(publicId_, systemId_, std::u16string()) + u">";
    parts.writeChildren = false;
}

std::unique_ptr<TdomCMNode> TdomCMNotationDeclaration::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMNotationDeclaration(*this));
}
