#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temporary_directory.h"
#include "tests/support/test_data.h"
#include "text/file_io.h"

namespace {

const std::string kFront = testDataPath("front/");

struct XmlToolRun {
    int exitCode = -1;
    std::string out;
    std::string errors;
};

class PointmarkXml : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.path(name); }

    // Runs the tool with the arguments (each in single quotes), capturing both outputs; standard
    // output goes to outputTo instead when it is given.
    XmlToolRun run(const std::vector<std::string>& arguments, const std::string& outputTo = "") const {
        // A run that waits for input (a FIFO) is cut off rather than hanging the tests.
        std::string command = std::string("timeout 60 '") + TOOLS_DIR + "/pointmark-xml'";
        if (!workingDirectory_.empty()) command = "cd '" + workingDirectory_ + "' && " + command;
        for (const std::string& argument : arguments) command += " '" + argument + "'";
        command += " >'" + (outputTo.empty() ? path("out.txt") : outputTo) + "' 2>'" + path("err.txt") + "'";
        const int status = std::system(command.c_str());
        XmlToolRun result;
        if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
        if (outputTo.empty()) result.out = readWholeFile(path("out.txt"));
        result.errors = readWholeFile(path("err.txt"));
        return result;
    }
    TemporaryDirectory dir_{"pointmark-xml-test"};
    std::string workingDirectory_; // where the tool runs; the test's own when empty
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int lineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

} // namespace

TEST_F(PointmarkXml, CheckAcceptsDocumentsWhoseDtdsAreFound) {
    const XmlToolRun result =
        run({"check", kFront + "points.xml", kFront + "subsets.xml", kFront + "nested/points.xml"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.errors;
    EXPECT_EQ(result.out,
              kFront + "points.xml: ok\n" + kFront + "subsets.xml: ok\n" + kFront + "nested/points.xml: ok\n");
    EXPECT_EQ(result.errors, "");
}

TEST_F(PointmarkXml, CheckReportsEveryProblemAndFailsWhenAnyFileHasOne) {
    // A missing DTD: the reason it could not be opened, then the record of the failed doctype.
    XmlToolRun result = run({"check", kFront + "points.xml", kFront + "missing_dtd.xml"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, kFront + "points.xml: ok\n"));
    EXPECT_TRUE(contains(result.out, "absent.dtd"));
    EXPECT_TRUE(contains(result.out, "Invalid doctype declaration")) << result.out;
    EXPECT_TRUE(contains(result.out, "FATAL ERROR")) << result.out;
    EXPECT_TRUE(contains(result.out, kFront + "missing_dtd.xml: 1 message\n"));

    // A DTD with an error reports it and then the doctype; a document that is not well-formed
    // reports the place of its error.
    result = run({"check", kFront + "broken_dtd.xml", kFront + "not_well_formed.xml"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, kFront + "broken_dtd.xml: 2 messages\n")) << result.out;
    EXPECT_TRUE(contains(result.out, "broken.dtd")) << result.out;
    EXPECT_TRUE(contains(result.out, kFront + "not_well_formed.xml: 1 message\n")) << result.out;
    EXPECT_TRUE(contains(result.out, "in line 2")) << result.out;
    EXPECT_EQ(lineCount(result.out), 5);

    // A file that cannot be read is named with the reason on standard error; the others still run.
    result = run({"check", path("absent.xml"), kFront + "subsets.xml"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.errors, "pointmark-xml: " + path("absent.xml") + ": ")) << result.errors;
    EXPECT_TRUE(contains(result.out, kFront + "subsets.xml: ok\n"));
}

TEST_F(PointmarkXml, ExternalFilesAreOpenedOnlyBelowTheDocumentsDirectoryUnlessAllowed) {
    // A DTD that would read a file beside the document's directory into the name of another.
    std::filesystem::create_directories(path("doc"));
    std::filesystem::create_directories(path("dtds"));
    writeFileAtomically(path("secret.txt"), "TOPSECRET-42");
    writeFileAtomically(path("doc/evil.dtd"), "<!ENTITY % file SYSTEM \"../secret.txt\">"
                                              "<!ENTITY % eval \"<!ENTITY &#x25; exfil SYSTEM 'none/%file;'>\">"
                                              "%eval;%exfil;");
    writeFileAtomically(path("doc/evil.xml"), "<!DOCTYPE a SYSTEM \"evil.dtd\"><a/>");
    XmlToolRun result = run({"check", path("doc/evil.xml")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(contains(result.out + result.errors, "TOPSECRET")) << result.out;
    EXPECT_TRUE(contains(result.out, "Refused to open \"../secret.txt\": outside the document's directory"))
        << result.out;
    EXPECT_FALSE(contains(result.out, path("doc/../secret.txt"))) << result.out;

    // A velmar.dtd beside the document's directory: refused, and the editor's fallback to its own
    // is told (as it is not for the DTD evil.dtd above); allowed with --allow-external.
    const std::string fallback =
        "The editor and pointmark-convert read this document with their built-in definition of velmar.dtd instead.\n";
    EXPECT_FALSE(contains(result.out, fallback));
    writeFileAtomically(path("dtds/velmar.dtd"), "<!ELEMENT a EMPTY>");
    writeFileAtomically(path("doc/sibling.xml"), "<!DOCTYPE a SYSTEM \"../dtds/velmar.dtd\"><a/>");
    result = run({"check", path("doc/sibling.xml")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, "Refused to open \"../dtds/velmar.dtd\": outside the document's directory and "
                                     "the directories allowed for it.\n" +
                                         fallback))
        << result.out;
    result = run({"--allow-external", path("dtds"), "check", path("doc/sibling.xml")});
    EXPECT_EQ(result.exitCode, 0) << result.out;
    EXPECT_EQ(result.out, path("doc/sibling.xml") + ": ok\n");

    // A FIFO as the DTD, or a device as the document, is refused without waiting or reading.
    ASSERT_EQ(mkfifo(path("doc/pipe.dtd").c_str(), 0600), 0);
    writeFileAtomically(path("doc/pipe.xml"), "<!DOCTYPE a SYSTEM \"pipe.dtd\"><a/>");
    result = run({"check", path("doc/pipe.xml"), "/dev/zero"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, "Refused to open \"pipe.dtd\": not a regular file.")) << result.out;
    EXPECT_TRUE(contains(result.errors, "pointmark-xml: /dev/zero: Cannot open file \"/dev/zero\". Not a regular file"))
        << result.errors;

    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"check", path("doc/sibling.xml"), "--allow-external"},
          {"--allow-external", path("secret.txt"), "check", path("doc/sibling.xml")}}) {
        result = run(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(contains(result.errors, "usage: pointmark-xml")) << result.errors;
    }
}

TEST_F(PointmarkXml, DumpWritesTheDocumentAsUtf8Xml) {
    XmlToolRun result = run({"dump", kFront + "points.xml"});
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.out.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"", 0), 0u) << result.out.substr(0, 80);
    EXPECT_TRUE(contains(result.out, "<nb>\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x82\xBF\xE3\x83\xAF\xE3\x83\xBC</nb>"));
    EXPECT_TRUE(contains(result.out, "</velmar>"));

    // What a broken file left is dumped, its messages on standard error, and the exit tells.
    result = run({"dump", kFront + "not_well_formed.xml"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, "<datum>WGS84</datum>"));
    EXPECT_EQ(lineCount(result.errors), 1);
}

TEST_F(PointmarkXml, DumpFailsWhereCheckRefusesTheEntityReferences) {
    // Recursive entities, an undeclared one and one that is no proper markup where it is used:
    // dump prints the document and the messages that check prints, and fails as check does.
    writeFileAtomically(path("recursive.xml"), "<!DOCTYPE a [<!ENTITY e \"&f;\"><!ENTITY f \"&e;\">]><a>&e;</a>");
    writeFileAtomically(path("undeclared.xml"), "<!DOCTYPE a [<!ELEMENT a ANY>]><a>&e;</a>");
    writeFileAtomically(path("improper.xml"), "<!DOCTYPE a [<!ENTITY e \"</a><a>\">]>\n<a>\n  &e;</a>");
    for (const char* name : {"recursive.xml", "undeclared.xml", "improper.xml"}) {
        const XmlToolRun checked = run({"check", path(name)});
        const XmlToolRun dumped = run({"dump", path(name)});
        EXPECT_EQ(checked.exitCode, 1) << name;
        EXPECT_EQ(dumped.exitCode, 1) << name;
        EXPECT_EQ(dumped.errors + path(name) + ": 1 message\n", checked.out) << name;
        EXPECT_TRUE(contains(dumped.out, "&e;</a>")) << dumped.out;
    }
    writeFileAtomically(path("ok.xml"), "<!DOCTYPE a [<!ENTITY e \"<b/>\">]>\n<a>&e;&amp;</a>");
    const XmlToolRun result = run({"dump", path("ok.xml")});
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.errors, "");
}

TEST_F(PointmarkXml, TwoDashesEndTheOptions) {
    // Files named like the option and like the separator itself.
    writeFileAtomically(path("--allow-external"), "<a/>");
    writeFileAtomically(path("--"), "<b/>");
    workingDirectory_ = dir_.path();
    XmlToolRun result = run({"--", "check", "--allow-external", "--"});
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.out, "--allow-external: ok\n--: ok\n");
    // Before "--" the option still needs its directory.
    EXPECT_EQ(run({"check", "--allow-external"}).exitCode, 2);
}

TEST_F(PointmarkXml, WrongCommandLinesShowTheUsage) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"check"}, {"dump"}, {"dump", "a.xml", "b.xml"}, {"verify", "a.xml"}}) {
        const XmlToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(contains(result.errors, "usage: pointmark-xml"));
    }
}

TEST_F(PointmarkXml, ValidateReportsEachBreachOfThePointMarkDtdWithItsPosition) {
    XmlToolRun result = run({"validate", kFront + "valid_points.xml", kFront + "points.xml"});
    EXPECT_EQ(result.exitCode, 0) << result.out;
    EXPECT_EQ(lineCount(result.out), 2) << result.out;

    // A missing required attribute, a misplaced element and a duplicate ID: one line each.
    result = run({"validate", kFront + "invalid_points.xml"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(lineCount(result.out), 4) << result.out;
    EXPECT_TRUE(contains(result.out, "in line 4, between position 1 and 18 -- Required attribute not found: version"));
    EXPECT_TRUE(contains(result.out, "in line 6, between position 1 and 8 -- Content of an element with element "
                                     "content does not match the declaration: format"));
    EXPECT_TRUE(contains(result.out, "in line 6, between position 68 and 81 -- Duplicate ID value: p1"));
    // check does not look at validity.
    EXPECT_EQ(run({"check", kFront + "invalid_points.xml"}).exitCode, 0);
}

TEST_F(PointmarkXml, ValidateNeedsADocumentTypeAndAWellFormedDocument) {
    writeFileAtomically(path("plain.xml"), "<a/>");
    XmlToolRun result = run({"validate", path("plain.xml")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, "Element type declaration not found: a")) << result.out;
    // Validity is not asked of a document that breaks an entity constraint: one message only.
    writeFileAtomically(path("bad.xml"), "<!DOCTYPE a [<!ELEMENT a EMPTY>]><a>&e;</a>");
    result = run({"validate", path("bad.xml")});
    EXPECT_EQ(lineCount(result.out), 2) << result.out;
    EXPECT_TRUE(contains(result.out, "Missing entity declaration: e"));
}

TEST_F(PointmarkXml, CheckReportsTheEntityConstraintsWithThePositionOfTheReference) {
    writeFileAtomically(path("e.xml"), "<!DOCTYPE a [<!ENTITY e \"</a><a>\">]>\n<a>\n  &e;</a>");
    XmlToolRun result = run({"check", path("e.xml")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, "in line 3, between position 3 and 5 -- Reference to an entity containing no "
                                     "proper markup: e"))
        << result.out;
    writeFileAtomically(path("ok.xml"), "<!DOCTYPE a [<!ENTITY e \"<b/>\">]>\n<a>&e;&amp;</a>");
    EXPECT_EQ(run({"check", path("ok.xml")}).exitCode, 0);
}

TEST_F(PointmarkXml, TheExternalSubsetSeesTheParameterEntitiesOfTheInternalSubset) {
    writeFileAtomically(path("ext.dtd"), "<!ELEMENT a %content;>");
    writeFileAtomically(path("doc.xml"), "<!DOCTYPE a SYSTEM \"ext.dtd\" [<!ENTITY % content \"(#PCDATA)\">]><a>t</a>");
    XmlToolRun result = run({"validate", path("doc.xml")});
    EXPECT_EQ(result.exitCode, 0) << result.out;
    writeFileAtomically(path("doc.xml"), "<!DOCTYPE a SYSTEM \"ext.dtd\"><a>t</a>");
    EXPECT_EQ(run({"validate", path("doc.xml")}).exitCode, 1);
}

TEST_F(PointmarkXml, AnUnusableEncodingDeclarationFailsTheCheckButTheRestIsCheckedToo) {
    writeFileAtomically(path("sjis.xml"), "<?xml version='1.0' encoding='SJIS'?>\n<a>&e;</a>");
    const XmlToolRun result = run({"check", path("sjis.xml")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, "ERROR in local document " + path("sjis.xml") +
                                         " in line 1, between position 1 and 37 -- Unusable encoding declaration: "
                                         "unknown encoding \"SJIS\"\n"))
        << result.out;
    EXPECT_TRUE(contains(result.out, "Missing entity declaration: e")) << result.out;
    EXPECT_TRUE(contains(result.out, path("sjis.xml") + ": 2 messages\n")) << result.out;
}

TEST_F(PointmarkXml, EntitiesReferredToInContentAreReadUnderTheSamePolicy) {
    std::filesystem::create_directories(path("doc/dtd"));
    writeFileAtomically(path("secret.txt"), "<b>TOPSECRET-42");
    // Declared in the external subset: named relative to the DTD's own directory.
    writeFileAtomically(path("doc/dtd/a.dtd"), "<!ENTITY part SYSTEM \"part.ent\">");
    writeFileAtomically(path("doc/dtd/part.ent"), "<?xml encoding='UTF-8'?><b/>");
    writeFileAtomically(path("doc/a.xml"), "<!DOCTYPE a SYSTEM \"dtd/a.dtd\"><a>&part;</a>");
    XmlToolRun result = run({"check", path("doc/a.xml")});
    EXPECT_EQ(result.exitCode, 0) << result.out;
    // Content that is not well-formed is found; a file outside the tree is not read.
    writeFileAtomically(path("doc/dtd/part.ent"), "<b>");
    EXPECT_TRUE(contains(run({"check", path("doc/a.xml")}).out, "Reference to an entity containing no proper markup"));
    writeFileAtomically(path("doc/b.xml"), "<!DOCTYPE a [<!ENTITY s SYSTEM \"../secret.txt\">]><a>&s;</a>");
    result = run({"check", path("doc/b.xml")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, "Refused to open \"../secret.txt\"")) << result.out;
    EXPECT_TRUE(contains(result.out, "External entity not found: s")) << result.out;
    EXPECT_FALSE(contains(result.out, "TOPSECRET")) << result.out;
}

TEST_F(PointmarkXml, ExternalParameterEntitiesOfTheInternalSubset) {
    std::filesystem::create_directories(path("doc/one"));
    std::filesystem::create_directories(path("doc/two"));
    // Read as external text: a conditional section is allowed, and an entity it declares is named
    // relative to the entity itself.
    writeFileAtomically(path("doc/one/decl.ent"), "<![INCLUDE[<!ENTITY % more SYSTEM \"../two/more.ent\">]]>%more;");
    writeFileAtomically(path("doc/two/more.ent"), "<!ELEMENT a EMPTY>");
    // Declared but never referred to, an entity that cannot be had is no problem.
    writeFileAtomically(path("doc/a.xml"), "<!DOCTYPE a [<!ENTITY % unused SYSTEM \"absent.ent\">"
                                           "<!ENTITY % decl SYSTEM \"one/decl.ent\">%decl;]><a/>");
    XmlToolRun result = run({"validate", path("doc/a.xml")});
    EXPECT_EQ(result.exitCode, 0) << result.out;
    writeFileAtomically(path("doc/b.xml"), "<!DOCTYPE a [<!ENTITY % absent SYSTEM \"absent.ent\">%absent;]><a/>");
    result = run({"check", path("doc/b.xml")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.out, "External entity not found")) << result.out;
}

TEST_F(PointmarkXml, AStandardOutputThatCannotBeWrittenFailsTheRun) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    // A document larger than the output buffer, so that dump fails while writing, not at the end.
    std::string points = "<r>";
    for (int k = 0; k < 20000; ++k) points += "<p>point</p>";
    writeFileAtomically(path("large.xml"), points + "</r>");
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"dump", kFront + "points.xml"},
                                               {"dump", path("large.xml")},
                                               {"check", kFront + "points.xml"},
                                               {"validate", kFront + "valid_points.xml"},
                                               {"--help"}}) {
        const XmlToolRun result = run(arguments, "/dev/full");
        EXPECT_EQ(result.exitCode, 1) << arguments.back();
        EXPECT_EQ(result.errors, "pointmark-xml: cannot write to standard output: No space left on device\n")
            << arguments.back();
    }
    EXPECT_EQ(run({"dump", path("large.xml")}).exitCode, 0);
}
