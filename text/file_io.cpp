#include "text/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

[[noreturn]] void failCreate(const std::string& fileName, int error) {
    throw EFCreateError("Cannot create file \"" + fileName + "\". " + systemReason(error));
}

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

} // namespace

void writeFileAtomicallyInPieces(const std::string& fileName, const std::function<void(const TByteSink&)>& produce) {
    if (fileName.empty()) failCreate(fileName, ENOENT);
    const std::string target = writeTarget(fileName);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) failCreate(fileName, EISDIR);
    // A file the user made read-only is not replaced behind their back, not even by root.
    if (exists && ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0))
        failCreate(fileName, EACCES);

    std::string pattern = directoryOf(target) + ".pointmark-save-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) failCreate(fileName, errno);

    int error = 0;
    const TByteSink sink = [fd, &error](std::string_view bytes) {
        std::size_t written = 0;
        while (error == 0 && written < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                break;
            }
            written += static_cast<std::size_t>(n);
        }
    };
    try {
        produce(sink);
    } catch (...) {
        ::close(fd);
        ::unlink(pattern.c_str());
        throw;
    }
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
    if (error == 0 && ::fsync(fd) != 0) error = errno;
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
