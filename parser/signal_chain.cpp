#include "parser/signal_chain.h"

#include <algorithm>
#include <utility>

#include "text/name_value_list.h"
#include "text/parser_error.h"
#include "text/parser_exception.h"

// ---- component bookkeeping ----

TXmlComponent::~TXmlComponent() {
    // Tell every watcher first; a watcher's handler may not call back into this object.
    std::vector<TXmlComponent*> watchers = std::move(watchers_);
    for (TXmlComponent* watcher : watchers) {
        eraseOnce(watcher->watched_, this);
        watcher->componentDestroyed(this);
    }
    for (TXmlComponent* other : watched_) eraseOnce(other->watchers_, this);
}

void TXmlComponent::eraseOnce(std::vector<TXmlComponent*>& list, TXmlComponent* item) {
    auto found = std::find(list.begin(), list.end(), item);
    if (found != list.end()) list.erase(found);
}

void TXmlComponent::watch(TXmlComponent* other) {
    if (!other || other == this) return;
    if (std::find(watched_.begin(), watched_.end(), other) != watched_.end()) return;
    watched_.push_back(other);
    other->watchers_.push_back(this);
}

void TXmlComponent::unwatch(TXmlComponent* other) {
    if (!other) return;
    auto found = std::find(watched_.begin(), watched_.end(), other);
    if (found == watched_.end()) return;
    watched_.erase(found);
    eraseOnce(other->watchers_, this);
}

void TXmlComponent::componentDestroyed(TXmlComponent*) {}

bool TXmlCustomProcessorAgent::parseDoctypeSubsets(const std::u16string&, const std::u16string&, const std::u16string&,
                                                   const std::u16string&, const std::u16string&) {
    return true;
}

// ---- error records ----

TXmlErrorRecord makeChainError(TdomStandardLocator* locator, const std::u16string& code, std::string_view errorClass) {
    return createParserError(locator, code, errorClass);
}

// ---- handlers ----

void TXmlCustomHandler::dispatchError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error) {
    if (!error) return;
    switch (error->errorType()) {
    case TXmlErrorType::fatal:
        reportFatalError(processorAgent, error);
        break;
    case TXmlErrorType::error:
        reportError(processorAgent, error);
        break;
    case TXmlErrorType::warning:
        reportWarning(processorAgent, error);
        break;
    }
}

void TXmlCustomHandler::reportError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error) {
    if (OnError && error) OnError(processorAgent, *error);
    error.reset();
}

void TXmlCustomHandler::reportFatalError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error) {
    if (OnFatalError && error) OnFatalError(processorAgent, *error);
}

void TXmlCustomHandler::reportWarning(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error) {
    if (OnWarning && error) OnWarning(processorAgent, *error);
    error.reset();
}

void TXmlStandardHandler::setNextHandler(TXmlCustomHandler* handler) {
    if (handler == nextHandler_) return;
    unwatch(nextHandler_);
    nextHandler_ = handler;
    watch(handler);
}

void TXmlStandardHandler::componentDestroyed(TXmlComponent* destroyed) {
    if (destroyed == nextHandler_) nextHandler_ = nullptr;
}

TXmlErrorRecord TXmlStandardHandler::CDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                           std::u16string data) {
    if (OnCDATA) OnCDATA(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->CDATA(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::charRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                             std::u16string data) {
    if (OnCharRef) OnCharRef(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->charRef(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::comment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                             std::u16string data) {
    if (OnComment) OnComment(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->comment(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::doctype(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                             std::u16string name, std::u16string pubId, std::u16string sysId,
                                             std::u16string data) {
    if (OnDoctype) OnDoctype(processorAgent, locator, name, pubId, sysId, data);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->doctype(processorAgent, locator, std::move(name), std::move(pubId), std::move(sysId),
                                       std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::endDocument(TXmlCustomProcessorAgent* processorAgent,
                                                 TdomStandardLocator* locator) {
    if (OnEndDocument) OnEndDocument(processorAgent, locator);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->endDocument(processorAgent, locator);
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::endElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                const std::u16string& namespaceURI, const std::u16string& tagName) {
    return afterEndElementEvent(processorAgent, locator, namespaceURI, tagName,
                                [&](const std::u16string& uri, const std::u16string& name) {
                                    TXmlErrorRecord answer;
                                    if (nextHandler_)
                                        answer = nextHandler_->endElement(processorAgent, locator, uri, name);
                                    dispatchError(processorAgent, answer);
                                    return answer;
                                });
}

TXmlErrorRecord TXmlStandardHandler::endPrefixMapping(TXmlCustomProcessorAgent* processorAgent,
                                                      TdomStandardLocator* locator, std::u16string data) {
    if (OnEndPrefixMapping) OnEndPrefixMapping(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->endPrefixMapping(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::entityRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string data) {
    if (OnEntityRef) OnEntityRef(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->entityRef(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::PCDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                            std::u16string data) {
    if (OnPCDATA) OnPCDATA(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->PCDATA(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::processingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                           TdomStandardLocator* locator, std::u16string targ,
                                                           std::u16string data) {
    if (OnProcessingInstruction) OnProcessingInstruction(processorAgent, locator, targ, data);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->processingInstruction(processorAgent, locator, std::move(targ), std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::skippedEntity(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string data) {
    if (OnSkippedEntity) OnSkippedEntity(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->skippedEntity(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::startDocument(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string data) {
    if (OnStartDocument) OnStartDocument(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->startDocument(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::startElement(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, const std::u16string& namespaceURI,
                                                  const std::u16string& tagName, TdomNameValueList& attributes) {
    return afterStartElementEvent(processorAgent, locator, namespaceURI, tagName, attributes,
                                  [&](const std::u16string& uri, const std::u16string& name) {
                                      TXmlErrorRecord answer;
                                      if (nextHandler_)
                                          answer = nextHandler_->startElement(processorAgent, locator, uri, name,
                                                                              attributes);
                                      dispatchError(processorAgent, answer);
                                      return answer;
                                  });
}

TXmlErrorRecord TXmlStandardHandler::startPrefixMapping(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string prefix,
                                                        std::u16string uri) {
    if (OnStartPrefixMapping) OnStartPrefixMapping(processorAgent, locator, prefix, uri);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->startPrefixMapping(processorAgent, locator, std::move(prefix), std::move(uri));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::xmlDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, std::u16string version,
                                                    std::u16string encDl, std::u16string sdDl) {
    if (OnXmlDeclaration) OnXmlDeclaration(processorAgent, locator, version, encDl, sdDl);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->xmlDeclaration(processorAgent, locator, std::move(version), std::move(encDl),
                                              std::move(sdDl));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::attributeDefinition(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, std::u16string name,
                                                         std::u16string attType, std::u16string bracket,
                                                         std::u16string defaultDecl, std::u16string attValue) {
    if (OnAttributeDefinition)
        OnAttributeDefinition(processorAgent, locator, name, attType, bracket, defaultDecl, attValue);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->attributeDefinition(processorAgent, locator, std::move(name), std::move(attType),
                                                   std::move(bracket), std::move(defaultDecl), std::move(attValue));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::conditionalSection(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string includeStmt,
                                                        std::u16string data) {
    if (OnConditionalSection) OnConditionalSection(processorAgent, locator, includeStmt, data);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->conditionalSection(processorAgent, locator, std::move(includeStmt), std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::dtdComment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string data) {
    if (OnDtdComment) OnDtdComment(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->dtdComment(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::dtdProcessingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                              TdomStandardLocator* locator, std::u16string targ,
                                                              std::u16string data) {
    if (OnDtdProcessingInstruction) OnDtdProcessingInstruction(processorAgent, locator, targ, data);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->dtdProcessingInstruction(processorAgent, locator, std::move(targ), std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::elementTypeDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                            TdomStandardLocator* locator, std::u16string name,
                                                            std::u16string data) {
    if (OnElementTypeDeclaration) OnElementTypeDeclaration(processorAgent, locator, name, data);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->elementTypeDeclaration(processorAgent, locator, std::move(name), std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::endAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                           TdomStandardLocator* locator) {
    if (OnEndAttListDeclaration) OnEndAttListDeclaration(processorAgent, locator);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->endAttListDeclaration(processorAgent, locator);
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::endExtDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) {
    if (OnEndExtDtd) OnEndExtDtd(processorAgent, locator);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->endExtDtd(processorAgent, locator);
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::endIntDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) {
    if (OnEndIntDtd) OnEndIntDtd(processorAgent, locator);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->endIntDtd(processorAgent, locator);
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::entityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                       TdomStandardLocator* locator, std::u16string name,
                                                       std::u16string entityValue, std::u16string pubId,
                                                       std::u16string sysId, std::u16string notaName) {
    if (OnEntityDeclaration) OnEntityDeclaration(processorAgent, locator, name, entityValue, pubId, sysId, notaName);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->entityDeclaration(processorAgent, locator, std::move(name), std::move(entityValue),
                                                 std::move(pubId), std::move(sysId), std::move(notaName));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::notationDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, std::u16string name,
                                                         std::u16string pubId, std::u16string sysId) {
    if (OnNotationDeclaration) OnNotationDeclaration(processorAgent, locator, name, pubId, sysId);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->notationDeclaration(processorAgent, locator, std::move(name), std::move(pubId),
                                                   std::move(sysId));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::parameterEntityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                                TdomStandardLocator* locator, std::u16string name,
                                                                std::u16string entityValue, std::u16string pubId,
                                                                std::u16string sysId) {
    if (OnParameterEntityDeclaration)
        OnParameterEntityDeclaration(processorAgent, locator, name, entityValue, pubId, sysId);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->parameterEntityDeclaration(processorAgent, locator, std::move(name),
                                                          std::move(entityValue), std::move(pubId), std::move(sysId));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::parameterEntityRef(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string data) {
    if (OnParameterEntityRef) OnParameterEntityRef(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->parameterEntityRef(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::startAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                             TdomStandardLocator* locator, std::u16string data) {
    if (OnStartAttListDeclaration) OnStartAttListDeclaration(processorAgent, locator, data);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->startAttListDeclaration(processorAgent, locator, std::move(data));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::startExtDtd(TXmlCustomProcessorAgent* processorAgent,
                                                 TdomStandardLocator* locator) {
    if (OnStartExtDtd) OnStartExtDtd(processorAgent, locator);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->startExtDtd(processorAgent, locator);
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::startIntDtd(TXmlCustomProcessorAgent* processorAgent,
                                                 TdomStandardLocator* locator) {
    if (OnStartIntDtd) OnStartIntDtd(processorAgent, locator);
    TXmlErrorRecord answer;
    if (nextHandler_) answer = nextHandler_->startIntDtd(processorAgent, locator);
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::textDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                     TdomStandardLocator* locator, std::u16string version,
                                                     std::u16string encDl) {
    if (OnTextDeclaration) OnTextDeclaration(processorAgent, locator, version, encDl);
    TXmlErrorRecord answer;
    if (nextHandler_)
        answer = nextHandler_->textDeclaration(processorAgent, locator, std::move(version), std::move(encDl));
    dispatchError(processorAgent, answer);
    return answer;
}

TXmlErrorRecord TXmlStandardHandler::findParameterEntity(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, bool& found,
                                                         std::u16string& replacementText, const std::u16string& name) {
    if (nextHandler_) return nextHandler_->findParameterEntity(processorAgent, locator, found, replacementText, name);
    found = false;
    replacementText.clear();
    return nullptr;
}

void TXmlStandardHandler::reset() {
    if (nextHandler_) nextHandler_->reset();
}

// ---- content and DTD handlers ----

TXmlErrorRecord TXmlCustomContentHandler::createError(TXmlCustomProcessorAgent*, TdomStandardLocator* locator,
                                                      const std::u16string& code, std::string_view errorClass) {
    return makeChainError(locator, code, errorClass);
}

TXmlErrorRecord TXmlCustomContentHandler::refuse(TXmlCustomProcessorAgent* processorAgent,
                                                 TdomStandardLocator* locator) {
    return createError(processorAgent, locator, std::u16string(), EInternalParserException::kClassName);
}

TXmlErrorRecord TXmlCustomContentHandler::attributeDefinition(TXmlCustomProcessorAgent* processorAgent,
                                                              TdomStandardLocator* locator, std::u16string,
                                                              std::u16string, std::u16string, std::u16string,
                                                              std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::conditionalSection(TXmlCustomProcessorAgent* processorAgent,
                                                             TdomStandardLocator* locator, std::u16string,
                                                             std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::dtdComment(TXmlCustomProcessorAgent* processorAgent,
                                                     TdomStandardLocator* locator, std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::dtdProcessingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                                   TdomStandardLocator* locator, std::u16string,
                                                                   std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::elementTypeDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                                 TdomStandardLocator* locator, std::u16string,
                                                                 std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::endAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                                TdomStandardLocator* locator) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::endExtDtd(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::endIntDtd(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::entityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                            TdomStandardLocator* locator, std::u16string,
                                                            std::u16string, std::u16string, std::u16string,
                                                            std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::notationDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                              TdomStandardLocator* locator, std::u16string,
                                                              std::u16string, std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::parameterEntityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                                     TdomStandardLocator* locator, std::u16string,
                                                                     std::u16string, std::u16string, std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::parameterEntityRef(TXmlCustomProcessorAgent* processorAgent,
                                                             TdomStandardLocator* locator, std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::startAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                                  TdomStandardLocator* locator, std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::startExtDtd(TXmlCustomProcessorAgent* processorAgent,
                                                      TdomStandardLocator* locator) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::startIntDtd(TXmlCustomProcessorAgent* processorAgent,
                                                      TdomStandardLocator* locator) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomContentHandler::textDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                          TdomStandardLocator* locator, std::u16string,
                                                          std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::createError(TXmlCustomProcessorAgent*, TdomStandardLocator* locator,
                                                  const std::u16string& code, std::string_view errorClass) {
    return makeChainError(locator, code, errorClass);
}

TXmlErrorRecord TXmlCustomDTDHandler::refuse(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) {
    return createError(processorAgent, locator, std::u16string(), EInternalParserException::kClassName);
}

TXmlErrorRecord TXmlCustomDTDHandler::CDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                            std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::charRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                              std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::comment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                              std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::doctype(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                              std::u16string, std::u16string, std::u16string, std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::endDocument(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::endElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                 const std::u16string&, const std::u16string&) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::endPrefixMapping(TXmlCustomProcessorAgent* processorAgent,
                                                       TdomStandardLocator* locator, std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::entityRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::PCDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                             std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::processingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                            TdomStandardLocator* locator, std::u16string,
                                                            std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::skippedEntity(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::startDocument(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::startElement(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, const std::u16string&,
                                                   const std::u16string&, TdomNameValueList&) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::startPrefixMapping(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, std::u16string, std::u16string) {
    return refuse(processorAgent, locator);
}

TXmlErrorRecord TXmlCustomDTDHandler::xmlDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                     TdomStandardLocator* locator, std::u16string, std::u16string,
                                                     std::u16string) {
    return refuse(processorAgent, locator);
}

// ---- readers ----

void TXmlCustomReader::setNextHandler(TXmlStandardHandler* handler) {
    if (handler == nextHandler_) return;
    unwatch(nextHandler_);
    nextHandler_ = handler;
    watch(handler);
}

void TXmlCustomReader::componentDestroyed(TXmlComponent* destroyed) {
    if (destroyed == nextHandler_) nextHandler_ = nullptr;
}

void TXmlCustomReader::dispatchError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error) {
    if (!error) return;
    if (!reportAndGoOn(processorAgent, error)) {
        reportFatalError(processorAgent, error);
        error.reset();
    }
    if (nextHandler_) nextHandler_->reset();
}

bool TXmlCustomReader::reportAndGoOn(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error) {
    if (!error) return true;
    switch (error->errorType()) {
    case TXmlErrorType::fatal:
        return false;
    case TXmlErrorType::error:
        reportError(processorAgent, error);
        break;
    case TXmlErrorType::warning:
        reportWarning(processorAgent, error);
        break;
    }
    error.reset();
    return true;
}

TXmlErrorRecord TXmlCustomReader::createError(TXmlCustomProcessorAgent*, TdomStandardLocator* locator,
                                              const std::u16string& code, std::string_view errorClass) {
    return makeChainError(locator, code, errorClass);
}

void TXmlCustomReader::reportError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error) {
    if (OnError && error) OnError(processorAgent, *error);
    error.reset();
}

void TXmlCustomReader::reportFatalError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error) {
    if (OnFatalError && error) OnFatalError(processorAgent, *error);
    error.reset();
}

void TXmlCustomReader::reportWarning(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error) {
    if (OnWarning && error) OnWarning(processorAgent, *error);
    error.reset();
}
