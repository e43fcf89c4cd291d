#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dom/cm_object.h"
#include "dom/implementation.h"
#include "front/xml_to_dom_parser.h"
#include "text/error_handler.h"
#include "text/exception.h"
#include "text/parser_error.h"
#include "text/stream.h"

// Reads any bytes as an external DTD subset through the parser front (memoryToExternalSubset:
// DTD reader, well-formedness test, builder) into a fresh subset object; external parameter
// entities are served the same bytes. The properties checked: the run ends (with or without a
// record, or with one of the program's own exceptions), a run reports a record exactly when it
// fails, and what was built checks itself and writes its declarations without a fault. Answers
// false when a property fails.
inline bool externalSubsetReadHolds(const std::uint8_t* data, std::size_t size) {
    TDomImplementation implementation;
    implementation.onExternalParsedEntity = [&](void*, const std::u16string&, std::u16string&, std::u16string&,
                                                TStream*& stream, TdomParserAction& action) {
        stream = new TMemoryStream(std::string(reinterpret_cast<const char*>(data), size));
        action = TdomParserAction::paOK;
    };
    TdomCMExternalObject* external = implementation.createExternalSubset(u"", u"fuzz.dtd");
    TXmlToDomParser parser;
    parser.setDOMImpl(&implementation);
    int fatalRecords = 0;
    auto count = [&](TXmlToDomParser*, TXmlParserError& e) {
        if (e.errorType() == TXmlErrorType::fatal) ++fatalRecords;
        e.errorMessage(TXmlMessageLanguage::en);
    };
    parser.OnError = count;
    parser.OnFatalError = count;
    parser.OnWarning = count;

    static const std::uint8_t kEmpty = 0;
    bool ok = false;
    try {
        ok = parser.memoryToExternalSubset(size ? data : &kEmpty, size, u"", u"fuzz.dtd", external);
    } catch (const Exception&) {
        return true; // the program's own exceptions reach the caller by design
    }
    if (ok != (fatalRecords == 0)) return false;
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
