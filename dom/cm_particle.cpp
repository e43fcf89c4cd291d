#include "dom/cm_particle.h"

#include <unordered_set>
#include <utility>
#include <vector>

#include "dom/cm_report.h"
#include "text/dom_exception.h"
#include "text/parser_exception.h"
#include "text/wide_string_list.h"
#include "text/xml_chars.h"

namespace {

constexpr TdomCMNodeTypeSet kGroupChildren =
    cmNodeTypeSet({TdomCMNodeType::sequenceParticle, TdomCMNodeType::choiceParticle, TdomCMNodeType::elementParticle});

enum class Frequency : unsigned char { once, optional, oneOrMore, zeroOrMore, invalid };

Frequency frequencyOf(const std::u16string& occurrence) {
    if (occurrence.empty()) return Frequency::once;
    if (occurrence.size() == 1) {
        switch (occurrence[0]) {
        case u'?':
            return Frequency::optional;
        case u'+':
            return Frequency::oneOrMore;
        case u'*':
            return Frequency::zeroOrMore;
        default:
            break;
        }
    }
    return Frequency::invalid;
}

bool isOccurrence(const std::u16string& occurrence) { return frequencyOf(occurrence) != Frequency::invalid; }

[[noreturn]] void raiseMixedContentTest() {
    throw EInternalParserException("Internal Parser Exception in TdomCMParticle.contentModelTest");
}

// The content-model test as an explicit machine, so that the depth of a model costs heap, not
// stack. One frame stands for one contentModelTest of a particle: it runs the particle's passes
// (one, or repeated per the occurrence); a group particle's pass calls its children as new frames.
class Matcher {
public:
    explicit Matcher(std::span<const std::u16string> names) : names_(names) {}

    // singlePass: run just one pass of root with the given optional flag (matchOnce); otherwise
    // apply the root's occurrence (contentModelTest).
    bool run(const TdomCMParticle* root, std::size_t from, std::size_t& next, bool singlePass, bool optional) {
        Action action = Action::call;
        const TdomCMParticle* callee = root;
        std::size_t calleePos = from;
        bool resultOk = false;
        std::size_t resultPos = from;
        bool passOk = false;
        std::size_t passPos = from;

        for (;;) {
            switch (action) {
            case Action::call: {
                if (callee->nodeType() == TdomCMNodeType::pcdataChoiceParticle) raiseMixedContentTest();
                if (callee->nodeType() == TdomCMNodeType::elementParticle && !(stack_.empty() && singlePass)) {
                    // The passes of an element particle, without a frame of their own.
                    resultOk = matchElement(static_cast<const TdomCMParticle*>(callee), calleePos, resultPos);
                    action = Action::ret;
                    break;
                }
                Frame frame;
                frame.particle = callee;
                frame.frequency = frequencyOf(callee->occurrence());
                if (stack_.empty() && singlePass) {
                    frame.frequency = Frequency::once;
                    frame.optional = optional;
                } else {
                    frame.optional = frame.frequency == Frequency::optional || frame.frequency == Frequency::zeroOrMore;
                }
                if (frame.frequency == Frequency::invalid) {
                    resultOk = false;
                    resultPos = calleePos;
                    action = Action::ret;
                    break;
                }
                frame.passStart = calleePos;
                frame.cur = calleePos;
                stack_.push_back(frame);
                action = Action::startPass;
                break;
            }
            case Action::startPass: {
                Frame& f = stack_.back();
                const auto& kids = f.particle->children();
                switch (f.particle->nodeType()) {
                case TdomCMNodeType::elementParticle:
                    if (f.passStart < names_.size() && names_[f.passStart] == f.particle->nodeName()) {
                        passOk = true;
                        passPos = f.passStart + 1;
                    } else {
                        passOk = f.optional;
                        passPos = f.passStart;
                    }
                    action = Action::passDone;
                    break;
                case TdomCMNodeType::sequenceParticle:
                    f.childIndex = 0;
                    f.seqPos = f.passStart;
                    if (kids.empty()) {
                        passOk = true;
                        passPos = f.passStart;
                        action = Action::passDone;
                    } else {
                        callee = static_cast<const TdomCMParticle*>(kids[0]);
                        calleePos = f.seqPos;
                        action = Action::call;
                    }
                    break;
                case TdomCMNodeType::choiceParticle:
                    f.childIndex = 0;
                    f.successes = 0;
                    if (kids.empty()) {
                        passOk = f.optional;
                        passPos = f.passStart;
                        action = Action::passDone;
                    } else {
                        callee = static_cast<const TdomCMParticle*>(kids[0]);
                        calleePos = f.passStart;
                        action = Action::call;
                    }
                    break;
                default:
                    raiseMixedContentTest();
                }
                break;
            }
            case Action::passDone: {
                Frame& f = stack_.back();
                if (f.frequency == Frequency::once || f.frequency == Frequency::optional) {
                    resultOk = passOk;
                    resultPos = passOk ? passPos : f.passStart;
                    stack_.pop_back();
                    action = Action::ret;
                    break;
                }
                if (f.passes == 0) {
                    if (!passOk) {
                        resultOk = false;
                        resultPos = f.passStart;
                        stack_.pop_back();
                        action = Action::ret;
                        break;
                    }
                    f.cur = passPos;
                } else if (!passOk || passPos == f.cur) {
                    // A failed pass ends the repetition; so does one that removed no name.
                    resultOk = true;
                    resultPos = f.cur;
                    stack_.pop_back();
                    action = Action::ret;
                    break;
                } else {
                    f.cur = passPos;
                }
                if (f.cur < names_.size()) {
                    ++f.passes;
                    f.passStart = f.cur;
                    f.optional = false;
                    action = Action::startPass;
                } else {
                    resultOk = true;
                    resultPos = f.cur;
                    stack_.pop_back();
                    action = Action::ret;
                }
                break;
            }
            case Action::ret: {
                if (stack_.empty()) {
                    if (resultOk) next = resultPos;
                    return resultOk;
                }
                Frame& f = stack_.back();
                const auto& kids = f.particle->children();
                if (f.particle->nodeType() == TdomCMNodeType::sequenceParticle) {
                    if (!resultOk) {
                        passOk = f.optional;
                        passPos = f.passStart;
                        action = Action::passDone;
                        break;
                    }
                    f.seqPos = resultPos;
                    if (++f.childIndex == kids.size()) {
                        passOk = true;
                        passPos = f.seqPos;
                        action = Action::passDone;
                    } else {
                        callee = static_cast<const TdomCMParticle*>(kids[f.childIndex]);
                        calleePos = f.seqPos;
                        action = Action::call;
                    }
                } else { // choice
                    if (resultOk) {
                        if (++f.successes == 2)
                            throw EParserNondeterministic_Element_Content_Model_Err(
                                "Nondeterministic_Element_Content_Model_Err");
                        f.choicePos = resultPos;
                    }
                    if (++f.childIndex == kids.size()) {
                        passOk = f.successes == 1 || f.optional;
                        passPos = f.successes == 1 ? f.choicePos : f.passStart;
                        action = Action::passDone;
                    } else {
                        callee = static_cast<const TdomCMParticle*>(kids[f.childIndex]);
                        calleePos = f.passStart;
                        action = Action::call;
                    }
                }
                break;
            }
            }
        }
    }

private:
    // contentModelTest of an element particle: its name once, optionally, or repeated.
    bool matchElement(const TdomCMParticle* particle, std::size_t pos, std::size_t& next) const {
        const std::u16string& name = particle->nodeName();
        auto at = [&](std::size_t i) { return i < names_.size() && names_[i] == name; };
        next = pos;
        switch (frequencyOf(particle->occurrence())) {
        case Frequency::once:
            if (!at(pos)) return false;
            next = pos + 1;
            return true;
        case Frequency::optional:
            if (at(pos)) next = pos + 1;
            return true;
        case Frequency::oneOrMore:
            if (!at(pos)) return false;
            [[fallthrough]];
        case Frequency::zeroOrMore:
            while (at(next)) ++next;
            return true;
        default:
            return false;
        }
    }

    enum class Action : unsigned char { call, startPass, passDone, ret };
    struct Frame {
        const TdomCMParticle* particle = nullptr;
        std::size_t passStart = 0; // where the current pass started
        std::size_t cur = 0;       // after the last successful pass of a repetition
        std::size_t seqPos = 0;    // sequence: after the children tested so far
        std::size_t choicePos = 0; // choice: what the succeeding child left
        std::size_t childIndex = 0;
        std::size_t passes = 0;
        unsigned char successes = 0;
        Frequency frequency = Frequency::once;
        bool optional = false;
    };

    std::span<const std::u16string> names_;
    std::vector<Frame> stack_;
};

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

bool TdomCMParticle::matchNames(std::span<const std::u16string> names, std::size_t from, std::size_t& next) const {
    return Matcher(names).run(this, from, next, false, false);
}

bool TdomCMParticle::matchNamesOnce(std::span<const std::u16string> names, std::size_t from, std::size_t& next,
                                    bool optional) const {
    return Matcher(names).run(this, from, next, true, optional);
}

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
