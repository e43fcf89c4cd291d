#include <gtest/gtest.h>

#include <string>

#include "dom/character_data.h"
#include "dom/cm_object.h"
#include "dom/document.h"
#include "dom/document_fragment.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "dom/implementation.h"
#include "dom/processing_instruction.h"
#include "dom/wide_string_stream.h"
#include "front/xml_to_dom_parser.h"
#include "text/exception.h"
#include "text/parser_error.h"
#include "text/stream.h"
#include "text/utf8.h"

namespace {

// The bytes of a wide string as it lies in memory (UTF-16, little-endian).
std::string memoryBytes(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::u16string firstLine(const std::u16string& text) { return text.substr(0, text.find(u'\n') + 1); }

// A target that takes only the first few bytes written to it.
class FullStream : public TStream {
public:
    explicit FullStream(std::int64_t room) : room_(room) {}
    std::int64_t read(void*, std::int64_t) override { return 0; }
    std::int64_t write(const void*, std::int64_t count) override {
        std::int64_t taken = std::min(count, room_);
        room_ -= taken;
        return taken;
    }
    std::int64_t seek(std::int64_t, TSeekOrigin) override { return 0; }

private:
    std::int64_t room_;
};

// One line per node, indented by depth: kind, name, value; the attributes of elements and the fields
// of document types follow their node. Adjacent text or CDATA siblings count as one node, as a
// parser may split character data where references or section ends stood. The content of entity
// references is left out: the output never writes it.
void describe(const TdomNode* node, int depth, std::u16string& out) {
    out.append(static_cast<std::size_t>(depth) * 2, u' ');
    // An attribute's value shows in its children (an entity reference in it needs a content model).
    std::u16string value = node->nodeType() == TdomNodeType::attribute ? u"" : node->nodeValue();
    out += std::u16string(1, static_cast<char16_t>(u'0' + static_cast<int>(node->nodeType()))) + u" " +
           node->nodeName() + u" [" + value + u"]\n";
    if (node->nodeType() == TdomNodeType::documentType) {
        auto* type = static_cast<const TdomDocumentType*>(node);
        out += type->publicId() + u"|" + type->systemId() + u"|" + type->internalSubset() + u"\n";
    }
    if (node->nodeType() == TdomNodeType::element)
        for (const TdomNode* attr : static_cast<const TdomElement*>(node)->attributeNodes())
            describe(attr, depth + 1, out);
    if (node->nodeType() == TdomNodeType::entityReference) return;
    const TdomNodeVector& children = node->children();
    for (std::size_t i = 0; i < children.size(); ++i) {
        TdomNodeType type = children[i]->nodeType();
        if (type != TdomNodeType::text && type != TdomNodeType::cdataSection) {
            describe(children[i], depth + 1, out);
            continue;
        }
        std::u16string data = children[i]->nodeValue();
        while (i + 1 < children.size() && children[i + 1]->nodeType() == type) data += children[++i]->nodeValue();
        out.append(static_cast<std::size_t>(depth + 1) * 2, u' ');
        out += std::u16string(1, static_cast<char16_t>(u'0' + static_cast<int>(type))) + u" [" + data + u"]\n";
    }
}

std::u16string describe(const TdomNode* node) {
    std::u16string out;
    describe(node, 0, out);
    return out;
}

struct XmlOutput : ::testing::Test {
    TDomImplementation impl;
    TdomDocument* doc = impl.createEmptyDocument();

    TdomElement* element(std::u16string_view name) { return doc->createElement(name); }
};

TEST_F(XmlOutput, EachKindOfNodeWritesItsOwnForm) {
    EXPECT_EQ(element(u"empty")->serializedText(), u"<empty></empty>");

    EXPECT_EQ(doc->createTextNode(u"a<b>&\"c'")->serializedText(), u"a&#60;b&#62;&#38;&#34;c&#39;");
    EXPECT_EQ(doc->createCDATASection(u"a<b>&\"")->serializedText(), u"<![CDATA[a<b>&\"]]>");
    EXPECT_EQ(doc->createComment(u" x<y ")->serializedText(), u"<!-- x<y -->");
    EXPECT_EQ(doc->createProcessingInstruction(u"pi", u"a=\"1\"")->serializedText(), u"<?pi a=\"1\"?>");
    EXPECT_EQ(doc->createProcessingInstruction(u"pi", u"")->serializedText(), u"<?pi ?>");

    // An entity reference writes itself, never its content.
    TdomEntityReference* reference = doc->createEntityReference(u"amp");
    reference->appendChild(doc->createTextNode(u"&"));
    EXPECT_EQ(reference->serializedText(), u"&amp;");

    // Attributes: text escaped, entity references as references; on the element in map order.
    TdomAttr* attr = doc->createAttribute(u"title");
    attr->appendChild(doc->createTextNode(u"x<\"y\""));
    attr->appendChild(doc->createEntityReference(u"ent"));
    EXPECT_EQ(attr->serializedText(), u"title=\"x&#60;&#34;y&#34;&ent;\"");
    TdomElement* e = element(u"e");
    e->setAttribute(u"b", u"2");
    e->setAttributeNode(attr);
    e->setAttribute(u"a", u"1");
    e->appendChild(doc->createTextNode(u"text"));
    e->appendChild(element(u"child"));
    e->appendChild(doc->createComment(u"c"));
    EXPECT_EQ(e->serializedText(),
              u"<e b=\"2\" title=\"x&#60;&#34;y&#34;&ent;\" a=\"1\">text<child></child><!--c--></e>");

    // Containers write their children only; a notation writes nothing.
    TdomDocumentFragment* fragment = doc->createDocumentFragment();
    fragment->appendChild(element(u"x"));
    fragment->appendChild(doc->createTextNode(u"y"));
    EXPECT_EQ(fragment->serializedText(), u"<x></x>y");
    TdomEntity* entity = doc->createEntity(u"ent", u"", u"", u"");
    entity->appendChild(doc->createTextNode(u"<v>"));
    EXPECT_EQ(entity->serializedText(), u"&#60;v&#62;");
    EXPECT_EQ(doc->createNotation(u"n", u"", u"n.bin")->serializedText(), u"");
}

TEST_F(XmlOutput, CharactersAParserWouldChangeAreWrittenAsReferences) {
    TdomElement* e = element(u"e");
    TdomAttr* attr = e->setAttribute(u"v", u"a\tb\nc\rd\"");
    auto* text = static_cast<TdomText*>(e->appendChild(doc->createTextNode(u"x\ry\tz\n")));
    e->appendChild(doc->createCDATASection(u"a]]>b]]>"));
    EXPECT_EQ(e->serializedText(),
              u"<e v=\"a&#9;b&#10;c&#13;d&#34;\">x&#13;y\tz\n<![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]></e>");
    EXPECT_EQ(attr->escapedValue(), u"a&#9;b&#10;c&#13;d&#34;");
    EXPECT_EQ(text->escapedData(), u"x&#13;y\tz\n");
}

TEST_F(XmlOutput, EveryKindOfNodeReadsBackTheSame) {
    doc->appendChild(doc->createProcessingInstruction(u"first", u"a=\"1\" ?"));
    doc->appendChild(doc->createDocumentType(u"r", u"", u"", u"<!ENTITY e \"E\">"));
    doc->appendChild(doc->createComment(u" - <c> "));
    TdomElement* r = static_cast<TdomElement*>(doc->appendChild(element(u"r")));
    r->setAttribute(u"plain", u"a\tb\nc\r\nd <&> \"'\r");
    TdomAttr* mixed = doc->createAttribute(u"mixed");
    mixed->appendChild(doc->createTextNode(u"x\r"));
    mixed->appendChild(doc->createEntityReference(u"e"));
    mixed->appendChild(doc->createTextNode(u"\ty"));
    r->setAttributeNode(mixed);
    r->appendChild(doc->createTextNode(u"line\r\nnext\rend\n\t<&>\"'"));
    TdomElement* inner = static_cast<TdomElement*>(r->appendChild(element(u"inner")));
    inner->appendChild(doc->createCDATASection(u"]]>a]]b]]>"));
    inner->appendChild(doc->createEntityReference(u"e"));
    inner->appendChild(doc->createProcessingInstruction(u"pi", u""));
    inner->appendChild(doc->createComment(u""));
    r->appendChild(element(u"empty"));
    const std::u16string expected = describe(doc);

    TXmlToDomParser parser;
    parser.setDOMImpl(&impl);
    std::vector<std::string> reports;
    parser.OnFatalError =
        parser.OnError = [&](TXmlToDomParser*, TXmlParserError& e) { reports.push_back(e.errorClass()); };
    TdomDocument* fromUtf16 = parser.wideStringToDocument(doc->serializedText());
    TdomDocument* fromUtf8 = parser.stringToDocument(doc->codeAsUtf8());
    EXPECT_TRUE(reports.empty()) << reports.front();
    EXPECT_EQ(describe(fromUtf16), expected);
    EXPECT_EQ(describe(fromUtf8), expected);
}

TEST_F(XmlOutput, DefaultAttributesAreLeftOut) {
    TdomCMObject* model = impl.createContentModel();
    TdomCMInternalObject* subset = impl.createInternalSubset(u"", u"");
    model->setInternalSubset(subset);
    TdomCMAttrList* list = subset->createAttrList(u"item");
    list->appendChild(subset->createAttrDefinition(u"kind", u"CDATA", u"", u"plain"));
    subset->appendChild(list);
    TdomDocument* target = impl.createEmptyDocument();
    target->attachContentModel(model);

    TdomElement* item = element(u"item");
    item->setAttribute(u"given", u"mine");
    auto* copy = static_cast<TdomElement*>(target->importNode(item, false));
    ASSERT_EQ(copy->attributes()->length(), 2); // given, and kind from the content model
    TdomAttr* kind = copy->getAttributeNode(u"kind");
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(copy->serializedText(), u"<item given=\"mine\"></item>");
    EXPECT_EQ(kind->serializedText(), u"");
}

TEST_F(XmlOutput, DocumentTypesWriteTheirIdentifiersAndInternalSubset) {
    EXPECT_EQ(doc->createDocumentType(u"r", u"", u"", u"")->serializedText(), u"<!DOCTYPE r >");
    EXPECT_EQ(doc->createDocumentType(u"r", u"", u"r.dtd", u"")->serializedText(), u"<!DOCTYPE r  SYSTEM \"r.dtd\" >");
    EXPECT_EQ(doc->createDocumentType(u"r", u"-//P//EN", u"r.dtd", u"")->serializedText(),
              u"<!DOCTYPE r  PUBLIC \"-//P//EN\" \"r.dtd\" >");
    EXPECT_EQ(doc->createDocumentType(u"r", u"", u"say \"hi\"", u"<!ENTITY e \"v\">")->serializedText(),
              u"<!DOCTYPE r  SYSTEM 'say \"hi\"' [<!ENTITY e \"v\">]>");
    EXPECT_EQ(doc->createDocumentType(u"r", u"", u"", u"<!ELEMENT r ANY>")->serializedText(),
              u"<!DOCTYPE r [<!ELEMENT r ANY>]>");
    // An identifier that no quote can enclose cannot be written.
    EXPECT_THROW(doc->createDocumentType(u"r", u"", u"a\"b'c", u"")->serializedText(), EConvertError);
}

TEST_F(XmlOutput, DocumentWritesItsDeclarationThenOneChildPerLine) {
    EXPECT_EQ(doc->serializedText(), u"<?xml version=\"1.0\"?>\n");
    doc->appendChild(doc->createComment(u"c"));
    doc->appendChild(doc->createDocumentType(u"r", u"", u"r.dtd", u""));
    TdomElement* r = static_cast<TdomElement*>(doc->appendChild(element(u"r")));
    r->appendChild(element(u"s"));
    doc->appendChild(doc->createProcessingInstruction(u"end", u"x"));
    EXPECT_EQ(doc->serializedText(), u"<?xml version=\"1.0\"?>\n"
                                     u"<!--c-->\n"
                                     u"<!DOCTYPE r  SYSTEM \"r.dtd\" >\n"
                                     u"<r><s></s></r>\n"
                                     u"<?end x?>\n");
    doc->setVersion(u"1.1");
    doc->setEncoding(u"ISO-8859-1");
    doc->setStandalone(u"yes");
    EXPECT_EQ(firstLine(doc->serializedText()),
              u"<?xml version=\"1.1\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>\n");
}

TEST_F(XmlOutput, EmptyDocumentInUtf16StartsWithTheByteOrderMark) {
    TMemoryStream bytes;
    doc->writeUtf16To(bytes);
    EXPECT_EQ(bytes.bytes(), "\xFF\xFE" + memoryBytes(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"));
    EXPECT_EQ(doc->codeAsUtf16(), u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n");
    EXPECT_EQ(doc->encoding(), u""); // the field is only borrowed for the write
}

TEST_F(XmlOutput, EncodingWritersConvertTextAndLineEnds) {
    TdomElement* r = static_cast<TdomElement*>(doc->appendChild(element(u"r")));
    // HIRAGANA A, HALFWIDTH KATAKANA A, a line feed inside the text, e with acute (not in code page 932).
    r->appendChild(doc->createTextNode(u"\u3042\uFF71\n\u00E9"));
    doc->setEncoding(u"stored");

    TMemoryStream utf8;
    doc->writeUtf8To(utf8);
    EXPECT_EQ(utf8.bytes(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>\xE3\x81\x82\xEF\xBD\xB1\r\n\xC3\xA9</r>\r\n");
    EXPECT_EQ(doc->codeAsUtf8(), utf8.bytes());

    TMemoryStream eucJp;
    doc->writeEucJpTo(eucJp);
    EXPECT_EQ(eucJp.bytes(), "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n<r>\xA4\xA2\x8E\xB1\n?</r>\n");

    TMemoryStream shiftJis;
    doc->writeShiftJisTo(shiftJis);
    EXPECT_EQ(shiftJis.bytes(), "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<r>\x82\xA0\xB1\r\n?</r>\r\n");

    TMemoryStream utf16;
    doc->writeUtf16To(utf16);
    EXPECT_EQ(utf16.bytes(), "\xFF\xFE" + memoryBytes(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                                                      u"<r>\u3042\uFF71\n\u00E9</r>\n"));

    EXPECT_EQ(doc->encoding(), u"stored");
    EXPECT_EQ(firstLine(doc->serializedText()), u"<?xml version=\"1.0\" encoding=\"stored\"?>\n");
}

TEST_F(XmlOutput, FailedWritesRestoreTheEncodingAndPassTheErrorOn) {
    doc->setEncoding(u"stored");
    TdomElement* r = static_cast<TdomElement*>(doc->appendChild(element(u"r")));
    TdomText* text = static_cast<TdomText*>(r->appendChild(doc->createTextNode(u"lone \xD800 surrogate")));
    TMemoryStream sink;
    EXPECT_THROW(doc->writeUtf8To(sink), EConvertError);
    EXPECT_EQ(doc->encoding(), u"stored");

    text->setData(u"fine");
    FullStream full(10);
    EXPECT_THROW(doc->writeUtf8To(full), EWriteError);
    EXPECT_EQ(doc->encoding(), u"stored");
    FullStream tiny(1);
    EXPECT_THROW(doc->writeUtf16To(tiny), EWriteError);
    EXPECT_EQ(doc->encoding(), u"stored");
    FullStream noRoom(0);
    EXPECT_THROW(doc->writeEucJpTo(noRoom), EWriteError);
    EXPECT_EQ(doc->encoding(), u"stored");
}

TEST_F(XmlOutput, LongAndDeepDocumentsAreWrittenWhole) {
    // Output far longer than one piece, full of U+FEFF (which a conversion stream drops at the start
    // of a write) and of surrogate pairs split between two text nodes: every unit must arrive.
    TdomElement* r = static_cast<TdomElement*>(doc->appendChild(element(u"r")));
    std::u16string data;
    for (int i = 0; i < 20000; ++i) {
        const std::u16string pieces[] = {std::u16string(u"\uFEFFa") + char16_t(0xD83D),
                                         char16_t(0xDE00) + std::u16string(u"b\uFEFF"), u"\uFEFF"};
        for (const std::u16string& piece : pieces) {
            r->appendChild(doc->createTextNode(piece));
            data += piece;
        }
    }
    EXPECT_EQ(doc->codeAsUtf8(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>" + utf16ToUtf8(data) + "</r>\r\n");
    EXPECT_EQ(r->serializedText(), u"<r>" + data + u"</r>");

    // Texts of U+FEFF alone: the whole run waits for a unit that a piece may start with.
    TdomElement* marks = element(u"m");
    for (int i = 0; i < 80000; ++i) marks->appendChild(doc->createTextNode(u"\uFEFF"));
    doc->replaceChild(marks, r);
    EXPECT_EQ(doc->codeAsUtf8(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<m>" +
                                     utf16ToUtf8(std::u16string(80000, u'\uFEFF')) + "</m>\r\n");

    // A chain of 100,000 nested elements.
    constexpr int kDepth = 100000;
    TdomNode* top = doc->createTextNode(u"deep");
    for (int i = 0; i < kDepth; ++i) {
        TdomNode* parent = element(u"d");
        parent->appendChild(top);
        top = parent;
    }
    std::u16string expected;
    for (int i = 0; i < kDepth; ++i) expected += u"<d>";
    expected += u"deep";
    for (int i = 0; i < kDepth; ++i) expected += u"</d>";
    EXPECT_EQ(top->serializedText(), expected);
    TMemoryStream bytes;
    top->writeTo(bytes);
    EXPECT_EQ(bytes.bytes(), memoryBytes(expected));
}

} // namespace
