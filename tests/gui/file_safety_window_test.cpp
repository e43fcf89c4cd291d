// The window's side of the paths where points could be lost: a file that breaks off, undo past the
// files the editor was started with, a save that would write fewer records than its file holds.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <string>

#include "app/gui/main_window.h"
#include "tests/gui/scripted_questions.h"
#include "tests/support/gui_application.h"
#include "tests/support/tagged_records.h"
#include "tests/support/temporary_directory.h"
#include "text/file_io.h"

namespace {

// File dialogs answered by the test; questions real unless scripted.
class TSafetyForm : public TMainForm {
public:
    QStringList nextFileNames;
    bool scripted = false;
    TScriptedQuestions questions;

protected:
    QStringList execFileDialog(QFileDialog&) override { return nextFileNames; }
    void showMessage(QMessageBox::Icon, const QString&) override {}
    int askQuestion(const QString& text, const QStringList& buttons, int escape) override {
        return scripted ? questions.answer(text, buttons) : TMainForm::askQuestion(text, buttons, escape);
    }
};

class FileSafetyWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApplication();
        form = std::make_unique<TSafetyForm>();
        form->show();
    }
    void TearDown() override { form.reset(); }

    // A point-mark file of records whose cells hold "<tag>R-C".
    std::string writeRecords(const std::string& name, int records, const std::string& tag) const {
        TMainFormCore source;
        fillTaggedRecords(source.Table, records, tag);
        source.SaveFile(dir_.path(name));
        return dir_.path(name);
    }

    // Clicks the button with the given text in the next message box that opens, once it is up;
    // its text is kept in asked.
    void clickInNextMessageBox(const QString& button) {
        QTimer::singleShot(50, [this, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return clickInNextMessageBox(button);
            asked = box->text();
            for (QAbstractButton* candidate : box->buttons())
                if (candidate->text() == button) candidate->click();
        });
    }

    std::unique_ptr<TSafetyForm> form;
    QString asked;
    TemporaryDirectory dir_{"pm-gui-safety"};
};

} // namespace

TEST_F(FileSafetyWindowTest, AFileThatBreaksOffIsAskedAboutInARealDialog) {
    const std::string whole = readWholeFile(writeRecords("cut.xml", 3, "r"));
    writeFileAtomically(dir_.path("cut.xml"), whole.substr(0, whole.find("<lat>r2-6") + 5) + "&bad");
    const int line = static_cast<int>(std::count(whole.begin(), whole.begin() + whole.find("<lat>r2-6"), '\n')) + 1;
    form->Core.StringGridXMLSetEditText(4, 1, "mine");
    const QString titleBefore = form->captionText();
    form->nextFileNames = {QString::fromStdString(dir_.path("cut.xml"))};

    // Asked for the unsaved edit first (scripted), then the real question about the broken file.
    form->scripted = true;
    form->questions.answers = {1, 1};
    form->FileLoadXML->trigger();
    ASSERT_EQ(form->questions.asked.size(), 2);
    EXPECT_EQ(form->questions.asked[1],
              QString::fromUtf8("ファイルの途中で読み込みが止まりました (%1 行目)。読み込めた 1 件で置き換えますか?")
                  .arg(line));
    EXPECT_EQ(form->Core.Table.cell(4, 1), "mine");
    EXPECT_EQ(form->captionText(), titleBefore);

    form->scripted = false;
    form->Core.EditUndoClick(); // nothing unsaved: the load asks only about the file
    clickInNextMessageBox(QString::fromUtf8("取り消す"));
    form->FileLoadXML->trigger();
    EXPECT_TRUE(asked.contains(QString::fromUtf8("読み込めた 1 件で置き換えますか?"))) << asked.toStdString();
    EXPECT_EQ(form->Core.Table.RecordCount, 1);
    EXPECT_EQ(form->Core.Table.cell(4, 1), "");
    EXPECT_FALSE(form->Core.Modified);

    asked.clear();
    clickInNextMessageBox(QString::fromUtf8("置き換える"));
    form->FileLoadXML->trigger();
    EXPECT_FALSE(asked.isEmpty());
    EXPECT_EQ(form->Core.Table.RecordCount, 1);
    EXPECT_EQ(form->Core.Table.cell(4, 1), "r1-4");
    EXPECT_EQ(form->Core.CurrentFileName, dir_.path("cut.xml"));
}

TEST_F(FileSafetyWindowTest, UndoStopsAtTheFilesTheEditorWasStartedWith) {
    const std::string first = writeRecords("first.xml", 3, "f");
    const std::string second = writeRecords("second.xml", 2, "s");
    form->openFiles({QString::fromStdString(first), QString::fromStdString(second)});
    ASSERT_EQ(form->Core.Table.RecordCount, 5);
    EXPECT_FALSE(form->Core.History.canUndo());
    form->EditUndo->trigger();
    EXPECT_EQ(form->Core.Table.RecordCount, 5);
    EXPECT_TRUE(form->Core.Modified); // the added file is not in first.xml
}

TEST_F(FileSafetyWindowTest, ASaveOverAFileWithMoreRecordsAsksAndTheQuitQuestionNamesRowsLeftOut) {
    const std::string thirty = writeRecords("thirty.xml", 30, "p");
    const std::string bytes = readWholeFile(thirty);
    form->scripted = true;
    form->openFiles({QString::fromStdString(thirty)});
    form->Core.EditDeleteRows({4, 5});
    form->questions.answers = {1};
    form->FileSaveXML->trigger();
    ASSERT_EQ(form->questions.asked.size(), 1);
    EXPECT_EQ(form->questions.asked[0],
              QString::fromUtf8("%1 には 30 件ありますが、28 件で上書きします。よろしいですか?")
                  .arg(QString::fromStdString(thirty)));
    EXPECT_EQ(readWholeFile(thirty), bytes);
    EXPECT_TRUE(form->Core.Modified);

    // Undone, a required cell emptied: the save leaves record 3 out and the quit question names it.
    form->Core.EditUndoClick();
    form->Core.StringGridXMLSetEditText(4, 3, "");
    form->questions.answers = {0};
    form->FileSaveXML->trigger();
    EXPECT_TRUE(form->Core.Modified);
    form->questions.answers = {2};
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->questions.asked.back().contains(QString::fromUtf8("次の 1 行は必須項目が空のため")))
        << form->questions.asked.back().toStdString();
    EXPECT_TRUE(form->questions.asked.back().contains("\n3\n"));
}
