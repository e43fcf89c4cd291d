#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "tests/support/temporary_directory.h"
#include "tests/text/raised_message.h"
#include "text/exception.h"
#include "text/file_io.h"
#include "text/stream.h"
#include "text/system_reasons.h"

namespace {

class FileIo : public ::testing::Test {
protected:
    // A device node in the test directory with the numbers of a system device (1,3 is the null
    // device, 1,7 the full one); false when this user may not make one.
    bool makeDevice(const std::string& name, mode_t type, unsigned major, unsigned minor) const {
        return ::mknod(dir_.path(name).c_str(), type | 0666, makedev(major, minor)) == 0;
    }
    TemporaryDirectory dir_{"file-io-test"};
};

// Reads a FIFO in a thread until its writer closes it, or closes it at the first bytes with
// closeEarly. The FIFO is opened at once, so that a FIFO replaced meanwhile cannot be confused
// with it; a writer that never comes ends the reading after 20 s with nothing received.
class FifoReader {
public:
    FifoReader(const std::string& fifo, bool closeEarly)
        : fd_(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK)), thread_([this, closeEarly] { read(closeEarly); }) {}
    ~FifoReader() {
        if (thread_.joinable()) thread_.join();
    }
    std::string received() {
        thread_.join();
        return received_;
    }

private:
    void read(bool closeEarly) {
        pollfd wait{fd_, POLLIN, 0};
        char buffer[4096];
        while (fd_ >= 0 && ::poll(&wait, 1, 20000) > 0) {
            if (closeEarly) break;
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

bool isCharacterDevice(const std::string& name) {
    struct stat status {};
    return ::lstat(name.c_str(), &status) == 0 && S_ISCHR(status.st_mode);
}

} // namespace

TEST_F(FileIo, WritesAndReadsBackBytesIncludingNul) {
    const std::string name = dir_.path("\xE5\x9C\xB0\xE7\x82\xB9.xml"); // a Japanese file name
    const std::string bytes("a\0\x82\xA0\r\n", 6);
    writeFileAtomically(name, bytes);
    EXPECT_EQ(readWholeFile(name), bytes);
    writeFileAtomically(name, "shorter");
    EXPECT_EQ(readWholeFile(name), "shorter");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1); // no temporary file left
}

TEST_F(FileIo, ReadsWholeFilesOfAnySizeAndOfNoReportedSize) {
    std::string large(300000, 'x');
    for (std::size_t i = 0; i < large.size(); i += 7) large[i] = static_cast<char>(i % 251);
    writeFileAtomically(dir_.path("large"), large);
    EXPECT_EQ(readWholeFile(dir_.path("large")), large);
    writeFileAtomically(dir_.path("empty"), "");
    EXPECT_EQ(readWholeFile(dir_.path("empty")), "");
    // Files of the process file system report size 0 and still have content.
    const std::string status = readWholeFile("/proc/self/status");
    EXPECT_NE(status.find("Name:"), std::string::npos);
    EXPECT_EQ(status.back(), '\n');
}

TEST_F(FileIo, AFileStreamKeepsItsPositionAndReadsOnFromIt) {
    const std::string name = dir_.path("stream.xml");
    writeFileAtomically(name, "0123456789");
    TFileStream file(name, TFileStream::Mode::openRead);
    EXPECT_FALSE(file.bytesInPlace()); // its bytes must be read
    char out[4];
    EXPECT_EQ(file.read(out, 4), 4);
    EXPECT_EQ(file.position(), 4);
    EXPECT_EQ(readRestOfFile(file), "456789");
    EXPECT_EQ(file.position(), 10);
    EXPECT_EQ(file.seek(-3, TSeekOrigin::soEnd), 7);
    EXPECT_EQ(readRestOfFile(file), "789");
    TFileStream status("/proc/self/status", TFileStream::Mode::openRead); // reports size 0
    EXPECT_NE(readRestOfFile(status).find("Name:"), std::string::npos);
}

TEST_F(FileIo, FailedWriteLeavesTheTargetAndNamesTheFile) {
    const std::string name = dir_.path("keep.csv");
    writeFileAtomically(name, "old");
    if (geteuid() != 0) {
        chmod(dir_.path().c_str(), 0555);
        EXPECT_THROW(writeFileAtomically(name, "new"), EFCreateError);
        chmod(dir_.path().c_str(), 0755);
        EXPECT_EQ(readWholeFile(name), "old");
    }
    try {
        writeFileAtomically(dir_.path("missing/x.csv"), "new");
        FAIL() << "no error raised";
    } catch (const EFCreateError& e) {
        EXPECT_NE(e.message().find(dir_.path("missing/x.csv")), std::string::npos);
        EXPECT_NE(e.message().find("No such file or directory"), std::string::npos);
    }
    EXPECT_THROW(writeFileAtomically(dir_.path(), "x"), EFCreateError); // a directory
    EXPECT_EQ(readWholeFile(name), "old");
}

TEST_F(FileIo, ReadingAMissingFileNamesIt) {
    try {
        readWholeFile(dir_.path("nothing.xml"));
        FAIL() << "no error raised";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.message(), "Cannot open file \"" + dir_.path("nothing.xml") + "\". No such file or directory");
    }
    EXPECT_THROW(readWholeFile(dir_.path()), EFOpenError);
}

TEST_F(FileIo, ReadingRefusesWhatIsNoRegularFileWithoutWaiting) {
    // A FIFO without a writer would block a plain open; /dev/zero would be read until memory ends.
    ASSERT_EQ(mkfifo((dir_.path("pipe.xml")).c_str(), 0600), 0);
    for (const std::string& name : {dir_.path("pipe.xml"), std::string("/dev/zero")}) {
        try {
            readWholeFile(name);
            ADD_FAILURE() << name << " was read";
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.message(), "Cannot open file \"" + name + "\". Not a regular file");
        }
    }
    EXPECT_THROW(TFileStream(dir_.path("pipe.xml"), TFileStream::Mode::openRead), EFOpenError);
}

TEST(DirectoryOf, KeepsTheFinalSlashAndTheRoot) {
    EXPECT_EQ(directoryOf("/home/u/a.xml"), "/home/u/");
    EXPECT_EQ(directoryOf("/a.xml"), "/");
    EXPECT_EQ(directoryOf("a.xml"), "");
    EXPECT_EQ(directoryOf("dir\\a.xml"), "");
}

TEST_F(FileIo, WritesInPiecesAndAFailingProducerLeavesTheTarget) {
    const std::string name = dir_.path("pieces.xml");
    writeFileAtomicallyInPieces(name, [](const TByteSink& sink) {
        sink("<a>");
        sink(std::string_view("\0", 1));
        sink("</a>");
    });
    EXPECT_EQ(readWholeFile(name), std::string("<a>\0</a>", 8));
    EXPECT_THROW(writeFileAtomicallyInPieces(name,
                                             [](const TByteSink& sink) {
                                                 sink("half");
                                                 throw EConvertError("stopped");
                                             }),
                 EConvertError);
    EXPECT_EQ(readWholeFile(name), std::string("<a>\0</a>", 8));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1); // no temporary file left
}

TEST_F(FileIo, SavingThroughASymbolicLinkWritesItsTargetAndKeepsTheLink) {
    std::filesystem::create_directory(dir_.path("real"));
    const std::string target = dir_.path("real/points.xml");
    writeFileAtomically(target, "old");
    chmod(target.c_str(), 0640);
    std::filesystem::create_symlink("real/points.xml", dir_.path("link.xml"));
    std::filesystem::create_symlink(dir_.path("link.xml"), dir_.path("link2.xml")); // a chain, absolute
    writeFileAtomically(dir_.path("link2.xml"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.path("link.xml")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.path("link2.xml")));
    EXPECT_EQ(readWholeFile(target), "new");
    struct stat status {};
    ASSERT_EQ(stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    // A dangling link names the file to create.
    std::filesystem::create_symlink("real/fresh.csv", dir_.path("dangling.csv"));
    writeFileAtomically(dir_.path("dangling.csv"), "x");
    EXPECT_EQ(readWholeFile(dir_.path("real/fresh.csv")), "x");
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.path("dangling.csv")));
    // A loop fails without writing anything.
    std::filesystem::create_symlink("loop-b", dir_.path("loop-a"));
    std::filesystem::create_symlink("loop-a", dir_.path("loop-b"));
    EXPECT_THROW(writeFileAtomically(dir_.path("loop-a"), "x"), EFCreateError);
}

TEST_F(FileIo, DevicesAndFifosAreWrittenIntoAndNeverReplaced) {
    if (!makeDevice("null.csv", S_IFCHR, 1, 3) || !makeDevice("full.csv", S_IFCHR, 1, 7))
        GTEST_SKIP() << "device nodes cannot be made by this user";
    std::filesystem::create_symlink("null.csv", dir_.path("link.csv"));
    writeFileAtomically(dir_.path("null.csv"), "gone");
    writeFileAtomicallyInPieces(dir_.path("link.csv"), [](const TByteSink& sink) { sink("gone too"); });
    EXPECT_TRUE(isCharacterDevice(dir_.path("null.csv")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.path("link.csv")));
    // A device that fails the write fails the save, with the system's reason, and stays.
    EXPECT_EQ(raisedMessage<EFCreateError>([&] { writeFileAtomically(dir_.path("full.csv"), "x"); }),
              "Cannot create file \"" + dir_.path("full.csv") + "\". No space left on device");
    EXPECT_TRUE(isCharacterDevice(dir_.path("full.csv")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 3); // no temporary file left

    // A FIFO passes every piece to its reader, through a link too.
    const std::string fifo = dir_.path("pipe.xml");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink("pipe.xml", dir_.path("to-pipe.xml"));
    FifoReader reader(fifo, false);
    writeFileAtomicallyInPieces(dir_.path("to-pipe.xml"), [](const TByteSink& sink) {
        sink("<a>");
        sink(std::string(100000, 'x'));
        sink("</a>");
    });
    EXPECT_EQ(reader.received(), "<a>" + std::string(100000, 'x') + "</a>");
    EXPECT_EQ(std::filesystem::status(fifo).type(), std::filesystem::file_type::fifo);

    // A reader that goes away fails the save instead of ending the program.
    FifoReader leaving(fifo, true);
    EXPECT_EQ(raisedMessage<EFCreateError>([&] { writeFileAtomically(fifo, std::string(1 << 20, 'y')); }),
              "Cannot create file \"" + fifo + "\". Broken pipe");
}

TEST_F(FileIo, DirectoriesBlockDevicesAndSocketsAreRefusedAndKept) {
    // A block device of the numbers kept for local use: nothing answers to them.
    if (!makeDevice("disk.xml", S_IFBLK, 240, 0)) GTEST_SKIP() << "device nodes cannot be made by this user";
    std::filesystem::create_directory(dir_.path("dir.xml"));
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketName = dir_.path("socket.xml");
    ASSERT_LT(socketName.size(), sizeof address.sun_path);
    socketName.copy(address.sun_path, socketName.size());
    ASSERT_EQ(::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_symlink("disk.xml", dir_.path("to-disk.xml"));
    const struct {
        std::string name, reason;
        std::filesystem::file_type type;
    } refused[] = {
        {"disk.xml", "It is a block device, which is not written as a file", std::filesystem::file_type::block},
        {"to-disk.xml", "It is a block device, which is not written as a file", std::filesystem::file_type::block},
        {"dir.xml", "Is a directory", std::filesystem::file_type::directory},
        {"socket.xml", "It is a socket, which is not written as a file", std::filesystem::file_type::socket},
    };
    for (const auto& entry : refused) {
        const std::string name = dir_.path(entry.name);
        EXPECT_EQ(raisedMessage<EFCreateError>([&] { writeFileAtomically(name, "x"); }),
                  "Cannot create file \"" + name + "\". " + entry.reason);
        EXPECT_EQ(std::filesystem::status(name).type(), entry.type) << entry.name;
    }
    ::close(server);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 4); // no temporary file left
}

TEST_F(FileIo, AHardLinkedFileIsWrittenInPlaceAndKeepsItsLinks) {
    const std::string name = dir_.path("points.csv"), other = dir_.path("other-name.csv");
    writeFileAtomically(name, "the old content, longer than the new");
    chmod(name.c_str(), 0640);
    std::filesystem::create_hard_link(name, other);
    std::filesystem::create_symlink("points.csv", dir_.path("link.csv"));
    writeFileAtomically(dir_.path("link.csv"), "new");
    EXPECT_EQ(readWholeFile(other), "new");
    EXPECT_TRUE(std::filesystem::equivalent(name, other));
    EXPECT_EQ(std::filesystem::hard_link_count(name), 2u);
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.path("link.csv")));
    struct stat status {};
    ASSERT_EQ(stat(name.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 3); // no temporary file left
    // A producer that fails leaves every name as it was.
    EXPECT_THROW(writeFileAtomicallyInPieces(name,
                                             [](const TByteSink& sink) {
                                                 sink("half");
                                                 throw EConvertError("stopped");
                                             }),
                 EConvertError);
    EXPECT_EQ(readWholeFile(other), "new");
}

TEST_F(FileIo, AReadOnlyFileIsRefusedAndKept) {
    const std::string name = dir_.path("locked.xml");
    writeFileAtomically(name, "old");
    chmod(name.c_str(), 0444);
    try {
        writeFileAtomically(name, "new");
        FAIL() << "a read-only file was replaced";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.message(), "Cannot create file \"" + name + "\". Permission denied");
    }
    EXPECT_EQ(readWholeFile(name), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
}

TEST_F(FileIo, CommonReasonsOfFileErrorsReadInJapaneseWithTheEnglishKept) {
    // The reason a file error gives, after the file's name.
    auto reasonOf = [](const std::string& message) { return message.substr(message.rfind("\". ") + 3); };
    auto reading = [&](const std::string& name) {
        return japaneseSystemReason(reasonOf(raisedMessage<EFOpenError>([&] { readWholeFile(name); })));
    };
    writeFileAtomically(dir_.path("plain.xml"), "x");
    std::filesystem::create_symlink("loop-b", dir_.path("loop-a"));
    std::filesystem::create_symlink("loop-a", dir_.path("loop-b"));
    EXPECT_EQ(reading(dir_.path("missing.xml")), "ファイルまたはフォルダーがありません (No such file or directory)");
    EXPECT_EQ(reading(dir_.path()), "ファイルではなくフォルダーです (Is a directory)");
    EXPECT_EQ(reading(dir_.path(std::string(300, 'n'))), "ファイル名が長すぎます (File name too long)");
    EXPECT_EQ(reading(dir_.path("loop-a")),
              "シンボリックリンクが多すぎるか、循環しています (Too many levels of symbolic links)");
    EXPECT_EQ(reading(dir_.path("plain.xml/inner.xml")),
              "パスの途中にフォルダーでないものがあります (Not a directory)");

    chmod(dir_.path("plain.xml").c_str(), 0444);
    EXPECT_EQ(japaneseSystemReason(
                  reasonOf(raisedMessage<EFCreateError>([&] { writeFileAtomically(dir_.path("plain.xml"), "y"); }))),
              "アクセスが拒否されました (Permission denied)");

    // Reasons that a test cannot bring about on purpose.
    EXPECT_EQ(japaneseSystemReason(systemReason(ENOSPC)), "ディスクの空き領域が足りません (No space left on device)");
    EXPECT_EQ(japaneseSystemReason(systemReason(EROFS)), "読み取り専用のファイルシステムです (Read-only file system)");
    EXPECT_EQ(japaneseSystemReason(systemReason(EMLINK)), "リンクが多すぎます (Too many links)");
    // The program's own reasons and uncommon ones stay as they are.
    EXPECT_EQ(japaneseSystemReason("Not a regular file"), "Not a regular file");
    EXPECT_EQ(japaneseSystemReason(systemReason(EXDEV)), "Invalid cross-device link");
}
