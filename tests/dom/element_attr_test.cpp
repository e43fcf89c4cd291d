#include <gtest/gtest.h>

#include <string>

#include "dom/attribute_parsing.h"
#include "dom/character_data.h"
#include "dom/cm_object.h"
#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/entity_reference.h"
#include "dom/implementation.h"
#include "text/dom_exception.h"
#include "text/parser_exception.h"

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
    // A read-only attribute refuses a new value before its name changes.
    renamed->setReadonly(true);
    EXPECT_THROW(aware->setAttributeNS(u"urn:y", u"r:a", u"3"), ENo_Modification_Allowed_Err);
    EXPECT_EQ(renamed->nodeName(), u"q:a");
    EXPECT_EQ(renamed->value(), u"2");
    renamed->setReadonly(false);
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

TEST_F(Attributes, AReadOnlyMapRefusesNewNamesOfAWritableElement) {
    TdomElement* e = doc->createElement(u"e");
    TdomAttr* kept = e->setAttribute(u"kept", u"1");
    e->attributes()->setReadonly(true);
    const std::size_t nodes = doc->createdNodeCount();
    EXPECT_THROW(e->setAttribute(u"new", u"2"), ENo_Modification_Allowed_Err);
    EXPECT_EQ(doc->createdNodeCount(), nodes); // the attribute made for it is gone again
    TdomAttr* loose = doc->createAttribute(u"loose");
    EXPECT_THROW(e->setAttributeNode(loose), ENo_Modification_Allowed_Err);
    EXPECT_EQ(loose->ownerElement(), nullptr);
    EXPECT_EQ(e->setAttribute(u"kept", u"changed"), nullptr); // an existing attribute takes the value
    EXPECT_EQ(kept->value(), u"changed");
    EXPECT_EQ(e->attributes()->length(), 1);
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

std::u16string numbered(std::u16string_view stem, int i) {
    std::u16string name(stem);
    for (char c : std::to_string(i)) name += static_cast<char16_t>(c);
    return name;
}

// Large maps look names up through an index; these cases check that it follows every change.
TEST_F(Attributes, HundredThousandAttributesOnOneElement) {
    constexpr int kCount = 100000;
    TdomElement* e = doc->createElement(u"e");
    for (int i = 0; i < kCount; ++i) ASSERT_NE(e->setAttribute(numbered(u"a", i), numbered(u"v", i)), nullptr);
    TdomNamedNodeMap* map = e->attributes();
    ASSERT_EQ(map->length(), kCount);
    for (int i = 0; i < kCount; i += 997) {
        EXPECT_EQ(e->getAttribute(numbered(u"a", i)), numbered(u"v", i));
        EXPECT_EQ(map->item(i)->nodeName(), numbered(u"a", i));
        EXPECT_EQ(map->getNamedIndex(numbered(u"a", i)), i);
    }
    EXPECT_FALSE(e->hasAttribute(u"a100000"));

    // Changing a value keeps the attribute and its position.
    TdomAttr* a5 = e->getAttributeNode(u"a5");
    EXPECT_EQ(e->setAttribute(u"a5", u"five"), nullptr);
    EXPECT_EQ(map->item(5), a5);
    EXPECT_EQ(a5->value(), u"five");

    // Removals shift the later items; the names stay found at their new positions.
    EXPECT_EQ(e->removeAttribute(u"a10")->nodeName(), u"a10");
    EXPECT_EQ(map->removeNamedItem(u"a20")->nodeName(), u"a20");
    TdomAttr* a30 = e->getAttributeNode(u"a30");
    EXPECT_EQ(e->removeAttributeNode(a30), a30);
    TdomNode* a40 = map->getNamedItem(u"a40");
    EXPECT_EQ(map->removeItem(a40), a40);
    EXPECT_FALSE(e->hasAttribute(u"a10"));
    EXPECT_EQ(map->getNamedItem(u"a20"), nullptr);
    EXPECT_EQ(e->getAttributeNode(u"a30"), nullptr);
    EXPECT_EQ(e->getAttributeNode(u"a40"), nullptr);
    EXPECT_THROW(e->removeAttribute(u"a10"), ENot_Found_Err);
    EXPECT_EQ(map->length(), kCount - 4);
    EXPECT_EQ(map->getNamedIndex(u"a9"), 9);
    EXPECT_EQ(map->getNamedIndex(u"a11"), 10);
    EXPECT_EQ(map->getNamedIndex(u"a41"), 37);
    EXPECT_EQ(map->getNamedIndex(u"a99999"), kCount - 5);

    // A replacing node goes to the end; a removed name can come back, also at the end.
    TdomAttr* fresh = doc->createAttribute(u"a7");
    fresh->setValue(u"seven");
    TdomAttr* old7 = e->getAttributeNode(u"a7");
    EXPECT_EQ(e->setAttributeNode(fresh), old7);
    EXPECT_EQ(old7->ownerElement(), nullptr);
    EXPECT_EQ(map->getNamedIndex(u"a7"), kCount - 5);
    EXPECT_EQ(map->getNamedIndex(u"a8"), 7);
    EXPECT_NE(e->setAttribute(u"a20", u"back"), nullptr);
    EXPECT_EQ(map->item(map->length() - 1)->nodeName(), u"a20");
    EXPECT_EQ(e->getAttribute(u"a20"), u"back");
    EXPECT_EQ(e->getAttribute(u"a7"), u"seven");
    EXPECT_EQ(map->length(), kCount - 3);

    // Every remaining item is found under its own name.
    for (int i = 0; i < map->length(); ++i)
        ASSERT_EQ(map->getNamedItem(map->item(i)->nodeName()), map->item(i)) << i;
}

TEST_F(Attributes, ManyNamespaceAttributes) {
    constexpr int kCount = 20000;
    TdomElement* e = doc->createElementNS(u"urn:e", u"e");
    // The same local names in two namespaces.
    for (int i = 0; i < kCount; ++i) {
        ASSERT_NE(e->setAttributeNS(u"urn:x", numbered(u"x:a", i), u"x"), nullptr);
        ASSERT_NE(e->setAttributeNS(u"urn:y", numbered(u"y:a", i), u"y"), nullptr);
    }
    TdomNamedNodeMap* map = e->attributes();
    ASSERT_EQ(map->length(), 2 * kCount);
    EXPECT_EQ(e->getAttributeNS(u"urn:y", u"a123"), u"y");
    EXPECT_EQ(map->getNamedItemNS(u"urn:x", u"a123"), map->item(246));
    EXPECT_EQ(map->getNamedItemNS(u"urn:z", u"a123"), nullptr);

    // Setting an existing one renames it in place; its namespace and local name still find it.
    EXPECT_EQ(e->setAttributeNS(u"urn:x", u"q:a123", u"changed"), nullptr);
    EXPECT_EQ(map->item(246)->nodeName(), u"q:a123");
    EXPECT_EQ(e->getAttributeNS(u"urn:x", u"a123"), u"changed");

    EXPECT_NE(e->removeAttributeNS(u"urn:x", u"a0"), nullptr);
    EXPECT_NE(map->removeNamedItemNS(u"urn:y", u"a1"), nullptr);
    EXPECT_FALSE(e->hasAttributeNS(u"urn:x", u"a0"));
    EXPECT_TRUE(e->hasAttributeNS(u"urn:y", u"a0"));
    EXPECT_EQ(map->getNamedItemNS(u"urn:y", u"a1"), nullptr);
    EXPECT_EQ(map->item(0)->nodeName(), u"y:a0");
    EXPECT_EQ(map->item(1)->nodeName(), u"x:a1");

    TdomAttr* fresh = doc->createAttributeNS(u"urn:y", u"z:a2");
    TdomAttr* old = e->getAttributeNodeNS(u"urn:y", u"a2");
    EXPECT_EQ(e->setAttributeNodeNS(fresh), old);
    EXPECT_EQ(map->item(map->length() - 1), fresh);
    EXPECT_EQ(e->getAttributeNodeNS(u"urn:y", u"a2"), fresh);
    EXPECT_EQ(map->length(), 2 * kCount - 2);
    for (int i = 0; i < map->length(); ++i) {
        TdomNode* item = map->item(i);
        ASSERT_EQ(map->getNamedItemNS(item->namespaceURI(), item->localName()), item) << i;
    }
}

TEST_F(Attributes, RenamedItemOfALargePlainMap) {
    // An attribute made by the namespace factory can sit in a plain map, and setPrefix renames it
    // there; lookups must see the new name, and the first item of a name in map order wins.
    TdomElement* e = doc->createElement(u"e");
    for (int i = 0; i < 20; ++i) e->setAttribute(numbered(u"a", i), u"");
    TdomAttr* renamed = doc->createAttributeNS(u"urn:x", u"p:x");
    e->setAttributeNode(renamed);
    for (int i = 20; i < 40; ++i) e->setAttribute(numbered(u"a", i), u"");
    TdomAttr* plain = e->setAttribute(u"q:x", u"");
    EXPECT_EQ(e->getAttributeNode(u"p:x"), renamed);
    renamed->setPrefix(u"q");
    EXPECT_EQ(e->getAttributeNode(u"p:x"), nullptr);
    EXPECT_EQ(e->getAttributeNode(u"q:x"), renamed);
    EXPECT_EQ(e->attributes()->getNamedIndex(u"q:x"), 20);
    EXPECT_EQ(e->removeAttribute(u"q:x"), renamed);
    EXPECT_EQ(e->getAttributeNode(u"q:x"), plain);
    EXPECT_EQ(e->getAttributeNode(u"a39"), e->attributes()->item(39));
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
