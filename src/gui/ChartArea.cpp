#include "gui/ChartArea.h"

#include "gui/charts/ChartArea.h"
#include "gui/GuiText.h"

namespace kmr::gui {

ChartArea CreateChartArea(Engine& e, QWidget* parent) {
    // The charts draw each row's data panel beside its graph, so the window's own column of
    // channel panels stays hidden while they are in place.
    auto* area = new kmr::ChartArea(e.chart, e.s.Graph, e.s.Meas, parent);
    area->setObjectName("pictGraph");
    area->SetReadoutTitles({"A", "B", "B-A", T(txt::CursorMin), T(txt::CursorMax), T(txt::CursorMean)});
    return {area, area, true};
}

}  // namespace kmr::gui
