#include <gtest/gtest.h>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/dom_exception.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "dom/implementation.h"
#include "dtd/cm_object.h"
#include "parser/parser_exception.h"
#include "text/attribute_parsing.h"

namespace {

struct Attributes : ::testing::Test {
    TDomImplementation impl;
    TdomDocument* doc = impl.createEmptyDocument();
};

TEST_F(Attributes, PlainAndNamespaceFamiliesRefuseEachOther) {
    TdomElement* plain = doc->createElement(u"plain");
    TdomElement* aware = doc->createElementNS(u"urn:x", u"aware");
    EXPECT_THROW(aware->getAttribute(u"a"), ENamespace_Err);
    EXPECT_THROW(aware->setAttribute(u"a", u"1"), ENamespace_Err);
    EXPECT_THROW(aware->hasAttribute(u"a"), ENamespace_Err);
    EXPECT_THROW(aware->attributes()->getNamedItem(u"a"), ENamespace_Err);
    EXPECT_THROW(plain->getAttributeNS(u"urn:x", u"a"), ENamespace_Err);
    EXPECT_THROW(plain->setAttributeNS(u"urn:x", u"p:a", u"1"), ENamespace_Err);
    EXPECT_THROW(plain->attributes()->getNamedItemNS(u"urn:x", u"a"), ENamespace_Err);
    aware->setReadonly(true);
    EXPECT_THROW(aware->setAttribute(u"a", u"1"), ENo_Modification_Allowed_Err); // read-only check first
    aware->setReadonly(false);

    EXPECT_EQ(aware->setAttributeNS(u"urn:y", u"p:a", u"1")->nodeName(), u"p:a");
    EXPECT_EQ(aware->setAttributeNS(u"urn:y", u"q:a", u"2"), nullptr); // same namespace and local name
    EXPECT_EQ(aware->attributes()->length(), 1);
    TdomAttr* renamed = aware->getAttributeNodeNS(u"urn:y", u"a");
    EXPECT_EQ(renamed->nodeName(), u"q:a");
    EXPECT_EQ(renamed->prefix(), u"p"); // the stored parts stay
    EXPECT_EQ(renamed->value(), u"2");
    EXPECT_TRUE(aware->hasAttributeNS(u"urn:y", u"a"));
    EXPECT_THROW(aware->setAttributeNS(u"", u"p:b", u"1"), ENamespace_Err);
    EXPECT_THROW(aware->setAttributeNS(u"urn:y", u"xmlns", u"1"), ENamespace_Err);
    EXPECT_THROW(aware->setAttributeNS(u"urn:y", u"1b", u"1"), EInvalid_Character_Err);
    EXPECT_EQ(aware->removeAttributeNS(u"urn:y", u"a"), renamed);
    EXPECT_EQ(renamed->ownerElement(), nullptr);
    EXPECT_THROW(aware->removeAttributeNS(u"urn:y", u"a"), ENot_Found_Err);

    // The flag of a map changes only while it is empty.
    plain->setAttribute(u"a", u"1");
    EXPECT_THROW(plain->attributes()->setNamespaceAware(true), ENo_Modification_Allowed_Err);
    TdomElement* empty = doc->createElement(u"empty");
    empty->attributes()->setNamespaceAware(true);
    EXPECT_THROW(empty->getAttribute(u"a"), ENamespace_Err);
}

TEST_F(Attributes, SettingReplacingAndRemoving) {
    TdomElement* e = doc->createElement(u"e");
    TdomAttr* a = e->setAttribute(u"a", u"1");
    ASSERT_NE(a, nullptr);
    e->setAttribute(u"b", u"2");
    EXPECT_EQ(e->setAttribute(u"a", u"changed"), nullptr); // same object, same position
    EXPECT_EQ(e->attributes()->item(0), a);
    EXPECT_EQ(a->value(), u"changed");
    TdomAttr* fresh = doc->createAttribute(u"a");
    fresh->setValue(u"new");
    EXPECT_EQ(e->setAttributeNode(fresh), a); // the old one goes, the new one comes last
    EXPECT_EQ(a->ownerElement(), nullptr);
    EXPECT_EQ(e->attributes()->item(1), fresh);
    EXPECT_EQ(e->attributes()->item(-1), nullptr);
    EXPECT_EQ(e->attributes()->item(2), nullptr);
    EXPECT_EQ(e->setAttributeNode(fresh), nullptr); // already there: nothing changes
    EXPECT_EQ(e->attributes()->length(), 2);

    TdomElement* other = doc->createElement(u"other");
    EXPECT_THROW(other->setAttributeNode(fresh), EInuse_Attribute_Err);
    EXPECT_EQ(other->attributes()->length(), 0);
    EXPECT_EQ(fresh->ownerElement(), e);
    EXPECT_THROW(other->attributes()->setNamedItem(fresh), EInuse_Attribute_Err);
    EXPECT_THROW(other->attributes()->setNamedItem(doc->createElement(u"x")), EHierarchy_Request_Err);
    TdomDocument* foreign = impl.createEmptyDocument();
    EXPECT_THROW(other->setAttributeNode(foreign->createAttribute(u"f")), EWrong_Document_Err);

    EXPECT_THROW(e->removeAttribute(u"absent"), ENot_Found_Err);
    EXPECT_THROW(e->setAttribute(u"bad name", u"v"), EInvalid_Character_Err);
    EXPECT_EQ(e->removeAttribute(u"b")->nodeName(), u"b");
    EXPECT_EQ(e->getAttribute(u"b"), u"");
    EXPECT_EQ(e->attributes()->getNamedIndex(u"a"), 0);
    EXPECT_EQ(e->attributes()->removeNamedItem(u"a"), fresh);
    EXPECT_THROW(e->attributes()->removeNamedItem(u"a"), ENot_Found_Err);
    e->setReadonly(true);
    EXPECT_TRUE(e->attributes()->isReadonly());
    EXPECT_THROW(e->setAttributeNode(a), ENo_Modification_Allowed_Err);
    EXPECT_THROW(e->attributes()->setNamedItem(a), ENo_Modification_Allowed_Err);
    // Only ownerless attributes can be destroyed.
    doc->destroyNode(fresh);
    EXPECT_EQ(fresh, nullptr);
}

TEST_F(Attributes, ValuesWithEntityReferencesAndNormalization) {
    TdomElement* e = doc->createElement(u"item");
    TdomAttr* attr = doc->createAttribute(u"v");
    attr->appendChild(doc->createTextNode(u"a<b"));
    attr->appendChild(doc->createEntityReference(u"amp"));
    e->setAttributeNode(attr);
    EXPECT_EQ(attr->value(), u"a<b&#38;");
    EXPECT_EQ(attr->nodeValue(), attr->value());
    EXPECT_EQ(attr->escapedValue(), u"a&#60;b&amp;");
    attr->replaceChild(doc->createEntityReference(u"gt"), attr->lastChild());
    EXPECT_EQ(attr->value(), u"a<b>");
    attr->appendChild(doc->createEntityReference(u"lt"));
    EXPECT_EQ(attr->value(), u"a<b>&#60;");
    attr->appendChild(doc->createEntityReference(u"undeclared"));
    EXPECT_THROW(attr->value(), EInvalid_Entity_Reference_Err);

    TdomCMObject* model = impl.createContentModel();
    TdomCMInternalObject* subset = impl.createInternalSubset(u"", u"");
    model->setInternalSubset(subset);
    TdomCMAttrList* list = subset->createAttrList(u"item");
    list->appendChild(subset->createAttrDefinition(u"tokens", u"NMTOKENS", u"#IMPLIED", u""));
    list->appendChild(subset->createAttrDefinition(u"text", u"CDATA", u"#IMPLIED", u""));
    subset->appendChild(list);
    subset->appendChild(subset->createEntityDeclaration(u"undeclared", u"x  y", u"", u"", u""));
    doc->attachContentModel(model);
    EXPECT_EQ(attr->value(), u"a<b>&#60;x  y"); // "v" is not declared: no normalization

    e->setAttribute(u"tokens", u"  one   two  ");
    e->setAttribute(u"text", u"  one   two  ");
    EXPECT_EQ(e->getAttribute(u"tokens"), u"one two");
    EXPECT_EQ(e->getAttribute(u"text"), u"  one   two  ");
    TdomAttr* loose = doc->createAttribute(u"tokens");
    loose->setValue(u" a  b ");
    EXPECT_EQ(loose->value(), u" a  b "); // without an owner element no definition applies

    // normalize merges adjacent text children of elements and attributes, but not CDATA sections.
    TdomAttr* split = doc->createAttribute(u"split");
    split->appendChild(doc->createTextNode(u"1"));
    split->appendChild(doc->createTextNode(u"2"));
    e->setAttributeNode(split);
    e->appendChild(doc->createTextNode(u"a"));
    e->appendChild(doc->createTextNode(u"b"));
    e->appendChild(doc->createCDATASection(u"c"));
    e->appendChild(doc->createTextNode(u""));
    e->appendChild(doc->createTextNode(u"d"));
    e->normalize();
    ASSERT_EQ(e->childNodes().length(), 3);
    EXPECT_EQ(e->firstChild()->nodeValue(), u"ab");
    EXPECT_EQ(e->lastChild()->nodeValue(), u"d");
    EXPECT_EQ(split->childNodes().length(), 1);
    EXPECT_EQ(split->value(), u"12");
}

TEST_F(Attributes, EntityMapsRefuseSelfReference) {
    TdomDocumentType* type = doc->createDocumentType(u"root", u"", u"", u"");
    doc->appendChild(type);
    TdomEntitiesNamedNodeMap* entities = type->entities();
    TdomEntity* a = doc->createEntity(u"a", u"", u"", u"");
    a->appendChild(doc->createTextNode(u"A"));
    a->appendChild(doc->createEntityReference(u"b"));
    entities->setNamedItem(a);
    EXPECT_EQ(a->textContent(), u"A"); // b is not known yet

    TdomEntity* b = doc->createEntity(u"b", u"", u"", u"");
    b->appendChild(doc->createTextNode(u"B"));
    entities->setNamedItem(b);
    EXPECT_EQ(a->textContent(), u"AB"); // a's reference to b is filled now

    // c refers to a, which refers back to c: refused, and the map stays without it.
    TdomEntity* c = doc->createEntity(u"c", u"", u"", u"");
    c->appendChild(doc->createEntityReference(u"a"));
    a->appendChild(doc->createEntityReference(u"c"));
    try {
        entities->setNamedItem(c);
        FAIL() << "a self-referring entity was accepted";
    } catch (const EParserInvalidEntityDeclaration_Err& e) {
        EXPECT_STREQ(e.what(), "Invalid entity declaration error.");
    }
    EXPECT_EQ(entities->getNamedItem(u"c"), nullptr);
    EXPECT_FALSE(c->hasChildNodes());
    EXPECT_EQ(entities->length(), 2);

    // Removing b empties the references to it.
    EXPECT_EQ(entities->removeNamedItem(u"b"), b);
    EXPECT_EQ(a->textContent(), u"A");
    EXPECT_THROW(entities->setNamedItem(doc->createNotation(u"n", u"", u"n.txt")), EHierarchy_Request_Err);
    EXPECT_EQ(type->notations()->setNamedItem(doc->createNotation(u"n", u"", u"n.txt")), nullptr);
}

TEST(AttributeSpecs, ParsesValuesAndReferences) {
    TdomDocument doc;
    TdomElement* e = doc.createElement(u"e");
    parseAttributeSpecs(u" a=\"1\"  b = 'two words' c=\"x&amp;y&#65;&#x1F600;z\"", e);
    ASSERT_EQ(e->attributes()->length(), 3);
    EXPECT_EQ(e->getAttribute(u"a"), u"1");
    EXPECT_EQ(e->getAttribute(u"b"), u"two words");
    TdomAttr* c = e->getAttributeNode(u"c");
    ASSERT_EQ(c->childNodes().length(), 4);
    EXPECT_EQ(c->firstChild()->nodeValue(), u"x");
    EXPECT_EQ(c->childNodes().item(1)->nodeType(), TdomNodeType::entityReference);
    EXPECT_EQ(c->childNodes().item(2)->nodeValue(), u"yA\U0001F600"); // character references join the text before
    EXPECT_EQ(c->lastChild()->nodeValue(), u"z");
    EXPECT_EQ(c->value(), u"x&#38;yA\U0001F600z");

    auto fails = [](std::u16string_view text, auto exception) {
        TdomDocument d;
        TdomElement* element = d.createElement(u"e");
        try {
            parseAttributeSpecs(text, element);
        } catch (const decltype(exception)& e) {
            return std::string(e.what());
        } catch (const std::exception& e) {
            return std::string("wrong exception: ") + e.what();
        }
        return std::string("no exception");
    };
    EXPECT_EQ(fails(u"a=\"1\"b=\"2\"", EParserMissingWhiteSpace_Err("")), "Missing white-space error.");
    EXPECT_EQ(fails(u"a==\"1\"", EParserDoubleEqualitySign_Err("")), "Double equality sign error.");
    EXPECT_EQ(fails(u"a=1", EParserMissingQuotationMark_Err("")), "Missing quotation mark error.");
    EXPECT_EQ(fails(u"a=\"1", EParserMissingQuotationMark_Err("")), "Missing quotation mark error.");
    EXPECT_EQ(fails(u"a \"1\"", EParserMissingEqualitySign_Err("")), "Missing equality sign error.");
    EXPECT_EQ(fails(u"1a=\"1\"", EParserInvalidAttributeName_Err("")), "Invalid attribute name error.");
    EXPECT_EQ(fails(u"a=\"1\" a='2'", EParserDoubleAttributeName_Err("")), "Double attribute name error.");
    EXPECT_EQ(fails(u"a=\"<\"", EParserInvalidAttributeValue_Err("")), "Invalid attribute value error.");
    EXPECT_EQ(fails(u"a=\"&amp\"", EParserInvalidAttributeValue_Err("")), "Invalid attribute value error.");
    EXPECT_EQ(fails(u"a=\"&#xD800;\"", EParserInvalidCharRef_Err("")), "Invalid character reference error.");
    EXPECT_EQ(fails(u"", EParserInvalidCharRef_Err("")), "no exception");
}

} // namespace
