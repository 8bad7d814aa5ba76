#include "gui/charts/ChartsWidgetRow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include "core/app/HandlerGate.h"
#include "core/app/Keyboard.h"

namespace kmr {

namespace {

Key KeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Left: return Key::Left;
    case Qt::Key_Right: return Key::Right;
    case Qt::Key_Plus:
    case Qt::Key_Equal: return Key::Plus;  // + without Shift on many layouts
    case Qt::Key_Minus: return Key::Minus;
    case Qt::Key_Home: return Key::Home;
    default: return Key::Other;
    }
}

ChartButton ButtonOf(Qt::MouseButton b) {
    return b == Qt::LeftButton ? ChartButton::Left : b == Qt::RightButton ? ChartButton::Right : ChartButton::Other;
}

}  // namespace

int ChartsWidget::IndexOfPlot(QObject* o) const {
    for (int i = 0; i < kCharts; ++i)
        if (rows_[static_cast<std::size_t>(i)]->plot == o) return i;
    return -1;
}

bool ChartsWidget::eventFilter(QObject* watched, QEvent* e) {
    const int index = IndexOfPlot(watched);
    if (index < 0) return QWidget::eventFilter(watched, e);
    if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut) {
        MarkFocus(index, e->type() == QEvent::FocusIn);
        return false;
    }
    // Only input goes through the gate. A paint or a resize is no handler: through the gate it
    // would run what a window's close left held for after its event (a monitor tick that waits for
    // the instrument) inside the painting.
    switch (e->type()) {
    case QEvent::Leave:
    case QEvent::Wheel:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: break;
    default: return false;
    }
    bool taken = false;
    const auto forward = [&] { taken = Forward(index, e); };
    if (gate_ != nullptr)
        gate_->Input(forward);
    else
        forward();
    return taken;
}

bool ChartsWidget::Forward(int index, QEvent* e) {
    const auto mouse = [e] { return static_cast<QMouseEvent*>(e); };
    switch (e->type()) {
    case QEvent::Leave:
        presenter_.PointerLeft();
        return false;
    case QEvent::Wheel: {
        auto* w = static_cast<QWheelEvent*>(e);
        const double x = rows_[static_cast<std::size_t>(index)]->plot->xAxis->pixelToCoord(w->position().x());
        if (presenter_.Wheel(index, x, w->angleDelta().y() / 120.0)) return true;
        // Off a record the wheel scrolls the rows (the chart would swallow it).
        return QApplication::sendEvent(scroll_->verticalScrollBar(), e);
    }
    case QEvent::MouseButtonDblClick:
        return presenter_.DoubleClick(index);
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        return presenter_.KeyPressed(index, ChartKeyActionOf(KeyOf(k->key())), (k->modifiers() & Qt::ShiftModifier) != 0);
    }
    case QEvent::MouseButtonPress:
        return presenter_.Press(index, PointerOf(index, mouse()), ButtonOf(mouse()->button()),
                                (mouse()->modifiers() & Qt::ShiftModifier) != 0,
                                (mouse()->modifiers() & Qt::ControlModifier) != 0);
    case QEvent::MouseMove:
        return presenter_.Move(index, PointerOf(index, mouse()));
    case QEvent::MouseButtonRelease:
        return presenter_.Release(index, PointerOf(index, mouse()));
    default:
        return false;
    }
}

ChartPointer ChartsWidget::PointerOf(int index, const QMouseEvent* m) const {
    const QCustomPlot* plot = rows_[static_cast<std::size_t>(index)]->plot;
    const QPoint pos = m->position().toPoint();
    ChartPointer p;
    p.at = {pos.x(), pos.y()};
    p.x = plot->xAxis->pixelToCoord(pos.x());
    p.y = plot->yAxis->pixelToCoord(pos.y());
    p.plotWidth = plot->axisRect()->width();
    return p;
}

void ChartsWidget::MarkFocus(int index, bool in) {
    // The focused chart's channel number is marked.
    const ChannelRow& r = *rows_[static_cast<std::size_t>(index)];
    r.channel->setAutoFillBackground(in);
    r.channel->setBackgroundRole(QPalette::Highlight);
    r.channel->setForegroundRole(in ? QPalette::HighlightedText : QPalette::WindowText);
    if (in) scroll_->ensureWidgetVisible(r.row, 0, 0);
}

void ChartsWidget::ShowDragBand(int index, ChartPixel from, ChartPixel to) {
    const QCustomPlot* plot = rows_[static_cast<std::size_t>(index)]->plot;
    const QPoint a = plot->mapTo(this, QPoint(from.x, from.y)), b = plot->mapTo(this, QPoint(to.x, to.y));
    band_->setGeometry(QRect(a, b).normalized());
    band_->show();
}

void ChartsWidget::HideDragBand() { band_->hide(); }

void ChartsWidget::ShowPointerReading(const std::string& text) { emit pointerReading(Qs(text)); }

}  // namespace kmr
