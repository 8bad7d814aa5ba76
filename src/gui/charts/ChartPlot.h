#pragma once
// A chart's plot, painted opaque. Its one drawing buffer is an image filled with the chart's
// background rather than a transparent one laid over a fill, so putting the chart on the screen
// is a straight copy of it, and its line may write the buffer's pixels itself (ColumnGraph).
#include <qcustomplot.h>

namespace kmr {

class ChartPlot : public QCustomPlot {
public:
    explicit ChartPlot(QWidget* parent);
    // The buffer's image when `painter` draws on it without a transform, one pixel a unit.
    QImage* PlainImageOf(const QPainter* painter) const;
    const QBrush& BackgroundBrush() const { return mBackgroundBrush; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kmr
