#pragma once

#include <string>
#include <string_view>

// Whole-file operations on file names in the file system's bytes (UTF-8 on Linux).

// Raises EFOpenError "Cannot open file \"NAME\". REASON" when the file cannot be read.
std::string readWholeFile(const std::string& fileName);

// Writes bytes in one operation: a temporary file in the same directory, renamed over the
// target. On failure the temporary file is removed, the target is left as it was, and
// EFCreateError "Cannot create file \"NAME\". REASON" is raised.
void writeFileAtomically(const std::string& fileName, std::string_view bytes);

// The directory part of a file name including its final "/"; empty when there is none.
// "\" is an ordinary character.
std::string directoryOf(const std::string& fileName);
