#pragma once

// Entry of the document-chain fuzz target, shared with the test that replays its seeds: arbitrary
// bytes go through the input source, the reader, the well-formedness test and the builder into a
// fresh document. Every input must end in a document or in exactly one reported fatal record (or
// in one of the parser's own exceptions), never in a fault; records of error or warning severity
// (an unusable encoding declaration) are told on the way and do not end the run.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "tests/support/parser_chains.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/xml_memory_stream.h"

// False when the chain broke one of its promises for these bytes.
inline bool documentChainHolds(const std::uint8_t* data, std::size_t size) {
    DocumentChain chain;
    TXmlMemoryStream stream(data, static_cast<std::int64_t>(size));
    bool ok = false;
    try {
        TXmlInputSource source(&stream, u"", u"fuzz.xml");
        try {
            (void)source.entityText();
        } catch (const Exception&) {
            // Undecodable bytes: the reader reports them as a record below.
        }
        ok = chain.parse(source);
    } catch (const Exception&) {
        // The parser's own exceptions (a malformed XML declaration) are a defined outcome.
        return true;
    }
    // Records of error or warning severity (an unusable encoding declaration) are told on the way
    // and do not end the run.
    const auto fatalReports = std::count_if(chain.reports.begin(), chain.reports.end(),
                                            [](const ReportedError& r) { return r.severity == ReportSeverity::fatal; });
    if (ok) return fatalReports == 0 && chain.document->documentElement() != nullptr;
    return fatalReports == 1;
}
