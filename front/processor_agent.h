#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "dom/implementation.h"
#include "parser/signal_chain.h"

class TStream;
class TXmlInputSource;
class TXmlSourceCode;
class TXmlStandardDocReader;
class TXmlStandardDtdReader;

// Answer of a callback that supplies an input: fail, retry (call me again), or ok.
using TXmlParserAction = TdomParserAction;

// Asks the caller for an external input, here the external DTD subset of a document:
// (sender: the processor agent, parentSystemId: the system id of the document that names it,
// publicId in/out, systemId in/out, stream in/out (starts as nullptr; a stream left there is handed
// over to the parser, which destroys it), action in/out (starts as paFail)). The same type as the
// DOM implementation's onExternalParsedEntity, so one handler can answer both.
using TXmlParserEvent = TdomExternalParsedEntityEvent;

// Turns any kind of input into an input source and starts the reader that fits it: the document
// reader for documents, the DTD reader for external and internal subsets. Every parse operation
// answers true when the run ended without an error record. Misuse (a missing input) raises
// EAccessViolation; a file that cannot be opened raises the file layer's EFOpenError.
class TXmlStandardProcessorAgent : public TXmlCustomProcessorAgent {
public:
    TXmlStandardProcessorAgent() = default;
    ~TXmlStandardProcessorAgent() override = default;

    // Not owned; cleared when the reader is destroyed.
    TXmlStandardDocReader* DocReader() const { return docReader_; }
    void setDocReader(TXmlStandardDocReader* reader);
    TXmlStandardDtdReader* DtdReader() const { return dtdReader_; }
    void setDtdReader(TXmlStandardDtdReader* reader);

    // Asked by parseDoctypeSubsets for the external subset that a document type declaration names.
    TXmlParserEvent onExternalSubset;

    // The system id of the input that is being read right now (the innermost one while a document
    // reads its subsets); empty between runs.
    const std::u16string& currentSystemId() const { return currentSystemId_; }

    // Documents. The file name is the system id; it is opened as UTF-8 bytes and read as it is decoded.
    virtual bool parseFile(const std::u16string& fileName, const std::u16string& publicId);
    virtual bool parseMemory(const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                             const std::u16string& systemId);
    virtual bool parseSourceCode(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                 const std::u16string& systemId);
    virtual bool parseStream(TStream* stream, const std::u16string& publicId, const std::u16string& systemId);
    // A narrow string is parsed as its bytes; the encoding is detected from them.
    virtual bool parseString(const std::string& text, const std::u16string& publicId, const std::u16string& systemId);
    // A wide string is parsed as UTF-16 (a byte-order mark is put in front unless it starts with one).
    virtual bool parseWideString(const std::u16string& text, const std::u16string& publicId,
                                 const std::u16string& systemId);

    // Reads the internal subset text, then asks onExternalSubset for the external subset (again
    // while it answers paRetry) and reads the stream it supplies. False when a subset failed or the
    // callback answered paFail (also when there is no callback but the declaration names an id).
    bool parseDoctypeSubsets(const std::u16string& internalSubset, const std::u16string& documentPublicId,
                             const std::u16string& documentSystemId, const std::u16string& publicId,
                             const std::u16string& systemId) override;

    // External subsets; with no DTD reader they answer true.
    virtual bool parseExtDtdFile(const std::u16string& fileName, const std::u16string& publicId);
    virtual bool parseExtDtdMemory(const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                                   const std::u16string& systemId);
    virtual bool parseExtDtdSourceCode(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                       const std::u16string& systemId);
    virtual bool parseExtDtdStream(TStream* stream, const std::u16string& publicId, const std::u16string& systemId);
    virtual bool parseExtDtdString(const std::string& text, const std::u16string& publicId,
                                   const std::u16string& systemId);
    virtual bool parseExtDtdWideString(const std::u16string& text, const std::u16string& publicId,
                                       const std::u16string& systemId);

    // Internal subsets; with no DTD reader they answer true.
    virtual bool parseIntDtdFile(const std::u16string& fileName, const std::u16string& publicId);
    virtual bool parseIntDtdMemory(const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                                   const std::u16string& systemId);
    virtual bool parseIntDtdSourceCode(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                       const std::u16string& systemId);
    virtual bool parseIntDtdStream(TStream* stream, const std::u16string& publicId, const std::u16string& systemId);
    virtual bool parseIntDtdString(const std::string& text, const std::u16string& publicId,
                                   const std::u16string& systemId);
    virtual bool parseIntDtdWideString(const std::u16string& text, const std::u16string& publicId,
                                       const std::u16string& systemId);

    // A subset's wide string (external or internal) that the agent takes over: what has been read
    // is let go of while the reading goes on, so that nested reads do not each hold the whole text
    // they enclose. The text is empty afterwards.
    bool parseDtdWideStringConsuming(bool external, std::u16string&& text, const std::u16string& publicId,
                                     const std::u16string& systemId);

protected:
    void componentDestroyed(TXmlComponent* destroyed) override;

private:
    // What a prepared input is read as.
    enum class Target { document, externalSubset, internalSubset };

    bool readFile(Target target, const std::u16string& fileName, const std::u16string& publicId);
    bool readMemory(Target target, const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                    const std::u16string& systemId);
    bool readSourceCode(Target target, const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                        const std::u16string& systemId);
    bool readString(Target target, const std::string& text, const std::u16string& publicId,
                    const std::u16string& systemId);
    bool readWideString(Target target, const std::u16string& text, const std::u16string& publicId,
                        const std::u16string& systemId);
    // The stream step of every input kind: dispatches to the virtual stream operation of target.
    bool readStream(Target target, TStream* stream, const std::u16string& publicId, const std::u16string& systemId);
    // Makes the input source and runs the reader of target over it.
    bool runReader(Target target, TStream* stream, const std::u16string& publicId, const std::u16string& systemId);

    // The stream of parseDtdWideStringConsuming, until its input source has been set up.
    TStream* consumedStream_ = nullptr;
    TXmlStandardDocReader* docReader_ = nullptr;
    TXmlStandardDtdReader* dtdReader_ = nullptr;
    std::u16string currentSystemId_;
    // Set while a wide string is handed to the stream step, for the input source made there.
    bool decodedTextPending_ = false;
};
