#include "gui/FloodPanel.h"

#include <QPainter>
#include <QStyleOptionFrame>

namespace kmr::gui {

FloodPanel::FloodPanel(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void FloodPanel::SetPercent(double percent) {
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    if (percent == percent_) return;
    percent_ = percent;
    update();
}

void FloodPanel::SetCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
}

void FloodPanel::SetFloodColour(const QColor& colour) {
    flood_ = colour;
    update();
}

void FloodPanel::SetCaptionColour(const QColor& colour) {
    captionColour_ = colour;
    update();
}

QSize FloodPanel::sizeHint() const {
    return {fontMetrics().horizontalAdvance("00000.0 SEC.") + 24, fontMetrics().height() + 8};
}

void FloodPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().color(QPalette::Base));
    const QRect inner = r.adjusted(1, 1, -1, -1);
    const int w = static_cast<int>(inner.width() * percent_ / 100.0 + 0.5);
    if (w > 0) p.fillRect(QRect(inner.left(), inner.top(), w, inner.height()), flood_);
    // The caption over the bar: window text, or its own colour; on the yellow bar always legible.
    p.setPen(captionColour_.isValid() ? captionColour_ : palette().color(QPalette::WindowText));
    if (!captionColour_.isValid() && w > 0) p.setPen(Qt::black);
    p.drawText(inner, Qt::AlignCenter, caption_);
    // Sunken border.
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

}  // namespace kmr::gui
