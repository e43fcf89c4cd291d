#include <gtest/gtest.h>

#include <string>

#include "text/uri_analyzer.h"
#include "text/utf8.h"

namespace {

// The resolved reference, or "(fails)".
std::string resolve(std::u16string_view base, std::u16string_view reference) {
    std::u16string result = u"stale";
    if (!resolveAgainstBase(base, reference, result)) return result.empty() ? "(fails)" : "(fails, result kept)";
    return utf16ToUtf8(result);
}

} // namespace

TEST(UriAnalyzer, SplitsIntoFiveComponents) {
    TUriWideStrAnalyzer uri;
    EXPECT_FALSE(uri.schemePresent());
    EXPECT_EQ(uri.composed(), u"");

    ASSERT_TRUE(uri.analyze(u"s://h:8080/a/b?x=1#top"));
    EXPECT_EQ(uri.schemePart(), u"s");
    EXPECT_EQ(uri.authorityPart(), u"h:8080");
    EXPECT_EQ(uri.pathPart(), u"/a/b");
    EXPECT_EQ(uri.queryPart(), u"x=1");
    EXPECT_EQ(uri.fragmentPart(), u"top");
    EXPECT_TRUE(uri.schemePresent() && uri.authorityPresent() && uri.queryPresent() && uri.fragmentPresent());
    EXPECT_EQ(uri.composed(), u"s://h:8080/a/b?x=1#top");

    ASSERT_TRUE(uri.analyze(u"a/b.xml"));
    EXPECT_EQ(uri.pathPart(), u"a/b.xml");
    EXPECT_FALSE(uri.schemePresent() || uri.authorityPresent() || uri.queryPresent() || uri.fragmentPresent());

    // Present but empty components keep their delimiters.
    ASSERT_TRUE(uri.analyze(u"file:///x?#"));
    EXPECT_TRUE(uri.authorityPresent());
    EXPECT_EQ(uri.authorityPart(), u"");
    EXPECT_TRUE(uri.queryPresent());
    EXPECT_TRUE(uri.fragmentPresent());
    EXPECT_EQ(uri.composed(), u"file:///x?#");
    // The authority runs to the end when no path follows.
    ASSERT_TRUE(uri.analyze(u"http://example.org"));
    EXPECT_EQ(uri.authorityPart(), u"example.org");
    EXPECT_EQ(uri.pathPart(), u"");
    // An opaque reference.
    ASSERT_TRUE(uri.analyze(u"mailto:a@b.c"));
    EXPECT_EQ(uri.pathPart(), u"a@b.c");
    EXPECT_FALSE(uri.authorityPresent());
}

TEST(UriAnalyzer, InvalidInputLeavesItEmpty) {
    TUriWideStrAnalyzer uri;
    ASSERT_TRUE(uri.analyze(u"s://h/p?q#f"));
    // The first ":" ends the scheme, so "dir/a" is taken for one and fails.
    EXPECT_FALSE(uri.analyze(u"dir/a:b"));
    EXPECT_EQ(uri.composed(), u"");
    EXPECT_FALSE(uri.schemePresent() || uri.authorityPresent() || uri.queryPresent() || uri.fragmentPresent());
    EXPECT_EQ(uri.pathPart(), u"");

    // A "%" needs two hexadecimal digits, in the path, the query and the fragment alike.
    EXPECT_TRUE(uri.analyze(u"a%2Fb%c3?q%aF#f%00"));
    EXPECT_FALSE(uri.analyze(u"a%2"));
    EXPECT_FALSE(uri.analyze(u"a%"));
    EXPECT_FALSE(uri.analyze(u"a?q%G0"));
    EXPECT_FALSE(uri.analyze(u"a#%4"));
    EXPECT_EQ(uri.composed(), u"");
    // Characters outside the grammar.
    EXPECT_FALSE(uri.analyze(u"a b"));
    EXPECT_FALSE(uri.analyze(u"\u5730\u56F3.xml"));
    EXPECT_FALSE(uri.analyze(u"a#b#c"));
    EXPECT_FALSE(uri.analyze(u"1s:x"));
    EXPECT_FALSE(uri.analyze(u":x")); // an empty scheme is present and invalid
    EXPECT_FALSE(uri.analyze(u"s://h h/"));

    // The assignments report absent components as fine and invalid present ones as failures.
    EXPECT_TRUE(uri.assignQuery(u"anything at all", false));
    EXPECT_FALSE(uri.queryPresent());
    EXPECT_EQ(uri.queryPart(), u"");
    EXPECT_FALSE(uri.assignQuery(u"a b", true));
    EXPECT_TRUE(uri.queryPresent());
    EXPECT_EQ(uri.queryPart(), u"");
    EXPECT_TRUE(uri.assignScheme(u"x-y.z+1", true));
    EXPECT_FALSE(uri.assignPath(u"/a b"));
    EXPECT_TRUE(uri.assignPath(u""));
}

TEST(UriAnalyzer, ComponentValidators) {
    // Hosts: IPv4 runs only need digits; labels begin and end with a letter or digit, the last
    // label begins with a letter, and one final "." is allowed.
    EXPECT_TRUE(isUriHost(u"300.1.1.1"));
    EXPECT_FALSE(isUriHost(u"1.1.1"));
    EXPECT_FALSE(isUriHost(u"1..1.1"));
    EXPECT_TRUE(isUriHost(u"www.example.com."));
    EXPECT_TRUE(isUriHost(u"a-b.c-d"));
    EXPECT_TRUE(isUriHost(u"9a.b"));
    EXPECT_FALSE(isUriHost(u"a.9b"));
    EXPECT_FALSE(isUriHost(u"a.b-"));
    EXPECT_FALSE(isUriHost(u"-a.b"));
    EXPECT_FALSE(isUriHost(u"a..b"));
    EXPECT_FALSE(isUriHost(u""));
    EXPECT_FALSE(isUriHost(u"."));
    EXPECT_TRUE(isUriServer(u"user;x:pw%20@host.example:8080"));
    EXPECT_TRUE(isUriServer(u"host:"));
    EXPECT_TRUE(isUriServer(u""));
    EXPECT_FALSE(isUriServer(u"host:80a"));
    EXPECT_FALSE(isUriServer(u"a.b-:80"));
    EXPECT_FALSE(isUriServer(u"us/er@host"));
    // A host name that fails the server rule may still pass as a registry-based name.
    EXPECT_TRUE(isUriAuthority(u"a.b-"));
    EXPECT_TRUE(isUriAuthority(u"300.1.1.1"));
    EXPECT_FALSE(isUriAuthority(u"a b"));
    EXPECT_FALSE(isUriAuthority(u"a%zz"));

    EXPECT_TRUE(isUriScheme(u"h"));
    EXPECT_TRUE(isUriScheme(u"svn+ssh"));
    EXPECT_FALSE(isUriScheme(u""));
    EXPECT_FALSE(isUriScheme(u"+a"));
    EXPECT_FALSE(isUriScheme(u"a_b"));
    EXPECT_FALSE(isUriScheme(u"%61"));

    EXPECT_TRUE(isUriPath(u"/a;p=1/b@c/,$&+=:"));
    EXPECT_FALSE(isUriPath(u"/a?b")); // "?" is not a path character after "/"
    EXPECT_TRUE(isUriPath(u"a?b"));   // but a URI character in a relative path
    EXPECT_TRUE(isUriQuery(u""));
    EXPECT_TRUE(isUriFragment(u"/?:@"));
    EXPECT_FALSE(isUriFragment(u"#"));
    EXPECT_FALSE(isUriQuery(u"\u00E9"));

    // The narrow forms agree, and bytes above 0x7F never pass.
    EXPECT_TRUE(isUriHost("300.1.1.1"));
    EXPECT_FALSE(isUriHost("a.b-"));
    EXPECT_TRUE(isUriScheme("http"));
    EXPECT_FALSE(isUriQuery("\xE9"));
    EXPECT_FALSE(isUriPath("/\xC3\xA9"));
    // A unit whose low byte is ASCII is still outside ASCII.
    EXPECT_FALSE(isUriPath(u"a\u0161"));
    EXPECT_FALSE(isUriScheme(u"h\u0174"));
}

TEST(UriResolution, EdgeCases) {
    const std::u16string base = u"s://h/a/x.xml";
    EXPECT_EQ(resolve(base, u"b/c.xml"), "s://h/a/b/c.xml");
    EXPECT_EQ(resolve(base, u"../c.xml"), "s://h/c.xml");
    EXPECT_EQ(resolve(base, u"../../c.xml"), "(fails)");
    EXPECT_EQ(resolve(base, u"#sec"), "s://h/a/x.xml#sec");
    EXPECT_EQ(resolve(u"s://h/a/x.xml#old", u"#sec"), "s://h/a/x.xml#sec");
    // An empty reference is the base without its fragment.
    EXPECT_EQ(resolve(u"s://h/a/x.xml#old", u""), "s://h/a/x.xml");
    EXPECT_EQ(resolve(base, u"t://other/p"), "t://other/p");
    // Two references without a scheme cannot be resolved against each other.
    EXPECT_EQ(resolve(u"/a/b", u"c"), "(fails)");
    EXPECT_EQ(resolve(u"a/b", u"#c"), "(fails)");
    // A scheme on the reference alone is enough.
    EXPECT_EQ(resolve(u"a/b", u"t:c"), "t:c");
    // Invalid sides fail with an empty result.
    EXPECT_EQ(resolve(base, u"a b"), "(fails)");
    EXPECT_EQ(resolve(u"s://h/a b", u"c"), "(fails)");
    // A base without a directory part.
    EXPECT_EQ(resolve(u"s://h", u"c"), "s://h/c");
    EXPECT_EQ(resolve(u"s:", u"c/d"), "s:/c/d");
    EXPECT_EQ(resolve(u"s://h/x", u".."), "(fails)");
    // A reference with an authority keeps its path as written.
    EXPECT_EQ(resolve(base, u"//g/./x/../y"), "s://g/./x/../y");
    EXPECT_EQ(resolve(base, u"/p/../q"), "s://h/p/../q");
}

TEST(UriResolution, NormalExamplesOfTheStandard) {
    const std::u16string base = u"http://a/b/c/d;p?q";
    EXPECT_EQ(resolve(base, u"g:h"), "g:h");
    EXPECT_EQ(resolve(base, u"g"), "http://a/b/c/g");
    EXPECT_EQ(resolve(base, u"./g"), "http://a/b/c/g");
    EXPECT_EQ(resolve(base, u"g/"), "http://a/b/c/g/");
    EXPECT_EQ(resolve(base, u"/g"), "http://a/g");
    EXPECT_EQ(resolve(base, u"//g"), "http://g");
    EXPECT_EQ(resolve(base, u"?y"), "http://a/b/c/?y");
    EXPECT_EQ(resolve(base, u"g?y"), "http://a/b/c/g?y");
    EXPECT_EQ(resolve(base, u"#s"), "http://a/b/c/d;p?q#s");
    EXPECT_EQ(resolve(base, u"g#s"), "http://a/b/c/g#s");
    EXPECT_EQ(resolve(base, u"g?y#s"), "http://a/b/c/g?y#s");
    EXPECT_EQ(resolve(base, u";x"), "http://a/b/c/;x");
    EXPECT_EQ(resolve(base, u"g;x"), "http://a/b/c/g;x");
    EXPECT_EQ(resolve(base, u"g;x?y#s"), "http://a/b/c/g;x?y#s");
    EXPECT_EQ(resolve(base, u"."), "http://a/b/c/");
    EXPECT_EQ(resolve(base, u"./"), "http://a/b/c/");
    EXPECT_EQ(resolve(base, u".."), "http://a/b/");
    EXPECT_EQ(resolve(base, u"../"), "http://a/b/");
    EXPECT_EQ(resolve(base, u"../g"), "http://a/b/g");
    EXPECT_EQ(resolve(base, u"../.."), "http://a/");
    EXPECT_EQ(resolve(base, u"../../"), "http://a/");
    EXPECT_EQ(resolve(base, u"../../g"), "http://a/g");
}

TEST(UriResolution, AbnormalExamplesFollowOurRules) {
    const std::u16string base = u"http://a/b/c/d;p?q";
    // ".." above the root fails here, where the standard allows keeping it or dropping it.
    EXPECT_EQ(resolve(base, u"../../../g"), "(fails)");
    EXPECT_EQ(resolve(base, u"../../../../g"), "(fails)");
    // Dot segments of an absolute path are kept as written.
    EXPECT_EQ(resolve(base, u"/./g"), "http://a/./g");
    EXPECT_EQ(resolve(base, u"/../g"), "http://a/../g");
    EXPECT_EQ(resolve(base, u"g."), "http://a/b/c/g.");
    EXPECT_EQ(resolve(base, u".g"), "http://a/b/c/.g");
    EXPECT_EQ(resolve(base, u"g.."), "http://a/b/c/g..");
    EXPECT_EQ(resolve(base, u"..g"), "http://a/b/c/..g");
    EXPECT_EQ(resolve(base, u"./../g"), "http://a/b/g");
    EXPECT_EQ(resolve(base, u"./g/."), "http://a/b/c/g/");
    EXPECT_EQ(resolve(base, u"g/./h"), "http://a/b/c/g/h");
    EXPECT_EQ(resolve(base, u"g/../h"), "http://a/b/c/h");
    EXPECT_EQ(resolve(base, u"g;x=1/./y"), "http://a/b/c/g;x=1/y");
    EXPECT_EQ(resolve(base, u"g;x=1/../y"), "http://a/b/c/y");
    EXPECT_EQ(resolve(base, u"g?y/./x"), "http://a/b/c/g?y/./x");
    EXPECT_EQ(resolve(base, u"g#s/../x"), "http://a/b/c/g#s/../x");
    // "http:g" carries its own scheme and comes back unchanged.
    EXPECT_EQ(resolve(base, u"http:g"), "http:g");
}

TEST(UriAbsolute, CheckAbsoluteUri) {
    EXPECT_TRUE(checkAbsoluteUri("http://a/b/c/d;p?q"));
    EXPECT_TRUE(checkAbsoluteUri("file:///C:/data/a.xml"));
    EXPECT_TRUE(checkAbsoluteUri("http://user@host:80"));
    EXPECT_TRUE(checkAbsoluteUri("http://host?q=1"));
    EXPECT_TRUE(checkAbsoluteUri("s:/abs/path"));
    EXPECT_TRUE(checkAbsoluteUri("urn:isbn:0-395-36341-1"));
    EXPECT_TRUE(checkAbsoluteUri("mailto:a@b.c"));
    EXPECT_FALSE(checkAbsoluteUri("relative/path"));
    EXPECT_FALSE(checkAbsoluteUri("s:"));    // neither part may be empty
    EXPECT_FALSE(checkAbsoluteUri(":x"));    // no scheme
    EXPECT_FALSE(checkAbsoluteUri("1s:x"));  // invalid scheme
    EXPECT_FALSE(checkAbsoluteUri("s:x#f")); // no fragment in an absolute URI
    EXPECT_FALSE(checkAbsoluteUri("s://h/a b"));
    EXPECT_FALSE(checkAbsoluteUri("s://h/%4"));
    EXPECT_FALSE(checkAbsoluteUri("s:/a?%zz"));
    EXPECT_FALSE(checkAbsoluteUri("s://h h/"));
    EXPECT_FALSE(checkAbsoluteUri("s:/a\xE9"));
    EXPECT_FALSE(checkAbsoluteUri(std::string_view("s:a\0b", 5)));
}
