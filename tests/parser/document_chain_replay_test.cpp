#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/document_chain.h"

TEST(DocumentChainFuzzSeeds, EverySeedKeepsThePromises) {
    const std::filesystem::path corpus = std::filesystem::path(TEST_DATA_DIR) / "../../fuzz/corpus/document_chain";
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(documentChainHolds(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
            << entry.path();
        ++seeds;
    }
    EXPECT_GE(seeds, 5);
}
