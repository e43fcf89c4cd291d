#pragma once

#include <QString>
#include <QTranslator>
#include <memory>

// Qt's own Japanese translation (file dialogs, standard buttons, context menus), or none when it is
// not installed.
std::unique_ptr<QTranslator> loadQtJapaneseTranslation();

// The text of an error for a message box of the window. The file errors of the core, which the
// command-line tools print in English, are given in Japanese with the file's name and the system's
// reason kept as they are; every other text is returned unchanged.
QString japaneseErrorText(const QString& message);
