#include "tests/support/temporary_directory.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <stdlib.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Removes the tree at p, giving its folders back the owner's permissions first; errors are ignored
// as nothing can be done about them at this point.
void removeTree(const fs::path& p) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(p, ec))) {
        fs::permissions(p, fs::perms::owner_all, fs::perm_options::add, ec);
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(p, ec)) entries.push_back(entry.path());
        for (const fs::path& entry : entries) removeTree(entry);
    }
    fs::remove(p, ec);
}

} // namespace

TemporaryDirectory::TemporaryDirectory(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary directory " + pattern + ": " + std::strerror(errno));
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() { removeTree(path_); }
