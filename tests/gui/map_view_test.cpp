#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

#include "app/gui/map_view.h"
#include "tests/support/gui_application.h"
#include "text/code_page_932.h"

namespace {

const std::string kPark = cp932::encode(u"公園");
const std::string kFood = cp932::encode(u"飲食店");

class MapViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(400, 300);
        view.show();
        QObject::connect(&view, &TMapView::recordClicked, [this](int row) { clicked.push_back(row); });
        QObject::connect(&view, &TMapView::recordsSelected, [this](std::vector<int> rows) { selected = rows; });
    }
    // Writes a record into table row `row` (growing the table) and shows the table again.
    void record(int row, const char* latitude, const char* longitude, const std::string& category = kPark,
                const std::u16string& name = u"") {
        if (table.rowCount() <= row) table.setRowCount(row + 1);
        table.setCell(6, row, latitude);
        table.setCell(7, row, longitude);
        table.setCell(9, row, category);
        table.setCell(4, row, cp932::encode(name));
        view.setTable(&table);
    }
    QPointF at(double longitude, double latitude) const { return view.viewPosition(longitude, latitude); }
    QRgb pixel(QPointF pos) { return view.grab().toImage().pixel(pos.toPoint()); }
    void mouse(QEvent::Type type, QPointF pos, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, view.mapToGlobal(pos), Qt::LeftButton, buttons, modifiers);
        QApplication::sendEvent(&view, &event);
    }
    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        mouse(QEvent::MouseButtonPress, from, modifiers);
        mouse(QEvent::MouseMove, (from + to) / 2, modifiers);
        mouse(QEvent::MouseMove, to, modifiers);
        mouse(QEvent::MouseButtonRelease, to, modifiers);
    }
    void key(int code) {
        QKeyEvent event(QEvent::KeyPress, code, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
    static double distance(QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); }

    QApplication& app = guiApplication(); // before any widget
    TPointMarkTable table;
    TMapView view;
    std::vector<int> clicked;
    std::vector<int> selected;
};

} // namespace

TEST_F(MapViewTest, DrawsRecordsInCategoryColoursAndHidesFilteredOnes) {
    record(1, "35.0", "135.0", kPark);
    record(2, "43.0", "141.3", kPark);
    record(3, "26.2", "127.7", kFood);
    record(4, "33.0", "131.0", "");
    const QRgb park = view.categoryColour(kPark), food = view.categoryColour(kFood);
    EXPECT_NE(park, food);
    EXPECT_NE(view.categoryColour(""), park);
    // Fitted: every record inside the view, each in its category's colour.
    for (const QPointF p : {at(135.0, 35.0), at(141.3, 43.0), at(127.7, 26.2)})
        EXPECT_TRUE(view.rect().contains(p.toPoint())) << p.x() << "," << p.y();
    EXPECT_EQ(pixel(at(135.0, 35.0)), park);
    EXPECT_EQ(pixel(at(141.3, 43.0)), park);
    EXPECT_EQ(pixel(at(127.7, 26.2)), food);
    auto legend = [this] {
        QStringList lines;
        for (const TMapView::TLegendEntry& e : view.legend())
            lines.push_back(QString("%1 %2").arg(e.category).arg(e.count));
        return lines.join("; ");
    };
    EXPECT_EQ(legend(), QString::fromUtf8("公園 2; 飲食店 1;  1"));
    EXPECT_EQ(view.legend()[1].colour, food);

    const std::vector<char> shown = {1, 1, 0}; // rows 3 and 4 are past the end: shown
    view.setShownRows(&shown);
    EXPECT_NE(pixel(at(141.3, 43.0)), park);
    EXPECT_EQ(view.recordAt(at(141.3, 43.0).toPoint()), -1);
    EXPECT_EQ(pixel(at(127.7, 26.2)), food);
    EXPECT_EQ(legend(), QString::fromUtf8("公園 1; 飲食店 1;  1"));
    view.setShownRows(nullptr);
    EXPECT_EQ(pixel(at(141.3, 43.0)), park);

    // Another table, with its categories in another order: the colours stay.
    const std::string station = cp932::encode(u"駅");
    TPointMarkTable other;
    other.setRowCount(4);
    for (const auto& [row, category] : {std::pair{1, station}, {2, kFood}, {3, kPark}}) {
        other.setCell(6, row, "35");
        other.setCell(7, row, std::to_string(134 + row));
        other.setCell(9, row, category);
    }
    view.setTable(&other);
    EXPECT_EQ(view.categoryColour(kPark), park);
    EXPECT_EQ(view.categoryColour(kFood), food);
    EXPECT_NE(view.categoryColour(station), park);
    EXPECT_NE(view.categoryColour(station), food);
    EXPECT_EQ(pixel(at(137, 35)), park);
}

TEST_F(MapViewTest, PlotsOnlyDecimalDegreesWithinRange) {
    record(1, "35", "179.9");
    record(2, "-35", "-179.9");
    record(3, "35.0", "180.0");
    record(4, "35.0", "180.02");   // beyond 180
    record(5, "35.03x", "179.95"); // not a number
    record(6, "+35.03", "179.96");
    record(7, "35 ", "179.97");
    record(8, "35.01", "1.7995e2");
    // Fit the northern records only, then zoom out until the rejected positions are in view.
    const std::vector<char> north = {0, 1, 0};
    view.setShownRows(&north);
    view.fitAll();
    view.setShownRows(nullptr);
    for (int i = 0; i < 3; ++i) key(Qt::Key_Minus);
    EXPECT_EQ(view.recordAt(at(179.9, 35).toPoint()), 1);
    EXPECT_EQ(view.recordAt(at(180.0, 35).toPoint()), 3);
    EXPECT_EQ(view.recordAt(at(179.96, 35.03).toPoint()), 6);
    for (const QPointF p : {at(180.02, 35.0), at(179.95, 35.03), at(179.97, 35.0), at(179.95, 35.01)}) {
        ASSERT_TRUE(view.rect().contains(p.toPoint()));
        EXPECT_EQ(view.recordAt(p.toPoint()), -1) << p.x() << "," << p.y();
    }
    view.fitAll(); // both hemispheres
    EXPECT_EQ(view.recordAt(at(-179.9, -35).toPoint()), 2);
}

TEST_F(MapViewTest, ClicksAndShiftRectanglesReportRecords) {
    record(1, "35.0", "135.0");
    record(2, "35.2", "135.2", kFood);
    record(3, "35.2", "135.2"); // on top of record 2
    record(4, "36.0", "136.0");
    mouse(QEvent::MouseButtonPress, at(135.0, 35.0) + QPointF(3, 2));
    mouse(QEvent::MouseButtonRelease, at(135.0, 35.0) + QPointF(3, 2));
    mouse(QEvent::MouseButtonPress, at(135.0, 35.0) + QPointF(30, 0));
    mouse(QEvent::MouseButtonRelease, at(135.0, 35.0) + QPointF(30, 0));
    EXPECT_EQ(clicked, std::vector<int>{1});
    // Equally near dots: the one drawn on top, which a selection puts above the others.
    EXPECT_EQ(view.recordAt(at(135.2, 35.2).toPoint()), 3);
    EXPECT_EQ(pixel(at(135.2, 35.2)), view.categoryColour(kPark));
    view.setSelectedRows({2});
    EXPECT_EQ(view.recordAt(at(135.2, 35.2).toPoint()), 2);
    EXPECT_EQ(pixel(at(135.2, 35.2)), view.categoryColour(kFood));

    const std::vector<char> shown = {1, 1, 1, 0};
    view.setShownRows(&shown);
    drag(at(134.9, 36.1), at(136.1, 35.1), Qt::ShiftModifier);
    EXPECT_EQ(selected, (std::vector<int>{2, 4}));
    EXPECT_EQ(clicked, std::vector<int>{1}); // a drag is not a click
}

TEST_F(MapViewTest, SelectedRecordsAreLargerAndOutlined) {
    record(1, "35.0", "135.0");
    record(2, "36.0", "136.0");
    view.setSelectedRows({2, 7});
    const QImage image = view.grab().toImage();
    const QPoint selectedDot = at(136.0, 36.0).toPoint(), plainDot = at(135.0, 35.0).toPoint();
    EXPECT_EQ(image.pixel(selectedDot), view.categoryColour(kPark));
    EXPECT_EQ(image.pixel(selectedDot + QPoint(6, 0)), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(selectedDot + QPoint(0, -5)), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(plainDot), view.categoryColour(kPark));
    EXPECT_NE(image.pixel(plainDot + QPoint(6, 0)), qRgb(0, 0, 0));
    EXPECT_NE(image.pixel(plainDot + QPoint(3, 0)), image.pixel(plainDot + QPoint(6, 0)));
}

TEST_F(MapViewTest, ZoomKeepsTheCursorPointAndPanMovesTheMap) {
    record(1, "35.0", "135.0");
    record(2, "36.0", "137.0");
    const QPointF first = at(135.0, 35.0), second = at(137.0, 36.0);
    const double apart = distance(first, second);
    QWheelEvent wheel(first, view.mapToGlobal(first), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
    EXPECT_LT(distance(at(135.0, 35.0), first), 0.01);
    EXPECT_NEAR(distance(at(135.0, 35.0), at(137.0, 36.0)), apart * 1.25 * 1.25, 0.01);

    const QPointF centre(200, 150);
    const QPointF before = at(135.0, 35.0);
    key(Qt::Key_Minus);
    EXPECT_LT(distance(at(135.0, 35.0), centre + (before - centre) / 1.25), 0.01);
    key(Qt::Key_Right);
    EXPECT_NEAR(at(135.0, 35.0).x(), (centre + (before - centre) / 1.25).x() - 50, 0.01);

    const QPointF beforeDrag = at(135.0, 35.0);
    drag(QPointF(100, 100), QPointF(130, 90));
    EXPECT_LT(distance(at(135.0, 35.0), beforeDrag + QPointF(30, -10)), 0.01);
    EXPECT_TRUE(clicked.empty());
    // The table changes but the view stays where the user put it; Home fits again.
    record(3, "35.5", "136.0");
    EXPECT_LT(distance(at(135.0, 35.0), beforeDrag + QPointF(30, -10)), 0.01);
    key(Qt::Key_Home);
    EXPECT_LT(distance(at(135.0, 35.0), first), 0.01);
    EXPECT_LT(distance(at(137.0, 36.0), second), 0.01);
}

TEST_F(MapViewTest, FollowsChangedRows) {
    record(1, "35.0", "135.0");
    record(2, "36.0", "136.0");
    record(3, "35.5", "135.5");
    table.setCell(6, 1, "35.2");
    table.setCell(9, 1, kFood);
    view.rowsChanged(1, 1);
    EXPECT_EQ(view.recordAt(at(135.0, 35.0).toPoint()), -1);
    EXPECT_EQ(view.recordAt(at(135.0, 35.2).toPoint()), 1);
    EXPECT_EQ(pixel(at(135.0, 35.2)), view.categoryColour(kFood));
    table.setCell(7, 2, "");
    view.rowsChanged(2, 2);
    EXPECT_EQ(view.recordAt(at(136.0, 36.0).toPoint()), -1);
    table.setCell(7, 2, "136.0");
    view.rowsChanged(2, 2);
    EXPECT_EQ(view.recordAt(at(136.0, 36.0).toPoint()), 2);
    table.setRowCount(3); // drops row 3
    view.rowsChanged(3, 3);
    EXPECT_EQ(view.recordAt(at(135.5, 35.5).toPoint()), -1);
    table.removeRows({1});
    view.tableChanged();
    EXPECT_EQ(view.recordAt(at(136.0, 36.0).toPoint()), 1);
    // A table elsewhere brings the view along when none of its records would be in view.
    key(Qt::Key_Minus);
    table.setCell(6, 1, "-33.9");
    table.setCell(7, 1, "151.2");
    view.tableChanged();
    EXPECT_TRUE(view.rect().contains(at(151.2, -33.9).toPoint()));
}

TEST_F(MapViewTest, ToolTipNamesTheRecord) {
    record(1, "35.681236", "139.767125", kPark, u"東京駅");
    const QPoint pos = at(139.767125, 35.681236).toPoint() + QPoint(2, 1);
    QHelpEvent help(QEvent::ToolTip, pos, view.mapToGlobal(pos));
    QApplication::sendEvent(&view, &help);
    EXPECT_EQ(QToolTip::text(), QString::fromUtf8("レコード 1: 東京駅\n公園\n35.681236, 139.767125"));
    QToolTip::hideText();
}
