#include "core/graphs/ChartsPresenter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kmr {

namespace {

// A press that moves less than this many pixels is a click.
constexpr int kClickSlop = 3;

// A set axis zoomed into: numbered and gridded as an automatic one, its grid on or off as set.
AxisSettings NumberedForZoom(AxisSettings a) {
    if (a.automatic) return a;
    a.automatic = true;
    a.exponent = false;
    if (a.grid == GridMode::Fixed) a.grid = GridMode::Automatic;
    return a;
}

}  // namespace

ChartsPresenter::ChartsPresenter(const ChartModel& model, const MeasConditions& meas)
    : model_(model), meas_(meas) {}

bool ChartsPresenter::Navigable(int index) const {
    return model_.GraphMode() == kRecordedMode && model_.ShowsRecord(index);
}

AxisRange ChartsPresenter::XRange(int index) const {
    if (zoomedX_ && model_.ShowsRecord(index)) return *zoomedX_;
    return ConfiguredXRange(model_, index);
}

AxisRange ChartsPresenter::YRange(int index) const {
    const auto& zy = zoomedY_[static_cast<std::size_t>(std::clamp(index, 0, kCharts - 1))];
    return zy ? *zy : ConfiguredYRange(model_, index);
}

AxisSettings ChartsPresenter::ShownXAxis(int index) const {
    const AxisSettings& a = model_.XAxis(index);
    return zoomedX_ && model_.ShowsRecord(index) ? NumberedForZoom(a) : a;
}

AxisSettings ChartsPresenter::ShownYAxis(int index) const {
    const AxisSettings& a = model_.YAxis(index);
    return zoomedY_[static_cast<std::size_t>(std::clamp(index, 0, kCharts - 1))] ? NumberedForZoom(a) : a;
}

// --- Events -------------------------------------------------------------------------------------

bool ChartsPresenter::Wheel(int index, double x, double notches) {
    if (!Navigable(index)) return false;
    if (notches != 0.0) ZoomTime(x, std::pow(kWheelZoomFactor, notches));
    return true;
}

bool ChartsPresenter::Press(int index, const ChartPointer& p, ChartButton button, bool shift, bool ctrl) {
    if (!Navigable(index)) return false;
    press_ = {};
    cursorsBeforePress_ = cursors_;
    press_.index = index;
    press_.at = p;
    press_.rectangle = button == ChartButton::Right || (button == ChartButton::Left && ctrl);
    press_.shift = shift;
    press_.startX = XRange(index);
    return true;
}

bool ChartsPresenter::Move(int index, const ChartPointer& p) {
    if (Navigable(index) && view_ != nullptr) view_->ShowPointerReading(ReadingAt(model_, meas_, index, p.x).text);
    if (press_.index != index) return false;
    if (std::abs(p.at.x - press_.at.at.x) + std::abs(p.at.y - press_.at.at.y) >= kClickSlop) press_.moved = true;
    if (!press_.moved) return true;
    if (press_.rectangle) {
        if (view_ != nullptr) view_->ShowDragBand(index, press_.at.at, p.at);
    } else {
        // Panning: the time under the press stays under the pointer (measured against the range
        // at the press, since the axis moves while dragging).
        const double perPixel = press_.startX.width() / std::max(1, p.plotWidth);
        const AxisRange r = PanBy(press_.startX, (press_.at.at.x - p.at.x) * perPixel);
        ShowTimeRange(r.lo, r.hi);
    }
    return true;
}

bool ChartsPresenter::Release(int index, const ChartPointer& p) {
    if (press_.index != index) return false;
    const Pressed was = press_;
    press_ = {};
    if (view_ != nullptr) view_->HideDragBand();
    if (!was.moved) {
        if (!was.rectangle) PlaceCursorAt(index, p.x, was.shift);
        return true;
    }
    AxisRange x;
    if (was.rectangle && RangeOfDrag(was.at.x, p.x, MinimumXWidth(model_, index), x)) {
        // A rectangle of a few pixels' height (a hand's wobble on a sideways drag) zooms time only:
        // a value range that thin would take the line off the chart.
        if (std::abs(p.at.y - was.at.at.y) >= kClickSlop) {
            zoomedY_[static_cast<std::size_t>(index)] = AxisRange{std::min(was.at.y, p.y), std::max(was.at.y, p.y)};
            zoomedFromY_[static_cast<std::size_t>(index)] = model_.YAxis(index);
        }
        ShowTimeRange(x.lo, x.hi);
    }
    return true;
}

bool ChartsPresenter::DoubleClick(int index) {
    if (!Navigable(index)) return false;
    press_ = {};
    // Back to the configured scale only: the cursor its first click placed goes back too.
    SetCursors(cursorsBeforePress_);
    ResetView();
    return true;
}

bool ChartsPresenter::KeyPressed(int index, ChartKeyAction action, bool shift) {
    if (!Navigable(index) || action == ChartKeyAction::None) return false;
    const AxisRange now = XRange(index);
    const double middle = (now.lo + now.hi) / 2.0;
    switch (action) {
    case ChartKeyAction::CursorBack:
    case ChartKeyAction::CursorForward: {
        CursorTimes c = cursors_;
        if (!StepCursor(model_, index, shift, action == ChartKeyAction::CursorBack ? -1 : 1, middle, c)) break;
        SetCursors(c);
        const AxisRange shown = FollowCursor(now, shift ? c.b : c.a);
        if (shown != now) ShowTimeRange(shown.lo, shown.hi);
        break;
    }
    case ChartKeyAction::ZoomIn:
    case ChartKeyAction::ZoomOut:
        // About cursor A where it is in view; about one out of view the view would run off.
        ZoomTime(cursors_.hasA && cursors_.a >= now.lo && cursors_.a <= now.hi ? cursors_.a : middle,
                 action == ChartKeyAction::ZoomIn ? kWheelZoomFactor : 1.0 / kWheelZoomFactor);
        break;
    case ChartKeyAction::Reset:
    case ChartKeyAction::None:
        ResetView();
        break;
    }
    return true;
}

void ChartsPresenter::PointerLeft() {
    if (view_ != nullptr) view_->ShowPointerReading(std::string());
}

// --- What the program asks for ------------------------------------------------------------------

void ChartsPresenter::ShowTimeRange(double lo, double hi) {
    if (!zoomedX_)
        for (int i = 0; i < kCharts; ++i) zoomedFromX_[static_cast<std::size_t>(i)] = model_.XAxis(i);
    zoomedX_ = AxisRange{lo, hi};
    ShowAllRanges(true);
}

void ChartsPresenter::ZoomTime(double at, double factor) {
    for (int i = 0; i < kCharts; ++i) {
        if (!model_.ShowsRecord(i)) continue;
        const AxisRange z = ZoomAbout(XRange(i), at, factor, MinimumXWidth(model_, i));
        // Zooming out ends at the configured scale: wider, the record would shrink to a sliver
        // among times it never had.
        if (factor > 1.0 && z.width() >= ConfiguredXRange(model_, i).width()) {
            zoomedX_.reset();
            ShowAllRanges(true);
            return;
        }
        ShowTimeRange(z.lo, z.hi);
        return;
    }
}

void ChartsPresenter::ResetView() {
    zoomedX_.reset();
    zoomedY_.fill(std::nullopt);
    ShowAllRanges(false);
}

void ChartsPresenter::PlaceCursorAt(int index, double x, bool second) {
    CursorTimes c = cursors_;
    if (PlaceCursor(model_, index, x, second, c)) SetCursors(c);
}

void ChartsPresenter::ModelChanged(const ChartChanges& changes) {
    bool anew = false;
    for (int i = 0; i < kCharts; ++i)
        if (changes.series1[static_cast<std::size_t>(i)].replaced || changes.series2.test(static_cast<std::size_t>(i)))
            anew = true;
    if (!anew) {
        bool rescaled = false;
        for (int i = 0; i < kCharts; ++i) {
            const auto ix = static_cast<std::size_t>(i);
            if (!changes.axes.test(ix)) continue;
            if (zoomedY_[ix] && !(model_.YAxis(i) == zoomedFromY_[ix])) {
                zoomedY_[ix].reset();
                rescaled = true;
            }
            if (zoomedX_ && model_.ShowsRecord(i) && !(model_.XAxis(i) == zoomedFromX_[ix])) {
                zoomedX_.reset();
                rescaled = true;
            }
        }
        if (rescaled) ShowAllRanges(true);
        return;
    }
    press_ = {};
    cursorsBeforePress_ = {};
    const bool zoomed = zoomedX_ || std::any_of(zoomedY_.begin(), zoomedY_.end(), [](const auto& z) { return z.has_value(); });
    if (zoomed) ResetView();
    SetCursors({});
}

void ChartsPresenter::ShowAllRanges(bool recordsOnly) {
    if (view_ == nullptr) return;
    for (int i = 0; i < kCharts; ++i)
        if (!recordsOnly || model_.ShowsRecord(i)) view_->ShowRanges(i);
}

void ChartsPresenter::SetCursors(const CursorTimes& c) {
    const bool changed = !(c == cursors_);
    cursors_ = c;
    if (view_ != nullptr && changed) view_->ShowCursors();
}

}  // namespace kmr
