#pragma once

#include <functional>
#include <memory>
#include <string>

#include "parser/signal_chain.h"

class TdomDocument;
class TdomElement;
class TdomNode;

// The last handler of the document chain: turns content signals into DOM nodes below a reference
// node (for a document load, the new empty document). It keeps a current node, appends every new
// node to it, descends into each new element and climbs back on each end tag. All character data
// is kept, white space included, adjacent character data is merged into one text node, and entity
// references stay entity-reference nodes. DOM failures become fatal error records.
class TXmlDocBuilder : public TXmlCustomContentHandler {
public:
    TXmlDocBuilder();
    ~TXmlDocBuilder() override;

    // Namespace processing of element and attribute names; off by default.
    bool BuildNamespaceTree() const { return buildNamespaceTree_; }
    void setBuildNamespaceTree(bool on) { buildNamespaceTree_ = on; }

    // The node that receives the next new node. The front sets it to the reference node before a
    // run and clears it afterwards; nullptr makes the builder only forward signals.
    TdomNode* currentNode() const { return currentNode_; }
    void setReferenceNode(TdomNode* node) { currentNode_ = node; }

    // Told of every element and entity reference once it is in the tree, with the locator of its
    // tag or reference, for callers that want to tell later where a node was read.
    std::function<void(TdomNode* node, const TdomStandardLocator* locator)> OnNodeBuilt;

    TXmlErrorRecord CDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                          std::u16string&& data) override;
    TXmlErrorRecord charRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            std::u16string&& data) override;
    TXmlErrorRecord comment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            std::u16string&& data) override;
    TXmlErrorRecord doctype(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            std::u16string&& name, std::u16string&& pubId, std::u16string&& sysId,
                            std::u16string&& data) override;
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
    TXmlErrorRecord startDocument(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                  std::u16string&& data) override;
    TXmlErrorRecord startElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                 const std::u16string& namespaceURI, const std::u16string& tagName,
                                 TdomNameValueList& attributes) override;
    TXmlErrorRecord startPrefixMapping(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                       std::u16string&& prefix, std::u16string&& uri) override;
    void reset() override;

private:
    // The document that creates the current node's new children.
    TdomDocument* document() const;
    // Appends node to the current node. When appending raises, the node is destroyed and the record
    // of errorClass for code is returned.
    TXmlErrorRecord appendNode(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator, TdomNode* node,
                               std::u16string_view code, const char* errorClass);
    // Adds text to the current node: to its last child when that is a text node, else as a new one.
    TXmlErrorRecord addText(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            const std::u16string& text, const std::u16string& code, const char* errorClass);
    // The namespace name of the most recent mapping of prefix; false when there is none.
    bool lookupPrefix(const std::u16string& prefix, std::u16string& namespaceURI) const;
    // Builds the attributes of element. On failure answers the error class and sets code.
    const char* buildAttributes(TdomElement* element, const std::u16string& elementNamespace,
                                const TdomNameValueList& attributes, std::u16string& code);
    // Builds the children of an attribute node from a value holding references; false when the
    // value is malformed.
    bool buildAttributeChildren(TdomDocument* document, TdomNode* attribute, const std::u16string& value);
    // The building of a start or end tag, after its event.
    TXmlErrorRecord buildStartElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                      const std::u16string& namespaceURI, const std::u16string& tagName,
                                      TdomNameValueList& attributes);
    TXmlErrorRecord buildEndElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                    const std::u16string& namespaceURI, const std::u16string& tagName);

    bool buildNamespaceTree_ = false;
    TdomNode* currentNode_ = nullptr;
    std::unique_ptr<TdomNameValueList> prefixMappings_;
};
