#include "dtd/cm_report.h"

#if __has_include("parser/error_handler.h")
#include "parser/error_handler.h"
#define POINTMARK_HAVE_ERROR_HANDLER 1
#endif

void reportContentModelError(TdomCustomErrorHandler* errorHandler, const char* errorClass, const char* message,
                             const std::u16string& code) {
    (void)errorClass;
    (void)message;
    (void)code;
    if (!errorHandler) return;
#ifdef POINTMARK_HAVE_ERROR_HANDLER
#endif
}
