#include "gui/ChartArea.h"

#include <QPainter>

namespace kmr::gui {

namespace {

// Keeps the charts' place in the window until the chart widget is joined: an empty plot
// background that hears of every change and draws none.
class EmptyChartArea : public QWidget, public ChartView {
public:
    explicit EmptyChartArea(QWidget* parent) : QWidget(parent) {
        setObjectName("pictGraph");
        setMinimumSize(320, 200);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    void BatchEnded(const ChartChanges&) override {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Base));
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

}  // namespace

ChartArea CreateChartArea(Engine&, QWidget* parent) {
    auto* area = new EmptyChartArea(parent);
    return {area, area};
}

}  // namespace kmr::gui
