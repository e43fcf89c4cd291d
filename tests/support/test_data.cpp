#include "tests/support/test_data.h"

#include <algorithm>

#include "text/file_io.h"

std::string testDataPath(const std::string& relative) { return std::string(SOURCE_DIR) + "/tests/data/" + relative; }

std::string readTestData(const std::string& relative) { return readWholeFile(testDataPath(relative)); }

std::vector<std::filesystem::path> fuzzCorpus(const std::string& target) {
    std::vector<std::filesystem::path> seeds;
    const std::filesystem::path folder = std::filesystem::path(SOURCE_DIR) / "fuzz" / "corpus" / target;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing))
        if (entry.is_regular_file()) seeds.push_back(entry.path());
    std::sort(seeds.begin(), seeds.end());
    return seeds;
}
