#include "gui/charts/ColumnGraph.h"

#include "gui/charts/ChartPlot.h"

#include <algorithm>
#include <cmath>

namespace kmr {

namespace {

// The nearest pixel, halves away from zero, kept far outside any chart but still an int; inline
// (the library's rounding is a call per point).
int Pixel(double p) {
    constexpr double kFar = 1e6;
    const double c = std::clamp(p, -kFar, kFar);
    return static_cast<int>(c + std::copysign(0.5, c));
}

}  // namespace

void ColumnGraph::draw(QCPPainter* painter) {
    QCPAxis* key = mKeyAxis.data();
    QCPAxis* value = mValueAxis.data();
    if (!key || !value) return;
    if (mDataContainer->isEmpty() || mPen.style() == Qt::NoPen) return;
    applyDefaultAntialiasingHint(painter);
    const bool plain = mLineStyle == lsLine && mScatterStyle.isNone() && mBrush.style() == Qt::NoBrush &&
                       !painter->antialiasing() && key->scaleType() == QCPAxis::stLinear &&
                       value->scaleType() == QCPAxis::stLinear && key->orientation() == Qt::Horizontal;
    if (!plain) {
        QCPGraph::draw(painter);
        return;
    }
    // Pixel = origin + scale * coordinate on both linear axes.
    const double kx0 = key->coordToPixel(0.0), kx1 = key->coordToPixel(1.0) - kx0;
    const double vy0 = value->coordToPixel(0.0), vy1 = value->coordToPixel(1.0) - vy0;
    QCPGraphDataContainer::const_iterator begin, end;
    getVisibleDataBounds(begin, end, QCPDataRange(0, dataCount()));
    strokes_.clear();
    open_ = false;
    for (auto it = begin; it != end; ++it) Add(kx0 + kx1 * it->key, vy0 + vy1 * it->value);
    Close();
    painter->setPen(mPen);
    painter->setBrush(Qt::NoBrush);
    if (QImage* image = DirectImage(painter)) {
        // The columns written straight into the chart's image, as the painter would set them (both
        // ends included); the few slanted segments are left to it.
        const QRect clip = (painter->hasClipping() ? painter->clipBoundingRect().toAlignedRect() : image->rect())
                               .intersected(image->rect());
        const QRgb colour = mPen.color().rgb();
        auto* bits = reinterpret_cast<QRgb*>(image->bits());
        const qsizetype stride = image->bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
        QLine* lines = strokes_.data();
        qsizetype slanted = 0;
        for (qsizetype i = 0; i < strokes_.size(); ++i) {
            const QLine l = lines[i];
            if (l.x1() != l.x2()) {
                lines[slanted++] = l;
                continue;
            }
            if (l.x1() < clip.left() || l.x1() > clip.right()) continue;
            const int top = std::max(std::min(l.y1(), l.y2()), clip.top());
            const int bottom = std::min(std::max(l.y1(), l.y2()), clip.bottom());
            // A stroke wholly above or below the chart has no row to set (top > bottom).
            for (int y = top; y <= bottom; ++y) bits[y * stride + l.x1()] = colour;
        }
        strokes_.resize(slanted);
    }
    painter->drawLines(strokes_);
}

QImage* ColumnGraph::DirectImage(const QPainter* painter) const {
    const auto* plot = dynamic_cast<const ChartPlot*>(mParentPlot);
    QImage* image = plot ? plot->PlainImageOf(painter) : nullptr;
    if (image == nullptr || image->format() != QImage::Format_RGB32) return nullptr;
    // A one-pixel solid pen of an opaque colour, painted over what is there.
    if (mPen.style() != Qt::SolidLine || mPen.widthF() > 1.0 || mPen.color().alpha() != 255 ||
        painter->compositionMode() != QPainter::CompositionMode_SourceOver || painter->opacity() != 1.0)
        return nullptr;
    return image;
}

void ColumnGraph::Add(double px, double py) {
    if (!std::isfinite(px) || !std::isfinite(py)) {  // a gap
        Close();
        open_ = false;
        return;
    }
    const int x = Pixel(px);
    const int y = Pixel(py);
    if (open_ && x == column_) {
        lo_ = std::min(lo_, y);
        hi_ = std::max(hi_, y);
    } else if (open_ && std::abs(x - column_) == 1) {
        Close();
        column_ = x;
        lo_ = std::min(lastY_, y);
        hi_ = std::max(lastY_, y);
    } else {
        Close();
        if (open_) strokes_.append(QLine(lastX_, lastY_, x, y));
        open_ = true;
        column_ = x;
        lo_ = hi_ = y;
    }
    lastX_ = x;
    lastY_ = y;
}

}  // namespace kmr
