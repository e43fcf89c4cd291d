#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/point_mark_table.h"

class QPainter;
class QRubberBand;

// A map of the records of a point-mark table: every record whose 緯度 and 経度 cells hold decimal
// degrees is a dot at its longitude and latitude, coloured by its カテゴリ, over a graticule of
// labelled degree lines, with a legend of the categories. The projection is equirectangular with
// its standard parallel at the middle of the records, so that shapes near it keep their proportions.
//
// The mouse wheel zooms around the cursor, + and - around the centre; dragging and the arrow keys
// pan; Home fits the shown records into the view. A click on a dot reports its record, Shift and a
// drag report the records inside the rectangle, and hovering shows a record's number and name.
// Until the user zooms or pans, and again after Home, the view fits the records whenever the table
// or the widget's size changes; after that it stays where the user put it, unless a change of the
// table would leave no shown record in view.
//
// The view reads the table but does not watch it: its owner forwards the table's changes.
class TMapView : public QWidget {
    Q_OBJECT
public:
    explicit TMapView(QWidget* parent = nullptr);
    ~TMapView() override;

    // The table to show (nullptr: none). It must outlive the view or be replaced first.
    void setTable(const TPointMarkTable* table);
    // Which table rows are shown (a copy is kept); rows past its end and every row when shown is
    // nullptr are shown.
    void setShownRows(const std::vector<char>* shown);
    // Table rows drawn larger and outlined, above the others.
    void setSelectedRows(std::vector<int> rows);

    // Where a longitude and latitude appear, in widget coordinates.
    QPointF viewPosition(double longitude, double latitude) const;
    // The shown record whose dot is nearest to pos within a few pixels (the upper one of equally
    // near dots), or -1.
    int recordAt(QPoint pos) const;
    // Zooms and pans so that every shown record is in view (Japan when there is none).
    void fitAll();

    // The colour of a category's dots. Categories get well-told-apart colours in the order the view
    // meets them and keep them for the view's life, through sorts, filters, edits and reloads.
    QRgb categoryColour(const std::string& category);

    // The categories of the shown records with their colours, the most frequent first.
    struct TLegendEntry {
        QString category;
        QRgb colour;
        int count;
    };
    std::vector<TLegendEntry> legend() const;

    QSize sizeHint() const override { return QSize(480, 400); }

public slots:
    // Anything in the table may have changed: rows inserted, removed or moved, a reload.
    void tableChanged();
    // Cells of rows first to last changed, or those rows came or went with a change of the row count.
    void rowsChanged(int first, int last);

signals:
    void recordClicked(int tableRow);
    // The shown records inside a rectangle dragged with Shift, ascending.
    void recordsSelected(std::vector<int> tableRows);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // A record with coordinates, in the order the dots are drawn.
    struct TPoint {
        double longitude;
        double latitude;
        int row;
        std::uint32_t colour; // index into palette_
    };
    struct TPaletteEntry {
        QRgb fill;
        QRgb edge;
        std::string category;
    };

    // Reads a row's coordinates and category into point; false when it has no usable coordinates.
    bool readRow(int row, TPoint& point);
    std::uint32_t colourIndex(const std::string& category);
    void rebuildPoints();
    void removePoint(int index);
    bool isShown(int row) const;
    bool isSelected(int row) const;

    QPointF geoPosition(QPointF pos) const;
    void zoomBy(double factor, QPointF around);
    void panBy(QPointF offset);
    // The view or the records changed: the map is drawn anew at the next paint.
    void viewChanged();
    // The graticule's lines, or its labels.
    void drawGraticule(QPainter& painter, bool labels) const;
    // The background, the graticule's lines and the dots, into map_.
    void drawMap();
    // The most frequent categories in a box in the bottom right corner.
    void drawLegend(QPainter& painter) const;
    // Point indices ordered by longitude, for finding the dots near a position.
    const std::vector<int>& longitudeOrder() const;
    // Indices into longitudeOrder() of the points between two longitudes.
    std::pair<std::size_t, std::size_t> longitudeRange(double west, double east) const;
    QString toolTipFor(int row) const;

    const TPointMarkTable* table_ = nullptr;
    std::vector<TPoint> points_;
    std::vector<int> pointOfRow_; // by table row: index into points_, or -1
    std::vector<TPaletteEntry> palette_;
    std::unordered_map<std::string, std::uint32_t> colourOfCategory_;
    std::vector<char> shown_;   // empty: every row
    std::vector<int> selected_; // ascending
    mutable std::vector<int> byLongitude_;
    mutable bool byLongitudeValid_ = false;

    // The view: the geographic centre, pixels per degree of latitude, and the ratio of a degree of
    // longitude to one of latitude at the standard parallel.
    double centreLongitude_ = 138.0;
    double centreLatitude_ = 33.0;
    double scale_ = 10.0;
    double xFactor_ = 1.0;
    // True until the user moves the view: the view then follows the table and the widget's size.
    bool followTable_ = true;

    QImage map_; // kept while neither the view nor the records change
    bool mapValid_ = false;
    std::vector<TLegendEntry> legend_; // of the records in map_

    // The mouse: where the left button went down, whether it is dragging the map or a rectangle.
    QPoint pressPos_;
    QPoint lastPos_;
    bool pressed_ = false;
    bool dragging_ = false;
    bool selecting_ = false;
    QRubberBand* rubberBand_ = nullptr;
};
