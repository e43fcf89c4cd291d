#include "tests/support/parser_chains.h"

#include "text/file_io.h"
#include "text/stream.h"
#include "text/utf8.h"
#include "text/xml_memory_stream.h"

namespace {

ReportedError flatten(ReportSeverity severity, const void* sender, TXmlParserError& e) {
    return {severity,
            e.errorClass(),
            e.code(),
            utf16ToUtf8(e.systemId()),
            utf16ToUtf8(e.errorMessage(TXmlMessageLanguage::en)),
            e.startLine(),
            e.startColumn(),
            e.endLine(),
            e.endColumn(),
            sender};
}

} // namespace

DocumentChain::DocumentChain() {
    reader.setNextHandler(&wfTest);
    wfTest.setNextHandler(&builder);
    auto recordAs = [this](ReportSeverity severity) {
        return [this, severity](TXmlCustomProcessorAgent* sender, TXmlParserError& e) {
            reports.push_back(flatten(severity, sender, e));
        };
    };
    reader.OnFatalError = recordAs(ReportSeverity::fatal);
    reader.OnError = recordAs(ReportSeverity::error);
    reader.OnWarning = recordAs(ReportSeverity::warning);
}

bool DocumentChain::parse(TXmlInputSource& source) {
    document = implementation.createEmptyDocument();
    builder.setReferenceNode(document);
    const bool ok = reader.parse(&agent, source);
    builder.setReferenceNode(nullptr);
    return ok;
}

bool DocumentChain::parse(const std::string& bytes, const std::u16string& systemId) {
    TXmlMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    TXmlInputSource source(&stream, u"", systemId);
    return parse(source);
}

ParserFront::ParserFront() {
    parser.setDOMImpl(&implementation);
    auto recordAs = [this](ReportSeverity severity) {
        return [this, severity](TXmlToDomParser* sender, TXmlParserError& e) {
            reports.push_back(flatten(severity, sender, e));
        };
    };
    parser.OnFatalError = recordAs(ReportSeverity::fatal);
    parser.OnError = recordAs(ReportSeverity::error);
    parser.OnWarning = recordAs(ReportSeverity::warning);
}

void ParserFront::serveFiles() {
    parser.OnExternalSubset = [this](void*, const std::u16string& parent, std::u16string&, std::u16string& systemId,
                                     TStream*& stream, TXmlParserAction& action) {
        ++externalSubsetCalls;
        const std::string path = directoryOf(utf16ToUtf8(parent)) + utf16ToUtf8(systemId);
        systemId = utf8ToUtf16(path);
        stream = new TMemoryStream(readWholeFile(path));
        action = TXmlParserAction::paOK;
    };
}

void ParserFront::serveBytes(const std::string& bytes) {
    auto serve = [this, bytes](void*, const std::u16string&, std::u16string&, std::u16string&, TStream*& stream,
                               TXmlParserAction& action) {
        ++externalSubsetCalls;
        stream = new TMemoryStream(bytes);
        action = TXmlParserAction::paOK;
    };
    parser.OnExternalSubset = serve;
    implementation.onExternalParsedEntity = serve;
}

std::vector<std::string> ParserFront::classes(ReportSeverity severity) const {
    std::vector<std::string> list;
    for (const ReportedError& report : reports)
        if (report.severity == severity) list.push_back(report.errorClass);
    return list;
}

std::vector<std::u16string> ParserFront::codes() const {
    std::vector<std::u16string> list;
    for (const ReportedError& report : reports) list.push_back(report.code);
    return list;
}

std::vector<std::string> ParserFront::systemIds() const {
    std::vector<std::string> list;
    for (const ReportedError& report : reports) list.push_back(report.systemId);
    return list;
}

std::vector<std::string> ParserFront::messages() const {
    std::vector<std::string> list;
    for (const ReportedError& report : reports) list.push_back(report.message);
    return list;
}
