#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dom/cm_object.h"
#include "dom/element_lists.h"
#include "dom/entity_reference.h"
#include "dtd/dtd_builder.h"
#include "dtd/dtd_reader.h"
#include "front/xml_to_dom_parser.h"
#include "parser/source_code.h"
#include "tests/parser/chain_helpers.h"
#include "tests/support/temporary_directory.h"
#include "tests/support/test_data.h"
#include "text/error_handler.h"
#include "text/exception.h"
#include "text/file_io.h"
#include "text/stream.h"

namespace {

const std::string kFront = testDataPath("front/");

// A stream that counts its destructions.
class TrackedStream : public TMemoryStream {
public:
    TrackedStream(std::string bytes, int& destroyed) : TMemoryStream(std::move(bytes)), destroyed_(destroyed) {}
    ~TrackedStream() override { ++destroyed_; }

private:
    int& destroyed_;
};

// A front over its own implementation whose reports all come from its own parser, listed by
// severity.
struct Front : ParserFront {
    ~Front() {
        for (const ReportedError& report : reports) EXPECT_EQ(report.sender, &parser);
    }
    std::vector<std::string> fatal() const { return classes(ReportSeverity::fatal); }
    std::vector<std::string> errors() const { return classes(ReportSeverity::error); }
    std::vector<std::string> warnings() const { return classes(ReportSeverity::warning); }
};

template <class F> std::string raisedMessage(F&& operation) {
    try {
        operation();
    } catch (const EAccessViolation& e) {
        return e.message();
    }
    return "(nothing raised)";
}

bool nothingLeft(const TDomImplementation& implementation) {
    return implementation.documents().length() == 0 && implementation.contentModels().empty() &&
           implementation.internalSubsets().empty() && implementation.externalSubsets().empty();
}

std::string childShapes(const TdomNode* node) {
    std::string shapes;
    for (const TdomNode* child : node->children()) shapes += (shapes.empty() ? "" : ",") + treeShape(child);
    return shapes;
}

const char kSmall[] = "<?xml version=\"1.0\"?>\n<velmar version=\"1.0\"><datum>WGS84</datum><!--c--></velmar>";

} // namespace

TEST(ParserFrontMisuse, MissingImplementationOrInputRaisesBeforeAnythingIsCreated) {
    TXmlToDomParser orphan;
    EXPECT_EQ(raisedMessage([&] { orphan.fileToDocument("a.xml"); }), "DOMImplementation not specified.");
    EXPECT_EQ(raisedMessage([&] { orphan.wideStringToDocument(u"<a/>"); }), "DOMImplementation not specified.");

    Front front;
    TXmlToDomParser& parser = front.parser;
    EXPECT_EQ(raisedMessage([&] { parser.fileToDocument(""); }), "Filename not specified.");
    EXPECT_EQ(raisedMessage([&] { parser.memoryToDocument(nullptr, 4); }), "pointer not specified.");
    EXPECT_EQ(raisedMessage([&] { parser.sourceCodeToDocument(nullptr); }), "TXmlSourceCode not specified.");
    EXPECT_EQ(raisedMessage([&] { parser.streamToDocument(nullptr); }), "Stream not specified.");
    EXPECT_TRUE(nothingLeft(front.implementation));

    // The string operations leave the check to the agent: what was made for the run is freed again.
    EXPECT_EQ(raisedMessage([&] { parser.stringToDocument(""); }), "Empty string.");
    EXPECT_EQ(raisedMessage([&] { parser.wideStringToDocument(u""); }), "Empty string.");
    EXPECT_TRUE(nothingLeft(front.implementation));

    // A file that cannot be opened raises the file layer's error, and nothing stays behind.
    EXPECT_THROW(parser.fileToDocument(kFront + "no-such-file.xml"), EFOpenError);
    EXPECT_TRUE(nothingLeft(front.implementation));
    EXPECT_EQ(parser.docBuilder()->currentNode(), nullptr);
    EXPECT_EQ(parser.dtdBuilder()->externalTarget(), nullptr);
    EXPECT_EQ(front.reports.size(), 0u);

    // The node and subset operations check their input in the agent.
    EXPECT_EQ(raisedMessage([&] { parser.memoryToNode(nullptr, 1, u"", u"", nullptr); }), "pointer not specified.");
    EXPECT_EQ(raisedMessage([&] { parser.sourceCodeToNode(nullptr, u"", u"", nullptr); }), "Stream not specified.");
    EXPECT_EQ(raisedMessage([&] { parser.streamToNode(nullptr, u"", u"", nullptr); }), "Stream not specified.");
}

TEST(ParserFrontMisuse, DomImplementationIsForgottenWhenItIsDestroyed) {
    TXmlToDomParser parser;
    {
        TDomImplementation implementation;
        parser.setDOMImpl(&implementation);
        EXPECT_EQ(parser.DOMImpl(), &implementation);
        EXPECT_NE(parser.wideStringToDocument(u"<a/>"), nullptr);
    }
    EXPECT_EQ(parser.DOMImpl(), nullptr);
    EXPECT_EQ(raisedMessage([&] { parser.wideStringToDocument(u"<a/>"); }), "DOMImplementation not specified.");

    // A front that dies first unregisters, so the implementation's end calls nobody.
    TDomImplementation implementation;
    {
        TXmlToDomParser shortLived;
        shortLived.setDOMImpl(&implementation);
    }
}

TEST(ParserFrontDocuments, EveryInputKindBuildsTheSameDocument) {
    Front front;
    TXmlToDomParser& parser = front.parser;
    const std::string bytes = kSmall;
    const std::u16string wide = utf8ToUtf16(bytes);

    TdomDocument* fromString = parser.stringToDocument(bytes);
    const std::string expected = treeShape(fromString);
    EXPECT_EQ(expected, "velmar(@version(t:1.0),datum(t:WGS84),!:c)");

    TMemoryStream stream(bytes);
    TXmlSourceCode pieces;
    pieces.add(wide.substr(0, 10));
    pieces.add(u"");
    pieces.add(wide.substr(10));
    TdomDocument* documents[] = {parser.memoryToDocument(bytes.data(), bytes.size()), parser.streamToDocument(&stream),
                                 parser.wideStringToDocument(wide), parser.wideStringToDocument(u"\uFEFF" + wide),
                                 parser.sourceCodeToDocument(&pieces)};
    for (TdomDocument* document : documents) {
        EXPECT_EQ(treeShape(document), expected);
        // Every document has its content model with both subsets, empty here.
        TdomCMObject* model = document->contentModel();
        ASSERT_NE(model, nullptr);
        ASSERT_NE(model->internalSubset(), nullptr);
        ASSERT_NE(model->externalSubset(), nullptr);
        EXPECT_TRUE(model->externalSubset()->systemId().empty());
        EXPECT_EQ(model->document(), document);
    }
    EXPECT_EQ(front.implementation.documents().length(), 6);
    EXPECT_EQ(front.reports.size(), 0u);
    // The builders point at nothing between runs.
    EXPECT_EQ(parser.docBuilder()->currentNode(), nullptr);
    EXPECT_EQ(parser.dtdBuilder()->externalTarget(), nullptr);
    EXPECT_EQ(parser.dtdBuilder()->internalTarget(), nullptr);

    // A file's name is the document's system id, as the records tell.
    TdomDocument* fromFile = parser.fileToDocument(kFront + "not_well_formed.xml");
    ASSERT_EQ(front.fatal().size(), 1u);
    EXPECT_EQ(front.systemIds().back(), kFront + "not_well_formed.xml");
    EXPECT_NE(fromFile->documentElement(), nullptr);
}

TEST(ParserFrontDocuments, AnErrorEndsTheRunWithTheNodesBuiltSoFarAndOneReport) {
    Front front;
    TdomDocument* document = front.parser.wideStringToDocument(u"<a><b>one</b><c>two</d><e/></a>");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(treeShape(document), "a(b(t:one),c(t:two))");
    ASSERT_EQ(front.fatal().size(), 1u);
    EXPECT_TRUE(front.errors().empty());
    EXPECT_TRUE(front.warnings().empty());

    // The next run on the same front starts from a clean chain.
    front.reports.clear();
    EXPECT_EQ(treeShape(front.parser.wideStringToDocument(u"<z/>")), "z()");
    EXPECT_EQ(front.reports.size(), 0u);
}

TEST(ParserFrontDocuments, AnExceptionFreesWhatTheRunMadeAndTheNextRunStartsClean) {
    Front front;
    int calls = 0;
    front.parser.docBuilder()->OnStartElement = [&](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&,
                                                    std::u16string& tagName, TdomNameValueList&) {
        if (++calls == 2) throw EConvertError("stop at " + narrow(tagName));
    };
    try {
        front.parser.wideStringToDocument(u"<!DOCTYPE a [<!ELEMENT a ANY>]><a><b/></a>");
        FAIL() << "nothing raised";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "stop at b");
    }
    EXPECT_TRUE(nothingLeft(front.implementation));
    EXPECT_EQ(front.parser.docBuilder()->currentNode(), nullptr);
    EXPECT_EQ(front.parser.dtdBuilder()->internalTarget(), nullptr);

    // An exception from inside the DTD chain: the builder is left active, and the front still
    // cleans up and can run again.
    front.parser.dtdBuilder()->OnElementTypeDeclaration = [](TXmlCustomProcessorAgent*, TdomStandardLocator*,
                                                             std::u16string&, std::u16string&) {
        throw EConvertError("declaration refused");
    };
    EXPECT_THROW(front.parser.wideStringToDocument(u"<!DOCTYPE a [<!ELEMENT a ANY>]><a/>"), EConvertError);
    EXPECT_TRUE(nothingLeft(front.implementation));
    front.parser.dtdBuilder()->OnElementTypeDeclaration = nullptr;

    TdomDocument* document = front.parser.wideStringToDocument(u"<!DOCTYPE a [<!ELEMENT a ANY>]><a><b/></a>");
    EXPECT_EQ(treeShape(document), "D:a,a(b())");
    EXPECT_NE(document->contentModel()->findElementTypeDeclaration(u"a"), nullptr);
    EXPECT_EQ(front.reports.size(), 0u);
}

TEST(ParserFrontDocuments, TagEventsMayRenameWhatGoesOnDownTheChain) {
    Front front;
    auto renameStart = [](std::u16string from, std::u16string to) {
        return [from, to](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&, std::u16string& tagName,
                          TdomNameValueList&) {
            if (tagName == from) tagName = to;
        };
    };
    auto renameEnd = [](std::u16string from, std::u16string to) {
        return [from, to](TXmlCustomProcessorAgent*, TdomStandardLocator*, std::u16string&, std::u16string& tagName) {
            if (tagName == from) tagName = to;
        };
    };
    // The well-formedness test passes the renamed tags on: the builder matches them.
    front.parser.wfTestContentHandler()->OnStartElement = renameStart(u"a", u"b");
    front.parser.wfTestContentHandler()->OnEndElement = renameEnd(u"a", u"b");
    EXPECT_EQ(treeShape(front.parser.wideStringToDocument(u"<a><a/>x</a>")), "b(b(),t:x)");
    // The builder builds what its own events leave; a renamed end tag no longer matches.
    front.parser.docBuilder()->OnStartElement = renameStart(u"b", u"c");
    front.parser.docBuilder()->OnEndElement = renameEnd(u"b", u"c");
    EXPECT_EQ(treeShape(front.parser.wideStringToDocument(u"<a/>")), "c()");
    EXPECT_EQ(front.reports.size(), 0u);
    front.parser.docBuilder()->OnEndElement = nullptr;
    front.parser.wideStringToDocument(u"<a/>");
    EXPECT_EQ(front.reports.size(), 1u);
}

TEST(ParserFrontDocuments, AByteOrderMarkIsAddedOnlyWhenTheWideTextLacksOne) {
    Front front;
    // A second U+FEFF would be content before the root element and make the run fail.
    EXPECT_EQ(treeShape(front.parser.wideStringToDocument(u"\uFEFF<a>x</a>")), "a(t:x)");
    EXPECT_EQ(treeShape(front.parser.wideStringToDocument(u"<a>x</a>")), "a(t:x)");
    EXPECT_EQ(front.reports.size(), 0u);
    // A U+FEFF inside the text stays where it is.
    EXPECT_EQ(treeShape(front.parser.wideStringToDocument(u"<a>\uFEFF</a>")), "a(t:\xEF\xBB\xBF)");
}

TEST(ParserFrontExternalSubset, WithoutCallbackADoctypeNamingAnIdFailsTheLoad) {
    Front front;
    TdomDocument* document = front.parser.wideStringToDocument(u"<!DOCTYPE a SYSTEM \"a.dtd\"><a><b/></a>");
    ASSERT_EQ(front.fatal().size(), 1u);
    EXPECT_EQ(front.fatal()[0], "EParserInvalidDoctype_Err");
    EXPECT_EQ(document->documentElement(), nullptr);

    // A doctype with an internal subset alone needs no callback.
    front.reports.clear();
    document = front.parser.wideStringToDocument(u"<!DOCTYPE a [<!ELEMENT a EMPTY>]><a/>");
    EXPECT_EQ(front.reports.size(), 0u);
    EXPECT_NE(document->contentModel()->internalSubset()->findOwnElementTypeDeclaration(u"a"), nullptr);
}

TEST(ParserFrontExternalSubset, CallbackAnswersDecideTheLoad) {
    Front front;
    TXmlToDomParser& parser = front.parser;
    const std::u16string text = u"<!DOCTYPE a PUBLIC \"-//T//A//EN\" \"a.dtd\"><a/>";
    int destroyed = 0;
    int calls = 0;
    std::vector<std::u16string> parents, publicIds, systemIds;

    // paRetry twice, then paOK with a stream: three calls, the stream read as the external subset
    // and then destroyed; a stream replaced between calls is destroyed too.
    parser.OnExternalSubset = [&](void* sender, const std::u16string& parent, std::u16string& publicId,
                                  std::u16string& systemId, TStream*& stream, TXmlParserAction& action) {
        EXPECT_EQ(sender, parser.processorAgent());
        parents.push_back(parent);
        publicIds.push_back(publicId);
        systemIds.push_back(systemId);
        ++calls;
        if (calls == 1) {
            EXPECT_EQ(action, TXmlParserAction::paFail);
            EXPECT_EQ(stream, nullptr);
        }
        if (calls == 2) stream = new TrackedStream("<!ELEMENT unused EMPTY>", destroyed);
        if (calls < 3) {
            systemId += u"+";
            action = TXmlParserAction::paRetry;
            return;
        }
        stream = new TrackedStream("<!ELEMENT a EMPTY>", destroyed);
        action = TXmlParserAction::paOK;
    };
    TdomDocument* document = parser.wideStringToDocument(text);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(front.reports.size(), 0u);
    EXPECT_EQ(publicIds, std::vector<std::u16string>(3, u"-//T//A//EN"));
    EXPECT_EQ(systemIds, (std::vector<std::u16string>{u"a.dtd", u"a.dtd+", u"a.dtd++"}));
    EXPECT_EQ(parents, std::vector<std::u16string>(3, u"")); // a wide string has no system id
    TdomCMExternalObject* external = document->contentModel()->externalSubset();
    EXPECT_NE(external->findOwnElementTypeDeclaration(u"a"), nullptr);
    EXPECT_EQ(external->findOwnElementTypeDeclaration(u"unused"), nullptr);
    EXPECT_EQ(treeShape(document), "D:a,a()");

    // paOK without a stream: the load goes on without an external subset.
    parser.OnExternalSubset = [&](void*, const std::u16string&, std::u16string&, std::u16string&, TStream*&,
                                  TXmlParserAction& action) { action = TXmlParserAction::paOK; };
    document = parser.wideStringToDocument(text);
    EXPECT_EQ(front.reports.size(), 0u);
    EXPECT_EQ(treeShape(document), "D:a,a()");
    EXPECT_TRUE(document->contentModel()->externalSubset()->children().empty());

    // paFail: the stream it left is destroyed and the doctype fails.
    destroyed = 0;
    parser.OnExternalSubset = [&](void*, const std::u16string&, std::u16string&, std::u16string&, TStream*& stream,
                                  TXmlParserAction& action) {
        stream = new TrackedStream("<!ELEMENT a EMPTY>", destroyed);
        action = TXmlParserAction::paFail;
    };
    document = parser.wideStringToDocument(text);
    EXPECT_EQ(destroyed, 1);
    ASSERT_EQ(front.fatal().size(), 1u);
    EXPECT_EQ(front.fatal()[0], "EParserInvalidDoctype_Err");
    EXPECT_EQ(document->documentElement(), nullptr);

    // The ids the callback leaves are those the external subset is read with: an error in the DTD
    // names them, and then the doctype fails as well.
    front.reports.clear();
    parser.OnExternalSubset = [&](void*, const std::u16string&, std::u16string&, std::u16string& systemId,
                                  TStream*& stream, TXmlParserAction& action) {
        systemId = u"served.dtd";
        stream = new TMemoryStream("<!ELEMENT 1a EMPTY>");
        action = TXmlParserAction::paOK;
    };
    parser.wideStringToDocument(text);
    ASSERT_EQ(front.reports.size(), 2u);
    EXPECT_EQ(front.systemIds()[0], "served.dtd");
    EXPECT_EQ(front.fatal().back(), "EParserInvalidDoctype_Err");
}

TEST(ParserFrontExternalSubset, AThrowingCallbackLosesNoStream) {
    Front front;
    int destroyed = 0;
    front.parser.OnExternalSubset = [&](void*, const std::u16string&, std::u16string&, std::u16string&,
                                        TStream*& stream, TXmlParserAction&) {
        stream = new TrackedStream("", destroyed);
        throw EConvertError("no network");
    };
    EXPECT_THROW(front.parser.wideStringToDocument(u"<!DOCTYPE a SYSTEM \"a.dtd\"><a/>"), EConvertError);
    EXPECT_EQ(destroyed, 1);
    EXPECT_TRUE(nothingLeft(front.implementation));
}

TEST(ParserFrontExternalSubset, AStreamHandedOverBeforeARaisingRetryIsFreed) {
    Front front;
    int destroyed = 0;
    int calls = 0;
    front.parser.OnExternalSubset = [&](void*, const std::u16string&, std::u16string&, std::u16string&,
                                        TStream*& stream, TXmlParserAction& action) {
        if (++calls == 2) throw EConvertError("no network");
        stream = new TrackedStream("", destroyed);
        action = TXmlParserAction::paRetry;
    };
    EXPECT_THROW(front.parser.wideStringToDocument(u"<!DOCTYPE a SYSTEM \"a.dtd\"><a/>"), EConvertError);
    EXPECT_EQ(destroyed, 1);
    EXPECT_TRUE(nothingLeft(front.implementation));
}

TEST(ParserFrontEncodings, MarksAndDeclaredEncodingsOfByteInput) {
    Front front;
    auto read = [&](const std::string& bytes) {
        front.reports.clear();
        return front.parser.memoryToDocument(bytes.data(), bytes.size());
    };
    // The UTF-8 mark is no character of the document.
    TdomDocument* document = read("\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?><a>x</a>");
    EXPECT_EQ(front.reports.size(), 0u);
    EXPECT_EQ(treeShape(document), "a(t:x)");
    // A bad Shift_JIS byte is one replacement character and leaves the end tag alone; each is told
    // as an error record, and the document is read on.
    document = read("<?xml version='1.0' encoding='Shift_JIS'?><a>\x82</a><!--\x80-->");
    EXPECT_EQ(front.errors(),
              (std::vector<std::string>{"EParserUndecodable_Bytes_Err", "EParserUndecodable_Bytes_Err"}));
    EXPECT_EQ(front.codes(), (std::vector<std::u16string>{u"82", u"80"}));
    EXPECT_EQ(document->documentElement()->textContent(), u"\u30FB");
    // An encoding that is not known, or that the mark contradicts, is told at the declaration, and
    // the document is read on as UTF-8 or as the mark says; a fault after it is still found.
    front.reports.clear();
    document = read("<?xml version='1.0' encoding='SJIS'?><a>\xC3\xA9</a>");
    EXPECT_EQ(front.errors(), std::vector<std::string>{"EParserUnusable_Encoding_Declaration_Err"});
    EXPECT_EQ(front.codes(), std::vector<std::u16string>{u"unknown encoding \"SJIS\""});
    EXPECT_EQ(document->documentElement()->textContent(), u"\u00E9");
    read("<?xml version='1.0' encoding='SJIS'?><a></b>");
    EXPECT_EQ(front.fatal(), std::vector<std::string>{"EParserMissingStartTag_Err"});
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<?xml version='1.0' encoding='Shift_JIS'?><a>x</a>")) utf16 += std::string{c, '\0'};
    front.reports.clear();
    document = read(utf16);
    EXPECT_EQ(front.errors(), std::vector<std::string>{"EParserUnusable_Encoding_Declaration_Err"});
    EXPECT_EQ(front.codes(), std::vector<std::u16string>{u"encoding \"Shift_JIS\" under a UTF-16 byte-order mark"});
    EXPECT_EQ(treeShape(document), "a(t:x)");
    // Wide text is decoded already: its declaration may name the encoding of its original.
    front.reports.clear();
    document = front.parser.wideStringToDocument(u"<?xml version='1.0' encoding='Shift_JIS'?><a/>");
    EXPECT_TRUE(front.codes().empty());
    EXPECT_EQ(treeShape(document), "a()");
    // The text declaration of an external subset is held to the same.
    front.parser.OnExternalSubset = [](void*, const std::u16string&, std::u16string&, std::u16string&, TStream*& stream,
                                       TXmlParserAction& action) {
        stream = new TMemoryStream("<?xml encoding='x-sjis'?><!ELEMENT a EMPTY><!BAD>");
        action = TXmlParserAction::paOK;
    };
    front.reports.clear();
    read("<!DOCTYPE a SYSTEM 'a.dtd'><a/>");
    EXPECT_EQ(front.errors(), std::vector<std::string>{"EParserUnusable_Encoding_Declaration_Err"});
    EXPECT_EQ(front.codes().front(), u"unknown encoding \"x-sjis\"");
    // The subset is read on past its declaration: the fault after it is found.
    EXPECT_EQ(front.fatal().front(), "EParserUnknownDeclarationType_Err");
}

TEST(ParserFrontNodes, NodeOperationsBuildBelowTheReferenceNode) {
    Front front;
    TXmlToDomParser& parser = front.parser;
    TdomDocument* document = parser.wideStringToDocument(u"<root/>");
    TdomElement* root = document->documentElement();

    // Below an element the content test is not in document mode: several top-level elements and
    // text are fine.
    EXPECT_TRUE(parser.wideStringToNode(u"<a/>text<b>x</b>", u"", u"", root));
    EXPECT_EQ(treeShape(document), "root(a(),t:text,b(t:x))");
    EXPECT_EQ(parser.docBuilder()->currentNode(), root); // node operations keep the reference node
    const std::string bytes = "<c/>";
    EXPECT_TRUE(parser.stringToNode(bytes, u"", u"", root));
    EXPECT_TRUE(parser.memoryToNode(bytes.data(), bytes.size(), u"", u"", root));
    TMemoryStream stream(bytes);
    EXPECT_TRUE(parser.streamToNode(&stream, u"", u"", root));
    EXPECT_EQ(root->children().size(), 6u);

    // Below a document it is: a second root element fails, reported once, and the answer is false.
    TdomDocument* empty = front.implementation.createEmptyDocument();
    EXPECT_FALSE(parser.wideStringToNode(u"<a/><b/>", u"", u"", empty));
    ASSERT_EQ(front.fatal().size(), 1u);
    EXPECT_EQ(front.fatal()[0], "EParserDoubleRootElement_Err");
    EXPECT_EQ(treeShape(empty), "a()");

    // The document mode stays as the last node operation left it; documents do not touch it.
    parser.wideStringToNode(u"<x/>", u"", u"", root);
    EXPECT_FALSE(parser.wfTestContentHandler()->documentMode());
    parser.wideStringToDocument(u"<a/>");
    EXPECT_FALSE(parser.wfTestContentHandler()->documentMode());
}

TEST(ParserFrontNodes, NodeOperationsUseTheCallbackOfTheLastDocumentOperation) {
    Front front;
    TXmlToDomParser& parser = front.parser;
    std::string answered;
    auto answer = [&answered](std::string name) {
        return [&answered, name](void*, const std::u16string&, std::u16string&, std::u16string&, TStream*&,
                                 TXmlParserAction& action) {
            answered = name;
            action = TXmlParserAction::paOK;
        };
    };
    parser.OnExternalSubset = answer("first");
    parser.wideStringToDocument(u"<a/>");
    parser.OnExternalSubset = answer("second");
    TdomDocument* empty = front.implementation.createEmptyDocument();
    EXPECT_TRUE(parser.wideStringToNode(u"<!DOCTYPE a SYSTEM \"a.dtd\"><a/>", u"", u"", empty));
    EXPECT_EQ(answered, "first");
}

TEST(ParserFrontNodes, SourceCodeKeepsEveryCharacterOfItsPieces) {
    Front front;
    TdomDocument* document = front.parser.wideStringToDocument(u"<r/>");
    TXmlSourceCode code;
    code.add(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    code.add(u"<e>Caf\u00E9 \u6771\u4EAC \U0001F600</e>"); // é has no code page 932 byte
    EXPECT_EQ(code.count(), 2u);
    EXPECT_TRUE(front.parser.sourceCodeToNode(&code, u"", u"", document->documentElement()));
    EXPECT_EQ(document->documentElement()->textContent(), u"Caf\u00E9 \u6771\u4EAC \U0001F600");
    EXPECT_THROW(code.item(2), EStringListError);
    code.insert(0, u"x");
    EXPECT_EQ(code.text().substr(0, 6), u"x<?xml");
}

TEST(ParserFrontSubsets, SubsetOperationsReadIntoTheGivenObject) {
    Front front;
    TXmlToDomParser& parser = front.parser;
    TDomImplementation& implementation = front.implementation;
    TdomCMExternalObject* external = implementation.createExternalSubset(u"", u"ext.dtd");
    TdomCMInternalObject* internal = implementation.createInternalSubset(u"", u"");

    EXPECT_THROW(parser.wideStringToExternalSubset(u"<!ELEMENT a EMPTY>", u"", u"", internal), EInvalidCast);
    EXPECT_THROW(parser.wideStringToInternalSubset(u"<!ELEMENT a EMPTY>", u"", u"", external), EInvalidCast);
    EXPECT_THROW(parser.wideStringToInternalSubset(u"<!ELEMENT a EMPTY>", u"", u"", nullptr), EInvalidCast);

    EXPECT_TRUE(parser.wideStringToExternalSubset(u"<!ELEMENT a (b)*>", u"", u"ext.dtd", external));
    EXPECT_TRUE(parser.stringToExternalSubset("<!ELEMENT b EMPTY>", u"", u"ext.dtd", external));
    const std::string attlist = "<!ATTLIST b id ID #IMPLIED>";
    EXPECT_TRUE(parser.memoryToExternalSubset(attlist.data(), attlist.size(), u"", u"", external));
    EXPECT_NE(external->findOwnElementTypeDeclaration(u"a"), nullptr);
    EXPECT_NE(external->findOwnElementTypeDeclaration(u"b"), nullptr);
    EXPECT_NE(external->findOwnAttrDefinition(u"b", u"id"), nullptr);

    TXmlSourceCode code;
    code.add(u"<!ENTITY e \"value\">");
    EXPECT_TRUE(parser.sourceCodeToInternalSubset(&code, u"", u"", internal));
    TMemoryStream stream(std::string("<!ELEMENT c EMPTY>"));
    EXPECT_TRUE(parser.streamToInternalSubset(&stream, u"", u"", internal));
    EXPECT_NE(internal->findOwnEntityDeclaration(u"e"), nullptr);
    EXPECT_NE(internal->findOwnElementTypeDeclaration(u"c"), nullptr);
    EXPECT_EQ(front.reports.size(), 0u);

    // An error ends the run with false and one report.
    EXPECT_FALSE(parser.wideStringToExternalSubset(u"<!ELEMENT 1d EMPTY>", u"", u"", external));
    EXPECT_EQ(front.reports.size(), 1u);
    EXPECT_EQ(external->findOwnElementTypeDeclaration(u"1d"), nullptr);
}

TEST(ParserFrontFiles, PointMarkFilesLoadWithTheirDtdFromTheirDirectory) {
    Front front;
    front.serveFiles();
    TdomDocument* document = front.parser.fileToDocument(kFront + "points.xml");
    EXPECT_EQ(front.reports.size(), 0u) << (front.fatal().empty() ? "" : front.fatal()[0]);
    EXPECT_EQ(front.externalSubsetCalls, 1);
    ASSERT_NE(document->documentElement(), nullptr);
    EXPECT_EQ(document->getElementsByTagName(u"format")->length(), 3);
    EXPECT_EQ(document->getElementsByTagName(u"nb")->item(0)->textContent(), u"東京タワー");
    EXPECT_EQ(document->getElementsByTagName(u"note")->item(2)->textContent(), u"note & more");
    TdomCMObject* model = document->contentModel();
    ASSERT_NE(model->findElementTypeDeclaration(u"velmar"), nullptr);
    EXPECT_NE(model->findAttrDefinition(u"multimedia", u"href"), nullptr); // through a parameter entity
    EXPECT_TRUE(model->hasElementContent(u"gpoi"));
    EXPECT_FALSE(model->hasElementContent(u"datum"));
    TdomStandardErrorHandler handler;
    EXPECT_TRUE(document->validate(&handler, 0));
    EXPECT_TRUE(handler.errorList().empty());

    // An internal subset beside the external one: both are read, the internal one first.
    document = front.parser.fileToDocument(kFront + "subsets.xml");
    EXPECT_EQ(front.reports.size(), 0u) << (front.fatal().empty() ? "" : front.fatal()[0]);
    model = document->contentModel();
    EXPECT_NE(model->internalSubset()->findOwnEntityDeclaration(u"maker"), nullptr);
    EXPECT_NE(model->internalSubset()->findOwnAttrDefinition(u"velmar", u"edition"), nullptr);
    EXPECT_NE(model->externalSubset()->findOwnElementTypeDeclaration(u"gpoi"), nullptr);
    EXPECT_NE(document->getElementsByTagName(u"note")->item(0)->firstChild(), nullptr);
    EXPECT_EQ(document->getElementsByTagName(u"note")->item(0)->firstChild()->nodeType(),
              TdomNodeType::entityReference);

    // A DTD that is not there fails the doctype; one with an error reports it, then the doctype.
    front.parser.OnExternalSubset = [&](void*, const std::u16string& parent, std::u16string&, std::u16string& systemId,
                                        TStream*& stream, TXmlParserAction& action) {
        try {
            stream = new TFileStream(directoryOf(narrow(parent)) + narrow(systemId), TFileStream::Mode::openRead);
            action = TXmlParserAction::paOK;
        } catch (const EFOpenError&) {
            action = TXmlParserAction::paFail;
        }
    };
    document = front.parser.fileToDocument(kFront + "missing_dtd.xml");
    EXPECT_EQ(front.fatal(), std::vector<std::string>{"EParserInvalidDoctype_Err"});
    EXPECT_EQ(document->documentElement(), nullptr);
    front.reports.clear();
    front.parser.fileToDocument(kFront + "broken_dtd.xml");
    ASSERT_EQ(front.reports.size(), 2u);
    EXPECT_EQ(front.fatal().back(), "EParserInvalidDoctype_Err");
}

TEST(ParserFrontFiles, ExternalEntitiesOfADtdAreNamedRelativeToTheDtd) {
    Front front;
    front.serveFiles();
    std::vector<std::string> asked;
    front.implementation.onExternalParsedEntity = [&](void* sender, const std::u16string& parent, std::u16string&,
                                                      std::u16string& systemId, TStream*& stream,
                                                      TXmlParserAction& action) {
        // The parent names the DTD being read; without one, the agent knows which input that is.
        auto* agent = static_cast<TXmlStandardProcessorAgent*>(sender);
        EXPECT_EQ(agent, front.parser.processorAgent());
        const std::string base = narrow(parent.empty() ? agent->currentSystemId() : parent);
        asked.push_back(base);
        stream = new TMemoryStream(readWholeFile(directoryOf(base) + narrow(systemId)));
        action = TXmlParserAction::paOK;
    };
    TdomDocument* document = front.parser.fileToDocument(kFront + "nested/points.xml");
    EXPECT_EQ(front.reports.size(), 0u) << (front.fatal().empty() ? "" : front.fatal()[0]);
    EXPECT_EQ(asked, std::vector<std::string>{kFront + "nested/dtd/velmar-modular.dtd"});
    EXPECT_NE(document->contentModel()->findElementTypeDeclaration(u"format"), nullptr);
    EXPECT_EQ(front.parser.processorAgent()->currentSystemId(), u"");
}

TEST(ParserFrontEntityReferences, FillByParsingParsesTheReplacementText) {
    Front front;
    TdomDocument* document = front.parser.wideStringToDocument(
        u"<!DOCTYPE r [<!ENTITY rich \"<b>bold</b> and &amp;\"><!ENTITY broken \"<b>\"><!ENTITY none \"\">]><r/>");
    ASSERT_EQ(front.reports.size(), 0u);
    TdomEntityReference* rich = document->createEntityReference(u"rich");
    EXPECT_TRUE(rich->fillByParsing());
    EXPECT_EQ(childShapes(rich), "b(t:bold),t: and ,&amp");
    EXPECT_TRUE(rich->fillByParsing()); // filled again, not twice
    EXPECT_EQ(rich->children().size(), 3u);

    TdomEntityReference* broken = document->createEntityReference(u"broken");
    EXPECT_FALSE(broken->fillByParsing());
    TdomEntityReference* none = document->createEntityReference(u"none");
    EXPECT_TRUE(none->fillByParsing());
    EXPECT_FALSE(none->hasChildNodes());
    // The nested front reports to nobody: the document's front heard nothing.
    EXPECT_EQ(front.reports.size(), 0u);
}

TEST(ParserFrontFiles, FileNamesAreTheFileSystemsUtf8Bytes) {
    const TemporaryDirectory temporary("front-names");
    const std::string dir = temporary.path() + "/";
    const std::string name = dir + "\xE5\x9C\xB0\xE7\x82\xB9.xml"; // 地点.xml
    writeFileAtomically(name, readWholeFile(kFront + "subsets.xml"));
    writeFileAtomically(dir + "velmar.dtd", readWholeFile(kFront + "velmar.dtd"));
    Front front;
    front.serveFiles();
    TdomDocument* document = front.parser.fileToDocument(name);
    EXPECT_EQ(front.reports.size(), 0u);
    EXPECT_EQ(front.externalSubsetCalls, 1);
    EXPECT_NE(document->documentElement(), nullptr);
}

TEST(ProcessorAgent, WithoutReadersEveryInputIsPreparedAndAnsweredTrue) {
    TXmlStandardProcessorAgent agent;
    const std::string bytes = "<a/>";
    TMemoryStream stream(bytes);
    EXPECT_TRUE(agent.parseString(bytes, u"", u""));
    EXPECT_TRUE(agent.parseStream(&stream, u"", u""));
    EXPECT_TRUE(agent.parseExtDtdWideString(u"<!ELEMENT 1 x>", u"", u""));
    EXPECT_TRUE(agent.parseIntDtdMemory(bytes.data(), bytes.size(), u"", u""));
    EXPECT_TRUE(agent.parseDoctypeSubsets(u"<!bad", u"", u"", u"", u"a.dtd"));
    EXPECT_EQ(raisedMessage([&] { agent.parseExtDtdString("", u"", u""); }), "Empty string.");
    EXPECT_EQ(raisedMessage([&] { agent.parseIntDtdFile(u"", u""); }), "Filename not specified.");
    EXPECT_EQ(raisedMessage([&] { agent.parseExtDtdStream(nullptr, u"", u""); }), "Stream not specified.");

    // The readers it refers to are forgotten when they are destroyed.
    {
        TXmlStandardDocReader reader;
        agent.setDocReader(&reader);
        EXPECT_EQ(agent.DocReader(), &reader);
        EXPECT_TRUE(agent.parseString(bytes, u"", u""));
    }
    EXPECT_EQ(agent.DocReader(), nullptr);
    {
        TXmlStandardDtdReader reader;
        agent.setDtdReader(&reader);
        EXPECT_FALSE(agent.parseExtDtdWideString(u"<!bad>", u"", u""));
    }
    EXPECT_EQ(agent.DtdReader(), nullptr);
}
