// libFuzzer target for external DTD subsets: any bytes are read through the parser front without a
// fault, hang or unbounded growth, and what is built checks and writes itself.

#include "fuzz/external_subset.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!externalSubsetReadHolds(data, size)) std::abort();
    return 0;
}
