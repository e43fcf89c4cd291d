#include "text/error_handler.h"

#include "text/parser_exception.h"

void TdomCustomErrorHandler::error(void*, const TdomStandardLocator*, std::u16string_view, std::string_view) {}

void TdomCustomErrorHandler::fatalError(void*, const TdomStandardLocator*, std::u16string_view, std::string_view) {
    throw EParserFatalError("EParserFatalError: Fatal Error.");
}

void TdomCustomErrorHandler::warning(void*, const TdomStandardLocator*, std::u16string_view, std::string_view) {}

void TdomStandardErrorHandler::error(void* sender, const TdomStandardLocator* locator, std::u16string_view code,
                                     std::string_view errorClass) {
    errorList_.push_back(createParserError(locator, code, errorClass));
    TdomCustomErrorHandler::error(sender, locator, code, errorClass);
}

void TdomStandardErrorHandler::fatalError(void* sender, const TdomStandardLocator* locator, std::u16string_view code,
                                          std::string_view errorClass) {
    errorList_.push_back(createParserError(locator, code, errorClass));
    TdomCustomErrorHandler::fatalError(sender, locator, code, errorClass);
}

void TdomStandardErrorHandler::warning(void* sender, const TdomStandardLocator* locator, std::u16string_view code,
                                       std::string_view errorClass) {
    errorList_.push_back(createParserError(locator, code, errorClass));
    TdomCustomErrorHandler::warning(sender, locator, code, errorClass);
}
