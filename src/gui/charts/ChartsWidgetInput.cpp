#include "gui/charts/ChartsWidgetRow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

#include "core/app/Keyboard.h"

namespace kmr {

namespace {
// A press that moves less than this many pixels is a click.
constexpr int kClickSlop = 3;
}  // namespace

int ChartsWidget::IndexOfPlot(QObject* o) const {
    for (int i = 0; i < kCharts; ++i)
        if (rows_[static_cast<std::size_t>(i)]->plot == o) return i;
    return -1;
}

bool ChartsWidget::eventFilter(QObject* watched, QEvent* e) {
    const int index = IndexOfPlot(watched);
    if (index < 0) return QWidget::eventFilter(watched, e);
    return HandleMouse(index, e);
}

bool ChartsWidget::HandleMouse(int index, QEvent* e) {
    QCustomPlot* plot = rows_[static_cast<std::size_t>(index)]->plot;
    const bool record = model_.GraphMode() == kRecordedMode && model_.ShowsRecord(index);
    switch (e->type()) {
    case QEvent::Leave:
        emit pointerReading(QString());
        return false;
    case QEvent::Wheel: {
        // Off a record the wheel scrolls the rows (the chart would swallow it).
        if (!record) return QApplication::sendEvent(scroll_->verticalScrollBar(), e);
        auto* w = static_cast<QWheelEvent*>(e);
        const double notches = w->angleDelta().y() / 120.0;
        if (notches == 0.0) return true;
        ZoomTime(plot->xAxis->pixelToCoord(w->position().x()), std::pow(kWheelZoomFactor, notches));
        return true;
    }
    case QEvent::MouseButtonDblClick:
        if (!record) return false;
        press_ = {};
        // Back to the configured scale only: the cursor its first click placed goes back too.
        if (!(cursors_ == cursorsBeforePress_)) {
            cursors_ = cursorsBeforePress_;
            ApplyCursors();
        }
        ResetView();
        return true;
    case QEvent::KeyPress:
        return record && HandleKey(index, static_cast<QKeyEvent*>(e));
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        // The focused chart's channel number is marked.
        QLabel* channel = rows_[static_cast<std::size_t>(index)]->channel;
        channel->setAutoFillBackground(e->type() == QEvent::FocusIn);
        channel->setBackgroundRole(QPalette::Highlight);
        channel->setForegroundRole(e->type() == QEvent::FocusIn ? QPalette::HighlightedText : QPalette::WindowText);
        if (e->type() == QEvent::FocusIn) scroll_->ensureWidgetVisible(rows_[static_cast<std::size_t>(index)]->row, 0, 0);
        return false;
    }
    case QEvent::MouseButtonPress:
        return record && MousePressed(index, static_cast<QMouseEvent*>(e));
    case QEvent::MouseMove:
        return MouseMoved(index, record, static_cast<QMouseEvent*>(e));
    case QEvent::MouseButtonRelease:
        return MouseReleased(index, static_cast<QMouseEvent*>(e));
    default:
        return false;
    }
}

bool ChartsWidget::MousePressed(int index, QMouseEvent* m) {
    press_ = {};
    cursorsBeforePress_ = cursors_;
    press_.index = index;
    press_.at = m->position().toPoint();
    press_.rectangle = m->button() == Qt::RightButton ||
                       (m->button() == Qt::LeftButton && (m->modifiers() & Qt::ControlModifier));
    press_.shift = (m->modifiers() & Qt::ShiftModifier) != 0;
    press_.startX = XRangeOf(index);
    return true;
}

bool ChartsWidget::MouseMoved(int index, bool record, QMouseEvent* m) {
    QCustomPlot* plot = rows_[static_cast<std::size_t>(index)]->plot;
    const QPoint pos = m->position().toPoint();
    if (record) {
        const PointerReading reading =
            ReadingAt(model_, meas_, index, plot->xAxis->pixelToCoord(pos.x()));
        emit pointerReading(Qs(reading.text));
    }
    if (press_.index != index) return false;
    if ((pos - press_.at).manhattanLength() >= kClickSlop) press_.moved = true;
    if (!press_.moved) return true;
    if (press_.rectangle) {
        const QPoint a = plot->mapTo(this, press_.at), b = plot->mapTo(this, pos);
        band_->setGeometry(QRect(a, b).normalized());
        band_->show();
    } else {
        // Panning: the time under the press stays under the pointer (measured against the
        // range at the press, since the axis moves while dragging).
        const double perPixel = press_.startX.width() / std::max(1, plot->axisRect()->width());
        const AxisRange r = PanBy(press_.startX, (press_.at.x() - pos.x()) * perPixel);
        ShowTimeRange(r.lo, r.hi);
    }
    return true;
}

bool ChartsWidget::MouseReleased(int index, QMouseEvent* m) {
    QCustomPlot* plot = rows_[static_cast<std::size_t>(index)]->plot;
    if (press_.index != index) return false;
    const QPoint pos = m->position().toPoint();
    const Press p = press_;
    press_ = {};
    band_->hide();
    if (!p.moved) {
        if (!p.rectangle) PlaceCursorAt(index, plot->xAxis->pixelToCoord(pos.x()), p.shift);
        return true;
    }
    if (p.rectangle) {
        AxisRange x;
        if (RangeOfDrag(plot->xAxis->pixelToCoord(p.at.x()), plot->xAxis->pixelToCoord(pos.x()),
                        MinimumXWidth(model_, index), x)) {
            const double y0 = plot->yAxis->pixelToCoord(p.at.y());
            const double y1 = plot->yAxis->pixelToCoord(pos.y());
            if (y0 != y1) zoomedY_[static_cast<std::size_t>(index)] = AxisRange{std::min(y0, y1), std::max(y0, y1)};
            ShowTimeRange(x.lo, x.hi);
            ApplyAxes(index);
        }
    }
    return true;
}

bool ChartsWidget::HandleKey(int index, QKeyEvent* e) {
    Key key = Key::Other;
    switch (e->key()) {
        case Qt::Key_Left: key = Key::Left; break;
        case Qt::Key_Right: key = Key::Right; break;
        case Qt::Key_Plus: key = Key::Plus; break;
        case Qt::Key_Equal: key = Key::Plus; break;  // + without Shift on many layouts
        case Qt::Key_Minus: key = Key::Minus; break;
        case Qt::Key_Home: key = Key::Home; break;
        default: return false;
    }
    const AxisRange now = XRangeOf(index);
    const double middle = (now.lo + now.hi) / 2.0;
    const bool second = (e->modifiers() & Qt::ShiftModifier) != 0;
    switch (ChartKeyActionOf(key)) {
        case ChartKeyAction::CursorBack:
        case ChartKeyAction::CursorForward: {
            const long steps = ChartKeyActionOf(key) == ChartKeyAction::CursorBack ? -1 : 1;
            if (StepCursor(model_, index, second, steps, middle, cursors_)) {
                ApplyCursors();
                ScheduleReplot();
            }
            return true;
        }
        case ChartKeyAction::ZoomIn:
        case ChartKeyAction::ZoomOut: {
            const double at = cursors_.hasA ? cursors_.a : middle;
            const double f = ChartKeyActionOf(key) == ChartKeyAction::ZoomIn ? kWheelZoomFactor : 1.0 / kWheelZoomFactor;
            ZoomTime(at, f);
            return true;
        }
        case ChartKeyAction::Reset:
            ResetView();
            return true;
        case ChartKeyAction::None:
            return false;
    }
    return false;
}

}  // namespace kmr
