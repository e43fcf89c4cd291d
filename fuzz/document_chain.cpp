// libFuzzer target for the document chain: any bytes end in a document or in one error record.

#include "fuzz/document_chain.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!documentChainHolds(data, size)) std::abort();
    return 0;
}
