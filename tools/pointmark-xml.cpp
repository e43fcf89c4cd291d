// pointmark-xml check FILE...
// pointmark-xml dump FILE
//
// Reads XML files with the same parser front that the editor uses, for users whose file does not
// load. The DTD that a document names, and the external entities that a DTD names, are opened
// relative to the directory of the file that names them (an absolute name is taken as it is).
//
// check: parses each file and prints every message of the run in English, one line each, on
//        standard output, then "FILE: ok" or "FILE: N message(s)". A file that cannot be read, or
//        any other failure that stops a run, is printed as "pointmark-xml: FILE: REASON" on
//        standard error.
// dump:  parses the file and prints the document as UTF-8 XML text on standard output; the
//        messages of the run go to standard error.
//
// Exit status: 0 when every file parsed without a message, 1 when any file had a message or
// could not be read, 2 for a wrong command line.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "dom/document.h"
#include "dom/implementation.h"
#include "parser/parser_error.h"
#include "parser/xml_to_dom_parser.h"
#include "text/exception.h"
#include "text/file_io.h"
#include "text/stream.h"
#include "text/utf8.h"

namespace {

constexpr int kExitProblems = 1;
constexpr int kExitUsage = 2;

const char kUsage[] = "usage: pointmark-xml check FILE...\n"
                      "       pointmark-xml dump FILE\n"
                      "  check  parse each FILE and print every message in English\n"
                      "  dump   parse FILE and print the document as UTF-8 XML\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "pointmark-xml: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

// The file that name stands for, relative to the directory of the file called parent.
std::string resolve(const std::string& parent, const std::string& name) {
    if (!name.empty() && name.front() == '/') return name;
    return directoryOf(parent) + name;
}

// One parser front and implementation for the whole command, as in the editor.
class Checker {
public:
    explicit Checker(std::FILE* messages) : messages_(messages) {
        parser_.setDOMImpl(&implementation_);
        auto print = [this](TXmlToDomParser*, TXmlParserError& e) {
            ++messageCount_;
            std::fprintf(messages_, "%s\n", utf16ToUtf8(e.errorMessage(TXmlMessageLanguage::en)).c_str());
        };
        parser_.OnError = print;
        parser_.OnFatalError = print;
        parser_.OnWarning = print;
        parser_.OnExternalSubset = [this](void*, const std::u16string& parentSystemId, std::u16string&,
                                          std::u16string& systemId, TStream*& stream, TXmlParserAction& action) {
            open(utf16ToUtf8(parentSystemId), systemId, stream, action);
        };
        // Without a parent, the agent tells which file is being read (the document for its
        // internal subset, the DTD for the external one).
        implementation_.onExternalParsedEntity = [this](void*, const std::u16string& parentSystemId, std::u16string&,
                                                        std::u16string& systemId, TStream*& stream,
                                                        TXmlParserAction& action) {
            const std::u16string& parent =
                parentSystemId.empty() ? parser_.processorAgent()->currentSystemId() : parentSystemId;
            open(utf16ToUtf8(parent), systemId, stream, action);
        };
    }

    // Parses the file; the document is the implementation's until the next parse. nullptr when an
    // exception stopped the run (its message printed).
    TdomDocument* parse(const std::string& fileName) {
        implementation_.releaseAll();
        messageCount_ = 0;
        try {
            return parser_.fileToDocument(fileName);
        } catch (const std::exception& e) {
            failed_ = true;
            std::fprintf(stderr, "pointmark-xml: %s: %s\n", fileName.c_str(), e.what());
            return nullptr;
        }
    }

    int messageCount() const { return messageCount_; }
    bool failed() const { return failed_ || messageCount_ > 0; }
    void noteMessages() {
        if (messageCount_ > 0) failed_ = true;
    }

private:
    void open(const std::string& parent, std::u16string& systemId, TStream*& stream, TXmlParserAction& action) {
        if (systemId.empty()) return;
        const std::string path = resolve(parent, utf16ToUtf8(systemId));
        systemId = utf8ToUtf16(path);
        try {
            stream = new TFileStream(path, TFileStream::Mode::openRead);
            action = TXmlParserAction::paOK;
        } catch (const Exception& e) {
            // The run reports the failure as its own record; the reason helps finding the file.
            std::fprintf(messages_, "%s\n", e.what());
            action = TXmlParserAction::paFail;
        }
    }

    TDomImplementation implementation_;
    TXmlToDomParser parser_;
    std::FILE* messages_;
    int messageCount_ = 0;
    bool failed_ = false;
};

int check(const std::vector<std::string>& files) {
    Checker checker(stdout);
    for (const std::string& file : files) {
        if (checker.parse(file)) {
            if (checker.messageCount() == 0)
                std::printf("%s: ok\n", file.c_str());
            else
                std::printf("%s: %d message%s\n", file.c_str(), checker.messageCount(),
                            checker.messageCount() == 1 ? "" : "s");
        }
        checker.noteMessages();
    }
    std::fflush(stdout);
    return checker.failed() ? kExitProblems : 0;
}

int dump(const std::string& file) {
    Checker checker(stderr);
    TdomDocument* document = checker.parse(file);
    if (document) {
        const std::string text = document->codeAsUtf8();
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    return checker.failed() ? kExitProblems : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 2) return usageError("no command given");
    const std::string command = argv[1];
    std::vector<std::string> files(argv + 2, argv + argc);
    try {
        if (command == "check") {
            if (files.empty()) return usageError("check needs at least one FILE");
            return check(files);
        }
        if (command == "dump") {
            if (files.size() != 1) return usageError("dump needs exactly one FILE");
            return dump(files.front());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pointmark-xml: %s\n", e.what());
        return kExitProblems;
    }
    return usageError("unknown command \"" + command + "\"");
}
