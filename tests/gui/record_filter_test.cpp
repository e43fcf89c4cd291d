#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include "app/gui/filter_bar.h"
#include "app/gui/main_window.h"
#include "app/gui/point_mark_model.h"
#include "app/gui/record_filter_model.h"
#include "app/gui/string_grid.h"
#include "tests/support/gui_application.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/utf8.h"

namespace {

// Twelve records named n1 to n12; the odd ones in TOKYO, the even ones in WGS84.
class RecordFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApplication();
        std::string csv;
        for (int c = 0; c < kColumnCount; ++c) csv += cp932::encode(utf8ToUtf16(columnHeaderUtf8(c))) + ",";
        csv += "\r\n";
        for (int r = 1; r <= 12; ++r)
            csv += std::string(r % 2 ? "TOKYO" : "WGS84") + ",DEG,20260101120000,,n" + std::to_string(r) +
                   ",,35.6,139.7,,c,i\r\n";
        const std::string path = dir_.path("points.csv");
        std::ofstream(path, std::ios::binary) << csv;
        form = std::make_unique<TMainForm>();
        form->show();
        ASSERT_EQ(form->Core.FileLoadXMLClick(path), 12);
    }
    // The table rows the grid shows, in order.
    std::vector<int> shownRows() const {
        std::vector<int> rows;
        for (int r = 0; r < form->Filter->rowCount(); ++r) rows.push_back(form->tableRowOf(form->Filter->index(r, 0)));
        return rows;
    }
    std::string cell(int column, int gridRow) const {
        return qStringToCell(form->Filter->index(gridRow, column).data().toString());
    }

    std::unique_ptr<TMainForm> form;
    TemporaryDirectory dir_{"pm-filter"};
};

} // namespace

TEST_F(RecordFilterTest, ANewFilterReachesTheGridAsOneResetAndFollowsRowChanges) {
    form->EditFilter->trigger();
    form->StringGridXML->setCurrentIndex(form->TableIndex(4, 3));
    QSignalSpy removed(form->Filter, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(form->Filter, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(form->Filter, &QAbstractItemModel::modelReset);
    QLineEdit* datum = form->FilterRow->Texts[kDatumColumn];
    QTest::keyClicks(datum, "W");
    processEventsFor(400);
    // Not one signal per hidden row: a view of 100,000 rows would lay itself out for each.
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(shownRows(), (std::vector<int>{2, 4, 6, 8, 10, 12}));
    EXPECT_EQ(form->Filter->headerData(1, Qt::Vertical).toInt(), 4); // record numbers stay
    // The current record was hidden: the next shown one becomes current, in the same column.
    EXPECT_EQ(form->tableRowOf(form->StringGridXML->currentIndex()), 4);
    EXPECT_EQ(form->StringGridXML->currentIndex().column(), 4);

    // A hidden record deleted: the shown records after it move up a row.
    form->Core.EditDeleteRows({3});
    EXPECT_EQ(shownRows(), (std::vector<int>{2, 3, 5, 7, 9, 11}));
    EXPECT_EQ(cell(4, 1), "n4");
    // A sort and its undo keep the filter on the new order.
    form->Core.EditSortClick(4, true);
    EXPECT_EQ(form->Filter->rowCount(), 6);
    for (int r = 0; r < 6; ++r) EXPECT_EQ(cell(kDatumColumn, r), "WGS84") << r;
    EXPECT_EQ(cell(4, 0), "n8"); // n8 n6 n4 n2 n12 n10, descending as text
    form->Core.EditUndoClick();
    EXPECT_EQ(shownRows(), (std::vector<int>{2, 3, 5, 7, 9, 11}));
    // A record inserted above the current one is shown, as are the records after it.
    form->StringGridXML->setCurrentIndex(form->TableIndex(0, 5));
    form->EditInsert->trigger();
    EXPECT_EQ(shownRows(), (std::vector<int>{2, 3, 5, 6, 8, 10, 12}));
    EXPECT_EQ(cell(4, 3), "n6");

    // A filter that no record meets leaves the column headers as they are.
    QTest::keyClicks(datum, "X");
    processEventsFor(400);
    EXPECT_EQ(form->Filter->rowCount(), 0);
    for (int c = 0; c < kColumnCount; ++c)
        EXPECT_EQ(form->Filter->headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(columnHeaderUtf8(c)));
    QTest::keyClick(datum, Qt::Key_Backspace);
    processEventsFor(400);
    EXPECT_EQ(form->Filter->rowCount(), 6); // the inserted record is empty: now hidden

    // Clearing the box shows every record, again as one reset.
    removed.clear();
    inserted.clear();
    reset.clear();
    QTest::keyClick(datum, Qt::Key_Backspace);
    processEventsFor(400);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(form->Filter->rowCount(), 12);
    EXPECT_FALSE(form->Filter->isFiltering());
}
