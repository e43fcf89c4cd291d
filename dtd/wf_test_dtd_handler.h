#pragma once

#include <string>

#include "parser/signal_chain.h"

// The middle handler of the DTD chain: checks each DTD signal against the well-formedness rules
// that the DTD reader leaves open (names, literals, comment and processing-instruction text, the
// place of text declarations and attribute lists) and stops a faulty signal with a record; a
// signal that passes goes on unchanged to NextHandler. Signals that arrive while no subset is
// being read (or a start signal while one is) raise EParserException.
class TXmlWFTestDTDHandler : public TXmlCustomDTDHandler {
public:
    bool inAttList() const { return inAttList_; }
    bool externalActive() const { return externalActive_; }
    bool internalActive() const { return internalActive_; }
    bool textDeclAllowed() const { return textDeclAllowed_; }

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
    void reset() override;

private:
    // The checks every signal but the start signals share: a subset must be active (else
    // EParserException), a text declaration is no longer allowed after any other signal, and an
    // open attribute list admits only definitions and its end. Answers the attribute-list record.
    TXmlErrorRecord enter(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                          bool allowedInAttList);
    // The entity checks of both entity declarations; true when they pass.
    static bool entityDeclarationHolds(const std::u16string& name, const std::u16string& entityValue,
                                       const std::u16string& pubId, const std::u16string& sysId);
    TXmlErrorRecord fail(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                         const std::u16string& code, const char* errorClass) {
        return createError(processorAgent, locator, code, errorClass);
    }

    bool inAttList_ = false;
    bool externalActive_ = false;
    bool internalActive_ = false;
    bool textDeclAllowed_ = false;
};
