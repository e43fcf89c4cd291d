#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/document_front.h"

// The seeds of the document-front fuzz target keep their property in the ordinary test run.
TEST(DocumentFrontFuzzSeeds, EverySeedReadsTwiceWithTheSameOutcome) {
    const std::filesystem::path corpus = std::filesystem::path(TEST_DATA_DIR) / "../../fuzz/corpus/document_front";
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(documentFrontReadHolds(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
            << entry.path();
        ++seeds;
    }
    EXPECT_GE(seeds, 6);
}
