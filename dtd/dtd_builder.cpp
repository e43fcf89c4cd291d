#include "dtd/dtd_builder.h"

#include <utility>
#include <vector>

#include "dom/cm_object.h"
#include "dom/implementation.h"
#include "dtd/dtd_reader.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/locator.h"
#include "text/name_value_list.h"
#include "text/parser_error.h"
#include "text/parser_exception.h"
#include "text/stream.h"
#include "text/text_utils.h"
#include "text/utf8.h"
#include "text/xml_chars.h"

namespace {

constexpr const char* kNotActive = "TXmlDtdBuilder is not active.";
constexpr const char* kExternalActive = "TXmlDtdBuilder -- external DTD is active.";
constexpr const char* kInternalActive = "TXmlDtdBuilder -- internal DTD is active.";
// The internal subset allows parameter-entity references only between declarations.
constexpr std::u16string_view kReferenceInInternalSubset = u"parameter-entity reference inside a declaration";

[[noreturn]] void parserError() { throw EParserException("Parser error."); }

bool isOccurrence(char16_t unit) { return unit == u'?' || unit == u'*' || unit == u'+'; }

// The pieces of text between the separators, each trimmed.
std::vector<std::u16string> splitTrimmed(std::u16string_view text, char16_t separator) {
    std::vector<std::u16string> pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        if (end == std::u16string_view::npos) {
            pieces.push_back(trimWhiteSpace(text.substr(start)));
            return pieces;
        }
        pieces.push_back(trimWhiteSpace(text.substr(start, end - start)));
        start = end + 1;
    }
}

// Appends child to parent; a child that cannot be appended is freed before the exception goes on.
void attach(TdomCMNode* parent, TdomCMNode* child) {
    try {
        parent->appendChild(child);
    } catch (...) {
        child->owner()->freeNode(child);
        throw;
    }
}

// A bound reached while a replacement text is built; code says which.
class EBoundReached : public EConvertError {
public:
    explicit EBoundReached(std::u16string_view boundCode) : EConvertError(utf16ToUtf8(boundCode)), code(boundCode) {}
    std::u16string_view code;
};

// Whether a record's code tells of a reached bound.
bool isBoundCode(std::u16string_view code) {
    return code == kExpandedTextLimitReached || code == kExpansionLimitReached || code == kNestingLimitReached;
}

[[noreturn]] void valueError(const char* pattern, const std::u16string& value) {
    std::string message(pattern);
    message.replace(message.find("%S"), 2, utf16ToUtf8(value));
    throw EConvertError(std::move(message));
}

} // namespace

TXmlDtdBuilder::TXmlDtdBuilder() : budget_(std::make_shared<TXmlExpansionBudget>()) {}

TXmlDtdBuilder::~TXmlDtdBuilder() = default;

void TXmlDtdBuilder::setExternalTarget(TdomCMExternalObject* target) {
    if (externalActive_) throw EParserException(kExternalActive);
    externalTarget_ = target;
    externalIndex_ = ListIndex();
}

void TXmlDtdBuilder::setInternalTarget(TdomCMInternalObject* target) {
    if (internalActive_) throw EParserException(kInternalActive);
    internalTarget_ = target;
    internalIndex_ = ListIndex();
}

void TXmlDtdBuilder::requireActive() const {
    if (!externalActive_ && !internalActive_) throw EParserException(kNotActive);
}

TdomCustomCMIEObject* TXmlDtdBuilder::activeTarget() const {
    if (externalActive_)
        return externalTextInto_ ? static_cast<TdomCustomCMIEObject*>(externalTextInto_) : externalTarget_;
    if (internalActive_) return internalTarget_;
    return nullptr;
}

void TXmlDtdBuilder::setExpansionBudget(std::shared_ptr<TXmlExpansionBudget> budget) {
    sharedBudget_ = budget != nullptr;
    budget_ = budget ? std::move(budget) : std::make_shared<TXmlExpansionBudget>();
}

void TXmlDtdBuilder::reset() {
    currentNode_ = nullptr;
    externalActive_ = false;
    internalActive_ = false;
    if (!sharedBudget_) budget_->total = 0;
    // The places belong to a run; a nested read shares those of the run that started it.
    if (nestingLevel_ == 0) {
        places_->declaredIn.clear();
        places_->foundAt.clear();
    }
    TXmlCustomDTDHandler::reset();
}

bool TXmlDtdBuilder::appendOrFree(TdomCMNode* node) {
    try {
        currentNode_->appendChild(node);
        return true;
    } catch (const Exception&) {
        freeDetached(node);
        return false;
    }
}

void TXmlDtdBuilder::freeDetached(TdomCMNode* node) {
    if (!node) return;
    try {
        if (TdomCMNode* parent = node->parentNode()) parent->removeChild(node);
        node->owner()->freeNode(node);
    } catch (const Exception&) {
        // A node that cannot be taken out stays with its owner, which frees it in the end.
    }
}

// ---- start and end ----

TXmlErrorRecord TXmlDtdBuilder::startExtDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) {
    if (OnStartExtDtd) OnStartExtDtd(processorAgent, locator);
    if (internalActive_) throw EParserException(kInternalActive);
    if (externalActive_) throw EParserException(kNotActive);
    externalActive_ = true;
    currentNode_ = activeTarget();
    return forward(&TXmlCustomHandler::startExtDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlDtdBuilder::startIntDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) {
    if (OnStartIntDtd) OnStartIntDtd(processorAgent, locator);
    if (externalActive_) throw EParserException(kExternalActive);
    if (internalActive_) throw EParserException(kNotActive);
    internalActive_ = true;
    currentNode_ = internalTarget_;
    return forward(&TXmlCustomHandler::startIntDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlDtdBuilder::endExtDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) {
    if (OnEndExtDtd) OnEndExtDtd(processorAgent, locator);
    if (internalActive_) throw EParserException(kInternalActive);
    if (!externalActive_) throw EParserException(kNotActive);
    externalActive_ = false;
    currentNode_ = nullptr;
    return forward(&TXmlCustomHandler::endExtDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlDtdBuilder::endIntDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) {
    if (OnEndIntDtd) OnEndIntDtd(processorAgent, locator);
    if (externalActive_) throw EParserException(kExternalActive);
    if (!internalActive_) throw EParserException(kNotActive);
    internalActive_ = false;
    currentNode_ = nullptr;
    return forward(&TXmlCustomHandler::endIntDtd, processorAgent, locator);
}

// ---- element type declarations ----

void TXmlDtdBuilder::buildMixedContent(TdomCMElementTypeDeclaration* declaration, const std::u16string& contentSpec) {
    std::u16string_view rest(contentSpec);
    std::u16string occurrence;
    if (!rest.empty() && rest.back() == u'*') {
        occurrence = u"*";
        rest.remove_suffix(1);
    }
    if (rest.empty() || rest.back() != u')') parserError();
    std::u16string inner;
    bool failed = false;
    unwrapParentheses(rest, inner, failed);
    if (failed || inner.empty()) parserError();
    std::vector<std::u16string> pieces = splitTrimmed(inner, u'|');
    // Mixed content starts with #PCDATA; anything else before the first "|" is no content model.
    if (pieces.front() != u"#PCDATA") parserError();
    if (pieces.size() > 1 && occurrence != u"*") parserError();
    for (std::size_t i = 1; i < pieces.size(); ++i)
        if (pieces[i].empty() || !checkName(pieces[i])) parserError();

    TdomCustomCMObject* owner = declaration->owner();
    TdomCMNode* choice = owner->createPcdataChoiceParticle(occurrence);
    attach(declaration, choice);
    for (std::size_t i = 1; i < pieces.size(); ++i) attach(choice, owner->createElementParticle(pieces[i], u""));
}

void TXmlDtdBuilder::buildElementContent(TdomCMElementTypeDeclaration* declaration, const std::u16string& contentSpec) {
    // The groups are taken apart without recursion: the matching parenthesis of every "(" is
    // found in one pass, each group's connector and pieces are found by skipping nested groups,
    // and the particles are made from the resulting outline afterwards.
    const std::u16string& s = contentSpec;
    constexpr std::size_t npos = std::u16string::npos;
    std::vector<std::size_t> match(s.size(), npos);
    {
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == u'(') {
                open.push_back(i);
            } else if (s[i] == u')') {
                if (open.empty()) parserError();
                match[open.back()] = i;
                open.pop_back();
            }
        }
        if (!open.empty()) parserError();
    }

    struct Item {
        TdomCMNodeType type;
        std::u16string name;
        std::u16string occurrence;
        std::vector<std::size_t> children;
    };
    struct Work {
        std::size_t item, begin, end;
        char16_t connector;
    };
    std::vector<Item> items;
    std::vector<Work> work;

    auto trimRange = [&](std::size_t& begin, std::size_t& end) {
        while (begin < end && isWhiteSpace(s[begin])) ++begin;
        while (end > begin && isWhiteSpace(s[end - 1])) --end;
    };
    // A group text [begin, end), trimmed: its occurrence, then "(" inner ")".
    auto addGroup = [&](std::size_t begin, std::size_t end) {
        std::u16string occurrence;
        if (end > begin && isOccurrence(s[end - 1])) occurrence.assign(1, s[--end]);
        if (end <= begin || s[begin] != u'(' || s[end - 1] != u')' || match[begin] != end - 1) parserError();
        std::size_t innerBegin = begin + 1, innerEnd = end - 1;
        trimRange(innerBegin, innerEnd);
        if (innerBegin == innerEnd) parserError();
        char16_t connector = u',';
        for (std::size_t i = innerBegin; i < innerEnd;) {
            if (s[i] == u'(') {
                i = match[i] + 1;
                continue;
            }
            if (s[i] == u',' || s[i] == u'|') {
                connector = s[i];
                break;
            }
            ++i;
        }
        items.push_back({connector == u'|' ? TdomCMNodeType::choiceParticle : TdomCMNodeType::sequenceParticle,
                         std::u16string(),
                         std::move(occurrence),
                         {}});
        work.push_back({items.size() - 1, innerBegin, innerEnd, connector});
        return items.size() - 1;
    };
    auto addPiece = [&](std::size_t parent, std::size_t begin, std::size_t end) {
        trimRange(begin, end);
        std::size_t child;
        if (begin < end && s[begin] == u'(') {
            child = addGroup(begin, end);
        } else {
            std::u16string occurrence;
            if (end > begin && isOccurrence(s[end - 1])) occurrence.assign(1, s[--end]);
            std::u16string name = s.substr(begin, end - begin);
            if (!checkName(name)) parserError();
            items.push_back({TdomCMNodeType::elementParticle, std::move(name), std::move(occurrence), {}});
            child = items.size() - 1;
        }
        items[parent].children.push_back(child);
    };

    addGroup(0, s.size());
    while (!work.empty()) {
        Work group = work.back();
        work.pop_back();
        std::size_t pieceBegin = group.begin;
        for (std::size_t i = group.begin;;) {
            if (i == group.end || s[i] == group.connector) {
                addPiece(group.item, pieceBegin, i);
                if (i == group.end) break;
                pieceBegin = ++i;
            } else if (s[i] == u'(') {
                i = match[i] + 1;
            } else {
                ++i;
            }
        }
    }

    // Every parent comes before its children in items, so attaching in reverse order appends
    // each child to a parent that is not attached yet (no long ancestor chains to check).
    TdomCustomCMObject* owner = declaration->owner();
    std::vector<TdomCMNode*> nodes(items.size(), nullptr);
    try {
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Item& item = items[i];
            switch (item.type) {
            case TdomCMNodeType::choiceParticle:
                nodes[i] = owner->createChoiceParticle(item.occurrence);
                break;
            case TdomCMNodeType::sequenceParticle:
                nodes[i] = owner->createSequenceParticle(item.occurrence);
                break;
            default:
                nodes[i] = owner->createElementParticle(item.name, item.occurrence);
                break;
            }
        }
        for (std::size_t i = items.size(); i-- > 0;)
            for (std::size_t child : items[i].children) nodes[i]->appendChild(nodes[child]);
        declaration->appendChild(nodes[0]);
    } catch (...) {
        std::vector<TdomCMNode*> roots;
        for (TdomCMNode* node : nodes)
            if (node && !node->parentNode()) roots.push_back(node);
        for (TdomCMNode* root : roots) owner->freeNode(root);
        throw;
    }
}

TXmlErrorRecord TXmlDtdBuilder::elementTypeDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                       TdomStandardLocator* locator, std::u16string&& name,
                                                       std::u16string&& data) {
    if (OnElementTypeDeclaration) OnElementTypeDeclaration(processorAgent, locator, name, data);
    requireActive();
    if (currentNode_) {
        const std::u16string contentSpec = trimWhiteSpace(data);
        TdomCMContentKind kind = contentSpec == u"EMPTY"                            ? TdomCMContentKind::empty
                                 : contentSpec == u"ANY"                            ? TdomCMContentKind::any
                                 : contentSpec.find(u"#PCDATA") != contentSpec.npos ? TdomCMContentKind::mixed
                                                                                    : TdomCMContentKind::elementContent;
        TdomCMElementTypeDeclaration* declaration = nullptr;
        try {
            declaration = activeTarget()->createElementTypeDeclaration(name, kind);
            if (kind == TdomCMContentKind::mixed)
                buildMixedContent(declaration, contentSpec);
            else if (kind == TdomCMContentKind::elementContent)
                buildElementContent(declaration, contentSpec);
            currentNode_->appendChild(declaration);
        } catch (const Exception&) {
            freeDetached(declaration);
            return fail(processorAgent, locator, EParserInvalidElementDeclaration_Err::kClassName);
        }
    }
    return forward(&TXmlCustomHandler::elementTypeDeclaration, processorAgent, locator, std::move(name),
                   std::move(data));
}

// ---- attribute lists ----

void TXmlDtdBuilder::buildEnumeration(TdomCMAttrDefinition* definition, const std::u16string& attType,
                                      const std::u16string& bracket) {
    if (bracket.empty()) return;
    std::u16string inner;
    bool failed = false;
    unwrapParentheses(bracket, inner, failed);
    if (failed) parserError();
    const bool notation = attType == u"NOTATION";
    std::vector<std::u16string> pieces = splitTrimmed(inner, u'|');
    for (const std::u16string& piece : pieces)
        if (piece.empty() || !(notation ? checkName(piece) : checkNmtoken(piece))) parserError();
    TdomCustomCMObject* owner = definition->owner();
    for (const std::u16string& piece : pieces) {
        TdomCMNode* token = notation ? static_cast<TdomCMNode*>(owner->createNameParticle(piece))
                                     : static_cast<TdomCMNode*>(owner->createNmtokenParticle(piece));
        attach(definition, token);
    }
}

TXmlErrorRecord TXmlDtdBuilder::startAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string&& data) {
    if (OnStartAttListDeclaration) OnStartAttListDeclaration(processorAgent, locator, data);
    requireActive();
    if (currentNode_) {
        TdomCMNode* list = nullptr;
        try {
            list = activeTarget()->createAttrList(data);
        } catch (const Exception&) {
            return fail(processorAgent, locator, EParserInvalidAttributeDeclaration_Err::kClassName);
        }
        if (!appendOrFree(list))
            return fail(processorAgent, locator, EParserInvalidAttributeDeclaration_Err::kClassName);
        currentNode_ = list;
    }
    return forward(&TXmlCustomHandler::startAttListDeclaration, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlDtdBuilder::attributeDefinition(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, std::u16string&& name,
                                                    std::u16string&& attType, std::u16string&& bracket,
                                                    std::u16string&& defaultDecl, std::u16string&& attValue) {
    if (OnAttributeDefinition)
        OnAttributeDefinition(processorAgent, locator, name, attType, bracket, defaultDecl, attValue);
    requireActive();
    if (currentNode_) {
        if (currentNode_->nodeType() != TdomCMNodeType::attrList)
            return fail(processorAgent, locator, EParserInvalidAttributeDeclaration_Err::kClassName);
        TdomCMAttrDefinition* definition = nullptr;
        try {
            definition = activeTarget()->createAttrDefinition(name, attType, defaultDecl, attValue);
            currentNode_->appendChild(definition);
            buildEnumeration(definition, attType, bracket);
        } catch (const Exception&) {
            freeDetached(definition);
            return fail(processorAgent, locator, EParserInvalidAttributeDeclaration_Err::kClassName);
        }
    }
    return forward(&TXmlCustomHandler::attributeDefinition, processorAgent, locator, std::move(name),
                   std::move(attType), std::move(bracket), std::move(defaultDecl), std::move(attValue));
}

TXmlErrorRecord TXmlDtdBuilder::endAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                      TdomStandardLocator* locator) {
    if (OnEndAttListDeclaration) OnEndAttListDeclaration(processorAgent, locator);
    requireActive();
    if (currentNode_) {
        if (currentNode_->nodeType() != TdomCMNodeType::attrList)
            return fail(processorAgent, locator, EParserInvalidAttributeDeclaration_Err::kClassName);
        currentNode_ = currentNode_->parentNode();
    }
    return forward(&TXmlCustomHandler::endAttListDeclaration, processorAgent, locator);
}

// ---- entities and notations ----

TXmlErrorRecord TXmlDtdBuilder::entityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, std::u16string&& name,
                                                  std::u16string&& entityValue, std::u16string&& pubId,
                                                  std::u16string&& sysId, std::u16string&& notaName) {
    if (OnEntityDeclaration) OnEntityDeclaration(processorAgent, locator, name, entityValue, pubId, sysId, notaName);
    requireActive();
    if (internalActive_ && entityValue.find(u'%') != std::u16string::npos)
        return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName,
                    kReferenceInInternalSubset);
    if (currentNode_) {
        TdomCMNode* declaration = nullptr;
        try {
            declaration = activeTarget()->createEntityDeclaration(name, entityValue, pubId, sysId, notaName);
        } catch (const Exception&) {
            return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName);
        }
        if (!appendOrFree(declaration))
            return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName);
    }
    return forward(&TXmlCustomHandler::entityDeclaration, processorAgent, locator, std::move(name),
                   std::move(entityValue), std::move(pubId), std::move(sysId), std::move(notaName));
}

std::u16string TXmlDtdBuilder::normalizeValue(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                              const std::u16string& value) {
    const std::size_t n = value.size();
    if (n > 0 && isLowSurrogate(value[0])) valueError("%S must not start with a UTF-16 low surrogate.", value);
    if (n > 0 && isHighSurrogate(value[n - 1])) valueError("%S must not end with a UTF-16 high surrogate.", value);
    std::u16string text;
    text.reserve(n);
    for (std::size_t i = 0; i < n;) {
        const char16_t unit = value[i];
        if (isHighSurrogate(unit)) {
            if (i + 1 >= n || !isLowSurrogate(value[i + 1]))
                valueError("%S contains an UTF-16 high surrogate without its corresponding low surrogate.", value);
            text.push_back(unit);
            text.push_back(value[i + 1]);
            i += 2;
            continue;
        }
        if (isLowSurrogate(unit) || !isCharUnit(unit)) valueError("%S contains an invalid character.", value);
        if (unit == u'&') {
            const std::size_t end = value.find(u';', i);
            if (end == std::u16string::npos) valueError("%S contains an '&' without a ';'.", value);
            std::u16string_view reference(value.data() + i, end + 1 - i);
            if (checkEntityRef(reference))
                text += reference;
            else if (checkCharRef(reference))
                text += charRefText(reference);
            else
                valueError("%S contains an invalid reference.", value);
            i = end + 1;
            continue;
        }
        if (unit == u'%') {
            const std::size_t end = value.find(u';', i);
            if (end == std::u16string::npos) valueError("%S contains an '%' without a ';'.", value);
            std::u16string_view reference(value.data() + i, end + 1 - i);
            if (!checkPEReference(reference)) valueError("%S contains an invalid parameter entity reference.", value);
            bool found = false;
            std::u16string replacement;
            findParameterEntity(processorAgent, locator, found, replacement,
                                std::u16string(reference.substr(1, reference.size() - 2)));
            if (!found) valueError("%S contains an invalid parameter entity reference.", value);
            if (text.size() + replacement.size() > kMaxExpandedTextLength)
                throw EBoundReached(kExpandedTextLimitReached);
            if (!budget_->charge(replacement.size())) throw EBoundReached(kExpansionLimitReached);
            text += replacement;
            i = end + 1;
            continue;
        }
        text.push_back(unit);
        ++i;
    }
    return text;
}

TXmlErrorRecord TXmlDtdBuilder::fetchExternalEntity(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, const std::u16string& publicId,
                                                    const std::u16string& systemId, const std::u16string& base,
                                                    std::u16string& text, std::u16string& foundAt, bool& fetched) {
    fetched = false;
    TdomCustomCMIEObject* target = activeTarget();
    TDomImplementation* implementation = target->domImplementation();
    TdomParserAction action = TdomParserAction::paFail;
    std::u16string pubId = publicId, sysId = systemId;
    // The entity is named relative to the subset; a subset without a system identifier of its own
    // is named by the input being read.
    std::u16string parentSystemId = base.empty() ? target->systemId() : base;
    if (parentSystemId.empty() && locator) parentSystemId = locator->systemId();
    const std::unique_ptr<TStream> owned =
        implementation
            ? askForStream(implementation->onExternalParsedEntity, processorAgent, parentSystemId, pubId, sysId, action)
            : nullptr;
    if (action == TdomParserAction::paFail)
        return fail(processorAgent, locator, EParserExternal_Entity_Not_Found_Err::kClassName);
    if (!owned) return nullptr;
    // An encoding that the entity's text declaration names wrongly is told, and the entity is read
    // as its byte-order mark says, or as UTF-8.
    TXmlErrorRecord encodingRecord;
    try {
        TXmlInputSource source(owned.get(), pubId, sysId);
        if (source.encodingProblem() != TEncodingProblem::none)
            encodingRecord = fail(processorAgent, locator, EParserUnusable_Encoding_Declaration_Err::kClassName,
                                  source.encodingProblemText());
        std::u16string whole;
        source.rewind();
        for (char16_t unit; source.readChar(unit);) whole.push_back(unit);
        if (!splitTextDeclaration(whole, text))
            return fail(processorAgent, locator, EParserInvalidTextDeclaration_Err::kClassName);
    } catch (const Exception&) {
        return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName);
    }
    if (text.size() > kMaxExpandedTextLength)
        return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName,
                    kExpandedTextLimitReached);
    if (!budget_->charge(text.size()))
        return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName, kExpansionLimitReached);
    fetched = true;
    foundAt = sysId;
    return encodingRecord;
}

TXmlErrorRecord TXmlDtdBuilder::parameterEntityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                           TdomStandardLocator* locator, std::u16string&& name,
                                                           std::u16string&& entityValue, std::u16string&& pubId,
                                                           std::u16string&& sysId) {
    if (OnParameterEntityDeclaration)
        OnParameterEntityDeclaration(processorAgent, locator, name, entityValue, pubId, sysId);
    requireActive();
    if (internalActive_ && entityValue.find(u'%') != std::u16string::npos)
        return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName,
                    kReferenceInInternalSubset);
    if (currentNode_) {
        TdomCustomCMIEObject* target = activeTarget();
        TdomCMNode* declaration = nullptr;
        try {
            declaration = target->createParameterEntityDeclaration(name, entityValue, pubId, sysId);
        } catch (const Exception&) {
            return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName);
        }
        if (!appendOrFree(declaration))
            return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName);
        std::u16string text;
        if (pubId.empty() && sysId.empty()) {
            try {
                text = normalizeValue(processorAgent, locator, entityValue);
            } catch (const EBoundReached& e) {
                freeDetached(declaration);
                return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName, e.code);
            } catch (const EConvertError&) {
                freeDetached(declaration);
                return fail(processorAgent, locator, EParserInvalidEntityDeclaration_Err::kClassName);
            }
            target->parameterEntityList().addPair(name, text);
        } else if (locator && readsEntityText_) {
            // An external entity is fetched where it is first referred to (see fetchDeclared); one
            // declared in another external entity is named relative to that entity.
            places_->declaredIn[declaration] = locator->systemId();
        }
    }
    return forward(&TXmlCustomHandler::parameterEntityDeclaration, processorAgent, locator, std::move(name),
                   std::move(entityValue), std::move(pubId), std::move(sysId));
}

TXmlErrorRecord TXmlDtdBuilder::fetchDeclared(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                              const std::u16string& name, bool& found, std::u16string& text) {
    found = false;
    TdomCustomCMIEObject* target = activeTarget();
    TdomCMParameterEntityDeclaration* declaration = target ? target->findParameterEntityDeclaration(name) : nullptr;
    if (!declaration || declaration->internal()) return nullptr;
    const auto declaredIn = places_->declaredIn.find(declaration);
    std::u16string foundAt;
    TXmlErrorRecord record = fetchExternalEntity(
        processorAgent, locator, declaration->publicId(), declaration->systemId(),
        declaredIn == places_->declaredIn.end() ? std::u16string() : declaredIn->second, text, foundAt, found);
    if (found) {
        static_cast<TdomCustomCMIEObject*>(declaration->owner())->parameterEntityList().addPair(name, text);
        places_->foundAt[declaration] = foundAt;
    }
    return record;
}

TXmlErrorRecord TXmlDtdBuilder::notationDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, std::u16string&& name,
                                                    std::u16string&& pubId, std::u16string&& sysId) {
    if (OnNotationDeclaration) OnNotationDeclaration(processorAgent, locator, name, pubId, sysId);
    requireActive();
    if (currentNode_) {
        TdomCMNode* declaration = nullptr;
        try {
            declaration = activeTarget()->createNotationDeclaration(name, pubId, sysId);
        } catch (const Exception&) {
            return fail(processorAgent, locator, EParserInvalidNotationDeclaration_Err::kClassName);
        }
        if (!appendOrFree(declaration))
            return fail(processorAgent, locator, EParserInvalidNotationDeclaration_Err::kClassName);
    }
    return forward(&TXmlCustomHandler::notationDeclaration, processorAgent, locator, std::move(name), std::move(pubId),
                   std::move(sysId));
}

// ---- comments and processing instructions ----

TXmlErrorRecord TXmlDtdBuilder::dtdComment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                           std::u16string&& data) {
    if (OnDtdComment) OnDtdComment(processorAgent, locator, data);
    requireActive();
    if (currentNode_) {
        TdomCMNode* comment = nullptr;
        try {
            comment = activeTarget()->createComment(data);
        } catch (const Exception&) {
            return fail(processorAgent, locator, EParserInvalidComment_Err::kClassName);
        }
        if (!appendOrFree(comment)) return fail(processorAgent, locator, EParserInvalidComment_Err::kClassName);
    }
    return forward(&TXmlCustomHandler::dtdComment, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlDtdBuilder::dtdProcessingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, std::u16string&& targ,
                                                         std::u16string&& data) {
    if (OnDtdProcessingInstruction) OnDtdProcessingInstruction(processorAgent, locator, targ, data);
    requireActive();
    if (currentNode_) {
        TdomCMNode* instruction = nullptr;
        try {
            instruction = activeTarget()->createProcessingInstruction(targ, data);
        } catch (const Exception&) {
            return fail(processorAgent, locator, EParserInvalidProcessingInstruction_Err::kClassName);
        }
        if (!appendOrFree(instruction))
            return fail(processorAgent, locator, EParserInvalidProcessingInstruction_Err::kClassName);
    }
    return forward(&TXmlCustomHandler::dtdProcessingInstruction, processorAgent, locator, std::move(targ),
                   std::move(data));
}

TXmlErrorRecord TXmlDtdBuilder::textDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string&& version, std::u16string&& encDl) {
    if (OnTextDeclaration) OnTextDeclaration(processorAgent, locator, version, encDl);
    requireActive();
    if (externalActive_ && externalTarget_) {
        externalTarget_->setVersion(version);
        externalTarget_->setEncoding(encDl);
    }
    return forward(&TXmlCustomHandler::textDeclaration, processorAgent, locator, std::move(version), std::move(encDl));
}

// ---- parameter-entity references and conditional sections ----

bool TXmlDtdBuilder::lookUp(ListIndex& index, const TdomNameValueList* list, const std::u16string& name,
                            std::u16string& text) const {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (index.list != list || index.indexedCount > list->pairCount() || attempt > 0) {
            index.list = list;
            index.indexedCount = 0;
            index.first.clear();
        }
        for (; index.indexedCount < list->pairCount(); ++index.indexedCount)
            index.first.emplace(list->nameAt(index.indexedCount), index.indexedCount);
        auto found = index.first.find(name);
        if (found == index.first.end()) return false;
        // The list may have been edited behind the index's back: then build it again.
        if (found->second < list->pairCount() && list->nameAt(found->second) == name) {
            text = list->valueAt(found->second);
            return true;
        }
    }
    return false;
}

TXmlErrorRecord TXmlDtdBuilder::findParameterEntity(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, bool& found,
                                                    std::u16string& replacementText, const std::u16string& name) {
    replacementText.clear();
    found =
        (internalTarget_ && lookUp(internalIndex_, &internalTarget_->parameterEntityList(), name, replacementText)) ||
        (externalActive_ && externalTarget_ &&
         lookUp(externalIndex_, &externalTarget_->parameterEntityList(), name, replacementText));
    if (found) return nullptr;
    return fetchDeclared(processorAgent, locator, name, found, replacementText);
}

bool TXmlDtdBuilder::readNested(TXmlCustomProcessorAgent*, TdomStandardLocator* locator, std::u16string& text,
                                bool consume, bool externalText, const std::u16string& entitySystemId) {
    // Into the same subsets, sharing this builder's expansion budget and its record of where
    // external entities were declared, one nesting level deeper. Of the nested records only a
    // reached bound is kept, to be told on.
    nestedLimit_.clear();
    if (!nestedReader_) return false;
    TdomCustomCMIEObject* target = activeTarget();
    // Parameter entities of the internal subset stay visible to external text, as they are to this
    // builder; external text met in the internal subset keeps its declarations there.
    const bool external = externalActive_ || (externalText && externalTarget_);
    auto prepare = [this, external, entitySystemId](TXmlDtdBuilder& nested) {
        nested.nestingLevel_ = nestingLevel_ + 1;
        nested.places_ = places_;
        nested.readsEntityText_ = readsEntityText_ || !entitySystemId.empty();
        if (!external) return;
        nested.setInternalTarget(internalTarget_);
        nested.externalTextInto_ = externalActive_ ? externalTextInto_ : internalTarget_;
    };
    const std::u16string publicId = locator ? locator->publicId() : std::u16string();
    const std::u16string systemId = !entitySystemId.empty() ? entitySystemId
                                    : locator               ? locator->systemId()
                                                            : std::u16string();
    return nestedReader_(TXmlNestedSubsetRead{text, consume, publicId, systemId, target->domImplementation(), budget_,
                                              external, externalTarget_, internalTarget_, prepare,
                                              [this](const std::u16string& code) {
                                                  if (isBoundCode(code)) nestedLimit_ = code;
                                              }});
}

std::u16string TXmlDtdBuilder::foundAt(const TdomCMNode* declaration) const {
    const auto found = places_->foundAt.find(declaration);
    return found == places_->foundAt.end() ? std::u16string() : found->second;
}

TXmlErrorRecord TXmlDtdBuilder::readReplacement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                const std::u16string& text, bool externalText,
                                                const std::u16string& systemId) {
    if (nestingLevel_ >= kMaxNestingLevel)
        return fail(processorAgent, locator, EParserInvalidEntityName_Err::kClassName, kNestingLimitReached);
    if (!budget_->charge(text.size() + 2))
        return fail(processorAgent, locator, EParserInvalidEntityName_Err::kClassName, kExpansionLimitReached);
    std::u16string spaced = u" " + text + u" ";
    if (!readNested(processorAgent, locator, spaced, true, externalText, systemId))
        return fail(processorAgent, locator, EParserInvalidEntityName_Err::kClassName, nestedLimit_);
    return nullptr;
}

TXmlErrorRecord TXmlDtdBuilder::parameterEntityRef(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string&& data) {
    if (OnParameterEntityRef) OnParameterEntityRef(processorAgent, locator, data);
    requireActive();
    TXmlErrorRecord fetchRecord;
    if (internalActive_ && currentNode_) {
        TdomCMNode* reference = nullptr;
        try {
            reference = internalTarget_->createParameterEntityReference(data);
        } catch (const Exception&) {
            return fail(processorAgent, locator, EParserInvalidEntityName_Err::kClassName);
        }
        if (!appendOrFree(reference)) return fail(processorAgent, locator, EParserInvalidEntityName_Err::kClassName);
        // The declarations of the replacement text take effect where the reference stands; an
        // external entity is read as external text, into the internal subset. An external entity
        // that is declared but cannot be had answers with its record; one that came without text
        // is skipped.
        const TdomCMParameterEntityDeclaration* declaration = internalTarget_->findParameterEntityDeclaration(data);
        if (!declaration)
            return fail(processorAgent, locator, EParserUnresolvable_Parameter_Entity_Reference_Err::kClassName);
        bool found = false;
        std::u16string text;
        fetchRecord = findParameterEntity(processorAgent, locator, found, text, data);
        if (!found && fetchRecord) return fetchRecord;
        if (found) {
            if (TXmlErrorRecord error =
                    readReplacement(processorAgent, locator, text, !declaration->internal(), foundAt(declaration)))
                return error;
        }
    } else if (externalActive_ && externalTarget_) {
        // The parameter entities of the internal subset, read first, are visible here too.
        bool found = false;
        std::u16string text;
        fetchRecord = findParameterEntity(processorAgent, locator, found, text, data);
        if (!found)
            return fetchRecord
                       ? std::move(fetchRecord)
                       : fail(processorAgent, locator, EParserUnresolvable_Parameter_Entity_Reference_Err::kClassName);
        if (TXmlErrorRecord error = readReplacement(processorAgent, locator, text, false,
                                                    foundAt(activeTarget()->findParameterEntityDeclaration(data))))
            return error;
    }
    TXmlErrorRecord answer = forward(&TXmlCustomHandler::parameterEntityRef, processorAgent, locator, std::move(data));
    // A record of an entity that was read all the same (its encoding declaration) comes after.
    return answer ? std::move(answer) : std::move(fetchRecord);
}

TXmlErrorRecord TXmlDtdBuilder::conditionalSection(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string&& includeStmt,
                                                   std::u16string&& data) {
    if (OnConditionalSection) OnConditionalSection(processorAgent, locator, includeStmt, data);
    requireActive();
    if (currentNode_ && includeStmt == u"INCLUDE" && !data.empty()) {
        if (nestingLevel_ >= kMaxNestingLevel)
            return fail(processorAgent, locator, EParserInvalidConditionalSection_Err::kClassName,
                        kNestingLimitReached);
        // Read after a space, as the replacement text of a reference is: a text declaration at the
        // start of the section is then no longer at the start of an entity, and is refused as such.
        // The space goes in front of the section's own text, which is not copied: sections nest,
        // and every level would hold a copy of most of the subset. For the same reason the nested
        // read takes the text over and lets go of what it has read, unless a handler after this
        // one is still to be given the section.
        const bool consume = !NextHandler();
        data.insert(data.begin(), u' ');
        const bool read = readNested(processorAgent, locator, data, consume);
        if (!consume) data.erase(data.begin());
        if (!read) return fail(processorAgent, locator, EParserInvalidConditionalSection_Err::kClassName, nestedLimit_);
    }
    return forward(&TXmlCustomHandler::conditionalSection, processorAgent, locator, std::move(includeStmt),
                   std::move(data));
}
