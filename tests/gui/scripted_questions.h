#pragma once

#include <QString>
#include <QStringList>
#include <deque>

// Answers the main window's questions in tests, without a dialog: with the next scripted answer
// (a button index, -1 for a box closed otherwise) when there is one, else with the button that
// goes on as if nothing had been asked (discard the changes, replace the file, store with "?").
struct TScriptedQuestions {
    QStringList asked;
    std::deque<int> answers;

    int answer(const QString& text, const QStringList& buttons) {
        asked.push_back(text);
        if (!answers.empty()) {
            const int next = answers.front();
            answers.pop_front();
            return next;
        }
        for (const char* goOn : {"破棄", "置き換える", "\"?\" にして確定", "\"?\" にして貼り付け"}) {
            const int index = static_cast<int>(buttons.indexOf(QString::fromUtf8(goOn)));
            if (index >= 0) return index;
        }
        return -1;
    }
};
