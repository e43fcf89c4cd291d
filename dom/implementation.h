#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "dom/node.h"

class TDomImplementation;
class TdomCMExternalObject;
class TdomCMInternalObject;
class TdomCMObject;
class TdomCustomCMObject;
class TdomDocumentType;
class TStream;

// Constructs a TdomDocument (or a subclass) for an implementation; registered per
// (namespace URI, qualified name) in the process-wide document-format registry.
using TdomDocumentClass = TdomDocument* (*)(TDomImplementation* implementation);

// Answer of a callback that supplies a stream: fail, retry, or ok.
enum class TdomParserAction { paFail, paRetry, paOK };

// Asks for the text of an external parsed entity: (sender, parent system identifier, public
// identifier in/out, system identifier in/out, stream out (owned by the receiver of the answer),
// action in/out).
using TdomExternalParsedEntityEvent =
    std::function<void(void* sender, const std::u16string& parentSystemId, std::u16string& publicId,
                       std::u16string& systemId, TStream*& stream, TdomParserAction& action)>;

// Calls event with action paFail, again while it answers paRetry, and owns every stream that it
// leaves in its stream parameter from the moment a call returns or raises: a stream that a later
// call replaces is freed, and so is every stream when a call raises. The stream of the last answer
// is the result; the ids and the action are as the last call left them.
std::unique_ptr<TStream> askForStream(const TdomExternalParsedEntityEvent& event, void* sender,
                                      const std::u16string& parentSystemId, std::u16string& publicId,
                                      std::u16string& systemId, TdomParserAction& action);

// Parses text as content into node (an entity reference being filled) and answers whether it was
// read without an error record. The DOM sits below the parser, so a parser front installs this in
// the implementations it builds with.
using TdomFragmentParser = std::function<bool(const std::u16string& text, TdomNode* node)>;

// Creates documents and owns them, together with the document types that no document owns yet and
// the content-model objects of the DTD processing, until releaseAll or its own end.
class TDomImplementation {
public:
    TDomImplementation();
    TDomImplementation(const TDomImplementation&) = delete;
    TDomImplementation& operator=(const TDomImplementation&) = delete;
    virtual ~TDomImplementation();

    const std::vector<TdomCustomCMObject*>& externalSubsets() const { return externalSubsets_; }
    const std::vector<TdomCustomCMObject*>& internalSubsets() const { return internalSubsets_; }
    const std::vector<TdomCustomCMObject*>& contentModels() const { return contentModels_; }
    TdomNodeList documents() const { return TdomNodeList(&documents_); }
    TdomNodeList documentTypes() const { return TdomNodeList(&documentTypes_); }

    // Frees every document, every unowned document type and every content-model object.
    void releaseAll();
    // Each raises ENot_Found_Err with its own message for an object it does not hold, frees the
    // object otherwise and sets the caller's reference to nullptr.
    void freeExternalSubset(TdomCMExternalObject*& subset);
    void freeInternalSubset(TdomCMInternalObject*& subset);
    void freeContentModel(TdomCMObject*& contentModel);
    void freeDocument(TdomDocument*& document);
    void freeDocumentType(TdomDocumentType*& documentType);

    bool hasFeature(std::u16string_view feature, std::u16string_view version) const;

    TdomCMExternalObject* createExternalSubset(std::u16string_view publicId, std::u16string_view systemId);
    TdomCMInternalObject* createInternalSubset(std::u16string_view publicId, std::u16string_view systemId);
    TdomCMObject* createContentModel();
    TdomDocument* createDocument(std::u16string_view rootName, TdomDocumentType* doctype);
    TdomDocument* createDocumentNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                                   TdomDocumentType* doctype);
    // A document type that no document owns yet, kept in the document-type registry until
    // createDocument or createDocumentNS takes it.
    TdomDocumentType* createDocumentType(std::u16string_view name, std::u16string_view publicId,
                                         std::u16string_view systemId, std::u16string_view internalSubset);
    // A new, empty document registered with this implementation (what a parser builds into).
    TdomDocument* createEmptyDocument();

    static TdomDocumentClass getDocumentClass(std::u16string_view namespaceURI, std::u16string_view qualifiedName);
    static void registerDocumentFormat(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                                       TdomDocumentClass documentClass);
    static bool supportsDocumentFormat(std::u16string_view namespaceURI, std::u16string_view qualifiedName);
    static void unregisterDocumentFormat(TdomDocumentClass documentClass);

    TdomExternalParsedEntityEvent onExternalParsedEntity;
    // Fills entity references with the replacement texts of their declarations (fillByParsing);
    // without it, only predefined entities are filled.
    TdomFragmentParser fragmentParser;

    // Holders of a reference to this implementation (a parser front's DOMImpl) hear of its
    // destruction here: every listener runs once, first thing in the destructor. The key names the
    // registration for removeDestructionListener; registering a key again replaces its listener.
    void addDestructionListener(const void* key, std::function<void()> listener);
    void removeDestructionListener(const void* key);

private:
    TdomDocument* constructDocument(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                                    TdomDocumentType* doctype);
    void checkDoctypeUnowned(TdomDocumentType* doctype) const;
    void deleteDocument(TdomDocument* document);
    void deleteContentModelObject(TdomCustomCMObject* object);

    TdomNodeVector documents_;
    TdomNodeVector documentTypes_;
    std::vector<TdomCustomCMObject*> externalSubsets_;
    std::vector<TdomCustomCMObject*> internalSubsets_;
    std::vector<TdomCustomCMObject*> contentModels_;
    // Names of the unowned document types (a document interns its own names).
    std::unordered_set<std::u16string> documentTypeNames_;
    std::vector<std::pair<const void*, std::function<void()>>> destructionListeners_;
};
