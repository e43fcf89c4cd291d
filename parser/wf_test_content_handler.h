#pragma once

#include <string>
#include <vector>

#include "parser/signal_chain.h"

// Checks every content signal against the well-formedness rules that the document reader leaves
// open: names, character data, nesting, one root element, and the place of the XML and document
// type declarations. The first violation is answered with a fatal record and the signal is not
// forwarded; a signal that passes is forwarded unchanged.
class TXmlWFTestContentHandler : public TXmlCustomContentHandler {
public:
    // Whether a run builds a whole document (one root element, nothing but white space, comments
    // and processing instructions outside it). On by default; set by the parser front.
    bool documentMode() const { return documentMode_; }
    void setDocumentMode(bool on) { documentMode_ = on; }

    TXmlErrorRecord CDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                          std::u16string&& data) override;
    TXmlErrorRecord charRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            std::u16string&& data) override;
    TXmlErrorRecord comment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            std::u16string&& data) override;
    TXmlErrorRecord doctype(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            std::u16string&& name, std::u16string&& pubId, std::u16string&& sysId,
                            std::u16string&& data) override;
    TXmlErrorRecord endDocument(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator) override;
    TXmlErrorRecord endElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                               const std::u16string& namespaceURI, const std::u16string& tagName) override;
    TXmlErrorRecord entityRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                              std::u16string&& data) override;
    TXmlErrorRecord PCDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                           std::u16string&& data) override;
    TXmlErrorRecord processingInstruction(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                          std::u16string&& targ, std::u16string&& data) override;
    TXmlErrorRecord skippedEntity(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                  std::u16string&& data) override;
    TXmlErrorRecord startDocument(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                  std::u16string&& data) override;
    TXmlErrorRecord startElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                 const std::u16string& namespaceURI, const std::u16string& tagName,
                                 TdomNameValueList& attributes) override;
    TXmlErrorRecord xmlDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                   std::u16string&& version, std::u16string&& encDl, std::u16string&& sdDl) override;
    void reset() override;

private:
    // Raises EParserException unless a run is active.
    void requireActive() const;
    TXmlErrorRecord fail(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                         const std::u16string& code, const char* errorClass) {
        return createError(processorAgent, locator, code, errorClass);
    }
    TXmlErrorRecord checkAttributes(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                    const TdomNameValueList& attributes);
    // The tests of a start or end tag, after its event.
    TXmlErrorRecord testStartElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                     const std::u16string& namespaceURI, const std::u16string& tagName,
                                     TdomNameValueList& attributes);
    TXmlErrorRecord testEndElement(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                   const std::u16string& namespaceURI, const std::u16string& tagName);

    bool active_ = false;
    bool doctypeSeen_ = false;
    bool rootSeen_ = false;
    bool documentMode_ = true;
    bool atStart_ = true;
    // The open elements, outermost first. Their names are stored end to end in openNames_, so that
    // opening an element allocates nothing of its own; each entry holds where its name starts
    // and whether the name passed checkName.
    struct OpenElement {
        std::size_t start;
        bool validName;
    };
    std::u16string openNames_;
    std::vector<OpenElement> openElements_;
};
