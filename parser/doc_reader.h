#pragma once

#include <memory>
#include <string>

#include "parser/signal_chain.h"

class TXmlInputSource;
class TdomNameValueList;

// Reads a document's text one code unit at a time from an input source, cuts it into markup and
// character data, and sends one signal per piece down the chain. It checks only what it needs to
// cut the text and to take apart the XML declaration, start tags and the document type
// declaration; names, character data and nesting are the next handler's business. One pass, no
// lookahead, no nesting stack.
class TXmlStandardDocReader : public TXmlCustomReader {
public:
    TXmlStandardDocReader();
    ~TXmlStandardDocReader() override;

    // Each sender takes the piece's text as the state machine cut it and answers the chain's record.
    // The senders of pieces that go down the chain whole take them over.
    virtual TXmlErrorRecord sendXmlDeclaration(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                               const std::u16string& text);
    virtual TXmlErrorRecord sendProcessingInstruction(TXmlCustomProcessorAgent* processorAgent,
                                                      TdomStandardLocator* locator, const std::u16string& text);
    virtual TXmlErrorRecord sendComment(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        std::u16string&& text);
    virtual TXmlErrorRecord sendCDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                      std::u16string&& text);
    virtual TXmlErrorRecord sendPCDATA(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                       std::u16string&& text);
    virtual TXmlErrorRecord sendStartTag(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                         const std::u16string& text);
    virtual TXmlErrorRecord sendEndTag(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                       const std::u16string& text);
    virtual TXmlErrorRecord sendEmptyElementTag(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                                const std::u16string& text);
    virtual TXmlErrorRecord sendCharRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        std::u16string&& text);
    virtual TXmlErrorRecord sendEntityRef(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                          const std::u16string& text);
    virtual TXmlErrorRecord sendDoctype(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                                        const std::u16string& text);

    // Reads the whole input. True when the run ended without an error record; a record is reported
    // on OnFatalError, OnError or OnWarning and the chain is reset. A record of error or warning
    // severity answered on the way is reported at once and the reading goes on. The chain is reset before the
    // run as well, so that a run that an exception ended leaves nothing behind for the next one.
    virtual bool parse(TXmlCustomProcessorAgent* processorAgent, TXmlInputSource& inputSource);

private:
    TXmlErrorRecord sendTag(TXmlCustomProcessorAgent* processorAgent, TdomStandardLocator* locator,
                            const std::u16string& text, bool empty);

    // Refilled for every start tag.
    std::unique_ptr<TdomNameValueList> attributes_;
    // The name of the tag being sent; kept between tags so that long names reuse its storage.
    std::u16string tagName_;
};
