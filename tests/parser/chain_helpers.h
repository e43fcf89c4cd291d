#pragma once

// Test helpers: the shape of a built tree, and the signals a reader sends. The document chain
// itself is built by tests/support.

#include <memory>
#include <string>
#include <vector>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/implementation.h"
#include "dom/named_node_map.h"
#include "parser/doc_builder.h"
#include "parser/doc_reader.h"
#include "parser/wf_test_content_handler.h"
#include "tests/support/parser_chains.h"
#include "text/input_source.h"
#include "text/name_value_list.h"
#include "text/parser_error.h"
#include "text/utf8.h"
#include "text/xml_memory_stream.h"

inline std::string narrow(const std::u16string& text) { return utf16ToUtf8(text); }

// A compact picture of a subtree: e(children) for elements, t:, c:, !: for text, CDATA and
// comments, ?target, &name, D:name; attributes as @name(children) before the element's children.
inline std::string treeShape(const TdomNode* node) {
    std::string out;
    auto children = [&](const TdomNode* parent) {
        std::string list;
        for (const TdomNode* child : parent->children()) list += (list.empty() ? "" : ",") + treeShape(child);
        return list;
    };
    switch (node->nodeType()) {
    case TdomNodeType::element: {
        out = narrow(node->nodeName()) + "(";
        std::string inner;
        TdomNamedNodeMap* map = const_cast<TdomNode*>(node)->attributes();
        for (int i = 0; i < map->length(); ++i)
            inner += (inner.empty() ? "" : ",") +
                     ("@" + narrow(map->item(i)->nodeName()) + "(" + children(map->item(i)) + ")");
        std::string kids = children(node);
        if (!kids.empty()) inner += (inner.empty() ? "" : ",") + kids;
        return out + inner + ")";
    }
    case TdomNodeType::text:
        return "t:" + narrow(node->nodeValue());
    case TdomNodeType::cdataSection:
        return "c:" + narrow(node->nodeValue());
    case TdomNodeType::comment:
        return "!:" + narrow(node->nodeValue());
    case TdomNodeType::processingInstruction:
        return "?" + narrow(node->nodeName());
    case TdomNodeType::entityReference:
        return "&" + narrow(node->nodeName());
    case TdomNodeType::documentType:
        return "D:" + narrow(node->nodeName());
    default:
        return children(node);
    }
}

// A content handler that writes every signal it receives as one line.
class SignalRecorder : public TXmlCustomContentHandler {
public:
    std::vector<std::string> lines;

    TXmlErrorRecord CDATA(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& data) override {
        return add("CDATA(" + narrow(data) + ")");
    }
    TXmlErrorRecord charRef(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& data) override {
        return add("charRef(" + narrow(data) + ")");
    }
    TXmlErrorRecord comment(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& data) override {
        return add("comment(" + narrow(data) + ")");
    }
    TXmlErrorRecord doctype(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& name,
                            std::u16string&& pubId, std::u16string&& sysId, std::u16string&& data) override {
        return add("doctype(" + narrow(name) + "|" + narrow(pubId) + "|" + narrow(sysId) + "|" + narrow(data) + ")");
    }
    TXmlErrorRecord endDocument(TXmlCustomProcessorAgent*, TdomStandardLocator*) override { return add("endDocument"); }
    TXmlErrorRecord endElement(TXmlCustomProcessorAgent*, TdomStandardLocator*, const std::u16string& namespaceURI,
                               const std::u16string& tagName) override {
        return add("endElement(" + narrow(namespaceURI) + "|" + narrow(tagName) + ")");
    }
    TXmlErrorRecord entityRef(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& data) override {
        return add("entityRef(" + narrow(data) + ")");
    }
    TXmlErrorRecord PCDATA(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& data) override {
        return add("PCDATA(" + narrow(data) + ")");
    }
    TXmlErrorRecord processingInstruction(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& targ,
                                          std::u16string&& data) override {
        return add("PI(" + narrow(targ) + "|" + narrow(data) + ")");
    }
    TXmlErrorRecord startDocument(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& data) override {
        return add("startDocument(" + narrow(data) + ")");
    }
    TXmlErrorRecord startElement(TXmlCustomProcessorAgent*, TdomStandardLocator*, const std::u16string& namespaceURI,
                                 const std::u16string& tagName, TdomNameValueList& attributes) override {
        std::string line = "startElement(" + narrow(namespaceURI) + "|" + narrow(tagName);
        for (int i = 0; i < attributes.pairCount(); ++i)
            line += "|" + narrow(attributes.nameAt(i)) + "=" + narrow(attributes.valueAt(i));
        return add(line + ")");
    }
    TXmlErrorRecord xmlDeclaration(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& version,
                                   std::u16string&& encDl, std::u16string&& sdDl) override {
        return add("xmlDeclaration(" + narrow(version) + "|" + narrow(encDl) + "|" + narrow(sdDl) + ")");
    }
    void reset() override { lines.push_back("reset"); }

private:
    TXmlErrorRecord add(std::string line) {
        lines.push_back(std::move(line));
        return nullptr;
    }
};

// Runs the reader alone over bytes into a recorder; the records reported go to errors.
struct RecordedRun {
    TXmlCustomProcessorAgent agent;
    TXmlStandardDocReader reader;
    SignalRecorder recorder;
    std::vector<std::string> errors;
    bool ok = false;

    explicit RecordedRun(const std::string& bytes) {
        reader.setNextHandler(&recorder);
        reader.OnFatalError = [this](TXmlCustomProcessorAgent*, TXmlParserError& e) {
            errors.push_back(e.errorClass());
        };
        TXmlMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        TXmlInputSource source(&stream, u"", u"");
        ok = reader.parse(&agent, source);
    }
};
