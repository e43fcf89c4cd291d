#include <gtest/gtest.h>

#include <string>

#include "chain_helpers.h"
#include "dom/character_data.h"
#include "dom/element.h"
#include "dom/named_node_map.h"
#include "text/parser_exception.h"

namespace {

std::string built(const std::string& text) {
    DocumentChain chain;
    EXPECT_TRUE(chain.parse(text)) << chain.errorClass();
    return treeShape(chain.document);
}

} // namespace

TEST(DocBuilder, KeepsCharacterDataInsideElementsOnly) {
    EXPECT_EQ(built("<?xml version='1.0'?>\n<!DOCTYPE r>\n<r>\n  <a/>\n</r>\n<!--after-->\n"),
              "D:r,r(t:\n  ,a(),t:\n),!:after");
    EXPECT_EQ(built("<r>ab&#x43;d&amp;e</r>"), "r(t:abCd,&amp,t:e)");
    EXPECT_EQ(built("<r>a<![CDATA[<b>]]>c<?pi x?></r>"), "r(t:a,c:<b>,t:c,?pi)");
    EXPECT_EQ(built("<r>&#x1F600;&#65;</r>"), "r(t:\xF0\x9F\x98\x80"
                                              "A)");

    DocumentChain chain;
    EXPECT_FALSE(chain.parse("<r/>text"));
    EXPECT_EQ(chain.errorClass(), "EParserNotInRoot_Err");
    EXPECT_EQ(chain.reports[0].code, u"text");
    // What was built before the failing signal stays.
    EXPECT_EQ(treeShape(chain.document), "r()");
    EXPECT_FALSE(chain.parse("<r/>&#65;"));
    EXPECT_EQ(chain.errorClass(), "EParserInvalidCharRef_Err");
    EXPECT_TRUE(chain.parse("<r/>\n "));
    // The document learns its system identifier from the locator.
    EXPECT_EQ(chain.document->systemId(), u"test.xml");
}

TEST(DocBuilder, SplitsAttributeValuesWithReferences) {
    EXPECT_EQ(built("<r a='plain' b='&#65;y' c='x&#65;y&amp;z' d='&amp;'/>"),
              "r(@a(t:plain),@b(t:A,t:y),@c(t:xA,t:y,&amp,t:z),@d(&amp))");

    // Reader and builder alone: the builder's own checks answer.
    TDomImplementation implementation;
    TXmlCustomProcessorAgent agent;
    TXmlStandardDocReader reader;
    TXmlDocBuilder builder;
    reader.setNextHandler(&builder);
    std::vector<std::pair<std::string, std::u16string>> reports; // class and code
    reader.OnFatalError = [&](TXmlCustomProcessorAgent*, TXmlParserError& e) {
        reports.push_back({e.errorClass(), e.code()});
    };
    auto run = [&](const std::string& text) {
        TdomDocument* document = implementation.createEmptyDocument();
        builder.setReferenceNode(document);
        TXmlMemoryStream stream(text.data(), static_cast<std::int64_t>(text.size()));
        TXmlInputSource source(&stream, u"", u"");
        reader.parse(&agent, source);
        std::string result =
            reports.empty() ? treeShape(document) : reports.back().first + ":" + narrow(reports.back().second);
        reports.clear();
        return result;
    };
    EXPECT_EQ(run("<r a='x&amp'/>"), "EParserInvalidAttributeValue_Err:x&amp");
    EXPECT_EQ(run("<r a='&#0;'/>"), "EParserInvalidAttributeValue_Err:&#0;");
    EXPECT_EQ(run("<r a='&1;'/>"), "EParserInvalidAttributeValue_Err:&1;");
    EXPECT_EQ(run("<r 1a='v'/>"), "EParserInvalidAttributeName_Err:v");
    EXPECT_EQ(run("<r><a></b></r>"), "EParserMissingStartTag_Err:b");
    EXPECT_EQ(run("<r>x]]>y</r>"), "r(t:x]]>y)");
}

TEST(DocBuilder, NamespaceModeResolvesPrefixes) {
    DocumentChain plain;
    ASSERT_TRUE(plain.parse("<p:a xml:lang='en'/>"));
    TdomElement* element = plain.document->documentElement();
    EXPECT_EQ(element->nodeName(), u"p:a");
    EXPECT_EQ(element->namespaceURI(), u"");

    DocumentChain chain;
    chain.builder.setBuildNamespaceTree(true);
    ASSERT_TRUE(chain.parse("<a xml:lang='en' xmlns='urn:d' b='1'/>"));
    element = chain.document->documentElement();
    EXPECT_NE(element->getAttributeNodeNS(kXmlNamespaceUri, u"lang"), nullptr);
    EXPECT_NE(element->getAttributeNodeNS(kXmlnsNamespaceUri, u"xmlns"), nullptr);
    EXPECT_NE(element->getAttributeNodeNS(u"", u"b"), nullptr);
    EXPECT_FALSE(chain.parse("<p:a/>"));
    EXPECT_EQ(chain.errorClass(), "EParserNamespaceURINotFound_Err");
    EXPECT_FALSE(chain.parse("<a p:b='1'/>"));
    EXPECT_EQ(chain.errorClass(), "EParserNamespaceURINotFound_Err");
    EXPECT_EQ(chain.reports.back().code, u"p:b");
    EXPECT_FALSE(chain.parse("<a:b:c/>"));
    EXPECT_EQ(chain.errorClass(), "EParserInvalidQualifiedName_Err");

    // Prefix mappings come from the signals only; a pushed mapping resolves names.
    TXmlDocBuilder& builder = chain.builder;
    TXmlCustomProcessorAgent& agent = chain.agent;
    TdomDocument* document = chain.implementation.createEmptyDocument();
    builder.setReferenceNode(document);
    auto answer = [](TXmlErrorRecord record) { return record ? record->errorClass() : std::string(); };
    EXPECT_EQ(answer(builder.startPrefixMapping(&agent, nullptr, u"xmlns", u"urn:other")), "EParserInvalidPrefix_Err");
    EXPECT_EQ(answer(builder.startPrefixMapping(&agent, nullptr, u"1a", u"urn:x")), "EParserInvalidPrefix_Err");
    EXPECT_EQ(answer(builder.startPrefixMapping(&agent, nullptr, u"p", u"urn:<")), "EParserInvalidNamespaceURI_Err");
    EXPECT_EQ(answer(builder.startPrefixMapping(&agent, nullptr, u"p", u"urn:p")), "");
    TdomNameValueList none;
    EXPECT_EQ(answer(builder.startElement(&agent, nullptr, u"", u"p:a", none)), "");
    EXPECT_EQ(document->documentElement()->namespaceURI(), u"urn:p");
    EXPECT_EQ(answer(builder.endPrefixMapping(&agent, nullptr, u"q")), "EParserWrongPrefixMappingNesting_Err");
    EXPECT_EQ(answer(builder.endPrefixMapping(&agent, nullptr, u"p")), "");
    EXPECT_EQ(answer(builder.endPrefixMapping(&agent, nullptr, u"p")), "EParserWrongPrefixMappingNesting_Err");
}

TEST(DocBuilder, HostileShapesEndInADocumentOrOneRecord) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<d>";
    for (int i = 0; i < 100000; ++i) deep += "</d>";
    DocumentChain chain;
    EXPECT_TRUE(chain.parse(deep));
    int depth = 0;
    for (TdomNode* node = chain.document->documentElement(); node; node = node->firstChild()) ++depth;
    EXPECT_EQ(depth, 100000);

    // One start tag with 100,000 attributes: every step of the chain must stay linear in them.
    std::string attributes;
    for (int i = 0; i < 100000; ++i) attributes += " a" + std::to_string(i) + "='v'";
    EXPECT_TRUE(chain.parse("<r" + attributes + "/>"));
    EXPECT_EQ(chain.document->documentElement()->attributes()->length(), 100000);
    EXPECT_FALSE(chain.parse("<r" + attributes + " a99999='w'/>"));
    EXPECT_EQ(chain.errorClass(), "EParserDoubleAttributeName_Err");
    // The XML declaration reads its pseudo-attributes by the attribute grammar, whose exceptions
    // leave the run: as many of them fail just as fast.
    EXPECT_FALSE(chain.parse("<?xml version='1.0'" + attributes + "?><r/>"));
    EXPECT_EQ(chain.errorClass(), "EParserInvalidXmlDeclaration_Err");
    EXPECT_THROW(chain.parse("<?xml version='1.0'" + attributes + " a0='w'?><r/>"), EParserDoubleAttributeName_Err);

    // Truncated markup of every kind ends in one record and keeps what was built.
    const char* truncated[] = {"<r><a x='1", "<r><!-- c",     "<r><?pi", "<r><![CDATA[x",
                               "<r>&amp",    "<!DOCTYPE r [", "<r></r",  "<?xml version='1.0'"};
    for (const char* text : truncated) {
        DocumentChain one;
        EXPECT_FALSE(one.parse(text)) << text;
        EXPECT_EQ(one.reports.size(), 1u) << text;
    }
}
