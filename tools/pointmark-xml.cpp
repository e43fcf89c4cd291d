// pointmark-xml [--allow-external DIR]... check FILE...
// pointmark-xml [--allow-external DIR]... validate FILE...
// pointmark-xml [--allow-external DIR]... dump FILE
//
// Reads XML files with the same parser front that the editor uses, for users whose file does not
// load. The DTD that a document names, and the external entities that a DTD names, are looked up
// relative to the file that names them (a name starting with "/" stands for itself), and opened
// only when they are regular files inside the document's own directory or its subdirectories, or
// inside a directory given with --allow-external (the option may be repeated). Links and ".." are
// resolved before that test. Anything else (a URL, a path outside those trees, a directory, a
// device, a FIFO) is refused with a message that names the file as the document wrote it.
//
// check: parses each file, checks the well-formedness constraints on entity references (declared,
//        parsed, not recursive, replacement text well-formed where it is used; the external
//        entities referred to in content are read, as the DTD's files are), and prints every
//        message in English, one line each, on standard output, then "FILE: ok" or "FILE: N
//        message(s)". A file that cannot be read, or any other failure that stops a run, is
//        printed as "pointmark-xml: FILE: REASON" on standard error.
// validate: as check, and a well-formed file is then validated against its DTD: element
//        content, attributes, ID and IDREF values, entity references. A file without document type
//        declaration is not valid. The problems are printed in the same form and counted with the
//        messages of the parse. A content model that is not deterministic (XML asks for that only
//        for compatibility) is printed as a warning; its content is matched all the same.
// dump:  parses the file and prints the document as UTF-8 XML text on standard output; the
//        messages of the run, those of check's entity constraints included, go to standard error.
//
// The options may stand anywhere; "--" ends them, so that a file named like an option can be given.
//
// Exit status: 0 when every file parsed without a message, 1 when any file had a message or
// could not be read, or when standard output could not be written; 2 for a wrong command line.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dom/document.h"
#include "dom/document_type.h"
#include "dom/element.h"
#include "dom/implementation.h"
#include "front/entity_constraints.h"
#include "front/xml_to_dom_parser.h"
#include "parser/doc_builder.h"
#include "text/error_handler.h"
#include "text/error_messages.h"
#include "text/exception.h"
#include "text/external_file_policy.h"
#include "text/locator.h"
#include "text/parser_error.h"
#include "text/parser_exception.h"
#include "text/stream.h"
#include "text/utf8.h"
#include "tools/standard_output.h"

namespace {

constexpr int kExitProblems = 1;
constexpr int kExitUsage = 2;

const char kUsage[] = "usage: pointmark-xml [--allow-external DIR]... check FILE...\n"
                      "       pointmark-xml [--allow-external DIR]... validate FILE...\n"
                      "       pointmark-xml [--allow-external DIR]... dump FILE\n"
                      "  check     parse each FILE and print every message in English\n"
                      "  validate  check, then validate each well-formed FILE against its DTD\n"
                      "  dump      parse FILE and print the document as UTF-8 XML\n"
                      "  --allow-external DIR  also open DTDs and entities below DIR (by default only\n"
                      "                        those below the directory of the document itself)\n"
                      "  --                    end of the options\n";

// Told after the reason why a DTD named velmar.dtd could not be opened: the editor and
// pointmark-convert carry that one themselves.
const char kBuiltInDtdNote[] =
    "The editor and pointmark-convert read this document with their built-in definition of velmar.dtd instead.";

bool namesBuiltInDtd(const std::string& systemId) {
    const std::size_t slash = systemId.rfind('/');
    return systemId.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, "velmar.dtd") == 0;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "pointmark-xml: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

// Where the builder read an element or entity reference: the piece of its tag or reference.
struct Position {
    std::int32_t startLine, startColumn, endLine, endColumn;
};

// One parser front and implementation for the whole command, as in the editor.
class Checker : private TdomCustomErrorHandler {
public:
    Checker(std::FILE* messages, TExternalFilePolicy policy) : messages_(messages), policy_(std::move(policy)) {
        parser_.setDOMImpl(&implementation_);
        auto print = [this](TXmlToDomParser*, TXmlParserError& e) {
            if (e.errorType() == TXmlErrorType::fatal) ++fatalCount_;
            this->print(e);
        };
        parser_.OnError = print;
        parser_.OnFatalError = print;
        parser_.OnWarning = print;
        parser_.OnExternalSubset = [this](void*, const std::u16string& parentSystemId, std::u16string&,
                                          std::u16string& systemId, TStream*& stream, TXmlParserAction& action) {
            const std::string asked = utf16ToUtf8(systemId);
            if (!open(utf16ToUtf8(parentSystemId), systemId, stream, action)) {
                if (namesBuiltInDtd(asked)) std::fprintf(messages_, "%s\n", kBuiltInDtdNote);
            } else if (stream) {
                externalSubset_ = utf16ToUtf8(systemId);
            }
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

    // Remembers where each element and entity reference was read, so that the problems found
    // after the parse can tell it.
    void recordPositions() {
        // The builder leaves the document's standalone declaration alone; the entity constraints
        // depend on it.
        parser_.docBuilder()->OnXmlDeclaration = [this](TXmlCustomProcessorAgent*, TdomStandardLocator*,
                                                        std::u16string&, std::u16string&,
                                                        std::u16string& standalone) { standalone_ = standalone; };
        parser_.docBuilder()->OnNodeBuilt = [this](TdomNode* node, const TdomStandardLocator* locator) {
            if (locator)
                built_.push_back(
                    {node,
                     {locator->pieceStartLine(), locator->pieceStartColumn(), locator->line(), locator->column()}});
        };
    }

    // The constraints on entity references that the parse leaves to the document, on a document
    // that parsed without fatal error.
    void checkEntities(TdomDocument* document) {
        document->setStandalone(standalone_);
        entitiesWellFormed_ = false;
        if (fatalCount_ > 0) return;
        // External parsed entities are read as the DTD's files are: relative to the file that
        // declares them, as the policy allows.
        auto openExternal = [this](const std::u16string& systemId,
                                   bool declaredInExternalSubset) -> std::unique_ptr<TStream> {
            std::u16string path = systemId;
            TStream* stream = nullptr;
            TXmlParserAction action = TXmlParserAction::paFail;
            const std::string& parent =
                declaredInExternalSubset && !externalSubset_.empty() ? externalSubset_ : document_;
            if (!open(parent, path, stream, action)) return nullptr;
            return std::unique_ptr<TStream>(stream);
        };
        entitiesWellFormed_ = checkEntityConstraints(document, this, openExternal);
    }

    // Validates a well-formed document against its DTD, printing each problem.
    void validate(TdomDocument* document) {
        if (fatalCount_ > 0 || !entitiesWellFormed_ || !document->documentElement()) return;
        TdomElement* root = document->documentElement();
        if (!document->doctype()) {
            // Nothing declares the root element, so the document cannot be valid.
            error(root, nullptr, root->nodeName(), EParserElement_Type_Declaration_Not_Found_Err::kClassName);
            return;
        }
        document->validate(this, 0);
    }

    // Parses the file; the document is the implementation's until the next parse. nullptr when an
    // exception stopped the run (its message printed).
    TdomDocument* parse(const std::string& fileName) {
        implementation_.releaseAll();
        built_.clear();
        positions_.clear();
        standalone_.clear();
        externalSubset_.clear();
        document_ = fileName;
        messageCount_ = 0;
        fatalCount_ = 0;
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
    void print(TXmlParserError& e) {
        ++messageCount_;
        std::fprintf(messages_, "%s\n", utf16ToUtf8(e.errorMessage(TXmlMessageLanguage::en)).c_str());
    }

    // The problems found in the document after the parse, with the position of the node they
    // concern where the builder told it.
    void report(void* sender, std::u16string_view code, std::string_view errorClass, bool asWarning = false) {
        Position at{0, 0, 0, 0};
        if (positions_.empty()) positions_.insert(built_.begin(), built_.end());
        if (auto it = positions_.find(sender); it != positions_.end()) at = it->second;
        TXmlParserError e(std::string(errorClass), std::u16string(code), u"", utf8ToUtf16(document_), at.startLine,
                          at.startColumn, at.endLine, at.endColumn);
        if (!asWarning || e.errorType() == TXmlErrorType::warning) return print(e);
        // A class of error severity told as a warning (a content model that is not deterministic):
        // the line starts with the warning's severity word instead.
        const TXmlMessageTable& table = messageTable(TXmlMessageLanguage::en);
        const std::string line = utf16ToUtf8(e.errorMessage(TXmlMessageLanguage::en));
        const std::string_view severity = table.severityWords[static_cast<int>(e.errorType())];
        ++messageCount_;
        std::fprintf(messages_, "%s%s\n", table.severityWords[static_cast<int>(TXmlErrorType::warning)],
                     line.c_str() + severity.size());
    }
    void error(void* sender, const TdomStandardLocator*, std::u16string_view code,
               std::string_view errorClass) override {
        report(sender, code, errorClass);
    }
    void fatalError(void* sender, const TdomStandardLocator*, std::u16string_view code,
                    std::string_view errorClass) override {
        ++fatalCount_;
        report(sender, code, errorClass);
    }
    void warning(void* sender, const TdomStandardLocator*, std::u16string_view code,
                 std::string_view errorClass) override {
        report(sender, code, errorClass, true);
    }

    // Opens what systemId names relative to parent as the policy allows; on success systemId
    // becomes the path, so that names inside the file are looked up from its own directory. False
    // when a named file could not be opened.
    bool open(const std::string& parent, std::u16string& systemId, TStream*& stream, TXmlParserAction& action) {
        if (systemId.empty()) return true;
        const std::string written = utf16ToUtf8(systemId);
        const std::string path = TExternalFilePolicy::resolve(parent, written);
        try {
            stream = policy_.open(document_, path, written).release();
            systemId = utf8ToUtf16(path);
            action = TXmlParserAction::paOK;
            return true;
        } catch (const Exception& e) {
            // The run reports the failure as its own record; the reason helps finding the file.
            std::fprintf(messages_, "%s\n", e.what());
            action = TXmlParserAction::paFail;
            return false;
        }
    }

    TDomImplementation implementation_;
    TXmlToDomParser parser_;
    std::FILE* messages_;
    TExternalFilePolicy policy_;
    std::string document_;
    // Where each node was built, in the order built; looked up by node once a problem is reported.
    std::vector<std::pair<const void*, Position>> built_;
    std::unordered_map<const void*, Position> positions_;
    std::u16string standalone_;
    // The file of the document's external subset, once it was opened.
    std::string externalSubset_;
    int messageCount_ = 0;
    int fatalCount_ = 0;
    bool entitiesWellFormed_ = false;
    bool failed_ = false;
};

// check, and with validity also validate.
int check(const std::vector<std::string>& files, const TExternalFilePolicy& policy, bool validity) {
    Checker checker(stdout, policy);
    checker.recordPositions();
    for (const std::string& file : files) {
        if (TdomDocument* document = checker.parse(file)) {
            checker.checkEntities(document);
            if (validity) checker.validate(document);
            if (checker.messageCount() == 0)
                std::printf("%s: ok\n", file.c_str());
            else
                std::printf("%s: %d message%s\n", file.c_str(), checker.messageCount(),
                            checker.messageCount() == 1 ? "" : "s");
        }
        checker.noteMessages();
    }
    return checker.failed() ? kExitProblems : 0;
}

// The document as it was read, then the constraints on its entity references as check tests them:
// a document that check refuses fails the dump too.
int dump(const std::string& file, const TExternalFilePolicy& policy) {
    Checker checker(stderr, policy);
    checker.recordPositions();
    TdomDocument* document = checker.parse(file);
    if (document) {
        writeStandardOutput(document->codeAsUtf8());
        checker.checkEntities(document);
    }
    return checker.failed() ? kExitProblems : 0;
}

// The whole run; its exit status.
int run(int argc, char** argv) {
    if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // The options may stand anywhere; the first other argument is the command. "--" ends the
    // options: what follows is taken as it stands.
    TExternalFilePolicy policy;
    std::vector<std::string> arguments;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        if (!optionsEnded && std::string(argv[i]) == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || std::string(argv[i]) != "--allow-external") {
            arguments.emplace_back(argv[i]);
            continue;
        }
        if (++i == argc) return usageError("--allow-external needs a DIR");
        try {
            policy.allowDirectory(argv[i]);
        } catch (const Exception& e) {
            return usageError(e.message());
        }
    }
    if (arguments.empty()) return usageError("no command given");
    const std::string command = arguments.front();
    std::vector<std::string> files(arguments.begin() + 1, arguments.end());
    try {
        if (command == "check") {
            if (files.empty()) return usageError("check needs at least one FILE");
            return check(files, policy, false);
        }
        if (command == "validate") {
            if (files.empty()) return usageError("validate needs at least one FILE");
            return check(files, policy, true);
        }
        if (command == "dump") {
            if (files.size() != 1) return usageError("dump needs exactly one FILE");
            return dump(files.front(), policy);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pointmark-xml: %s\n", e.what());
        return kExitProblems;
    }
    return usageError("unknown command \"" + command + "\"");
}

} // namespace

int main(int argc, char** argv) { return finishStandardOutput("pointmark-xml", run(argc, argv)); }
