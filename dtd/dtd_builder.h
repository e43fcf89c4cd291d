#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "parser/signal_chain.h"

class TdomCMExternalObject;
class TdomCMInternalObject;
class TdomCustomCMIEObject;
class TdomCMNode;
class TdomCMAttrDefinition;
class TdomCMElementTypeDeclaration;
class TdomNameValueList;
class TDomImplementation;
class TXmlDtdBuilder;
struct TXmlExpansionBudget;

// A text that a builder reads one nesting level deeper into the subsets it builds: the replacement
// text of a parameter-entity reference between declarations, or an included conditional section.
struct TXmlNestedSubsetRead {
    std::u16string& text;
    // True: the read may take the text over and let go of what it has read while it goes on, so
    // that nested reads do not each hold the whole text they enclose; the text is empty after.
    bool consume;
    // Where the text stands, for the records of the nested read and the entities it names.
    std::u16string publicId;
    std::u16string systemId;
    TDomImplementation* implementation; // of the subsets, or nullptr
    std::shared_ptr<TXmlExpansionBudget> budget;
    // True: the text is external text, read into externalTarget; false: internal-subset text,
    // read into internalTarget.
    bool external;
    TdomCMExternalObject* externalTarget;
    TdomCMInternalObject* internalTarget;
    // Sets up the nested read's builder as a child of the one that asks, before the read.
    std::function<void(TXmlDtdBuilder& nested)> prepare;
    // Told the code of every record of the nested read.
    std::function<void(const std::u16string& code)> onRecord;
};

// Reads a nested text and answers whether it was read without an error record. The builder sits
// below the parser front that can read text, so the front installs this.
using TXmlNestedSubsetReader = std::function<bool(const TXmlNestedSubsetRead& read)>;

// The last handler of the DTD chain: turns DTD signals into content-model nodes under the subset
// object it builds (the external or the internal subset), parses content specifications,
// enumerations and entity values, keeps the replacement texts of parameter entities and answers
// findParameterEntity with them, fetches external parameter entities through the DOM
// implementation's onExternalParsedEntity, and re-reads the parameter-entity references between
// declarations (of either subset) and the included conditional sections of the external subset
// with a nested parser. The external subset sees the parameter entities of the internal one.
//
// Bounds: replacement texts are limited to kMaxExpandedTextLength code units, the expansions of a
// run (including those of nested reads) to kMaxExpansionTotal, and nested reads to
// kMaxNestingLevel levels; beyond them the signal is answered with the record of its declaration,
// whose code says which bound was reached (a bound reached inside a nested read is told the same
// way by the record of the reference or section that started it).
class TXmlDtdBuilder : public TXmlCustomDTDHandler {
public:
    static constexpr int kMaxNestingLevel = 64;

    TXmlDtdBuilder();
    ~TXmlDtdBuilder() override;

    TdomCMExternalObject* externalTarget() const { return externalTarget_; }
    // Raises EParserException ("TXmlDtdBuilder -- external DTD is active.") while an external
    // subset is being built.
    void setExternalTarget(TdomCMExternalObject* target);
    TdomCMInternalObject* internalTarget() const { return internalTarget_; }
    // Raises EParserException ("TXmlDtdBuilder -- internal DTD is active.") while an internal
    // subset is being built.
    void setInternalTarget(TdomCMInternalObject* target);
    // The node that receives new declarations: the subset object, or an open attribute list.
    TdomCMNode* currentNode() const { return currentNode_; }
    bool externalActive() const { return externalActive_; }
    bool internalActive() const { return internalActive_; }
    // How many nested reads enclose this builder (0 for a builder of its own).
    int nestingLevel() const { return nestingLevel_; }
    // How parameter-entity references between declarations and included conditional sections are
    // read; without one, such a text is not read and its signal is answered with a record.
    void setNestedReader(TXmlNestedSubsetReader reader) { nestedReader_ = std::move(reader); }

    TXmlErrorRecord attributeDefinition(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        std::u16string&& name, std::u16string&& attType, std::u16string&& bracket,
                                        std::u16string&& defaultDecl, std::u16string&& attValue) override;
    TXmlErrorRecord conditionalSection(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                       std::u16string&& includeStmt, std::u16string&& data) override;
    TXmlErrorRecord dtdComment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                               std::u16string&& data) override;
    TXmlErrorRecord dtdProcessingInstruction(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                             std::u16string&& targ, std::u16string&& data) override;
    TXmlErrorRecord elementTypeDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                           std::u16string&& name, std::u16string&& data) override;
    TXmlErrorRecord endAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                          TdomStandardLocator* locator) override;
    TXmlErrorRecord endExtDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) override;
    TXmlErrorRecord endIntDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) override;
    TXmlErrorRecord entityDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                      std::u16string&& name, std::u16string&& entityValue, std::u16string&& pubId,
                                      std::u16string&& sysId, std::u16string&& notaName) override;
    TXmlErrorRecord notationDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        std::u16string&& name, std::u16string&& pubId, std::u16string&& sysId) override;
    TXmlErrorRecord parameterEntityDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string&& name, std::u16string&& entityValue,
                                               std::u16string&& pubId, std::u16string&& sysId) override;
    TXmlErrorRecord parameterEntityRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                       std::u16string&& data) override;
    TXmlErrorRecord startAttListDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                            std::u16string&& data) override;
    TXmlErrorRecord startExtDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) override;
    TXmlErrorRecord startIntDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) override;
    TXmlErrorRecord textDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                    std::u16string&& version, std::u16string&& encDl) override;

    // The replacement text of a parameter entity: the internal subset's list first, then, while
    // an external subset is being built, the external subset's list; an external entity declared
    // but not read yet is fetched now (see fetchDeclared), and its record, if any, answered.
    TXmlErrorRecord findParameterEntity(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        bool& found, std::u16string& replacementText,
                                        const std::u16string& name) override;
    void reset() override;

    // The budget of expansions this builder charges; shared with nested reads.
    const std::shared_ptr<TXmlExpansionBudget>& expansionBudget() const { return budget_; }
    // Makes the builder charge budget, which the caller renews (the parser front shares one budget
    // per run with its DTD reader); nullptr gives the builder a budget of its own, renewed by reset.
    void setExpansionBudget(std::shared_ptr<TXmlExpansionBudget> budget);

protected:
    // Reads text into the subset being built (as external-subset text while the external subset
    // is built, or when externalText says the text is an external entity's) through the nested
    // reader. True when it was read without an error record.
    // systemId, when given, names the text's own entity, which the entities it names are found
    // relative to. consume: the read takes the text over (see TXmlNestedSubsetRead).
    virtual bool readNested(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            std::u16string& text, bool consume, bool externalText = false,
                            const std::u16string& systemId = std::u16string());

private:
    // First declaration of each name in a parameter-entity list, kept in step with the list.
    struct ListIndex {
        const TdomNameValueList* list = nullptr;
        int indexedCount = 0;
        std::unordered_map<std::u16string, int> first;
    };

    void requireActive() const;
    TdomCustomCMIEObject* activeTarget() const;
    bool lookUp(ListIndex& index, const TdomNameValueList* list, const std::u16string& name,
                std::u16string& text) const;
    // Appends node to currentNode; on failure removes and frees it and answers false.
    bool appendOrFree(TdomCMNode* node);
    void freeDetached(TdomCMNode* node);
    void buildMixedContent(TdomCMElementTypeDeclaration* declaration, const std::u16string& contentSpec);
    void buildElementContent(TdomCMElementTypeDeclaration* declaration, const std::u16string& contentSpec);
    void buildEnumeration(TdomCMAttrDefinition* definition, const std::u16string& attType,
                          const std::u16string& bracket);
    // Reads the replacement text of a parameter-entity reference between declarations into the
    // subset being built, within the nesting and expansion bounds; externalText tells that it is
    // the text of an external entity.
    TXmlErrorRecord readReplacement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                    const std::u16string& text, bool externalText = false,
                                    const std::u16string& systemId = std::u16string());
    // The replacement text of an internal parameter entity; raises EConvertError.
    std::u16string normalizeValue(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                  const std::u16string& value);
    // Asks onExternalParsedEntity for an external parameter entity, named relative to base (when
    // empty: to the subset, or the input being read); fetched tells whether a stream came with the
    // answer (and text holds the entity's text, foundAt the system identifier it was found at).
    TXmlErrorRecord fetchExternalEntity(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        const std::u16string& publicId, const std::u16string& systemId,
                                        const std::u16string& base, std::u16string& text, std::u16string& foundAt,
                                        bool& fetched);
    // Fetches the external parameter entity declared with that name, when it is one, and records
    // its text in the parameter-entity list of the subset that declares it. External parameter
    // entities are fetched only when they are referred to, so that one that cannot be had and is
    // never used is no problem.
    // The system identifier an external parameter entity was found at; empty when it was not.
    std::u16string foundAt(const TdomCMNode* declaration) const;
    TXmlErrorRecord fetchDeclared(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                  const std::u16string& name, bool& found, std::u16string& text);
    // A record of errorClass for the current piece, with code (a bound that was reached, or none).
    TXmlErrorRecord fail(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator, const char* errorClass,
                         std::u16string_view code = {}) {
        return createError(processorAgent, locator, std::u16string(code), errorClass);
    }

    TdomCMExternalObject* externalTarget_ = nullptr;
    TdomCMInternalObject* internalTarget_ = nullptr;
    TdomCMNode* currentNode_ = nullptr;
    bool externalActive_ = false;
    bool internalActive_ = false;
    // Where the declarations of external text go while the external subset is active: nullptr for
    // the external subset itself, or the internal subset, for the text of an external parameter
    // entity referred to in the internal subset (which is read as external text).
    TdomCMInternalObject* externalTextInto_ = nullptr;
    // Where the external parameter entities of a run were declared (the input that declared them)
    // and found, shared with the nested reads of the run.
    struct ExternalEntityPlaces {
        std::unordered_map<const TdomCMNode*, std::u16string> declaredIn;
        std::unordered_map<const TdomCMNode*, std::u16string> foundAt;
    };
    std::shared_ptr<ExternalEntityPlaces> places_ = std::make_shared<ExternalEntityPlaces>();
    // Whether the text read is (within) the text of an external parameter entity, found at the
    // system identifier of the input.
    bool readsEntityText_ = false;
    int nestingLevel_ = 0;
    std::shared_ptr<TXmlExpansionBudget> budget_;
    bool sharedBudget_ = false;
    // The bound that ended the last nested read (one of the codes of dtd_reader.h), or empty.
    std::u16string nestedLimit_;
    TXmlNestedSubsetReader nestedReader_;
    mutable ListIndex internalIndex_;
    mutable ListIndex externalIndex_;
};
