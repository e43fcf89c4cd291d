#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/temporary_directory.h"
#include "text/exception.h"
#include "text/external_file_policy.h"
#include "text/file_io.h"
#include "text/stream.h"

namespace {

// A document in dir/doc with a DTD, an entity below it, a FIFO, a directory and two links, and a
// secret beside the document's directory.
class ExternalFilePolicy : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_.path("doc/sub/dir"));
        writeFileAtomically(document_ = dir_.path("doc/points.xml"), "<a/>");
        writeFileAtomically(dir_.path("doc/v.dtd"), "<!ELEMENT a ANY>");
        writeFileAtomically(dir_.path("doc/sub/e.ent"), "entity");
        writeFileAtomically(dir_.path("secret.txt"), "secret");
        ASSERT_EQ(mkfifo((dir_.path("doc/pipe.dtd")).c_str(), 0600), 0);
        std::filesystem::create_symlink("../secret.txt", dir_.path("doc/out.dtd"));
        std::filesystem::create_symlink("v.dtd", dir_.path("doc/in.dtd"));
    }

    // What opening systemId (relative to the document) gives: the content, or the message.
    std::string open(const std::string& systemId) const {
        try {
            std::unique_ptr<TStream> stream =
                policy_.open(document_, TExternalFilePolicy::resolve(document_, systemId), systemId);
            std::string bytes(static_cast<std::size_t>(stream->size()), '\0');
            stream->readBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
            return bytes;
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.message().find(dir_.path()), std::string::npos) << "expanded path in " << e.message();
            return e.message();
        }
    }

    TemporaryDirectory dir_{"external-file-policy"};
    std::string document_;
    TExternalFilePolicy policy_;
};

} // namespace

TEST_F(ExternalFilePolicy, OpensRegularFilesBelowTheDocumentsDirectory) {
    EXPECT_EQ(open("v.dtd"), "<!ELEMENT a ANY>");
    EXPECT_EQ(open("sub/e.ent"), "entity");
    EXPECT_EQ(open("sub/../v.dtd"), "<!ELEMENT a ANY>");
    EXPECT_EQ(open("in.dtd"), "<!ELEMENT a ANY>"); // a link that stays inside
    EXPECT_EQ(policy_.open(document_, dir_.path("doc/sub/e.ent"), "e.ent")->size(), 6);
    EXPECT_EQ(TExternalFilePolicy::resolve("/a/b/doc.xml", "/etc/x"), "/etc/x");
    EXPECT_EQ(TExternalFilePolicy::resolve("doc.xml", "v.dtd"), "v.dtd");
}

TEST_F(ExternalFilePolicy, RefusesWhatLiesOutsideOrIsNoRegularFileAndNamesItAsWritten) {
    const std::string outside = "\": outside the document's directory and the directories allowed for it.";
    EXPECT_EQ(open("../secret.txt"), "Refused to open \"../secret.txt" + outside);
    EXPECT_EQ(open("sub/../../secret.txt"), "Refused to open \"sub/../../secret.txt" + outside);
    EXPECT_EQ(open("out.dtd"), "Refused to open \"out.dtd" + outside);
    EXPECT_EQ(open("/etc/hostname"), "Refused to open \"/etc/hostname" + outside);
    EXPECT_EQ(open("../absent.dtd"), "Refused to open \"../absent.dtd" + outside);
    EXPECT_EQ(open("http://example.org/v.dtd"),
              "Refused to open \"http://example.org/v.dtd\": only local files are opened.");
    EXPECT_EQ(open("file:v.dtd"), "Refused to open \"file:v.dtd\": only local files are opened.");
    // A FIFO is refused at once, not waited on; so is a directory.
    EXPECT_EQ(open("pipe.dtd"), "Refused to open \"pipe.dtd\": not a regular file.");
    EXPECT_EQ(open("sub/dir"), "Refused to open \"sub/dir\": not a regular file.");
    EXPECT_EQ(open("absent.dtd"), "Cannot open \"absent.dtd\": No such file or directory.");
}

TEST_F(ExternalFilePolicy, ASiblingWhoseNameStartsWithTheDocumentsDirectoryIsOutside) {
    // doc-private/ beside doc/, named by a path and reached through a link.
    std::filesystem::create_directory(dir_.path("doc-private"));
    writeFileAtomically(dir_.path("doc-private/v.dtd"), "private");
    std::filesystem::create_symlink("../doc-private/v.dtd", dir_.path("doc/private.dtd"));
    const std::string outside = "\": outside the document's directory and the directories allowed for it.";
    EXPECT_EQ(open("../doc-private/v.dtd"), "Refused to open \"../doc-private/v.dtd" + outside);
    EXPECT_EQ(open("private.dtd"), "Refused to open \"private.dtd" + outside);
}

TEST_F(ExternalFilePolicy, AllowedDirectoriesWidenIt) {
    EXPECT_THROW(policy_.allowDirectory(dir_.path("secret.txt")), EFOpenError);
    EXPECT_THROW(policy_.allowDirectory(dir_.path("none")), EFOpenError);
    policy_.allowDirectory(dir_.path("doc/../"));
    EXPECT_EQ(open("../secret.txt"), "secret");
    EXPECT_EQ(open("out.dtd"), "secret");
    EXPECT_EQ(open("pipe.dtd"), "Refused to open \"pipe.dtd\": not a regular file.");
}
