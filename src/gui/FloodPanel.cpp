#include "gui/FloodPanel.h"

#include <QPainter>
#include <QStyleOptionFrame>

#include <algorithm>

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
    const int before = sizeHint().width();
    caption_ = caption;
    // A caption wider than the time (the high-speed one) widens the panel while it shows.
    if (sizeHint().width() != before) updateGeometry();
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

QSize FloodPanel::minimumSizeHint() const {
    // Room for "12345.6 SEC." and its bar, or for a wider caption whole.
    const QFontMetrics fm = fontMetrics();
    return {std::max(fm.horizontalAdvance(QLatin1Char('8')) * 14, fm.horizontalAdvance(caption_) + 24),
            fm.height() + 8};
}

QSize FloodPanel::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    return {std::max(fm.horizontalAdvance("00000.0 SEC."), fm.horizontalAdvance(caption_)) + 24, fm.height() + 8};
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
