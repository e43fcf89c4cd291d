#include "text/file_io.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "text/exception.h"
#include "text/stream.h"
#include "text/system_reasons.h"

std::string readWholeFile(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::Mode::openRead);
    return readRestOfFile(file);
}

std::string readRestOfFile(TFileStream& file) {
    // Read straight into a string of the file's size, so a large file is neither copied from a
    // chunk buffer nor moved as the string grows. Reading goes on to the end whatever the size
    // said: a file may grow meanwhile, and some files report no size at all.
    const std::int64_t left = file.size() - file.position();
    std::string bytes(static_cast<std::size_t>(std::max<std::int64_t>(left, 0)) + 1, '\0');
    std::size_t length = 0;
    for (;;) {
        if (length == bytes.size()) bytes.resize(bytes.size() * 2);
        const std::int64_t n = file.read(bytes.data() + length, static_cast<std::int64_t>(bytes.size() - length));
        if (n <= 0) break;
        length += static_cast<std::size_t>(n);
    }
    bytes.resize(length);
    return bytes;
}

namespace {

[[noreturn]] void failCreate(const std::string& fileName, const std::string& reason) {
    throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
}

[[noreturn]] void failCreate(const std::string& fileName, int error) { failCreate(fileName, systemReason(error)); }

// The file that writing to fileName must replace: fileName itself, or the final target of the
// symbolic link it names (a link to a file that does not exist yet names that file). A link
// chain that does not end within 40 steps fails like the system's own resolution does.
std::string writeTarget(const std::string& fileName) {
    std::string target = fileName;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link {};
        if (::lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return target;
        std::string next(static_cast<std::size_t>(std::max<off_t>(link.st_size, 0)) + 256, '\0');
        const ssize_t length = ::readlink(target.c_str(), next.data(), next.size());
        if (length < 0) failCreate(fileName, errno);
        next.resize(static_cast<std::size_t>(length));
        target = !next.empty() && next.front() == '/' ? next : directoryOf(target) + next;
    }
    failCreate(fileName, ELOOP);
}

// Why a file of this type is not written; empty for the types that are.
std::string refusalOf(mode_t mode) {
    if (S_ISREG(mode) || S_ISCHR(mode) || S_ISFIFO(mode)) return std::string();
    if (S_ISDIR(mode)) return systemReason(EISDIR);
    if (S_ISBLK(mode)) return "It is a block device, which is not written as a file";
    if (S_ISSOCK(mode)) return "It is a socket, which is not written as a file";
    return "Not a regular file";
}

// Writes all bytes; answers 0 or the reason (an errno value) why they could not all be written.
int writeAll(int fd, std::string_view bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

// The sink that writes each piece to a descriptor until a write fails; error keeps the reason.
TByteSink descriptorSink(int fd, int& error) {
    return [fd, &error](std::string_view bytes) {
        if (error == 0) error = writeAll(fd, bytes);
    };
}

// While it lives, a pipe whose reader has gone fails the write with EPIPE instead of ending the
// program with SIGPIPE; the signal raised meanwhile is taken back before the mask is restored.
class SigpipeHeld {
public:
    SigpipeHeld() {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe, &saved_);
    }
    ~SigpipeHeld() {
        sigset_t pending;
        sigpending(&pending);
        if (!pendingBefore_ && sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            const timespec now{0, 0};
            while (sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;

private:
    sigset_t saved_{};
    bool pendingBefore_ = false;
};

// A character device or FIFO is written into as it is, like any program writing to it: nothing
// can replace it, and what was written before a failure stays written.
void writeStream(const std::string& fileName, const std::function<void(const TByteSink&)>& produce) {
    int fd;
    do fd = ::open(fileName.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) failCreate(fileName, errno);
    struct stat opened {};
    std::string refusal;
    if (::fstat(fd, &opened) != 0)
        refusal = systemReason(errno);
    else if (!S_ISCHR(opened.st_mode) && !S_ISFIFO(opened.st_mode))
        refusal = "The file was replaced while it was being saved";
    if (!refusal.empty()) {
        ::close(fd);
        failCreate(fileName, refusal);
    }
    int error = 0;
    {
        const SigpipeHeld held;
        try {
            produce(descriptorSink(fd, error));
        } catch (...) {
            ::close(fd);
            throw;
        }
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    if (error != 0) failCreate(fileName, error);
}

// Copies the saved bytes of the temporary file over the target's own content, so that the
// target's other hard links see them; 0 or the reason of the failure.
int copyInPlace(int saved, const std::string& target) {
    if (::lseek(saved, 0, SEEK_SET) != 0) return errno;
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    std::vector<char> buffer(1 << 16);
    off_t total = 0;
    for (;;) {
        const ssize_t n = ::read(saved, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        error = writeAll(fd, std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        if (error != 0) break;
        total += n;
    }
    if (error == 0 && ::ftruncate(fd, total) != 0) error = errno;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

} // namespace

void writeFileAtomicallyInPieces(const std::string& fileName, const std::function<void(const TByteSink&)>& produce) {
    if (fileName.empty()) failCreate(fileName, ENOENT);
    // What the name stands for once every link is followed (the system's own magic links such as
    // /dev/stdout included) decides how it is written.
    struct stat named {};
    if (::stat(fileName.c_str(), &named) == 0) {
        if (S_ISCHR(named.st_mode) || S_ISFIFO(named.st_mode)) return writeStream(fileName, produce);
        if (const std::string refusal = refusalOf(named.st_mode); !refusal.empty()) failCreate(fileName, refusal);
    }
    const std::string target = writeTarget(fileName);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        const std::string refusal = refusalOf(existing.st_mode);
        failCreate(fileName, refusal.empty() ? "Not a regular file" : refusal);
    }
    // A file the user made read-only is not replaced behind their back, not even by root.
    if (exists && ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) failCreate(fileName, EACCES);
    // A file with other hard links is written in place, once its new content is safe in the
    // temporary file: renaming over it would part this name from the others.
    const bool inPlace = exists && existing.st_nlink > 1;

    std::string pattern = directoryOf(target) + ".pointmark-save-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) failCreate(fileName, errno);

    int error = 0;
    try {
        produce(descriptorSink(fd, error));
    } catch (...) {
        ::close(fd);
        ::unlink(pattern.c_str());
        throw;
    }
    if (!inPlace) {
        // Keep the permissions of the file being replaced; a new file gets the usual 0666 & ~umask.
        mode_t mode = existing.st_mode & 07777;
        if (!exists) {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        // Keep the owner and group too, as far as this user may set them; failing that is no error.
        if (exists && error == 0 && ::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
            [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
        }
        if (error == 0 && ::fchmod(fd, mode) != 0) error = errno;
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (error == 0 && inPlace) {
        if (const int copyError = copyInPlace(fd, target); copyError != 0) {
            // The target may be half written now: the complete new content stays where it is.
            ::close(fd);
            failCreate(fileName, systemReason(copyError) + ". The new content is kept in \"" + pattern + "\"");
        }
        ::close(fd);
        ::unlink(pattern.c_str());
        return;
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(pattern.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(pattern.c_str());
        failCreate(fileName, error);
    }
}

void writeFileAtomically(const std::string& fileName, std::string_view bytes) {
    writeFileAtomicallyInPieces(fileName, [bytes](const TByteSink& sink) { sink(bytes); });
}

std::string directoryOf(const std::string& fileName) {
    const std::size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}
