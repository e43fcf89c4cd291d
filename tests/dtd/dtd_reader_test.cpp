#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/dtd/dtd_chain_helpers.h"
#include "text/parser_exception.h"

using Lines = std::vector<std::string>;

TEST(DtdReaderPieces, EveryPieceKindBecomesItsSignal) {
    RecordedDtdRun run;
    run.run("<!ELEMENT doc (a, b)>\n"
            "<!ATTLIST doc id ID #REQUIRED kind (x|y) \"x\">\n"
            "<!ENTITY e \"v\">\n"
            "<!ENTITY % p 'q'>\n"
            "<!ENTITY pic SYSTEM \"pic.png\" NDATA png>\n"
            "<!NOTATION png PUBLIC \"-//png\">\n"
            "<!-- note -->\n"
            "<?target some data?>\n"
            "%p;\n");
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.recorder.lines, (Lines{"startExt", "element(doc|(a, b))", "attlist(doc)", "attdef(id|ID||#REQUIRED|)",
                                         "attdef(kind||(x|y)||x)", "endattlist", "entity(e|v|||)", "pentity(p|q||)",
                                         "entity(pic|||pic.png|png)", "notation(png|-//png|)", "comment( note )",
                                         "pi(target|some data)", "peref(p)", "endExt"}));
    EXPECT_TRUE(run.reports.classes.empty());

    run.run("<!ELEMENT a ANY><!-- c -->", false);
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.recorder.lines, (Lines{"startInt", "element(a|ANY)", "comment( c )", "endInt"}));
}

TEST(DtdReaderPieces, ShapesOfDeclarationsAreChecked) {
    RecordedDtdRun run;
    // 15 units or fewer is never an element declaration; 16 units with single spaces is.
    EXPECT_FALSE(run.run("<!ELEMENT a AN>").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidElementDeclaration_Err");
    EXPECT_TRUE(run.run("<!ELEMENT a ANY>").ok);
    EXPECT_EQ(run.recorder.lines[1], "element(a|ANY)");

    // (In the external subset the "%" would start a reference.)
    EXPECT_FALSE(run.run("<!ENTITY %e \"v\">", false).ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidEntityDeclaration_Err");
    EXPECT_FALSE(run.run("<!ENTITY % e SYSTEM \"x\" NDATA n>").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidEntityDeclaration_Err");
    EXPECT_FALSE(run.run("<!NOTATION n BOGUS \"x\">").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidNotationDeclaration_Err");
    EXPECT_FALSE(run.run("<!ATTLIST >").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidAttributeDeclaration_Err");

    // A stray character between declarations, and text that never becomes a declaration.
    EXPECT_FALSE(run.run("<!ELEMENT a ANY> x").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidCharacter_Err");
    EXPECT_FALSE(run.run("<!ELEMENT a ANY><!FOO bar>").ok);
    EXPECT_EQ(run.reports.last(), "EParserUnknownDeclarationType_Err");
    EXPECT_EQ(run.recorder.lines, (Lines{"startExt", "element(a|ANY)"}));
    // Characters that are no XML characters, and bytes that do not decode.
    EXPECT_FALSE(run.run("<!-- \x01 -->").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidCharacter_Err");
    EXPECT_FALSE(run.run("<!-- \xff\xfe -->").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidCharacter_Err");
}

TEST(DtdReaderPieces, RecordsCoverTheFailingPiece) {
    TXmlStandardDtdReader reader;
    DtdSignalRecorder recorder;
    reader.setNextHandler(&recorder);
    std::vector<std::vector<int>> positions;
    std::vector<std::u16string> systemIds;
    reader.OnFatalError = [&](TXmlCustomProcessorAgent*, TXmlParserError& e) {
        positions.push_back({e.startLine(), e.startColumn(), e.endLine(), e.endColumn()});
        systemIds.push_back(e.systemId());
    };
    EXPECT_FALSE(readDtd(reader, "<!ELEMENT a ANY>\n  <!ELEMENT b AN>", true, u"shapes.dtd"));
    EXPECT_FALSE(readDtd(reader, "<!-- c -->\n<!ENTITY", true));
    EXPECT_EQ(positions, (std::vector<std::vector<int>>{{2, 3, 2, 17}, {2, 1, 2, 8}}));
    EXPECT_EQ(systemIds[0], u"shapes.dtd");
}

TEST(DtdReaderPieces, QuotesKeepMarkupInsideLiteralsOfTheExternalSubset) {
    RecordedDtdRun run;
    EXPECT_TRUE(run.run("<!ATTLIST a b CDATA \"x>y\"><!ENTITY e 'a>b'>").ok);
    EXPECT_EQ(run.recorder.lines[2], "attdef(b|CDATA|||x>y)");
    EXPECT_EQ(run.recorder.lines[4], "entity(e|a>b|||)");
    // The internal subset ends an attribute-list declaration at its first ">".
    EXPECT_THROW(run.run("<!ATTLIST a b CDATA \"x>y\">", false), EParserInvalidAttributeDeclaration_Err);
}

TEST(DtdReaderTextDeclaration, OnlyAtTheStartOfAnExternalSubset) {
    RecordedDtdRun run;
    EXPECT_TRUE(run.run("<?xml encoding='UTF-8'?>\n<!ELEMENT a ANY>").ok);
    EXPECT_EQ(run.recorder.lines, (Lines{"startExt", "textdecl(|UTF-8)", "element(a|ANY)", "endExt"}));
    EXPECT_TRUE(run.run("<?xml version=\"1.0\" encoding=\"UTF-8\"?>").ok);
    EXPECT_EQ(run.recorder.lines[1], "textdecl(1.0|UTF-8)");

    EXPECT_THROW(run.run("<!-- c -->\n<?xml version='1.0' encoding='UTF-8'?>"), EParserInvalidTextDeclaration_Err);
    EXPECT_FALSE(run.run("<?xml encoding='UTF-8' version='1.0'?>").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidTextDeclaration_Err");
    EXPECT_FALSE(run.run("<?xml version='1.0' encoding='UTF-8' standalone='yes'?>").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidTextDeclaration_Err");
    EXPECT_FALSE(run.run("<?xml version='1.0'?>").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidTextDeclaration_Err");
    // An encoding that is not known, or that contradicts the byte-order mark, is told there and the
    // subset is read on.
    EXPECT_TRUE(run.run("<?xml encoding='SJIS'?><!ELEMENT a ANY>").ok);
    EXPECT_EQ(run.recorder.lines, (Lines{"startExt", "textdecl(|SJIS)", "element(a|ANY)", "endExt"}));
    EXPECT_EQ(run.reports.last(), "EParserUnusable_Encoding_Declaration_Err");
    EXPECT_EQ(run.reports.codes.back(), u"unknown encoding \"SJIS\"");
    EXPECT_TRUE(run.run("\xEF\xBB\xBF<?xml encoding='Shift_JIS'?>").ok);
    EXPECT_EQ(run.reports.codes.back(), u"encoding \"Shift_JIS\" under a UTF-8 byte-order mark");
    EXPECT_TRUE(run.run("\xEF\xBB\xBF<?xml encoding='utf-8'?><!ELEMENT a ANY>").ok);

    // In the internal subset it is an ordinary processing instruction.
    EXPECT_TRUE(run.run("<?xml version='1.0'?>", false).ok);
    EXPECT_EQ(run.recorder.lines[1], "pi(xml|version='1.0')");
}

TEST(DtdReaderParameterEntities, ExpandedInsideDeclarationsOfTheExternalSubsetOnly) {
    RecordedDtdRun run;
    run.recorder.entities[u"m"] = u"b|c";
    run.recorder.entities[u"q"] = u"say \"hi\"";
    EXPECT_TRUE(run.run("<!ELEMENT a (%m;)><!ENTITY e \"%q;\"><!NOTATION n %q;>").ok == false);
    EXPECT_EQ(run.recorder.lines[1], "element(a|( b|c ))");
    EXPECT_EQ(run.recorder.lines[2], "entity(e|say &#34;hi&#34;|||)");
    EXPECT_EQ(run.reports.last(), "EParserInvalidNotationDeclaration_Err");

    // The internal subset passes the reference on as written.
    EXPECT_TRUE(run.run("<!ELEMENT a (%m;)>", false).ok);
    EXPECT_EQ(run.recorder.lines[1], "element(a|(%m;))");

    // Unresolvable: an undeclared name, the empty name, white space inside the name, the end of
    // the input.
    for (const char* text : {"<!ELEMENT a (%x;)>", "<!ELEMENT a (%;)>", "<!ELEMENT a (%m b;)>", "<!ELEMENT a (%m"}) {
        EXPECT_FALSE(run.run(text).ok) << text;
        EXPECT_EQ(run.reports.last(), "EParserUnresolvable_Parameter_Entity_Reference_Err") << text;
    }
    // A "%" inside quotes of an attribute list is no reference.
    EXPECT_TRUE(run.run("<!ATTLIST a b CDATA '%x;'>").ok);
    EXPECT_EQ(run.recorder.lines[2], "attdef(b|CDATA|||%x;)");
}

TEST(DtdReaderParameterEntities, ExpansionIsBounded) {
    RecordedDtdRun run;
    run.recorder.entities[u"big"] = std::u16string(600000, u'x');
    // One declaration may not grow beyond a million units.
    EXPECT_FALSE(run.run("<!ENTITY e \"%big;%big;\">").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidEntityDeclaration_Err");
    EXPECT_EQ(run.reports.codes.back(), kExpandedTextLimitReached);
    EXPECT_FALSE(run.run("<!ELEMENT a (%big;|%big;)>").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidElementDeclaration_Err");
    EXPECT_EQ(run.reports.codes.back(), kExpandedTextLimitReached);
    // A run may not expand more than ten million units in all.
    std::string many;
    for (int i = 0; i < 20; ++i) many += "<!ELEMENT a%big;>";
    EXPECT_FALSE(run.run(many).ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidElementDeclaration_Err");
    EXPECT_EQ(run.reports.codes.back(), kExpansionLimitReached);
    EXPECT_EQ(run.recorder.lines.size(), 17u); // startExt and the 16 declarations within the bound
    // The next run has a budget of its own.
    EXPECT_TRUE(run.run("<!ELEMENT a%big;>").ok);
}

TEST(DtdReaderConditionalSections, NestingAndCommentsDecideWhereASectionEnds) {
    RecordedDtdRun run;
    EXPECT_TRUE(run.run("<![INCLUDE[<!-- ]]> --><!ELEMENT a ANY>]]>").ok);
    EXPECT_EQ(run.recorder.lines[1], "cond(INCLUDE|<!-- ]]> --><!ELEMENT a ANY>)");
    EXPECT_TRUE(run.run("<![ INCLUDE [ <![IGNORE[ x ]]> <!ELEMENT a ANY> ]]>").ok);
    EXPECT_EQ(run.recorder.lines[1], "cond(INCLUDE|<![IGNORE[ x ]]> <!ELEMENT a ANY>)");
    // The hyphens of "<!-->" belong to the opener: the comment goes on to the next "-->".
    EXPECT_TRUE(run.run("<![IGNORE[<!-->]]> -->]]>").ok);
    EXPECT_EQ(run.recorder.lines[1], "cond(IGNORE|<!-->]]> -->)");
    EXPECT_TRUE(run.run("<![IGNORE[<!--->]]> -->]]>").ok);
    EXPECT_EQ(run.recorder.lines[1], "cond(IGNORE|<!--->]]> -->)");

    run.recorder.entities[u"draft"] = u"INCLUDE";
    EXPECT_TRUE(run.run("<![%draft;[<!ELEMENT a ANY>]]>").ok);
    EXPECT_EQ(run.recorder.lines[1], "cond(INCLUDE|<!ELEMENT a ANY>)");

    EXPECT_FALSE(run.run("<![FOO[x]]>").ok);
    EXPECT_EQ(run.reports.last(), "EParserInvalidConditionalSection_Err");
    EXPECT_FALSE(run.run("<![INCLUDE[ <!ELEMENT a ANY>").ok);
    EXPECT_EQ(run.reports.last(), "EParserUnknownDeclarationType_Err");
    // The internal subset knows no conditional sections.
    EXPECT_FALSE(run.run("<![INCLUDE[<!ELEMENT a ANY>]]>", false).ok);
    EXPECT_EQ(run.reports.last(), "EParserUnknownDeclarationType_Err");
}

TEST(DtdReaderAttributeDefinitions, SplitOffTheFrontOfTheDefinitions) {
    std::u16string name, type, bracket, decl, value, rest;
    splitAttributeDefinition(u"version CDATA #FIXED \"1.0\"", name, type, bracket, decl, value, rest);
    EXPECT_EQ(name, u"version");
    EXPECT_EQ(type, u"CDATA");
    EXPECT_EQ(bracket, u"");
    EXPECT_EQ(decl, u"#FIXED");
    EXPECT_EQ(value, u"1.0");
    EXPECT_EQ(rest, u"");

    splitAttributeDefinition(u"version CDATA #IMPLIED other CDATA 'x'", name, type, bracket, decl, value, rest);
    EXPECT_EQ(decl, u"#IMPLIED");
    EXPECT_EQ(value, u"");
    EXPECT_EQ(rest, u" other CDATA 'x'");

    splitAttributeDefinition(u"\te (a|b)\n'b' more", name, type, bracket, decl, value, rest);
    EXPECT_EQ(name, u"e");
    EXPECT_EQ(type, u"");
    EXPECT_EQ(bracket, u"(a|b)");
    EXPECT_EQ(decl, u"");
    EXPECT_EQ(value, u"b");
    EXPECT_EQ(rest, u" more");

    splitAttributeDefinition(u"n NOTATION (x | y) #REQUIRED", name, type, bracket, decl, value, rest);
    EXPECT_EQ(type, u"NOTATION");
    EXPECT_EQ(bracket, u"(x | y)");
    EXPECT_EQ(decl, u"#REQUIRED");

    for (const char16_t* text : {u"", u"   ", u"name", u"e (a|b)\"x\"", u"n NOTATION x #IMPLIED", u"a CDATA 'x",
                                 u"a CDATA #FIXED", u"a CDATA #FIXED x", u"a (x|y", u"a CDATA"}) {
        EXPECT_THROW(splitAttributeDefinition(text, name, type, bracket, decl, value, rest),
                     EParserInvalidAttributeDeclaration_Err)
            << u8(text);
    }
}
