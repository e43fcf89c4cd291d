#include "dom/cm_report.h"

#include "text/error_handler.h"
#include "text/exception.h"

void reportContentModelError(TdomCustomErrorHandler* errorHandler, const void* sender, std::string_view errorClass,
                             std::u16string_view code) {
    if (!errorHandler) return;
    try {
        errorHandler->error(const_cast<void*>(sender), nullptr, code, errorClass);
    } catch (const Exception&) {
        // Validation reports and goes on; it never raises.
    }
}

void reportContentModelWarning(TdomCustomErrorHandler* errorHandler, const void* sender, std::string_view errorClass,
                               std::u16string_view code) {
    if (!errorHandler) return;
    try {
        errorHandler->warning(const_cast<void*>(sender), nullptr, code, errorClass);
    } catch (const Exception&) {
        // As for errors: the check goes on.
    }
}
