#include "app/field_checks.h" // the column numbers
#include "app/gui/map_view.h"

#include <QApplication>
#include <QColor>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <numbers>
#include <numeric>

#include "app/gui/point_mark_model.h"

namespace {

// The extent of the view when there is nothing to fit: Japan.
constexpr double kJapanWest = 122.0, kJapanEast = 154.0, kJapanSouth = 20.0, kJapanNorth = 46.0;
// Fitting never zooms in further than this many degrees across (about 200 m).
constexpr double kMinimumSpan = 0.002;
// Pixels per degree: from the whole earth in a small window to a few centimetres per pixel.
constexpr double kMinimumScale = 0.5;
constexpr double kMaximumScale = 2.0e6;
constexpr double kZoomStep = 1.25; // per wheel notch or key press
constexpr int kFitMargin = 16;     // pixels left free around the records when fitting
constexpr double kPickRadius = 6.0;
// Graticule lines are at least this many pixels apart.
constexpr double kGraticuleSpacing = 70.0;

constexpr QRgb kBackground = 0xfff7f9fb;
constexpr QRgb kGraticuleLine = 0xffd3dbe3;
constexpr QRgb kEmptyCategory = 0xff808080;
constexpr QRgb kSelectionOutline = 0xff000000;
constexpr QRgb kSelectionRing = 0xffffffff;
// Colours that stay apart from each other, from grey (a record without category) and on a light ground.
constexpr QRgb kPalette[] = {0xff1f77b4, 0xffff7f0e, 0xff2ca02c, 0xffd62728, 0xff9467bd, 0xff8c564b,
                             0xffe377c2, 0xff17becf, 0xffbcbd22, 0xff393b79, 0xffad494a, 0xff637939};
// The legend lists this many categories and counts the others in one line.
constexpr std::size_t kLegendLines = 10;

constexpr double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                   1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

// Decimal degrees: an optional sign and digits with at most one decimal point, nothing else, and
// a value within ±limit. Digits past the seventeenth change the value by less than 1e-14 degrees
// and are read but not added.
bool parseDegrees(std::string_view text, double limit, double& value) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
    std::uint64_t mantissa = 0;
    int kept = 0;
    int decimals = 0;
    bool point = false;
    bool digit = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return false;
        digit = true;
        if (kept < 17) {
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            ++kept;
            decimals += point;
        } else if (!point) {
            return false; // seventeen digits before the point: far beyond any limit
        }
    }
    if (!digit) return false;
    value = static_cast<double>(mantissa) / kPowersOfTen[decimals];
    if (negative) value = -value;
    return value >= -limit && value <= limit;
}

// A round dot: its pixels around the centre, each with its ring: 0 on the rim, 1 just inside it,
// 2 further in.
struct TDotPixel {
    int dx;
    int dy;
    int ring;
};

struct TDot {
    int radius;
    std::vector<TDotPixel> pixels;
};

TDot makeDot(int radius) {
    auto inside = [](int d2, int r) { return r >= 0 && d2 <= r * r + r; };
    TDot dot{radius, {}};
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const int d2 = dx * dx + dy * dy;
            if (!inside(d2, radius)) continue;
            dot.pixels.push_back({dx, dy, !inside(d2, radius - 1) ? 0 : !inside(d2, radius - 2) ? 1 : 2});
        }
    return dot;
}

const TDot& recordDot() {
    static const TDot dot = makeDot(3);
    return dot;
}

const TDot& selectedDot() {
    static const TDot dot = makeDot(6);
    return dot;
}

// Paints a dot centred at (x, y) into an image of width x height pixels; colours[ring] is the
// colour of each ring.
void stampDot(QRgb* pixels, qsizetype stride, int width, int height, int x, int y, const TDot& dot,
              const QRgb (&colours)[3]) {
    const int r = dot.radius;
    if (x >= r && y >= r && x + r < width && y + r < height) {
        QRgb* centre = pixels + y * stride + x;
        for (const TDotPixel& p : dot.pixels) centre[p.dy * stride + p.dx] = colours[p.ring];
        return;
    }
    for (const TDotPixel& p : dot.pixels) {
        const int px = x + p.dx, py = y + p.dy;
        if (px >= 0 && py >= 0 && px < width && py < height) pixels[py * stride + px] = colours[p.ring];
    }
}

// A graticule step in degrees that puts lines at least minimum pixels apart.
double graticuleStep(double pixelsPerDegree, double minimum) {
    static const double steps[] = {0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1,
                                   0.2,    0.5,    1,      2,     5,     10,    15,   30,   45,   90};
    for (const double step : steps)
        if (step * pixelsPerDegree >= minimum) return step;
    return 90;
}

// "35°N", "139.5°E", "0°".
QString degreeLabel(double value, int decimals, char positive, char negative) {
    const QString number = QString::number(std::abs(value), 'f', decimals);
    if (std::abs(value) < 1e-9) return number + QChar(0xB0);
    return number + QChar(0xB0) + QChar(value > 0 ? positive : negative);
}

} // namespace

TMapView::TMapView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::OpenHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    rubberBand_ = new QRubberBand(QRubberBand::Rectangle, this);
    fitAll();
}

TMapView::~TMapView() = default;

QRgb TMapView::categoryColour(const std::string& category) { return palette_[colourIndex(category)].fill; }

std::uint32_t TMapView::colourIndex(const std::string& category) {
    const auto [at, added] = colourOfCategory_.try_emplace(category, static_cast<std::uint32_t>(palette_.size()));
    if (added) {
        QRgb fill = kEmptyCategory;
        if (!category.empty()) {
            const std::size_t n = palette_.size() - colourOfCategory_.count(std::string());
            // Past the palette, hues a golden angle apart, in three shades.
            fill = n < std::size(kPalette)
                       ? kPalette[n]
                       : QColor::fromHsv(static_cast<int>(n * 137.508) % 360, 200, 150 + static_cast<int>(n % 3) * 40)
                             .rgb();
        }
        palette_.push_back({fill, QColor(fill).darker(160).rgb(), category});
    }
    return at->second;
}

bool TMapView::readRow(int row, TPoint& point) {
    const TPointMarkRow& cells = table_->row(row);
    double latitude = 0, longitude = 0;
    if (!parseDegrees(cells[kLatitudeColumn], 90, latitude) || !parseDegrees(cells[kLongitudeColumn], 180, longitude))
        return false;
    point = {longitude, latitude, row, colourIndex(cells[kCategoryColumn])};
    return true;
}

void TMapView::rebuildPoints() {
    points_.clear();
    pointOfRow_.assign(table_ ? static_cast<std::size_t>(table_->rowCount()) : 0, -1);
    if (table_) {
        for (int row = table_->fixedRows(); row < table_->rowCount(); ++row) {
            TPoint point;
            if (!readRow(row, point)) continue;
            pointOfRow_[row] = static_cast<int>(points_.size());
            points_.push_back(point);
        }
    }
    byLongitudeValid_ = false;
    mapValid_ = false;
}

void TMapView::removePoint(int index) {
    const int row = points_[index].row;
    points_[index] = points_.back();
    pointOfRow_[points_[index].row] = index;
    points_.pop_back();
    pointOfRow_[row] = -1;
}

void TMapView::setTable(const TPointMarkTable* table) {
    table_ = table;
    tableChanged();
}

void TMapView::tableChanged() {
    rebuildPoints();
    bool anyInView = false;
    const QRectF view(rect());
    for (const TPoint& point : points_)
        if (isShown(point.row) && view.contains(viewPosition(point.longitude, point.latitude))) {
            anyInView = true;
            break;
        }
    if (followTable_ || !anyInView) fitAll();
    update();
}

void TMapView::rowsChanged(int first, int last) {
    if (!table_) return;
    const int count = table_->rowCount();
    // Rows cut off by a smaller row count take their points with them.
    for (int row = count; row < static_cast<int>(pointOfRow_.size()); ++row)
        if (pointOfRow_[row] >= 0) removePoint(pointOfRow_[row]);
    pointOfRow_.resize(static_cast<std::size_t>(count), -1);
    for (int row = std::max(first, table_->fixedRows()); row <= std::min(last, count - 1); ++row) {
        TPoint point;
        const bool valid = readRow(row, point);
        if (valid && pointOfRow_[row] >= 0) {
            points_[pointOfRow_[row]] = point;
        } else if (valid) {
            pointOfRow_[row] = static_cast<int>(points_.size());
            points_.push_back(point);
        } else if (pointOfRow_[row] >= 0) {
            removePoint(pointOfRow_[row]);
        }
    }
    byLongitudeValid_ = false;
    viewChanged();
}

void TMapView::setShownRows(const std::vector<char>* shown) {
    if (shown)
        shown_ = *shown;
    else
        shown_.clear();
    viewChanged();
}

void TMapView::setSelectedRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    selected_ = std::move(rows);
    viewChanged();
}

bool TMapView::isShown(int row) const {
    return static_cast<std::size_t>(row) >= shown_.size() || shown_[static_cast<std::size_t>(row)];
}

bool TMapView::isSelected(int row) const { return std::binary_search(selected_.begin(), selected_.end(), row); }

QPointF TMapView::viewPosition(double longitude, double latitude) const {
    return QPointF(width() / 2.0 + (longitude - centreLongitude_) * scale_ * xFactor_,
                   height() / 2.0 - (latitude - centreLatitude_) * scale_);
}

QPointF TMapView::geoPosition(QPointF pos) const {
    return QPointF(centreLongitude_ + (pos.x() - width() / 2.0) / (scale_ * xFactor_),
                   centreLatitude_ - (pos.y() - height() / 2.0) / scale_);
}

void TMapView::fitAll() {
    double west = std::numeric_limits<double>::max(), east = -west, south = west, north = -west;
    for (const TPoint& point : points_) {
        if (!isShown(point.row)) continue;
        west = std::min(west, point.longitude);
        east = std::max(east, point.longitude);
        south = std::min(south, point.latitude);
        north = std::max(north, point.latitude);
    }
    if (west > east) west = kJapanWest, east = kJapanEast, south = kJapanSouth, north = kJapanNorth;
    centreLongitude_ = (west + east) / 2;
    centreLatitude_ = (south + north) / 2;
    xFactor_ = std::max(0.1, std::cos(centreLatitude_ * std::numbers::pi / 180));
    const double across = std::max(width() - 2.0 * kFitMargin, 1.0) / (std::max(east - west, kMinimumSpan) * xFactor_);
    const double down = std::max(height() - 2.0 * kFitMargin, 1.0) / std::max(north - south, kMinimumSpan);
    scale_ = std::clamp(std::min(across, down), kMinimumScale, kMaximumScale);
    followTable_ = true;
    viewChanged();
}

void TMapView::zoomBy(double factor, QPointF around) {
    const QPointF fixed = geoPosition(around);
    scale_ = std::clamp(scale_ * factor, kMinimumScale, kMaximumScale);
    centreLongitude_ = fixed.x() - (around.x() - width() / 2.0) / (scale_ * xFactor_);
    centreLatitude_ = fixed.y() + (around.y() - height() / 2.0) / scale_;
    followTable_ = false;
    viewChanged();
}

void TMapView::panBy(QPointF offset) {
    centreLongitude_ = std::clamp(centreLongitude_ - offset.x() / (scale_ * xFactor_), -180.0, 180.0);
    centreLatitude_ = std::clamp(centreLatitude_ + offset.y() / scale_, -90.0, 90.0);
    followTable_ = false;
    viewChanged();
}

void TMapView::viewChanged() {
    mapValid_ = false;
    update();
}

void TMapView::resizeEvent(QResizeEvent*) {
    if (followTable_)
        fitAll();
    else
        viewChanged();
}

void TMapView::paintEvent(QPaintEvent*) {
    if (!mapValid_) drawMap();
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), map_);
    drawGraticule(painter, true);
    drawLegend(painter);
}

std::vector<TMapView::TLegendEntry> TMapView::legend() const {
    std::vector<int> counts(palette_.size(), 0);
    for (const TPoint& point : points_)
        if (isShown(point.row)) ++counts[point.colour];
    std::vector<TLegendEntry> entries;
    for (std::size_t i = 0; i < palette_.size(); ++i)
        if (counts[i] > 0) entries.push_back({cellToQString(palette_[i].category), palette_[i].fill, counts[i]});
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.count > b.count; });
    return entries;
}

void TMapView::drawLegend(QPainter& painter) const {
    if (legend_.empty()) return;
    const QFontMetrics metrics(font());
    const int lines = static_cast<int>(std::min(legend_.size(), kLegendLines));
    // Names on the left, counts right-aligned beside them, and the categories left over below.
    QStringList names, counts;
    for (int i = 0; i < lines; ++i) {
        const QString& category = legend_[i].category;
        names.push_back(category.isEmpty() ? QString::fromUtf8("(カテゴリなし)") : category);
        counts.push_back(QString::number(legend_[i].count));
    }
    if (legend_.size() > kLegendLines)
        names.push_back(QString::fromUtf8("ほか %1 種").arg(legend_.size() - kLegendLines));
    int nameWidth = 0, countWidth = 0;
    for (const QString& name : names) nameWidth = std::max(nameWidth, metrics.horizontalAdvance(name));
    for (const QString& count : counts) countWidth = std::max(countWidth, metrics.horizontalAdvance(count));
    const int line = metrics.height(), swatch = line / 2, padding = 6;
    const QSize size(padding * 5 + swatch + nameWidth + countWidth,
                     padding * 2 + line * static_cast<int>(names.size()));
    const QRect box(QPoint(width() - size.width() - padding, height() - size.height() - padding), size);
    painter.setPen(QColor(kGraticuleLine));
    painter.setBrush(QColor(255, 255, 255, 220));
    painter.drawRect(box);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
        const QRect row(box.left() + padding, box.top() + padding + i * line, box.width() - 2 * padding, line);
        if (i < lines) {
            painter.setPen(QColor(legend_[i].colour).darker(160));
            painter.setBrush(QColor(legend_[i].colour));
            painter.drawEllipse(QRectF(row.left(), row.center().y() - swatch / 2.0, swatch, swatch));
        }
        painter.setPen(QColor(0x30, 0x38, 0x40));
        painter.drawText(row.adjusted(swatch + padding, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, names[i]);
        if (i < lines) painter.drawText(row, Qt::AlignRight | Qt::AlignVCenter, counts[i]);
    }
}

void TMapView::drawGraticule(QPainter& painter, bool labels) const {
    const double step = graticuleStep(scale_ * std::min(1.0, xFactor_), kGraticuleSpacing);
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    const QPointF northWest = geoPosition(QPointF(0, 0));
    const QPointF southEast = geoPosition(QPointF(width(), height()));
    const double firstLongitude = std::ceil(std::max(northWest.x(), -180.0) / step);
    const double lastLongitude = std::floor(std::min(southEast.x(), 180.0) / step);
    const double firstLatitude = std::ceil(std::max(southEast.y(), -90.0) / step);
    const double lastLatitude = std::floor(std::min(northWest.y(), 90.0) / step);
    const QFontMetrics metrics(font());
    auto label = [&](const QString& text, QPointF at) {
        QRectF box = metrics.boundingRect(text);
        box.moveTopLeft(at);
        box.adjust(-2, 0, 2, 0);
        painter.fillRect(box, QColor(255, 255, 255, 200));
        painter.drawText(box, Qt::AlignCenter, text);
    };
    painter.setPen(labels ? QColor(0x50, 0x5a, 0x64) : QColor(kGraticuleLine));
    for (double k = firstLongitude; k <= lastLongitude; ++k) {
        const double x = viewPosition(k * step, 0).x();
        if (labels)
            label(degreeLabel(k * step, decimals, 'E', 'W'), QPointF(x + 3, 2));
        else
            painter.drawLine(QPointF(x, 0), QPointF(x, height()));
    }
    for (double k = firstLatitude; k <= lastLatitude; ++k) {
        const double y = viewPosition(0, k * step).y();
        // Latitude labels stand above their lines, clear of the longitude labels along the top.
        if (!labels)
            painter.drawLine(QPointF(0, y), QPointF(width(), y));
        else if (y - metrics.height() - 1 > metrics.height() + 2)
            label(degreeLabel(k * step, decimals, 'N', 'S'), QPointF(3, y - metrics.height() - 1));
    }
}

void TMapView::drawMap() {
    const qreal ratio = devicePixelRatioF();
    const QSize size = (QSizeF(this->size()) * ratio).toSize();
    if (map_.size() != size) map_ = QImage(size, QImage::Format_RGB32);
    map_.setDevicePixelRatio(ratio);
    map_.fill(kBackground);
    mapValid_ = true;
    legend_ = legend();
    if (size.isEmpty()) return;
    {
        QPainter painter(&map_);
        drawGraticule(painter, false);
    }
    // The dots are written straight into the image's pixels: far faster than painting each one.
    auto* pixels = reinterpret_cast<QRgb*>(map_.bits());
    const qsizetype stride = map_.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    const int width = size.width(), height = size.height();
    // Device pixels from degrees: x = x0 + longitude * sx, y = y0 - latitude * sy.
    const double sx = scale_ * xFactor_ * ratio, sy = scale_ * ratio;
    const double x0 = width / 2.0 - centreLongitude_ * sx, y0 = height / 2.0 + centreLatitude_ * sy;
    auto draw = [&](const TPoint& point, const TDot& dot, const QRgb(&colours)[3]) {
        const double x = x0 + point.longitude * sx, y = y0 - point.latitude * sy;
        if (x < -dot.radius - 1 || y < -dot.radius - 1 || x > width + dot.radius || y > height + dot.radius) return;
        stampDot(pixels, stride, width, height, qRound(x), qRound(y), dot, colours);
    };
    for (const TPoint& point : points_) {
        if (!isShown(point.row)) continue;
        const TPaletteEntry& entry = palette_[point.colour];
        const QRgb colours[3] = {entry.edge, entry.fill, entry.fill};
        draw(point, recordDot(), colours);
    }
    for (const int row : selected_) {
        if (row < 0 || row >= static_cast<int>(pointOfRow_.size()) || pointOfRow_[row] < 0 || !isShown(row)) continue;
        const TPoint& point = points_[pointOfRow_[row]];
        const QRgb colours[3] = {kSelectionOutline, kSelectionRing, palette_[point.colour].fill};
        draw(point, selectedDot(), colours);
    }
}

const std::vector<int>& TMapView::longitudeOrder() const {
    if (!byLongitudeValid_) {
        byLongitude_.resize(points_.size());
        std::iota(byLongitude_.begin(), byLongitude_.end(), 0);
        std::stable_sort(byLongitude_.begin(), byLongitude_.end(),
                         [this](int a, int b) { return points_[a].longitude < points_[b].longitude; });
        byLongitudeValid_ = true;
    }
    return byLongitude_;
}

std::pair<std::size_t, std::size_t> TMapView::longitudeRange(double west, double east) const {
    const std::vector<int>& order = longitudeOrder();
    const auto begin = std::lower_bound(order.begin(), order.end(), west,
                                        [this](int index, double value) { return points_[index].longitude < value; });
    const auto end = std::upper_bound(begin, order.end(), east,
                                      [this](double value, int index) { return value < points_[index].longitude; });
    return {static_cast<std::size_t>(begin - order.begin()), static_cast<std::size_t>(end - order.begin())};
}

int TMapView::recordAt(QPoint pos) const {
    const auto [begin, end] = longitudeRange(geoPosition(QPointF(pos.x() - kPickRadius, 0)).x(),
                                             geoPosition(QPointF(pos.x() + kPickRadius, 0)).x());
    int best = -1;
    double bestDistance = kPickRadius * kPickRadius;
    std::pair<bool, int> bestLayer{false, -1}; // the dot drawn on top wins among equally near ones
    for (std::size_t k = begin; k < end; ++k) {
        const int index = byLongitude_[k];
        const TPoint& point = points_[index];
        if (!isShown(point.row)) continue;
        const QPointF offset = viewPosition(point.longitude, point.latitude) - QPointF(pos);
        const double distance = offset.x() * offset.x() + offset.y() * offset.y();
        if (distance > bestDistance) continue;
        const bool selected = isSelected(point.row);
        const std::pair<bool, int> layer{selected, selected ? point.row : index};
        if (distance < bestDistance || layer > bestLayer) {
            best = point.row;
            bestDistance = distance;
            bestLayer = layer;
        }
    }
    return best;
}

QString TMapView::toolTipFor(int row) const {
    if (!table_ || row >= table_->rowCount()) return QString();
    const TPointMarkRow& cells = table_->row(row);
    QString text = QString::fromUtf8("レコード %1: %2").arg(row).arg(cellToQString(cells[kNameColumn]));
    if (!cells[kCategoryColumn].empty()) text += QString::fromUtf8("\n%1").arg(cellToQString(cells[kCategoryColumn]));
    return text + QString::fromUtf8("\n%1, %2")
                      .arg(cellToQString(cells[kLatitudeColumn]), cellToQString(cells[kLongitudeColumn]));
}

bool TMapView::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const int row = recordAt(help->pos());
    if (row < 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const int radius = static_cast<int>(kPickRadius);
    const QPoint at = viewPosition(points_[pointOfRow_[row]].longitude, points_[pointOfRow_[row]].latitude).toPoint();
    QToolTip::showText(help->globalPos(), toolTipFor(row), this,
                       QRect(at - QPoint(radius, radius), QSize(2 * radius + 1, 2 * radius + 1)));
    return true;
}

void TMapView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return event->ignore();
    zoomBy(std::pow(kZoomStep, notches), event->position());
}

void TMapView::keyPressEvent(QKeyEvent* event) {
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double stepX = width() / 8.0, stepY = height() / 8.0;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return zoomBy(kZoomStep, centre);
    case Qt::Key_Minus:
        return zoomBy(1 / kZoomStep, centre);
    case Qt::Key_Left:
        return panBy(QPointF(stepX, 0));
    case Qt::Key_Right:
        return panBy(QPointF(-stepX, 0));
    case Qt::Key_Up:
        return panBy(QPointF(0, stepY));
    case Qt::Key_Down:
        return panBy(QPointF(0, -stepY));
    case Qt::Key_Home:
        return fitAll();
    case Qt::Key_Escape:
        if (!pressed_ || !selecting_) break;
        rubberBand_->hide();
        pressed_ = false;
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void TMapView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressed_ = true;
    dragging_ = false;
    selecting_ = event->modifiers().testFlag(Qt::ShiftModifier);
    pressPos_ = lastPos_ = event->position().toPoint();
}

void TMapView::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_) return QWidget::mouseMoveEvent(event);
    const QPoint pos = event->position().toPoint();
    if (!dragging_ && (pos - pressPos_).manhattanLength() < QApplication::startDragDistance()) return;
    dragging_ = true;
    if (selecting_) {
        rubberBand_->setGeometry(QRect(pressPos_, pos).normalized());
        rubberBand_->show();
    } else {
        setCursor(Qt::ClosedHandCursor);
        panBy(pos - lastPos_);
    }
    lastPos_ = pos;
}

void TMapView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
    pressed_ = false;
    setCursor(Qt::OpenHandCursor);
    const QPoint pos = event->position().toPoint();
    if (!dragging_) {
        const int row = recordAt(pos);
        if (row >= 0) emit recordClicked(row);
    } else if (selecting_) {
        rubberBand_->hide();
        const QRect box = QRect(pressPos_, pos).normalized();
        const QPointF northWest = geoPosition(box.topLeft()), southEast = geoPosition(box.bottomRight());
        const auto [begin, end] = longitudeRange(northWest.x(), southEast.x());
        std::vector<int> rows;
        for (std::size_t k = begin; k < end; ++k) {
            const TPoint& point = points_[byLongitude_[k]];
            if (point.latitude <= northWest.y() && point.latitude >= southEast.y() && isShown(point.row))
                rows.push_back(point.row);
        }
        std::sort(rows.begin(), rows.end());
        emit recordsSelected(rows);
    }
}
