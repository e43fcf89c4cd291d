#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dom/document.h"
#include "tests/support/parser_chains.h"
#include "text/exception.h"

// The input of the document-front fuzz target: a document, optionally followed by the separator
// line and the bytes that every external subset and external entity it asks for is served.
inline constexpr std::string_view kDocumentFrontSeparator = "\n%%DTD%%\n";

struct DocumentFrontOutcome {
    bool raised = false;
    int reports = 0;
    std::string text; // the document written as UTF-8, or the exception's message
};

// Reads the document through the parser front: memoryToDocument with an external-subset callback
// and an external-entity callback serving the second part.
inline DocumentFrontOutcome readThroughFront(ParserFront& front, std::string_view document, bool& holds) {
    DocumentFrontOutcome outcome;
    front.reports.clear();
    // memoryToDocument insists on a pointer, also for no bytes.
    static const char kNothing = 0;
    TdomDocument* result = nullptr;
    try {
        result = front.parser.memoryToDocument(document.empty() ? &kNothing : document.data(), document.size());
    } catch (const Exception& e) {
        outcome.raised = true;
        outcome.reports = static_cast<int>(front.reports.size());
        outcome.text = e.message();
        // What the failed run made is freed again.
        holds = holds && front.implementation.documents().length() == 0 && front.implementation.contentModels().empty();
        return outcome;
    }
    outcome.reports = static_cast<int>(front.reports.size());
    holds = holds && result != nullptr && result->contentModel() != nullptr;
    try {
        outcome.text = result->codeAsUtf8();
    } catch (const Exception& e) {
        outcome.text = "write: " + e.message();
    }
    front.implementation.releaseAll();
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

    ParserFront front;
    front.serveBytes(std::string(served));
    bool holds = true;
    const DocumentFrontOutcome first = readThroughFront(front, document, holds);
    const DocumentFrontOutcome second = readThroughFront(front, document, holds);
    return holds && first.raised == second.raised && first.reports == second.reports && first.text == second.text;
}
