#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz/csv_file.h"
#include "fuzz/document_chain.h"
#include "fuzz/document_checks.h"
#include "fuzz/document_front.h"
#include "fuzz/external_subset.h"
#include "fuzz/text_layer.h"
#include "tests/support/test_data.h"
#include "text/file_io.h"

// The seeds of every fuzz target keep the target's property in the ordinary test run, each seed a
// case of its own named after its file.

namespace {

using Property = bool (*)(const std::uint8_t* data, std::size_t size);

struct Seed {
    std::filesystem::path file;
    Property holds;
};

// Listed and reported by its file name.
void PrintTo(const Seed& seed, std::ostream* out) { *out << seed.file.filename().string(); }

std::vector<Seed> seedsOf(const std::string& target, Property holds) {
    std::vector<Seed> seeds;
    for (const std::filesystem::path& file : fuzzCorpus(target)) seeds.push_back({file, holds});
    return seeds;
}

// The file name with everything but letters and digits made an underscore: two_roots_xml.
std::string caseName(const testing::TestParamInfo<Seed>& info) {
    std::string name = info.param.file.filename().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class FuzzSeed : public testing::TestWithParam<Seed> {};

} // namespace

TEST_P(FuzzSeed, KeepsTheTargetsProperty) {
    const std::string bytes = readWholeFile(GetParam().file.string());
    EXPECT_TRUE(GetParam().holds(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
        << "seed " << GetParam().file;
}

INSTANTIATE_TEST_SUITE_P(TextLayer, FuzzSeed, testing::ValuesIn(seedsOf("text_layer", textLayerHolds)), caseName);
INSTANTIATE_TEST_SUITE_P(DocumentChain, FuzzSeed, testing::ValuesIn(seedsOf("document_chain", documentChainHolds)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(DocumentFront, FuzzSeed, testing::ValuesIn(seedsOf("document_front", documentFrontReadHolds)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(ExternalSubset, FuzzSeed,
                         testing::ValuesIn(seedsOf("external_subset", externalSubsetReadHolds)), caseName);
INSTANTIATE_TEST_SUITE_P(DocumentChecks, FuzzSeed, testing::ValuesIn(seedsOf("document_checks", documentChecksHold)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(CsvFile, FuzzSeed, testing::ValuesIn(seedsOf("csv_file", csvFileRoundTripHolds)), caseName);

// A corpus that went missing would otherwise leave its target without a case.
TEST(FuzzCorpus, EveryTargetHasItsSeeds) {
    const struct {
        const char* target;
        std::size_t least;
    } corpora[] = {{"text_layer", 10},     {"document_chain", 5}, {"document_front", 6},
                   {"external_subset", 5}, {"csv_file", 5},       {"document_checks", 7}};
    for (const auto& corpus : corpora) EXPECT_GE(fuzzCorpus(corpus.target).size(), corpus.least) << corpus.target;
}
