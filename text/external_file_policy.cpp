#include "text/external_file_policy.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "text/exception.h"
#include "text/file_io.h"
#include "text/stream.h"
#include "text/system_reasons.h"

namespace {

[[noreturn]] void refuse(const std::string& systemId, const char* reason) {
    throw EFOpenError("Refused to open \"" + systemId + "\": " + reason + ".");
}

[[noreturn]] void cannotOpen(const std::string& systemId, int error) {
    throw EFOpenError("Cannot open \"" + systemId + "\": " + systemReason(error) + ".");
}

// A URI scheme at the start: a letter, then letters, digits, "+", "-" or ".", then ":".
bool startsWithScheme(const std::string& name) {
    const auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (name.empty() || !isAlpha(name[0])) return false;
    for (std::size_t i = 1; i < name.size(); ++i) {
        const char c = name[i];
        if (c == ':') return true;
        if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
    }
    return false;
}

// The path made absolute with "." and ".." taken out by their names alone; no trailing "/".
std::string written(const std::string& path) {
    std::error_code error;
    std::string out = std::filesystem::absolute(path, error).lexically_normal().string();
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

// The path with every link and "." and ".." resolved; empty when it cannot be resolved.
std::string resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

bool isWithin(const std::string& path, const std::string& directory) {
    if (directory.empty() || path.empty()) return false;
    if (directory == "/") return path.front() == '/';
    return path.compare(0, directory.size(), directory) == 0 &&
           (path.size() == directory.size() || path[directory.size()] == '/');
}

} // namespace

bool TExternalFilePolicy::treeOf(const std::string& directory, Tree& tree) {
    const std::string name = directory.empty() ? std::string(".") : directory;
    tree.written = written(name);
    tree.resolved = resolved(name);
    return !tree.resolved.empty();
}

void TExternalFilePolicy::allowDirectory(const std::string& directory) {
    Tree tree;
    struct stat info {};
    if (!treeOf(directory, tree) || ::stat(tree.resolved.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw EFOpenError("Cannot allow \"" + directory + "\": not a directory.");
    allowed_.push_back(std::move(tree));
}

std::string TExternalFilePolicy::resolve(const std::string& parent, const std::string& systemId) {
    if (!systemId.empty() && systemId.front() == '/') return systemId;
    return directoryOf(parent) + systemId;
}

std::unique_ptr<TStream> TExternalFilePolicy::open(const std::string& documentPath, const std::string& path,
                                                   const std::string& systemId) const {
    if (startsWithScheme(systemId)) refuse(systemId, "only local files are opened");
    if (path.empty() || path.find('\0') != std::string::npos) refuse(systemId, "not a file name");

    std::vector<Tree> trees = allowed_;
    Tree documentTree;
    if (treeOf(directoryOf(documentPath), documentTree)) trees.push_back(std::move(documentTree));
    auto inside = [&](const std::string& candidate, std::string Tree::*form) {
        for (const Tree& tree : trees)
            if (isWithin(candidate, tree.*form)) return true;
        return false;
    };
    constexpr const char* kOutside = "outside the document's directory and the directories allowed for it";
    // By name first, so that a name leading out is refused whether the file exists or not; then
    // with its links resolved, so that no link leads out either.
    if (!inside(written(path), &Tree::written)) refuse(systemId, kOutside);
    const std::string real = resolved(path);
    if (real.empty()) cannotOpen(systemId, errno);
    if (!inside(real, &Tree::resolved)) refuse(systemId, kOutside);

    // Not blocking, so that a FIFO is refused below instead of waiting for a writer.
    const int descriptor = ::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (descriptor < 0) cannotOpen(systemId, errno);
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor);
        refuse(systemId, "not a regular file");
    }
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return std::make_unique<TFileStream>(descriptor, path);
}
