#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "app/gui/form_sort.h"
#include "app/gui/main_window.h"
#include "tests/support/gui_application.h"
#include "text/code_page_932.h"
#include "text/utf8.h"

namespace {

std::string sjis(const char* utf8) { return cp932::encode(utf8ToUtf16(utf8)); }

// Runs the sort command while answering its dialog with the given action.
void sortWith(TMainForm& window, const std::function<void(TFormSort&)>& answer) {
    QTimer::singleShot(0, window.FormSort, [&window, answer] { answer(*window.FormSort); });
    window.EditSortClick();
}

class SortCommand : public ::testing::Test {
protected:
    void SetUp() override {
        guiApplication();
        window = std::make_unique<TMainForm>();
        TPointMarkTable& table = window->Core.Table;
        table.setRowCount(4);
        table.RecordCount = 3;
        const char* names[] = {"さくら", "Apple", "いちご"};
        const char* notes[] = {"b", "c", "a"};
        for (int r = 1; r <= 3; ++r) {
            table.setCell(4, r, sjis(names[r - 1]));
            table.setCell(3, r, notes[r - 1]);
        }
    }
    std::vector<std::string> column(int c) const {
        std::vector<std::string> cells = window->Core.Table.column(c);
        cells.erase(cells.begin());
        return cells;
    }
    std::unique_ptr<TMainForm> window;
};

} // namespace

TEST_F(SortCommand, DialogShowsTheSixteenColumns) {
    TFormSort& dialog = *window->FormSort;
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("並び替え"));
    ASSERT_EQ(dialog.ComboBoxSort->count(), 16);
    for (int column = 0; column < 16; ++column)
        EXPECT_EQ(dialog.ComboBoxSort->itemText(column).toStdString(), columnHeaderUtf8(column));
    EXPECT_EQ(dialog.selectedColumn(), 0);
    EXPECT_TRUE(dialog.ComboBoxSort->isEditable());
}

TEST_F(SortCommand, OkSortsByTheChosenColumnAndTheDialogRemembersIt) {
    const TFormSort* dialog = window->FormSort;
    sortWith(*window, [](TFormSort& d) {
        d.ComboBoxSort->setCurrentIndex(4);
        d.OKButton->click();
    });
    EXPECT_EQ(column(4), (std::vector<std::string>{"Apple", sjis("いちご"), sjis("さくら")}));
    EXPECT_EQ(window->Core.Table.cell(0, 0), "DATUM"); // the header row stays

    // Reused: the same dialog comes back showing the column chosen last.
    int shown = -1;
    sortWith(*window, [&shown](TFormSort& d) {
        shown = d.ComboBoxSort->currentIndex();
        d.ComboBoxSort->setCurrentIndex(3);
        d.OKButton->click();
    });
    EXPECT_EQ(shown, 4);
    EXPECT_EQ(window->FormSort, dialog);
    EXPECT_EQ(column(3), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(SortCommand, CancelAndUnknownTextChangeNothing) {
    const std::vector<TPointMarkRow> before = window->Core.Table.rows();
    sortWith(*window, [](TFormSort& d) {
        d.ComboBoxSort->setCurrentIndex(4);
        d.Button1->click();
    });
    EXPECT_EQ(window->Core.Table.rows(), before);

    sortWith(*window, [](TFormSort& d) {
        d.ComboBoxSort->lineEdit()->setText("no such column");
        EXPECT_EQ(d.selectedColumn(), -1);
        d.OKButton->click();
    });
    EXPECT_EQ(window->Core.Table.rows(), before);
    EXPECT_EQ(window->FormSort->ComboBoxSort->count(), 16); // typed text is not added as an item
}
