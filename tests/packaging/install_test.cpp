// Installs the build into a staging folder (DESTDIR) and checks what a package of it holds: the
// files, that the desktop entry and the metainfo pass their validators, and that the file types
// the entry names are recognised, so that a file manager offers the editor for them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QMimeDatabase>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/temporary_directory.h"
#include "tests/support/test_data.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (const char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

Outcome run(const std::string& command, const fs::path& outputFile) {
    const int status = std::system((command + " >" + quoted(outputFile) + " 2>&1").c_str());
    Outcome result;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    std::ifstream in(outputFile);
    std::ostringstream text;
    text << in.rdbuf();
    result.output = text.str();
    return result;
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((fs::path(dir) / program).c_str(), X_OK) == 0) return true;
    return false;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The value of a key in the desktop entry's main group ("" when it is missing).
std::string desktopValue(const std::string& entry, const std::string& key) {
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return "";
}

// One installation for all tests: `cmake --install` of the build folder with the prefix /usr into
// a fresh staging folder, as the Debian package lays it out.
class Staging : public ::testing::Environment {
public:
    void SetUp() override {
        root_.emplace("pointmark-install-test");
        const Outcome install = run("DESTDIR=" + quoted(root_->path("stage")) + " " + quoted(CMAKE_COMMAND) +
                                        " --install " + quoted(BUILD_DIR) + " --prefix /usr",
                                    root_->path("install.log"));
        ASSERT_EQ(install.exitCode, 0) << install.output;
    }
    void TearDown() override { root_.reset(); }

    static fs::path usr() { return root_->path("stage/usr"); }
    static fs::path scratch() { return root_->path(); }

private:
    static inline std::optional<TemporaryDirectory> root_;
};

const std::string kDesktopEntry = "share/applications/pointmark-editor.desktop";
const std::string kMetainfo = "share/metainfo/org.pointmark_editor.PointmarkEditor.metainfo.xml";
const std::string kPointMarkType = "application/x-pointmark+xml";

} // namespace

TEST(InstalledTree, HoldsExactlyTheProgramsManPagesAndDesktopIntegration) {
    std::set<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Staging::usr()))
        if (!entry.is_directory()) files.insert(fs::relative(entry.path(), Staging::usr()).string());
    std::set<std::string> expected = {"bin/pointmark-convert",
                                      "bin/pointmark-editor",
                                      "bin/pointmark-xml",
                                      "share/man/man1/pointmark-convert.1",
                                      "share/man/man1/pointmark-xml.1",
                                      kDesktopEntry,
                                      kMetainfo,
                                      "share/mime/packages/pointmark-editor.xml",
                                      "share/icons/hicolor/scalable/apps/pointmark-editor.svg"};
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        expected.insert("share/icons/hicolor/" + dir + "/apps/pointmark-editor.png");
    }
    EXPECT_EQ(files, expected);
    for (const char* program : {"pointmark-editor", "pointmark-convert", "pointmark-xml"}) {
        const fs::perms permissions = fs::status(Staging::usr() / "bin" / program).permissions();
        EXPECT_NE(permissions & fs::perms::others_exec, fs::perms::none) << program;
    }
}

// Each tool runs from where it is installed, and its man page tells every option its usage text
// lists (an option added to a tool without its man page fails here).
TEST(InstalledTree, ToolsRunAndTheirManPagesCoverEveryOptionOfTheirUsage) {
    for (const std::string tool : {"pointmark-convert", "pointmark-xml"}) {
        const Outcome help = run(quoted(Staging::usr() / "bin" / tool) + " --help", Staging::scratch() / "help.txt");
        EXPECT_EQ(help.exitCode, 0) << help.output;
        ASSERT_EQ(help.output.rfind("usage: " + tool + " ", 0), 0u) << help.output;

        const std::string page = readFile(Staging::usr() / "share/man/man1" / (tool + ".1"));
        EXPECT_NE(page.find("\n.SH NAME\n" + tool + " \\- "), std::string::npos) << tool;
        std::set<std::string> options{"--help"};
        const std::regex option("--[a-z][a-z-]*");
        for (std::sregex_iterator it(help.output.begin(), help.output.end(), option), end; it != end; ++it)
            options.insert(it->str());
        EXPECT_GT(options.size(), 1u) << help.output;
        for (const std::string& name : options) {
            // troff writes a minus sign as \-, so that it is not taken for a hyphen.
            std::string escaped;
            for (const char c : name) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
            EXPECT_NE(page.find(escaped), std::string::npos) << tool << " " << name;
        }
    }
}

TEST(DesktopIntegration, DesktopEntryIsValidAndNamesWhatIsInstalled) {
    if (!onPath("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    const fs::path entry = Staging::usr() / kDesktopEntry;
    const Outcome validation = run("desktop-file-validate " + quoted(entry), Staging::scratch() / "validate.txt");
    EXPECT_EQ(validation.exitCode, 0) << validation.output;
    // desktop-file-validate prints hints without failing; a clean entry gives none.
    EXPECT_EQ(validation.output, "");

    // The entry starts an installed program with the chosen files, and its icon is installed.
    const std::string text = readFile(entry);
    const std::string exec = desktopValue(text, "Exec");
    const std::string program = exec.substr(0, exec.find(' '));
    EXPECT_TRUE(fs::exists(Staging::usr() / "bin" / program)) << exec;
    EXPECT_EQ(exec, program + " %F");
    const std::string icon = desktopValue(text, "Icon");
    EXPECT_TRUE(fs::exists(Staging::usr() / "share/icons/hicolor/scalable/apps" / (icon + ".svg"))) << icon;
}

TEST(DesktopIntegration, MetainfoIsValidWithTheInstalledDesktopEntryAndIcon) {
    if (!onPath("appstreamcli")) GTEST_SKIP() << "appstreamcli (appstream) is not installed";
    const Outcome file = run("appstreamcli validate --no-net " + quoted(Staging::usr() / kMetainfo),
                             Staging::scratch() / "metainfo.txt");
    EXPECT_EQ(file.exitCode, 0) << file.output;
    // The tree check also follows the launchable to the installed desktop entry.
    const Outcome tree = run("appstreamcli validate-tree --no-net " + quoted(Staging::usr().parent_path()),
                             Staging::scratch() / "metainfo-tree.txt");
    EXPECT_EQ(tree.exitCode, 0) << tree.output;
    // A tree without metainfo passes too; this one must have been found.
    EXPECT_NE(tree.output.find(fs::path(kMetainfo).filename().string()), std::string::npos) << tree.output;
}

// A file manager finds the type of a file from the shared MIME database and the applications for
// it from the desktop entries. Both caches are built here as the package's triggers build them: the
// database from the system's type definitions (XML, CSV) and the staged one together.
class FileAssociation : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!onPath("update-mime-database") || !onPath("update-desktop-database")) return;
        const fs::path share = Staging::scratch() / "share";
        fs::create_directories(share / "mime/packages");
        for (const fs::path& dir : {fs::path("/usr/share/mime/packages"), Staging::usr() / "share/mime/packages"})
            for (const fs::directory_entry& entry : fs::directory_iterator(dir))
                if (entry.path().extension() == ".xml")
                    fs::copy_file(entry.path(), share / "mime/packages" / entry.path().filename(),
                                  fs::copy_options::overwrite_existing);
        mimeBuilt_ = run("update-mime-database " + quoted(share / "mime"), Staging::scratch() / "update-mime.txt");
        desktopBuilt_ = run("update-desktop-database " + quoted(Staging::usr() / "share/applications"),
                            Staging::scratch() / "update-desktop.txt");
        // Only this database, not the user's own types; read the first time it is used in this process.
        ::setenv("XDG_DATA_DIRS", share.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (Staging::scratch() / "home").c_str(), 1);
    }
    void SetUp() override {
        if (!onPath("update-mime-database")) GTEST_SKIP() << "update-mime-database (shared-mime-info) is not installed";
        if (!onPath("update-desktop-database"))
            GTEST_SKIP() << "update-desktop-database (desktop-file-utils) is not installed";
        ASSERT_EQ(mimeBuilt_.exitCode, 0) << mimeBuilt_.output;
        ASSERT_EQ(desktopBuilt_.exitCode, 0) << desktopBuilt_.output;
    }
    static std::string typeOf(const fs::path& file) {
        return QMimeDatabase().mimeTypeForFile(QString::fromStdString(file.string())).name().toStdString();
    }
    static fs::path write(const std::string& name, const std::string& content) {
        const fs::path file = Staging::scratch() / name;
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }
    static inline Outcome mimeBuilt_, desktopBuilt_;
};

TEST_F(FileAssociation, PointMarkFilesAreKnownByTheirContentWhateverTheCaseOfTheirEnding) {
    const std::string pointMark = readTestData("csv/records.xml");
    EXPECT_EQ(typeOf(write("points.xml", pointMark)), kPointMarkType);
    EXPECT_EQ(typeOf(write("POINTS.XML", pointMark)), kPointMarkType);
    // Without the document type declaration the root start tag alone is enough.
    EXPECT_EQ(typeOf(write("bare.xml", "<?xml version=\"1.0\"?>\r\n<velmar version=\"1.0\">\r\n</velmar>\r\n")),
              kPointMarkType);
    const QMimeType type = QMimeDatabase().mimeTypeForName(QString::fromStdString(kPointMarkType));
    ASSERT_TRUE(type.isValid());
    EXPECT_TRUE(type.inherits("application/xml"));
    EXPECT_EQ(type.comment().toStdString(), "Point-mark file");
}

TEST_F(FileAssociation, OtherXmlFilesAndCsvFilesKeepTheirOwnTypes) {
    EXPECT_EQ(typeOf(write("other.xml", "<?xml version=\"1.0\"?>\n<velmarx version=\"1.0\"/>\n")), "application/xml");
    EXPECT_EQ(typeOf(write("plain.xml", "<?xml version=\"1.0\"?>\n<root>velmar</root>\n")), "application/xml");
    EXPECT_EQ(typeOf(testDataPath("csv/records.csv")), "text/csv");
    // A look at the name alone, without the content, still says XML.
    const QString pointMark = QString::fromStdString((Staging::scratch() / "points.xml").string());
    EXPECT_EQ(QMimeDatabase().mimeTypeForFile(pointMark, QMimeDatabase::MatchExtension).name().toStdString(),
              "application/xml");
}

TEST_F(FileAssociation, TheEditorIsOfferedForPointMarkAndCsvFiles) {
    const std::string cache = readFile(Staging::usr() / "share/applications/mimeinfo.cache");
    EXPECT_NE(cache.find("\n" + kPointMarkType + "=pointmark-editor.desktop;"), std::string::npos) << cache;
    EXPECT_NE(cache.find("\ntext/csv=pointmark-editor.desktop;"), std::string::npos) << cache;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new Staging);
    return RUN_ALL_TESTS();
}
