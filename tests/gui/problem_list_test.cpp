#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QTest>
#include <fstream>

#include "app/gui/filter_bar.h"
#include "app/gui/main_window.h"
#include "app/gui/point_mark_model.h"
#include "app/gui/problem_list.h"
#include "app/gui/record_filter_model.h"
#include "app/gui/string_grid.h"
#include "tests/support/gui_application.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"

namespace {

const char16_t* const kGood = u"WGS84,DEG,20260101120000,,東京駅,,35.681236,139.767125,,駅,i1,,,ON,100,50";

// A window over records written as CSV lines (after a header line).
class ProblemListTest : public ::testing::Test {
protected:
    void SetUp() override { guiApplication(); }
    void load(const std::u16string& lines) {
        const std::string path = dir_.path("points.csv");
        std::ofstream(path, std::ios::binary) << cp932::encode(u"h\r\n" + lines);
        form = std::make_unique<TMainForm>();
        form->show();
        ASSERT_GT(form->Core.FileLoadXMLClick(path), 0);
    }
    // The problem list's lines as "record column severity reason".
    QStringList lines() const {
        QStringList result;
        const TProblemListModel* model = form->ProblemPanel->Model;
        for (int r = 0; r < model->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < model->columnCount(); ++c) cells << model->data(model->index(r, c)).toString();
            result << cells.join(' ');
        }
        return result;
    }
    void doubleClickLine(int line) {
        QTableView* view = form->ProblemPanel->View;
        view->scrollTo(view->model()->index(line, 3));
        const QRect rect = view->visualRect(view->model()->index(line, 3));
        // As a mouse delivers it: a click, then the double-click event.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    }
    bool marked(int column, int tableRow) const {
        return form->Model->data(form->Model->index(form->Model->modelRow(tableRow), column), Qt::BackgroundRole)
            .isValid();
    }

    std::unique_ptr<TMainForm> form;
    TemporaryDirectory dir_{"pm-problems"};
};

} // namespace

TEST_F(ProblemListTest, ListsEveryProblemByRecordFollowsTheTableAndSelectsACellOnDoubleClick) {
    // Record 2: an unknown DATUM and an enabled flag that is neither ON nor OFF; record 4: a TIME
    // of 13 digits and an unusual UNIT.
    load(std::u16string(kGood) + u"\r\n" + u"WGS8,DEG,20260101120000,,大阪,,34.7,135.5,,駅,i1,,,YES,100,50\r\n" +
         kGood + u"\r\n" + u"TOKYO,DMS,2026010112000,,札幌,,43.06,141.35,,駅,i1,,,ON,100,50\r\n");
    // A line as the list shows it: "record column severity reason".
    auto line = [](int record, const char* columnAndSeverity, TFieldProblem problem) {
        return QString::number(record) + " " + QString::fromUtf8(columnAndSeverity) + " " +
               QString::fromUtf8(fieldProblemInfo(problem).reasonJapanese);
    };
    const QString unit4 = line(4, "UNIT 警告", TFieldProblem::unitUnusual);
    const QString time4 = line(4, "TIME エラー", TFieldProblem::timeNotFourteenDigits);
    // 表示 → 問題の一覧 opens the dock.
    QAction* item = nullptr;
    for (QAction* action : form->MenuView->actions())
        if (action->text() == QString::fromUtf8("問題の一覧")) item = action;
    ASSERT_NE(item, nullptr);
    item->trigger();
    ASSERT_TRUE(form->ProblemPanel->isVisible());
    EXPECT_EQ(lines(), QStringList({line(2, "DATUM エラー", TFieldProblem::datumUnknown),
                                    line(2, "有効/無効 エラー", TFieldProblem::enabledNotOnOff), unit4, time4}));
    EXPECT_EQ(form->ProblemPanel->windowTitle(), QString::fromUtf8("問題の一覧 (エラー 3・警告 1)"));

    // A double click on a line makes its cell the grid's current, selected cell.
    doubleClickLine(3);
    const QModelIndex current = form->StringGridXML->currentIndex();
    EXPECT_EQ(form->tableRowOf(current), 4);
    EXPECT_EQ(current.column(), kTimeColumn);
    EXPECT_TRUE(form->StringGridXML->selectionModel()->isSelected(current));

    // An edit that mends a cell takes its line away; undo brings it back.
    form->Core.StringGridXMLSetEditText(kDatumColumn, 2, "WGS84");
    processEventsFor(20);
    EXPECT_EQ(lines(), QStringList({line(2, "有効/無効 エラー", TFieldProblem::enabledNotOnOff), unit4, time4}));
    form->Core.EditUndoClick();
    processEventsFor(20);
    EXPECT_EQ(lines().size(), 4);

    // A filter that hides record 2 hides its lines; the title says how many are left out.
    form->EditFilter->trigger();
    QTest::keyClicks(form->FilterRow->Texts[kDatumColumn], "TOKYO");
    processEventsFor(400);
    ASSERT_EQ(form->Filter->rowCount(), 1);
    EXPECT_EQ(lines(), QStringList({unit4, time4}));
    EXPECT_EQ(form->ProblemPanel->windowTitle(),
              QString::fromUtf8("問題の一覧 (エラー 1・警告 1、絞り込みで隠れた 2 件を除く)"));
    form->EditFilter->trigger();
    processEventsFor(20);

    // Deleting record 2 moves record 4 up to 3, and its lines with it.
    form->Core.EditDeleteRows({2});
    processEventsFor(20);
    EXPECT_EQ(lines(), QStringList({line(3, "UNIT 警告", TFieldProblem::unitUnusual),
                                    line(3, "TIME エラー", TFieldProblem::timeNotFourteenDigits)}));
    form->ProblemPanel->close();
    EXPECT_FALSE(item->isChecked());
}

TEST_F(ProblemListTest, DeletingRowsTakesTheirMarksAndCountsAlong) {
    // Record 2 has an error in TIME, record 4 a warning on UNIT; records 1, 3 and 5 are clean.
    load(std::u16string(kGood) + u"\r\n" + u"WGS84,DEG,2026,,大阪,,34.7,135.5,,駅,i1,,,ON,100,50\r\n" + kGood +
         u"\r\n" + u"WGS84,DMS,20260101120000,,札幌,,43.06,141.35,,駅,i1,,,ON,100,50\r\n" + kGood + u"\r\n");
    form->Timer1Timer();
    EXPECT_EQ(form->ProblemLabel->text(), QString::fromUtf8("エラー 1・警告 1 (F8)"));
    // Record 2 deleted through the menu: clean record 3 moves up and carries no mark.
    form->StringGridXML->setCurrentIndex(form->TableIndex(0, 2));
    form->EditDelete->trigger();
    ASSERT_EQ(form->Core.Table.RecordCount, 4);
    EXPECT_FALSE(marked(kTimeColumn, 2));
    EXPECT_TRUE(marked(kUnitColumn, 3)); // the warning moved up with its record
    form->Timer1Timer();
    EXPECT_EQ(form->ProblemLabel->text(), QString::fromUtf8("エラー 0・警告 1 (F8)"));
    // Records 1 and 3 (the one with the warning) deleted together.
    QItemSelection selection(form->TableIndex(0, 1), form->TableIndex(0, 1));
    selection.select(form->TableIndex(0, 3), form->TableIndex(0, 3));
    form->StringGridXML->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    form->EditDelete->trigger();
    ASSERT_EQ(form->Core.Table.RecordCount, 2);
    for (int row = 1; row <= 2; ++row)
        for (int column = 0; column < kColumnCount; ++column) EXPECT_FALSE(marked(column, row)) << column << "," << row;
    form->Timer1Timer();
    EXPECT_EQ(form->ProblemLabel->text(), QString());
    // Undo brings the records back with their marks.
    form->EditUndo->trigger();
    EXPECT_TRUE(marked(kUnitColumn, 3));
    form->Timer1Timer();
    EXPECT_EQ(form->ProblemLabel->text(), QString::fromUtf8("エラー 0・警告 1 (F8)"));
}
