#include "dom/element_lists.h"

#include <cstddef>
#include <memory>
#include <vector>

#include "dom/document.h"
#include "dom/element.h"

namespace {

constexpr std::u16string_view kWildcard = u"*";

// Visits the descendants of start in document order (pre-order, children in order), start itself
// excluded, with an explicit stack so that deep trees cannot exhaust the call stack. visit(node)
// answers true to end the walk early; the function answers whether it was ended early.
template <class Visit> bool walkDescendants(const TdomNode* start, Visit&& visit) {
    if (!start || !start->hasChildNodes()) return false;
    struct Frame {
        const TdomNodeVector* children;
        std::size_t next;
    };
    std::vector<Frame> stack;
    stack.push_back({&start->children(), 0});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.children->size()) {
            stack.pop_back();
            continue;
        }
        TdomNode* node = (*frame.children)[frame.next++];
        if (visit(node)) return true;
        if (node->hasChildNodes()) stack.push_back({&node->children(), 0});
    }
    return false;
}

// The three list operations over any match predicate.
template <class Matches> int countMatches(const TdomNode* start, Matches&& matches) {
    int count = 0;
    walkDescendants(start, [&](const TdomNode* node) {
        if (matches(node)) ++count;
        return false;
    });
    return count;
}

template <class Matches> TdomNode* matchAt(const TdomNode* start, int index, Matches&& matches) {
    if (index < 0) return nullptr;
    TdomNode* found = nullptr;
    int seen = 0;
    walkDescendants(start, [&](TdomNode* node) {
        if (!matches(node)) return false;
        if (seen++ == index) {
            found = node;
            return true;
        }
        return false;
    });
    return found;
}

template <class Matches> int numberOfMatch(const TdomNode* start, const TdomNode* wanted, Matches&& matches) {
    if (!wanted || wanted->nodeType() != TdomNodeType::element || !matches(wanted)) return -1;
    int seen = 0;
    bool found = walkDescendants(start, [&](const TdomNode* node) {
        if (!matches(node)) return false;
        if (node == wanted) return true;
        ++seen;
        return false;
    });
    return found ? seen : -1;
}

// The cached list of a query, created and cached on first use. A cache holds lists of one class only.
TdomElementsNodeList* cachedList(std::vector<std::unique_ptr<TdomNodeList>>& cache, std::u16string_view name,
                                 TdomNode* start) {
    for (auto& list : cache) {
        auto* byName = static_cast<TdomElementsNodeList*>(list.get());
        if (byName->queryName() == name) return byName;
    }
    cache.push_back(std::make_unique<TdomElementsNodeList>(name, start));
    return static_cast<TdomElementsNodeList*>(cache.back().get());
}

TdomElementsNodeListNS* cachedList(std::vector<std::unique_ptr<TdomNodeList>>& cache, std::u16string_view namespaceURI,
                                   std::u16string_view localName, TdomNode* start) {
    for (auto& list : cache) {
        auto* byNamespace = static_cast<TdomElementsNodeListNS*>(list.get());
        if (byNamespace->queryNamespaceURI() == namespaceURI && byNamespace->queryLocalName() == localName)
            return byNamespace;
    }
    cache.push_back(std::make_unique<TdomElementsNodeListNS>(namespaceURI, localName, start));
    return static_cast<TdomElementsNodeListNS*>(cache.back().get());
}

} // namespace

TdomElementsNodeList* TdomDocument::getElementsByTagName(std::u16string_view name) {
    return cachedList(elementListCache(), name, this);
}

TdomElementsNodeListNS* TdomDocument::getElementsByTagNameNS(std::u16string_view namespaceURI,
                                                             std::u16string_view localName) {
    return cachedList(elementListCacheNS(), namespaceURI, localName, this);
}

TdomElementsNodeList* TdomElement::getElementsByTagName(std::u16string_view name) {
    return cachedList(elementListCache(), name, this);
}

TdomElementsNodeListNS* TdomElement::getElementsByTagNameNS(std::u16string_view namespaceURI,
                                                            std::u16string_view localName) {
    return cachedList(elementListCacheNS(), namespaceURI, localName, this);
}

TdomElementsNodeList::TdomElementsNodeList(std::u16string_view queryName, TdomNode* startNode)
    : TdomNodeList(nullptr), queryName_(queryName), startNode_(startNode) {}

bool TdomElementsNodeList::matches(const TdomNode* node) const {
    return node->nodeType() == TdomNodeType::element && (queryName_ == kWildcard || node->nodeName() == queryName_);
}

int TdomElementsNodeList::length() const {
    return countMatches(startNode_, [this](const TdomNode* node) { return matches(node); });
}

int TdomElementsNodeList::indexOf(const TdomNode* node) const {
    return numberOfMatch(startNode_, node, [this](const TdomNode* n) { return matches(n); });
}

TdomNode* TdomElementsNodeList::item(int index) const {
    return matchAt(startNode_, index, [this](const TdomNode* node) { return matches(node); });
}

TdomElementsNodeListNS::TdomElementsNodeListNS(std::u16string_view queryNamespaceURI,
                                               std::u16string_view queryLocalName, TdomNode* startNode)
    : TdomNodeList(nullptr), queryNamespaceURI_(queryNamespaceURI), queryLocalName_(queryLocalName),
      startNode_(startNode) {}

bool TdomElementsNodeListNS::matches(const TdomNode* node) const {
    return node->nodeType() == TdomNodeType::element &&
           (queryNamespaceURI_ == kWildcard || node->namespaceURI() == queryNamespaceURI_) &&
           (queryLocalName_ == kWildcard || node->localName() == queryLocalName_);
}

int TdomElementsNodeListNS::length() const {
    return countMatches(startNode_, [this](const TdomNode* node) { return matches(node); });
}

int TdomElementsNodeListNS::indexOf(const TdomNode* node) const {
    return numberOfMatch(startNode_, node, [this](const TdomNode* n) { return matches(n); });
}

TdomNode* TdomElementsNodeListNS::item(int index) const {
    return matchAt(startNode_, index, [this](const TdomNode* node) { return matches(node); });
}
