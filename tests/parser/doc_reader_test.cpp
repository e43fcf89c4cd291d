#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "chain_helpers.h"
#include "text/parser_exception.h"

using Lines = std::vector<std::string>;

TEST(DocReader, CutsMarkupIntoSignals) {
    RecordedRun run("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
                    "<a x='1>2' y=\"&amp;\"><b/>t&#x41;&amp;<![CDATA[<c>]]><!--c--><?pi  data ?></a >");
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.recorder.lines, (Lines{"reset", "startDocument(a)", "xmlDeclaration(1.0|Shift_JIS|)", "PCDATA(\n)",
                                         "startElement(|a|x=1>2|y=&amp;)", "startElement(|b)", "endElement(|b)",
                                         "PCDATA(t)", "charRef(&#x41;)", "entityRef(amp)", "CDATA(<c>)", "comment(c)",
                                         "PI(pi|data)", "endElement(|a)", "endDocument"}));

    RecordedRun stylesheet("<?xml-stylesheet href='s.css'?><r/>");
    EXPECT_EQ(stylesheet.recorder.lines[2], "PI(xml-stylesheet|href='s.css')");

    // Short markup whose delimiters overlap is sent with empty content.
    RecordedRun empty("<r><?><!----></r>");
    EXPECT_EQ(empty.recorder.lines[3], "PI(|)");
    EXPECT_EQ(empty.recorder.lines[4], "comment()");
}

TEST(DocReader, TakesApartXmlDeclarationsAndTags) {
    RecordedRun declaration("<?xml version=\"1.0\" standalone='yes'?><r/>");
    EXPECT_EQ(declaration.recorder.lines[2], "xmlDeclaration(1.0||yes)");

    const char* invalidDeclarations[] = {"<?xml encoding=\"UTF-8\" version=\"1.0\"?><r/>",
                                         "<?xml version=\"1.0\" other=\"x\"?><r/>",
                                         "<?xml version=\"1.0\" standalone=\"no\" encoding=\"UTF-8\"?><r/>"};
    for (const char* text : invalidDeclarations) {
        RecordedRun run(text);
        EXPECT_FALSE(run.ok) << text;
        EXPECT_EQ(run.errors, Lines{"EParserInvalidXmlDeclaration_Err"}) << text;
    }

    const std::pair<const char*, const char*> tagFailures[] = {
        {"<r a=\"1\"b=\"2\"/>", "EParserMissingWhiteSpace_Err"},
        {"<r a=\"1\" a=\"2\"/>", "EParserDoubleAttributeName_Err"},
        {"<r a/>", "EParserMissingEqualitySign_Err"},
        {"<r a=1/>", "EParserMissingQuotationMark_Err"},
    };
    for (const auto& [text, errorClass] : tagFailures) {
        RecordedRun run(text);
        EXPECT_EQ(run.errors, Lines{errorClass}) << text;
        // The failed run reset the chain after its report.
        EXPECT_EQ(run.recorder.lines.back(), "reset") << text;
    }

    // A long attribute list still finds its duplicate.
    std::string longTag = "<r";
    for (int i = 0; i < 40; ++i) longTag += " a" + std::to_string(i) + "='v'";
    RecordedRun longRun(longTag + " a7='again'/>");
    EXPECT_EQ(longRun.errors, Lines{"EParserDoubleAttributeName_Err"});
    RecordedRun distinct(longTag + "/>");
    EXPECT_TRUE(distinct.ok);

    // The declaration's own grammar raises, and the exception leaves the run.
    TXmlCustomProcessorAgent agent;
    TXmlStandardDocReader reader;
    std::string text = "<?xml version=\"1.0\" junk?><r/>";
    TXmlMemoryStream stream(text.data(), static_cast<std::int64_t>(text.size()));
    TXmlInputSource source(&stream, u"", u"");
    EXPECT_THROW(reader.parse(&agent, source), EParserMissingQuotationMark_Err);
}

namespace {

class SubsetAgent : public TXmlCustomProcessorAgent {
public:
    bool answer = true;
    std::vector<std::u16string> calls;
    bool parseDoctypeSubsets(const std::u16string& internalSubset, const std::u16string& documentPublicId,
                             const std::u16string& documentSystemId, const std::u16string& publicId,
                             const std::u16string& systemId) override {
        calls = {internalSubset, documentPublicId, documentSystemId, publicId, systemId};
        return answer;
    }
};

} // namespace

TEST(DocReader, DocumentTypeDeclarations) {
    RecordedRun subset("<!DOCTYPE velmar [<!-- ] > --><?pi ]>?><!ENTITY e \"]>\">]><velmar/>");
    EXPECT_TRUE(subset.ok);
    EXPECT_EQ(subset.recorder.lines[2], "doctype(velmar|||<!-- ] > --><?pi ]>?><!ENTITY e \"]>\">)");

    RecordedRun system("<!DOCTYPE a SYSTEM \"a.dtd\"><a/>");
    EXPECT_EQ(system.recorder.lines[2], "doctype(a||a.dtd|)");
    RecordedRun publicId("<!DOCTYPE a PUBLIC '-//P//EN' 'a.dtd'><a/>");
    EXPECT_EQ(publicId.recorder.lines[2], "doctype(a|-//P//EN|a.dtd|)");

    const char* invalid[] = {"<!DOCTYPEa><a/>", "<!DOCTYPE 1a><a/>", "<!DOCTYPE a \"value\"><a/>",
                             "<!DOCTYPE a SYSTEM \"a.dtd\" NDATA n><a/>", "<!DOCTYPE a [ x ] y><a/>"};
    for (const char* text : invalid) {
        RecordedRun run(text);
        EXPECT_EQ(run.errors, Lines{"EParserInvalidDoctype_Err"}) << text;
    }

    // The agent reads the subsets before the doctype signal; its refusal fails the declaration.
    SubsetAgent agent;
    TXmlStandardDocReader reader;
    SignalRecorder recorder;
    reader.setNextHandler(&recorder);
    std::string text = "<!DOCTYPE a PUBLIC \"p\" \"a.dtd\" [<!ELEMENT a EMPTY>]><a/>";
    {
        TXmlMemoryStream stream(text.data(), static_cast<std::int64_t>(text.size()));
        TXmlInputSource source(&stream, u"docpub", u"doc.xml");
        EXPECT_TRUE(reader.parse(&agent, source));
    }
    EXPECT_EQ(agent.calls, (std::vector<std::u16string>{u"<!ELEMENT a EMPTY>", u"docpub", u"doc.xml", u"p", u"a.dtd"}));
    agent.answer = false;
    agent.calls.clear();
    recorder.lines.clear();
    std::vector<std::string> errors;
    reader.OnFatalError = [&](TXmlCustomProcessorAgent*, TXmlParserError& e) { errors.push_back(e.errorClass()); };
    TXmlMemoryStream stream(text.data(), static_cast<std::int64_t>(text.size()));
    TXmlInputSource source(&stream, u"", u"doc.xml");
    EXPECT_FALSE(reader.parse(&agent, source));
    EXPECT_EQ(agent.calls.size(), 5u);
    EXPECT_EQ(errors, Lines{"EParserInvalidDoctype_Err"});
    EXPECT_EQ(recorder.lines, (Lines{"reset", "startDocument(a)", "reset"}));
}

TEST(DocReader, UnterminatedMarkupIsSentAsCharacterData) {
    RecordedRun tag("<a><b x=\"1");
    EXPECT_EQ(tag.recorder.lines,
              (Lines{"reset", "startDocument(a)", "startElement(|a)", "PCDATA(<b x=\"1)", "endDocument"}));
    RecordedRun reference("<a>x&amp</a>");
    EXPECT_EQ(reference.recorder.lines[3], "PCDATA(x)");
    EXPECT_EQ(reference.recorder.lines[4], "PCDATA(&amp</a>)");
    RecordedRun comment("<a><!-- open");
    EXPECT_EQ(comment.recorder.lines[3], "PCDATA(<!-- open)");
}

TEST(DocReader, InvalidCharactersEndTheRun) {
    // Undecodable bytes do not end it: they are read as "・" (see the undecodable bytes tests).
    const std::string inputs[] = {std::string("<a>\x01</a>"), std::string("<a>\xEF\xBF\xBE</a>")};
    for (const std::string& text : inputs) {
        SCOPED_TRACE(testing::PrintToString(text));
        RecordedRun run(text);
        EXPECT_FALSE(run.ok);
        EXPECT_EQ(run.errors, Lines{"EParserInvalidCharacter_Err"});
        EXPECT_EQ(run.recorder.lines.back(), "reset");
    }
}

TEST(DocReader, RunsEndAtTheirDelimitersAndAtInvalidUnitsWhereverTheyFall) {
    // The reader takes plain units in runs, several at a time: whatever position an ending unit has
    // in a run, the piece ends there and an invalid unit is reported at its own column.
    for (std::size_t length = 0; length < 20; ++length) {
        SCOPED_TRACE(length);
        const std::string plain(length, 'x');
        RecordedRun text("<a>" + plain + "<b/>" + plain + "&amp;" + plain + "</a>");
        const std::string pcdata = "PCDATA(" + plain + ")";
        if (length > 0) {
            EXPECT_EQ(text.recorder.lines[3], pcdata);
            EXPECT_EQ(text.recorder.lines[6], pcdata);
        }
        RecordedRun markup("<a q='" + plain + ">\"'><!--" + plain + "-->" + plain + "-->" + "<![CDATA[" + plain +
                           "]]>" + "<?p " + plain + "?>" + "</a>");
        EXPECT_EQ(markup.recorder.lines[2], "startElement(|a|q=" + plain + ">\")");
        EXPECT_EQ(markup.recorder.lines[3], "comment(" + plain + ")");
        EXPECT_EQ(markup.recorder.lines[4], "PCDATA(" + plain + "-->)");
        EXPECT_EQ(markup.recorder.lines[5], "CDATA(" + plain + ")");

        for (const std::string& invalid : {std::string("\x01"), std::string("\x1F"), std::string("\xEF\xBF\xBF")}) {
            for (const std::string& opening : {std::string("<a>"), std::string("<a b='"), std::string("<a><!--")}) {
                SCOPED_TRACE(testing::PrintToString(opening + plain + invalid));
                DocumentChain chain;
                EXPECT_FALSE(chain.parse(opening + plain + invalid + plain + "'>--></a>"));
                ASSERT_EQ(chain.reports.size(), 1u);
                EXPECT_EQ(chain.reports[0].errorClass, "EParserInvalidCharacter_Err");
                EXPECT_EQ(chain.reports[0].endColumn, static_cast<int>(opening.size() + length + 1));
            }
        }
    }
}

TEST(DocReader, RecordsNameThePieceInError) {
    DocumentChain chain;
    EXPECT_FALSE(chain.parse("<a>\n  <b></c></a>"));
    ASSERT_EQ(chain.reports.size(), 1u);
    const ReportedError& error = chain.reports[0];
    EXPECT_EQ(error.errorClass, "EParserMissingStartTag_Err");
    EXPECT_EQ(error.code, u"c");
    EXPECT_EQ(error.startLine, 2);
    EXPECT_EQ(error.startColumn, 6);
    EXPECT_EQ(error.endLine, 2);
    EXPECT_EQ(error.endColumn, 9);

    // A run that an exception ended does not spoil the next one on the same chain.
    EXPECT_THROW(chain.parse("<?xml version=\"1.0\" junk?><r/>"), EParserException);
    EXPECT_TRUE(chain.parse("<r/>"));
}

TEST(DocReader, AReferenceNeverClosedQuotesLittleOfTheRestOfTheDocument) {
    // A bare "&" in the second record; the rest of a large file follows.
    std::string rest;
    for (int k = 0; k < 20000; ++k) rest += "</lat><lon>139.7</lon></p>\n<p><lat>35.6";
    DocumentChain chain;
    EXPECT_FALSE(chain.parse("<r><p><lat>35.6</lat></p>\n<p><lat>&bad " + rest + "</lat></p></r>"));
    ASSERT_FALSE(chain.reports.empty());
    const std::string& message = chain.reports[0].message;
    EXPECT_LT(message.size(), 300u) << message.substr(0, 300);
    EXPECT_NE(message.find(": &bad </lat><lon>"), std::string::npos) << message;
    EXPECT_EQ(message.substr(message.size() - 3), "\u2026");
}

TEST(DocReader, LineFeedsAnywhereInARunCountAsLines) {
    // Line feeds and tabs at every position of text, attribute-value, comment and CDATA runs of
    // various lengths; the piece in error after them is where counting its units puts it.
    for (std::size_t length = 1; length < 20; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            std::string run(length, 'x');
            run[at] = '\n';
            run[(at * 7 + 3) % length] = '\t';
            const std::string before =
                "<a>" + run + "<b q='" + run + "'/><!--" + run + "--><![CDATA[" + run + "]]>" + run;
            SCOPED_TRACE(testing::PrintToString(before));
            DocumentChain chain;
            EXPECT_FALSE(chain.parse(before + "</c></a>"));
            ASSERT_EQ(chain.reports.size(), 1u);
            const std::size_t lastLineFeed = before.rfind('\n');
            const int line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
            const int column =
                static_cast<int>(lastLineFeed == std::string::npos ? before.size() + 1 : before.size() - lastLineFeed);
            EXPECT_EQ(chain.reports[0].startLine, line);
            EXPECT_EQ(chain.reports[0].startColumn, column);
            EXPECT_EQ(chain.reports[0].endLine, line);
            EXPECT_EQ(chain.reports[0].endColumn, column + 3);
        }
    }
}

TEST(DocReader, LongAndShortTextPiecesArriveWholeAndInOrder) {
    // Long pieces leave the reader with its buffer's storage, short ones as copies; either way
    // every piece, and the buffer reused after it, holds exactly its own text.
    auto pattern = [](std::size_t length, char first) {
        std::string text;
        for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char>(first + i % 20));
        return text;
    };
    const std::string first = pattern(70000, 'a'), second = pattern(1500, 'A'), third = pattern(64 * 1024, 'F');
    const std::string trailing = pattern(66000, 'b');
    RecordedRun run("<a>" + first + "<b/>yz<b/>" + second + "&amp;" + third + "</a>" + trailing);
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.recorder.lines,
              (Lines{"reset", "startDocument(a)", "startElement(|a)", "PCDATA(" + first + ")", "startElement(|b)",
                     "endElement(|b)", "PCDATA(yz)", "startElement(|b)", "endElement(|b)", "PCDATA(" + second + ")",
                     "entityRef(amp)", "PCDATA(" + third + ")", "endElement(|a)", "PCDATA(" + trailing + ")",
                     "endDocument"}));

    DocumentChain chain;
    ASSERT_TRUE(chain.parse("<a>" + first + "<b/>yz" + second + "</a>"));
    TdomNode* root = chain.document->documentElement();
    ASSERT_EQ(root->childNodes().length(), 3);
    EXPECT_EQ(root->childNodes().item(0)->nodeValue(), std::u16string(first.begin(), first.end()));
    const std::string merged = "yz" + second;
    EXPECT_EQ(root->childNodes().item(2)->nodeValue(), std::u16string(merged.begin(), merged.end()));
}
