// libFuzzer target for the parser front: any bytes are read as a document through
// memoryToDocument, the external subset it names (and every external entity) being served a
// second fuzzed buffer, without a fault, hang or unbounded growth, and twice with the same outcome.

#include "fuzz/document_front.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!documentFrontReadHolds(data, size)) std::abort();
    return 0;
}
