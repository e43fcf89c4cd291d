#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/text_layer.h"

TEST(TextLayerFuzzSeeds, EverySeedKeepsThePromises) {
    const std::filesystem::path corpus = std::filesystem::path(TEST_DATA_DIR) / "../../fuzz/corpus/text_layer";
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(textLayerHolds(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) << entry.path();
        ++seeds;
    }
    EXPECT_GE(seeds, 10);
}
