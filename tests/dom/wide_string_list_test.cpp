#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "text/exception.h"
#include "text/wide_string_list.h"

namespace {

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EStringListError& e) {
        return e.message();
    }
    return "(nothing raised)";
}

std::vector<std::u16string> stringsOf(const TdomWideStringList& list) {
    std::vector<std::u16string> result;
    for (int k = 0; k < list.count(); ++k) result.push_back(list.stringAt(k));
    return result;
}

} // namespace

TEST(WideStringList, UnsortedAddInsertDeleteAndBounds) {
    TdomWideStringList list;
    EXPECT_EQ(list.addString(u"b"), 0);
    EXPECT_EQ(list.addString(u"a"), 1);
    EXPECT_EQ(list.addString(u"b"), 2); // unsorted lists keep duplicates whatever the mode
    list.insertAt(3, u"end");           // index equal to the count appends
    list.insertAt(0, u"start");
    EXPECT_EQ(stringsOf(list), (std::vector<std::u16string>{u"start", u"b", u"a", u"b", u"end"}));
    EXPECT_EQ(list.objectAt(0), nullptr);

    EXPECT_EQ(messageOf([&] { list.insertAt(6, u"x"); }), "List index out of bounds (6)");
    EXPECT_EQ(messageOf([&] { list.insertAt(-1, u"x"); }), "List index out of bounds (-1)");
    EXPECT_EQ(messageOf([&] { list.stringAt(5); }), "List index out of bounds (5)");
    EXPECT_EQ(messageOf([&] { list.objectAt(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(messageOf([&] { list.deleteAt(5); }), "List index out of bounds (5)");
    EXPECT_EQ(messageOf([&] { list.setStringAt(5, u"x"); }), "List index out of bounds (5)");
    EXPECT_EQ(messageOf([&] { list.setObjectAt(7, nullptr); }), "List index out of bounds (7)");
    // swap names the bad index, also when only the second is bad.
    EXPECT_EQ(messageOf([&] { list.swap(1, 9); }), "List index out of bounds (9)");
    EXPECT_EQ(messageOf([&] { list.swap(-2, 1); }), "List index out of bounds (-2)");

    int tag = 7;
    list.setObjectAt(2, &tag);
    list.swap(2, 0);
    EXPECT_EQ(list.stringAt(0), u"a");
    EXPECT_EQ(list.objectAt(0), &tag);
    EXPECT_EQ(list.objectAt(2), nullptr);

    list.deleteAt(0);
    EXPECT_EQ(stringsOf(list), (std::vector<std::u16string>{u"b", u"start", u"b", u"end"}));
    list.setStringAt(1, u"B2");
    EXPECT_EQ(list.stringAt(1), u"B2");

    // Linear search ignores ASCII case and finds the first match.
    EXPECT_EQ(list.indexOfString(u"B"), 0);
    EXPECT_EQ(list.indexOfString(u"b2"), 1);
    EXPECT_EQ(list.indexOfString(u"missing"), -1);

    list.clearAll();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.capacity(), 0);
}

TEST(WideStringList, CapacityGrowsByFourSixteenAndAQuarter) {
    TdomWideStringList list;
    std::vector<int> capacities;
    for (int k = 0; k < 100; ++k) {
        list.appendString(u"x");
        if (capacities.empty() || capacities.back() != list.capacity()) capacities.push_back(list.capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));

    list.setCapacity(200);
    EXPECT_EQ(list.capacity(), 200);
    EXPECT_EQ(list.count(), 100);
    EXPECT_EQ(list.stringAt(99), u"x");
    // Shrinking below the count would drop entries that the count still claims.
    EXPECT_EQ(messageOf([&] { list.setCapacity(99); }), "List capacity out of bounds (99)");
    EXPECT_EQ(list.count(), 100);
    list.setCapacity(100);
    EXPECT_EQ(list.capacity(), 100);

    // Refilled after clearing, small or large, the list grows as a new one does, whatever storage
    // it kept from before.
    for (int fill : {3, 100, 10}) {
        list.clearAll();
        EXPECT_EQ(list.capacity(), 0);
        capacities.clear();
        for (int k = 0; k < fill; ++k) {
            list.appendString(std::u16string(static_cast<std::size_t>(k % 20), u'y'));
            if (capacities.empty() || capacities.back() != list.capacity()) capacities.push_back(list.capacity());
        }
        const std::vector<int> expected{4, 8, 12, 28, 44, 60, 76, 95, 118};
        EXPECT_EQ(capacities,
                  std::vector<int>(expected.begin(), expected.begin() + static_cast<long>(capacities.size())));
        EXPECT_EQ(list.count(), fill);
        EXPECT_EQ(list.stringAt(fill - 1), std::u16string(static_cast<std::size_t>((fill - 1) % 20), u'y'));
    }
}

TEST(WideStringList, SortedListsAndDuplicateModes) {
    TdomWideStringList list;
    for (const char16_t* s : {u"pear", u"Apple", u"fig", u"banana", u"apple"}) list.appendString(s);
    list.setSorted(true);
    EXPECT_TRUE(list.sorted());
    // "Apple" and "apple" are equal to the comparison; their order after the sort is not fixed.
    std::vector<std::u16string> sorted = stringsOf(list);
    EXPECT_EQ(sorted.size(), 5u);
    EXPECT_EQ(TdomWideStringList::compareStrings(sorted[0], u"APPLE"), 0);
    EXPECT_EQ(TdomWideStringList::compareStrings(sorted[1], u"APPLE"), 0);
    EXPECT_EQ(sorted[2], u"banana");
    EXPECT_EQ(sorted[3], u"fig");
    EXPECT_EQ(sorted[4], u"pear");

    EXPECT_EQ(messageOf([&] { list.insertAt(0, u"x"); }), "Operation not allowed on sorted string list");
    EXPECT_EQ(messageOf([&] { list.setStringAt(0, u"x"); }), "Operation not allowed on sorted string list");

    // Ignore: the index of the equal entry comes back and nothing is added.
    list.setDuplicates(TdomDuplicates::dupIgnore);
    EXPECT_EQ(list.addString(u"FIG"), 3);
    EXPECT_EQ(list.count(), 5);
    // Error: a string differing only in ASCII case is refused.
    list.setDuplicates(TdomDuplicates::dupError);
    EXPECT_EQ(messageOf([&] { list.addString(u"BANANA"); }), "String list does not allow duplicates");
    EXPECT_EQ(list.count(), 5);
    EXPECT_EQ(list.addString(u"cherry"), 3);
    // Accept: inserted before the first equal entry.
    list.setDuplicates(TdomDuplicates::dupAccept);
    EXPECT_EQ(list.addString(u"APPLE"), 0);
    EXPECT_EQ(list.count(), 7);
    EXPECT_EQ(list.addString(u"zebra"), 7);
    EXPECT_EQ(list.addString(u""), 0);

    int found = -1;
    EXPECT_TRUE(list.findSorted(u"Cherry", found));
    EXPECT_EQ(list.stringAt(found), u"cherry");
    EXPECT_FALSE(list.findSorted(u"date", found));
    EXPECT_EQ(list.stringAt(found), u"fig"); // insertion point
    EXPECT_EQ(list.indexOfString(u"PEAR"), list.count() - 2);
    EXPECT_EQ(list.indexOfString(u"kiwi"), -1);

    // Switching sorting off keeps the order; insertAt works again.
    list.setSorted(false);
    list.insertAt(0, u"zzz");
    EXPECT_EQ(list.stringAt(0), u"zzz");
}

TEST(WideStringList, ComparisonGoesThroughCodePage932) {
    // ASCII case is ignored, other bytes compare by value; a prefix sorts first.
    EXPECT_EQ(TdomWideStringList::compareStrings(u"abc", u"ABC"), 0);
    EXPECT_LT(TdomWideStringList::compareStrings(u"ab", u"abc"), 0);
    EXPECT_GT(TdomWideStringList::compareStrings(u"b", u"ABC"), 0);
    // "_" (0x5F) lies between the upper- and lower-case letters; folding to lower case puts it first.
    EXPECT_LT(TdomWideStringList::compareStrings(u"_", u"a"), 0);
    EXPECT_LT(TdomWideStringList::compareStrings(u"_", u"A"), 0);
    // Code page order, not code point order: hiragana A is 0x82A0, katakana A 0x8341, U+4E00 0x88EA,
    // half-width katakana A the single byte 0xB1 and U+703E 0xE070.
    EXPECT_LT(TdomWideStringList::compareStrings(u"\u3042", u"\u30A2"), 0);
    EXPECT_GT(TdomWideStringList::compareStrings(u"\uFF71", u"\u3042"), 0);
    EXPECT_GT(TdomWideStringList::compareStrings(u"\uFF71", u"\u4E00"), 0);
    EXPECT_LT(TdomWideStringList::compareStrings(u"\uFF71", u"\u703E"), 0);
    EXPECT_GT(TdomWideStringList::compareStrings(u"\u4E00", u"\u30A2"), 0);
    EXPECT_GT(TdomWideStringList::compareStrings(u"\uFF71", u"z"), 0);
    // Full-width letters are not folded: they are not ASCII.
    EXPECT_NE(TdomWideStringList::compareStrings(u"\uFF21", u"\uFF41"), 0);
    // Characters the code page lacks all become "?" and compare equal to it.
    EXPECT_EQ(TdomWideStringList::compareStrings(u"a\u00E9", u"a?"), 0);
    EXPECT_EQ(TdomWideStringList::compareStrings(u"\U0001F600", u"?"), 0);
    // Mixed ASCII prefix and Japanese rest.
    EXPECT_EQ(TdomWideStringList::compareStrings(u"Name\u540D", u"nAME\u540D"), 0);
    EXPECT_LT(TdomWideStringList::compareStrings(u"Name", u"name\u540D"), 0);
}

TEST(WideStringList, QuickSortAgreesWithTheComparison) {
    std::mt19937 random(42);
    TdomWideStringList list;
    std::vector<std::u16string> expected;
    const std::u16string alphabet = u"aAbBcC_\u3042\u30A2\uFF71";
    for (int k = 0; k < 3000; ++k) {
        std::u16string s;
        for (int n = random() % 4; n >= 0; --n) s.push_back(alphabet[random() % alphabet.size()]);
        list.appendString(s);
        expected.push_back(s);
    }
    // Many equal keys and an already sorted list must not break the partitioning.
    list.sortAll();
    for (int k = 1; k < list.count(); ++k)
        ASSERT_LE(TdomWideStringList::compareStrings(list.stringAt(k - 1), list.stringAt(k)), 0) << k;
    std::vector<std::u16string> got = stringsOf(list);
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);

    // The objects travel with their strings.
    TdomWideStringList tagged;
    std::vector<int> tags(50);
    for (int k = 0; k < 50; ++k)
        tagged.addStringWithObject(std::u16string(1, static_cast<char16_t>(u'a' + (k * 7) % 50)), &tags[k]);
    tagged.setSorted(true);
    for (int k = 0; k < 50; ++k) {
        const int original = static_cast<int*>(tagged.objectAt(k)) - tags.data();
        EXPECT_EQ(tagged.stringAt(k)[0], static_cast<char16_t>(u'a' + (original * 7) % 50));
    }
}

TEST(WideStringList, ChangeNotificationsAndUpdateBracket) {
    TdomWideStringList list;
    std::vector<std::string> log;
    list.OnChanging = [&](TdomWideStringList& sender) {
        EXPECT_EQ(&sender, &list);
        log.push_back("changing " + std::to_string(sender.count()));
    };
    list.OnChanged = [&](TdomWideStringList& sender) { log.push_back("changed " + std::to_string(sender.count())); };

    list.appendString(u"a");
    EXPECT_EQ(log, (std::vector<std::string>{"changing 0", "changed 1"}));
    log.clear();
    list.setObjectAt(0, nullptr);
    list.deleteAt(0);
    EXPECT_EQ(log, (std::vector<std::string>{"changing 1", "changed 1", "changing 1", "changed 0"}));
    log.clear();
    list.clearAll(); // already empty: no notification
    EXPECT_TRUE(log.empty());

    list.holdChanges();
    list.holdChanges();
    list.appendString(u"a");
    list.appendString(u"b");
    list.releaseChanges();
    EXPECT_EQ(log, (std::vector<std::string>{"changing 0"}));
    list.releaseChanges();
    EXPECT_EQ(log, (std::vector<std::string>{"changing 0", "changed 2"}));
    // An unpaired release does not open a bracket the wrong way round.
    list.releaseChanges();
    EXPECT_EQ(list.updateDepth(), 0);
    log.clear();

    TdomWideStringList other;
    other.appendString(u"x");
    other.appendString(u"y");
    list.assign(other);
    EXPECT_EQ(log, (std::vector<std::string>{"changing 2", "changed 2"}));
    EXPECT_EQ(stringsOf(list), (std::vector<std::u16string>{u"x", u"y"}));

    // A failure inside a bracket still closes it.
    log.clear();
    list.setSorted(true);
    list.setDuplicates(TdomDuplicates::dupError);
    other.appendString(u"X");
    EXPECT_THROW(list.addStrings(other), EStringListError);
    EXPECT_EQ(list.updateDepth(), 0);
    EXPECT_EQ(log.back(), "changed 2");
}

TEST(WideStringList, AssignAndAddStringsFromItself) {
    TdomWideStringList list;
    int a = 1;
    list.addStringWithObject(u"one", &a);
    list.appendString(u"two");
    list.assign(list);
    EXPECT_EQ(stringsOf(list), (std::vector<std::u16string>{u"one", u"two"}));
    list.addStrings(list);
    EXPECT_EQ(stringsOf(list), (std::vector<std::u16string>{u"one", u"two", u"one", u"two"}));
    EXPECT_EQ(list.objectAt(2), &a);

    TdomWideStringList copy;
    copy.appendString(u"old");
    copy.assign(list);
    EXPECT_EQ(stringsOf(copy), stringsOf(list));
    EXPECT_EQ(copy.objectAt(0), &a);
}
