#include "dtd/wf_test_dtd_handler.h"

#include <utility>

#include "text/parser_error.h"
#include "text/parser_exception.h"
#include "text/xml_chars.h"

namespace {

constexpr const char* kNotActive = "TXmlWFTestDTDHandler is not active.";

std::u16string quoted(char16_t quote, const std::u16string& text) {
    std::u16string result;
    result.reserve(text.size() + 2);
    result.push_back(quote);
    result += text;
    result.push_back(quote);
    return result;
}

// A literal passes when it is valid in one kind of quote or the other.
bool quotedEitherWay(bool (*check)(std::u16string_view), const std::u16string& text) {
    return check(quoted(u'"', text)) || check(quoted(u'\'', text));
}

} // namespace

TXmlErrorRecord TXmlWFTestDTDHandler::enter(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                            bool allowedInAttList) {
    if (!externalActive_ && !internalActive_) throw EParserException(kNotActive);
    textDeclAllowed_ = false;
    if (inAttList_ && !allowedInAttList)
        return fail(processorAgent, locator, u"", EParserInvalidAttributeDeclaration_Err::kClassName);
    return nullptr;
}

bool TXmlWFTestDTDHandler::entityDeclarationHolds(const std::u16string& name, const std::u16string& entityValue,
                                                  const std::u16string& pubId, const std::u16string& sysId) {
    if (!checkName(name)) return false;
    if (!entityValue.empty()) {
        if (!quotedEitherWay(checkEntityValue, entityValue)) return false;
        if (!pubId.empty() || !sysId.empty()) return false;
    }
    return quotedEitherWay(checkSystemLiteral, sysId) && quotedEitherWay(checkPubidLiteral, pubId);
}

TXmlErrorRecord TXmlWFTestDTDHandler::startExtDtd(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator) {
    if (OnStartExtDtd) OnStartExtDtd(processorAgent, locator);
    if (externalActive_ || internalActive_) throw EParserException(kNotActive);
    externalActive_ = true;
    textDeclAllowed_ = true;
    return forward(&TXmlCustomHandler::startExtDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlWFTestDTDHandler::startIntDtd(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator) {
    if (OnStartIntDtd) OnStartIntDtd(processorAgent, locator);
    if (externalActive_ || internalActive_) throw EParserException(kNotActive);
    internalActive_ = true;
    return forward(&TXmlCustomHandler::startIntDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlWFTestDTDHandler::endExtDtd(TXmlCustomProcessorAgent* processorAgent,
                                                TdomStandardLocator* locator) {
    if (OnEndExtDtd) OnEndExtDtd(processorAgent, locator);
    if (!externalActive_) throw EParserException(kNotActive);
    externalActive_ = false;
    textDeclAllowed_ = false;
    if (inAttList_) {
        inAttList_ = false;
        return fail(processorAgent, locator, u"", EParserInvalidAttributeDeclaration_Err::kClassName);
    }
    return forward(&TXmlCustomHandler::endExtDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlWFTestDTDHandler::endIntDtd(TXmlCustomProcessorAgent* processorAgent,
                                                TdomStandardLocator* locator) {
    if (OnEndIntDtd) OnEndIntDtd(processorAgent, locator);
    if (!internalActive_) throw EParserException(kNotActive);
    internalActive_ = false;
    textDeclAllowed_ = false;
    if (inAttList_) {
        inAttList_ = false;
        return fail(processorAgent, locator, u"", EParserInvalidAttributeDeclaration_Err::kClassName);
    }
    return forward(&TXmlCustomHandler::endIntDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlWFTestDTDHandler::startAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                              TdomStandardLocator* locator, std::u16string&& data) {
    if (OnStartAttListDeclaration) OnStartAttListDeclaration(processorAgent, locator, data);
    TXmlErrorRecord error = enter(processorAgent, locator, false);
    const bool valid = !error && checkName(data);
    inAttList_ = true;
    if (error) return error;
    if (!valid) return fail(processorAgent, locator, u"", EParserInvalidAttributeDeclaration_Err::kClassName);
    return forward(&TXmlCustomHandler::startAttListDeclaration, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlWFTestDTDHandler::attributeDefinition(TXmlCustomProcessorAgent* processorAgent,
                                                          TdomStandardLocator* locator, std::u16string&& name,
                                                          std::u16string&& attType, std::u16string&& bracket,
                                                          std::u16string&& defaultDecl, std::u16string&& attValue) {
    if (OnAttributeDefinition)
        OnAttributeDefinition(processorAgent, locator, name, attType, bracket, defaultDecl, attValue);
    enter(processorAgent, locator, true);
    if (!inAttList_ || !checkName(name))
        return fail(processorAgent, locator, u"", EParserInvalidAttributeDeclaration_Err::kClassName);
    return forward(&TXmlCustomHandler::attributeDefinition, processorAgent, locator, std::move(name),
                   std::move(attType), std::move(bracket), std::move(defaultDecl), std::move(attValue));
}

TXmlErrorRecord TXmlWFTestDTDHandler::endAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                            TdomStandardLocator* locator) {
    if (OnEndAttListDeclaration) OnEndAttListDeclaration(processorAgent, locator);
    enter(processorAgent, locator, true);
    if (!inAttList_) return fail(processorAgent, locator, u"", EParserInvalidAttributeDeclaration_Err::kClassName);
    inAttList_ = false;
    return forward(&TXmlCustomHandler::endAttListDeclaration, processorAgent, locator);
}

TXmlErrorRecord TXmlWFTestDTDHandler::elementTypeDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                             TdomStandardLocator* locator, std::u16string&& name,
                                                             std::u16string&& data) {
    if (OnElementTypeDeclaration) OnElementTypeDeclaration(processorAgent, locator, name, data);
    if (TXmlErrorRecord error = enter(processorAgent, locator, false)) return error;
    if (!checkName(name)) return fail(processorAgent, locator, u"", EParserInvalidElementDeclaration_Err::kClassName);
    return forward(&TXmlCustomHandler::elementTypeDeclaration, processorAgent, locator, std::move(name),
                   std::move(data));
}

TXmlErrorRecord TXmlWFTestDTDHandler::entityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string&& name,
                                                        std::u16string&& entityValue, std::u16string&& pubId,
                                                        std::u16string&& sysId, std::u16string&& notaName) {
    if (OnEntityDeclaration) OnEntityDeclaration(processorAgent, locator, name, entityValue, pubId, sysId, notaName);
    if (TXmlErrorRecord error = enter(processorAgent, locator, false)) return error;
    if (!entityDeclarationHolds(name, entityValue, pubId, sysId))
        return fail(processorAgent, locator, u"", EParserInvalidEntityDeclaration_Err::kClassName);
    return forward(&TXmlCustomHandler::entityDeclaration, processorAgent, locator, std::move(name),
                   std::move(entityValue), std::move(pubId), std::move(sysId), std::move(notaName));
}

TXmlErrorRecord TXmlWFTestDTDHandler::parameterEntityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                                 TdomStandardLocator* locator, std::u16string&& name,
                                                                 std::u16string&& entityValue, std::u16string&& pubId,
                                                                 std::u16string&& sysId) {
    if (OnParameterEntityDeclaration)
        OnParameterEntityDeclaration(processorAgent, locator, name, entityValue, pubId, sysId);
    if (TXmlErrorRecord error = enter(processorAgent, locator, false)) return error;
    if (!entityDeclarationHolds(name, entityValue, pubId, sysId))
        return fail(processorAgent, locator, u"", EParserInvalidEntityDeclaration_Err::kClassName);
    return forward(&TXmlCustomHandler::parameterEntityDeclaration, processorAgent, locator, std::move(name),
                   std::move(entityValue), std::move(pubId), std::move(sysId));
}

TXmlErrorRecord TXmlWFTestDTDHandler::notationDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                          TdomStandardLocator* locator, std::u16string&& name,
                                                          std::u16string&& pubId, std::u16string&& sysId) {
    if (OnNotationDeclaration) OnNotationDeclaration(processorAgent, locator, name, pubId, sysId);
    if (TXmlErrorRecord error = enter(processorAgent, locator, false)) return error;
    if (!checkName(name) || !quotedEitherWay(checkSystemLiteral, sysId) || !quotedEitherWay(checkPubidLiteral, pubId))
        return fail(processorAgent, locator, u"", EParserInvalidNotationDeclaration_Err::kClassName);
    return forward(&TXmlCustomHandler::notationDeclaration, processorAgent, locator, std::move(name), std::move(pubId),
                   std::move(sysId));
}

TXmlErrorRecord TXmlWFTestDTDHandler::parameterEntityRef(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, std::u16string&& data) {
    if (OnParameterEntityRef) OnParameterEntityRef(processorAgent, locator, data);
    if (TXmlErrorRecord error = enter(processorAgent, locator, false)) return error;
    if (!checkName(data)) return fail(processorAgent, locator, data, EParserInvalidEntityName_Err::kClassName);
    return forward(&TXmlCustomHandler::parameterEntityRef, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlWFTestDTDHandler::dtdComment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                 std::u16string&& data) {
    if (OnDtdComment) OnDtdComment(processorAgent, locator, data);
    if (TXmlErrorRecord error = enter(processorAgent, locator, false)) return error;
    if (data.find(u"--") != std::u16string::npos)
        return fail(processorAgent, locator, u"--", EParserInvalidComment_Err::kClassName);
    if (!data.empty() && data.back() == u'-')
        return fail(processorAgent, locator, u"-", EParserInvalidComment_Err::kClassName);
    if (!checkChars(data)) return fail(processorAgent, locator, data, EParserInvalidCharacter_Err::kClassName);
    return forward(&TXmlCustomHandler::dtdComment, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlWFTestDTDHandler::dtdProcessingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                               TdomStandardLocator* locator, std::u16string&& targ,
                                                               std::u16string&& data) {
    if (OnDtdProcessingInstruction) OnDtdProcessingInstruction(processorAgent, locator, targ, data);
    if (TXmlErrorRecord error = enter(processorAgent, locator, false)) return error;
    if (!checkPITarget(targ))
        return fail(processorAgent, locator, targ, EParserInvalidProcessingInstruction_Err::kClassName);
    if (data.find(u"?>") != std::u16string::npos)
        return fail(processorAgent, locator, u"?>", EParserInvalidProcessingInstruction_Err::kClassName);
    if (!checkChars(data)) return fail(processorAgent, locator, data, EParserInvalidCharacter_Err::kClassName);
    return forward(&TXmlCustomHandler::dtdProcessingInstruction, processorAgent, locator, std::move(targ),
                   std::move(data));
}

TXmlErrorRecord TXmlWFTestDTDHandler::conditionalSection(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, std::u16string&& includeStmt,
                                                         std::u16string&& data) {
    if (OnConditionalSection) OnConditionalSection(processorAgent, locator, includeStmt, data);
    if (TXmlErrorRecord error = enter(processorAgent, locator, false)) return error;
    if (internalActive_ || (includeStmt != u"INCLUDE" && includeStmt != u"IGNORE"))
        return fail(processorAgent, locator, u"", EParserInvalidConditionalSection_Err::kClassName);
    return forward(&TXmlCustomHandler::conditionalSection, processorAgent, locator, std::move(includeStmt),
                   std::move(data));
}

TXmlErrorRecord TXmlWFTestDTDHandler::textDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                      TdomStandardLocator* locator, std::u16string&& version,
                                                      std::u16string&& encDl) {
    if (OnTextDeclaration) OnTextDeclaration(processorAgent, locator, version, encDl);
    if (!externalActive_ && !internalActive_) throw EParserException(kNotActive);
    if (inAttList_) return fail(processorAgent, locator, u"", EParserInvalidAttributeDeclaration_Err::kClassName);
    if (internalActive_) return fail(processorAgent, locator, u"", EParserInvalidTextDeclaration_Err::kClassName);
    if (!textDeclAllowed_) return fail(processorAgent, locator, u"", EParserWrongOrder_Err::kClassName);
    if ((!encDl.empty() && !checkEncName(encDl)) || (!version.empty() && !checkVersionNum(version)))
        return fail(processorAgent, locator, u"", EParserInvalidTextDeclaration_Err::kClassName);
    return forward(&TXmlCustomHandler::textDeclaration, processorAgent, locator, std::move(version), std::move(encDl));
}

void TXmlWFTestDTDHandler::reset() {
    inAttList_ = false;
    externalActive_ = false;
    internalActive_ = false;
    textDeclAllowed_ = false;
    TXmlCustomDTDHandler::reset();
}
