// pointmark-convert on inputs that break off: the run fails, the output holds the records read in
// full, and the last line of standard error says how far reading got.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/main_form.h"
#include "tests/support/tagged_records.h"
#include "tests/support/temporary_directory.h"
#include "text/file_io.h"

namespace {

class ConvertReadStop : public ::testing::Test {
protected:
    // Runs the tool; its exit code, with standard error in errors.
    int convert(const std::string& arguments, std::string& errors) const {
        const std::string errorFile = dir_.path("stderr.txt");
        const std::string command =
            std::string("'") + TOOLS_DIR + "/pointmark-convert' " + arguments + " >/dev/null 2>'" + errorFile + "'";
        const int status = std::system(command.c_str());
        errors = readWholeFile(errorFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Three records; the file is cut inside the second record's latitude by a reference that never
    // ends (or, with encoding given, declares that encoding first). The line of the cut.
    int writeCutFile(const std::string& name, const std::string& encoding = "") const {
        TMainFormCore source;
        fillTaggedRecords(source.Table, 3, "r");
        source.SaveFile(dir_.path(name));
        std::string whole = readWholeFile(dir_.path(name));
        if (!encoding.empty()) whole.replace(whole.find("Shift_JIS"), 9, encoding);
        const std::size_t cut = whole.find("<lat>r2-6") + 5;
        writeFileAtomically(dir_.path(name), whole.substr(0, cut) + "&bad");
        return static_cast<int>(std::count(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut), '\n')) + 1;
    }

    static std::string lastLine(const std::string& text) {
        const std::size_t end = text.size() - (text.ends_with('\n') ? 1 : 0);
        const std::size_t start = text.rfind('\n', end - 1);
        return text.substr(start == std::string::npos ? 0 : start + 1,
                           end - (start == std::string::npos ? 0 : start + 1));
    }

    TemporaryDirectory dir_{"convert-read-stop"};
};

} // namespace

TEST_F(ConvertReadStop, AFatalErrorFailsTheRunAndTheOutputHoldsOnlyWholeRecords) {
    for (const std::string encoding : {"", "X-UNHEARD-OF"}) {
        SCOPED_TRACE(encoding);
        const int line = writeCutFile("cut.xml", encoding);
        std::string errors;
        EXPECT_EQ(convert("'" + dir_.path("cut.xml") + "' '" + dir_.path("out.csv") + "'", errors), 1);
        const std::string last = lastLine(errors);
        EXPECT_TRUE(
            last.starts_with("1 records read (the record cut off by the error was left out); reading stopped at line " +
                             std::to_string(line) + ": "))
            << errors;
        EXPECT_NE(last.find("&bad"), std::string::npos) << last;
        const std::string csv = readWholeFile(dir_.path("out.csv"));
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2) << csv; // the header and record 1
        EXPECT_EQ(csv.find("r2-"), std::string::npos) << csv;

        // --check fails the same way, whatever the checks find.
        EXPECT_EQ(convert("'" + dir_.path("cut.xml") + "' --check", errors), 1);
        EXPECT_TRUE(lastLine(errors).starts_with("1 records read")) << errors;
    }
}
