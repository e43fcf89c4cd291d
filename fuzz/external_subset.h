#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "dom/cm_object.h"
#include "tests/support/parser_chains.h"
#include "text/error_handler.h"
#include "text/exception.h"
#include "text/parser_exception.h"

// Reads any bytes as an external DTD subset through the parser front (memoryToExternalSubset:
// DTD reader, well-formedness test, builder) into a fresh subset object; external parameter
// entities are served the same bytes. The properties checked: the run ends (with or without a
// record, or with one of the program's own exceptions), a run reports a record that ends it (any
// but an unusable encoding declaration) exactly when it fails, and what was built checks itself
// and writes its declarations without a fault. Answers false when a property fails.
inline bool externalSubsetReadHolds(const std::uint8_t* data, std::size_t size) {
    ParserFront front;
    front.serveBytes(std::string(reinterpret_cast<const char*>(data), size));
    TdomCMExternalObject* external = front.implementation.createExternalSubset(u"", u"fuzz.dtd");

    static const std::uint8_t kEmpty = 0;
    bool ok = false;
    try {
        ok = front.parser.memoryToExternalSubset(size ? data : &kEmpty, size, u"", u"fuzz.dtd", external);
    } catch (const Exception&) {
        return true; // the program's own exceptions reach the caller by design
    }
    // Every record but an unusable encoding declaration, which is told while reading goes on, ends
    // the run.
    const bool ended = std::any_of(front.reports.begin(), front.reports.end(), [](const ReportedError& r) {
        return r.errorClass != EParserUnusable_Encoding_Declaration_Err::kClassName;
    });
    if (ok == ended) return false;
    TdomStandardErrorHandler handler;
    external->selfCheck(&handler);
    for (const TdomCMNode* child : external->children()) {
        try {
            child->declarationText();
        } catch (const Exception&) {
            return false;
        }
    }
    return true;
}
