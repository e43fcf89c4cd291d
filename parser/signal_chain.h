#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/parser_error.h"

// The interface between readers and handlers. A reader cuts text into pieces and sends one signal
// per piece to the first handler of a chain; each handler does its work and forwards the signal to
// its NextHandler. Every signal answers with an error record or with nothing, and the answer
// travels back up to the reader, which stops at the first record it gets.

class TdomStandardLocator;
class TdomNameValueList;

// An answer of the chain: an error record (owned by whoever holds the pointer) or nothing.
using TXmlErrorRecord = std::unique_ptr<TXmlParserError>;

// Base of the chain's components. A component can watch others: when a watched component is
// destroyed, every watcher hears of it through componentDestroyed, so that references to it are
// cleared instead of left dangling. Watching is mutual bookkeeping: a watcher that dies first
// unregisters itself.
class TXmlComponent {
public:
    TXmlComponent() = default;
    TXmlComponent(const TXmlComponent&) = delete;
    TXmlComponent& operator=(const TXmlComponent&) = delete;
    virtual ~TXmlComponent();

protected:
    // Starts or stops hearing of the destruction of other. Both are idempotent; nullptr is ignored.
    void watch(TXmlComponent* other);
    void unwatch(TXmlComponent* other);
    // Called while destroyed is being destroyed (its derived parts are already gone).
    virtual void componentDestroyed(TXmlComponent* destroyed);

private:
    static void eraseOnce(std::vector<TXmlComponent*>& list, TXmlComponent* item);

    std::vector<TXmlComponent*> watchers_; // who hears of my destruction
    std::vector<TXmlComponent*> watched_;  // whose destruction I hear of
};

// The identity of a parsing run; every signal and every error event carries it first.
class TXmlCustomProcessorAgent : public TXmlComponent {
public:
    ~TXmlCustomProcessorAgent() override = default;

    // Called by the document reader for every document type declaration, before the doctype
    // signal: reads the internal subset and the external subset that the declaration names down
    // the DTD chain. False makes the declaration fail. An agent without a DTD chain has nothing
    // to read and answers true; the standard agent overrides this.
    virtual bool parseDoctypeSubsets(const std::u16string& internalSubset, const std::u16string& documentPublicId,
                                     const std::u16string& documentSystemId, const std::u16string& publicId,
                                     const std::u16string& systemId);
};

using TXmlProcessorErrorEvent = std::function<void(TXmlCustomProcessorAgent* processorAgent, TXmlParserError& e)>;

// Signal events. Text parameters arrive by reference so that a callback may replace them; the
// handler works with and forwards the replaced values.
using TXmlProcessorEvent1 = std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator)>;
using TXmlProcessorEvent2 =
    std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator, std::u16string& data)>;
using TXmlProcessorEvent3 = std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string& targ, std::u16string& data)>;
using TXmlProcessorEvent4 = std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string& namespaceURI, std::u16string& tagName)>;
using TXmlProcessorEvent5 =
    std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                       std::u16string& namespaceURI, std::u16string& tagName, TdomNameValueList& attributes)>;
using TXmlProcessorEvent6 =
    std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator, std::u16string& name,
                       std::u16string& pubId, std::u16string& sysId, std::u16string& data)>;
using TXmlProcessorEvent7 = std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string& prefix, std::u16string& uri)>;
using TXmlProcessorEvent8 = std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string& version, std::u16string& encDl, std::u16string& sdDl)>;
using TXmlProcessorEvent9 = std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string& name, std::u16string& attType, std::u16string& bracket,
                                               std::u16string& defaultDecl, std::u16string& attValue)>;
using TXmlProcessorEvent10 = std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string& includeStmt, std::u16string& data)>;
using TXmlProcessorEvent11 = std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string& name, std::u16string& data)>;
using TXmlProcessorEvent12 = std::function<void(
    TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator, std::u16string& name,
    std::u16string& entityValue, std::u16string& pubId, std::u16string& sysId, std::u16string& notaName)>;
using TXmlProcessorEvent13 = std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string& name, std::u16string& pubId, std::u16string& sysId)>;
using TXmlProcessorEvent14 =
    std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator, std::u16string& name,
                       std::u16string& entityValue, std::u16string& pubId, std::u16string& sysId)>;
using TXmlProcessorEvent15 = std::function<void(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string& version, std::u16string& encDl)>;

// Makes a new record of the given error class: positions and ids from the locator (all zero and
// empty without one).
TXmlErrorRecord makeChainError(TdomStandardLocator* locator, const std::u16string& code, std::string_view errorClass);

// Abstract base of all handlers: the error events, one event per signal, and the signal slots.
class TXmlCustomHandler : public TXmlComponent {
public:
    ~TXmlCustomHandler() override = default;

    TXmlProcessorErrorEvent OnError;
    TXmlProcessorErrorEvent OnFatalError;
    TXmlProcessorErrorEvent OnWarning;

    // Content signal events.
    TXmlProcessorEvent2 OnCDATA;
    TXmlProcessorEvent2 OnCharRef;
    TXmlProcessorEvent2 OnComment;
    TXmlProcessorEvent6 OnDoctype;
    TXmlProcessorEvent1 OnEndDocument;
    TXmlProcessorEvent4 OnEndElement;
    TXmlProcessorEvent2 OnEndPrefixMapping;
    TXmlProcessorEvent2 OnEntityRef;
    TXmlProcessorEvent2 OnPCDATA;
    TXmlProcessorEvent3 OnProcessingInstruction;
    TXmlProcessorEvent2 OnSkippedEntity;
    TXmlProcessorEvent2 OnStartDocument;
    TXmlProcessorEvent5 OnStartElement;
    TXmlProcessorEvent7 OnStartPrefixMapping;
    TXmlProcessorEvent8 OnXmlDeclaration;
    // DTD signal events.
    TXmlProcessorEvent9 OnAttributeDefinition;
    TXmlProcessorEvent10 OnConditionalSection;
    TXmlProcessorEvent2 OnDtdComment;
    TXmlProcessorEvent3 OnDtdProcessingInstruction;
    TXmlProcessorEvent11 OnElementTypeDeclaration;
    TXmlProcessorEvent1 OnEndAttListDeclaration;
    TXmlProcessorEvent1 OnEndExtDtd;
    TXmlProcessorEvent1 OnEndIntDtd;
    TXmlProcessorEvent12 OnEntityDeclaration;
    TXmlProcessorEvent13 OnNotationDeclaration;
    TXmlProcessorEvent14 OnParameterEntityDeclaration;
    TXmlProcessorEvent2 OnParameterEntityRef;
    TXmlProcessorEvent2 OnStartAttListDeclaration;
    TXmlProcessorEvent1 OnStartExtDtd;
    TXmlProcessorEvent1 OnStartIntDtd;
    TXmlProcessorEvent15 OnTextDeclaration;

    // Reports a record by its severity: fatal on OnFatalError (the record stays), error on OnError
    // and warning on OnWarning (the record is destroyed and the variable cleared).
    virtual void dispatchError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error);
    virtual void reportError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error);
    virtual void reportFatalError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error);
    virtual void reportWarning(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error);

    // Content signals. Text pieces are handed over: a handler may change them, move them into
    // what it builds, or pass them on to its next handler; the sender does not read them again.
    // Element names and attributes stay the sender's and are only lent.
    virtual TXmlErrorRecord CDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                  std::u16string&& data) = 0;
    virtual TXmlErrorRecord charRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                    std::u16string&& data) = 0;
    virtual TXmlErrorRecord comment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                    std::u16string&& data) = 0;
    virtual TXmlErrorRecord doctype(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                    std::u16string&& name, std::u16string&& pubId, std::u16string&& sysId,
                                    std::u16string&& data) = 0;
    virtual TXmlErrorRecord endDocument(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) = 0;
    virtual TXmlErrorRecord endElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                       const std::u16string& namespaceURI, const std::u16string& tagName) = 0;
    virtual TXmlErrorRecord endPrefixMapping(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                             std::u16string&& data) = 0;
    virtual TXmlErrorRecord entityRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                      std::u16string&& data) = 0;
    virtual TXmlErrorRecord PCDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                   std::u16string&& data) = 0;
    virtual TXmlErrorRecord processingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, std::u16string&& targ,
                                                  std::u16string&& data) = 0;
    virtual TXmlErrorRecord skippedEntity(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                          std::u16string&& data) = 0;
    virtual TXmlErrorRecord startDocument(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                          std::u16string&& data) = 0;
    virtual TXmlErrorRecord startElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                         const std::u16string& namespaceURI, const std::u16string& tagName,
                                         TdomNameValueList& attributes) = 0;
    virtual TXmlErrorRecord startPrefixMapping(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string&& prefix, std::u16string&& uri) = 0;
    virtual TXmlErrorRecord xmlDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                           std::u16string&& version, std::u16string&& encDl, std::u16string&& sdDl) = 0;

    // DTD signals.
    virtual TXmlErrorRecord attributeDefinition(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string&& name, std::u16string&& attType,
                                                std::u16string&& bracket, std::u16string&& defaultDecl,
                                                std::u16string&& attValue) = 0;
    virtual TXmlErrorRecord conditionalSection(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string&& includeStmt, std::u16string&& data) = 0;
    virtual TXmlErrorRecord dtdComment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                       std::u16string&& data) = 0;
    virtual TXmlErrorRecord dtdProcessingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                     TdomStandardLocator* locator, std::u16string&& targ,
                                                     std::u16string&& data) = 0;
    virtual TXmlErrorRecord elementTypeDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string&& name,
                                                   std::u16string&& data) = 0;
    virtual TXmlErrorRecord endAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator) = 0;
    virtual TXmlErrorRecord endExtDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) = 0;
    virtual TXmlErrorRecord endIntDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) = 0;
    virtual TXmlErrorRecord entityDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                              std::u16string&& name, std::u16string&& entityValue,
                                              std::u16string&& pubId, std::u16string&& sysId,
                                              std::u16string&& notaName) = 0;
    virtual TXmlErrorRecord notationDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                std::u16string&& name, std::u16string&& pubId,
                                                std::u16string&& sysId) = 0;
    virtual TXmlErrorRecord parameterEntityDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                       TdomStandardLocator* locator, std::u16string&& name,
                                                       std::u16string&& entityValue, std::u16string&& pubId,
                                                       std::u16string&& sysId) = 0;
    virtual TXmlErrorRecord parameterEntityRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               std::u16string&& data) = 0;
    virtual TXmlErrorRecord startAttListDeclaration(TXmlCustomProcessorAgent* processorAgent,
                                                    TdomStandardLocator* locator, std::u16string&& data) = 0;
    virtual TXmlErrorRecord startExtDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) = 0;
    virtual TXmlErrorRecord startIntDtd(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) = 0;
    virtual TXmlErrorRecord textDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                            std::u16string&& version, std::u16string&& encDl) = 0;

    // A query of the DTD reader for a parameter entity's replacement text.
    virtual TXmlErrorRecord findParameterEntity(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                bool& found, std::u16string& replacementText,
                                                const std::u16string& name) = 0;
    // Returns the handler to its idle state and passes the reset on.
    virtual void reset() = 0;

protected:
    // Fire OnStartElement or OnEndElement, which may replace the namespace URI and the tag name, and
    // then answer go(namespaceURI, tagName) with the names to carry on with: the event's copies when
    // the event is bound, else the signal's own strings, so that a chain without events copies none.
    template <class Go>
    TXmlErrorRecord afterStartElementEvent(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                           const std::u16string& namespaceURI, const std::u16string& tagName,
                                           TdomNameValueList& attributes, Go go) {
        if (!OnStartElement) return go(namespaceURI, tagName);
        std::u16string eventNamespace = namespaceURI, eventName = tagName;
        OnStartElement(processorAgent, locator, eventNamespace, eventName, attributes);
        return go(eventNamespace, eventName);
    }
    template <class Go>
    TXmlErrorRecord afterEndElementEvent(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                         const std::u16string& namespaceURI, const std::u16string& tagName, Go go) {
        if (!OnEndElement) return go(namespaceURI, tagName);
        std::u16string eventNamespace = namespaceURI, eventName = tagName;
        OnEndElement(processorAgent, locator, eventNamespace, eventName);
        return go(eventNamespace, eventName);
    }
};

// A handler that fires each signal's event, forwards the signal to NextHandler and passes the
// answer through dispatchError: errors and warnings stop here, fatal records travel on. A handler
// derived from it overrides only the signals it works on; each of its overrides fires the event,
// does its work and hands the signal on with forward. A handler may also refuse one half of the
// signals (content or DTD): those answer an internal-error record without firing their event.
class TXmlStandardHandler : public TXmlCustomHandler {
public:
    TXmlStandardHandler() = default;
    ~TXmlStandardHandler() override = default;

    TXmlCustomHandler* NextHandler() const { return nextHandler_; }
    void setNextHandler(TXmlCustomHandler* handler);

    TXmlErrorRecord CDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                          std::u16string&& data) override;
    TXmlErrorRecord charRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            std::u16string&& data) override;
    TXmlErrorRecord comment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            std::u16string&& data) override;
    TXmlErrorRecord doctype(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            std::u16string&& name, std::u16string&& pubId, std::u16string&& sysId,
                            std::u16string&& data) override;
    TXmlErrorRecord endDocument(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) override;
    TXmlErrorRecord endElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                               const std::u16string& namespaceURI, const std::u16string& tagName) override;
    TXmlErrorRecord endPrefixMapping(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                     std::u16string&& data) override;
    TXmlErrorRecord entityRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                              std::u16string&& data) override;
    TXmlErrorRecord PCDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                           std::u16string&& data) override;
    TXmlErrorRecord processingInstruction(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                          std::u16string&& targ, std::u16string&& data) override;
    TXmlErrorRecord skippedEntity(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                  std::u16string&& data) override;
    TXmlErrorRecord startDocument(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                  std::u16string&& data) override;
    TXmlErrorRecord startElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                 const std::u16string& namespaceURI, const std::u16string& tagName,
                                 TdomNameValueList& attributes) override;
    TXmlErrorRecord startPrefixMapping(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                       std::u16string&& prefix, std::u16string&& uri) override;
    TXmlErrorRecord xmlDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                   std::u16string&& version, std::u16string&& encDl, std::u16string&& sdDl) override;

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

    TXmlErrorRecord findParameterEntity(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        bool& found, std::u16string& replacementText,
                                        const std::u16string& name) override;
    void reset() override;

    // A new record of errorClass (a class name of the parser exception tree) for code.
    virtual TXmlErrorRecord createError(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        const std::u16string& code, std::string_view errorClass);

protected:
    // The two halves of the signals.
    enum class TXmlSignalHalf { content, dtd };

    explicit TXmlStandardHandler(TXmlSignalHalf refused) : refused_(refused) {}

    // The internal-error record that answers a refused signal.
    TXmlErrorRecord refuse(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator);

    // Sends signal with its pieces on to NextHandler and answers its record; nothing without one.
    template <class... Params, class... Pieces>
    TXmlErrorRecord
    forward(TXmlErrorRecord (TXmlCustomHandler::*signal)(TXmlCustomProcessorAgent*, TdomStandardLocator*, Params...),
            TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator, Pieces&&... pieces) {
        if (!nextHandler_) return nullptr;
        return (nextHandler_->*signal)(processorAgent, locator, std::forward<Pieces>(pieces)...);
    }

    // What every signal does that its handler does not override: refused when its half is, else
    // its event fires with the pieces (which the event may replace), the pieces go on to
    // NextHandler, and the answer passes through dispatchError.
    template <class Signal, class Event, class... Pieces>
    TXmlErrorRecord relay(TXmlSignalHalf half, Signal signal, const Event& event,
                          TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator, Pieces&&... pieces) {
        if (refused_ == half) return refuse(processorAgent, locator);
        if (event) event(processorAgent, locator, pieces...);
        return forwardAndDispatch(signal, processorAgent, locator, std::forward<Pieces>(pieces)...);
    }

    void componentDestroyed(TXmlComponent* destroyed) override;

private:
    template <class Signal, class... Pieces>
    TXmlErrorRecord forwardAndDispatch(Signal signal, TXmlCustomProcessorAgent* processorAgent,
                                       TdomStandardLocator* locator, Pieces&&... pieces) {
        TXmlErrorRecord answer = forward(signal, processorAgent, locator, std::forward<Pieces>(pieces)...);
        dispatchError(processorAgent, answer);
        return answer;
    }

    TXmlCustomHandler* nextHandler_ = nullptr;
    std::optional<TXmlSignalHalf> refused_;
};

// A handler of content signals: it refuses every DTD signal with an internal-error record.
class TXmlCustomContentHandler : public TXmlStandardHandler {
public:
    TXmlCustomContentHandler() : TXmlStandardHandler(TXmlSignalHalf::dtd) {}
};

// A handler of DTD signals: it refuses every content signal with an internal-error record.
class TXmlCustomDTDHandler : public TXmlStandardHandler {
public:
    TXmlCustomDTDHandler() : TXmlStandardHandler(TXmlSignalHalf::content) {}
};

// Abstract base of readers: the first handler of the chain and the reporting of the record that
// ends a run.
class TXmlCustomReader : public TXmlComponent {
public:
    ~TXmlCustomReader() override = default;

    TXmlStandardHandler* NextHandler() const { return nextHandler_; }
    void setNextHandler(TXmlStandardHandler* handler);

    TXmlProcessorErrorEvent OnError;
    TXmlProcessorErrorEvent OnFatalError;
    TXmlProcessorErrorEvent OnWarning;

    // Reports the record on the event of its severity, destroys it and resets the chain.
    virtual void dispatchError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error);
    // A record of error or warning severity is reported on its event and destroyed, and the chain
    // is left as it is, so that reading goes on; a fatal record stays. True when the record was
    // reported this way (or there was none).
    bool reportAndGoOn(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error);
    virtual TXmlErrorRecord createError(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        const std::u16string& code, std::string_view errorClass);
    virtual void reportError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error);
    virtual void reportFatalError(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error);
    virtual void reportWarning(TXmlCustomProcessorAgent* processorAgent, TXmlErrorRecord& error);

protected:
    void componentDestroyed(TXmlComponent* destroyed) override;

private:
    TXmlStandardHandler* nextHandler_ = nullptr;
};
