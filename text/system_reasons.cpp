#include "text/system_reasons.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>

std::string systemReason(int error) {
    // The C locale's texts are glibc's own English ones.
    static const locale_t english = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return english ? ::strerror_l(error, english) : std::strerror(error);
}

std::string japaneseSystemReason(std::string_view reason) {
    static const struct {
        int error;
        const char* japanese;
    } kReasons[] = {
        {ENOENT, "ファイルまたはフォルダーがありません"},
        {EACCES, "アクセスが拒否されました"},
        {EPERM, "この操作は許可されていません"},
        {ENOSPC, "ディスクの空き領域が足りません"},
        {EDQUOT, "ディスクの使用量が上限に達しました"},
        {EROFS, "読み取り専用のファイルシステムです"},
        {EISDIR, "ファイルではなくフォルダーです"},
        {ENOTDIR, "パスの途中にフォルダーでないものがあります"},
        {ENAMETOOLONG, "ファイル名が長すぎます"},
        {ELOOP, "シンボリックリンクが多すぎるか、循環しています"},
        {EMLINK, "リンクが多すぎます"},
    };
    for (const auto& known : kReasons) {
        const std::string english = systemReason(known.error);
        if (reason == english) return std::string(known.japanese) + " (" + english + ")";
    }
    return std::string(reason);
}
