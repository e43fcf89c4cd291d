#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dom/implementation.h"
#include "dtd/cm_object.h"
#include "dtd/dtd_builder.h"
#include "dtd/dtd_reader.h"
#include "dtd/wf_test_dtd_handler.h"
#include "parser/error_handler.h"
#include "parser/parser_error.h"
#include "text/exception.h"
#include "text/input_source.h"
#include "text/stream.h"
#include "text/xml_memory_stream.h"

// Reads any bytes as an external DTD subset through the DTD chain (reader, well-formedness test,
// builder) into a fresh subset object; external parameter entities are served the same bytes.
// The properties checked: the run ends (with or without a record, or with one of the program's
// own exceptions), what was built checks itself and writes its declarations without a fault,
// and a successful run reports no record. Answers false when a property fails.
inline bool externalSubsetReadHolds(const std::uint8_t* data, std::size_t size) {
    TDomImplementation implementation;
    implementation.onExternalParsedEntity = [&](void*, const std::u16string&, std::u16string&, std::u16string&,
                                                TStream*& stream, TdomParserAction& action) {
        stream = new TMemoryStream(std::string(reinterpret_cast<const char*>(data), size));
        action = TdomParserAction::paOK;
    };
    TdomCMExternalObject* external = implementation.createExternalSubset(u"", u"fuzz.dtd");
    TdomCMInternalObject* internal = implementation.createInternalSubset(u"", u"");
    TXmlStandardDtdReader reader;
    TXmlWFTestDTDHandler wfTest;
    TXmlDtdBuilder builder;
    reader.setNextHandler(&wfTest);
    wfTest.setNextHandler(&builder);
    builder.setExternalTarget(external);
    builder.setInternalTarget(internal);
    int records = 0;
    auto count = [&](TXmlCustomProcessorAgent*, TXmlParserError& e) {
        ++records;
        e.errorMessage(TXmlMessageLanguage::en);
    };
    reader.OnError = count;
    reader.OnFatalError = count;
    reader.OnWarning = count;

    TXmlCustomProcessorAgent agent;
    bool ok = false;
    try {
        TXmlMemoryStream stream(data, static_cast<std::int64_t>(size));
        TXmlInputSource source(&stream, u"", u"fuzz.dtd");
        ok = reader.parseExternal(&agent, source);
    } catch (const Exception&) {
        return true; // the program's own exceptions reach the caller by design
    }
    if (ok != (records == 0)) return false;
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
