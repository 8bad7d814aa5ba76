#pragma once
// What the chart widget's files share: one channel's row of widgets and the small conversions
// between the model's values and what QCustomPlot draws.
#include <QLabel>
#include <QString>
#include <QVector>
#include <algorithm>
#include <limits>
#include <qcustomplot.h>
#include <string>
#include <vector>

#include "core/graphs/StripColumns.h"
#include "gui/charts/ChartsWidget.h"

namespace kmr {

// The paint tick: at most 25 repaints a second.
inline constexpr int kReplotIntervalMs = 40;

inline QString Qs(const std::string& s) { return QString::fromStdString(s); }

inline QString ChannelText(int channel) { return Qs(ChannelCaption(channel)); }

// Marker values are gaps: QCustomPlot leaves out NaN values.
inline double Drawn(double y) { return IsNoValue(y) ? std::numeric_limits<double>::quiet_NaN() : y; }

inline void ToVectors(const std::vector<double>& x, const std::vector<double>& y, QVector<double>& kx,
                      QVector<double>& ky) {
    kx.resize(static_cast<qsizetype>(x.size()));
    ky.resize(static_cast<qsizetype>(y.size()));
    std::copy(x.begin(), x.end(), kx.begin());
    std::transform(y.begin(), y.end(), ky.begin(), Drawn);
}

// Sets `axis` to `range` with the ticks and numbers `a` asks for; `ticks`: the steps the axis can
// number at its length without the numbers running together; `leastStep` (an automatic axis too
// short for two such steps): the smallest step, as a share of the range, to number it with.
void SetAxis(QCPAxis* axis, const AxisSettings& a, const AxisRange& range, int ticks, double leastStep);

// One channel's row: the data panel and the chart.
struct ChartsWidget::ChannelRow {
    QWidget* row = nullptr;
    QWidget* panel = nullptr;
    QLabel* channel = nullptr;
    std::array<QLabel*, kPanelValues> captions{};
    std::array<QLabel*, kPanelValues> values{};
    QLabel* cursor = nullptr;
    QLabel* xUnit = nullptr;
    QCustomPlot* plot = nullptr;
    QCPGraph* graph = nullptr;
    QCPItemStraightLine* trigger = nullptr;
    std::array<QCPItemStraightLine*, 2> cursorLines{};
    ChartCounters counters;
    ChartPoints points;  // reused for every query
    StripColumns strip;  // the drawn points of a strip, per pixel column
    double stripWidth = -1.0;
    QVector<double> kx, ky;
    int yTicks = 5, xTicks = 5;  // steps the axes can number at the row's size
    double yLeastStep = 0.0;
};

}  // namespace kmr
