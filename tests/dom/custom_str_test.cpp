#include <gtest/gtest.h>

#include <string>

#include "dom/custom_str.h"

TEST(CustomStr, GrowsByAQuarterFromSixtyFour) {
    TdomCustomStr s;
    EXPECT_EQ(s.capacity(), 64u);
    EXPECT_EQ(s.length(), 0u);
    for (int k = 0; k < 64; ++k) s.appendChar(u'a');
    EXPECT_EQ(s.capacity(), 64u);
    s.appendChar(u'b');
    EXPECT_EQ(s.capacity(), 80u);
    EXPECT_EQ(s.length(), 65u);
    EXPECT_EQ(s.charAt(65), u'b');
    EXPECT_EQ(s.charAt(1), u'a');

    // appendText grows in quarters until the text fits: 80 -> 100 -> 125 -> 156.
    s.appendText(std::u16string(80, u'x'));
    EXPECT_EQ(s.capacity(), 156u);
    EXPECT_EQ(s.length(), 145u);

    s.empty();
    EXPECT_EQ(s.capacity(), 64u);
    EXPECT_EQ(s.length(), 0u);
    EXPECT_EQ(s.text(), u"");
}

TEST(CustomStr, ContentAndComparisons) {
    TdomCustomStr s;
    EXPECT_TRUE(s.sameAs(u""));
    EXPECT_FALSE(s.hasPrefix(u""));
    EXPECT_FALSE(s.hasSuffix(u""));
    EXPECT_FALSE(s.hasSuffix(u"a"));

    s.appendText(u"<!--x-->");
    EXPECT_EQ(s.text(), u"<!--x-->");
    EXPECT_TRUE(s.hasPrefix(u"<!--"));
    EXPECT_TRUE(s.hasSuffix(u"-->"));
    EXPECT_TRUE(s.hasSuffix(u"<!--x-->"));
    EXPECT_FALSE(s.hasSuffix(u" <!--x-->"));
    EXPECT_FALSE(s.hasPrefix(u"<!-- "));
    EXPECT_FALSE(s.hasPrefix(u""));
    EXPECT_FALSE(s.hasSuffix(u""));
    EXPECT_TRUE(s.sameAs(u"<!--x-->"));
    EXPECT_FALSE(s.sameAs(u"<!--x--"));
    EXPECT_FALSE(s.sameAs(u""));

    s.setCharAt(5, u'y');
    EXPECT_EQ(s.charAt(5), u'y');
    EXPECT_EQ(s.text(), u"<!--y-->");

    // Surrogate pairs are two units like any others.
    s.empty();
    s.appendText(u"\U0001F600");
    EXPECT_EQ(s.length(), 2u);
    EXPECT_TRUE(s.hasSuffix(u"\xDE00"));
}

TEST(CustomStr, CopiesAndMovesKeepTheirOwnContent) {
    TdomCustomStr a;
    for (int k = 0; k < 100; ++k) a.appendChar(static_cast<char16_t>(u'0' + k % 10));
    TdomCustomStr b(a);
    b.setCharAt(1, u'#');
    EXPECT_EQ(a.charAt(1), u'0');
    EXPECT_EQ(b.text().substr(0, 3), u"#12");
    EXPECT_EQ(b.length(), 100u);

    TdomCustomStr c(std::move(b));
    EXPECT_EQ(c.length(), 100u);
    // A moved-from buffer is empty and can be filled again.
    EXPECT_EQ(b.length(), 0u); // NOLINT(bugprone-use-after-move)
    b.appendChar(u'z');
    EXPECT_EQ(b.text(), u"z");

    a = c;
    EXPECT_EQ(a.text(), c.text());
}
