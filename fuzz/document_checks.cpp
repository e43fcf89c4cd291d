// libFuzzer target for the checks after a parse: the entity constraints and validation, on any
// bytes read as a document through the parser front (see fuzz/document_checks.h).

#include "fuzz/document_checks.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!documentChecksHold(data, size)) std::abort();
    return 0;
}
