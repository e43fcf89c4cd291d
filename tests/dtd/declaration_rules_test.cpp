#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/dom/cm_test_support.h"
#include "tests/dtd/dtd_chain_helpers.h"

namespace {

// The problems the whole-definition check finds in an internal subset, and optionally an external
// one, each read through the DTD chain.
std::vector<std::string> problemsOf(const std::string& internalSubset, const std::string& externalSubset = "") {
    DtdBuildChain chain;
    EXPECT_TRUE(chain.readInternal(internalSubset)) << internalSubset;
    EXPECT_TRUE(chain.readExternal(externalSubset)) << externalSubset;
    TdomCMObject model(nullptr);
    model.setInternalSubset(chain.internal);
    model.setExternalSubset(chain.external);
    RecordingErrorHandler handler;
    const bool ok = model.selfCheck(&handler);
    EXPECT_EQ(ok, handler.classes.empty());
    return handler.classes;
}

using Classes = std::vector<std::string>;

TEST(DeclarationRules, EachRuleBrokenAndKept) {
    EXPECT_EQ(problemsOf("<!ELEMENT a ANY><!ELEMENT b EMPTY>"), Classes{});
    EXPECT_EQ(problemsOf("<!ELEMENT a ANY>", "<!ELEMENT a EMPTY>"),
              Classes{"EParserDouble_Element_Type_Declaration_Err"});

    // One ID attribute per element type, counted over both subsets.
    EXPECT_EQ(problemsOf("<!ATTLIST a i ID #IMPLIED j IDREF #IMPLIED>"), Classes{});
    EXPECT_EQ(problemsOf("<!ATTLIST a i ID #IMPLIED>", "<!ATTLIST a j ID #IMPLIED>"),
              Classes{"EParserDuplicate_ID_On_Element_Type_Err"});
    // A definition that an earlier one overrides does not count.
    EXPECT_EQ(problemsOf("<!ATTLIST a i ID #IMPLIED>", "<!ATTLIST a i ID #REQUIRED>"), Classes{});

    // NOTATION attributes: declared notations, one per element type, none on an EMPTY type.
    const std::string notations = "<!NOTATION n SYSTEM 'n'><!NOTATION m SYSTEM 'm'>";
    EXPECT_EQ(problemsOf(notations + "<!ELEMENT a ANY><!ATTLIST a t NOTATION (n|m) #IMPLIED>"), Classes{});
    EXPECT_EQ(problemsOf(notations + "<!ATTLIST a t NOTATION (n|x) #IMPLIED>"),
              Classes{"EParserUndeclared_Notation_Name_Err"});
    EXPECT_EQ(problemsOf(notations + "<!ATTLIST a t NOTATION (n) #IMPLIED u NOTATION (m) #IMPLIED>"),
              Classes{"EParserDuplicate_Notation_On_Element_Type_Err"});
    EXPECT_EQ(problemsOf(notations + "<!ELEMENT a EMPTY><!ATTLIST a t NOTATION (n) #IMPLIED>"),
              Classes{"EParserNotation_On_Empty_Element_Err"});

    // An unparsed entity names a declared notation, in either subset.
    EXPECT_EQ(problemsOf("<!ENTITY e SYSTEM 'e' NDATA n>", "<!NOTATION n SYSTEM 'n'>"), Classes{});
    EXPECT_EQ(problemsOf("<!ENTITY e SYSTEM 'e' NDATA n>"), Classes{"EParserUndeclared_Notation_Name_Err"});
}

TEST(DeclarationRules, DefaultValuesFitTheirTypes) {
    const struct {
        const char* type;
        const char* fits;
        const char* doesNot;
    } cases[] = {
        {"IDREF", " a1 ", "1a"},        {"ENTITY", "e", "e f"},     {"IDREFS", "a\tb", "a 1"},
        {"ENTITIES", " e  f ", "e $"},  {"NMTOKEN", "-1", "a/b"},   {"NMTOKENS", " 1 2 ", "1+"},
        {"(one|two)", " two ", "four"}, {"NOTATION (n)", "n", "m"},
    };
    for (const auto& c : cases) {
        const std::string head = std::string("<!NOTATION n SYSTEM 'n'><!ATTLIST a v ") + c.type + " ";
        EXPECT_EQ(problemsOf(head + "'" + c.fits + "'>"), Classes{}) << c.type;
        EXPECT_EQ(problemsOf(head + "#FIXED '" + c.doesNot + "'>"),
                  Classes{"EParserAttribute_Default_Type_Mismatch_Err"})
            << c.type;
    }
    // CDATA takes anything; a value with references is judged where it is used.
    EXPECT_EQ(problemsOf("<!ATTLIST a v CDATA '1 $'>"), Classes{});
    EXPECT_EQ(problemsOf("<!ENTITY x '1'><!ATTLIST a v NMTOKEN '&x;'>"), Classes{});
}

} // namespace
