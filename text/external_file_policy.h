#pragma once

#include <memory>
#include <string>
#include <vector>

class TStream;

// Which local files a document may have opened as its external DTD subset and external entities.
// By default only regular files inside the document's own directory and its subdirectories; more
// directory trees may be allowed besides. A file is judged after its links and ".." are resolved,
// so no link and no "../" leads out of an allowed tree. Anything else (a URL such as "file:" or
// "http:", a path outside the allowed trees, a directory, a device, a FIFO) is refused. Messages
// name the system identifier as the document wrote it, never the path it was expanded to.
class TExternalFilePolicy {
public:
    // Allows the files below directory as well. Raises EFOpenError when it names no directory.
    void allowDirectory(const std::string& directory);

    // The file that a system identifier names relative to the file called parent: a name that
    // starts with "/" stands for itself, any other is joined to parent's directory part.
    static std::string resolve(const std::string& parent, const std::string& systemId);

    // Opens path, where the caller looked up the file that the document at documentPath names as
    // systemId. Raises EFOpenError "Refused to open \"SYSTEMID\": REASON." when the policy refuses
    // it, or "Cannot open \"SYSTEMID\": REASON." when the system cannot open it.
    std::unique_ptr<TStream> open(const std::string& documentPath, const std::string& path,
                                  const std::string& systemId) const;

private:
    // An allowed tree, written out (absolute, "." and ".." removed) and with its links resolved.
    struct Tree {
        std::string written;
        std::string resolved;
    };
    static bool treeOf(const std::string& directory, Tree& tree);

    std::vector<Tree> allowed_;
};
