#include "dom/cm_particle.h"

#include <unordered_set>
#include <utility>
#include <vector>

#include "dom/cm_object.h"
#include "dom/cm_report.h"
#include "dom/content_model_automaton.h"
#include "text/dom_exception.h"
#include "text/parser_exception.h"
#include "text/wide_string_list.h"
#include "text/xml_chars.h"

namespace {

constexpr TdomCMNodeTypeSet kGroupChildren =
    cmNodeTypeSet({TdomCMNodeType::sequenceParticle, TdomCMNodeType::choiceParticle, TdomCMNodeType::elementParticle});

bool isOccurrence(const std::u16string& occurrence) {
    return occurrence.empty() || occurrence == u"?" || occurrence == u"+" || occurrence == u"*";
}

std::vector<std::u16string> namesOf(const TdomWideStringList& list) {
    std::vector<std::u16string> names;
    names.reserve(static_cast<std::size_t>(list.count()));
    for (int i = 0; i < list.count(); ++i) names.push_back(list.stringAt(i));
    return names;
}

void setRemaining(TdomWideStringList& remaining, const std::vector<std::u16string>& names, std::size_t from) {
    remaining.holdChanges();
    remaining.clearAll();
    for (std::size_t i = from; i < names.size(); ++i) remaining.addString(names[i]);
    remaining.releaseChanges();
}

} // namespace

// ---- TdomCMParticle ----

TdomCMParticle::TdomCMParticle(TdomCustomCMObject* owner, TdomCMNodeType type, std::u16string name,
                               std::u16string occurrence, TdomCMNodeTypeSet permittedChildTypes)
    : TdomCMNode(owner, type, std::move(name), u"", permittedChildTypes), occurrence_(std::move(occurrence)) {
    if (!isOccurrence(occurrence_)) throw EInvalid_Character_Err();
}

const TContentModelAutomaton& TdomCMParticle::compiled() const {
    const std::uint64_t version = owner()->treeVersion();
    if (!compiled_.automaton || compiled_.treeVersion != version) {
        compiled_.automaton = std::make_shared<const TContentModelAutomaton>(*this);
        compiled_.treeVersion = version;
    }
    return *compiled_.automaton;
}

bool TdomCMParticle::matchNames(std::span<const std::u16string> names, std::size_t from, std::size_t& next) const {
    return compiled().longestMatch(names, from, next);
}

bool TdomCMParticle::matchNamesOnce(std::span<const std::u16string> names, std::size_t from, std::size_t& next,
                                    bool optional) const {
    using Pass = TContentModelAutomaton::RootPass;
    return TContentModelAutomaton(*this, optional ? Pass::optionalOnce : Pass::once).longestMatch(names, from, next);
}

bool TdomCMParticle::deterministic() const { return compiled().deterministic(); }

bool TdomCMParticle::contentModelTest(const TdomWideStringList& names, TdomWideStringList& remaining) const {
    std::vector<std::u16string> list = namesOf(names);
    std::size_t next = 0;
    bool ok = matchNames(list, 0, next);
    setRemaining(remaining, list, ok ? next : 0);
    return ok;
}

bool TdomCMParticle::matchOnce(const TdomWideStringList& names, TdomWideStringList& remaining, bool optional) const {
    std::vector<std::u16string> list = namesOf(names);
    std::size_t next = 0;
    bool ok = matchNamesOnce(list, 0, next, optional);
    setRemaining(remaining, list, ok ? next : 0);
    return ok;
}

// ---- the four particle classes ----

TdomCMSequenceParticle::TdomCMSequenceParticle(TdomCustomCMObject* owner, std::u16string occurrence)
    : TdomCMParticle(owner, TdomCMNodeType::sequenceParticle, u"#sequence-particle", std::move(occurrence),
                     kGroupChildren) {}

void TdomCMSequenceParticle::declarationParts(DeclarationParts& parts) const {
    if (!hasChildNodes()) throw ENot_Supported_Err();
    parts.open = u"(";
    parts.between = u", ";
    parts.close = u")" + occurrence();
}

std::unique_ptr<TdomCMNode> TdomCMSequenceParticle::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMSequenceParticle(*this));
}

TdomCMChoiceParticle::TdomCMChoiceParticle(TdomCustomCMObject* owner, std::u16string occurrence)
    : TdomCMParticle(owner, TdomCMNodeType::choiceParticle, u"#choice-particle", std::move(occurrence),
                     kGroupChildren) {}

void TdomCMChoiceParticle::declarationParts(DeclarationParts& parts) const {
    if (!hasChildNodes()) throw ENot_Supported_Err();
    parts.open = u"(";
    parts.between = u" | ";
    parts.close = u")" + occurrence();
}

std::unique_ptr<TdomCMNode> TdomCMChoiceParticle::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMChoiceParticle(*this));
}

namespace {
std::u16string checkedPcdataOccurrence(std::u16string occurrence) {
    // "*" is the occurrence of mixed content; a lone "(#PCDATA)" comes without one.
    if (!occurrence.empty() && occurrence != u"*") throw EInvalid_Character_Err();
    return occurrence;
}
} // namespace

TdomCMPcdataChoiceParticle::TdomCMPcdataChoiceParticle(TdomCustomCMObject* owner, std::u16string occurrence)
    : TdomCMParticle(owner, TdomCMNodeType::pcdataChoiceParticle, u"#pcdata-choice-particle",
                     checkedPcdataOccurrence(std::move(occurrence)), cmNodeTypeSet({TdomCMNodeType::elementParticle})) {
}

bool TdomCMPcdataChoiceParticle::hasElementParticle(std::u16string_view name) const {
    if (!checkName(name)) throw EInvalid_Character_Err();
    for (const TdomCMNode* child : children())
        if (child->nodeName() == name) return true;
    return false;
}

bool TdomCMPcdataChoiceParticle::selfCheck(TdomCustomErrorHandler* errorHandler) const {
    std::unordered_set<std::u16string_view> seen;
    for (const TdomCMNode* child : children()) {
        if (!seen.insert(child->nodeName()).second) {
            reportContentModelError(errorHandler, this, EParserDuplicate_Name_In_Mixed_Content_Err::kClassName,
                                    child->nodeName());
            return false;
        }
    }
    return true;
}

void TdomCMPcdataChoiceParticle::declarationParts(DeclarationParts& parts) const {
    parts.open = u"( #PCDATA";
    parts.beforeEach = u" | ";
    parts.close = u" )" + occurrence();
}

std::unique_ptr<TdomCMNode> TdomCMPcdataChoiceParticle::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMPcdataChoiceParticle(*this));
}

TdomCMElementParticle::TdomCMElementParticle(TdomCustomCMObject* owner, std::u16string name, std::u16string occurrence)
    : TdomCMParticle(owner, TdomCMNodeType::elementParticle, std::move(name), std::move(occurrence), 0) {
    if (!checkName(nodeName())) throw EInvalid_Character_Err();
}

void TdomCMElementParticle::declarationParts(DeclarationParts& parts) const {
    parts.open = nodeName() + occurrence();
    parts.writeChildren = false;
}

std::unique_ptr<TdomCMNode> TdomCMElementParticle::copyNode() const {
    return std::unique_ptr<TdomCMNode>(new TdomCMElementParticle(*this));
}
