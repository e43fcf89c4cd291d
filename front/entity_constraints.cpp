#include "front/entity_constraints.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dom/cm_declaration.h"
#include "dom/cm_node.h"
#include "dom/cm_object.h"
#include "dom/content_model_access.h"
#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/element_validation.h"
#include "dom/entity_reference.h"
#include "dtd/dtd_reader.h"
#include "front/xml_to_dom_parser.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/parser_exception.h"
#include "text/stream.h"
#include "text/xml_chars.h"

namespace {

// Deeper nesting of references than this is reported as recursion; the DTD side refuses deeper
// expansions as well.
constexpr int kMaxDepth = 64;

// The general entities a replacement text refers to, "&name;" (character references left out);
// a reference inside a comment or CDATA section counts too, which only overestimates.
std::vector<std::u16string_view> referencedNames(std::u16string_view text) {
    std::vector<std::u16string_view> names;
    for (std::size_t at = text.find(u'&'); at != std::u16string_view::npos; at = text.find(u'&', at + 1)) {
        const std::size_t end = text.find(u';', at);
        if (end == std::u16string_view::npos) break;
        if (end > at + 1 && text[at + 1] != u'#') names.push_back(text.substr(at + 1, end - at - 1));
    }
    return names;
}

class TEntityChecker {
public:
    TEntityChecker(TdomDocument* document, TdomCustomErrorHandler* errorHandler, const TExternalEntityOpener& opener)
        : document_(document), model_(document->contentModel()), errorHandler_(errorHandler), opener_(opener),
          declarationsRequired_(declarationsRequired(document)) {}

    bool run() {
        if (model_) {
            checkAttributeDefaults(model_->internalSubset());
            checkAttributeDefaults(model_->externalSubset());
        }
        walk();
        return valid_;
    }

private:
    // Whether a reference to an undeclared entity breaks well-formedness rather than validity: the
    // declarations it could have are all known.
    static bool declarationsRequired(TdomDocument* document) {
        if (document->standalone() == u"yes") return true;
        TdomDocumentType* type = document->doctype();
        if (!type) return true;
        if (!type->systemId().empty() || !type->publicId().empty()) return false;
        TdomCMObject* model = document->contentModel();
        if (!model || !model->internalSubset()) return true;
        for (const TdomCMNode* node : model->internalSubset()->children())
            if (node->nodeType() == TdomCMNodeType::parameterEntityReference) return false;
        return true;
    }

    void problem(TdomNode* sender, std::u16string_view code, std::string_view errorClass, bool fatal = true) {
        valid_ = false;
        ++problems_;
        domvalidation::report(errorHandler_, fatal, sender, code, errorClass);
    }

    static bool declaredExternally(const TdomCMNode* declaration) {
        return declaration->owner()->nodeType() == TdomCMNodeType::externalObject;
    }

    // Undeclared names are the only problem of a reference to a name without declaration. A
    // document declared standalone must not rely on the external subset for the entities that the
    // document entity itself refers to.
    TdomCMNode* declared(TdomNode* sender, const std::u16string& name, bool fromExternalSubset = false) {
        TdomCMNode* entity = usableDeclaration(name, fromExternalSubset);
        if (!entity && missingDeclaration(name))
            problem(sender, name, EParserMissing_Entity_Declaration_Err::kClassName, false);
        return entity;
    }
    TdomCMNode* usableDeclaration(std::u16string_view name, bool fromExternalSubset) const {
        TdomCMNode* entity = cmaccess::declaredEntity(model_, name);
        if (entity && !fromExternalSubset && declaredExternally(entity) && document_->standalone() == u"yes")
            return nullptr;
        return entity;
    }
    bool missingDeclaration(std::u16string_view name) const {
        return predefinedEntityText(name).empty() && declarationsRequired_;
    }

    // The references in the default values of a subset's attribute definitions, held to the rules
    // of references in attribute values; where declarations are required, an entity must be
    // declared before the default value that refers to it.
    void checkAttributeDefaults(const TdomCustomCMIEObject* subset) {
        if (!subset) return;
        const bool external = subset->nodeType() == TdomCMNodeType::externalObject;
        const std::vector<TdomCMNode*>& declarations = subset->children();
        for (std::size_t index = 0; index < declarations.size(); ++index) {
            if (declarations[index]->nodeType() != TdomCMNodeType::attrList) continue;
            for (const TdomCMNode* definition : declarations[index]->children()) {
                const std::u16string& value = static_cast<const TdomCMAttrDefinition*>(definition)->defaultValue();
                for (std::size_t at = value.find(u'&'); at != std::u16string::npos; at = value.find(u'&', at + 1)) {
                    const std::size_t end = value.find(u';', at);
                    if (end == std::u16string::npos) break;
                    if (value[at + 1] == u'#') continue;
                    const std::u16string name = value.substr(at + 1, end - at - 1);
                    if (declarationsRequired_ && declaredAfter(subset, index, name))
                        problem(document_, name, EParserMissing_Entity_Declaration_Err::kClassName, false);
                    else
                        checkAttributeEntity(document_, name, external);
                }
            }
        }
    }

    // Whether the entity is declared in subset only after its declaration at index.
    bool declaredAfter(const TdomCustomCMIEObject* subset, std::size_t index, const std::u16string& name) const {
        TdomCMNode* entity = cmaccess::declaredEntity(model_, name);
        if (!entity || entity->owner() != subset) return false;
        const std::vector<TdomCMNode*>& declarations = subset->children();
        for (std::size_t i = 0; i < index; ++i)
            if (declarations[i] == entity) return false;
        return true;
    }

    struct TProblem {
        std::u16string code;
        std::string_view errorClass;
        bool fatal;
        bool operator==(const TProblem&) const = default;
    };

    // What the checker keeps of an entity, worked out once however often it is referred to.
    struct TEntityFacts {
        std::optional<bool> unusable;
        std::optional<bool> refersToExternal;
        std::optional<std::u16string> replacementText;
        // The code units its full expansion produces (kMaxExpansionTotal + 1 at most).
        std::optional<std::int64_t> expandedUnits;
        bool sizing = false;
        std::optional<std::vector<TProblem>> attributeProblems;
        bool inAttributeCheck = false;
        // An external parsed entity, read once: its content (after the text declaration), or the
        // problem that reading it gave.
        bool fetched = false;
        std::u16string content;
        std::u16string fetchCode;
        std::string_view fetchProblem;
        bool fetchFatal = true;
        // A reference whose content, filled and walked without a problem, serves the later
        // references to the entity (at no deeper nesting) as a copy.
        TdomNode* checkedContent = nullptr;
        int checkedDepth = 0;
    };
    TEntityFacts& facts(const TdomCMNode* entity) { return facts_[entity]; }
    bool unusable(TdomCMNode* entity) {
        std::optional<bool>& known = facts(entity).unusable;
        if (!known) known = cmaccess::entityIsUnusable(model_, entity);
        return *known;
    }
    bool refersToExternal(TdomCMNode* entity) {
        std::optional<bool>& known = facts(entity).refersToExternal;
        if (!known) known = cmaccess::entityRefersToExternal(model_, entity);
        return *known;
    }
    const std::u16string& replacementText(TdomCMNode* entity) {
        std::optional<std::u16string>& known = facts(entity).replacementText;
        if (!known) known = cmaccess::entityReplacementText(model_, entity);
        return *known;
    }

    // The size of an entity's full expansion: its text and that of every entity it refers to, as
    // often as it does, counted without building anything. Past the budget the count stops; a
    // reference back into an entity being counted (recursion, reported by the walk) and nesting
    // deeper than the walk goes count nothing.
    std::int64_t expandedUnits(TdomCMNode* entity, int depth = 0) {
        TEntityFacts& known = facts(entity);
        if (known.expandedUnits) return *known.expandedUnits;
        if (known.sizing || depth >= kMaxDepth) return 0;
        known.sizing = true;
        auto* declaration = static_cast<TdomCMEntityDeclaration*>(entity);
        const bool external = !declaration->internal();
        // The declared value is the replacement text but for parameter-entity references and
        // character references; the replacement text itself is asked for only where the value
        // holds the former, as it costs the expansion of the whole entity to make sure it can be used.
        const std::u16string& value = entity->nodeValue();
        const std::u16string_view text = external ? std::u16string_view(fetch(declaration).content)
                                         : value.find(u'%') == std::u16string::npos
                                             ? std::u16string_view(value)
                                             : std::u16string_view(replacementText(entity));
        std::int64_t units = static_cast<std::int64_t>(text.size());
        for (const std::u16string_view name : referencedNames(text)) {
            if (units > kMaxExpansionTotal) break;
            if (TdomCMNode* nested = cmaccess::declaredEntity(model_, name)) units += expandedUnits(nested, depth + 1);
        }
        known.sizing = false;
        known.expandedUnits = std::min(units, kMaxExpansionTotal + 1);
        return *known.expandedUnits;
    }

    // One level of the walk: the children of node still to look at. reporter is the node problems
    // inside it are told with (none: each node itself); external is the external entity whose
    // content node holds, taken off expanding_ when the level ends.
    struct TLevel {
        TdomNode* node;
        std::size_t next;
        TdomNode* reporter;
        int depth;
        const TdomCMNode* external;
        // For the content of a reference: its entity and the problems told before it.
        TdomCMNode* entity = nullptr;
        int problemsBefore = 0;
    };

    // The whole document, depth first, with the references in content filled and their content
    // walked in turn; a stack of levels rather than recursion, so that deep documents and deep
    // expansions cannot exhaust the call stack.
    void walk() {
        std::vector<TLevel> levels{{document_, 0, nullptr, 0, nullptr}};
        while (!levels.empty() && !stopped_) {
            TLevel& level = levels.back();
            const TdomNodeVector& children = level.node->children();
            if (level.next >= children.size()) {
                if (level.external) expanding_.pop_back();
                if (level.entity && problems_ == level.problemsBefore && !facts(level.entity).checkedContent) {
                    facts(level.entity).checkedContent = level.node;
                    facts(level.entity).checkedDepth = level.depth;
                }
                levels.pop_back();
                continue;
            }
            TdomNode* child = children[level.next++];
            TdomNode* const reporter = level.reporter;
            const int depth = level.depth;
            if (child->nodeType() == TdomNodeType::element) {
                for (TdomNode* attribute : static_cast<TdomElement*>(child)->attributeNodes())
                    checkAttribute(reporter ? reporter : child, attribute);
                levels.push_back({child, 0, reporter, depth, nullptr});
            } else if (child->nodeType() == TdomNodeType::entityReference) {
                auto* reference = static_cast<TdomEntityReference*>(child);
                const TdomCMNode* external = nullptr;
                const int problemsBefore = problems_;
                if (checkReference(reference, reporter ? reporter : child, depth, external))
                    levels.push_back({reference, 0, reporter ? reporter : child, depth + 1, external,
                                      cmaccess::declaredEntity(model_, reference->nodeName()), problemsBefore});
            }
        }
    }

    // Checks a reference in content and fills it; true when its content is to be walked (external
    // is then set to the external entity put on expanding_ for it, if any).
    bool checkReference(TdomEntityReference* reference, TdomNode* reporter, int depth, const TdomCMNode*& external) {
        TdomCMNode* entity = declared(reporter, reference->nodeName());
        if (!entity) return false;
        if (cmaccess::isUnparsedEntity(model_, reference->nodeName())) {
            problem(reporter, reference->nodeName(), EParserReferenceToUnparsedEntity_Err::kClassName);
            return false;
        }
        if (!reference->children().empty()) return false;
        // What the whole expansion would cost is known before any of it is built: a document
        // whose references expand beyond the budget is refused at once.
        if (expandedUnits(entity) > kMaxExpansionTotal - spent_) {
            expansionLimitReached(reporter, reference->nodeName());
            return false;
        }
        if (const TEntityFacts& known = facts(entity); known.checkedContent && depth < known.checkedDepth) {
            // Checked once already: the content is copied, not parsed and checked again.
            spent_ += expandedUnits(entity);
            copyContent(known.checkedContent, reference);
            return false;
        }
        if (unusable(entity) || depth >= kMaxDepth) {
            problem(reporter, reference->nodeName(), EParserNoProperMarkupReferenced_Err::kClassName);
            return false;
        }
        const bool isExternal = refersToExternal(entity) && replacementText(entity).empty();
        if (isExternal)
            return fillExternal(reference, static_cast<TdomCMEntityDeclaration*>(entity), reporter, external);
        if (replacementText(entity).empty()) return false;
        spent_ += static_cast<std::int64_t>(replacementText(entity).size());
        bool filled = false;
        try {
            filled = reference->fillByParsing();
        } catch (const Exception&) {
        }
        if (!filled) problem(reporter, reference->nodeName(), EParserNoProperMarkupReferenced_Err::kClassName);
        return filled;
    }

    // Copies the content of one node into another that has none, without recursion; references
    // in it are copied with their content as it is.
    void copyContent(TdomNode* from, TdomNode* to) {
        std::vector<std::pair<TdomNode*, TdomNode*>> pending{{from, to}};
        while (!pending.empty()) {
            const auto [source, target] = pending.back();
            pending.pop_back();
            for (TdomNode* child : source->children()) {
                const bool reference = child->nodeType() == TdomNodeType::entityReference;
                TdomNode* copy = reference ? document_->createEntityReference(child->nodeName())
                                           : document_->importNode(child, false);
                target->appendChild(copy);
                if (child->hasChildNodes() && (reference || child->nodeType() == TdomNodeType::element))
                    pending.emplace_back(child, copy);
            }
        }
    }

    // Told once: the walk ends with it.
    void expansionLimitReached(TdomNode* reporter, const std::u16string& name) {
        problem(reporter, name + u": " + std::u16string(kExpansionLimitReached),
                EParserUnresolvable_Entity_Reference_Err::kClassName);
        stopped_ = true;
    }

    // The content of an external parsed entity, read once.
    const TEntityFacts& fetch(TdomCMEntityDeclaration* entity) {
        TEntityFacts& known = facts(entity);
        if (known.fetched || !opener_) return known;
        known.fetched = true;
        auto fail = [&known](std::u16string code, std::string_view errorClass, bool fatal = true) -> TEntityFacts& {
            known.fetchCode = std::move(code);
            known.fetchProblem = errorClass;
            known.fetchFatal = fatal;
            return known;
        };
        std::unique_ptr<TStream> stream =
            opener_(entity->systemId(), entity->owner()->nodeType() == TdomCMNodeType::externalObject);
        if (!stream) return fail(entity->nodeName(), EParserExternal_Entity_Not_Found_Err::kClassName, false);
        std::u16string text, encodingProblem;
        try {
            TXmlInputSource source(stream.get(), entity->publicId(), entity->systemId());
            if (source.encodingProblem() != TEncodingProblem::none) encodingProblem = source.encodingProblemText();
            source.rewind();
            for (char16_t unit; source.readChar(unit);) text.push_back(unit);
        } catch (const Exception&) {
            return fail(entity->nodeName(), EParserInvalidCharacter_Err::kClassName);
        }
        if (!splitTextDeclaration(text, known.content)) {
            known.content.clear();
            return fail(entity->nodeName(), EParserInvalidTextDeclaration_Err::kClassName);
        }
        // An unusable encoding declaration is told with every reference; the content is read all the same.
        if (!encodingProblem.empty())
            fail(std::move(encodingProblem), EParserUnusable_Encoding_Declaration_Err::kClassName, false);
        return known;
    }

    // Reads an external parsed entity into the reference; true when its content is to be walked.
    bool fillExternal(TdomEntityReference* reference, TdomCMEntityDeclaration* entity, TdomNode* reporter,
                      const TdomCMNode*& external) {
        if (!opener_) return false;
        const std::u16string& name = reference->nodeName();
        if (std::find(expanding_.begin(), expanding_.end(), entity) != expanding_.end()) {
            problem(reporter, name, EParserNoProperMarkupReferenced_Err::kClassName);
            return false;
        }
        const TEntityFacts& fetched = fetch(entity);
        if (!fetched.fetchProblem.empty()) {
            problem(reporter, fetched.fetchCode, fetched.fetchProblem, fetched.fetchFatal);
            if (fetched.fetchProblem != EParserUnusable_Encoding_Declaration_Err::kClassName) return false;
        }
        if (fetched.content.empty()) return false;
        spent_ += static_cast<std::int64_t>(fetched.content.size());
        bool filled = false;
        try {
            TXmlToDomParser parser;
            filled = parser.wideStringToNode(fetched.content, entity->publicId(), entity->systemId(), reference);
        } catch (const Exception&) {
        }
        if (!filled) {
            problem(reporter, name, EParserNoProperMarkupReferenced_Err::kClassName);
            return false;
        }
        expanding_.push_back(entity);
        external = entity;
        return true;
    }

    void checkAttribute(TdomNode* reporter, TdomNode* attribute) {
        for (TdomNode* child : attribute->children())
            if (child->nodeType() == TdomNodeType::entityReference) checkAttributeEntity(reporter, child->nodeName());
    }

    // An entity referred to from an attribute value, and the entities its replacement text refers to.
    void checkAttributeEntity(TdomNode* reporter, const std::u16string& name, bool fromExternalSubset = false) {
        TdomCMNode* entity = declared(reporter, name, fromExternalSubset);
        if (!entity || stopped_) return;
        if (!refersToExternal(entity) && expandedUnits(entity) > kMaxExpansionTotal) {
            expansionLimitReached(reporter, name);
            return;
        }
        for (const TProblem& found : attributeProblems(entity, 0))
            problem(reporter, found.code, found.errorClass, found.fatal);
    }

    // The problems of an entity in an attribute value, its own and those of the entities it refers
    // to (each distinct problem once), worked out once per entity: an entity referred to many
    // times over costs no more than one that is referred to once.
    const std::vector<TProblem>& attributeProblems(TdomCMNode* entity, int depth) {
        if (const std::optional<std::vector<TProblem>>& known = facts(entity).attributeProblems) return *known;
        std::vector<TProblem> found;
        const std::u16string& name = entity->nodeName();
        if (refersToExternal(entity)) {
            found.push_back({name, EParserAttributeValueRefersToExternalEntity_Err::kClassName, true});
        } else if (unusable(entity) || depth >= kMaxDepth || facts(entity).inAttributeCheck) {
            found.push_back({name, EParserNoProperMarkupReferenced_Err::kClassName, true});
        } else if (replacementText(entity).find(u'<') != std::u16string::npos) {
            found.push_back({name, EParserLtInAttributeValue_Err::kClassName, true});
        } else {
            facts(entity).inAttributeCheck = true;
            auto add = [&found](const TProblem& problem) {
                if (std::find(found.begin(), found.end(), problem) == found.end()) found.push_back(problem);
            };
            // General entity references are kept as written in the replacement text.
            const std::u16string text = replacementText(entity);
            for (const std::u16string_view nestedName : referencedNames(text)) {
                TdomCMNode* nested = usableDeclaration(nestedName, declaredExternally(entity));
                if (!nested) {
                    if (missingDeclaration(nestedName))
                        add({std::u16string(nestedName), EParserMissing_Entity_Declaration_Err::kClassName, false});
                    continue;
                }
                for (const TProblem& problem : attributeProblems(nested, depth + 1)) add(problem);
            }
            facts(entity).inAttributeCheck = false;
        }
        facts(entity).attributeProblems = std::move(found);
        return *facts(entity).attributeProblems;
    }

    TdomDocument* document_;
    TdomCMObject* model_;
    TdomCustomErrorHandler* errorHandler_;
    const TExternalEntityOpener& opener_;
    // The external entities being read, outermost first.
    std::vector<const TdomCMNode*> expanding_;
    std::unordered_map<const TdomCMNode*, TEntityFacts> facts_;
    // Code units of replacement text and external content filled in so far; the walk stops once
    // the expansion limit was reported.
    std::int64_t spent_ = 0;
    bool stopped_ = false;
    int problems_ = 0;
    const bool declarationsRequired_;
    bool valid_ = true;
};

} // namespace

bool checkEntityConstraints(TdomDocument* document, TdomCustomErrorHandler* errorHandler,
                            const TExternalEntityOpener& openExternal) {
    return TEntityChecker(document, errorHandler, openExternal).run();
}
