#include <gtest/gtest.h>

#include "text/exception.h"
#include "text/name_value_list.h"

TEST(NameValueList, PairsStayTogether) {
    TdomNameValueList pairs;
    EXPECT_EQ(pairs.addPair(u"id", u"A1"), 0);
    EXPECT_EQ(pairs.addPair(u"Lat", u"35.1"), 1);
    EXPECT_EQ(pairs.addPair(u"lon", u"139.2"), 2);
    EXPECT_EQ(pairs.pairCount(), 3);
    EXPECT_EQ(pairs.pairCapacity(), 4);

    pairs.swapPairs(0, 2);
    EXPECT_EQ(pairs.nameAt(0), u"lon");
    EXPECT_EQ(pairs.valueAt(0), u"139.2");
    pairs.insertPair(1, u"x", u"y");
    EXPECT_EQ(pairs.nameAt(1), u"x");
    EXPECT_EQ(pairs.valueAt(1), u"y");
    EXPECT_EQ(pairs.valueAt(2), u"35.1");
    pairs.deletePair(1);
    EXPECT_EQ(pairs.nameAt(1), u"Lat");
    EXPECT_EQ(pairs.valueAt(1), u"35.1");

    // A bad index changes neither list.
    EXPECT_THROW(pairs.deletePair(3), EStringListError);
    EXPECT_THROW(pairs.swapPairs(0, 3), EStringListError);
    EXPECT_THROW(pairs.insertPair(4, u"n", u"v"), EStringListError);
    EXPECT_THROW(pairs.valueAt(-1), EStringListError);
    EXPECT_EQ(pairs.pairCount(), 3);
    EXPECT_EQ(pairs.valueAt(2), u"A1");

    pairs.setPairCapacity(10);
    EXPECT_EQ(pairs.pairCapacity(), 10);
    pairs.clearPairs();
    EXPECT_EQ(pairs.pairCount(), 0);
    EXPECT_THROW(pairs.nameAt(0), EStringListError);
}

TEST(NameValueList, PairSearchIsExactNameSearchIgnoresAsciiCase) {
    TdomNameValueList pairs;
    pairs.addPair(u"Name", u"Value");
    pairs.addPair(u"name", u"value");
    EXPECT_EQ(pairs.indexOfPair(u"name", u"value"), 1);
    EXPECT_EQ(pairs.indexOfPair(u"Name", u"Value"), 0);
    EXPECT_EQ(pairs.indexOfPair(u"NAME", u"value"), -1);
    EXPECT_EQ(pairs.indexOfPair(u"name", u"VALUE"), -1);
    EXPECT_EQ(pairs.indexOfPairName(u"NAME"), 0);
    EXPECT_EQ(pairs.indexOfPairName(u"nAmE"), 0);
    EXPECT_EQ(pairs.indexOfPairName(u"other"), -1);
}
