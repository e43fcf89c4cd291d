// Sequences of commands as a user performs them, checking that no point is lost or changed.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/main_form.h"
#include "tests/support/tagged_records.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/file_io.h"
#include "text/utf8.h"

namespace {

class NoLostPoints : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.path(name); }

    // A point-mark file of records whose cells are "<tag>R-C", saved where no DTD is beside it.
    std::string writeRecords(const std::string& name, int records, const std::string& tag) const {
        TMainFormCore source;
        fillTaggedRecords(source.Table, records, tag);
        EXPECT_TRUE(source.SaveFile(path(name)).empty());
        return path(name);
    }

    TemporaryDirectory dir_{"pm-lost"};
};

// What a cell holding the byte reads back as after an XML save: control bytes XML cannot carry
// are left out, bytes that are not Shift_JIS (a lead byte without its trail included) become "?".
std::string afterXmlRoundTrip(unsigned char byte) {
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return "";
    if (byte == 0x80 || byte == 0xA0 || byte >= 0xFD || cp932::isLeadByte(byte)) return "?";
    return std::string(1, static_cast<char>(byte));
}

} // namespace

TEST_F(NoLostPoints, AFailedLoadBetweenAddsKeepsEveryRow) {
    TMainFormCore form;
    const std::string forty = writeRecords("forty.xml", 40, "a");
    const std::string twenty = writeRecords("twenty.xml", 20, "b");
    EXPECT_EQ(form.FileLoadXMLClick(forty), 40);
    EXPECT_FALSE(form.Modified);
    form.StringGridXMLSelectCell(3, 17);
    const auto rows = form.Table.rows();

    // Files that give no record, for every reason; each leaves rows, counters and status alone.
    writeFileAtomically(path("broken.xml"), "<?xml version=\"1.0\"?><velmar><datum>x</dat");
    writeFileAtomically(path("empty.xml"), "");
    writeFileAtomically(path("bad.dtd.xml"), "<?xml version=\"1.0\"?><!DOCTYPE velmar SYSTEM \"bad.dtd\"><velmar/>");
    writeFileAtomically(path("bad.dtd"), "<!ELEMENT");
    for (const char* name : {"broken.xml", "empty.xml", "bad.dtd.xml", "missing.xml", "notes.txt"}) {
        try {
            EXPECT_EQ(form.FileLoadXMLClick(path(name)), 0) << name;
        } catch (const Exception&) {
        }
        EXPECT_EQ(form.Table.rows(), rows) << name;
        EXPECT_EQ(form.Table.RecordCount, 40) << name;
        EXPECT_EQ(form.Table.SelectedRow, 17) << name;
        EXPECT_EQ(form.Table.StatusText, "load: " + forty) << name;
        EXPECT_FALSE(form.Modified) << name;
        ASSERT_FALSE(form.Memo1.empty()) << name;
        EXPECT_NE(form.Memo1.back().find("No record was read from"), std::string::npos) << name;
    }

    EXPECT_EQ(form.FileAddClick(twenty), 20);
    EXPECT_EQ(form.Table.RecordCount, 60);
    EXPECT_EQ(form.Table.rowCount(), 61);
    EXPECT_EQ(form.Table.cell(4, 40), "a40-4");
    EXPECT_EQ(form.Table.cell(4, 41), "b1-4");
    EXPECT_TRUE(form.Modified);
    EXPECT_EQ(form.Table.StatusText, "add: " + twenty);
    EXPECT_EQ(form.CurrentFileName, forty);
}

TEST_F(NoLostPoints, FilesSavedWithoutADtdOpenAgainIdentical) {
    TMainFormCore form;
    const std::string saved = writeRecords("points.xml", 3, "p");
    ASSERT_FALSE(std::filesystem::exists(path("velmar.dtd")));
    TMainFormCore reader;
    EXPECT_EQ(reader.FileLoadXMLClick(saved), 3);
    ASSERT_EQ(reader.Memo1.size(), 1u); // the one warning about the built-in definition
    EXPECT_EQ(reader.Memo1[0], "velmar.dtd was not found beside " + saved + "; the built-in definition was used");
    reader.FileSaveXMLClick(path("again.xml"));
    EXPECT_EQ(readWholeFile(path("again.xml")), readWholeFile(saved));
}

TEST_F(NoLostPoints, EveryByteInEveryColumnSurvivesXmlAndCsv) {
    TMainFormCore form;
    // Row b holds "x" + byte b + "y" in one column (a different column per byte), and the byte
    // alone at the end of another cell, so that every byte meets both a neighbour and the end.
    form.Table.RecordCount = 255;
    form.Table.setRowCount(256);
    for (int b = 1; b <= 255; ++b) {
        for (int c = 0; c < kColumnCount; ++c) form.Table.setCell(c, b, "v" + std::to_string(c));
        const std::string byte(1, static_cast<char>(b));
        const int column = b % kColumnCount;
        form.Table.setCell(column, b, "x" + byte + "y");
        form.Table.setCell((column + 5) % kColumnCount, b, "z" + byte);
    }
    const auto original = form.Table.rows();

    form.FileSaveXMLClick(path("bytes.csv"));
    TMainFormCore csv;
    EXPECT_EQ(csv.FileLoadXMLClick(path("bytes.csv")), 255);
    EXPECT_TRUE(csv.Memo1.empty());
    EXPECT_EQ(csv.Table.rows(), original);

    const TSaveReport report = form.FileSaveXMLClick(path("bytes.xml"));
    TMainFormCore xml;
    EXPECT_EQ(xml.FileLoadXMLClick(path("bytes.xml")), 255);
    // The built-in DTD warning, and for each record whose lead byte and "y" name no character the
    // parser's error record and the line that names the record.
    std::size_t unassigned = 0;
    for (int b = 1; b <= 255; ++b)
        unassigned += cp932::isLeadByte(static_cast<std::uint8_t>(b)) &&
                      cp932::decodePair(static_cast<std::uint8_t>(b), 'y') == cp932::kReplacementUnit;
    ASSERT_EQ(xml.Memo1.size(), 1u + 2 * unassigned) << xml.Memo1.back();
    for (int b = 1; b <= 255; ++b) {
        const unsigned char byte = static_cast<unsigned char>(b);
        const int column = b % kColumnCount;
        const std::string& middle = xml.Table.cell(column, b);
        // A lead byte before "y" (a valid trail byte) is one character with it.
        const bool pair = cp932::isLeadByte(byte);
        if (pair) {
            EXPECT_EQ(middle, cp932::encode(cp932::decode(original[b][column]))) << b;
        } else {
            EXPECT_EQ(middle, "x" + afterXmlRoundTrip(byte) + "y") << b;
        }
        EXPECT_EQ(xml.Table.cell((column + 5) % kColumnCount, b), "z" + afterXmlRoundTrip(byte)) << b;
        const bool changed = afterXmlRoundTrip(byte) != std::string(1, static_cast<char>(byte));
        const bool listed = std::count(report.controlCharacterRows.begin(), report.controlCharacterRows.end(), b) +
                            std::count(report.invalidByteRows.begin(), report.invalidByteRows.end(), b);
        EXPECT_EQ(listed, changed) << b;
    }
}

TEST_F(NoLostPoints, ValuesStartingWithReferencesAndAttributeEntitiesAreRead) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
                             "<!DOCTYPE velmar [<!ENTITY snd \"SND\">]>\n<velmar>";
    auto record = [](const std::string& note, const std::string& href) {
        return "<format><datum>D</datum></format><gpoi><poi><note>" + note +
               "</note></poi><linkfile><multimedia href=\"" + href +
               "\" repeat=\"1\"><comment>ON</comment></multimedia></linkfile></gpoi>";
    };
    writeFileAtomically(path("refs.xml"), head + record("&lt;check&gt; narrow gate", "a&amp;b&lt;c&snd;") +
                                              record("<![CDATA[cdata]]>rest", "&nope;.wav") +
                                              record("<!--c-->text", "&#65;&quot;") + "</velmar>");
    TMainFormCore form;
    EXPECT_EQ(form.FileLoadXMLClick(path("refs.xml")), 3);
    EXPECT_EQ(form.Table.cell(3, 1), "<check> narrow gate");
    EXPECT_EQ(form.Table.cell(11, 1), "a&b<cSND");
    EXPECT_EQ(form.Table.cell(3, 2), ""); // content starting with CDATA or a comment gives nothing
    EXPECT_EQ(form.Table.cell(11, 2), "&nope;.wav");
    EXPECT_EQ(form.Table.cell(13, 2), "ON");
    EXPECT_EQ(form.Table.cell(3, 3), "");
    EXPECT_EQ(form.Table.cell(11, 3), "A\"");
    EXPECT_EQ(form.Table.cell(12, 3), "1");
    // The undeclared entity is told, after whatever the parser said about it.
    ASSERT_FALSE(form.Memo1.empty());
    EXPECT_EQ(form.Memo1.back(),
              "Record 2: the entity \"nope\" in attribute href is not declared; the reference was kept as written");
}

TEST_F(NoLostPoints, ModifiedFollowsChangesSavesAndLoads) {
    TMainFormCore form;
    EXPECT_FALSE(form.Modified);
    form.StringGridXMLSetEditText(4, 1, "");
    EXPECT_FALSE(form.Modified); // an edit that changes nothing
    form.StringGridXMLSetEditText(4, 1, "name");
    EXPECT_TRUE(form.Modified);
    form.FileSaveXMLClick(path("t.csv"));
    EXPECT_FALSE(form.Modified);
    EXPECT_EQ(form.CurrentFileName, path("t.csv"));

    form.EditAddClick();
    form.StringGridXMLSetEditText(4, 2, "a"); // sorting by column 4 now moves rows
    const char* const names[] = {"sort", "add", "delete"};
    int step = 0;
    for (auto command : {+[](TMainFormCore& f) { f.EditSortClick(4); }, +[](TMainFormCore& f) { f.EditAddClick(); },
                         +[](TMainFormCore& f) { f.EditDeleteClick(); }}) {
        SCOPED_TRACE(names[step++]);
        form.FileSaveXMLClick(path("t.csv"));
        command(form);
        EXPECT_TRUE(form.Modified);
    }
    form.EditSortClick(4);
    form.FileSaveXMLClick(path("t.csv"));
    form.EditSortClick(4); // already in order: nothing changes
    EXPECT_FALSE(form.Modified);
    const std::string three = writeRecords("three.xml", 3, "c");
    form.DropFiles({three});
    EXPECT_TRUE(form.Modified);
    EXPECT_EQ(form.FileLoadXMLClick(three), 3);
    EXPECT_FALSE(form.Modified);
    EXPECT_EQ(form.CurrentFileName, three);
    // A save that fails leaves the flag and the current file.
    form.EditAddClick();
    EXPECT_THROW(form.FileSaveXMLClick(path("no/dir.xml")), EFCreateError);
    EXPECT_TRUE(form.Modified);
    EXPECT_EQ(form.CurrentFileName, three);
}
