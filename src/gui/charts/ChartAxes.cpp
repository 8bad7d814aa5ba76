#include "gui/charts/ChartsWidgetRow.h"

#include <cmath>

namespace kmr {

namespace {

// The ticks of an automatic axis: as many as asked for; on an axis too short for two of those,
// the smallest round step not below the least one, on its multiples or halfway between them,
// whichever puts more numbers on the axis: a low chart shows two numbers clear of each other
// where the count asked for would show one.
class AutomaticTicker : public QCPAxisTicker {
public:
    double leastStep = 0.0;  // a share of the range; 0: none

protected:
    double getTickStep(const QCPRange& range) override {
        if (leastStep <= 0.0) return QCPAxisTicker::getTickStep(range);
        double magnitude = 1.0;
        const double mantissa = getMantissa(range.size() * leastStep, &magnitude);
        for (const double m : {1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0})
            if (m >= mantissa) return m * magnitude;
        return 10.0 * magnitude;
    }
    QVector<double> createTickVector(double tickStep, const QCPRange& range) override {
        const QVector<double> onMultiples = QCPAxisTicker::createTickVector(tickStep, range);
        if (leastStep <= 0.0) return onMultiples;
        setTickOrigin(tickStep / 2.0);
        const QVector<double> between = QCPAxisTicker::createTickVector(tickStep, range);
        setTickOrigin(0.0);
        const auto inside = [&range](const QVector<double>& ticks) {
            return std::count_if(ticks.begin(), ticks.end(), [&range](double t) { return range.contains(t); });
        };
        return inside(between) > inside(onMultiples) ? between : onMultiples;
    }
};

// The ticks of an axis with a set spacing: on multiples of it, as many as asked for; on an axis
// too short for two of those, the least multiple of the spacing not below the least step, laid
// on whichever multiples of the spacing put more numbers on the axis.
class FixedTicker : public QCPAxisTickerFixed {
public:
    double leastStep = 0.0;  // a share of the range; 0: none

protected:
    double getTickStep(const QCPRange& range) override {
        if (leastStep <= 0.0 || tickStep() <= 0.0) return QCPAxisTickerFixed::getTickStep(range);
        return std::max(1.0, std::ceil(range.size() * leastStep / tickStep() - 1e-9)) * tickStep();
    }
    QVector<double> createTickVector(double step, const QCPRange& range) override {
        if (leastStep <= 0.0 || tickStep() <= 0.0) return QCPAxisTickerFixed::createTickVector(step, range);
        const auto inside = [&range](const QVector<double>& ticks) {
            return std::count_if(ticks.begin(), ticks.end(), [&range](double t) { return range.contains(t); });
        };
        QVector<double> best;
        for (double origin = 0.0; origin < step - tickStep() / 2.0; origin += tickStep()) {
            setTickOrigin(origin);
            QVector<double> ticks = QCPAxisTickerFixed::createTickVector(step, range);
            if (best.isEmpty() || inside(ticks) > inside(best)) best = std::move(ticks);
        }
        setTickOrigin(0.0);
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
        // A spacing so fine that the numbers would run into each other is left to multiples.
        const bool dense = a.spacing > 0.0 && range.width() / a.spacing > ticks + 0.5;
        fixed->leastStep = dense ? leastStep : 0.0;
        fixed->setScaleStrategy(dense ? QCPAxisTickerFixed::ssMultiples : QCPAxisTickerFixed::ssNone);
        fixed->setTickCount(ticks);
        fixed->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
        fixed->setTickStep(a.spacing > 0.0 ? a.spacing : 1.0);
        axis->setNumberFormat(QStringLiteral("f"));
        axis->setNumberPrecision(a.decimals);
    }
    axis->grid()->setVisible(a.grid != GridMode::Off);
}

}  // namespace kmr
