#include "parser/doc_builder.h"

#include <string_view>
#include <utility>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "dom/node.h"
#include "dom/processing_instruction.h"
#include "text/dom_exception.h"
#include "text/locator.h"
#include "text/name_value_list.h"
#include "text/parser_error.h"
#include "text/parser_exception.h"
#include "text/text_utils.h"
#include "text/xml_chars.h"

namespace {

bool isTextNode(const TdomNode* node) { return node && node->nodeType() == TdomNodeType::text; }

// The namespace name of an attribute name that the Namespaces recommendation binds itself.
bool reservedNamespace(const std::u16string& prefix, std::u16string& namespaceURI) {
    if (prefix == u"xml") {
        namespaceURI = kXmlNamespaceUri;
        return true;
    }
    if (prefix == u"xmlns") {
        namespaceURI = kXmlnsNamespaceUri;
        return true;
    }
    return false;
}

std::u16string prefixOf(const std::u16string& qualifiedName) {
    std::size_t colon = qualifiedName.find(u':');
    return colon == std::u16string::npos ? std::u16string() : qualifiedName.substr(0, colon);
}

struct InvalidAttributeValue {};

} // namespace

TXmlDocBuilder::TXmlDocBuilder() : prefixMappings_(std::make_unique<TdomNameValueList>()) {}

TXmlDocBuilder::~TXmlDocBuilder() = default;

TdomDocument* TXmlDocBuilder::document() const {
    if (!currentNode_) return nullptr;
    if (currentNode_->nodeType() == TdomNodeType::document) return static_cast<TdomDocument*>(currentNode_);
    return currentNode_->ownerDocument();
}

TXmlErrorRecord TXmlDocBuilder::appendNode(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                           TdomNode* node, std::u16string_view code, const char* errorClass) {
    try {
        currentNode_->appendChild(node);
        return nullptr;
    } catch (const Exception&) {
        // The code may be the node's own text, which goes with the node.
        const std::u16string codeOfRecord(code);
        if (TdomNode* parent = node->parentNode()) parent->removeChild(node);
        document()->destroyNode(node);
        return createError(processorAgent, locator, codeOfRecord, errorClass);
    }
}

TXmlErrorRecord TXmlDocBuilder::addText(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        const std::u16string& text, const std::u16string& code,
                                        const char* errorClass) {
    TdomNode* last = currentNode_->lastChild();
    if (isTextNode(last)) {
        try {
            static_cast<TdomText*>(last)->appendData(text);
            return nullptr;
        } catch (const Exception&) {
            return createError(processorAgent, locator, code, errorClass);
        }
    }
    TdomNode* node = nullptr;
    try {
        node = document()->createTextNode(text);
    } catch (const Exception&) {
        return createError(processorAgent, locator, code, errorClass);
    }
    return appendNode(processorAgent, locator, node, code, errorClass);
}

bool TXmlDocBuilder::lookupPrefix(const std::u16string& prefix, std::u16string& namespaceURI) const {
    for (int i = prefixMappings_->pairCount() - 1; i >= 0; --i) {
        if (prefixMappings_->nameAt(i) == prefix) {
            namespaceURI = prefixMappings_->valueAt(i);
            return true;
        }
    }
    return false;
}

TXmlErrorRecord TXmlDocBuilder::startDocument(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                              std::u16string&& data) {
    if (OnStartDocument) OnStartDocument(processorAgent, locator, data);
    prefixMappings_->clearPairs();
    if (currentNode_ && currentNode_->nodeType() == TdomNodeType::document)
        static_cast<TdomDocument*>(currentNode_)->setSystemId(locator ? locator->systemId() : std::u16string());
    return forward(&TXmlCustomHandler::startDocument, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlDocBuilder::doctype(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        std::u16string&& name, std::u16string&& pubId, std::u16string&& sysId,
                                        std::u16string&& data) {
    if (OnDoctype) OnDoctype(processorAgent, locator, name, pubId, sysId, data);
    if (currentNode_) {
        TdomNode* node = nullptr;
        try {
            node = document()->createDocumentType(name, pubId, sysId, data);
        } catch (const Exception&) {
            return createError(processorAgent, locator, data, EParserInvalidDoctype_Err::kClassName);
        }
        if (TXmlErrorRecord error =
                appendNode(processorAgent, locator, node, data, EParserInvalidDoctype_Err::kClassName))
            return error;
    }
    return forward(&TXmlCustomHandler::doctype, processorAgent, locator, std::move(name), std::move(pubId),
                   std::move(sysId), std::move(data));
}

bool TXmlDocBuilder::buildAttributeChildren(TdomDocument* document, TdomNode* attribute, const std::u16string& value) {
    auto appendText = [&](std::u16string_view text) {
        if (!checkCharData(text)) return false;
        attribute->appendChild(document->createTextNode(text));
        return true;
    };
    std::size_t position = 0;
    for (;;) {
        std::size_t ampersand = value.find(u'&', position);
        if (ampersand == std::u16string::npos) break;
        std::size_t semicolon = value.find(u';', ampersand);
        if (semicolon == std::u16string::npos) return false;
        if (ampersand > position && !appendText(std::u16string_view(value).substr(position, ampersand - position)))
            return false;
        std::u16string_view content = std::u16string_view(value).substr(ampersand + 1, semicolon - ampersand - 1);
        if (!content.empty() && content[0] == u'#') {
            std::u16string character =
                charRefText(std::u16string_view(value).substr(ampersand, semicolon - ampersand + 1));
            TdomNode* last = attribute->lastChild();
            if (isTextNode(last))
                static_cast<TdomText*>(last)->appendData(character);
            else
                attribute->appendChild(document->createTextNode(character));
        } else {
            if (!checkName(content)) return false;
            attribute->appendChild(document->createEntityReference(content));
        }
        position = semicolon + 1;
    }
    if (position < value.size() && !appendText(std::u16string_view(value).substr(position))) return false;
    return true;
}

const char* TXmlDocBuilder::buildAttributes(TdomElement* element, const std::u16string& elementNamespace,
                                            const TdomNameValueList& attributes, std::u16string& code) {
    TdomDocument* owner = document();
    const int count = attributes.pairCount();
    for (int i = 0; i < count; ++i) {
        const std::u16string& name = attributes.nameAt(i);
        const std::u16string& value = attributes.valueAt(i);
        std::u16string attributeNamespace;
        if (buildNamespaceTree_) {
            if (!checkQName(name)) {
                code = name;
                return EParserInvalidQualifiedName_Err::kClassName;
            }
            if (name == u"xmlns") {
                attributeNamespace = kXmlnsNamespaceUri;
            } else {
                std::u16string prefix = prefixOf(name);
                if (prefix.empty()) {
                    attributeNamespace = elementNamespace;
                } else if (!reservedNamespace(prefix, attributeNamespace) &&
                           !lookupPrefix(prefix, attributeNamespace)) {
                    code = name;
                    return EParserNamespaceURINotFound_Err::kClassName;
                }
            }
        }
        // From here on a failure names the value; it is copied into code only then.
        const char* failure = nullptr;
        if (!checkName(name)) {
            failure = EParserInvalidAttributeName_Err::kClassName;
        } else {
            try {
                if (value.find(u'&') == std::u16string::npos) {
                    if (!checkCharData(value)) {
                        failure = EParserInvalidAttributeValue_Err::kClassName;
                    } else if (buildNamespaceTree_) {
                        element->setAttributeNS(attributeNamespace, name, value);
                    } else {
                        element->setAttribute(name, value);
                    }
                } else {
                    TdomAttr* attribute = buildNamespaceTree_ ? owner->createAttributeNS(attributeNamespace, name)
                                                              : owner->createAttribute(name);
                    try {
                        if (buildNamespaceTree_)
                            element->setAttributeNodeNS(attribute);
                        else
                            element->setAttributeNode(attribute);
                    } catch (...) {
                        owner->destroyNode(attribute);
                        throw;
                    }
                    if (!buildAttributeChildren(owner, attribute, value))
                        failure = EParserInvalidAttributeValue_Err::kClassName;
                }
            } catch (const Exception&) {
                failure = EParserInvalidAttributeValue_Err::kClassName;
            }
        }
        if (failure) {
            code = value;
            return failure;
        }
    }
    return nullptr;
}

// The signals a document sends by the thousand (start and end tags, character data) are flattened:
// the work they call in this file is inlined, which saves a call and a frame for each part of it.
[[gnu::flatten]] TXmlErrorRecord TXmlDocBuilder::startElement(TXmlCustomProcessorAgent* processorAgent,
                                                              TdomStandardLocator* locator,
                                                              const std::u16string& namespaceURI,
                                                              const std::u16string& tagName,
                                                              TdomNameValueList& attributes) {
    return afterStartElementEvent(processorAgent, locator, namespaceURI, tagName, attributes,
                                  [&](const std::u16string& uri, const std::u16string& name) {
                                      return buildStartElement(processorAgent, locator, uri, name, attributes);
                                  });
}

TXmlErrorRecord TXmlDocBuilder::buildStartElement(TXmlCustomProcessorAgent* processorAgent,
                                                  TdomStandardLocator* locator, const std::u16string& namespaceURI,
                                                  const std::u16string& tagName, TdomNameValueList& attributes) {
    std::u16string elementNamespace;
    if (buildNamespaceTree_) {
        if (!checkQName(tagName))
            return createError(processorAgent, locator, tagName, EParserInvalidQualifiedName_Err::kClassName);
        std::u16string prefix = prefixOf(tagName);
        if (!lookupPrefix(prefix, elementNamespace) && !prefix.empty())
            return createError(processorAgent, locator, tagName, EParserNamespaceURINotFound_Err::kClassName);
    }
    if (currentNode_) {
        TdomDocument* owner = document();
        TdomElement* element = nullptr;
        try {
            element =
                buildNamespaceTree_ ? owner->createElementNS(elementNamespace, tagName) : owner->createElement(tagName);
        } catch (const Exception&) {
            throw EInternalParserException("Internal Parser Exception in TXmlDocBuilder.startElement");
        }
        std::u16string code;
        const char* failure = buildAttributes(element, elementNamespace, attributes, code);
        if (!failure) {
            try {
                currentNode_->appendChild(element);
            } catch (const Exception&) {
                failure = EParserInvalidAttributeValue_Err::kClassName;
                // The code names the value of the attribute being handled: none is left by now.
                code.clear();
                if (attributes.pairCount() > 0) code = attributes.valueAt(attributes.pairCount() - 1);
            }
        }
        if (failure) {
            if (TdomNode* parent = element->parentNode()) parent->removeChild(element);
            owner->destroyNode(element);
            return createError(processorAgent, locator, code, failure);
        }
        currentNode_ = element;
        if (OnNodeBuilt) OnNodeBuilt(element, locator);
    }
    return forward(&TXmlCustomHandler::startElement, processorAgent, locator, namespaceURI, tagName, attributes);
}

[[gnu::flatten]] TXmlErrorRecord TXmlDocBuilder::endElement(TXmlCustomProcessorAgent* processorAgent,
                                                            TdomStandardLocator* locator,
                                                            const std::u16string& namespaceURI,
                                                            const std::u16string& tagName) {
    return afterEndElementEvent(processorAgent, locator, namespaceURI, tagName,
                                [&](const std::u16string& uri, const std::u16string& name) {
                                    return buildEndElement(processorAgent, locator, uri, name);
                                });
}

TXmlErrorRecord TXmlDocBuilder::buildEndElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                const std::u16string& namespaceURI, const std::u16string& tagName) {
    if (currentNode_) {
        if (currentNode_->nodeType() != TdomNodeType::element || !sameUnits(currentNode_->nodeName(), tagName))
            return createError(processorAgent, locator, tagName, EParserMissingStartTag_Err::kClassName);
        currentNode_ = currentNode_->parentNode();
    }
    return forward(&TXmlCustomHandler::endElement, processorAgent, locator, namespaceURI, tagName);
}

[[gnu::flatten]] TXmlErrorRecord TXmlDocBuilder::PCDATA(TXmlCustomProcessorAgent* processorAgent,
                                                        TdomStandardLocator* locator, std::u16string&& data) {
    if (OnPCDATA) OnPCDATA(processorAgent, locator, data);
    if (currentNode_) {
        if (currentNode_->nodeType() == TdomNodeType::document) {
            if (!checkWhiteSpace(data))
                return createError(processorAgent, locator, data, EParserNotInRoot_Err::kClassName);
        } else if (!NextHandler() && !isTextNode(currentNode_->lastChild())) {
            // Nobody needs the text after this handler: the new node takes the string over.
            TdomText* node = nullptr;
            try {
                node = document()->createTextNodeTaking(std::move(data));
            } catch (const Exception&) {
                return createError(processorAgent, locator, data, EParserInvalidCharacter_Err::kClassName);
            }
            return appendNode(processorAgent, locator, node, node->data(), EParserInvalidCharacter_Err::kClassName);
        } else if (TXmlErrorRecord error =
                       addText(processorAgent, locator, data, data, EParserInvalidCharacter_Err::kClassName)) {
            return error;
        }
    }
    return forward(&TXmlCustomHandler::PCDATA, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlDocBuilder::charRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        std::u16string&& data) {
    if (OnCharRef) OnCharRef(processorAgent, locator, data);
    if (currentNode_) {
        std::u16string character;
        try {
            character = charRefText(data);
        } catch (const Exception&) {
            return createError(processorAgent, locator, data, EParserInvalidCharRef_Err::kClassName);
        }
        if (TXmlErrorRecord error =
                addText(processorAgent, locator, character, data, EParserInvalidCharRef_Err::kClassName))
            return error;
    }
    return forward(&TXmlCustomHandler::charRef, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlDocBuilder::CDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                      std::u16string&& data) {
    if (OnCDATA) OnCDATA(processorAgent, locator, data);
    if (currentNode_) {
        TdomNode* node = nullptr;
        try {
            node = document()->createCDATASection(data);
        } catch (const Exception&) {
            return createError(processorAgent, locator, data, EParserInvalidCDATASection_Err::kClassName);
        }
        if (TXmlErrorRecord error =
                appendNode(processorAgent, locator, node, data, EParserInvalidCDATASection_Err::kClassName))
            return error;
    }
    return forward(&TXmlCustomHandler::CDATA, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlDocBuilder::comment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        std::u16string&& data) {
    if (OnComment) OnComment(processorAgent, locator, data);
    if (currentNode_) {
        TdomNode* node = nullptr;
        try {
            node = document()->createComment(data);
        } catch (const Exception&) {
            return createError(processorAgent, locator, data, EParserInvalidComment_Err::kClassName);
        }
        if (TXmlErrorRecord error =
                appendNode(processorAgent, locator, node, data, EParserInvalidComment_Err::kClassName))
            return error;
    }
    return forward(&TXmlCustomHandler::comment, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlDocBuilder::processingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                      TdomStandardLocator* locator, std::u16string&& targ,
                                                      std::u16string&& data) {
    if (OnProcessingInstruction) OnProcessingInstruction(processorAgent, locator, targ, data);
    if (currentNode_) {
        TdomNode* node = nullptr;
        try {
            node = document()->createProcessingInstruction(targ, data);
        } catch (const Exception&) {
            return createError(processorAgent, locator, targ, EParserInvalidProcessingInstruction_Err::kClassName);
        }
        if (TXmlErrorRecord error =
                appendNode(processorAgent, locator, node, targ, EParserInvalidProcessingInstruction_Err::kClassName))
            return error;
    }
    return forward(&TXmlCustomHandler::processingInstruction, processorAgent, locator, std::move(targ),
                   std::move(data));
}

TXmlErrorRecord TXmlDocBuilder::entityRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                          std::u16string&& data) {
    if (OnEntityRef) OnEntityRef(processorAgent, locator, data);
    if (currentNode_) {
        TdomNode* node = nullptr;
        try {
            node = document()->createEntityReference(data);
        } catch (const Exception&) {
            return createError(processorAgent, locator, data, EParserInvalidEntityName_Err::kClassName);
        }
        if (TXmlErrorRecord error =
                appendNode(processorAgent, locator, node, data, EParserInvalidEntityName_Err::kClassName))
            return error;
        if (OnNodeBuilt) OnNodeBuilt(node, locator);
    }
    return forward(&TXmlCustomHandler::entityRef, processorAgent, locator, std::move(data));
}

TXmlErrorRecord TXmlDocBuilder::startPrefixMapping(TXmlCustomProcessorAgent* processorAgent,
                                                   TdomStandardLocator* locator, std::u16string&& prefix,
                                                   std::u16string&& uri) {
    if (OnStartPrefixMapping) OnStartPrefixMapping(processorAgent, locator, prefix, uri);
    if (prefix == u"xmlns" && uri != kXmlnsNamespaceUri)
        return createError(processorAgent, locator, u"xmlns", EParserInvalidPrefix_Err::kClassName);
    if (!prefix.empty() && !checkNCName(prefix))
        return createError(processorAgent, locator, prefix, EParserInvalidPrefix_Err::kClassName);
    if (!checkAttValue(u"\"" + uri + u"\"") && !checkAttValue(u"'" + uri + u"'"))
        return createError(processorAgent, locator, uri, EParserInvalidNamespaceURI_Err::kClassName);
    prefixMappings_->addPair(prefix, uri);
    return forward(&TXmlCustomHandler::startPrefixMapping, processorAgent, locator, std::move(prefix), std::move(uri));
}

TXmlErrorRecord TXmlDocBuilder::endPrefixMapping(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                 std::u16string&& data) {
    if (OnEndPrefixMapping) OnEndPrefixMapping(processorAgent, locator, data);
    int count = prefixMappings_->pairCount();
    if (count == 0 || prefixMappings_->nameAt(count - 1) != data)
        return createError(processorAgent, locator, data, EParserWrongPrefixMappingNesting_Err::kClassName);
    prefixMappings_->deletePair(count - 1);
    return forward(&TXmlCustomHandler::endPrefixMapping, processorAgent, locator, std::move(data));
}

void TXmlDocBuilder::reset() {
    prefixMappings_->clearPairs();
    TXmlCustomContentHandler::reset();
}
