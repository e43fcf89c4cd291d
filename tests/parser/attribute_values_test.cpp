#include <gtest/gtest.h>

#include <string>

#include "chain_helpers.h"

// A tab, line feed or carriage return written in an attribute value is a space (a CR LF pair, one
// line end, is one space); character references keep the characters they stand for.
TEST(AttributeValues, LiteralWhiteSpaceBecomesSpacesReferencesKeepTheirCharacters) {
    RecordedRun signals("<r a=\"x\ty\nz\" b='x\r\ny\rz'/>");
    EXPECT_EQ(signals.recorder.lines[2], "startElement(|r|a=x y z|b=x y z)");

    DocumentChain chain;
    ASSERT_TRUE(chain.parse("<r a=\"\tx\t\" c=\"&#9;&#10;&#13;\" d='&#9;\t&amp;\n'/>"));
    EXPECT_EQ(treeShape(chain.document), "r(@a(t: x ),@c(t:\t\n\r),@d(t:\t,t: ,&amp,t: ))");
}
