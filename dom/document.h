#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dom/node.h"
#include "dom/text_store.h"

class TDomImplementation;
class TdomAttr;
class TdomCDATASection;
class TdomCMObject;
class TdomComment;
class TdomDocumentFragment;
class TdomDocumentType;
class TdomElementsNodeList;
class TdomElementsNodeListNS;
class TdomEntity;
class TdomEntityReference;
class TdomNodeFilter;
class TdomNodeIterator;
class TdomNotation;
class TdomProcessingInstruction;
class TdomText;
class TdomTreeWalker;
class TdomWideStringList;

// What a document asks of the traversal objects it keeps (node iterators and tree walkers).
//
// The document owns every object in its node-iterator and tree-walker registries and frees them
// when it is cleared (or earlier, through freeDetachedIterators and destroyTreeWalker).
// notifyNodeRemoval calls nodeRemoving on every registered node iterator before a node leaves its
// parent, while the node is still in the tree, so that an iterator can move its reference node.
// Before the document frees a parentless node with its subtree (destroyNode, freeChildren), it calls
// nodeDestroying on every registered iterator and walker, so that none keeps a reference into the
// freed nodes; formerParent is the node the subtree was just taken from, nullptr for destroyNode.
// freeDetachedIterators frees the registered node iterators whose isDetached answers true.
class TdomTraversalObject {
public:
    virtual ~TdomTraversalObject() = default;
    virtual void nodeRemoving(TdomNode* node) { (void)node; }
    virtual void nodeDestroying(TdomNode* top, TdomNode* formerParent) {
        (void)top;
        (void)formerParent;
    }
    virtual bool isDetached() const { return false; }
};

// The element lists cached on an element (see TdomElement::elementListCache).
struct TdomElementListCaches {
    std::vector<std::unique_ptr<TdomNodeList>> byName;
    std::vector<std::unique_ptr<TdomNodeList>> byNamespace;
};

// The document node: factory and owner of every node it creates.
//
// Nodes are allocated from the document's own pages, whose maps of the nodes that own memory let clearing find
// those without a list of them; the strings of text-like nodes lie in the document's text store, the attribute blocks
// of elements in pages of their own. Clearing the document (freeChildren) or destroying it frees every node it ever
// created that has not been destroyed yet, in linear time. Text, CDATA-section, comment and processing-instruction
// nodes own nothing but their string, and elements and attributes own nothing until they get an attribute block or
// more than two children, so clearing runs no destructor for them: their pages and the text store are freed whole.
// Only destroyNode, freeChildren and clearing free nodes: an operation that takes nodes out of a tree on its own
// (setValue, normalize, filling or emptying entity references) leaves them parentless and alive, so that a caller
// holding one can go on using it.
//
// Element-list caches: getElementsByTagName and getElementsByTagNameNS keep the lists they create
// in elementListCache() and elementListCacheNS(); the document frees them when it is cleared.
class TdomDocument : public TdomNode {
public:
    explicit TdomDocument(TDomImplementation* implementation = nullptr);
    ~TdomDocument() override;

    // Fills an entity reference (or an entity) with a copy of its entity's content, after taking out
    // the children it had (they stay alive, parentless); see the .cpp. nullptr raises ENot_Supported_Err.
    bool fillEntityReference(TdomNode* node);
    // Called by removeChild before node leaves its parent.
    void notifyNodeRemoval(TdomNode* node);

    TdomDocumentType* doctype() const;
    TdomElement* documentElement() const;

    TdomEntity* createEntity(std::u16string_view name, std::u16string_view publicId, std::u16string_view systemId,
                             std::u16string_view notationName);
    TdomNotation* createNotation(std::u16string_view name, std::u16string_view publicId, std::u16string_view systemId);
    TdomElement* createDocumentElement(std::u16string_view tagName);
    TdomElement* createDocumentElementNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName);
    void freeDetachedIterators();
    TdomElement* createElement(std::u16string_view tagName);
    TdomElement* createElementNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName);
    TdomDocumentFragment* createDocumentFragment();
    TdomText* createTextNode(std::u16string_view data);
    // createTextNode for a string the caller gives up: the node takes it over instead of copying it.
    TdomText* createTextNodeTaking(std::u16string&& data);
    TdomComment* createComment(std::u16string_view data);
    TdomCDATASection* createCDATASection(std::u16string_view data);
    TdomProcessingInstruction* createProcessingInstruction(std::u16string_view target, std::u16string_view data);
    TdomAttr* createAttribute(std::u16string_view name);
    TdomAttr* createAttributeNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName);
    TdomEntityReference* createEntityReference(std::u16string_view name);
    TdomDocumentType* createDocumentType(std::u16string_view name, std::u16string_view publicId,
                                         std::u16string_view systemId, std::u16string_view internalSubset);

    // Frees a parentless node and its subtree (attributes included). nullptr does nothing. The caller's
    // reference is set to nullptr.
    template <class T> void destroyNode(T*& node) {
        destroyNodeOnly(node);
        node = nullptr;
    }
    // For a node given by value (e.g. the result of removeChild).
    void destroyNode(TdomNode* const& node) { destroyNodeOnly(node); }

    TdomNode* importNode(TdomNode* node, bool deep);

    // Live lists of the document's elements by tag name, or by namespace URI and local name ("*"
    // matches anything); cached, so asking again with the same query gives the same list.
    TdomElementsNodeList* getElementsByTagName(std::u16string_view name);
    TdomElementsNodeListNS* getElementsByTagNameNS(std::u16string_view namespaceURI, std::u16string_view localName);
    // Traversal objects over root's subtree, registered and owned by the document. A root of nullptr
    // raises ENot_Supported_Err.
    TdomNodeIterator* createNodeIterator(TdomNode* root, TdomNodeTypeSet whatToShow, TdomNodeFilter* filter,
                                         bool expandEntityReferences);
    TdomTreeWalker* createTreeWalker(TdomNode* root, TdomNodeTypeSet whatToShow, TdomNodeFilter* filter,
                                     bool expandEntityReferences);
    // Frees a walker of this document (nullptr: nothing; a walker it does not hold: EWrong_Document_Err)
    // and sets the caller's reference to nullptr.
    void destroyTreeWalker(TdomTreeWalker*& walker);

    // The whole document as a file: an XML declaration naming the encoding, then the children, each
    // followed by a line end. UTF-8 and Shift_JIS end lines with CR LF, EUC-JP and UTF-16 with LF;
    // UTF-16 starts with the byte-order mark. The encoding field is restored afterwards.
    void writeUtf8To(TStream& stream);
    void writeUtf16To(TStream& stream);
    void writeShiftJisTo(TStream& stream);
    void writeEucJpTo(TStream& stream);
    // writeUtf8To into a byte string; writeUtf16To into a wide string (starting with U+FEFF).
    std::string codeAsUtf8();
    std::u16string codeAsUtf16();

    // Content model (the DTD object model) attached to this document, or nullptr.
    TdomCMObject* contentModel() const { return contentModel_; }
    // Detaches the current content model (returned); raises EInuse_Content_Model_Err when contentModel is
    // attached to another document, leaving this document without one.
    TdomCMObject* attachContentModel(TdomCMObject* contentModel);
    TdomCMObject* detachContentModel();

    // Checks the document against its content model, reporting problems to errorHandler (may be
    // nullptr); raises EParserRootNotFound_Err without a document element.
    bool validate(TdomCustomErrorHandler* errorHandler, int option);
    using TdomNode::validate;
    // The ID values collected by validation (sorted, duplicates refused).
    TdomWideStringList& idList() { return *idList_; }

    // Raises ESyntax_Err unless uri is an absolute URI.
    void setDocumentBaseUri(std::u16string_view uri);
    const std::u16string& documentBaseUri() const { return baseUri_; }

    TDomImplementation* domImplementation() const { return implementation_; }
    const std::u16string& systemId() const { return systemId_; }
    void setSystemId(std::u16string_view value) { systemId_ = value; }
    // Values of the XML declaration (empty at creation).
    const std::u16string& encoding() const { return encoding_; }
    void setEncoding(std::u16string_view value) { encoding_ = value; }
    const std::u16string& standalone() const { return standalone_; }
    void setStandalone(std::u16string_view value) { standalone_ = value; }
    const std::u16string& version() const { return version_; }
    void setVersion(std::u16string_view value) { version_ = value; }

    // The strings of the document's text, CDATA-section, comment and processing-instruction nodes.
    TdomTextStore& textStore() { return textStore_; }
    const TdomTextStore& textStore() const { return textStore_; }

    // Number of nodes created and not yet freed (the created-node registry).
    std::size_t createdNodeCount() const { return nodeCount_; }
    // Registries and caches kept for the traversal and element-list classes.
    std::vector<std::unique_ptr<TdomTraversalObject>>& nodeIteratorRegistry() { return nodeIterators_; }
    std::vector<std::unique_ptr<TdomTraversalObject>>& treeWalkerRegistry() { return treeWalkers_; }
    std::vector<std::unique_ptr<TdomNodeList>>& elementListCache() { return elementLists_; }
    std::vector<std::unique_ptr<TdomNodeList>>& elementListCacheNS() { return elementListsNS_; }

    // Removes and frees every child of node, each made writable first (freeChildren without the read-only
    // check of node itself).
    void destroyChildren(TdomNode* node);
    // Takes every child out of node, each made writable first; the children stay alive, parentless.
    void detachChildren(TdomNode* node);
    // Like detachChildren, also on a read-only node (whose flag is kept); true when it had children.
    bool emptyNode(TdomNode* node);

    // The interned copy of a name: one per document, alive as long as the document.
    const std::u16string* intern(std::u16string_view name);
    // intern for a name that must pass checkName: EInvalid_Character_Err when it does not.
    const std::u16string* internCheckedName(std::u16string_view name);

    // Node operations with the document's own behaviour.
    void setNodeValue(std::u16string_view value) override;
    bool checkIdReferences(TdomCustomErrorHandler* errorHandler) override;
    TdomNode* appendChild(TdomNode* newChild) override;
    TdomNode* insertBefore(TdomNode* newChild, TdomNode* refChild) override;
    TdomNode* replaceChild(TdomNode* newChild, TdomNode* oldChild) override;
    // Clears the whole document: every node it created is freed, every traversal object and element
    // list too. The content model stays attached.
    void freeChildren() override;

private:
    friend class TDomImplementation;
    friend class TdomNode;
    friend class TdomElement;

    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::u16string_view s) const noexcept { return std::hash<std::u16string_view>{}(s); }
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(std::u16string_view a, std::u16string_view b) const noexcept { return a == b; }
    };

    // Fixed-size node memory: one free list per size class over 64 KiB pages. Each page starts with a
    // map with one bit per granule of the page, set where a live object starts whose destructor must run
    // when the pages are freed (markForDestruction), so that clearing finds those objects by walking the
    // maps, without a list of the nodes and without touching the objects that need nothing. An object
    // remembers its page (the allocate and deallocate argument page) and a freed block its own.
    class NodeArena {
    public:
        NodeArena() = default;
        NodeArena(const NodeArena&) = delete;
        NodeArena& operator=(const NodeArena&) = delete;
        ~NodeArena() { release(); }
        // Memory for an object of size bytes; sizeClass and page receive what deallocate needs to take
        // it back. Objects beyond the largest size class get memory of their own (class kOwnMemory),
        // which the arena does not keep track of.
        void* allocate(std::size_t size, std::uint8_t& sizeClass, std::uint32_t& page);
        void deallocate(void* p, std::uint8_t sizeClass, std::uint32_t page) noexcept;
        // Records that the object at p (from page page) must be destroyed before its page is freed.
        void markForDestruction(const void* p, std::uint32_t page) { mapWord(page, p) |= mapBit(page, p); }
        // Frees every page; whatever lived in them must have been destroyed.
        void release();
        // Runs destroy on every object marked for destruction (destroying one must not touch another),
        // freeing each page as soon as its objects are gone; the arena is empty afterwards.
        template <class Destroy> void releaseObjects(Destroy destroy);
        static constexpr std::uint8_t kOwnMemory = 0;
        static constexpr std::size_t kGranule = 8;
        static constexpr std::size_t kClasses = 32;
        // Objects larger than this get memory of their own.
        static constexpr std::size_t kLargestObject = kClasses * kGranule;

    private:
        static constexpr std::size_t kPageSize = 64 * 1024;
        static constexpr std::size_t kMapWords = kPageSize / kGranule / 64;
        static constexpr std::size_t kMapBytes = kMapWords * sizeof(std::uint64_t);
        struct FreeBlock {
            FreeBlock* next;
            std::uint32_t page;
        };
        std::uint64_t* map(std::uint32_t page) const { return reinterpret_cast<std::uint64_t*>(pages_[page]); }
        std::uint64_t& mapWord(std::uint32_t page, const void* p) const { return map(page)[granuleIn(page, p) / 64]; }
        std::uint64_t mapBit(std::uint32_t page, const void* p) const {
            return std::uint64_t{1} << (granuleIn(page, p) % 64);
        }
        std::size_t granuleIn(std::uint32_t page, const void* p) const {
            return static_cast<std::size_t>(static_cast<const char*>(p) - pages_[page]) / kGranule;
        }
        FreeBlock* free_[kClasses] = {};
        // Starts a new page (with an empty map) and makes it the current one.
        void addPage();
        std::vector<char*> pages_;
        char* cursor_ = nullptr;
        char* end_ = nullptr;
        std::uint32_t lastPage_ = 0;
    };

    template <class T, class... Args> T* make(Args&&... args);
    // Memory for an element's attribute block, from pages of their own that clearing frees after the nodes.
    void* allocateAttributeBlock(std::size_t size, std::uint8_t& sizeClass, std::uint32_t& page);
    void freeAttributeBlock(void* block, std::uint8_t sizeClass, std::uint32_t page) noexcept {
        attributeBlocks_.deallocate(block, sizeClass, page);
    }
    // Records that node, from the pages, owns memory of its own from now on: clearing runs its destructor.
    void keepForDestruction(const TdomNode* node) {
        if (node->sizeClass_ != NodeArena::kOwnMemory) arena_.markForDestruction(node, node->slot_);
    }
    // Records a node whose memory is not in the pages, so that clearing finds it too.
    void addOutsideNode(TdomNode* node);
    void removeOutsideNode(TdomNode* node);
    void freeNode(TdomNode* node);
    void destroyNodeOnly(TdomNode* node);
    // Frees the parentless root with its subtree; formerParent as for nodeDestroying.
    void destroySubtree(TdomNode* root, TdomNode* formerParent);
    TdomNode* importShallow(TdomNode* source);
    TdomElement* importElement(TdomElement* source);
    void addDefaultAttributes(TdomElement* element);
    void clearDocument();
    void checkDocumentElementName(std::u16string_view namespaceURI, std::u16string_view qualifiedName) const;
    // Takes a document type from the implementation's registry into this document.
    void adoptDocumentType(TdomDocumentType* doctype);

    std::u16string baseUri_;
    // Nodes created and not yet freed.
    std::size_t nodeCount_ = 0;
    // The nodes whose memory is not in the arena's pages (each keeps its position in slot_).
    std::vector<TdomNode*> outsideNodes_;
    std::vector<std::unique_ptr<TdomTraversalObject>> nodeIterators_;
    std::vector<std::unique_ptr<TdomTraversalObject>> treeWalkers_;
    std::vector<std::unique_ptr<TdomNodeList>> elementLists_;
    std::vector<std::unique_ptr<TdomNodeList>> elementListsNS_;
    std::unique_ptr<TdomWideStringList> idList_;
    TdomCMObject* contentModel_ = nullptr;
    std::u16string systemId_;
    TDomImplementation* implementation_;
    std::u16string encoding_;
    std::u16string standalone_;
    std::u16string version_;
    std::unordered_set<std::u16string, NameHash, NameEqual> names_;
    // Recently interned names (see intern), each marked once it has passed checkName; cleared with
    // names_. An entry keeps the units and length of its name beside it, so that a hit is decided
    // without reading the interned string itself.
    struct CachedName {
        const std::u16string* name = nullptr;
        const char16_t* units = nullptr;
        std::size_t length = 0;
        bool checked = false;
        bool holds(std::u16string_view candidate) const;
    };
    // Two entries per set: two names of a document that fall into one set do not push each other out.
    static constexpr int kInternCacheSetBits = 7;
    static constexpr std::size_t kInternCacheWays = 2;
    CachedName internCache_[kInternCacheWays << kInternCacheSetBits] = {};
    // The set where name is cached, and the entry of that set holding it (nullptr if none).
    CachedName* cachedSet(std::u16string_view name);
    static CachedName* findCached(CachedName* set, std::u16string_view name);
    // Interns a name the cache did not hold and makes it the set's first entry, which is returned.
    CachedName& internUncached(CachedName* set, std::u16string_view name);
    // internCheckedName for a name the cache did not hold as checked (cached: its entry, if any). Kept
    // out of line, so that a hit costs no saving of registers for the calls made here.
    [[gnu::noinline]] const std::u16string* internAndCheck(CachedName* set, CachedName* cached,
                                                           std::u16string_view name);
    // Kept beside the nodes, for the few nodes that have them.
    std::unordered_map<const TdomNode*, TdomNamespaceParts> namespaceParts_;
    std::unordered_map<const TdomNode*, std::unique_ptr<TdomElementListCaches>> elementListCaches_;
    NodeArena arena_;
    NodeArena attributeBlocks_;
    TdomTextStore textStore_;
};
