#pragma once
// The chart area of the main window: one widget that draws the charts the chart model holds and
// hears of every change through the model's ChartView port. It is made in one place only.
#include <QWidget>

#include "core/app/Engine.h"
#include "core/graphs/ChartModel.h"

namespace kmr::gui {

// What the main window takes of the chart area: the widget to lay out and the port it passes the
// model's batches on to.
struct ChartAreaParts {
    QWidget* widget = nullptr;
    ChartView* view = nullptr;
    bool drawsDataPanels = false;  // each chart row carries its own data panel
};

// Makes the chart area of `e`'s chart model as a child of `parent`.
ChartAreaParts CreateChartArea(Engine& e, QWidget* parent);

}  // namespace kmr::gui
