#pragma once

#include <string_view>

// The editor's own definition of the point-mark DTD. A point-mark file names "velmar.dtd" and is
// read with the copy beside it; where there is none, the editor reads the file with this one, so
// that every file it writes opens again anywhere.
extern const std::string_view kBuiltInDtdName;
extern const std::string_view kBuiltInDtdText;
