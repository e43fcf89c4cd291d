#pragma once

// Entry of the document-chain fuzz target, shared with the test that replays its seeds: arbitrary
// bytes go through the input source, the reader, the well-formedness test and the builder into a
// fresh document. Every input must end in a document or in exactly one reported record (or in
// one of the parser's own exceptions), never in a fault.

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
    if (ok) return chain.reports.empty() && chain.document->documentElement() != nullptr;
    return chain.reports.size() == 1;
}
