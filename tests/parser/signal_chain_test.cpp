#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "parser/signal_chain.h"
#include "text/name_value_list.h"
#include "text/parser_error.h"

namespace {

// A content handler that answers PCDATA with a record of the class named by the text.
class AnsweringHandler : public TXmlCustomContentHandler {
public:
    int resets = 0;
    TXmlErrorRecord PCDATA(TXmlCustomProcessorAgent* agent, TdomStandardLocator* locator,
                           std::u16string&& data) override {
        std::string errorClass(data.begin(), data.end());
        return createError(agent, locator, u"code", errorClass);
    }
    void reset() override {
        ++resets;
        TXmlCustomContentHandler::reset();
    }
};

struct Reports {
    std::vector<std::string> fatal, error, warning;
    void attach(TXmlProcessorErrorEvent& onFatal, TXmlProcessorErrorEvent& onError, TXmlProcessorErrorEvent& onWarn) {
        onFatal = [this](TXmlCustomProcessorAgent*, TXmlParserError& e) { fatal.push_back(e.errorClass()); };
        onError = [this](TXmlCustomProcessorAgent*, TXmlParserError& e) { error.push_back(e.errorClass()); };
        onWarn = [this](TXmlCustomProcessorAgent*, TXmlParserError& e) { warning.push_back(e.errorClass()); };
    }
};

class TestReader : public TXmlCustomReader {};

// A content handler that works on PCDATA only (it keeps the text it is given) and leaves every
// other signal to its base.
class TextKeeper : public TXmlCustomContentHandler {
public:
    std::u16string kept;
    TXmlErrorRecord PCDATA(TXmlCustomProcessorAgent* agent, TdomStandardLocator* locator,
                           std::u16string&& data) override {
        if (OnPCDATA) OnPCDATA(agent, locator, data);
        kept = data;
        return forward(&TXmlCustomHandler::PCDATA, agent, locator, std::move(data));
    }
};

} // namespace

TEST(SignalChain, StandardHandlerFiresEventsAndForwardsChangedParameters) {
    TXmlCustomProcessorAgent agent;
    TXmlStandardHandler first;
    TXmlStandardHandler second;
    TdomNameValueList attributes;

    int fired = 0;
    first.OnPCDATA = [&](TXmlCustomProcessorAgent* a, TdomStandardLocator*, std::u16string& data) {
        EXPECT_EQ(a, &agent);
        EXPECT_EQ(data, u"text");
        ++fired;
    };
    // Without a next handler the answer is nothing, after the event has fired.
    EXPECT_EQ(first.PCDATA(&agent, nullptr, u"text"), nullptr);
    EXPECT_EQ(fired, 1);

    first.setNextHandler(&second);
    first.OnStartElement = [](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&, std::u16string& tagName,
                              TdomNameValueList& list) {
        tagName = u"renamed";
        list.addPair(u"added", u"1");
    };
    std::u16string received;
    int receivedPairs = -1;
    second.OnStartElement = [&](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&,
                                std::u16string& tagName, TdomNameValueList& list) {
        received = tagName;
        receivedPairs = list.pairCount();
    };
    EXPECT_EQ(first.startElement(&agent, nullptr, u"", u"original", attributes), nullptr);
    EXPECT_EQ(received, u"renamed");
    EXPECT_EQ(receivedPairs, 1);

    // Queries for parameter entities end at the chain's end without an answer.
    bool found = true;
    std::u16string text = u"stale";
    EXPECT_EQ(first.findParameterEntity(&agent, nullptr, found, text, u"pe"), nullptr);
    EXPECT_FALSE(found);
    EXPECT_TRUE(text.empty());
}

TEST(SignalChain, StandardHandlerStopsErrorsAndWarningsButPassesFatalRecords) {
    TXmlCustomProcessorAgent agent;
    TXmlStandardHandler handler;
    AnsweringHandler answering;
    handler.setNextHandler(&answering);
    Reports reports;
    reports.attach(handler.OnFatalError, handler.OnError, handler.OnWarning);

    EXPECT_EQ(handler.PCDATA(&agent, nullptr, u"EParserDouble_Entity_Decl_Warning"), nullptr);
    EXPECT_EQ(handler.PCDATA(&agent, nullptr, u"EParserDuplicate_ID_Value_Err"), nullptr);
    TXmlErrorRecord fatal = handler.PCDATA(&agent, nullptr, u"EParserNotInRoot_Err");
    ASSERT_NE(fatal, nullptr);
    EXPECT_EQ(fatal->errorClass(), "EParserNotInRoot_Err");
    EXPECT_EQ(fatal->code(), u"code");

    EXPECT_EQ(reports.warning, std::vector<std::string>{"EParserDouble_Entity_Decl_Warning"});
    EXPECT_EQ(reports.error, std::vector<std::string>{"EParserDuplicate_ID_Value_Err"});
    EXPECT_EQ(reports.fatal, std::vector<std::string>{"EParserNotInRoot_Err"});
}

TEST(SignalChain, HandlersRefuseSignalsOfTheOtherKind) {
    TXmlCustomProcessorAgent agent;
    TXmlCustomContentHandler content;
    TXmlCustomDTDHandler dtd;

    TXmlErrorRecord refused = content.attributeDefinition(&agent, nullptr, u"a", u"CDATA", u"", u"#IMPLIED", u"");
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->errorClass(), "EInternalParserException");
    EXPECT_EQ(refused->errorType(), TXmlErrorType::fatal);
    EXPECT_EQ(refused->errorMessage(TXmlMessageLanguage::en), u"FATAL ERROR  -- Invalid source-code.");
    EXPECT_NE(content.textDeclaration(&agent, nullptr, u"1.0", u"UTF-8"), nullptr);
    EXPECT_NE(content.endExtDtd(&agent, nullptr), nullptr);

    refused = dtd.PCDATA(&agent, nullptr, u"text");
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->errorClass(), "EInternalParserException");
    EXPECT_NE(dtd.startDocument(&agent, nullptr, u"root"), nullptr);

    // Signals of its own kind pass a bare handler of either kind.
    EXPECT_EQ(content.PCDATA(&agent, nullptr, u"text"), nullptr);
    EXPECT_EQ(dtd.endExtDtd(&agent, nullptr), nullptr);
}

TEST(SignalChain, AHandlerWritesOnlyTheSignalsItWorksOn) {
    TXmlCustomProcessorAgent agent;
    TextKeeper keeper;
    TXmlStandardHandler last;
    keeper.setNextHandler(&last);
    std::vector<std::u16string> arrived;
    last.OnPCDATA = [&](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string& data) {
        arrived.push_back(data);
    };
    last.OnComment = [&](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string& data) {
        arrived.push_back(data);
    };
    last.OnProcessingInstruction = [&](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string& targ,
                                       std::u16string& data) { arrived.push_back(targ + u"|" + data); };

    // The overridden signal: its own event, its work, and on with the replaced text.
    keeper.OnPCDATA = [](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string& data) { data += u"!"; };
    EXPECT_EQ(keeper.PCDATA(&agent, nullptr, u"text"), nullptr);
    EXPECT_EQ(keeper.kept, u"text!");
    // The others are relayed by the base: event first, then the replaced pieces go on.
    keeper.OnComment = [](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string& data) { data = u"new"; };
    keeper.OnProcessingInstruction = [](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&,
                                        std::u16string& data) { data.clear(); };
    EXPECT_EQ(keeper.comment(&agent, nullptr, u"old"), nullptr);
    EXPECT_EQ(keeper.processingInstruction(&agent, nullptr, u"pi", u"data"), nullptr);
    EXPECT_EQ(arrived, (std::vector<std::u16string>{u"text!", u"new", u"pi|"}));

    // An override hands the answer back as it came, without dispatching it on its own events.
    AnsweringHandler answering;
    TextKeeper front;
    front.setNextHandler(&answering);
    Reports reports;
    reports.attach(front.OnFatalError, front.OnError, front.OnWarning);
    TXmlErrorRecord error = front.PCDATA(&agent, nullptr, u"EParserDuplicate_ID_Value_Err");
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->errorClass(), "EParserDuplicate_ID_Value_Err");
    EXPECT_TRUE(reports.error.empty());
}

TEST(SignalChain, RefusedSignalsFireNoEventAndReachNoNextHandler) {
    TXmlCustomProcessorAgent agent;
    TXmlCustomDTDHandler dtd;
    TXmlStandardHandler next;
    dtd.setNextHandler(&next);
    int fired = 0;
    auto count = [&](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&, std::u16string&) { ++fired; };
    dtd.OnEndElement = count;
    next.OnEndElement = count;
    dtd.OnStartElement = [&](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&, std::u16string&,
                             TdomNameValueList&) { ++fired; };
    TdomNameValueList attributes;
    EXPECT_EQ(dtd.startElement(&agent, nullptr, u"", u"a", attributes)->errorClass(), "EInternalParserException");
    EXPECT_EQ(dtd.endElement(&agent, nullptr, u"", u"a")->errorClass(), "EInternalParserException");

    TXmlCustomContentHandler content;
    content.setNextHandler(&next);
    content.OnDtdComment = [&](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&) { ++fired; };
    next.OnDtdComment = content.OnDtdComment;
    EXPECT_EQ(content.dtdComment(&agent, nullptr, u"c")->errorClass(), "EInternalParserException");
    EXPECT_EQ(fired, 0);
    // The same signals pass a handler that refuses nothing.
    TXmlStandardHandler plain;
    plain.setNextHandler(&next);
    EXPECT_EQ(plain.dtdComment(&agent, nullptr, u"c"), nullptr);
    EXPECT_EQ(plain.endElement(&agent, nullptr, u"", u"a"), nullptr);
    EXPECT_EQ(fired, 2);
}

TEST(SignalChain, ReaderReportsDestroysAndResetsTheChain) {
    TXmlCustomProcessorAgent agent;
    TestReader reader;
    TXmlStandardHandler first;
    AnsweringHandler last;
    reader.setNextHandler(&first);
    first.setNextHandler(&last);
    Reports reports;
    reports.attach(reader.OnFatalError, reader.OnError, reader.OnWarning);

    const char* classes[] = {"EParserNotInRoot_Err", "EParserDuplicate_ID_Value_Err", "EParserDouble_AttDef_Warning"};
    for (const char* errorClass : classes) {
        TXmlErrorRecord record = reader.createError(&agent, nullptr, u"", errorClass);
        reader.dispatchError(&agent, record);
        EXPECT_EQ(record, nullptr) << errorClass;
    }
    EXPECT_EQ(reports.fatal, std::vector<std::string>{"EParserNotInRoot_Err"});
    EXPECT_EQ(reports.error, std::vector<std::string>{"EParserDuplicate_ID_Value_Err"});
    EXPECT_EQ(reports.warning, std::vector<std::string>{"EParserDouble_AttDef_Warning"});
    // Each dispatched record reset the chain down to its last handler.
    EXPECT_EQ(last.resets, 3);

    // Nothing to dispatch: no report, no reset.
    TXmlErrorRecord none;
    reader.dispatchError(&agent, none);
    EXPECT_EQ(last.resets, 3);
}

TEST(SignalChain, DestroyedHandlersDisappearFromTheirReferrers) {
    TestReader reader;
    TXmlStandardHandler handler;
    {
        auto next = std::make_unique<TXmlStandardHandler>();
        auto readersNext = std::make_unique<TXmlStandardHandler>();
        handler.setNextHandler(next.get());
        reader.setNextHandler(readersNext.get());
        EXPECT_EQ(handler.NextHandler(), next.get());
    }
    EXPECT_EQ(handler.NextHandler(), nullptr);
    EXPECT_EQ(reader.NextHandler(), nullptr);

    // A referrer that dies first leaves nothing dangling in the handler it pointed to.
    auto target = std::make_unique<TXmlStandardHandler>();
    {
        TXmlStandardHandler shortLived;
        shortLived.setNextHandler(target.get());
    }
    target.reset(); // must not touch the destroyed referrer

    // After re-pointing, the end of the old handler no longer clears the reference.
    auto old = std::make_unique<TXmlStandardHandler>();
    TXmlStandardHandler current;
    handler.setNextHandler(old.get());
    handler.setNextHandler(&current);
    old.reset();
    EXPECT_EQ(handler.NextHandler(), &current);
}
