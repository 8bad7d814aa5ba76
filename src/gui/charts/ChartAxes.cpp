#include "gui/charts/ChartsWidgetRow.h"

namespace kmr {

void SetAxis(QCPAxis* axis, const AxisSettings& a, const AxisRange& range, int ticks) {
    axis->setRange(range.lo, range.hi);
    if (a.automatic) {
        if (!axis->ticker().dynamicCast<QCPAxisTickerFixed>().isNull() || axis->ticker().isNull())
            axis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
        axis->ticker()->setTickCount(ticks);
        axis->ticker()->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
        axis->setNumberFormat(QStringLiteral("gb"));
        axis->setNumberPrecision(6);
    } else {
        auto fixed = axis->ticker().dynamicCast<QCPAxisTickerFixed>();
        if (fixed.isNull()) {
            fixed = QSharedPointer<QCPAxisTickerFixed>(new QCPAxisTickerFixed);
            axis->setTicker(fixed);
        }
        // A spacing so fine that the numbers would run into each other is left to multiples.
        const bool dense = a.spacing > 0.0 && range.width() / a.spacing > ticks + 0.5;
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
