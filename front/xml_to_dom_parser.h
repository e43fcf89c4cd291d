#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "front/processor_agent.h"
#include "parser/signal_chain.h"

class TDomImplementation;
class TdomCMNode;
class TdomDocument;
class TdomNode;
class TStream;
class TXmlDocBuilder;
class TXmlDtdBuilder;
struct TXmlNestedSubsetRead;
struct TXmlExpansionBudget;
class TXmlParserError;
class TXmlSourceCode;
class TXmlStandardDocReader;
class TXmlStandardDtdReader;
class TXmlWFTestContentHandler;
class TXmlWFTestDTDHandler;

class TXmlToDomParser;

// An error record ended a run. The record belongs to the parser: read it, do not keep it.
using TXmlToDomParserErrorEvent = std::function<void(TXmlToDomParser* xmlToDomParser, TXmlParserError& e)>;

// The one object that turns XML text into DOM documents. It owns a processor agent and two signal
// chains, wired once:
//   document reader -> content well-formedness test -> document builder
//   DTD reader      -> DTD well-formedness test     -> DTD builder
// The record that ends a run is reported once, through OnFatalError, OnError or OnWarning by its
// severity; the document built so far is returned all the same. A record of error severity that
// leaves the input readable (an unusable encoding declaration) is reported the same way and the
// run goes on. Both chains are reset before every
// run, so a run that an exception ended leaves nothing behind for the next.
class TXmlToDomParser : public TXmlComponent {
public:
    TXmlToDomParser();
    ~TXmlToDomParser() override;

    // Factory and owner of the documents built here; not owned, cleared when it is destroyed.
    TDomImplementation* DOMImpl() const { return domImpl_; }
    // Also installs parseFragment as the implementation's fragment parser when it has none.
    void setDOMImpl(TDomImplementation* implementation);

    // Parses text into node with a parser front of its own (an implementation's fragment parser).
    static bool parseFragment(const std::u16string& text, TdomNode* node);
    // Reads a DTD builder's nested text with a parser front of its own (a builder's nested reader).
    static bool readNestedSubset(const TXmlNestedSubsetRead& read);

    // Asked for the external DTD subset that a document names (see TXmlParserEvent). Copied into
    // the agent by every document operation.
    TXmlParserEvent OnExternalSubset;
    TXmlToDomParserErrorEvent OnError;
    TXmlToDomParserErrorEvent OnFatalError;
    TXmlToDomParserErrorEvent OnWarning;

    // The readers' error events: each calls the event of the same severity with this parser.
    void relayError(TXmlCustomProcessorAgent* processorAgent, TXmlParserError& e);
    void relayFatalError(TXmlCustomProcessorAgent* processorAgent, TXmlParserError& e);
    void relayWarning(TXmlCustomProcessorAgent* processorAgent, TXmlParserError& e);

    // Parse into referenceNode (the builder appends below it; the content test works in document
    // mode exactly when it is a document). True when the run ended without an error record.
    bool memoryToNode(const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                      const std::u16string& systemId, TdomNode* referenceNode);
    bool sourceCodeToNode(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                          const std::u16string& systemId, TdomNode* referenceNode);
    bool streamToNode(TStream* stream, const std::u16string& publicId, const std::u16string& systemId,
                      TdomNode* referenceNode);
    bool stringToNode(const std::string& text, const std::u16string& publicId, const std::u16string& systemId,
                      TdomNode* referenceNode);
    bool wideStringToNode(const std::u16string& text, const std::u16string& publicId, const std::u16string& systemId,
                          TdomNode* referenceNode);

    // Read a DTD subset into a subset object, which must be a TdomCMExternalObject (a
    // TdomCMInternalObject for the internal-subset operations); anything else raises EInvalidCast.
    bool memoryToExternalSubset(const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                                const std::u16string& systemId, TdomCMNode* subset);
    bool sourceCodeToExternalSubset(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                    const std::u16string& systemId, TdomCMNode* subset);
    bool streamToExternalSubset(TStream* stream, const std::u16string& publicId, const std::u16string& systemId,
                                TdomCMNode* subset);
    bool stringToExternalSubset(const std::string& text, const std::u16string& publicId, const std::u16string& systemId,
                                TdomCMNode* subset);
    bool wideStringToExternalSubset(const std::u16string& text, const std::u16string& publicId,
                                    const std::u16string& systemId, TdomCMNode* subset);
    bool memoryToInternalSubset(const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                                const std::u16string& systemId, TdomCMNode* subset);
    bool sourceCodeToInternalSubset(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                    const std::u16string& systemId, TdomCMNode* subset);
    bool streamToInternalSubset(TStream* stream, const std::u16string& publicId, const std::u16string& systemId,
                                TdomCMNode* subset);
    bool stringToInternalSubset(const std::string& text, const std::u16string& publicId, const std::u16string& systemId,
                                TdomCMNode* subset);
    bool wideStringToInternalSubset(const std::u16string& text, const std::u16string& publicId,
                                    const std::u16string& systemId, TdomCMNode* subset);

    // A new document of DOMImpl with its content model and both subset objects, built from the
    // input. Raises EAccessViolation without DOMImpl or input ("DOMImplementation not specified.",
    // "Filename not specified.", "pointer not specified.", "TXmlSourceCode not specified.",
    // "Stream not specified.", "Empty string."). When an exception leaves the run, what was
    // created for it is handed back to DOMImpl and the exception passes on.
    // fileName is the file system's bytes (UTF-8); it is also the document's system id.
    TdomDocument* fileToDocument(const std::string& fileName);
    TdomDocument* memoryToDocument(const void* pointer, std::size_t byteCount);
    TdomDocument* sourceCodeToDocument(const TXmlSourceCode* sourceCode);
    TdomDocument* streamToDocument(TStream* stream);
    TdomDocument* stringToDocument(const std::string& text);
    TdomDocument* wideStringToDocument(const std::u16string& text);

    // Makes the runs of this front charge their parameter-entity expansions to budget, which is
    // then not renewed here: a nested read shares the budget of the run that started it. By default
    // the front keeps a budget of its own, shared by its DTD reader and DTD builder and renewed at
    // the start of every operation, so that each run, both subsets and all nested reads included,
    // expands at most kMaxExpansionTotal code units.
    void shareExpansionBudget(std::shared_ptr<TXmlExpansionBudget> budget);

    // The owned parts, for inspection and for setting their own events.
    TXmlStandardProcessorAgent* processorAgent() const { return agent_.get(); }
    TXmlStandardDocReader* docReader() const { return docReader_.get(); }
    TXmlWFTestContentHandler* wfTestContentHandler() const { return wfTestContent_.get(); }
    TXmlDocBuilder* docBuilder() const { return docBuilder_.get(); }
    TXmlStandardDtdReader* dtdReader() const { return dtdReader_.get(); }
    TXmlWFTestDTDHandler* wfTestDtdHandler() const { return wfTestDtd_.get(); }
    TXmlDtdBuilder* dtdBuilder() const { return dtdBuilder_.get(); }

private:
    // Runs a document operation: creates the document with its content model and subsets, points
    // the builders at them, runs parse, and cleans up after an exception.
    TdomDocument* buildDocument(const std::function<void()>& parse);
    // Prepares a node or subset run.
    void prepareNodeRun(TdomNode* referenceNode);
    void prepareSubsetRun(TdomCMNode* subset, bool external);
    void resetChains();
    // Starts an operation: resets both chains and renews a budget of the front's own.
    void beginRun();
    // Clears the builder's reference node and both DTD builder targets.
    void releaseTargets();

    TDomImplementation* domImpl_ = nullptr;
    std::shared_ptr<TXmlExpansionBudget> budget_;
    bool sharedBudget_ = false;
    // Owned parts, in the order they are created (and destroyed in reverse).
    std::unique_ptr<TXmlStandardProcessorAgent> agent_;
    std::unique_ptr<TXmlStandardDocReader> docReader_;
    std::unique_ptr<TXmlWFTestContentHandler> wfTestContent_;
    std::unique_ptr<TXmlDocBuilder> docBuilder_;
    std::unique_ptr<TXmlStandardDtdReader> dtdReader_;
    std::unique_ptr<TXmlWFTestDTDHandler> wfTestDtd_;
    std::unique_ptr<TXmlDtdBuilder> dtdBuilder_;
};
