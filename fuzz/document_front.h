#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dom/document.h"
#include "dom/implementation.h"
#include "front/xml_to_dom_parser.h"
#include "text/exception.h"
#include "text/parser_error.h"
#include "text/stream.h"

// The input of the document-front fuzz target: a document, optionally followed by the separator
// line and the bytes that every external subset and external entity it asks for is served.
inline constexpr std::string_view kDocumentFrontSeparator = "\n%%DTD%%\n";

struct DocumentFrontOutcome {
    bool raised = false;
    int reports = 0;
    std::string text; // the document written as UTF-8, or the exception's message
};

// Reads the document through one parser front: memoryToDocument with an external-subset callback
// and an external-entity callback serving the second part.
inline DocumentFrontOutcome readThroughFront(TXmlToDomParser& parser, TDomImplementation& implementation,
                                             std::string_view document, std::string_view served, bool& holds) {
    DocumentFrontOutcome outcome;
    auto serve = [served](void*, const std::u16string&, std::u16string&, std::u16string&, TStream*& stream,
                          TXmlParserAction& action) {
        stream = new TMemoryStream(std::string(served));
        action = TXmlParserAction::paOK;
    };
    parser.OnExternalSubset = serve;
    implementation.onExternalParsedEntity = serve;
    auto count = [&outcome](TXmlToDomParser*, TXmlParserError& e) {
        ++outcome.reports;
        e.errorMessage(TXmlMessageLanguage::en);
    };
    parser.OnError = count;
    parser.OnFatalError = count;
    parser.OnWarning = count;

    // memoryToDocument insists on a pointer, also for no bytes.
    static const char kNothing = 0;
    TdomDocument* result = nullptr;
    try {
        result = parser.memoryToDocument(document.empty() ? &kNothing : document.data(), document.size());
    } catch (const Exception& e) {
        outcome.raised = true;
        outcome.text = e.message();
        // What the failed run made is freed again.
        holds = holds && implementation.documents().length() == 0 && implementation.contentModels().empty();
        return outcome;
    }
    holds = holds && result != nullptr && result->contentModel() != nullptr;
    try {
        outcome.text = result->codeAsUtf8();
    } catch (const Exception& e) {
        outcome.text = "write: " + e.message();
    }
    implementation.releaseAll();
    return outcome;
}

// The properties checked: every run ends (with or without records, or with one of the program's
// own exceptions, after which nothing of the run is left in the implementation), and a second run
// of the same front over the same input gives the same outcome, so no run leaves state behind.
// Answers false when a property fails.
inline bool documentFrontReadHolds(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find(kDocumentFrontSeparator);
    const std::string_view document = input.substr(0, cut);
    const std::string_view served =
        cut == std::string_view::npos ? std::string_view() : input.substr(cut + kDocumentFrontSeparator.size());

    TDomImplementation implementation;
    TXmlToDomParser parser;
    parser.setDOMImpl(&implementation);
    bool holds = true;
    const DocumentFrontOutcome first = readThroughFront(parser, implementation, document, served, holds);
    const DocumentFrontOutcome second = readThroughFront(parser, implementation, document, served, holds);
    return holds && first.raised == second.raised && first.reports == second.reports && first.text == second.text;
}
