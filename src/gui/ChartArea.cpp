#include "gui/ChartArea.h"

#include "gui/charts/ChartArea.h"
#include "gui/GuiText.h"

namespace kmr::gui {

ChartArea CreateChartArea(Engine& e, QWidget* parent) {
    // Each chart row draws its channel's data panel beside its graph.
    auto* area = new kmr::ChartArea(e.chart, e.s.Graph, e.s.Meas, parent);
    area->setObjectName("pictGraph");
    area->SetReadoutTitles({"A", "B", "B-A", T(2705), T(2706), T(2707)});
    return {area, area};
}

}  // namespace kmr::gui
