#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dom/document.h"
#include "front/entity_constraints.h"
#include "fuzz/document_front.h"
#include "tests/support/parser_chains.h"
#include "text/error_handler.h"
#include "text/exception.h"
#include "text/stream.h"

// The checks that `pointmark-xml check` and `validate` run after a parse, on documents as the
// document-front target reads them (a document, optionally followed by the separator line and the
// bytes served for every external subset and external entity): the entity constraints, then
// validation against the DTD. Deep nesting, entity expansions and nested content models must end
// without a fault or a hang, and twice with the same outcome.

struct DocumentChecksOutcome {
    bool parsed = false;
    bool entitiesHold = false;
    bool valid = false;
    std::size_t reports = 0;
};

inline DocumentChecksOutcome checkThroughFront(std::string_view document, const std::string& served) {
    ParserFront front;
    front.serveBytes(served);
    DocumentChecksOutcome outcome;
    static const char kNothing = 0;
    TdomDocument* result = nullptr;
    try {
        result = front.parser.memoryToDocument(document.empty() ? &kNothing : document.data(), document.size());
    } catch (const Exception&) {
        return outcome;
    }
    outcome.parsed = result != nullptr;
    if (!result) return outcome;
    TdomStandardErrorHandler handler;
    const TExternalEntityOpener open = [&served](const std::u16string&, bool) -> std::unique_ptr<TStream> {
        return std::make_unique<TMemoryStream>(served);
    };
    try {
        outcome.entitiesHold = checkEntityConstraints(result, &handler, open);
        if (outcome.entitiesHold && result->documentElement()) outcome.valid = result->validate(&handler, 0);
    } catch (const Exception&) {
        // A fatal report raised by the standard handler ends the checks; what it found stays counted.
    }
    outcome.reports = handler.errorList().size();
    return outcome;
}

inline bool documentChecksHold(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find(kDocumentFrontSeparator);
    const std::string served =
        cut == std::string_view::npos ? std::string() : std::string(input.substr(cut + kDocumentFrontSeparator.size()));
    const std::string_view document = input.substr(0, cut);
    const DocumentChecksOutcome first = checkThroughFront(document, served);
    const DocumentChecksOutcome second = checkThroughFront(document, served);
    return first.parsed == second.parsed && first.entitiesHold == second.entitiesHold && first.valid == second.valid &&
           first.reports == second.reports;
}
