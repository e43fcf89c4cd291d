// pointmark-convert INPUT OUTPUT [--sort-by COLUMN] [--where COLUMN=TEXT]... [--datum WGS84|TOKYO] [--dedupe]
// pointmark-convert INPUT --check [same options]
//
// The options may stand anywhere; "--" ends them, so that the names after it may start with "-".
// --sort-by and --datum may be repeated with the same value only.
//
// Loads INPUT as the editor's load command does, optionally keeps only the records whose cells
// contain given texts, converts the records to one datum (records left alone are listed on
// standard error), keeps only the first record of each group of duplicates (10 m apart at most,
// those left out listed on standard error) and sorts the records by one column as the editor's
// commands do, and saves OUTPUT as the save command does. The format of each file is chosen by
// the end of its name: ".csv"/".CSV" or ".xml"/".XML".
//
// With --check nothing is written: every problem that the field checks find in the records is
// printed on standard output, "record N, column NAME: error: REASON" (or "warning: REASON"), and
// the exit status is 1 when there is an error, else 0. Here and in the other messages N is the
// record's number in INPUT, whatever --where, --dedupe and --sort-by left out or moved.
//
// The messages that the XML parser reported while reading a point-mark INPUT are printed on
// standard error, one line each.
//
// The messages of reading a CSV INPUT (NUL bytes left out, a quote never closed, more than 16
// fields) go there too.
//
// Exit status: 0 on success (rows that a point-mark save left out or changed are listed on
// standard error), 1 when the input cannot be read, when reading it stopped at a fatal error (the
// records read in full are still converted and written, and the last line of standard error says
// "N records read; reading stopped at line L: REASON"), when reading it reported messages and gave no
// record, when the output cannot be written, when PROJ cannot be set up for --datum or --dedupe,
// when standard output cannot be written, and with --check when a record has an error; 2 for a
// wrong command line, the output being the input file among them (nothing is written then).

#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/cell_search.h"
#include "app/common.h"
#include "app/duplicates.h"
#include "app/field_checks.h"
#include "app/main_form.h"
#include "app/point_mark_writer.h"
#include "app/sort_rows.h"
#include "text/code_page_932.h"
#include "text/utf8.h"
#include "tools/standard_output.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] = "usage: pointmark-convert INPUT OUTPUT [--sort-by COLUMN] [--where COLUMN=TEXT]... "
                      "[--datum WGS84|TOKYO] [--dedupe]\n"
                      "       pointmark-convert INPUT --check [same options]\n"
                      "  Options may stand anywhere; \"--\" ends them (for file names starting with \"-\").\n"
                      "  INPUT and OUTPUT end in .csv/.CSV or .xml/.XML.\n"
                      "  COLUMN is a column number 0-15 or a column header such as 地点名.\n"
                      "  --where keeps the records whose cell in COLUMN contains TEXT (UTF-8, letter case\n"
                      "  counts); when given more than once, a record must meet every condition.\n"
                      "  --datum converts the coordinates of every record to that datum.\n"
                      "  --dedupe keeps the first of records with the same 地点名 within 10 m.\n"
                      "  --check prints the problems of the records and writes no file.\n";

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
    struct stat a {};
    struct stat b {};
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

// The number that each data row's record has in the input file, carried through the steps that
// leave rows out or move them, so that every message names a record as the input file numbers it.
class InputRecordNumbers {
public:
    // The input file's number of the record in this table row (1 for the first data row).
    int operator()(int row) const { return moved_ ? numbers_[static_cast<std::size_t>(row - 1)] : row; }
    // Only these table rows (ascending) stay, in this order.
    void keep(const std::vector<int>& rows) {
        std::vector<int> kept;
        kept.reserve(rows.size());
        for (const int row : rows) kept.push_back((*this)(row));
        numbers_ = std::move(kept);
        moved_ = true;
    }
    // The data rows move into this order (entry k: the data index of the row that ends at data index k).
    void reorder(const std::vector<std::size_t>& order) {
        if (order.empty()) return; // the sort left every row where it was
        std::vector<int> rows;
        rows.reserve(order.size());
        for (const std::size_t from : order) rows.push_back(static_cast<int>(from) + 1);
        keep(rows);
    }

private:
    std::vector<int> numbers_;
    bool moved_ = false; // until a row is left out or moved, each row has its own number
};

// Removes all but the first record of each group of duplicates, naming each record removed.
void removeDuplicates(TMainFormCore& editor, InputRecordNumbers& numbers) {
    std::vector<bool> removed(static_cast<std::size_t>(editor.Table.rowCount()), false);
    std::vector<int> rows;
    for (const std::vector<int>& group : findDuplicateGroups(editor.Table, editor.datumTransform())) {
        for (std::size_t k = 1; k < group.size(); ++k) {
            std::fprintf(stderr, "pointmark-convert: record %d duplicates record %d and was left out\n",
                         numbers(group[k]), numbers(group[0]));
            removed[static_cast<std::size_t>(group[k])] = true;
            rows.push_back(group[k]);
        }
    }
    if (rows.empty()) return;
    editor.EditDeleteRows(std::move(rows));
    std::vector<int> kept;
    for (int row = 1; row < static_cast<int>(removed.size()); ++row)
        if (!removed[static_cast<std::size_t>(row)]) kept.push_back(row);
    numbers.keep(kept);
}

// Prints the problems of every record (the rows after the header row); the exit status: failure
// when any is an error.
int printProblems(const TPointMarkTable& table, const InputRecordNumbers& numbers) {
    int errors = 0;
    for (int row = 1; row < table.rowCount(); ++row) {
        const TRecordProblems problems = checkRecord(table.row(row));
        errors += problems.count(TSeverity::error);
        for (TFieldProblem problem : problems) {
            const TFieldProblemInfo& info = fieldProblemInfo(problem);
            std::printf("record %d, column %s: %s: %s\n", numbers(row), columnHeaderUtf8(info.column),
                        info.severity == TSeverity::error ? "error" : "warning", info.reason);
        }
    }
    return errors > 0 ? kExitFailure : 0;
}

// The last line of a run whose reading stopped at a fatal error.
void printReadStop(const TReadStop& stop) {
    std::fprintf(stderr, "%d records read%s; reading stopped at line %d: %s\n", stop.records,
                 stop.recordCut ? " (the record cut off by the error was left out)" : "", stop.line,
                 stop.reason.c_str());
}

// The whole run; its exit status.
int convert(int argc, char** argv) {
    std::vector<std::string> names;
    int sortColumn = -1;
    std::vector<TFilterCondition> where;
    std::optional<TDatum> datum;
    bool dedupe = false, check = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnded) {
            names.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true; // what follows are file names, even those starting with "-"
        } else if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (argument == "--sort-by") {
            if (i + 1 >= argc) return usageError("--sort-by needs a column");
            const int column = parseColumn(argv[++i]);
            if (column < 0) return usageError("unknown column \"" + std::string(argv[i]) + "\"");
            if (sortColumn >= 0 && column != sortColumn) return usageError("--sort-by is given two different columns");
            sortColumn = column;
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
        } else if (argument == "--datum") {
            const std::optional<TDatum> chosen = i + 1 < argc ? datumOfCell(argv[++i]) : std::nullopt;
            if (!chosen) return usageError("--datum needs WGS84 or TOKYO");
            if (datum && *datum != *chosen) return usageError("--datum is given two different datums");
            datum = chosen;
        } else if (argument == "--dedupe" || argument == "--check") {
            (argument == "--check" ? check : dedupe) = true;
        } else if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
            return usageError("unknown option \"" + argument + "\"");
        } else {
            names.push_back(argument);
        }
    }
    if (names.size() != (check ? 1u : 2u))
        return usageError(check ? "--check takes an input file and no output" : "expected an input and an output file");
    const std::string& input = names[0];
    const std::string& output = names.back();
    for (const std::string& name : names)
        if (!hasKnownEnding(name)) return usageError("\"" + name + "\" ends in neither .xml/.XML nor .csv/.CSV");
    if (!check && sameFile(input, output)) return usageError("the output \"" + output + "\" is the input file");
    InputRecordNumbers numbers;
    TMainFormCore editor;
    int records = 0;
    try {
        records = editor.FileLoadXMLClick(input);
    } catch (const std::exception& error) {
        return failure("cannot read the input: " + std::string(error.what()));
    }
    for (const std::string& line : editor.Memo1) std::fprintf(stderr, "%s\n", utf16ToUtf8(cp932::decode(line)).c_str());
    // Reading that stopped at a fatal error fails the run, after the records read in full were
    // converted; the last line of standard error says how far it got.
    const std::optional<TReadStop> stop = editor.LastReadStop;
    // Without a record the editor's table is untouched; an input that read cleanly but holds no
    // point still converts (to an empty file), one whose read reported problems does not.
    if (records == 0) {
        if (editor.Memo1.size() > 1) {
            const int status = failure("cannot read the input: no record was read from \"" + input + "\"");
            if (stop) printReadStop(*stop);
            return status;
        }
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
        numbers.keep(kept);
    }
    try {
        if (datum && records > 0)
            for (const TDatumSkip& skip : editor.EditConvertDatum({}, *datum))
                std::fprintf(stderr, "pointmark-convert: record %d was left in its datum: %s\n", numbers(skip.row),
                             datumSkipReasonText(skip.reason));
        if (dedupe && records > 0) removeDuplicates(editor, numbers);
    } catch (const std::exception& error) {
        return failure(error.what());
    }
    if (sortColumn >= 0) {
        // The sort command's order, applied without its undo step.
        const std::vector<std::size_t> order = sortedDataRowOrder(editor.Table, sortColumn);
        applyDataRowOrder(editor.Table, order);
        numbers.reorder(order);
    }
    if (check) {
        const int status = printProblems(editor.Table, numbers);
        if (!stop) return status;
        printReadStop(*stop);
        return kExitFailure;
    }
    try {
        const TSaveReport report = editor.FileSaveXMLClick(output);
        if (!report.empty()) std::fprintf(stderr, "pointmark-convert: %s\n", saveReportMessage(report).c_str());
    } catch (const std::exception& error) {
        return failure("cannot write the output: " + std::string(error.what()));
    }
    if (stop) {
        printReadStop(*stop);
        return kExitFailure;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) { return finishStandardOutput("pointmark-convert", convert(argc, argv)); }
