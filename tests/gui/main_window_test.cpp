#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDockWidget>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "app/gui/about_box.h"
#include "app/gui/filter_bar.h"
#include "app/gui/find_bar.h"
#include "app/gui/main_window.h"
#include "app/gui/map_view.h"
#include "app/gui/point_mark_model.h"
#include "app/gui/record_filter_model.h"
#include "app/gui/string_grid.h"
#include "scripted_questions.h"
#include "tests/support/gui_application.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/file_io.h"
#include "text/utf8.h"

// Fontconfig keeps caches that it never frees; in sanitizer builds they are not our leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace {

// The main window with its file dialogs answered by the test and its messages recorded.
class TTestForm : public TMainForm {
public:
    QStringList nextFileNames;
    QStringList filtersSeen;
    std::vector<QString> messages;
    bool realMessageBox = false;

protected:
    QStringList execFileDialog(QFileDialog& dialog) override {
        filtersSeen = dialog.nameFilters();
        return nextFileNames;
    }
    void showMessage(QMessageBox::Icon icon, const QString& text) override {
        messages.push_back(text);
        if (realMessageBox) TMainForm::showMessage(icon, text);
    }
    int askQuestion(const QString& text, const QStringList& buttons, int) override {
        return questions.answer(text, buttons);
    }
    int askRecordNumber(int, int) override { return nextRecordNumber; }

public:
    TScriptedQuestions questions;
    int nextRecordNumber = 0;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApplication();
        form = std::make_unique<TTestForm>();
        form->show();
    }
    void TearDown() override { form.reset(); }
    std::string writeFile(const char* name, const std::string& bytes) {
        const std::string path = dir_.path(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string path(const char* name) const { return dir_.path(name); }
    QModelIndex cellIndex(int column, int tableRow) const {
        return form->TableIndex(column, tableRow);
    }

    std::unique_ptr<TTestForm> form;
    TemporaryDirectory dir_{"pm-gui"};
};

} // namespace

TEST_F(MainWindowTest, MenusCaptionsAndShortcuts) {
    EXPECT_EQ(form->windowTitle(), "XML Editor for ORVEX's Point Mark");
    // Each menu as "title: object caption shortcut; ..." (separators left out).
    QStringList menus;
    for (const QAction* menu : form->menuBar()->actions()) {
        QString text = menu->text() + ":";
        for (const QAction* item : menu->menu()->actions())
            if (!item->isSeparator())
                text += " " + item->objectName() + " " + item->text() + " " + item->shortcut().toString() + ";";
        menus << text;
    }
    EXPECT_EQ(menus,
              QStringList({"ファイル(&F): FileLoadXML ファイル読込 Ctrl+O; FileAdd ファイル追加 ; FileSaveXML "
                           "ファイル保存 Ctrl+S; FileSaveAs 名前を付けて保存 Ctrl+Shift+S; FileRecent "
                           "最近使ったファイル ; FileExit 終了 Ctrl+Q;",
                           "編集(&E): EditUndo 元に戻す Ctrl+Z; EditRedo やり直し Ctrl+Y; EditCut 切り取り Ctrl+X; "
                           "EditCopy コピー Ctrl+C; EditPaste 貼り付け Ctrl+V; EditClear 内容のクリア Del; "
                           "EditSort 並び替え ; EditAdd 項目追加 Ctrl+N; EditInsert 行の挿入 Ctrl+Shift+N; "
                           "EditDelete 削除 Ctrl+D; EditFind 検索 Ctrl+F; EditReplace 置換 Ctrl+H; "
                           "EditGoTo 指定のレコードへ移動 Ctrl+G; EditFilter 絞り込み Ctrl+Shift+L; "
                           "EditNextProblem 次の問題へ F8;  測地系変換 ; EditFindDuplicates 重複の検出 ; "
                           "EditDuplicateDistance 重複とみなす距離... ;",
                           "表示(&V): ViewMap 地図 Ctrl+M; ViewProblems 問題の一覧 ;",
                           "ヘルプ(&H): HelpVersion バージョン情報 ; HelpMessages 読込メッセージ ;"}));
}

TEST_F(MainWindowTest, GridShowsHeaderRowWidthsAndOneRecordRow) {
    const char* headers[] = {"DATUM", "UNIT",     "TIME",     "NOTE",   "地点名",   "読み仮名",  "緯度",  "経度",
                             "住所",  "カテゴリ", "アイコン", "音種類", "繰り返し", "有効/無効", "距離1", "距離2"};
    TStringGrid* grid = form->StringGridXML;
    ASSERT_EQ(form->Model->columnCount(), 16);
    EXPECT_EQ(form->Model->rowCount(), 1); // one record row below the header
    for (int c = 0; c < 16; ++c) {
        EXPECT_EQ(form->Model->headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(headers[c]));
        EXPECT_EQ(grid->columnWidth(c), c == 4 || c == 5 ? 100 : 80) << c;
        EXPECT_EQ(form->Model->data(form->Model->index(0, c)).toString(), "");
    }
    EXPECT_EQ(grid->rowHeight(0), 17);
    EXPECT_EQ(grid->font().pixelSize(), 13);
    EXPECT_EQ(form->font().pixelSize(), 12);
    EXPECT_TRUE(form->Model->flags(form->Model->index(0, 3)) & Qt::ItemIsEditable);
}

TEST_F(MainWindowTest, ModelEditsGoThroughTheTableAsCodePage932) {
    TPointMarkModel* model = form->Model;
    const QModelIndex cell = model->index(0, 4);
    EXPECT_TRUE(model->setData(cell, QString::fromUtf8("東京駅")));
    EXPECT_EQ(form->Core.Table.cell(4, 1), "\x93\x8c\x8b\x9e\x89\x77");
    // Bytes that do not decode are shown with the replacement character and survive an unchanged edit.
    const std::string invalid("\x81\x20\xff", 3);
    form->Core.Table.setCell(3, 1, invalid);
    const QString shown = model->data(model->index(0, 3)).toString();
    EXPECT_TRUE(shown.contains(QChar(0x30FB)));
    EXPECT_TRUE(model->setData(model->index(0, 3), shown));
    EXPECT_EQ(form->Core.Table.cell(3, 1), invalid);

    int inserted = 0, removed = 0, changed = 0;
    QObject::connect(model, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) { inserted += last - first + 1; });
    QObject::connect(model, &QAbstractItemModel::rowsRemoved,
                     [&](const QModelIndex&, int first, int last) { removed += last - first + 1; });
    QObject::connect(model, &QAbstractItemModel::dataChanged, [&] { ++changed; });
    form->EditAdd->trigger();
    form->EditAdd->trigger();
    EXPECT_EQ(inserted, 2);
    EXPECT_EQ(model->rowCount(), 3);
    model->setData(model->index(1, 0), "second");
    EXPECT_EQ(changed, 1);
    form->StringGridXML->setCurrentIndex(model->index(0, 0));
    form->EditDelete->trigger();
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), "second"); // the rows below moved up

    form->Core.Table.setRowCount(1); // the header row becomes an ordinary row
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), "DATUM");
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "");
}

TEST_F(MainWindowTest, StatusLineFollowsTheTimer) {
    form->EditAdd->trigger();
    form->EditAdd->trigger();
    form->StringGridXML->setCurrentIndex(cellIndex(2, 2));
    EXPECT_EQ(form->Core.Table.SelectedRow, 2);
    form->Core.Table.StatusText = "load: /tmp/地点.xml";
    processEventsFor(150);
    EXPECT_EQ(form->StatusLabel->text(), QString::fromUtf8("     2 / 3       load: /tmp/地点.xml"));
}

TEST_F(MainWindowTest, EnterMovesToColumnOneOfTheNextRow) {
    for (int i = 0; i < 5; ++i) form->EditAdd->trigger();
    TStringGrid* grid = form->StringGridXML;
    grid->setFocus();
    grid->setCurrentIndex(cellIndex(15, 4));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(grid, &enter);
    EXPECT_EQ(grid->currentIndex(), cellIndex(1, 5));
    EXPECT_EQ(form->Core.Table.SelectedRow, 5);
    QApplication::sendEvent(grid, &enter);
    EXPECT_EQ(grid->currentIndex(), cellIndex(2, 5));
    grid->setCurrentIndex(cellIndex(15, 6)); // last cell of the last row: stays
    QApplication::sendEvent(grid, &enter);
    EXPECT_EQ(grid->currentIndex(), cellIndex(15, 6));

    // Enter while editing stores the text and then moves.
    grid->setCurrentIndex(cellIndex(15, 3));
    grid->edit(grid->currentIndex());
    QLineEdit* editor = grid->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("500");
    QKeyEvent enterInEditor(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enterInEditor);
    processEventsFor(50);
    EXPECT_EQ(form->Core.Table.cell(15, 3), "500");
    EXPECT_EQ(grid->currentIndex(), cellIndex(1, 4));
}

TEST_F(MainWindowTest, DroppedFilesAreAddedInOrderAndAFailureSkipsOnlyItself) {
    const std::string first = writeFile("first.csv", "h\r\na1\r\na2\r\na3\r\n");
    const std::string second = writeFile("second.csv", "h\r\nb1\r\n");
    auto drop = [&](const std::vector<std::string>& names) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const std::string& name : names) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(name)));
        urls.push_back(QUrl("https://example.invalid/remote.csv")); // not a local file: ignored
        mime.setUrls(urls);
        // A drop goes to the widget that accepted the drag.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &event);
    };
    form->Core.Table.StatusText = "add: x";
    drop({first, second});
    EXPECT_EQ(form->Core.Table.RecordCount, 5); // after the start-up's empty record, in order
    EXPECT_EQ(form->Core.Table.cell(0, 2), "a1");
    EXPECT_EQ(form->Core.Table.cell(0, 5), "b1");
    EXPECT_EQ(form->Core.Table.StatusText, "add: x");
    EXPECT_TRUE(form->messages.empty());
    EXPECT_TRUE(form->Core.Modified);

    drop({path("missing.csv"), second});
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_TRUE(form->messages[0].contains("missing.csv"));
    EXPECT_EQ(form->Core.Table.cell(0, 6), "b1"); // the later file was still added
    EXPECT_TRUE(form->MessagePanel->isVisible());
    EXPECT_TRUE(form->Memo1->toPlainText().contains("No record was read from " + QString::fromStdString(path("missing.csv"))));
}

TEST_F(MainWindowTest, FileCommandsUseTheDialogsAndReportSkippedRows) {
    const std::string csv = writeFile("table.csv", "h\r\nWGS84,DEG,T,,N,,1,2,,C,I\r\n,,,,,\r\n");
    form->nextFileNames = {QString::fromStdString(csv), "ignored-second-choice.csv"};
    form->StringGridXML->setCurrentIndex(cellIndex(2, 1));
    form->FileLoadXML->trigger();
    EXPECT_EQ(form->StringGridXML->currentIndex(), cellIndex(2, 1)); // the load keeps the current cell
    EXPECT_EQ(form->filtersSeen, QStringList({"xml文書(*.xml)", "csv文書(*.csv)", "すべてのファイル(*.*)"}));
    EXPECT_EQ(form->Core.Table.StatusText, "load: " + csv);
    EXPECT_EQ(form->Core.Table.RecordCount, 2);

    const std::string out = path("out.xml");
    form->nextFileNames = {QString::fromStdString(out)};
    form->FileSaveAs->trigger();
    EXPECT_EQ(form->filtersSeen, QStringList({"xml文書(*.xml)", "csv文書(*.csv)"}));
    EXPECT_TRUE(std::filesystem::exists(out));
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_TRUE(form->messages[0].endsWith(":\n2")) << form->messages[0].toStdString(); // row 2 was left out

    form->nextFileNames = {}; // cancelled: nothing happens
    form->FileAdd->trigger();
    EXPECT_EQ(form->Core.Table.StatusText, "save: " + out);
}

TEST_F(MainWindowTest, ExceptionOfACommandIsShownAndTheWindowGoesOn) {
    form->realMessageBox = true;
    form->Core.Table.SelectedRow = 7; // beyond the data rows: the delete raises
    QString boxText;
    QTimer::singleShot(50, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxText = box->text();
            box->accept();
        }
    });
    form->EditDelete->trigger();
    EXPECT_EQ(boxText, "リストのインデックスが範囲を超えています (6)");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->Core.Table.RecordCount, 1);
    // The next command runs normally.
    form->EditAdd->trigger();
    EXPECT_EQ(form->Core.Table.RecordCount, 2);
    EXPECT_EQ(form->Model->rowCount(), 2);
}

TEST_F(MainWindowTest, VersionDialog) {
    TAboutBox* about = form->AboutBox;
    EXPECT_EQ(about->windowTitle(), "Version Information");
    EXPECT_EQ(about->size(), QSize(433, 140));
    EXPECT_EQ(about->ProductName->text(), QString::fromUtf8("XML Editor for ORVEX用地点マークファイル"));
    EXPECT_EQ(about->Version->text(), "Version 1.00");
    EXPECT_TRUE(about->OKButton->isDefault());
    bool shown = false;
    QTimer::singleShot(50, [&] {
        shown = about->isVisible();
        about->OKButton->click();
    });
    form->HelpVersion->trigger(); // modal: returns when OK closed it
    EXPECT_TRUE(shown);
    EXPECT_FALSE(about->isVisible());
}

TEST_F(MainWindowTest, UnsavedChangesShowInTheTitleAndAreAskedAboutBeforeTheyAreLost) {
    const QString title = "XML Editor for ORVEX's Point Mark";
    form->EditAdd->trigger();
    processEventsFor(150);
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("無題* - ") + title);

    // Closing asks; cancel keeps the window and the rows.
    form->questions.answers = {2};
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(form->questions.asked.size(), 1);
    EXPECT_TRUE(form->questions.asked[0].contains(QString::fromUtf8("保存しますか")));
    EXPECT_EQ(form->Core.Table.RecordCount, 2);

    // Save without a current file asks for a name; the ending of the chosen filter is added.
    form->questions.answers = {0};
    form->nextFileNames = {QString::fromStdString(path("kept"))};
    form->FileExit->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(std::filesystem::exists(path("kept.xml")));
    // Both empty records were left out of the file: the table still holds what the file does not.
    EXPECT_TRUE(form->Core.Modified);
    processEventsFor(150);
    EXPECT_EQ(form->windowTitle(), "kept.xml* - " + title);

    // A load over an edit asks first; "save" writes the current file without a dialog.
    form->show();
    for (int column : {0, 1, 2, 4, 6, 7, 9, 10}) form->Core.StringGridXMLSetEditText(column, 1, "edited");
    processEventsFor(150);
    EXPECT_EQ(form->windowTitle(), "kept.xml* - " + title);
    const std::string csv = writeFile("other.csv", "h\r\nrow\r\n");
    form->questions.answers = {0};
    form->nextFileNames = {QString::fromStdString(csv)};
    form->FileLoadXML->trigger();
    EXPECT_NE(readWholeFile(path("kept.xml")).find("edited"), std::string::npos);
    EXPECT_EQ(form->Core.CurrentFileName, csv);
    EXPECT_FALSE(form->Core.Modified);

    // Saving over an existing file asks; declining writes nothing.
    const std::string before = readWholeFile(path("kept.xml"));
    form->questions.answers = {1};
    form->nextFileNames = {QString::fromStdString(path("kept.xml"))};
    const int askedBefore = static_cast<int>(form->questions.asked.size());
    form->FileSaveAs->trigger();
    EXPECT_EQ(form->questions.asked.size(), askedBefore + 1);
    EXPECT_TRUE(form->questions.asked.back().contains("kept.xml"));
    EXPECT_EQ(readWholeFile(path("kept.xml")), before);
    EXPECT_EQ(form->Core.CurrentFileName, csv);

    // Discard closes without writing.
    form->EditAdd->trigger();
    form->questions.answers = {1};
    EXPECT_TRUE(form->close());
}

TEST_F(MainWindowTest, AnEditWithCharactersShiftJisLacksIsNotChangedSilently) {
    TStringGrid* grid = form->StringGridXML;
    grid->setFocus();
    grid->setCurrentIndex(cellIndex(4, 1));
    grid->edit(grid->currentIndex());
    QLineEdit* editor = grid->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QString::fromUtf8("Café😀é"));
    // Back to the edit: nothing is stored and the editor keeps the text.
    form->questions.answers = {0};
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    processEventsFor(50);
    ASSERT_EQ(form->questions.asked.size(), 1);
    EXPECT_TRUE(form->questions.asked[0].contains(QString::fromUtf8("「é」(U+00E9) 「😀」(U+1F600)")))
        << form->questions.asked[0].toStdString();
    EXPECT_EQ(form->Core.Table.cell(4, 1), "");
    EXPECT_FALSE(form->Core.Modified);
    ASSERT_EQ(grid->viewport()->findChild<QLineEdit*>(), editor);
    EXPECT_EQ(editor->text(), QString::fromUtf8("Café😀é"));
    // Accepting stores the characters as "?".
    form->questions.answers = {1};
    QApplication::sendEvent(editor, &enter);
    processEventsFor(50);
    EXPECT_EQ(form->Core.Table.cell(4, 1), "Caf???");
    EXPECT_TRUE(form->Core.Modified);
}

TEST_F(MainWindowTest, RangesGoThroughTheClipboardAndEveryEditUndoes) {
    for (int i = 0; i < 3; ++i) form->EditAdd->trigger(); // records 1-4
    TStringGrid* grid = form->StringGridXML;
    auto select = [&](int firstColumn, int firstRow, int lastColumn, int lastRow) {
        grid->setCurrentIndex(cellIndex(firstColumn, firstRow));
        grid->selectionModel()->select(QItemSelection(cellIndex(firstColumn, firstRow), cellIndex(lastColumn, lastRow)),
                                       QItemSelectionModel::ClearAndSelect);
    };
    // What a spreadsheet puts on the clipboard: two rows of two cells, one quoted with a tab.
    QApplication::clipboard()->setText(QString::fromUtf8("東京\t\"a\tb\"\r\n駅\t\r\n"));
    select(4, 3, 4, 3);
    form->EditPaste->trigger();
    EXPECT_EQ(form->Core.Table.cell(4, 3), cp932::encode(u"東京"));
    EXPECT_EQ(form->Core.Table.cell(5, 3), "a\tb");
    EXPECT_EQ(form->Core.Table.cell(4, 4), cp932::encode(u"駅"));
    EXPECT_TRUE(form->EditUndo->isEnabled());

    // Copy the block back out, paste it below the last record: the table grows by one record.
    select(4, 3, 5, 4);
    form->EditCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("東京\t\"a\tb\"\n駅\t\n"));
    select(0, 4, 0, 4);
    form->EditPaste->trigger();
    EXPECT_EQ(form->Core.Table.RecordCount, 5);
    EXPECT_EQ(form->Core.Table.cell(0, 5), cp932::encode(u"駅"));
    EXPECT_EQ(form->Model->rowCount(), 5);

    // Delete empties the selection; cut copies and empties; each is one step.
    select(4, 3, 5, 3);
    form->EditClear->trigger();
    EXPECT_EQ(form->Core.Table.cell(4, 3), "");
    EXPECT_EQ(form->Core.Table.cell(5, 3), "");
    form->EditUndo->trigger();
    EXPECT_EQ(form->Core.Table.cell(5, 3), "a\tb");

    // Rows with a selected cell go at once; undo brings all of them back.
    select(0, 2, 0, 4);
    form->EditDelete->trigger();
    EXPECT_EQ(form->Core.Table.RecordCount, 2);
    form->EditUndo->trigger();
    EXPECT_EQ(form->Core.Table.RecordCount, 5);
    EXPECT_EQ(form->Core.Table.cell(4, 4), cp932::encode(u"駅"));
    form->EditRedo->trigger();
    EXPECT_EQ(form->Core.Table.RecordCount, 2);

    // The right-click menu offers the same commands; row numbers are record numbers.
    EXPECT_TRUE(form->GridMenu->actions().contains(form->EditInsert));
    EXPECT_TRUE(grid->verticalHeader()->isVisible());
    EXPECT_EQ(form->Model->headerData(1, Qt::Vertical).toInt(), 2);
    select(0, 2, 0, 2);
    form->EditInsert->trigger();
    EXPECT_EQ(form->Core.Table.RecordCount, 3);
    EXPECT_EQ(form->Core.Table.row(2), TPointMarkRow{});
}

TEST_F(MainWindowTest, FindBarFilterGoToAndHeaderSort) {
    const std::string csv = writeFile("names.csv", cp932::encode(u"h\r\n1,,,,とうきょう\r\n2,,,,大阪\r\n3,,,,トウキョウ駅\r\n"
                                                                 u"4,,,,ﾄｳｷｮｳ\r\n5,,,,名古屋\r\n"));
    form->nextFileNames = {QString::fromStdString(csv)};
    form->FileLoadXML->trigger();
    ASSERT_EQ(form->Core.Table.RecordCount, 5);
    TStringGrid* grid = form->StringGridXML;
    grid->setCurrentIndex(cellIndex(0, 1));

    // Find with kana and width ignored: the three spellings of Tokyo, wrapping around.
    form->EditFind->trigger();
    EXPECT_TRUE(form->FindBar->isVisible());
    form->FindBar->FindText->setText(QString::fromUtf8("トウキョウ"));
    form->FindBar->JapaneseEquivalence->setChecked(true);
    std::vector<int> rows;
    for (int i = 0; i < 4; ++i) {
        form->FindBar->FindNext->click();
        rows.push_back(form->tableRowOf(grid->currentIndex()));
    }
    EXPECT_EQ(rows, (std::vector<int>{1, 3, 4, 1}));
    form->FindBar->FindPrevious->click();
    EXPECT_EQ(form->tableRowOf(grid->currentIndex()), 4);

    // Replace all is one step and tells how many cells changed.
    form->EditReplace->trigger();
    form->FindBar->ReplaceText->setText(QString::fromUtf8("東京"));
    form->FindBar->ReplaceAll->click();
    ASSERT_FALSE(form->messages.empty());
    EXPECT_EQ(form->messages.back(), QString::fromUtf8("3 個のセルを置換しました。"));
    EXPECT_EQ(form->Core.Table.cell(4, 3), cp932::encode(u"東京駅"));
    form->EditUndo->trigger();
    EXPECT_EQ(form->Core.Table.cell(4, 4), cp932::encode(u"ﾄｳｷｮｳ"));

    // The filter row shows the matching records; edits act on what is shown; saving writes all.
    form->EditFilter->trigger();
    form->FilterRow->Texts[4]->setText(QString::fromUtf8("とうきょう"));
    processEventsFor(400);
    EXPECT_EQ(form->Filter->rowCount(), 3);
    processEventsFor(150);
    EXPECT_EQ(form->FilterLabel->text(), QString::fromUtf8("表示 3 / 5 件"));
    grid->selectionModel()->select(QItemSelection(form->Filter->index(0, 4), form->Filter->index(2, 4)),
                                   QItemSelectionModel::ClearAndSelect);
    form->EditCopy->trigger(); // the hidden record 2 is not copied
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("とうきょう\nトウキョウ駅\nﾄｳｷｮｳ\n"));
    grid->setCurrentIndex(form->Filter->index(1, 0));
    EXPECT_EQ(form->tableRowOf(grid->currentIndex()), 3);
    form->EditDelete->trigger();
    EXPECT_EQ(form->Core.Table.RecordCount, 4);
    EXPECT_EQ(form->Filter->rowCount(), 2);
    form->EditAdd->trigger(); // a new record stays visible while the filter is on
    EXPECT_EQ(form->Filter->rowCount(), 3);
    form->FileSaveAs->trigger(); // over names.csv: every record, whatever the filter shows
    const std::string saved = readWholeFile(csv);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 6);

    // Go to a record the filter hides: the filter is cleared.
    form->nextRecordNumber = 2;
    form->EditGoTo->trigger();
    EXPECT_FALSE(form->Filter->isFiltering());
    EXPECT_EQ(form->tableRowOf(grid->currentIndex()), 2);
    form->EditFilter->trigger();
    EXPECT_FALSE(form->FilterRow->isVisible());

    // Header clicks: ascending, then descending, each one undo step.
    QHeaderView* header = grid->horizontalHeader();
    emit header->sectionClicked(0); // records 1, 2, 4, 5 and the empty one added
    EXPECT_EQ(form->Core.Table.cell(0, 1), "");
    EXPECT_EQ(form->Core.Table.cell(0, 2), "1");
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    emit header->sectionClicked(0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(form->Core.Table.cell(0, 1), "5");
    EXPECT_EQ(form->Core.Table.cell(0, 5), "");
    form->EditUndo->trigger();
    EXPECT_EQ(form->Core.Table.cell(0, 2), "1");
}

TEST_F(MainWindowTest, TheMapShowsALoadedFileAndFollowsTheSelectionBothWays) {
    const std::string csv = writeFile("places.csv", "h\r\n1,,,,a,,35.68,139.77,,shop\r\n2,,,,b,,34.69,135.50,,park\r\n"
                                                    "3,,,,c,,43.06,141.35,,shop\r\n");
    form->nextFileNames = {QString::fromStdString(csv)};
    form->FileLoadXML->trigger();
    form->ViewMap->trigger();
    ASSERT_TRUE(form->MapPanel->isVisible());
    processEventsFor(50);
    TMapView* map = form->MapView;
    // Each record is a dot where its coordinates project, in its category's colour.
    const QImage image = map->grab().toImage();
    for (int row = 1; row <= 3; ++row) {
        const QPointF at = map->viewPosition(std::stod(form->Core.Table.cell(7, row)), std::stod(form->Core.Table.cell(6, row)));
        EXPECT_EQ(image.pixel(at.toPoint()), map->categoryColour(form->Core.Table.cell(9, row))) << row;
        EXPECT_EQ(map->recordAt(at.toPoint()), row);
    }
    // A click on a dot selects its record in the table; a selection in the table shows on the map.
    emit map->recordClicked(2);
    EXPECT_EQ(form->tableRowOf(form->StringGridXML->currentIndex()), 2);
    emit map->recordsSelected({1, 3});
    std::vector<int> selected;
    for (const QModelIndex& index : form->StringGridXML->selectionModel()->selectedRows())
        selected.push_back(form->tableRowOf(index));
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, (std::vector<int>{1, 3}));
    // and the table's selection comes back to the map: the selected dots are outlined.
    const QImage marked = map->grab().toImage();
    auto outlined = [&](int row) {
        const QPointF at = map->viewPosition(std::stod(form->Core.Table.cell(7, row)), std::stod(form->Core.Table.cell(6, row)));
        return marked.pixel(at.toPoint() + QPoint(6, 0)) == qRgb(0, 0, 0);
    };
    EXPECT_TRUE(outlined(1));
    EXPECT_FALSE(outlined(2));
    EXPECT_TRUE(outlined(3));
    // A filter hides the dots of the records it hides.
    form->EditFilter->trigger();
    form->FilterRow->Texts[9]->setText("park");
    processEventsFor(400);
    const QPointF hidden = map->viewPosition(139.77, 35.68);
    EXPECT_EQ(map->recordAt(hidden.toPoint()), -1);
}

TEST_F(MainWindowTest, ProblemsAreMarkedAndDatumAndDuplicatesWorkFromTheMenus) {
    // Record 1 is clean, record 2 has a bad TIME (error) and a point outside Japan (warning).
    const std::string csv = writeFile("checked.csv", cp932::encode(u"h\r\n"
        u"WGS84,DEG,20260101120000,,東京駅,,35.681236,139.767125,,駅,i1,,,ON,100,50\r\n"
        u"TOKYO,DEG,20261399000000,,大阪,,10.5,135.5,,駅,i1,,,ON,100,50\r\n"));
    form->nextFileNames = {QString::fromStdString(csv)};
    form->FileLoadXML->trigger();
    ASSERT_EQ(form->Core.Table.RecordCount, 2);
    TPointMarkModel* model = form->Model;
    EXPECT_FALSE(model->data(model->index(0, 2), Qt::BackgroundRole).isValid());
    EXPECT_TRUE(model->data(model->index(1, 2), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(model->data(model->index(1, 2), Qt::ToolTipRole).toString().isEmpty());
    processEventsFor(150);
    EXPECT_TRUE(form->ProblemLabel->text().startsWith(QString::fromUtf8("エラー 1・警告")));
    // F8 goes to the first problem cell, then on; an edit that mends it clears its mark.
    form->StringGridXML->setCurrentIndex(cellIndex(0, 1));
    form->EditNextProblem->trigger();
    EXPECT_EQ(form->StringGridXML->currentIndex(), cellIndex(2, 2));
    model->setData(cellIndex(2, 2), "20261231000000");
    EXPECT_FALSE(model->data(model->index(1, 2), Qt::BackgroundRole).isValid());

    // Datum conversion of every record, one undo step; the TOKYO record becomes WGS84.
    form->EditToWgs84->trigger();
    EXPECT_EQ(form->Core.Table.cell(0, 2), "WGS84");
    EXPECT_NE(form->Core.Table.cell(6, 2), "10.5");
    form->EditUndo->trigger();
    EXPECT_EQ(form->Core.Table.cell(0, 2), "TOKYO");

    // Adding the same file again: the duplicates are asked about and left out on request.
    form->questions.answers = {0};
    form->nextFileNames = {QString::fromStdString(csv)};
    form->FileAdd->trigger();
    ASSERT_FALSE(form->questions.asked.empty());
    EXPECT_TRUE(form->questions.asked.back().contains(QString::fromUtf8("東京駅")));
    EXPECT_EQ(form->Core.Table.RecordCount, 2);
    form->questions.answers = {1}; // all of them this time
    form->FileAdd->trigger();
    EXPECT_EQ(form->Core.Table.RecordCount, 4);
    form->EditFindDuplicates->trigger();
    EXPECT_EQ(form->StringGridXML->selectionModel()->selectedRows().size(), 2);
    EXPECT_TRUE(form->messages.back().contains(QString::fromUtf8("重複が 2 組")));
}
