#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The path of a file under tests/data, e.g. testDataPath("app/xml/velmar.dtd").
std::string testDataPath(const std::string& relative);

// The bytes of a file under tests/data; raises EFOpenError when it cannot be read.
std::string readTestData(const std::string& relative);

// The seed files of a fuzz target (fuzz/corpus/<target>/), sorted by name.
std::vector<std::filesystem::path> fuzzCorpus(const std::string& target);
