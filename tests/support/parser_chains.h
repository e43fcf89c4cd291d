#pragma once

// The parser's chains wired as the program wires them, each over an implementation of its own and
// recording every report it makes: the document chain (reader -> well-formedness test -> builder)
// and the parser front.

#include <string>
#include <vector>

#include "dom/document.h"
#include "dom/implementation.h"
#include "front/xml_to_dom_parser.h"
#include "parser/doc_builder.h"
#include "parser/doc_reader.h"
#include "parser/wf_test_content_handler.h"
#include "text/input_source.h"
#include "text/parser_error.h"

enum class ReportSeverity { fatal, error, warning };

// A report, flattened; message is its English text.
struct ReportedError {
    ReportSeverity severity = ReportSeverity::fatal;
    std::string errorClass;
    std::u16string code;
    std::string systemId;
    std::string message;
    int startLine = 0, startColumn = 0, endLine = 0, endColumn = 0;
    const void* sender = nullptr;
};

// Reader -> well-formedness test -> builder into fresh documents of its own implementation.
struct DocumentChain {
    TDomImplementation implementation;
    TXmlCustomProcessorAgent agent;
    TXmlStandardDocReader reader;
    TXmlWFTestContentHandler wfTest;
    TXmlDocBuilder builder;
    TdomDocument* document = nullptr; // of the last run
    std::vector<ReportedError> reports;

    DocumentChain();
    DocumentChain(const DocumentChain&) = delete;
    DocumentChain& operator=(const DocumentChain&) = delete;

    // Parses the source (or the bytes) into a new document; true when the run ended without a record.
    bool parse(TXmlInputSource& source);
    bool parse(const std::string& bytes, const std::u16string& systemId = u"test.xml");

    std::string errorClass() const { return reports.empty() ? std::string() : reports.back().errorClass; }
};

// A parser front over its own implementation.
struct ParserFront {
    TDomImplementation implementation;
    TXmlToDomParser parser;
    std::vector<ReportedError> reports;
    int externalSubsetCalls = 0; // requests served by serveFiles or serveBytes

    ParserFront();
    ParserFront(const ParserFront&) = delete;
    ParserFront& operator=(const ParserFront&) = delete;

    // Serves each external subset from the file its system identifier names, relative to the folder
    // of the document that names it; the identifier becomes the file's path.
    void serveFiles();
    // Serves these bytes for every external subset and every external parsed entity.
    void serveBytes(const std::string& bytes);

    // The classes of the reports of one severity, and the codes, system identifiers and messages
    // of all, in the order reported.
    std::vector<std::string> classes(ReportSeverity severity) const;
    std::vector<std::u16string> codes() const;
    std::vector<std::string> systemIds() const;
    std::vector<std::string> messages() const;
};
