#pragma once

#include <string>

class TdomCustomErrorHandler;

// Reports a problem that a content-model check found to errorHandler's error report, as the
// exception class errorClass with message (for the record's code: code). Does nothing without a
// handler; an exception the handler raises while reporting is swallowed, as the check goes on.
void reportContentModelError(TdomCustomErrorHandler* errorHandler, const char* errorClass, const char* message,
                             const std::u16string& code);
