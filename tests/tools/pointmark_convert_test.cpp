#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/temporary_directory.h"
#include "tests/support/test_data.h"
#include "text/file_io.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string errors;
    std::string output;
};

const std::string kData = testDataPath("csv/");

class PointmarkConvert : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.path(name); }

    // Runs the tool with the arguments (each put in single quotes) and captures standard output and
    // error; standard output goes to outputTo instead when it is given.
    ToolRun convert(const std::vector<std::string>& arguments, const std::string& outputTo = "") const {
        std::string command = environment_ + " '" + TOOLS_DIR + "/pointmark-convert'";
        if (!workingDirectory_.empty()) command = "cd '" + workingDirectory_ + "' && " + command;
        for (const std::string& argument : arguments) command += " '" + argument + "'";
        const std::string errorFile = path("stderr.txt"), outputFile = path("stdout.txt");
        command += " >'" + (outputTo.empty() ? outputFile : outputTo) + "' 2>'" + errorFile + "'";
        const int status = std::system(command.c_str());
        ToolRun run;
        if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
        run.errors = readWholeFile(errorFile);
        if (outputTo.empty()) run.output = readWholeFile(outputFile);
        std::filesystem::remove(errorFile);
        std::filesystem::remove(outputFile);
        return run;
    }
    TemporaryDirectory dir_{"pointmark-convert-test"};
    std::string workingDirectory_; // where the tool runs; the test's own when empty
    std::string environment_;      // variable assignments for the tool's run, such as "A=1 B=2"
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Reads a FIFO in a thread until its writer closes it. The FIFO is opened at once, so that a FIFO
// replaced meanwhile cannot be confused with it; without a writer the reading ends after 20 s.
class FifoReader {
public:
    explicit FifoReader(const std::string& fifo)
        : fd_(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK)), thread_([this] { read(); }) {}
    std::string received() {
        thread_.join();
        return received_;
    }

private:
    void read() {
        pollfd wait{fd_, POLLIN, 0};
        char buffer[4096];
        while (fd_ >= 0 && ::poll(&wait, 1, 20000) > 0) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) break;
            received_.append(buffer, static_cast<std::size_t>(n));
        }
        if (fd_ >= 0) ::close(fd_);
    }
    int fd_;
    std::string received_;
    std::thread thread_;
};

std::filesystem::file_type typeOf(const std::string& name) { return std::filesystem::symlink_status(name).type(); }

} // namespace

TEST_F(PointmarkConvert, ConvertsCsvToPointMarkXmlAndReportsSkippedRows) {
    const ToolRun run = convert({kData + "records.csv", path("out.xml")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(readWholeFile(path("out.xml")), readWholeFile(kData + "records.xml"));
    // Row 3 lacks its time, a required cell: it is left out and named on standard error.
    EXPECT_TRUE(contains(run.errors, "1 行は保存されませんでした")) << run.errors;
    EXPECT_TRUE(contains(run.errors, ":\n3\n")) << run.errors;

    const ToolRun upper = convert({kData + "records.csv", path("OUT.XML")});
    EXPECT_EQ(upper.exitCode, 0);
    EXPECT_EQ(readWholeFile(path("OUT.XML")), readWholeFile(kData + "records.xml"));
}

TEST_F(PointmarkConvert, ReadsPointMarkXmlBackIntoTheSameTable) {
    // XML to XML gives the same bytes back (the DTD lies beside the input), and XML to CSV
    // gives the CSV of the records that were written.
    std::filesystem::copy_file(testDataPath("app/xml/velmar.dtd"), path("velmar.dtd"));
    std::filesystem::copy_file(kData + "records.xml", path("records.xml"));
    ToolRun run = convert({path("records.xml"), path("copy.xml")});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(readWholeFile(path("copy.xml")), readWholeFile(kData + "records.xml"));

    run = convert({path("records.xml"), path("back.csv")});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    run = convert({path("back.csv"), path("again.xml")});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(readWholeFile(path("again.xml")), readWholeFile(kData + "records.xml"));
}

TEST_F(PointmarkConvert, SortsAndWritesCsv) {
    ToolRun run = convert({kData + "records.csv", path("sorted.csv"), "--sort-by", "4"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(readWholeFile(path("sorted.csv")), readWholeFile(kData + "records-by-name.csv"));

    run = convert({"--sort-by", "地点名", kData + "records.csv", path("SORTED.CSV")});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(readWholeFile(path("SORTED.CSV")), readWholeFile(kData + "records-by-name.csv"));

    // Without sorting, CSV to CSV gives the same bytes back.
    run = convert({kData + "records.csv", path("copy.csv")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(readWholeFile(path("copy.csv")), readWholeFile(kData + "records.csv"));
}

TEST_F(PointmarkConvert, KeepsTheRecordsThatMeetEveryWhereCondition) {
    const std::string input = kData + "records.csv";
    std::vector<std::string> lines; // the input's lines with their CR LF; each record reads back as it is
    const std::string text = readWholeFile(input);
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end + 2 - start));
    ToolRun run = convert({input, path("park.csv"), "--where", "住所=公園"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(readWholeFile(path("park.csv")), lines[0] + lines[1]);

    run = convert({input, path("both.csv"), "--where", "0=TOKYO", "--where", "カテゴリ=公", "--sort-by", "4"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(readWholeFile(path("both.csv")), lines[0] + lines[4]);

    // Letter case counts; no record left gives the header line alone.
    run = convert({input, path("none.csv"), "--where", "0=tokyo"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(readWholeFile(path("none.csv")), lines[0]);
}

TEST_F(PointmarkConvert, RefusesBadCommandLinesWithUsage) {
    const std::string input = kData + "records.csv";
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {input},
                                               {input, path("a.csv"), path("b.csv")},
                                               {input, path("a.csv"), "--sort-by"},
                                               {input, path("a.csv"), "--sort-by", "16"},
                                               {input, path("a.csv"), "--sort-by", "-1"},
                                               {input, path("a.csv"), "--sort-by", "name"},
                                               {input, path("a.csv"), "--reverse"},
                                               {input, path("a.csv"), "--where"},
                                               {input, path("a.csv"), "--where", "4"},
                                               {input, path("a.csv"), "--where", "16=x"},
                                               {input, path("a.csv"), "--where", "名前=x"},
                                               {input, path("a.csv"), "--where", "4=\xFF"}}) {
        const ToolRun run = convert(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.size();
        EXPECT_TRUE(contains(run.errors, "usage: pointmark-convert INPUT OUTPUT")) << run.errors;
    }
    ToolRun run = convert({input, path("out.txt")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(contains(run.errors, "out.txt\" ends in neither .xml/.XML nor .csv/.CSV")) << run.errors;
    run = convert({kData + "records.Csv", path("out.csv")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(contains(run.errors, "records.Csv\" ends in neither")) << run.errors;
    EXPECT_FALSE(std::filesystem::exists(path("out.csv")));
}

TEST_F(PointmarkConvert, FailsClearlyOnUnreadableInputAndUnwritableOutput) {
    ToolRun run = convert({path("missing.csv"), path("out.csv")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.errors, "cannot read the input: Cannot open file \"" + path("missing.csv") + "\"."))
        << run.errors;
    EXPECT_FALSE(std::filesystem::exists(path("out.csv")));

    // A point-mark file whose DTD is missing: the parser's message, and no record, so no output.
    writeFileAtomically(path("in.xml"), "<!DOCTYPE velmar SYSTEM \"absent.dtd\"><velmar/>");
    run = convert({path("in.xml"), path("out.csv")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.errors, "FATAL ERROR in local document " + path("in.xml"))) << run.errors;
    EXPECT_TRUE(contains(run.errors, "Invalid doctype declaration.")) << run.errors;
    EXPECT_TRUE(contains(run.errors, "no record was read from \"" + path("in.xml") + "\"")) << run.errors;
    EXPECT_FALSE(std::filesystem::exists(path("out.csv")));

    run = convert({kData + "records.csv", path("no/such/out.xml")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.errors, "cannot write the output: Cannot create file \"" + path("no/such/out.xml")))
        << run.errors;

    // A failed save leaves the previous file as it was.
    writeFileAtomically(path("keep.csv"), "previous");
    std::filesystem::create_directory(path("ro"));
    writeFileAtomically(path("ro/keep.csv"), "previous");
    if (geteuid() != 0) {
        chmod(path("ro").c_str(), 0555);
        run = convert({kData + "records.csv", path("ro/keep.csv")});
        EXPECT_EQ(run.exitCode, 1);
        chmod(path("ro").c_str(), 0755);
    }
    EXPECT_EQ(readWholeFile(path("ro/keep.csv")), "previous");
}

TEST_F(PointmarkConvert, RefusesToWriteOverItsInputAndTellsWhatCsvReadingChanged) {
    writeFileAtomically(path("in.csv"), readWholeFile(kData + "records.csv"));
    const std::string before = readWholeFile(path("in.csv"));
    std::filesystem::create_symlink("in.csv", path("link.csv"));
    std::filesystem::create_hard_link(path("in.csv"), path("hard.csv"));
    for (const std::string& output : {path("in.csv"), path("link.csv"), path("hard.csv"), dir_.path("./in.csv")}) {
        const ToolRun run = convert({path("in.csv"), output});
        EXPECT_EQ(run.exitCode, 2) << output;
        EXPECT_TRUE(contains(run.errors, "is the input file")) << run.errors;
    }
    EXPECT_EQ(readWholeFile(path("in.csv")), before);

    // A NUL byte and a seventeenth field are told on standard error; the conversion goes on.
    writeFileAtomically(path("odd.csv"), std::string("H\r\na\0b,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16\r\n", 47));
    const ToolRun run = convert({path("odd.csv"), path("odd-out.csv")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(contains(run.errors, path("odd.csv") + ", line 2: a NUL byte was left out")) << run.errors;
    EXPECT_TRUE(contains(run.errors, path("odd.csv") + ", line 2: 17 fields")) << run.errors;
    EXPECT_TRUE(contains(readWholeFile(path("odd-out.csv")), "\r\nab,1,2,")) << readWholeFile(path("odd-out.csv"));
}

TEST_F(PointmarkConvert, OutputsThatAreNoRegularFilesAreWrittenIntoOrRefused) {
    using std::filesystem::file_type;
    const std::string input = kData + "records.csv";
    // Copies of the null and the full device, and a block device of numbers kept for local use.
    if (::mknod(path("null.csv").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
        ::mknod(path("full.xml").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0 ||
        ::mknod(path("disk.csv").c_str(), S_IFBLK | 0666, makedev(240, 0)) != 0)
        GTEST_SKIP() << "device nodes cannot be made by this user";
    std::filesystem::create_symlink("null.csv", path("to-null.csv"));
    for (const std::string& output : {path("null.csv"), path("to-null.csv")}) {
        const ToolRun run = convert({input, output});
        EXPECT_EQ(run.exitCode, 0) << output << run.errors;
    }
    EXPECT_EQ(typeOf(path("null.csv")), file_type::character);
    EXPECT_EQ(typeOf(path("to-null.csv")), file_type::symlink);

    ToolRun run = convert({input, path("full.xml")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.errors, "cannot write the output: Cannot create file \"" + path("full.xml") +
                                         "\". No space left on device"))
        << run.errors;
    EXPECT_EQ(typeOf(path("full.xml")), file_type::character);
    run = convert({input, path("disk.csv")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.errors, "\". It is a block device, which is not written as a file")) << run.errors;
    EXPECT_EQ(typeOf(path("disk.csv")), file_type::block);

    // A FIFO gives its reader what a file would hold.
    ASSERT_EQ(::mkfifo(path("pipe.csv").c_str(), 0600), 0);
    FifoReader reader(path("pipe.csv"));
    run = convert({input, path("pipe.csv")});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(reader.received(), readWholeFile(input));
    EXPECT_EQ(typeOf(path("pipe.csv")), file_type::fifo);

    // A file with another hard link: both names hold the new content.
    writeFileAtomically(path("out.csv"), "previous");
    std::filesystem::create_hard_link(path("out.csv"), path("also.csv"));
    run = convert({input, path("out.csv")});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(readWholeFile(path("also.csv")), readWholeFile(input));
    EXPECT_TRUE(std::filesystem::equivalent(path("out.csv"), path("also.csv")));
}

TEST_F(PointmarkConvert, ChecksRecordsWithoutWritingAndFailsOnlyOnErrors) {
    // Record 1 is sound, 2 has a warning, 3 has errors and a warning, 4 is empty.
    const std::string sound = "WGS84,DEG,20240229120000,,A,,35.6,139.7,,1,icon,,,ON,,\r\n";
    writeFileAtomically(path("in.csv"), "H\r\n" + sound + "WGS84,DEG,20240229120000,,B,,35.6,10.5,,1,icon\r\n" +
                                            "WGS84,DEG,20230229240000,,C,,35.6,139.7,,,icon,,-1\r\n,\r\n");
    ToolRun run = convert({path("in.csv"), "--check"});
    EXPECT_EQ(run.exitCode, 1) << run.errors;
    EXPECT_EQ(run.output, "record 2, column 経度: warning: longitude outside Japan (122 to 154 E)\n"
                          "record 3, column TIME: error: no such date\n"
                          "record 3, column TIME: error: no such time of day (00:00:00 to 23:59:59)\n"
                          "record 3, column カテゴリ: error: required value is empty\n"
                          "record 3, column 繰り返し: error: not a non-negative integer\n");
    writeFileAtomically(path("warned.csv"), "H\r\n" + sound + "WGS84,dms,20240229120000,,A,,35.6,139.7,,1,icon\r\n");
    run = convert({"--check", path("warned.csv")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output,
              "record 2, column UNIT: warning: unit is not DEG; the coordinates were checked as decimal degrees\n");
    // No output file with --check; one given is a wrong command line.
    run = convert({path("in.csv"), path("out.csv"), "--check"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 2); // nothing but the inputs
}

TEST_F(PointmarkConvert, ConvertsDatumsAndLeavesOutDuplicates) {
    // Tokyo station in the Tokyo datum, then in WGS 84 (as cs2cs EPSG:4301 EPSG:4326 gives it),
    // an unknown datum, and Tokyo station again in the Tokyo datum.
    writeFileAtomically(path("in.csv"), "H\r\n"
                                        "TOKYO,DEG,,,Station,,35.681236,139.767125\r\n"
                                        "WGS84,DEG,,,Station,,35.684475,139.763891\r\n"
                                        "BESSEL,DEG,,,Hut,,35.0,139.0\r\n"
                                        "TOKYO,DEG,,,Station,,35.681236,139.767125\r\n");
    ToolRun run = convert({path("in.csv"), path("wgs.csv"), "--datum", "WGS84"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, "pointmark-convert: record 3 was left in its datum: datum is neither TOKYO nor WGS84\n");
    EXPECT_EQ(readWholeFile(path("wgs.csv")), "H,,,,,,,,,,,,,,,\r\n"
                                              "WGS84,DEG,,,Station,,35.684475,139.763891,,,,,,,,\r\n"
                                              "WGS84,DEG,,,Station,,35.684475,139.763891,,,,,,,,\r\n"
                                              "BESSEL,DEG,,,Hut,,35.0,139.0,,,,,,,,\r\n"
                                              "WGS84,DEG,,,Station,,35.684475,139.763891,,,,,,,,\r\n");

    run = convert({path("in.csv"), path("once.csv"), "--dedupe"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, "pointmark-convert: record 2 duplicates record 1 and was left out\n"
                          "pointmark-convert: record 4 duplicates record 1 and was left out\n");
    EXPECT_EQ(readWholeFile(path("once.csv")), "H,,,,,,,,,,,,,,,\r\n"
                                               "TOKYO,DEG,,,Station,,35.681236,139.767125,,,,,,,,\r\n"
                                               "BESSEL,DEG,,,Hut,,35.0,139.0,,,,,,,,\r\n");

    for (const char* datum : {"JGD2000", "wgs84"}) {
        run = convert({path("in.csv"), path("x.csv"), "--datum", datum});
        EXPECT_EQ(run.exitCode, 2) << datum;
    }
}

TEST_F(PointmarkConvert, AnOptionGivenTwiceMustKeepItsValueAndTwoDashesEndTheOptions) {
    const std::string input = kData + "records.csv";
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{input, path("a.csv"), "--datum", "WGS84", "--datum", "TOKYO"},
                                               {input, path("a.csv"), "--sort-by", "4", "--sort-by", "5"},
                                               {input, "--check", "--sort-by", "地点名", "--sort-by", "住所"}}) {
        const ToolRun run = convert(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments[3] << " " << arguments[5];
        EXPECT_TRUE(contains(run.errors, arguments[2] == "--datum" ? "--datum is given two different datums"
                                                                   : "--sort-by is given two different columns"))
            << run.errors;
    }
    EXPECT_FALSE(std::filesystem::exists(path("a.csv")));
    // The same value twice, also as a number and a header of the same column, is one choice.
    ToolRun run = convert(
        {input, path("sorted.csv"), "--sort-by", "4", "--sort-by", "地点名", "--datum", "TOKYO", "--datum", "TOKYO"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    run = convert({input, path("plain.csv"), "--sort-by", "4", "--datum", "TOKYO"});
    EXPECT_EQ(readWholeFile(path("sorted.csv")), readWholeFile(path("plain.csv")));

    // After "--" every argument is a file name: an output named like an option.
    workingDirectory_ = dir_.path();
    run = convert({"--sort-by", "4", "--", input, "--sorted.csv"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(readWholeFile(path("--sorted.csv")), readWholeFile(kData + "records-by-name.csv"));
    run = convert({input, "--", "--check"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(contains(run.errors, "\"--check\" ends in neither .xml/.XML nor .csv/.CSV")) << run.errors;
}

TEST_F(PointmarkConvert, WithoutItsDataProjTellsItsOwnReason) {
    std::filesystem::create_directory(path("no-proj-data"));
    environment_ = "PROJ_DATA='" + path("no-proj-data") + "' PROJ_LIB='" + path("no-proj-data") + "'";
    writeFileAtomically(path("in.csv"), "H\r\nTOKYO,DEG,,,Station,,35.681236,139.767125\r\n");
    for (const std::vector<std::string>& options : {std::vector<std::string>{"--datum", "WGS84"}, {"--dedupe"}}) {
        std::vector<std::string> arguments{path("in.csv"), path("out.csv")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ToolRun run = convert(arguments);
        EXPECT_EQ(run.exitCode, 1) << options[0];
        EXPECT_EQ(run.errors, "pointmark-convert: PROJ cannot transform between Tokyo (EPSG:4301) and WGS 84 "
                              "(EPSG:4326): Cannot find proj.db\n");
    }
    EXPECT_FALSE(std::filesystem::exists(path("out.csv")));
}

TEST_F(PointmarkConvert, MessagesNumberRecordsAsTheInputFileDoes) {
    // Records 1 to 4 named D, C, B, A: sorting by name reverses them. Record 2 has a warning, 3
    // and 4 an error each.
    writeFileAtomically(path("in.csv"), "H\r\n"
                                        "WGS84,DEG,20240229120000,,D,,35.6,139.7,,1,icon\r\n"
                                        "TOKYO,DEG,20240229120000,,C,,35.6,10.5,,1,icon\r\n"
                                        "WGS84,DEG,20240229120000,,B,,35.6,139.7,,,icon\r\n"
                                        "TOKYO,DEG,2024022912,,A,,35.6,139.7,,1,icon\r\n");
    const std::string warning2 = "record 2, column 経度: warning: longitude outside Japan (122 to 154 E)\n";
    const std::string error3 = "record 3, column カテゴリ: error: required value is empty\n";
    const std::string error4 = "record 4, column TIME: error: time is not 14 digits YYYYMMDDhhmmss\n";
    EXPECT_EQ(convert({path("in.csv"), "--check"}).output, warning2 + error3 + error4);
    EXPECT_EQ(convert({path("in.csv"), "--check", "--sort-by", "4"}).output, error4 + error3 + warning2);
    EXPECT_EQ(convert({path("in.csv"), "--check", "--where", "0=TOKYO"}).output, warning2 + error4);
    const ToolRun both = convert({path("in.csv"), "--check", "--where", "0=TOKYO", "--sort-by", "地点名"});
    EXPECT_EQ(both.exitCode, 1);
    EXPECT_EQ(both.output, error4 + warning2);

    // Records left in their datum and duplicates left out are named the same way.
    writeFileAtomically(path("places.csv"), "H\r\n"
                                            "TOKYO,DEG,,,Station,,35.681236,139.767125\r\n"
                                            "BESSEL,DEG,,,Hut,,35.0,139.0\r\n"
                                            "BESSEL,DEG,,,Hut,,35.0,139.0\r\n"
                                            "TOKYO,DEG,,,Station,,35.681236,139.767125\r\n");
    ToolRun run = convert({path("places.csv"), path("out.csv"), "--where", "0=BESSEL", "--datum", "WGS84"});
    EXPECT_EQ(run.errors, "pointmark-convert: record 2 was left in its datum: datum is neither TOKYO nor WGS84\n"
                          "pointmark-convert: record 3 was left in its datum: datum is neither TOKYO nor WGS84\n");
    run = convert({path("places.csv"), path("out.csv"), "--where", "0=TOKYO", "--dedupe"});
    EXPECT_EQ(run.errors, "pointmark-convert: record 4 duplicates record 1 and was left out\n");
}

TEST_F(PointmarkConvert, AStandardOutputThatCannotBeWrittenFailsTheRun) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    // A check that finds only a warning (exit 0 when its lines are written), and the usage text.
    writeFileAtomically(path("warned.csv"), "H\r\nWGS84,dms,20240229120000,,A,,35.6,139.7,,1,icon\r\n");
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{path("warned.csv"), "--check"}, {"--help"}}) {
        const ToolRun run = convert(arguments, "/dev/full");
        EXPECT_EQ(run.exitCode, 1) << arguments[0];
        EXPECT_EQ(run.errors, "pointmark-convert: cannot write to standard output: No space left on device\n");
    }
    EXPECT_EQ(convert({path("warned.csv"), "--check"}).exitCode, 0);
}
