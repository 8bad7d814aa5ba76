#include "gui/charts/ChartsWidgetRow.h"

#include <cmath>

namespace kmr {

namespace {

// The ticks of an automatic axis: as many as asked for; on an axis too short for two of those,
// the smallest round step not below the least one that puts two numbers on the axis, on its
// multiples or halfway between them: a low chart shows two numbers clear of each other where the
// count asked for would show one (or, on an axis too short even for that, as many as there is room
// for).
class AutomaticTicker : public QCPAxisTicker {
public:
    double leastStep = 0.0;  // a share of the range; 0: none

protected:
    double origin_ = 0.0;

    // Multiples of `step` counted from `origin` inside the range.
    static double Inside(double step, double origin, const QCPRange& range) {
        return std::floor((range.upper - origin) / step + 1e-9) - std::ceil((range.lower - origin) / step - 1e-9) + 1.0;
    }
    double getTickStep(const QCPRange& range) override {
        origin_ = 0.0;
        if (leastStep <= 0.0) return QCPAxisTicker::getTickStep(range);
        const double least = range.size() * leastStep;
        double magnitude = 1.0;
        getMantissa(least, &magnitude);
        double best = 0.0, bestCount = -1.0;
        for (const double scale : {1.0, 10.0})
            for (const double m : {1.0, 1.2, 1.25, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0}) {
                const double step = m * magnitude * scale;
                if (step < least * (1.0 - 1e-9)) continue;
                for (const double origin : {0.0, step / 2.0}) {
                    const double count = Inside(step, origin, range);
                    if (count <= bestCount) continue;
                    best = step;
                    bestCount = count;
                    origin_ = origin;
                }
                if (bestCount >= 2.0) return best;
            }
        return best;
    }
    QVector<double> createTickVector(double tickStep, const QCPRange& range) override {
        setTickOrigin(origin_);
        QVector<double> ticks = QCPAxisTicker::createTickVector(tickStep, range);
        setTickOrigin(0.0);
        precision_ = AxisLabelPrecision(range.lower, range.upper, tickStep, origin_, 0);
        return ticks;
    }
    // As many digits as keep the numbers apart: six would write a zoomed time late in a long
    // record as the same number twice.
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override {
        return QCPAxisTicker::getTickLabel(tick, locale, formatChar, std::max(precision, precision_));
    }

private:
    int precision_ = 0;
};

// The ticks of an axis with a set spacing: numbered from its minimum on, every spacing, as many
// as asked for. On an axis too short for that, every few spacings are numbered (the fewest that
// keep the numbers apart, or a few more that divide the divisions, so both ends are numbered),
// laid on whichever steps of the spacing put more numbers on the axis; the steps between them are
// sub-ticks, so the grid still has a line at every spacing.
class FixedTicker : public QCPAxisTickerFixed {
public:
    bool dense = false;      // numbered every few spacings
    double leastStep = 0.0;  // a share of the range; 0: as many numbers as the tick count
    double origin = 0.0;     // where the divisions are counted from
    long divisions = 1;      // of the axis as set

protected:
    static constexpr double kMostLines = 200.0;
    bool subdivide_ = false;

    double getTickStep(const QCPRange& range) override {
        const double s = tickStep();
        // A line every spacing while they stay a few pixels apart; a spacing far finer than the
        // axis (a scale set for a short span shown over a long one) keeps lines at the numbers.
        subdivide_ = s > 0.0 && range.size() / s <= kMostLines;
        if (!dense || s <= 0.0) return s;
        const double least = leastStep > 0.0 ? range.size() * leastStep : range.size() / std::max(1, tickCount());
        const long fewest = std::max(1L, static_cast<long>(std::ceil(least / s - 1e-9)));
        for (long m = fewest; m <= 2 * fewest; ++m)
            if (divisions % m == 0) return static_cast<double>(m) * s;
        return static_cast<double>(fewest) * s;
    }
    int getSubTickCount(double step) override {
        return subdivide_ ? std::max(0, static_cast<int>(std::lround(step / tickStep())) - 1) : 0;
    }
    QVector<double> createTickVector(double step, const QCPRange& range) override {
        const auto inside = [&range](const QVector<double>& ticks) {
            return std::count_if(ticks.begin(), ticks.end(), [&range](double t) { return range.contains(t); });
        };
        QVector<double> best;
        // The first few steps of the spacing are tried: beyond them a shift changes little.
        const long shifts = std::clamp(std::lround(step / tickStep()), 1L, 10L);
        for (long k = 0; k < shifts; ++k) {
            setTickOrigin(origin + static_cast<double>(k) * tickStep());
            QVector<double> ticks = QCPAxisTickerFixed::createTickVector(step, range);
            // A step counted up to an end lands on it, not a rounding error beyond it.
            for (double& t : ticks)
                for (const double end : {range.lower, range.upper})
                    if (std::abs(t - end) < 1e-9 * range.size()) t = end;
            if (best.isEmpty() || inside(ticks) > inside(best)) best = std::move(ticks);
        }
        return best;
    }
};

}  // namespace

void SetAxis(QCPAxis* axis, const AxisSettings& a, const AxisRange& range, int ticks, double leastStep) {
    axis->setRange(range.lo, range.hi);
    if (a.automatic) {
        auto automatic = axis->ticker().dynamicCast<AutomaticTicker>();
        if (automatic.isNull()) {
            automatic = QSharedPointer<AutomaticTicker>(new AutomaticTicker);
            axis->setTicker(automatic);
        }
        automatic->leastStep = leastStep;
        automatic->setTickCount(ticks);
        automatic->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
        axis->setNumberFormat(QStringLiteral("gb"));
        axis->setNumberPrecision(6);
    } else {
        auto fixed = axis->ticker().dynamicCast<FixedTicker>();
        if (fixed.isNull()) {
            fixed = QSharedPointer<FixedTicker>(new FixedTicker);
            axis->setTicker(fixed);
        }
        // A spacing so fine that the numbers would run into each other is numbered every few.
        fixed->dense = a.spacing > 0.0 && range.width() / a.spacing > ticks + 0.5;
        fixed->leastStep = leastStep;
        fixed->setScaleStrategy(QCPAxisTickerFixed::ssNone);
        fixed->setTickCount(ticks);
        fixed->setTickStep(a.spacing > 0.0 ? a.spacing : 1.0);
        fixed->origin = a.min;
        fixed->divisions = a.spacing > 0.0 ? std::max(1L, std::lround(a.max / a.spacing - a.min / a.spacing)) : 1L;
        axis->setNumberFormat(a.exponent ? QStringLiteral("gb") : QStringLiteral("f"));
        axis->setNumberPrecision(a.exponent ? 6 : a.decimals);
    }
    axis->grid()->setVisible(a.grid != GridMode::Off);
    // A set spacing has a grid line at every step of it, numbered or not.
    axis->grid()->setSubGridVisible(!a.automatic && a.grid != GridMode::Off);
}

}  // namespace kmr
