// libFuzzer target for the text layer: character checks, declaration parsers, conversion streams
// and decoders keep their promises for any input.

#include "fuzz/text_layer.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!textLayerHolds(data, size)) std::abort();
    return 0;
}
