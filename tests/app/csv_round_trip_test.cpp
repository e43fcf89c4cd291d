#include <gtest/gtest.h>

#include <random>

#include "fuzz/csv_file.h"

// Random texts over the bytes that matter to the reader (the fuzz target's seeds are replayed
// with the other targets' seeds).
TEST(CsvRoundTrip, RandomBytesLoadAndSaveStably) {
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
