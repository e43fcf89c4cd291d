#include "dom/implementation.h"

#include <algorithm>

#include "dom/cm_object.h"
#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/node_internal.h"
#include "text/code_page_932.h"
#include "text/dom_exception.h"
#include "text/stream.h"
#include "text/xml_chars.h"

namespace {

// Makes room for one more entry (with geometric growth) so that the push_back after it cannot throw.
template <class List> void reserveOneMore(List& list) {
    if (list.size() == list.capacity()) list.reserve(list.empty() ? 16 : list.size() * 2);
}

struct DocumentFormat {
    TdomDocumentClass documentClass;
    std::u16string namespaceURI;
    std::u16string qualifiedName;
};

// The process-wide document-format registry, newest first.
std::vector<DocumentFormat>& formatRegistry() {
    static std::vector<DocumentFormat> registry;
    return registry;
}

bool asciiEqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

template <class List> bool eraseOne(List& list, const void* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

template <class List> void clearAndShrink(List& list) {
    list.clear();
    list.shrink_to_fit();
}

} // namespace

TDomImplementation::TDomImplementation() = default;

TDomImplementation::~TDomImplementation() {
    // A listener may unregister itself (or others) while it runs: work on a copy.
    const auto listeners = std::move(destructionListeners_);
    destructionListeners_.clear();
    for (const auto& entry : listeners) entry.second();
    releaseAll();
}

void TDomImplementation::addDestructionListener(const void* key, std::function<void()> listener) {
    for (auto& entry : destructionListeners_)
        if (entry.first == key) {
            entry.second = std::move(listener);
            return;
        }
    destructionListeners_.emplace_back(key, std::move(listener));
}

void TDomImplementation::removeDestructionListener(const void* key) {
    std::erase_if(destructionListeners_, [key](const auto& entry) { return entry.first == key; });
}

// ---- releasing ----

void TDomImplementation::deleteDocument(TdomDocument* document) {
    document->freeChildren();
    delete document;
}

void TDomImplementation::deleteContentModelObject(TdomCustomCMObject* object) { delete object; }

void TDomImplementation::releaseAll() {
    TdomNodeVector documents;
    documents.swap(documents_);
    for (TdomNode* document : documents) deleteDocument(static_cast<TdomDocument*>(document));
    clearAndShrink(documents_);
    TdomNodeVector types;
    types.swap(documentTypes_);
    for (TdomNode* type : types) delete type;
    clearAndShrink(documentTypes_);
    documentTypeNames_.clear();
    for (auto* list : {&externalSubsets_, &internalSubsets_, &contentModels_}) {
        std::vector<TdomCustomCMObject*> objects;
        objects.swap(*list);
        for (TdomCustomCMObject* object : objects) deleteContentModelObject(object);
        clearAndShrink(*list);
    }
}

void TDomImplementation::freeExternalSubset(TdomCMExternalObject*& subset) {
    auto it = std::find(externalSubsets_.begin(), externalSubsets_.end(), subset);
    if (!subset || it == externalSubsets_.end()) throw ENot_Found_Err("External content model not found error.");
    if (TdomCMObject* model = subset->contentModel()) model->setExternalSubset(nullptr);
    externalSubsets_.erase(it);
    deleteContentModelObject(subset);
    subset = nullptr;
}

void TDomImplementation::freeInternalSubset(TdomCMInternalObject*& subset) {
    auto it = std::find(internalSubsets_.begin(), internalSubsets_.end(), subset);
    if (!subset || it == internalSubsets_.end()) throw ENot_Found_Err("Internal content model not found error.");
    if (TdomCMObject* model = subset->contentModel()) model->setInternalSubset(nullptr);
    internalSubsets_.erase(it);
    deleteContentModelObject(subset);
    subset = nullptr;
}

void TDomImplementation::freeContentModel(TdomCMObject*& contentModel) {
    auto it = std::find(contentModels_.begin(), contentModels_.end(), contentModel);
    if (!contentModel || it == contentModels_.end()) throw ENot_Found_Err("Content model not found error.");
    contentModel->setInternalSubset(nullptr);
    contentModel->setExternalSubset(nullptr);
    if (TdomDocument* document = contentModel->document()) document->detachContentModel();
    contentModels_.erase(it);
    deleteContentModelObject(contentModel);
    contentModel = nullptr;
}

void TDomImplementation::freeDocument(TdomDocument*& document) {
    auto it = std::find(documents_.begin(), documents_.end(), document);
    if (!document || it == documents_.end()) throw ENot_Found_Err("Document not found error.");
    if (TdomCMObject* model = document->contentModel()) freeContentModel(model);
    documents_.erase(std::find(documents_.begin(), documents_.end(), document));
    deleteDocument(document);
    document = nullptr;
}

void TDomImplementation::freeDocumentType(TdomDocumentType*& documentType) {
    if (!documentType || !eraseOne(documentTypes_, documentType)) throw ENot_Found_Err("DocumentType not found error.");
    delete documentType;
    documentType = nullptr;
}

// ---- features and formats ----

bool TDomImplementation::hasFeature(std::u16string_view feature, std::u16string_view version) const {
    std::string narrowFeature = cp932::encode(feature);
    std::string narrowVersion = cp932::encode(version);
    if (narrowVersion == "1.0" || narrowVersion.empty()) return asciiEqualIgnoringCase(narrowFeature, "XML");
    if (narrowVersion == "2.0")
        return asciiEqualIgnoringCase(narrowFeature, "XML") || asciiEqualIgnoringCase(narrowFeature, "VIEWS") ||
               asciiEqualIgnoringCase(narrowFeature, "TRAVERSAL");
    return false;
}

TdomDocumentClass TDomImplementation::getDocumentClass(std::u16string_view namespaceURI,
                                                       std::u16string_view qualifiedName) {
    for (const DocumentFormat& format : formatRegistry())
        if (format.namespaceURI == namespaceURI && format.qualifiedName == qualifiedName) return format.documentClass;
    throw EUnknown_Document_Format_Err();
}

void TDomImplementation::registerDocumentFormat(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                                                TdomDocumentClass documentClass) {
    if (qualifiedName == u"default") throw EInvalid_Access_Err();
    auto& registry = formatRegistry();
    registry.insert(registry.begin(),
                    DocumentFormat{documentClass, std::u16string(namespaceURI), std::u16string(qualifiedName)});
}

bool TDomImplementation::supportsDocumentFormat(std::u16string_view namespaceURI, std::u16string_view qualifiedName) {
    for (const DocumentFormat& format : formatRegistry())
        if (format.namespaceURI == namespaceURI && format.qualifiedName == qualifiedName) return true;
    return false;
}

void TDomImplementation::unregisterDocumentFormat(TdomDocumentClass documentClass) {
    std::erase_if(formatRegistry(),
                  [&](const DocumentFormat& format) { return format.documentClass == documentClass; });
}

// ---- content-model objects ----

TdomCMExternalObject* TDomImplementation::createExternalSubset(std::u16string_view publicId,
                                                               std::u16string_view systemId) {
    reserveOneMore(externalSubsets_);
    auto* subset = new TdomCMExternalObject(this, std::u16string(publicId), std::u16string(systemId));
    externalSubsets_.push_back(subset);
    return subset;
}

TdomCMInternalObject* TDomImplementation::createInternalSubset(std::u16string_view publicId,
                                                               std::u16string_view systemId) {
    reserveOneMore(internalSubsets_);
    auto* subset = new TdomCMInternalObject(this, std::u16string(publicId), std::u16string(systemId));
    internalSubsets_.push_back(subset);
    return subset;
}

TdomCMObject* TDomImplementation::createContentModel() {
    reserveOneMore(contentModels_);
    auto* model = new TdomCMObject(this);
    contentModels_.push_back(model);
    return model;
}

// ---- documents ----

void TDomImplementation::checkDoctypeUnowned(TdomDocumentType* doctype) const {
    if (doctype && std::find(documentTypes_.begin(), documentTypes_.end(), doctype) == documentTypes_.end())
        throw EWrong_Document_Err();
}

TdomDocument* TDomImplementation::constructDocument(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                                                    TdomDocumentType* doctype) {
    TdomDocumentClass documentClass = nullptr;
    for (const DocumentFormat& format : formatRegistry())
        if (format.namespaceURI == namespaceURI && format.qualifiedName == qualifiedName) {
            documentClass = format.documentClass;
            break;
        }
    reserveOneMore(documents_);
    TdomDocument* document = documentClass ? documentClass(this) : new TdomDocument(this);
    documents_.push_back(document);
    if (doctype) {
        eraseOne(documentTypes_, doctype);
        document->adoptDocumentType(doctype);
    }
    return document;
}

TdomDocument* TDomImplementation::createDocument(std::u16string_view rootName, TdomDocumentType* doctype) {
    checkDoctypeUnowned(doctype);
    if (!checkName(rootName)) throw EInvalid_Character_Err();
    TdomDocument* document = constructDocument(u"", rootName, doctype);
    document->createDocumentElement(rootName);
    return document;
}

TdomDocument* TDomImplementation::createDocumentNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                                                   TdomDocumentType* doctype) {
    checkDoctypeUnowned(doctype);
    if (!checkName(qualifiedName)) throw EInvalid_Character_Err();
    std::u16string prefix, localName;
    dominternal::splitQualifiedName(namespaceURI, qualifiedName, false, prefix, localName);
    if ((prefix == u"xmlns" || qualifiedName == u"xmlns") && namespaceURI != kXmlnsNamespaceUri) throw ENamespace_Err();
    TdomDocument* document = constructDocument(namespaceURI, qualifiedName, doctype);
    document->createDocumentElementNS(namespaceURI, qualifiedName);
    return document;
}

TdomDocument* TDomImplementation::createEmptyDocument() {
    reserveOneMore(documents_);
    auto* document = new TdomDocument(this);
    documents_.push_back(document);
    return document;
}

TdomDocumentType* TDomImplementation::createDocumentType(std::u16string_view name, std::u16string_view publicId,
                                                         std::u16string_view systemId,
                                                         std::u16string_view internalSubset) {
    reserveOneMore(documentTypes_);
    const std::u16string* interned = &*documentTypeNames_.emplace(name).first;
    auto* doctype = new TdomDocumentType(nullptr, interned, publicId, systemId, internalSubset);
    doctype->setFlag(TdomDocumentType::kHeapAllocatedFlag, true);
    documentTypes_.push_back(doctype);
    return doctype;
}

std::unique_ptr<TStream> askForStream(const TdomExternalParsedEntityEvent& event, void* sender,
                                      const std::u16string& parentSystemId, std::u16string& publicId,
                                      std::u16string& systemId, TdomParserAction& action) {
    std::unique_ptr<TStream> owned;
    action = TdomParserAction::paFail;
    if (!event) return owned;
    do {
        TStream* stream = owned.get();
        // What the call leaves in stream is taken, also when it raises; a stream it replaced goes.
        struct Take {
            std::unique_ptr<TStream>& owned;
            TStream*& stream;
            ~Take() {
                if (stream != owned.get()) owned.reset(stream);
            }
        } take{owned, stream};
        event(sender, parentSystemId, publicId, systemId, stream, action);
    } while (action == TdomParserAction::paRetry);
    return owned;
}
