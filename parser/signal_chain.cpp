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
                                           std::u16string&& data) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::CDATA, OnCDATA, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::charRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                             std::u16string&& data) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::charRef, OnCharRef, processorAgent, locator,
                 std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::comment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                             std::u16string&& data) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::comment, OnComment, processorAgent, locator,
                 std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::doctype(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                             std::u16string&& name, std::u16string&& pubId, std::u16string&& sysId,
                                             std::u16string&& data) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::doctype, OnDoctype, processorAgent, locator,
                 std::move(name), std::move(pubId), std::move(sysId), std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::endDocument(TXmlCustomProcessorAgent* processorAgent,
                                                 TdomStandardLocator* locator) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::endDocument, OnEndDocument, processorAgent, locator);
}

TXmlErrorRecord TXmlStandardHandler::endElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                const std::u16string& namespaceURI, const std::u16string& tagName) {
    if (refused_ == TXmlSignalHalf::content) return refuse(processorAgent, locator);
    return afterEndElementEvent(
        processorAgent, locator, namespaceURI, tagName, [&](const std::u16string& uri, const std::u16string& name) {
            return forwardAndDispatch(&TXmlCustomHandler::endElement, processorAgent, locator, uri, name);
        });
}

TXmlErrorRecord TXmlStandardHandler::endPrefixMapping(TXmlCustomProcessorAgent* processorAgent,
                                                      TdomStandardLocator* locator, std::u16string&& data) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::endPrefixMapping, OnEndPrefixMapping, processorAgent,
                 locator, std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::entityRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string&& data) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::entityRef, OnEntityRef, processorAgent, locator,
                 std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::PCDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                            std::u16string&& data) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::PCDATA, OnPCDATA, processorAgent, locator,
                 std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::processingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                           TdomStandardLocator* locator, std::u16string&& targ,
                                                           std::u16string&& data) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::processingInstruction, OnProcessingInstruction,
                 processorAgent, locator, std::move(targ), std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::skippedEntity(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string&& data) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::skippedEntity, OnSkippedEntity, processorAgent, locator,
                 std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::startDocument(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string&& data) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::startDocument, OnStartDocument, processorAgent, locator,
                 std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::startElement(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, const std::u16string& namespaceURI,
                                                  const std::u16string& tagName, TdomNameValueList& attributes) {
    if (refused_ == TXmlSignalHalf::content) return refuse(processorAgent, locator);
    return afterStartElementEvent(processorAgent, locator, namespaceURI, tagName, attributes,
                                  [&](const std::u16string& uri, const std::u16string& name) {
                                      return forwardAndDispatch(&TXmlCustomHandler::startElement, processorAgent,
                                                                locator, uri, name, attributes);
                                  });
}

TXmlErrorRecord TXmlStandardHandler::startPrefixMapping(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string&& prefix,
                                                        std::u16string&& uri) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::startPrefixMapping, OnStartPrefixMapping, processorAgent,
                 locator, std::move(prefix), std::move(uri));
}

TXmlErrorRecord TXmlStandardHandler::xmlDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, std::u16string&& version,
                                                    std::u16string&& encDl, std::u16string&& sdDl) {
    return relay(TXmlSignalHalf::content, &TXmlCustomHandler::xmlDeclaration, OnXmlDeclaration, processorAgent, locator,
                 std::move(version), std::move(encDl), std::move(sdDl));
}

TXmlErrorRecord TXmlStandardHandler::attributeDefinition(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, std::u16string&& name,
                                                         std::u16string&& attType, std::u16string&& bracket,
                                                         std::u16string&& defaultDecl, std::u16string&& attValue) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::attributeDefinition, OnAttributeDefinition, processorAgent,
                 locator, std::move(name), std::move(attType), std::move(bracket), std::move(defaultDecl),
                 std::move(attValue));
}

TXmlErrorRecord TXmlStandardHandler::conditionalSection(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string&& includeStmt,
                                                        std::u16string&& data) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::conditionalSection, OnConditionalSection, processorAgent,
                 locator, std::move(includeStmt), std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::dtdComment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string&& data) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::dtdComment, OnDtdComment, processorAgent, locator,
                 std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::dtdProcessingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                              TdomStandardLocator* locator, std::u16string&& targ,
                                                              std::u16string&& data) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::dtdProcessingInstruction, OnDtdProcessingInstruction,
                 processorAgent, locator, std::move(targ), std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::elementTypeDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                            TdomStandardLocator* locator, std::u16string&& name,
                                                            std::u16string&& data) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::elementTypeDeclaration, OnElementTypeDeclaration,
                 processorAgent, locator, std::move(name), std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::endAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                           TdomStandardLocator* locator) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::endAttListDeclaration, OnEndAttListDeclaration,
                 processorAgent, locator);
}

TXmlErrorRecord TXmlStandardHandler::endExtDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::endExtDtd, OnEndExtDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlStandardHandler::endIntDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::endIntDtd, OnEndIntDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlStandardHandler::entityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                       TdomStandardLocator* locator, std::u16string&& name,
                                                       std::u16string&& entityValue, std::u16string&& pubId,
                                                       std::u16string&& sysId, std::u16string&& notaName) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::entityDeclaration, OnEntityDeclaration, processorAgent,
                 locator, std::move(name), std::move(entityValue), std::move(pubId), std::move(sysId),
                 std::move(notaName));
}

TXmlErrorRecord TXmlStandardHandler::notationDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                         TdomStandardLocator* locator, std::u16string&& name,
                                                         std::u16string&& pubId, std::u16string&& sysId) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::notationDeclaration, OnNotationDeclaration, processorAgent,
                 locator, std::move(name), std::move(pubId), std::move(sysId));
}

TXmlErrorRecord TXmlStandardHandler::parameterEntityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                                TdomStandardLocator* locator, std::u16string&& name,
                                                                std::u16string&& entityValue, std::u16string&& pubId,
                                                                std::u16string&& sysId) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::parameterEntityDeclaration, OnParameterEntityDeclaration,
                 processorAgent, locator, std::move(name), std::move(entityValue), std::move(pubId), std::move(sysId));
}

TXmlErrorRecord TXmlStandardHandler::parameterEntityRef(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string&& data) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::parameterEntityRef, OnParameterEntityRef, processorAgent,
                 locator, std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::startAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                             TdomStandardLocator* locator, std::u16string&& data) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::startAttListDeclaration, OnStartAttListDeclaration,
                 processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlStandardHandler::startExtDtd(TXmlCustomProcessorAgent* processorAgent,
                                                 TdomStandardLocator* locator) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::startExtDtd, OnStartExtDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlStandardHandler::startIntDtd(TXmlCustomProcessorAgent* processorAgent,
                                                 TdomStandardLocator* locator) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::startIntDtd, OnStartIntDtd, processorAgent, locator);
}

TXmlErrorRecord TXmlStandardHandler::textDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                     TdomStandardLocator* locator, std::u16string&& version,
                                                     std::u16string&& encDl) {
    return relay(TXmlSignalHalf::dtd, &TXmlCustomHandler::textDeclaration, OnTextDeclaration, processorAgent, locator,
                 std::move(version), std::move(encDl));
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

TXmlErrorRecord TXmlStandardHandler::createError(TXmlCustomProcessorAgent*, TdomStandardLocator* locator,
                                                 const std::u16string& code, std::string_view errorClass) {
    return makeChainError(locator, code, errorClass);
}

TXmlErrorRecord TXmlStandardHandler::refuse(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) {
    return createError(processorAgent, locator, std::u16string(), EInternalParserException::kClassName);
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
