#include "gui/ChartAreaParts.h"

#include "gui/charts/ChartsWidget.h"
#include "gui/GuiText.h"

namespace kmr::gui {

ChartAreaParts CreateChartArea(Engine& e, QWidget* parent) {
    // The charts draw each row's data panel beside its graph, so the window's own column of
    // channel panels stays hidden while they are in place.
    auto* charts = new kmr::ChartsWidget(e.chart, e.s.Graph, e.s.Meas, parent);
    charts->setObjectName("pictGraph");
    charts->SetReadoutTitles({"A", "B", "B-A", T(2705), T(2706), T(2707)});
    return {charts, charts, true};
}

}  // namespace kmr::gui
