#pragma once

#include <string>

// A new, empty directory in the system's temporary folder (TMPDIR or /tmp), named
// <prefix>-XXXXXX, removed with everything in it when the object goes, also folders whose
// permissions were taken away. Raises std::runtime_error when it cannot be made.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(const std::string& prefix = "pm-test");
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& path() const { return path_; }
    // The path of an entry of the directory.
    std::string path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};
