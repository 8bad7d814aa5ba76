#pragma once
// A channel's line. What it is given is already at most about two points per pixel column (the
// record's summary, the strip's columns), so QCustomPlot's own sampling is off and the line is
// drawn as one vertical stroke per pixel column, reaching back to where the line came from, with
// a plain segment wherever the line skips columns. That covers the pixels the polyline covers, in
// about half as many strokes, and vertical strokes are the cheapest a raster paints. Smooth lines
// (printing) and anything but a plain line on linear axes are left to the library.
#include <qcustomplot.h>

namespace kmr {

class ColumnGraph : public QCPGraph {
public:
    ColumnGraph(QCPAxis* key, QCPAxis* value) : QCPGraph(key, value) { setAdaptiveSampling(false); }

protected:
    void draw(QCPPainter* painter) override;

private:
    void Add(double px, double py);
    // The chart's own image, when the columns may be written into it directly.
    QImage* DirectImage(const QPainter* painter) const;
    void Close() {
        if (open_) strokes_.append(QLine(column_, lo_, column_, hi_));
    }

    QVector<QLine> strokes_;  // reused by every repaint
    bool open_ = false;       // a column's stroke is being gathered
    int column_ = 0, lo_ = 0, hi_ = 0, lastX_ = 0, lastY_ = 0;
};

}  // namespace kmr
