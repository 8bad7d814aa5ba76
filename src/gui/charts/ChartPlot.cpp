#include "gui/charts/ChartPlot.h"

namespace kmr {

namespace {

// The first buffer, which every layer of a chart draws into (none is buffered apart): an image
// without an alpha channel, cleared to the plot's background.
class OpaqueBuffer : public QCPAbstractPaintBuffer {
public:
    OpaqueBuffer(const ChartPlot& plot, const QSize& size, double ratio)
        : QCPAbstractPaintBuffer(size, ratio), plot_(plot) {
        OpaqueBuffer::reallocateBuffer();
    }
    QCPPainter* startPainting() override { return new QCPPainter(&image_); }
    void draw(QCPPainter* painter) const override { painter->drawImage(QPointF(0, 0), image_); }
    void clear(const QColor&) override {
        const QBrush& b = plot_.BackgroundBrush();
        const QColor fill = b.style() == Qt::SolidPattern ? b.color() : QColor(Qt::white);
        // The chart's own area is filled by its background when it is drawn (all of it but the
        // bottom row, which the library's clip leaves out): only the rest needs the fill here.
        QCPAxisRect* inner = plot_.axisRectCount() > 0 ? plot_.axisRect() : nullptr;
        const QRect covered = inner && inner->backgroundBrush().style() == Qt::SolidPattern &&
                                      inner->backgroundBrush().color().alpha() == 255 && mDevicePixelRatio == 1.0
                                  ? inner->rect() & QRect(0, 0, image_.width(), image_.height() - 1)
                                  : QRect();
        if (covered.isEmpty()) {
            image_.fill(fill);
            return;
        }
        QPainter p(&image_);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        for (const QRect& r : QRegion(image_.rect()).subtracted(covered)) p.fillRect(r, fill);
    }
    QImage& Image() { return image_; }

protected:
    void reallocateBuffer() override {
        setInvalidated();
        image_ = QImage(mSize * mDevicePixelRatio, QImage::Format_RGB32);
        image_.setDevicePixelRatio(mDevicePixelRatio);
    }

private:
    const ChartPlot& plot_;
    QImage image_;
};

}  // namespace

ChartPlot::ChartPlot(QWidget* parent) : QCustomPlot(parent) {
    // Put in place before the first replot, which only makes a buffer when there is none.
    mPaintBuffers.clear();
    mPaintBuffers.append(QSharedPointer<QCPAbstractPaintBuffer>(new OpaqueBuffer(*this, viewport().size(), mBufferDevicePixelRatio)));
}

QImage* ChartPlot::PlainImageOf(const QPainter* painter) const {
    auto* buffer = mPaintBuffers.isEmpty() ? nullptr : dynamic_cast<OpaqueBuffer*>(mPaintBuffers.front().data());
    if (buffer == nullptr || painter->device() != &buffer->Image()) return nullptr;
    if (buffer->Image().devicePixelRatio() != 1.0 || !painter->transform().isIdentity()) return nullptr;
    return &buffer->Image();
}

void ChartPlot::paintEvent(QPaintEvent* event) {
    auto* buffer = mPaintBuffers.size() == 1 ? dynamic_cast<OpaqueBuffer*>(mPaintBuffers.front().data()) : nullptr;
    // Until a replot has drawn the buffer at the chart's size, as the library paints it.
    if (buffer == nullptr || buffer->invalidated() || buffer->size() != size() || !mBackgroundPixmap.isNull()) {
        QCustomPlot::paintEvent(event);
        return;
    }
    QCPPainter painter(this);
    buffer->draw(&painter);
}

}  // namespace kmr
