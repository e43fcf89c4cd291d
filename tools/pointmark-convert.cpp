// pointmark-convert INPUT OUTPUT [--sort-by COLUMN] [--where COLUMN=TEXT]...
//
// Loads INPUT as the editor's load command does, optionally keeps only the records whose cells
// contain given texts, optionally sorts the records by one column as the sort command does, and
// saves OUTPUT as the save command does. The format of each file is chosen by the end of its
// name: ".csv"/".CSV" or ".xml"/".XML".
//
// The messages that the XML parser reported while reading a point-mark INPUT are printed on
// standard error, one line each.
//
// The messages of reading a CSV INPUT (NUL bytes left out, a quote never closed, more than 16
// fields) go there too.
//
// Exit status: 0 on success (rows that a point-mark save left out or changed are listed on
// standard error), 1 when the input cannot be read, when reading it reported messages and gave no
// record, or when the output cannot be written; 2 for a wrong command line, the output being the
// input file among them (nothing is written then).

#include <cstdio>
#include <sys/stat.h>
#include <exception>
#include <string>
#include <vector>

#include "app/cell_search.h"
#include "app/common.h"
#include "app/main_form.h"
#include "app/point_mark_writer.h"
#include "text/code_page_932.h"
#include "text/utf8.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] = "usage: pointmark-convert INPUT OUTPUT [--sort-by COLUMN] [--where COLUMN=TEXT]...\n"
                      "  INPUT and OUTPUT end in .csv/.CSV or .xml/.XML.\n"
                      "  COLUMN is a column number 0-15 or a column header such as 地点名.\n"
                      "  --where keeps the records whose cell in COLUMN contains TEXT (UTF-8, letter case\n"
                      "  counts); when given more than once, a record must meet every condition.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "pointmark-convert: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "pointmark-convert: %s\n", message.c_str());
    return kExitFailure;
}

// A column number 0-15 or a header text (UTF-8); -1 when it is neither.
int parseColumn(const std::string& text) {
    if (!text.empty() && text.size() <= 2 && text.find_first_not_of("0123456789") == std::string::npos) {
        const int column = std::stoi(text);
        return column < kColumnCount ? column : -1;
    }
    for (int column = 0; column < kColumnCount; ++column)
        if (text == columnHeaderUtf8(column)) return column;
    return -1;
}

bool hasKnownEnding(const std::string& fileName) { return hasCsvEnding(fileName) || hasXmlEnding(fileName); }

// Whether two names stand for the same file, through links and other names of it.
bool sameFile(const std::string& first, const std::string& second) {
    struct stat a {}, b {};
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> names;
    int sortColumn = -1;
    std::vector<TFilterCondition> where;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--sort-by") {
            if (i + 1 >= argc) return usageError("--sort-by needs a column");
            sortColumn = parseColumn(argv[++i]);
            if (sortColumn < 0) return usageError("unknown column \"" + std::string(argv[i]) + "\"");
        } else if (argument == "--where") {
            if (i + 1 >= argc) return usageError("--where needs COLUMN=TEXT");
            const std::string condition = argv[++i];
            const std::size_t equals = condition.find('=');
            const int column = equals == std::string::npos ? -1 : parseColumn(condition.substr(0, equals));
            if (column < 0) return usageError("--where needs COLUMN=TEXT with a known column: \"" + condition + "\"");
            const std::string text = condition.substr(equals + 1);
            const std::u16string wide = utf8ToUtf16(text);
            if (utf16ToUtf8(wide) != text) return usageError("the text of --where is not UTF-8: \"" + condition + "\"");
            where.push_back({column, wide});
        } else if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
            return usageError("unknown option \"" + argument + "\"");
        } else {
            names.push_back(argument);
        }
    }
    if (names.size() != 2) return usageError("expected an input and an output file");
    const std::string& input = names[0];
    const std::string& output = names[1];
    for (const std::string& name : names)
        if (!hasKnownEnding(name)) return usageError("\"" + name + "\" ends in neither .xml/.XML nor .csv/.CSV");
    if (sameFile(input, output)) return usageError("the output \"" + output + "\" is the input file");
    TMainFormCore editor;
    int records = 0;
    try {
        records = editor.FileLoadXMLClick(input);
    } catch (const std::exception& error) {
        return failure("cannot read the input: " + std::string(error.what()));
    }
    for (const std::string& line : editor.Memo1) std::fprintf(stderr, "%s\n", utf16ToUtf8(cp932::decode(line)).c_str());
    // Without a record the editor's table is untouched; an input that read cleanly but holds no
    // point still converts (to an empty file), one whose read reported problems does not.
    if (records == 0) {
        if (editor.Memo1.size() > 1) return failure("cannot read the input: no record was read from \"" + input + "\"");
        editor.Table.RecordCount = 0;
        editor.Table.setRowCount(1); // the header row alone, without the start-up's empty record
    }
    if (!where.empty() && editor.Table.RecordCount > 0) {
        // Plain contains on the cells as characters, letter case counting.
        const std::vector<int> kept = TRowFilter(where, {true, false, false}).matchingRows(editor.Table);
        std::vector<TPointMarkRow> rows{editor.Table.row(0)};
        for (const int row : kept) rows.push_back(std::move(editor.Table.rows()[static_cast<std::size_t>(row)]));
        editor.Table.swapRows(rows);
        editor.Table.RecordCount = static_cast<int>(kept.size());
        if (kept.empty()) editor.Table.setRowCount(1);
    }
    if (sortColumn >= 0) editor.EditSortClick(sortColumn);
    try {
        const TSaveReport report = editor.FileSaveXMLClick(output);
        if (!report.empty()) std::fprintf(stderr, "pointmark-convert: %s\n", saveReportMessage(report).c_str());
    } catch (const std::exception& error) {
        return failure("cannot write the output: " + std::string(error.what()));
    }
    return 0;
}
