#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "text/parser_error.h"

class TdomStandardLocator;

// Receiver of the problems that content-model validation finds. This base ignores errors and
// warnings and raises EParserFatalError "EParserFatalError: Fatal Error." on a fatal error.
class TdomCustomErrorHandler {
public:
    virtual ~TdomCustomErrorHandler() = default;

    virtual void error(void* sender, const TdomStandardLocator* locator, std::u16string_view code,
                       std::string_view errorClass);
    virtual void fatalError(void* sender, const TdomStandardLocator* locator, std::u16string_view code,
                            std::string_view errorClass);
    virtual void warning(void* sender, const TdomStandardLocator* locator, std::u16string_view code,
                         std::string_view errorClass);
};

// Records every problem it receives, in order, before doing what the base does; so a fatal error
// is recorded and then raised.
class TdomStandardErrorHandler : public TdomCustomErrorHandler {
public:
    TdomStandardErrorHandler() = default;
    ~TdomStandardErrorHandler() override { clearErrorList(); }
    TdomStandardErrorHandler(const TdomStandardErrorHandler&) = delete;
    TdomStandardErrorHandler& operator=(const TdomStandardErrorHandler&) = delete;

    void error(void* sender, const TdomStandardLocator* locator, std::u16string_view code,
               std::string_view errorClass) override;
    void fatalError(void* sender, const TdomStandardLocator* locator, std::u16string_view code,
                    std::string_view errorClass) override;
    void warning(void* sender, const TdomStandardLocator* locator, std::u16string_view code,
                 std::string_view errorClass) override;

    // Destroys every record.
    void clearErrorList() { errorList_.clear(); }
    const std::vector<std::unique_ptr<TXmlParserError>>& errorList() const { return errorList_; }

private:
    std::vector<std::unique_ptr<TXmlParserError>> errorList_;
};
