#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "app/gui/localization.h"
#include "app/gui/main_window.h"
#include "app/gui/string_grid.h"
#include "tests/support/gui_application.h"
#include "tests/support/temporary_directory.h"
#include "text/file_io.h"

namespace {

// The main window with its file dialogs answered by the test and counted, its messages recorded.
class TFileForm : public TMainForm {
public:
    QStringList nextFileNames;
    int dialogs = 0;
    QStringList messages;

protected:
    QStringList execFileDialog(QFileDialog&) override {
        ++dialogs;
        return nextFileNames;
    }
    void showMessage(QMessageBox::Icon, const QString& text) override { messages.push_back(text); }
    int askQuestion(const QString&, const QStringList&, int) override { return 1; } // discard, do not replace
};

class FileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApplication();
        form = std::make_unique<TFileForm>();
    }
    void TearDown() override { form.reset(); }
    // A CSV file whose records hold one cell each.
    QString csv(const std::string& name, const std::string& records) {
        std::ofstream(dir_.path(name), std::ios::binary) << "h\r\n" + records;
        return QString::fromStdString(dir_.path(name));
    }
    QStringList recentMenu(TMainForm& window) const {
        QStringList texts;
        for (const QAction* item : window.MenuRecent->actions())
            if (item->isVisible()) texts << item->text();
        return texts;
    }

    std::unique_ptr<TFileForm> form;
    TemporaryDirectory dir_{"pm-gui-files"};
};

} // namespace

TEST_F(FileCommandsTest, CommandLineLoadsTheFirstFileAndAddsTheOthers) {
    const QString first = csv("first.csv", "a1\r\na2\r\n");
    csv("second.csv", "b1\r\n");
    const QString third = csv("third.csv", "c1\r\n");
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    // A name relative to the working directory, a file URL as a file manager gives it, a missing file.
    form->openFiles({first, "second.csv", QUrl::fromLocalFile(third).toString(), "missing.csv"});
    std::filesystem::current_path(cwd);

    const TMainFormCore& core = form->Core;
    EXPECT_EQ(core.Table.RecordCount, 4);
    EXPECT_EQ(core.Table.cell(0, 1) + core.Table.cell(0, 2) + core.Table.cell(0, 3) + core.Table.cell(0, 4),
              "a1a2b1c1");
    EXPECT_EQ(core.CurrentFileName, first.toStdString());
    EXPECT_EQ(core.Table.StatusText, "add: " + third.toStdString());
    EXPECT_TRUE(core.Modified);
    EXPECT_EQ(form->recentFiles(), QStringList{first});
    // The core's English file error is shown in Japanese, with the system's reason kept after it.
    EXPECT_EQ(form->messages,
              QStringList{QString::fromUtf8("ファイル \"%1/missing.csv\" を開けません。"
                                            "ファイルまたはフォルダーがありません (No such file or directory)")
                              .arg(QString::fromStdString(dir_.path()))});
}

TEST_F(FileCommandsTest, SaveWritesTheCurrentFileAndSaveAsAlwaysAsks) {
    form->nextFileNames = {QString::fromStdString(dir_.path("table.csv"))};
    form->FileSaveXML->trigger(); // no current file yet: asks
    EXPECT_EQ(form->dialogs, 1);
    form->Core.StringGridXMLSetEditText(3, 1, "edited");
    form->FileSaveXML->trigger(); // now it has one
    EXPECT_EQ(form->dialogs, 1);
    EXPECT_NE(readWholeFile(dir_.path("table.csv")).find("edited"), std::string::npos);
    EXPECT_FALSE(form->Core.Modified);

    form->nextFileNames = {QString::fromStdString(dir_.path("sub/copy.csv"))};
    std::filesystem::create_directory(dir_.path("sub"));
    form->FileSaveAs->trigger();
    EXPECT_EQ(form->dialogs, 2);
    EXPECT_EQ(form->Core.CurrentFileName, dir_.path("sub/copy.csv"));
    // A save that fails keeps the changes unsaved and says why in Japanese.
    std::filesystem::remove_all(dir_.path("sub"));
    form->Core.StringGridXMLSetEditText(3, 1, "again");
    form->FileSaveXML->trigger();
    EXPECT_TRUE(form->Core.Modified);
    ASSERT_EQ(form->messages.size(), 1);
    EXPECT_TRUE(form->messages[0].startsWith(
        QString::fromUtf8("ファイル \"%1/sub/copy.csv\" を作成できません。").arg(QString::fromStdString(dir_.path()))))
        << form->messages[0].toStdString();
}

TEST_F(FileCommandsTest, RecentFilesFollowLoadsAndSavesAndOpenAgain) {
    const QString a = csv("a.csv", "a\r\n"), b = csv("r&d.csv", "b\r\n");
    for (const QString& name : {a, b, a}) {
        form->nextFileNames = {name};
        form->FileLoadXML->trigger();
    }
    form->nextFileNames = {QString::fromStdString(dir_.path("saved.csv"))};
    form->FileSaveAs->trigger();
    const QString saved = QString::fromStdString(dir_.path("saved.csv"));
    EXPECT_EQ(form->recentFiles(), QStringList({saved, a, b}));

    // Another window sees the same list; a file that is gone shows the error and changes nothing.
    TFileForm other;
    EXPECT_EQ(recentMenu(other), QStringList({"&1 " + saved, "&2 " + a, "&3 " + QString(b).replace("&", "&&")}));
    std::filesystem::remove(a.toStdString());
    const auto rows = other.Core.Table.rows();
    other.MenuRecent->actions()[1]->trigger();
    EXPECT_EQ(other.messages.size(), 1);
    EXPECT_EQ(other.Core.Table.rows(), rows);
    other.MenuRecent->actions()[2]->trigger();
    EXPECT_EQ(other.Core.Table.cell(0, 1), "b");
    EXPECT_EQ(other.recentFiles().front(), b);

    for (int i = 0; i < 12; ++i) {
        other.nextFileNames = {QString::fromStdString(dir_.path("x") + std::to_string(i) + ".csv")};
        other.FileSaveAs->trigger();
    }
    EXPECT_EQ(recentMenu(other).size(), TMainForm::kMaxRecentFiles);
    EXPECT_EQ(recentMenu(other).back(), "1&0 " + QString::fromStdString(dir_.path()) + "/x2.csv");
}

TEST_F(FileCommandsTest, WindowPlaceAndColumnWidthsComeBackAndTheFirstStartFitsTheScreen) {
    // Four fifths of each side of the free area, centred with its frame.
    EXPECT_EQ(firstWindowGeometry(QRect(0, 0, 1920, 1080), 1400), QRect(184, 84, 1536, 864));
    // Wider where every column then shows; never beyond the screen.
    EXPECT_EQ(firstWindowGeometry(QRect(0, 0, 1600, 1000), 1400), QRect(92, 76, 1400, 800));
    const QRect shrunk = firstWindowGeometry(QRect(0, 30, 800, 570), 1400);
    EXPECT_TRUE(QRect(0, 30, 800, 570).contains(shrunk.adjusted(0, 0, 16, 48)));
    // At 1600 pixels the grid shows all sixteen columns.
    form->show();
    form->resize(firstWindowGeometry(QRect(0, 0, 1600, 1000), form->everyColumnWidth()).size());
    processEventsFor(50);
    const TStringGrid* grid = form->StringGridXML;
    EXPECT_LE(grid->columnViewportPosition(15) + grid->columnWidth(15), grid->viewport()->width());

    form->show();
    form->resize(640, 480);
    form->move(20, 30);
    form->StringGridXML->setColumnWidth(4, 150);
    ASSERT_TRUE(form->close());
    TFileForm second;
    second.show();
    EXPECT_EQ(second.geometry(), form->geometry());
    EXPECT_EQ(second.StringGridXML->columnWidth(4), 150);
    EXPECT_EQ(second.StringGridXML->columnWidth(5), 100);
}

TEST_F(FileCommandsTest, MessageBoxesAreWideEnoughForTheirWholeTitle) {
    // A short message and a question, both answered by a real box.
    TMainForm window;
    window.show();
    std::vector<int> widths;
    int titleWidth = 0;
    auto closeBox = [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QFont bold = QApplication::font();
            bold.setBold(true);
            titleWidth = QFontMetrics(bold).horizontalAdvance(box->windowTitle());
            widths.push_back(box->width());
            box->reject();
        }
    };
    QTimer::singleShot(50, closeBox);
    window.EditFindDuplicates->trigger(); // "重複はありません。"
    window.EditAdd->trigger();
    QTimer::singleShot(50, closeBox);
    EXPECT_FALSE(window.close()); // asks about the unsaved record; closing the box cancels
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_GT(titleWidth, 0);
    // Room beside the title for a title bar's icon and its three buttons.
    for (const int width : widths) EXPECT_GE(width, titleWidth + 120);
}

TEST_F(FileCommandsTest, QtTranslationIsJapanese) {
    const std::unique_ptr<QTranslator> translation = loadQtJapaneseTranslation();
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(translation->translate("QPlatformTheme", "Cancel"), QString::fromUtf8("キャンセル"));
    // A name with quotes and the core's own reasons; other texts stay as they are.
    EXPECT_EQ(japaneseErrorText("Cannot open file \"a\". b\". txt\". Not a regular file"),
              QString::fromUtf8("ファイル \"a\". b\". txt\" を開けません。通常のファイルではありません"));
    EXPECT_EQ(japaneseErrorText("Stream read error"), "Stream read error");
}
