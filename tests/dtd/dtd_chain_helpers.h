#pragma once

// Test helpers for the DTD side: a DTD handler that records the signals it receives, and runs of
// the DTD reader over UTF-8 text, alone or through the well-formedness test into a DTD builder.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dom/cm_object.h"
#include "dom/implementation.h"
#include "dtd/dtd_builder.h"
#include "dtd/dtd_reader.h"
#include "dtd/wf_test_dtd_handler.h"
#include "front/xml_to_dom_parser.h"
#include "text/input_source.h"
#include "text/parser_error.h"
#include "text/utf8.h"
#include "text/xml_memory_stream.h"

inline std::string u8(const std::u16string& text) { return utf16ToUtf8(text); }

// Writes every DTD signal as one line; answers findParameterEntity from entities.
class DtdSignalRecorder : public TXmlCustomDTDHandler {
public:
    std::vector<std::string> lines;
    std::map<std::u16string, std::u16string> entities;

    TXmlErrorRecord attributeDefinition(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& name,
                                        std::u16string&& attType, std::u16string&& bracket,
                                        std::u16string&& defaultDecl, std::u16string&& attValue) override {
        return add("attdef(" + u8(name) + "|" + u8(attType) + "|" + u8(bracket) + "|" + u8(defaultDecl) + "|" +
                   u8(attValue) + ")");
    }
    TXmlErrorRecord conditionalSection(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& includeStmt,
                                       std::u16string&& data) override {
        return add("cond(" + u8(includeStmt) + "|" + u8(data) + ")");
    }
    TXmlErrorRecord dtdComment(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& data) override {
        return add("comment(" + u8(data) + ")");
    }
    TXmlErrorRecord dtdProcessingInstruction(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& targ,
                                             std::u16string&& data) override {
        return add("pi(" + u8(targ) + "|" + u8(data) + ")");
    }
    TXmlErrorRecord elementTypeDeclaration(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& name,
                                           std::u16string&& data) override {
        return add("element(" + u8(name) + "|" + u8(data) + ")");
    }
    TXmlErrorRecord endAttListDeclaration(TXmlCustomProcessorAgent*, TdomStandardLocator*) override {
        return add("endattlist");
    }
    TXmlErrorRecord endExtDtd(TXmlCustomProcessorAgent*, TdomStandardLocator*) override { return add("endExt"); }
    TXmlErrorRecord endIntDtd(TXmlCustomProcessorAgent*, TdomStandardLocator*) override { return add("endInt"); }
    TXmlErrorRecord entityDeclaration(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& name,
                                      std::u16string&& entityValue, std::u16string&& pubId, std::u16string&& sysId,
                                      std::u16string&& notaName) override {
        return add("entity(" + u8(name) + "|" + u8(entityValue) + "|" + u8(pubId) + "|" + u8(sysId) + "|" +
                   u8(notaName) + ")");
    }
    TXmlErrorRecord notationDeclaration(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& name,
                                        std::u16string&& pubId, std::u16string&& sysId) override {
        return add("notation(" + u8(name) + "|" + u8(pubId) + "|" + u8(sysId) + ")");
    }
    TXmlErrorRecord parameterEntityDeclaration(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& name,
                                               std::u16string&& entityValue, std::u16string&& pubId,
                                               std::u16string&& sysId) override {
        return add("pentity(" + u8(name) + "|" + u8(entityValue) + "|" + u8(pubId) + "|" + u8(sysId) + ")");
    }
    TXmlErrorRecord parameterEntityRef(TXmlCustomProcessorAgent*, TdomStandardLocator*,
                                       std::u16string&& data) override {
        return add("peref(" + u8(data) + ")");
    }
    TXmlErrorRecord startAttListDeclaration(TXmlCustomProcessorAgent*, TdomStandardLocator*,
                                            std::u16string&& data) override {
        return add("attlist(" + u8(data) + ")");
    }
    TXmlErrorRecord startExtDtd(TXmlCustomProcessorAgent*, TdomStandardLocator*) override { return add("startExt"); }
    TXmlErrorRecord startIntDtd(TXmlCustomProcessorAgent*, TdomStandardLocator*) override { return add("startInt"); }
    TXmlErrorRecord textDeclaration(TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&& version,
                                    std::u16string&& encDl) override {
        return add("textdecl(" + u8(version) + "|" + u8(encDl) + ")");
    }
    TXmlErrorRecord findParameterEntity(TXmlCustomProcessorAgent*, TdomStandardLocator*, bool& found,
                                        std::u16string& replacementText, const std::u16string& name) override {
        auto it = entities.find(name);
        found = it != entities.end();
        replacementText = found ? it->second : std::u16string();
        return nullptr;
    }
    void reset() override {}

private:
    TXmlErrorRecord add(std::string line) {
        lines.push_back(std::move(line));
        return nullptr;
    }
};

// The records a reader reported, by class, with their codes.
struct ReportedRecords {
    std::vector<std::string> classes;
    std::vector<std::u16string> codes;

    void listenTo(TXmlCustomReader& reader) {
        auto record = [this](TXmlCustomProcessorAgent*, TXmlParserError& e) {
            classes.push_back(e.errorClass());
            codes.push_back(e.code());
        };
        reader.OnFatalError = record;
        reader.OnError = record;
        reader.OnWarning = record;
    }
    std::string last() const { return classes.empty() ? std::string() : classes.back(); }
};

// Runs a reader over UTF-8 bytes as an external or internal subset.
inline bool readDtd(TXmlStandardDtdReader& reader, const std::string& bytes, bool external,
                    const std::u16string& systemId = u"test.dtd") {
    TXmlCustomProcessorAgent agent;
    TXmlMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    TXmlInputSource source(&stream, u"", systemId);
    return external ? reader.parseExternal(&agent, source) : reader.parseInternal(&agent, source);
}

// The reader alone over a recorder.
struct RecordedDtdRun {
    TXmlStandardDtdReader reader;
    DtdSignalRecorder recorder;
    ReportedRecords reports;
    bool ok = false;

    RecordedDtdRun() {
        reader.setNextHandler(&recorder);
        reports.listenTo(reader);
    }
    RecordedDtdRun& run(const std::string& bytes, bool external = true) {
        recorder.lines.clear();
        ok = readDtd(reader, bytes, external);
        return *this;
    }
};

// Reader -> well-formedness test -> builder into subsets of an implementation of its own.
struct DtdBuildChain {
    TDomImplementation implementation;
    TXmlStandardDtdReader reader;
    TXmlWFTestDTDHandler wfTest;
    TXmlDtdBuilder builder;
    ReportedRecords reports;
    TdomCMExternalObject* external = nullptr;
    TdomCMInternalObject* internal = nullptr;

    explicit DtdBuildChain(const std::u16string& systemId = u"test.dtd") {
        reader.setNextHandler(&wfTest);
        wfTest.setNextHandler(&builder);
        reports.listenTo(reader);
        external = implementation.createExternalSubset(u"", systemId);
        internal = implementation.createInternalSubset(u"", u"");
        builder.setExternalTarget(external);
        builder.setInternalTarget(internal);
        builder.setNestedReader(&TXmlToDomParser::readNestedSubset);
    }
    bool readExternal(const std::string& bytes) { return readDtd(reader, bytes, true); }
    bool readInternal(const std::string& bytes) { return readDtd(reader, bytes, false); }
    // The declaration text of the subset's children, one per line.
    static std::string text(const TdomCMNode* subset) {
        std::string out;
        for (const TdomCMNode* child : subset->children()) out += u8(child->declarationText()) + "\n";
        return out;
    }
    static std::string parameterEntity(const TdomCustomCMIEObject* subset, const std::u16string& name) {
        const TdomNameValueList& list = subset->parameterEntityList();
        for (int i = 0; i < list.pairCount(); ++i)
            if (list.nameAt(i) == name) return u8(list.valueAt(i));
        return "<none>";
    }
};
