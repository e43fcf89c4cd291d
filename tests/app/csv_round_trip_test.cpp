#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "fuzz/csv_file.h"
#include "text/file_io.h"

TEST(CsvRoundTrip, FuzzSeedsAndRandomBytesLoadAndSaveStably) {
    const std::filesystem::path corpus = std::filesystem::path(TEST_DATA_DIR) / "../../fuzz/corpus/csv_file";
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string bytes = readWholeFile(entry.path().string());
        EXPECT_TRUE(csvFileRoundTripHolds(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
            << entry.path();
        ++seeds;
    }
    EXPECT_GE(seeds, 5);

    // Random texts over the bytes that matter to the reader.
    const char alphabet[] = {',', '"', '\r', '\n', 'a', '\0', '\x82', '\xA0', '\xEF', '\xBB', '\xBF', ' '};
    std::mt19937 random(2026);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(random() % 40, ' ');
        for (char& byte : bytes) byte = alphabet[random() % sizeof alphabet];
        if (round % 5 == 0) bytes.insert(0, "\xEF\xBB\xBF");
        EXPECT_TRUE(csvFileRoundTripHolds(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
            << testing::PrintToString(bytes);
    }
}
