#pragma once

// Entry of the document-chain fuzz target, shared with the test that replays its seeds: arbitrary
// bytes go through the input source, the reader, the well-formedness test and the builder into a
// fresh document. Every input must end in a document or in exactly one reported fatal record (or
// in one of the parser's own exceptions), never in a fault; records of error or warning severity
// (an unusable encoding declaration) are told on the way and do not end the run.

#include <cstddef>
#include <cstdint>

#include "dom/document.h"
#include "dom/implementation.h"
#include "parser/doc_builder.h"
#include "parser/doc_reader.h"
#include "parser/wf_test_content_handler.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/parser_error.h"
#include "text/xml_memory_stream.h"

// False when the chain broke one of its promises for these bytes.
inline bool documentChainHolds(const std::uint8_t* data, std::size_t size) {
    TDomImplementation implementation;
    TXmlCustomProcessorAgent agent;
    TXmlStandardDocReader reader;
    TXmlWFTestContentHandler wfTest;
    TXmlDocBuilder builder;
    reader.setNextHandler(&wfTest);
    wfTest.setNextHandler(&builder);
    int fatalReports = 0;
    auto count = [&](TXmlCustomProcessorAgent*, TXmlParserError& e) {
        if (e.errorType() == TXmlErrorType::fatal) ++fatalReports;
        (void)e.errorMessage(TXmlMessageLanguage::en);
    };
    reader.OnFatalError = count;
    reader.OnError = count;
    reader.OnWarning = count;

    TdomDocument* document = implementation.createEmptyDocument();
    builder.setReferenceNode(document);
    TXmlMemoryStream stream(data, static_cast<std::int64_t>(size));
    bool ok = false;
    try {
        TXmlInputSource source(&stream, u"", u"fuzz.xml");
        try {
            (void)source.entityText();
        } catch (const Exception&) {
            // Undecodable bytes: the reader reports them as a record below.
        }
        ok = reader.parse(&agent, source);
    } catch (const Exception&) {
        // The parser's own exceptions (a malformed XML declaration) are a defined outcome.
        return true;
    }
    if (ok) return fatalReports == 0 && document->documentElement() != nullptr;
    return fatalReports == 1;
}
