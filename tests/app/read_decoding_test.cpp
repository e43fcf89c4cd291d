// What the editor makes of point-mark files it did not write itself: bytes that are no character
// of the file's encoding, and white space written literally in attribute values.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_form.h"
#include "tests/support/tagged_records.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/file_io.h"
#include "text/utf8.h"

namespace {

class ReadDecoding : public ::testing::Test {
protected:
    // The text of a file the editor wrote: records whose cells hold "<tag>R-C".
    std::string savedText(int records, const std::string& tag) const {
        TMainFormCore source;
        fillTaggedRecords(source.Table, records, tag);
        EXPECT_TRUE(source.SaveFile(dir_.path("saved.xml")).empty());
        return readWholeFile(dir_.path("saved.xml"));
    }

    static void replace(std::string& text, const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    }

    // The message lines of the last read, as UTF-8, that hold the words.
    static std::vector<std::string> linesWith(const TMainFormCore& form, const std::string& words) {
        std::vector<std::string> lines;
        for (const std::string& line : form.Memo1) {
            const std::string text = utf16ToUtf8(cp932::decode(line));
            if (text.find(words) != std::string::npos) lines.push_back(text);
        }
        return lines;
    }

    TemporaryDirectory dir_{"pm-decoding"};
};

} // namespace

// A tab or line feed written as it is in an attribute value is a space, as every XML reader reads
// it; written as a character reference it stays what it is.
TEST_F(ReadDecoding, AttributeValuesTakeLiteralWhiteSpaceAsSpaces) {
    std::string text = savedText(2, "v");
    replace(text, "repeat=\"v1-12\"", "repeat=\"a\tb\nc\"");
    replace(text, "href=\"v1-11\"", "href=\"x\r\ny.wav\"");
    replace(text, "repeat=\"v2-12\"", "repeat=\"a&#9;b&#10;c&#13;\"");
    writeFileAtomically(dir_.path("spaces.xml"), text);
    TMainFormCore form;
    ASSERT_EQ(form.FileLoadXMLClick(dir_.path("spaces.xml")), 2);
    EXPECT_EQ(form.Table.cell(12, 1), "a b c");
    EXPECT_EQ(form.Table.cell(11, 1), "x y.wav");
    EXPECT_EQ(form.Table.cell(12, 2), "a\tb\nc\r");
}

// Bytes that are no character of a UTF-8 file are read as "・" like the codes that Shift_JIS lacks:
// the records are read on, each such place is an error message with its line and column, and the
// records that hold them are listed.
TEST_F(ReadDecoding, BytesThatAreNoCharacterOfTheEncodingAreListedAndReadOn) {
    std::string text = savedText(3, "u");
    replace(text, "encoding=\"Shift_JIS\"", "encoding=\"UTF-8\"");
    replace(text, "u2-4<", "u2-4\xE3\x81<");
    replace(text, "repeat=\"u3-12\"", "repeat=\"u3\xFF-12\"");
    writeFileAtomically(dir_.path("utf8.xml"), text);
    TMainFormCore form;
    ASSERT_EQ(form.FileLoadXMLClick(dir_.path("utf8.xml")), 3);
    EXPECT_EQ(form.Table.cell(4, 2), "u2-4\x81\x45");
    EXPECT_EQ(form.Table.cell(12, 3), "u3\x81\x45-12");
    EXPECT_EQ(
        linesWith(form, "UTF-8 character"),
        (std::vector<std::string>{"Record 2: bytes that are no UTF-8 character were read as \"・\": 地点名 E3 81",
                                  "Record 3: bytes that are no UTF-8 character were read as \"・\": 繰り返し FF"}));
    const std::vector<std::string> errors = linesWith(form, "Bytes that are no character of the encoding");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("position"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find(": E3 81"), std::string::npos) << errors[0];
    EXPECT_NE(errors[1].find(": FF"), std::string::npos) << errors[1];
}
