#include "gui/ChartAreaParts.h"

#include "gui/charts/ChartsWidget.h"
#include "gui/GuiText.h"

namespace kmr::gui {

ChartAreaParts CreateChartArea(Engine& e, QWidget* parent) {
    // Each chart row draws its channel's data panel beside its graph.
    auto* charts = new kmr::ChartsWidget(e.chart, e.s.Graph, e.s.Meas, parent);
    charts->setObjectName("pictGraph");
    charts->SetGate(&e.gate);
    charts->SetReadoutTitles({"A", "B", "B-A", T(txt::CursorMin), T(txt::CursorMax), T(txt::CursorMean)});
    return {charts, charts};
}

}  // namespace kmr::gui
