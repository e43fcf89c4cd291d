#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/implementation.h"
#include "dom/processing_instruction.h"

namespace {

struct TextStore : ::testing::Test {
    TDomImplementation impl;
    TdomDocument* doc = impl.createEmptyDocument();

    std::size_t held() const { return doc->textStore().heldBytes(); }
};

// Longer than a string the store keeps in its pages.
std::u16string longText(char16_t first, std::size_t units = TdomTextStore::kMaxPagedUnits + 1000) {
    std::u16string text(units, u'x');
    text.front() = first;
    text.back() = u'!';
    return text;
}

TEST_F(TextStore, ChangingValuesOverAndOverKeepsMemoryBounded) {
    TdomText* text = doc->createTextNode(u"start");
    TdomComment* comment = doc->createComment(u"c");
    TdomProcessingInstruction* pi = doc->createProcessingInstruction(u"pi", u"d");
    const std::u16string values[] = {u"", u"abc", std::u16string(37, u'y'), std::u16string(300, u'z'),
                                     std::u16string(1500, u'w')};
    auto round = [&](int i) {
        const std::u16string& value = values[i % 5];
        text->setData(value);
        comment->setData(values[(i + 2) % 5]);
        pi->setData(values[(i + 3) % 5]);
        text->appendData(u"+");
        text->replaceData(0, 1, value.substr(0, 3));
    };
    for (int i = 0; i < 100; ++i) round(i);
    const std::size_t settled = held();
    for (int i = 100; i < 1'000'000; ++i) round(i);
    EXPECT_EQ(held(), settled);
    EXPECT_EQ(text->data(), std::u16string(values[4].substr(0, 3)) + std::u16string(1499, u'w') + u"+");
    EXPECT_EQ(comment->data(), values[1]);
    EXPECT_EQ(pi->data(), values[2]);

    // Emptying a node and filling it again, and making and destroying nodes, reuse the same blocks.
    const std::size_t beforeCycles = held();
    for (int i = 0; i < 200'000; ++i) {
        const std::u16string& value = values[2 + i % 3];
        comment->setData(u"");
        comment->setData(value);
        TdomText* passing = doc->createTextNode(value);
        doc->destroyNode(passing);
    }
    EXPECT_LE(held(), beforeCycles + 64 * 1024);
    EXPECT_EQ(comment->data(), values[3]);

    // A node that grows one unit at a time ends up with one block of twice its length at most.
    TdomText* growing = doc->createTextNode(u"");
    for (int i = 0; i < 2000; ++i) growing->appendData(u"g");
    const std::size_t grown = held();
    for (int i = 0; i < 2000; ++i) {
        growing->deleteData(0, 1000);
        growing->appendData(std::u16string(1000, u'h'));
    }
    EXPECT_EQ(held(), grown);
    EXPECT_EQ(growing->data(), std::u16string(1000, u'h') + std::u16string(1000, u'h'));
}

TEST_F(TextStore, LongTextIsTakenOverAndFreedWithItsNode) {
    std::u16string big = longText(u'a', 1 << 20);
    const char16_t* buffer = big.data();
    const std::size_t before = held();
    TdomText* text = doc->createTextNodeTaking(std::move(big));
    EXPECT_EQ(text->data().data(), buffer); // the same buffer, not a copy
    EXPECT_EQ(text->length(), 1 << 20);
    EXPECT_EQ(text->data().front(), u'a');
    EXPECT_EQ(text->data().back(), u'!');
    EXPECT_GE(held() - before, std::size_t{2} << 20);

    // Editing a long text keeps it whole; cutting it short moves it into the pages.
    text->appendData(u"?");
    text->insertData(0, text->data().substr(0, 2)); // the argument lies in the text itself
    EXPECT_EQ(text->substringData(0, 3), u"axa");
    EXPECT_EQ(text->data().back(), u'?');
    text->deleteData(10, text->length() - 20);
    EXPECT_EQ(text->data(), u"axa" + std::u16string(15, u'x') + u"!?");
    TdomElement* parent = doc->createElement(u"p");
    parent->appendChild(text);
    parent->removeChild(text);
    doc->destroyNode(text);
    EXPECT_LE(held(), before + 64 * 1024);

    // A long text given by view is copied, and dropped when the node lets it go.
    std::u16string source = longText(u'b');
    TdomComment* comment = doc->createComment(source);
    EXPECT_NE(comment->data().data(), source.data());
    EXPECT_EQ(comment->data(), source);
    const std::size_t withLong = held();
    comment->setData(u"short");
    EXPECT_LT(held(), withLong);
    EXPECT_EQ(comment->data(), u"short");
}

TEST_F(TextStore, ClearingAndDestroyingFreeEverything) {
    TdomElement* root = doc->createElement(u"root");
    doc->appendChild(root);
    for (int i = 0; i < 50'000; ++i) {
        TdomElement* item = doc->createElement(u"item");
        root->appendChild(item);
        item->setAttribute(u"n", std::u16string(static_cast<std::size_t>(i % 40), u'n'));
        item->appendChild(doc->createTextNode(std::u16string(static_cast<std::size_t>(i % 90), u't')));
        item->appendChild(doc->createComment(u"c"));
        item->appendChild(doc->createProcessingInstruction(u"pi", u"data"));
    }
    root->appendChild(doc->createTextNode(longText(u'l')));
    EXPECT_GT(doc->createdNodeCount(), std::size_t{250'000});
    EXPECT_GT(held(), std::size_t{1} << 20);
    doc->freeChildren();
    EXPECT_EQ(doc->createdNodeCount(), 0u);
    EXPECT_EQ(held(), 0u);

    // The cleared document builds again; a second document is freed whole with its nodes.
    TdomElement* again = doc->createElement(u"again");
    doc->appendChild(again);
    again->appendChild(doc->createTextNode(u"text"));
    EXPECT_EQ(doc->documentElement()->firstChild()->nodeValue(), u"text");
    TdomDocument* other = impl.createEmptyDocument();
    other->appendChild(other->createElement(u"r"))->appendChild(other->createTextNode(longText(u'o')));
    impl.freeDocument(other);
}

TEST_F(TextStore, NodesFromAnotherDocumentGetCopiesInTheirOwnStore) {
    TdomDocument* source = impl.createEmptyDocument();
    TdomElement* element = source->createElement(u"e");
    element->setAttribute(u"a", u"value");
    element->appendChild(source->createTextNode(u"short"));
    element->appendChild(source->createCDATASection(longText(u'c')));
    element->appendChild(source->createComment(u"note"));
    element->appendChild(source->createProcessingInstruction(u"t", u"pi data"));

    const std::size_t before = held();
    auto* imported = static_cast<TdomElement*>(doc->importNode(element, true));
    auto* clone = static_cast<TdomElement*>(imported->cloneNode(true));
    EXPECT_GT(held(), before);
    auto* cdata = static_cast<TdomCDATASection*>(imported->childNodes().item(1));
    EXPECT_NE(cdata->data().data(), static_cast<TdomCDATASection*>(element->childNodes().item(1))->data().data());

    impl.freeDocument(source); // the copies do not depend on the source's storage
    for (TdomElement* copy : {imported, clone}) {
        EXPECT_EQ(copy->getAttribute(u"a"), u"value");
        EXPECT_EQ(copy->childNodes().item(0)->nodeValue(), u"short");
        EXPECT_EQ(copy->childNodes().item(1)->nodeValue(), longText(u'c'));
        EXPECT_EQ(copy->childNodes().item(2)->nodeValue(), u"note");
        EXPECT_EQ(static_cast<TdomProcessingInstruction*>(copy->childNodes().item(3))->data(), u"pi data");
    }
}

TEST_F(TextStore, SplittingAndNormalizingMoveTextBetweenNodes) {
    TdomElement* parent = doc->createElement(u"p");
    std::u16string whole = longText(u's');
    TdomText* first = doc->createTextNode(whole);
    parent->appendChild(first);
    TdomText* tail = first->splitText(100); // a long text split into a short head and a long tail
    EXPECT_EQ(first->data(), whole.substr(0, 100));
    EXPECT_EQ(tail->data(), whole.substr(100));
    TdomText* small = tail->splitText(tail->length() - 3);
    EXPECT_EQ(small->data(), u"xx!");
    parent->appendChild(doc->createTextNode(u"end"));
    first->appendData(first->data()); // doubling through a view of its own data
    EXPECT_EQ(first->length(), 200);
    parent->normalize();
    ASSERT_EQ(parent->childNodes().length(), 1);
    EXPECT_EQ(first->data(), whole.substr(0, 100) + whole.substr(0, 100) + whole.substr(100) + u"end");
    first->replaceData(5, first->length(), first->data().substr(0, 5));
    EXPECT_EQ(first->data(), whole.substr(0, 5) + whole.substr(0, 5));
}

constexpr std::size_t kInline = TdomStoredText::kInlineUnits;

// The digits 0-9 then letters, cut to units units: every position distinct, so a misplaced unit shows.
std::u16string sample(std::size_t units) {
    std::u16string text;
    for (std::size_t i = 0; i < units; ++i) text.push_back(static_cast<char16_t>(u'0' + i % 43));
    return text;
}

TEST_F(TextStore, ShortStringsTakeNothingFromTheStore) {
    std::vector<TdomNode*> nodes;
    for (int i = 0; i < 20'000; ++i) {
        nodes.push_back(doc->createTextNode(sample(static_cast<std::size_t>(i) % (kInline + 1))));
        nodes.push_back(doc->createComment(u""));
        nodes.push_back(doc->createProcessingInstruction(u"t", sample(kInline)));
    }
    EXPECT_EQ(held(), 0u);
    EXPECT_EQ(nodes[3 * 12]->nodeValue(), sample(12 % (kInline + 1)));
    EXPECT_EQ(nodes[3 * 12 + 2]->nodeValue(), sample(kInline));

    // One unit more goes to a page; cut back to the inline size, the block goes back to the store
    // and the next longer string takes it again.
    auto* text = static_cast<TdomText*>(nodes[0]);
    text->setData(sample(kInline + 1));
    const std::size_t onePage = held();
    EXPECT_GT(onePage, 0u);
    for (int i = 0; i < 100'000; ++i) {
        text->deleteData(0, 1);
        EXPECT_EQ(text->data(), sample(kInline + 1).substr(1));
        text->insertData(0, u"0");
        ASSERT_EQ(text->data(), sample(kInline + 1));
    }
    EXPECT_EQ(held(), onePage);
}

// Every edit at lengths around the inline limit, checked against the same edit on a plain string;
// the argument is often a view of the node's own data, wherever that lies.
TEST_F(TextStore, EditsAcrossTheInlineLimitMatchPlainStrings) {
    TdomText* text = doc->createTextNode(u"");
    TdomProcessingInstruction* pi = doc->createProcessingInstruction(u"t", u"");
    std::u16string model;
    std::mt19937 random(7);
    auto pick = [&](std::size_t bound) { return static_cast<std::size_t>(random() % (bound + 1)); };
    for (int step = 0; step < 200'000; ++step) {
        const std::size_t length = model.size();
        const std::size_t offset = pick(length);
        const std::size_t count = pick(length - offset + 2);
        std::u16string arg = random() % 2
                                 ? std::u16string(text->data().substr(pick(length))).substr(0, pick(kInline + 2))
                                 : sample(pick(2 * kInline + 2));
        const bool ownView = random() % 3 == 0;
        std::u16string_view argView = ownView ? text->data().substr(offset, count) : std::u16string_view(arg);
        std::u16string expectedArg(argView);
        switch (random() % 5) {
        case 0:
            model = expectedArg;
            text->setData(argView);
            break;
        case 1:
            model += expectedArg;
            text->appendData(argView);
            break;
        case 2:
            model.insert(offset, expectedArg);
            text->insertData(static_cast<int>(offset), argView);
            break;
        case 3:
            model.erase(offset, count);
            text->deleteData(static_cast<int>(offset), static_cast<int>(count));
            break;
        default:
            model.replace(offset, count, expectedArg);
            text->replaceData(static_cast<int>(offset), static_cast<int>(count), argView);
            break;
        }
        if (model.size() > 3 * kInline) {
            model.erase(0, model.size() - kInline);
            text->deleteData(0, text->length() - static_cast<int>(kInline));
        }
        ASSERT_EQ(text->data(), model) << "step " << step;
        pi->setData(text->data());
        ASSERT_EQ(pi->data(), model);
    }
}

TEST_F(TextStore, InlineStringsSplitMergeAndCopyLikeOthers) {
    TdomElement* parent = doc->createElement(u"p");
    TdomText* first = doc->createTextNode(sample(kInline + 1));
    parent->appendChild(first);
    TdomText* tail = first->splitText(1); // paged into inline head and tail
    EXPECT_EQ(first->data(), u"0");
    EXPECT_EQ(tail->data(), sample(kInline + 1).substr(1));
    TdomText* empty = tail->splitText(tail->length());
    EXPECT_EQ(empty->data(), u"");
    parent->appendChild(doc->createTextNode(sample(kInline)));
    parent->normalize(); // inline pieces merge into a paged text
    ASSERT_EQ(parent->childNodes().length(), 1);
    EXPECT_EQ(first->data(), sample(kInline + 1) + sample(kInline));

    // Copies into another document own their units: changing or freeing one leaves the other whole.
    TdomDocument* other = impl.createEmptyDocument();
    TdomText* source = other->createTextNode(sample(kInline));
    auto* imported = static_cast<TdomText*>(doc->importNode(source, false));
    auto* clone = static_cast<TdomText*>(imported->cloneNode(false));
    source->setData(u"x");
    imported->appendData(u"y");
    impl.freeDocument(other);
    EXPECT_EQ(imported->data(), sample(kInline) + u"y");
    EXPECT_EQ(clone->data(), sample(kInline));
    EXPECT_NE(clone->data().data(), imported->data().data());
}

} // namespace
