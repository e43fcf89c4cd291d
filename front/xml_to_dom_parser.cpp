#include "front/xml_to_dom_parser.h"

#include "dom/cm_object.h"
#include "dom/document.h"
#include "dom/implementation.h"
#include "dtd/dtd_builder.h"
#include "dtd/dtd_reader.h"
#include "dtd/wf_test_dtd_handler.h"
#include "parser/doc_builder.h"
#include "parser/doc_reader.h"
#include "parser/source_code.h"
#include "parser/wf_test_content_handler.h"
#include "text/exception.h"
#include "text/parser_error.h"
#include "text/utf8.h"

namespace {

[[noreturn]] void missing(const char* message) { throw EAccessViolation(message); }

[[noreturn]] void invalidCast() { throw EInvalidCast("Invalid class typecast."); }

} // namespace

TXmlToDomParser::TXmlToDomParser()
    : agent_(std::make_unique<TXmlStandardProcessorAgent>()), docReader_(std::make_unique<TXmlStandardDocReader>()),
      wfTestContent_(std::make_unique<TXmlWFTestContentHandler>()), docBuilder_(std::make_unique<TXmlDocBuilder>()),
      dtdReader_(std::make_unique<TXmlStandardDtdReader>()), wfTestDtd_(std::make_unique<TXmlWFTestDTDHandler>()),
      dtdBuilder_(std::make_unique<TXmlDtdBuilder>()) {
    agent_->setDocReader(docReader_.get());
    agent_->setDtdReader(dtdReader_.get());

    docReader_->setNextHandler(wfTestContent_.get());
    wfTestContent_->setNextHandler(docBuilder_.get());
    dtdReader_->setNextHandler(wfTestDtd_.get());
    wfTestDtd_->setNextHandler(dtdBuilder_.get());

    for (TXmlCustomReader* reader :
         {static_cast<TXmlCustomReader*>(docReader_.get()), static_cast<TXmlCustomReader*>(dtdReader_.get())}) {
        reader->OnError = [this](TXmlCustomProcessorAgent* agent, TXmlParserError& e) { relayError(agent, e); };
        reader->OnFatalError = [this](TXmlCustomProcessorAgent* agent, TXmlParserError& e) {
            relayFatalError(agent, e);
        };
        reader->OnWarning = [this](TXmlCustomProcessorAgent* agent, TXmlParserError& e) { relayWarning(agent, e); };
    }
    wfTestContent_->setDocumentMode(true);
    dtdBuilder_->setNestedReader(&TXmlToDomParser::readNestedSubset);
    shareExpansionBudget(nullptr);
}

TXmlToDomParser::~TXmlToDomParser() { setDOMImpl(nullptr); }

void TXmlToDomParser::setDOMImpl(TDomImplementation* implementation) {
    if (implementation == domImpl_) return;
    if (domImpl_) domImpl_->removeDestructionListener(this);
    domImpl_ = implementation;
    if (!domImpl_) return;
    domImpl_->addDestructionListener(this, [this] { domImpl_ = nullptr; });
    if (!domImpl_->fragmentParser) domImpl_->fragmentParser = &TXmlToDomParser::parseFragment;
}

bool TXmlToDomParser::parseFragment(const std::u16string& text, TdomNode* node) {
    TXmlToDomParser parser;
    return parser.wideStringToNode(text, u"", u"", node);
}

bool TXmlToDomParser::readNestedSubset(const TXmlNestedSubsetRead& read) {
    TXmlToDomParser nested;
    if (read.implementation) nested.setDOMImpl(read.implementation);
    nested.shareExpansionBudget(read.budget);
    read.prepare(*nested.dtdBuilder());
    auto tell = [&read](TXmlToDomParser*, TXmlParserError& e) { read.onRecord(e.code()); };
    nested.OnFatalError = tell;
    nested.OnError = tell;
    nested.OnWarning = tell;
    if (read.consume) {
        nested.prepareSubsetRun(read.external ? static_cast<TdomCMNode*>(read.externalTarget) : read.internalTarget,
                                read.external);
        return nested.agent_->parseDtdWideStringConsuming(read.external, std::move(read.text), read.publicId,
                                                          read.systemId);
    }
    if (read.external)
        return nested.wideStringToExternalSubset(read.text, read.publicId, read.systemId, read.externalTarget);
    return nested.wideStringToInternalSubset(read.text, read.publicId, read.systemId, read.internalTarget);
}

// ---- relays ----

void TXmlToDomParser::relayError(TXmlCustomProcessorAgent*, TXmlParserError& e) {
    if (OnError) OnError(this, e);
}

void TXmlToDomParser::relayFatalError(TXmlCustomProcessorAgent*, TXmlParserError& e) {
    if (OnFatalError) OnFatalError(this, e);
}

void TXmlToDomParser::relayWarning(TXmlCustomProcessorAgent*, TXmlParserError& e) {
    if (OnWarning) OnWarning(this, e);
}

void TXmlToDomParser::releaseTargets() {
    // A DTD builder that is still active refuses new targets; a finished run has left it idle, and
    // reset makes sure of it.
    if (dtdBuilder_->externalActive() || dtdBuilder_->internalActive()) dtdBuilder_->reset();
    docBuilder_->setReferenceNode(nullptr);
    dtdBuilder_->setExternalTarget(nullptr);
    dtdBuilder_->setInternalTarget(nullptr);
}

void TXmlToDomParser::resetChains() {
    if (TXmlStandardHandler* first = docReader_->NextHandler()) first->reset();
    if (TXmlStandardHandler* first = dtdReader_->NextHandler()) first->reset();
}

void TXmlToDomParser::shareExpansionBudget(std::shared_ptr<TXmlExpansionBudget> budget) {
    sharedBudget_ = budget != nullptr;
    budget_ = budget ? std::move(budget) : std::make_shared<TXmlExpansionBudget>();
    dtdReader_->setExpansionBudget(budget_);
    dtdBuilder_->setExpansionBudget(budget_);
}

void TXmlToDomParser::beginRun() {
    resetChains();
    if (!sharedBudget_) budget_->total = 0;
}

// ---- node operations ----

void TXmlToDomParser::prepareNodeRun(TdomNode* referenceNode) {
    docBuilder_->setReferenceNode(referenceNode);
    wfTestContent_->setDocumentMode(referenceNode && referenceNode->nodeType() == TdomNodeType::document);
    beginRun();
}

bool TXmlToDomParser::memoryToNode(const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                                   const std::u16string& systemId, TdomNode* referenceNode) {
    prepareNodeRun(referenceNode);
    return agent_->parseMemory(pointer, byteCount, publicId, systemId);
}

bool TXmlToDomParser::sourceCodeToNode(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                       const std::u16string& systemId, TdomNode* referenceNode) {
    prepareNodeRun(referenceNode);
    return agent_->parseSourceCode(sourceCode, publicId, systemId);
}

bool TXmlToDomParser::streamToNode(TStream* stream, const std::u16string& publicId, const std::u16string& systemId,
                                   TdomNode* referenceNode) {
    prepareNodeRun(referenceNode);
    return agent_->parseStream(stream, publicId, systemId);
}

bool TXmlToDomParser::stringToNode(const std::string& text, const std::u16string& publicId,
                                   const std::u16string& systemId, TdomNode* referenceNode) {
    prepareNodeRun(referenceNode);
    return agent_->parseString(text, publicId, systemId);
}

bool TXmlToDomParser::wideStringToNode(const std::u16string& text, const std::u16string& publicId,
                                       const std::u16string& systemId, TdomNode* referenceNode) {
    prepareNodeRun(referenceNode);
    return agent_->parseWideString(text, publicId, systemId);
}

// ---- subset operations ----

void TXmlToDomParser::prepareSubsetRun(TdomCMNode* subset, bool external) {
    beginRun();
    if (external) {
        if (!subset || subset->nodeType() != TdomCMNodeType::externalObject) invalidCast();
        dtdBuilder_->setExternalTarget(static_cast<TdomCMExternalObject*>(subset));
    } else {
        if (!subset || subset->nodeType() != TdomCMNodeType::internalObject) invalidCast();
        dtdBuilder_->setInternalTarget(static_cast<TdomCMInternalObject*>(subset));
    }
}

bool TXmlToDomParser::memoryToExternalSubset(const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                                             const std::u16string& systemId, TdomCMNode* subset) {
    prepareSubsetRun(subset, true);
    return agent_->parseExtDtdMemory(pointer, byteCount, publicId, systemId);
}

bool TXmlToDomParser::sourceCodeToExternalSubset(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                                 const std::u16string& systemId, TdomCMNode* subset) {
    prepareSubsetRun(subset, true);
    return agent_->parseExtDtdSourceCode(sourceCode, publicId, systemId);
}

bool TXmlToDomParser::streamToExternalSubset(TStream* stream, const std::u16string& publicId,
                                             const std::u16string& systemId, TdomCMNode* subset) {
    prepareSubsetRun(subset, true);
    return agent_->parseExtDtdStream(stream, publicId, systemId);
}

bool TXmlToDomParser::stringToExternalSubset(const std::string& text, const std::u16string& publicId,
                                             const std::u16string& systemId, TdomCMNode* subset) {
    prepareSubsetRun(subset, true);
    return agent_->parseExtDtdString(text, publicId, systemId);
}

bool TXmlToDomParser::wideStringToExternalSubset(const std::u16string& text, const std::u16string& publicId,
                                                 const std::u16string& systemId, TdomCMNode* subset) {
    prepareSubsetRun(subset, true);
    return agent_->parseExtDtdWideString(text, publicId, systemId);
}

bool TXmlToDomParser::memoryToInternalSubset(const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                                             const std::u16string& systemId, TdomCMNode* subset) {
    prepareSubsetRun(subset, false);
    return agent_->parseIntDtdMemory(pointer, byteCount, publicId, systemId);
}

bool TXmlToDomParser::sourceCodeToInternalSubset(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                                 const std::u16string& systemId, TdomCMNode* subset) {
    prepareSubsetRun(subset, false);
    return agent_->parseIntDtdSourceCode(sourceCode, publicId, systemId);
}

bool TXmlToDomParser::streamToInternalSubset(TStream* stream, const std::u16string& publicId,
                                             const std::u16string& systemId, TdomCMNode* subset) {
    prepareSubsetRun(subset, false);
    return agent_->parseIntDtdStream(stream, publicId, systemId);
}

bool TXmlToDomParser::stringToInternalSubset(const std::string& text, const std::u16string& publicId,
                                             const std::u16string& systemId, TdomCMNode* subset) {
    prepareSubsetRun(subset, false);
    return agent_->parseIntDtdString(text, publicId, systemId);
}

bool TXmlToDomParser::wideStringToInternalSubset(const std::u16string& text, const std::u16string& publicId,
                                                 const std::u16string& systemId, TdomCMNode* subset) {
    prepareSubsetRun(subset, false);
    return agent_->parseIntDtdWideString(text, publicId, systemId);
}

// ---- document operations ----

TdomDocument* TXmlToDomParser::buildDocument(const std::function<void()>& parse) {
    TDomImplementation* implementation = domImpl_;
    TdomDocument* document = nullptr;
    TdomCMObject* contentModel = nullptr;
    TdomCMInternalObject* internalSubset = nullptr;
    TdomCMExternalObject* externalSubset = nullptr;
    try {
        document = implementation->createDocument(u"dummy", nullptr);
        document->freeChildren();
        contentModel = implementation->createContentModel();
        internalSubset = implementation->createInternalSubset(u"", u"");
        externalSubset = implementation->createExternalSubset(u"", u"");
        contentModel->setInternalSubset(internalSubset);
        contentModel->setExternalSubset(externalSubset);
        document->attachContentModel(contentModel);

        beginRun();
        docBuilder_->setReferenceNode(document);
        dtdBuilder_->setExternalTarget(externalSubset);
        dtdBuilder_->setInternalTarget(internalSubset);
        agent_->onExternalSubset = OnExternalSubset;
        parse();
    } catch (...) {
        // Nothing of the failed run may point at what is freed now. The chains are reset first: an
        // exception may have left the DTD builder active, and an active builder keeps its targets.
        resetChains();
        releaseTargets();
        auto release = [](auto&& free) {
            try {
                free();
            } catch (const Exception&) {
                // Already released (a callback may have emptied the implementation); nothing to do.
            }
        };
        if (externalSubset) release([&] { implementation->freeExternalSubset(externalSubset); });
        if (internalSubset) release([&] { implementation->freeInternalSubset(internalSubset); });
        if (contentModel) release([&] { implementation->freeContentModel(contentModel); });
        if (document) release([&] { implementation->freeDocument(document); });
        throw;
    }
    releaseTargets();
    return document;
}

TdomDocument* TXmlToDomParser::fileToDocument(const std::string& fileName) {
    if (!domImpl_) missing("DOMImplementation not specified.");
    if (fileName.empty()) missing("Filename not specified.");
    const std::u16string wideName = utf8ToUtf16(fileName);
    return buildDocument([&] { agent_->parseFile(wideName, u""); });
}

TdomDocument* TXmlToDomParser::memoryToDocument(const void* pointer, std::size_t byteCount) {
    if (!domImpl_) missing("DOMImplementation not specified.");
    if (!pointer) missing("pointer not specified.");
    return buildDocument([&] { agent_->parseMemory(pointer, byteCount, u"", u""); });
}

TdomDocument* TXmlToDomParser::sourceCodeToDocument(const TXmlSourceCode* sourceCode) {
    if (!domImpl_) missing("DOMImplementation not specified.");
    if (!sourceCode) missing("TXmlSourceCode not specified.");
    return wideStringToDocument(sourceCode->text());
}

TdomDocument* TXmlToDomParser::streamToDocument(TStream* stream) {
    if (!domImpl_) missing("DOMImplementation not specified.");
    if (!stream) missing("Stream not specified.");
    return buildDocument([&] { agent_->parseStream(stream, u"", u""); });
}

TdomDocument* TXmlToDomParser::stringToDocument(const std::string& text) {
    if (!domImpl_) missing("DOMImplementation not specified.");
    return buildDocument([&] { agent_->parseString(text, u"", u""); });
}

TdomDocument* TXmlToDomParser::wideStringToDocument(const std::u16string& text) {
    if (!domImpl_) missing("DOMImplementation not specified.");
    return buildDocument([&] { agent_->parseWideString(text, u"", u""); });
}
