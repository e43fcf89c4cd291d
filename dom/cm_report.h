#pragma once

#include <string>
#include <string_view>

class TdomCustomErrorHandler;

// Reports a problem that a content-model check found to errorHandler's error report, as the
// exception class errorClass with code (sender: the node that found it). Does nothing without a
// handler; an exception the handler raises while reporting is swallowed, as the check goes on.
void reportContentModelError(TdomCustomErrorHandler* errorHandler, const void* sender, std::string_view errorClass,
                             std::u16string_view code);
// The same to errorHandler's warning report.
void reportContentModelWarning(TdomCustomErrorHandler* errorHandler, const void* sender, std::string_view errorClass,
                               std::u16string_view code);
