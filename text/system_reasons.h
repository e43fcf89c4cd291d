#pragma once

#include <string>
#include <string_view>

// The reasons the system gives for a failed file operation, as the file errors put them after
// the file's name in their messages.

// The English text of an errno value, whatever the process locale (a window toolkit may have set
// a Japanese one): the reason every file error gives, so that the command-line tools print
// English and a window can recognise the reason to show it in Japanese.
std::string systemReason(int error);

// A reason as the file errors give it, for a Japanese reader: the common ones (no such file or
// folder, permission denied, disk full, read-only file system, is a folder, not a folder, name too
// long, too many links) in Japanese with the English text kept after them in parentheses, for
// example "ファイルまたはフォルダーがありません (No such file or directory)"; any other text
// as it is. UTF-8.
std::string japaneseSystemReason(std::string_view reason);
