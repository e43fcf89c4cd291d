#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <fstream>

#include "app/gui/filter_bar.h"
#include "app/gui/main_window.h"
#include "app/gui/record_filter_model.h"
#include "app/gui/string_grid.h"
#include "scripted_questions.h"
#include "tests/support/gui_application.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"

// Failures show texts as text.
static void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace {

// The main window with its file dialogs answered by the test and its messages recorded.
class TGridForm : public TMainForm {
public:
    QStringList nextFileNames;
    std::vector<QString> messages;
    TScriptedQuestions questions;

protected:
    QStringList execFileDialog(QFileDialog&) override { return nextFileNames; }
    void showMessage(QMessageBox::Icon, const QString& text) override { messages.push_back(text); }
    int askQuestion(const QString& text, const QStringList& buttons, int) override {
        return questions.answer(text, buttons);
    }
};

// The user's view of the grid: clicks and keys on the real widgets.
class GridCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApplication();
        form = std::make_unique<TGridForm>();
        form->show();
        grid = form->StringGridXML;
        QApplication::setActiveWindow(form.get());
        grid->setFocus();
    }
    void TearDown() override { form.reset(); }

    // Loads a CSV file of the given lines (after its header line).
    void load(const std::u16string& records) {
        const std::string path = dir_.path("table.csv");
        std::ofstream(path, std::ios::binary) << cp932::encode(u"h\r\n" + records);
        form->nextFileNames = {QString::fromStdString(path)};
        form->FileLoadXML->trigger();
    }
    std::string cell(int column, int row) const { return form->Core.Table.cell(column, row); }
    // Where a click lands on the shown cell (column, table row), in the grid's viewport.
    QPoint cellPoint(int column, int tableRow) const {
        return grid->visualRect(form->TableIndex(column, tableRow)).center();
    }
    void click(int column, int tableRow, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, cellPoint(column, tableRow));
    }
    // A key as the user presses it: to whatever has the focus.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : grid, static_cast<Qt::Key>(key), modifiers);
    }
    void clickHeader(int column) {
        QHeaderView* header = grid->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

    std::unique_ptr<TGridForm> form;
    TStringGrid* grid = nullptr;
    TemporaryDirectory dir_{"pm-grid"};
};

} // namespace

TEST_F(GridCommandsTest, AClickIntoTheSelectionKeepsItAndDeleteEmptiesEveryCell) {
    load(u"a1,b1,c1\r\na2,b2,c2\r\na3,b3,c3\r\n");
    click(0, 1);
    click(1, 2, Qt::ShiftModifier);
    click(0, 2); // into the selection: no editor opens, not even after a double click's time
    processEventsFor(QApplication::doubleClickInterval() + 100);
    EXPECT_EQ(grid->indexWidget(form->TableIndex(0, 2)), nullptr);
    press(Qt::Key_Delete);
    for (int column : {0, 1})
        for (int row : {1, 2}) EXPECT_EQ(cell(column, row), "") << column << "," << row;
    EXPECT_EQ(cell(2, 1), "c1");
    EXPECT_EQ(cell(0, 3), "a3");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cell(0, 1), "a1");
    EXPECT_EQ(cell(1, 2), "b2");
    // Editing starts on purpose: F2, a double click.
    press(Qt::Key_F2);
    EXPECT_NE(grid->indexWidget(form->TableIndex(0, 2)), nullptr);
    press(Qt::Key_Escape);
    click(2, 3);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cellPoint(2, 3));
    EXPECT_NE(grid->indexWidget(form->TableIndex(2, 3)), nullptr);
}

TEST_F(GridCommandsTest, HeaderClicksAlternateTheOrderAndUndoPutsTheIndicatorBack) {
    load(u"3,,,,b\r\n1,,,,c\r\n2,,,,a\r\n");
    QHeaderView* header = grid->horizontalHeader();
    auto names = [&] { return cell(4, 1) + cell(4, 2) + cell(4, 3); };
    // What the header shows: "none", or the column and "asc"/"desc".
    auto indicator = [&]() -> std::string {
        if (!header->isSortIndicatorShown()) return "none";
        return std::to_string(header->sortIndicatorSection()) +
               (header->sortIndicatorOrder() == Qt::AscendingOrder ? " asc" : " desc");
    };
    clickHeader(4);
    EXPECT_EQ(names(), "abc");
    EXPECT_EQ(indicator(), "4 asc");
    clickHeader(4);
    EXPECT_EQ(names(), "cba");
    EXPECT_EQ(indicator(), "4 desc");
    clickHeader(0); // another column starts ascending
    EXPECT_EQ(names(), "cab");
    EXPECT_EQ(indicator(), "0 asc");

    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(names(), "cba");
    EXPECT_EQ(indicator(), "4 desc");
    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(names(), "bca"); // the file's order
    EXPECT_EQ(indicator(), "none");
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(indicator(), "4 asc");
    clickHeader(4); // goes on from the order the table is in
    EXPECT_EQ(names(), "cba");
    EXPECT_EQ(indicator(), "4 desc");
}

TEST_F(GridCommandsTest, DatumConversionTakesTheShownSelectedRecordsOrAllShownOnes) {
    load(u"TOKYO,,,,東京,,35.0,139.0\r\nTOKYO,,,,大阪,,35.1,139.1\r\nXYZ,,,,東京タワー,,35.2,139.2\r\n"
         u"TOKYO,,,,東京駅,,35.3,139.3\r\nWGS84,,,,東京湾,,35.4,139.4\r\nWGS84,,,,名古屋,,35.5,139.5\r\n");
    auto datums = [&] {
        std::string text;
        for (int row = 1; row <= 6; ++row) text += cell(0, row).substr(0, 1);
        return text;
    };
    // One selected cell: that record alone.
    click(4, 4);
    form->EditToWgs84->trigger();
    EXPECT_EQ(datums(), "TTXWWW");
    EXPECT_NE(cell(6, 4), "35.3");
    EXPECT_EQ(form->messages.back(), QString::fromUtf8("1 件を WGS84 に変換しました。"));

    // The shown records of a selection over a filter; the hidden 大阪 stays.
    form->EditFilter->trigger();
    form->FilterRow->Texts[4]->setText(QString::fromUtf8("東京"));
    processEventsFor(400);
    ASSERT_EQ(form->Filter->rowCount(), 4);
    click(0, 1);
    click(0, 5, Qt::ShiftModifier);
    form->EditToWgs84->trigger();
    EXPECT_EQ(datums(), "WTXWWW");
    const QString message = form->messages.back();
    EXPECT_TRUE(message.startsWith(QString::fromUtf8("1 件を WGS84 に変換しました。\n2 件はすでに WGS84 です。")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromUtf8("レコード 3: 測地系が TOKYO でも WGS84 でもありません")));

    // Every shown record from its own item; the hidden ones stay; one undo step.
    form->EditAllToTokyo->trigger();
    EXPECT_EQ(datums(), "TTXTTW");
    EXPECT_TRUE(form->messages.back().contains(QString::fromUtf8("表示されていない 2 件")));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(datums(), "WTXWWW");
    form->FilterRow->clear();
    form->EditAllToWgs84->trigger();
    EXPECT_EQ(datums(), "WWXWWW");
}

TEST_F(GridCommandsTest, PasteIntoAFilteredViewFillsTheShownRowsAndAppendsTheRest) {
    load(u"a1,,,,東京\r\na2,,,,大阪\r\na3,,,,東京\r\na4,,,,大阪\r\na5,,,,東京\r\n");
    form->EditFilter->trigger();
    form->FilterRow->Texts[4]->setText(QString::fromUtf8("東京"));
    processEventsFor(400);
    ASSERT_EQ(form->Filter->rowCount(), 3);
    auto column0 = [&] {
        std::string text;
        for (int row = 1; row <= form->Core.Table.RecordCount; ++row) text += cell(0, row) + " ";
        return text;
    };
    // Four rows from the second shown record: records 3 and 5, then two new records.
    QApplication::clipboard()->setText("x\ny\nz\nw\n");
    click(0, 3);
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(column0(), "a1 a2 x a4 y z w ");
    EXPECT_EQ(form->Filter->rowCount(), 5); // the new records are shown
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(column0(), "a1 a2 a3 a4 a5 ");

    // One value over a selection reaching across hidden records fills the shown cells.
    QApplication::clipboard()->setText("v");
    click(0, 1);
    click(0, 5, Qt::ShiftModifier);
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(column0(), "v a2 v a4 v ");
}

TEST_F(GridCommandsTest, DownAndEscapeLeaveTheFilterBoxForTheTable) {
    load(u"1,,,,b\r\n2,,,,a\r\n3,,,,a\r\n");
    click(0, 3);
    form->EditFilter->trigger();
    form->FilterRow->Texts[4]->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), "a");
    press(Qt::Key_Down); // at once, before the pause after typing has passed
    EXPECT_EQ(form->Filter->rowCount(), 2);
    EXPECT_EQ(QApplication::focusWidget(), grid);
    EXPECT_EQ(grid->currentIndex(), form->TableIndex(4, 2));

    press(Qt::Key_Down);
    form->FilterRow->Texts[0]->setFocus();
    press(Qt::Key_Escape); // back to the cell the table had
    EXPECT_EQ(QApplication::focusWidget(), grid);
    EXPECT_EQ(grid->currentIndex(), form->TableIndex(4, 3));
}
