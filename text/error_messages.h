#pragma once

#include <array>
#include <cstddef>

#include "text/parser_error.h"

// The texts an error record is described with, one table per language. Texts are narrow: Latin-1
// bytes, or Windows-1250 bytes for the tables that say so.
inline constexpr std::size_t kMessageClassCount = 81;

struct TXmlMessageTable {
    bool windows1250;
    // Severity words for fatal errors, errors and warnings.
    std::array<const char*, 3> severityWords;
    // The input named by both identifiers, by the public one only, by the system one only;
    // "%1" stands for the public identifier and "%2" for the system identifier.
    std::array<const char*, 3> documentPhrases;
    // One position ("%1" line, "%2" column); a range on one line ("%1" line, "%2" and "%3" the
    // columns); a range over lines ("%1", "%2" start line and column, "%3", "%4" end line and column).
    std::array<const char*, 3> positionPatterns;
    // One message per entry of kMessageClasses, in the same order.
    std::array<const char*, kMessageClassCount> messages;
    // For a class without a message.
    const char* fallback;
};

// The error classes that have a message, in the order they are looked up.
extern const std::array<const char*, kMessageClassCount> kMessageClasses;

const TXmlMessageTable& messageTable(TXmlMessageLanguage language);
