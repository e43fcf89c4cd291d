#pragma once

#include <string>
#include <string_view>

#include "dom/node.h"

// Live list of the elements below a start node (the document or an element) whose node name
// matches a query; "*" matches every element. The list keeps only its query: every call walks
// the start node's descendants again in document order (the start node itself is never listed),
// so the answers follow every change of the tree. Reading item(0) .. item(length() - 1) in a
// loop is therefore quadratic.
class TdomElementsNodeList : public TdomNodeList {
public:
    TdomElementsNodeList(std::u16string_view queryName, TdomNode* startNode);

    int length() const override;
    // The number of node among the matches; -1 for nullptr, a node that is not an element, or no match.
    int indexOf(const TdomNode* node) const override;
    TdomNode* item(int index) const override;

    const std::u16string& queryName() const { return queryName_; }
    TdomNode* startNode() const { return startNode_; }

private:
    bool matches(const TdomNode* node) const;

    std::u16string queryName_;
    TdomNode* startNode_;
};

// The same by namespace URI and local name; each query part may be "*".
class TdomElementsNodeListNS : public TdomNodeList {
public:
    TdomElementsNodeListNS(std::u16string_view queryNamespaceURI, std::u16string_view queryLocalName,
                           TdomNode* startNode);

    int length() const override;
    int indexOf(const TdomNode* node) const override;
    TdomNode* item(int index) const override;

    const std::u16string& queryNamespaceURI() const { return queryNamespaceURI_; }
    const std::u16string& queryLocalName() const { return queryLocalName_; }
    TdomNode* startNode() const { return startNode_; }

private:
    bool matches(const TdomNode* node) const;

    std::u16string queryNamespaceURI_;
    std::u16string queryLocalName_;
    TdomNode* startNode_;
};
