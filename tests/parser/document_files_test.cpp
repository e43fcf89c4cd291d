#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "chain_helpers.h"
#include "tests/support/test_data.h"

namespace {

const std::filesystem::path kXmlData = testDataPath("xml");

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The tree of a file that must parse cleanly.
std::string treeOf(const std::string& name) {
    DocumentChain chain;
    EXPECT_TRUE(chain.parse(readFile(kXmlData / "encodings" / name))) << name << ": " << chain.errorClass();
    return treeShape(chain.document);
}

} // namespace

TEST(DocumentFiles, EveryEncodingGivesTheSameTree) {
    const std::string expected = treeOf("points.utf-8.xml");
    EXPECT_NE(expected.find("nb(t:\xE6\x9D\xB1\xE4\xBA\xAC\xE9\xA7\x85)"), std::string::npos); // 東京駅
    EXPECT_NE(expected.find("comment(t:\xEF\xBD\xB1"), std::string::npos);                     // half-width ｱ
    EXPECT_NE(expected.find("note(t:\xE3\x83\xA1\xE3\x83\xA2 ,&amp,t: "), std::string::npos);
    for (const char* name : {"points.shift_jis.xml", "points.utf-16le.xml", "points.utf-16be.xml", "points.euc-jp.xml"})
        EXPECT_EQ(treeOf(name), expected) << name;

    const std::string western = treeOf("west.utf-8.xml");
    EXPECT_NE(western.find("t:Caf\xC3\xA9 \xE2\x82\xAC"), std::string::npos); // Café €
    EXPECT_EQ(treeOf("west.windows-1252.xml"), western);
}

TEST(DocumentFiles, MalformedDocumentsFailWhereExpected) {
    std::ifstream manifest(kXmlData / "malformed" / "expected.txt");
    std::set<std::string> listed;
    std::string line;
    while (std::getline(manifest, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string file, errorClass, range, code;
        fields >> file >> errorClass >> range;
        std::getline(fields, code);
        if (!code.empty() && code[0] == ' ') code.erase(0, 1);
        for (std::size_t at; (at = code.find("\\n")) != std::string::npos;) code.replace(at, 2, "\n");
        listed.insert(file);

        DocumentChain chain;
        EXPECT_FALSE(chain.parse(readFile(kXmlData / "malformed" / file))) << file;
        ASSERT_EQ(chain.reports.size(), 1u) << file;
        const ReportedError& error = chain.reports[0];
        EXPECT_EQ(error.errorClass, errorClass) << file;
        EXPECT_EQ(std::to_string(error.startLine) + ":" + std::to_string(error.startColumn) + "-" +
                      std::to_string(error.endLine) + ":" + std::to_string(error.endColumn),
                  range)
            << file;
        EXPECT_EQ(narrow(error.code), code) << file;
    }
    // Every document in the folder has its expectation.
    for (const auto& entry : std::filesystem::directory_iterator(kXmlData / "malformed")) {
        if (entry.path().extension() == ".xml") {
            EXPECT_EQ(listed.count(entry.path().filename().string()), 1u) << entry.path();
        }
    }
    EXPECT_GE(listed.size(), 25u);
}
