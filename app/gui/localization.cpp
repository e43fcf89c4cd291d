#include "app/gui/localization.h"

#include <QLibraryInfo>
#include <QRegularExpression>

#include "text/system_reasons.h"

std::unique_ptr<QTranslator> loadQtJapaneseTranslation() {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return nullptr;
    return translator;
}

QString japaneseErrorText(const QString& message) {
    // "Cannot open file "NAME". REASON" and "Cannot create file "NAME". REASON"; the name may hold
    // quotes and line breaks, so the reason starts after the last quote followed by ". ".
    static const QRegularExpression fileError(R"re(^Cannot (open|create) file "(.*)"\. (.*)$)re",
                                              QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = fileError.match(message);
    if (!match.hasMatch()) return message;
    QString reason = match.captured(3);
    // The reasons the core gives itself, for names and files it does not read or write.
    if (reason == "Not a regular file")
        reason = QString::fromUtf8("通常のファイルではありません");
    else if (reason == "The name ends in neither .xml/.XML nor .csv/.CSV")
        reason = QString::fromUtf8("名前の末尾が .xml/.XML でも .csv/.CSV でもありません");
    else if (reason == "The name must end in .xml or .csv to choose the file's format")
        reason = QString::fromUtf8("ファイルの形式を決めるため、名前の末尾は .xml か .csv にしてください");
    else
        reason = QString::fromStdString(japaneseSystemReason(reason.toStdString()));
    const QString pattern = match.captured(1) == "open" ? QString::fromUtf8("ファイル \"%1\" を開けません。%2")
                                                        : QString::fromUtf8("ファイル \"%1\" を作成できません。%2");
    return pattern.arg(match.captured(2), reason);
}
