// libFuzzer target for reading CSV files: any bytes load without a fault, and the loaded table
// saves and loads back unchanged.

#include "fuzz/csv_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!csvFileRoundTripHolds(data, size)) std::abort();
    return 0;
}
