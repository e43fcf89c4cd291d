#include "front/processor_agent.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "dtd/dtd_reader.h"
#include "parser/doc_reader.h"
#include "parser/source_code.h"
#include "text/exception.h"
#include "text/file_io.h"
#include "text/input_source.h"
#include "text/parser_error.h"
#include "text/stream.h"
#include "text/utf8.h"
#include "text/xml_memory_stream.h"

namespace {

[[noreturn]] void missing(const char* message) { throw EAccessViolation(message); }

// Sets a string for the duration of a scope and puts the previous value back afterwards.
class ScopedValue {
public:
    ScopedValue(std::u16string& variable, const std::u16string& value) : variable_(variable), saved_(variable) {
        variable_ = value;
    }
    ~ScopedValue() { variable_ = std::move(saved_); }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    std::u16string& variable_;
    std::u16string saved_;
};

// Sets a flag for the duration of a scope and clears it afterwards.
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& flag_;
};

// Wide text behind a byte-order mark, read where it lies: the text is not copied to put the mark
// in front of it. A text given over to the stream is let go of as it is read once the input source
// has been set up (it reads ahead and goes back to the start while it sniffs the text): the
// source keeps its own copy of each block it reads, and a subset's reader reads straight on.
class MarkedWideTextStream : public TStream {
public:
    explicit MarkedWideTextStream(const std::u16string& text) : text_(&text), size_(bytesOf(text)) {}
    explicit MarkedWideTextStream(std::u16string&& text)
        : owned_(std::move(text)), text_(&owned_), size_(bytesOf(owned_)), consume_(true) {}

    std::int64_t size() override { return size_; }
    std::int64_t read(void* buffer, std::int64_t count) override {
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::int64_t moved = 0;
        for (; moved < count && position_ < kMarkBytes; ++moved, ++position_) out[moved] = kMark[position_];
        const std::int64_t fromText = std::min(count - moved, size_ - position_);
        if (fromText <= 0) return moved;
        const std::int64_t at = position_ - kMarkBytes - released_;
        if (at < 0) throw EStreamError("The text before this position was already read and let go of.");
        std::memcpy(out + moved, reinterpret_cast<const std::uint8_t*>(text_->data()) + at,
                    static_cast<std::size_t>(fromText));
        position_ += fromText;
        if (releasing_) release();
        return moved + fromText;
    }
    std::int64_t write(const void*, std::int64_t) override { return 0; }
    std::int64_t seek(std::int64_t offset, TSeekOrigin origin) override {
        const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                                  : origin == TSeekOrigin::soCurrent ? position_
                                                                     : size_;
        position_ = std::clamp<std::int64_t>(base + offset, 0, size_);
        return position_;
    }

    // From now on, reads let go of the text before them (for a text given over).
    void startReleasing() { releasing_ = consume_; }

private:
    static constexpr std::int64_t kMarkBytes = sizeof(char16_t);
    // The mark as it lies in memory, so that the text's units follow in the same byte order.
    static constexpr char16_t kMarkUnit = u'\uFEFF';
    inline static const std::uint8_t* const kMark = reinterpret_cast<const std::uint8_t*>(&kMarkUnit);
    // Units read are let go of in runs of at least this many, and of at least half the units
    // held, so that moving the rest to a smaller string costs linear time over the whole text.
    static constexpr std::size_t kReleaseAtLeast = 32 * 1024;

    static std::int64_t bytesOf(const std::u16string& text) {
        return kMarkBytes + static_cast<std::int64_t>(text.size() * sizeof(char16_t));
    }
    void release() {
        const auto read = static_cast<std::size_t>(position_ - kMarkBytes - released_) / sizeof(char16_t);
        if (read < kReleaseAtLeast || read < owned_.size() / 2) return;
        owned_ = owned_.substr(read);
        released_ += static_cast<std::int64_t>(read * sizeof(char16_t));
    }

    std::u16string owned_;
    const std::u16string* text_;
    std::int64_t size_;
    bool consume_ = false;
    bool releasing_ = false;
    std::int64_t position_ = 0;
    std::int64_t released_ = 0; // bytes of the text let go of from its start
};

} // namespace

void TXmlStandardProcessorAgent::setDocReader(TXmlStandardDocReader* reader) {
    if (reader == docReader_) return;
    unwatch(docReader_);
    docReader_ = reader;
    watch(reader);
}

void TXmlStandardProcessorAgent::setDtdReader(TXmlStandardDtdReader* reader) {
    if (reader == dtdReader_) return;
    unwatch(dtdReader_);
    dtdReader_ = reader;
    watch(reader);
}

void TXmlStandardProcessorAgent::componentDestroyed(TXmlComponent* destroyed) {
    if (destroyed == docReader_) docReader_ = nullptr;
    if (destroyed == dtdReader_) dtdReader_ = nullptr;
}

// ---- input preparation, shared by documents and both kinds of subset ----

bool TXmlStandardProcessorAgent::readFile(Target target, const std::u16string& fileName,
                                          const std::u16string& publicId) {
    if (fileName.empty()) missing("Filename not specified.");
    // The file is read as it is decoded, a window at a time, so that a large file is never held
    // whole; it stays open while the handlers run (a file open for reading hinders no other
    // opening, replacing or removing of it here). A file that reports no size, as those of the
    // process file system do, is read whole first, to its end.
    TFileStream file(utf16ToUtf8(fileName), TFileStream::Mode::openRead);
    if (file.size() > 0) return readStream(target, &file, publicId, fileName);
    const std::string bytes = readRestOfFile(file);
    TXmlMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    return readStream(target, &stream, publicId, fileName);
}

bool TXmlStandardProcessorAgent::readMemory(Target target, const void* pointer, std::size_t byteCount,
                                            const std::u16string& publicId, const std::u16string& systemId) {
    if (!pointer) missing("pointer not specified.");
    TXmlMemoryStream stream(pointer, static_cast<std::int64_t>(byteCount));
    return readStream(target, &stream, publicId, systemId);
}

bool TXmlStandardProcessorAgent::readSourceCode(Target target, const TXmlSourceCode* sourceCode,
                                                const std::u16string& publicId, const std::u16string& systemId) {
    if (!sourceCode) missing("Stream not specified.");
    // The pieces are wide text: they are read as UTF-16, so no character is lost to a narrow
    // conversion and the text need not declare an encoding that fits its bytes.
    return readWideString(target, sourceCode->text(), publicId, systemId);
}

bool TXmlStandardProcessorAgent::readString(Target target, const std::string& text, const std::u16string& publicId,
                                            const std::u16string& systemId) {
    if (text.empty()) missing("Empty string.");
    TXmlMemoryStream stream(text.data(), static_cast<std::int64_t>(text.size()));
    return readStream(target, &stream, publicId, systemId);
}

bool TXmlStandardProcessorAgent::readWideString(Target target, const std::u16string& text,
                                                const std::u16string& publicId, const std::u16string& systemId) {
    if (text.empty()) missing("Empty string.");
    // The text is decoded already: the encoding that its declaration names is that of some
    // original, not of these units.
    ScopedFlag decoded(decodedTextPending_);
    if (text.front() == u'\uFEFF') {
        TXmlMemoryStream stream(text.data(), static_cast<std::int64_t>(text.size() * sizeof(char16_t)));
        return readStream(target, &stream, publicId, systemId);
    }
    MarkedWideTextStream stream(text);
    return readStream(target, &stream, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseDtdWideStringConsuming(bool external, std::u16string&& text,
                                                             const std::u16string& publicId,
                                                             const std::u16string& systemId) {
    const Target target = external ? Target::externalSubset : Target::internalSubset;
    if (text.empty() || text.front() == u'\uFEFF') {
        const std::u16string held = std::move(text);
        return readWideString(target, held, publicId, systemId);
    }
    ScopedFlag decoded(decodedTextPending_);
    MarkedWideTextStream stream(std::move(text));
    consumedStream_ = &stream;
    const struct Forget {
        TStream*& stream;
        ~Forget() { stream = nullptr; }
    } forget{consumedStream_};
    return readStream(target, &stream, publicId, systemId);
}

bool TXmlStandardProcessorAgent::readStream(Target target, TStream* stream, const std::u16string& publicId,
                                            const std::u16string& systemId) {
    switch (target) {
    case Target::document:
        return parseStream(stream, publicId, systemId);
    case Target::externalSubset:
        return parseExtDtdStream(stream, publicId, systemId);
    case Target::internalSubset:
        return parseIntDtdStream(stream, publicId, systemId);
    }
    return true;
}

bool TXmlStandardProcessorAgent::runReader(Target target, TStream* stream, const std::u16string& publicId,
                                           const std::u16string& systemId) {
    if (!stream) missing("Stream not specified.");
    // Only the stream that a wide string was wrapped in is decoded text; the streams of the
    // subsets read while it is read are not.
    TXmlInputSource source(stream, publicId, systemId, std::exchange(decodedTextPending_, false));
    if (stream == std::exchange(consumedStream_, nullptr)) static_cast<MarkedWideTextStream*>(stream)->startReleasing();
    ScopedValue current(currentSystemId_, systemId);
    switch (target) {
    case Target::document:
        return docReader_ ? docReader_->parse(this, source) : true;
    case Target::externalSubset:
        return dtdReader_ ? dtdReader_->parseExternal(this, source) : true;
    case Target::internalSubset:
        return dtdReader_ ? dtdReader_->parseInternal(this, source) : true;
    }
    return true;
}

// ---- documents ----

bool TXmlStandardProcessorAgent::parseFile(const std::u16string& fileName, const std::u16string& publicId) {
    return readFile(Target::document, fileName, publicId);
}

bool TXmlStandardProcessorAgent::parseMemory(const void* pointer, std::size_t byteCount, const std::u16string& publicId,
                                             const std::u16string& systemId) {
    return readMemory(Target::document, pointer, byteCount, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseSourceCode(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                                 const std::u16string& systemId) {
    return readSourceCode(Target::document, sourceCode, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseStream(TStream* stream, const std::u16string& publicId,
                                             const std::u16string& systemId) {
    return runReader(Target::document, stream, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseString(const std::string& text, const std::u16string& publicId,
                                             const std::u16string& systemId) {
    return readString(Target::document, text, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseWideString(const std::u16string& text, const std::u16string& publicId,
                                                 const std::u16string& systemId) {
    return readWideString(Target::document, text, publicId, systemId);
}

// ---- the subsets of a document type declaration ----

bool TXmlStandardProcessorAgent::parseDoctypeSubsets(const std::u16string& internalSubset,
                                                     const std::u16string& documentPublicId,
                                                     const std::u16string& documentSystemId,
                                                     const std::u16string& publicId, const std::u16string& systemId) {
    if (!dtdReader_) return true;
    if (!internalSubset.empty() && !parseIntDtdWideString(internalSubset, documentPublicId, documentSystemId))
        return false;
    if (publicId.empty() && systemId.empty()) return true;

    TXmlParserAction action = TXmlParserAction::paFail;
    std::u16string askedPublicId = publicId;
    std::u16string askedSystemId = systemId;
    const std::unique_ptr<TStream> owned =
        askForStream(onExternalSubset, this, documentSystemId, askedPublicId, askedSystemId, action);
    if (action != TXmlParserAction::paOK) return false;
    if (!owned) return true;
    return parseExtDtdStream(owned.get(), askedPublicId, askedSystemId);
}

// ---- external subsets ----

bool TXmlStandardProcessorAgent::parseExtDtdFile(const std::u16string& fileName, const std::u16string& publicId) {
    return readFile(Target::externalSubset, fileName, publicId);
}

bool TXmlStandardProcessorAgent::parseExtDtdMemory(const void* pointer, std::size_t byteCount,
                                                   const std::u16string& publicId, const std::u16string& systemId) {
    return readMemory(Target::externalSubset, pointer, byteCount, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseExtDtdSourceCode(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                                       const std::u16string& systemId) {
    return readSourceCode(Target::externalSubset, sourceCode, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseExtDtdStream(TStream* stream, const std::u16string& publicId,
                                                   const std::u16string& systemId) {
    return runReader(Target::externalSubset, stream, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseExtDtdString(const std::string& text, const std::u16string& publicId,
                                                   const std::u16string& systemId) {
    return readString(Target::externalSubset, text, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseExtDtdWideString(const std::u16string& text, const std::u16string& publicId,
                                                       const std::u16string& systemId) {
    return readWideString(Target::externalSubset, text, publicId, systemId);
}

// ---- internal subsets ----

bool TXmlStandardProcessorAgent::parseIntDtdFile(const std::u16string& fileName, const std::u16string& publicId) {
    return readFile(Target::internalSubset, fileName, publicId);
}

bool TXmlStandardProcessorAgent::parseIntDtdMemory(const void* pointer, std::size_t byteCount,
                                                   const std::u16string& publicId, const std::u16string& systemId) {
    return readMemory(Target::internalSubset, pointer, byteCount, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseIntDtdSourceCode(const TXmlSourceCode* sourceCode, const std::u16string& publicId,
                                                       const std::u16string& systemId) {
    return readSourceCode(Target::internalSubset, sourceCode, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseIntDtdStream(TStream* stream, const std::u16string& publicId,
                                                   const std::u16string& systemId) {
    return runReader(Target::internalSubset, stream, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseIntDtdString(const std::string& text, const std::u16string& publicId,
                                                   const std::u16string& systemId) {
    return readString(Target::internalSubset, text, publicId, systemId);
}

bool TXmlStandardProcessorAgent::parseIntDtdWideString(const std::u16string& text, const std::u16string& publicId,
                                                       const std::u16string& systemId) {
    return readWideString(Target::internalSubset, text, publicId, systemId);
}
