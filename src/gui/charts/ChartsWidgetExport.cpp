#include "gui/charts/ChartsWidgetRow.h"

#include <QFileInfo>

namespace kmr {

QStringList ChartsWidget::ExportCharts(const QString& path, const QString& caption) {
    QStringList written;
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    const bool pdf = suffix == QLatin1String("pdf");
    const QString base = info.path() + QLatin1Char('/') + info.completeBaseName();
    ReplotNow();
    for (int i = 0; i < kCharts; ++i) {
        if (!graph_.Ch[static_cast<std::size_t>(i)].Shown()) continue;
        QCustomPlot* p = rows_[static_cast<std::size_t>(i)]->plot;
        const QString file = base + QStringLiteral("_Ch%1.").arg(i + 1) + (pdf ? QStringLiteral("pdf") : QStringLiteral("png"));
        // The caption goes above the chart only for the file.
        p->plotLayout()->insertRow(0);
        auto* title = new QCPTextElement(p, caption + QStringLiteral("  ") + ChannelText(i + 1));
        title->setTextColor(colours_.C2);
        p->plotLayout()->addElement(0, 0, title);
        const QMargins kept = p->axisRect()->margins();
        p->axisRect()->setMargins(QMargins(kept.left(), kept.top(), kept.right(), 20));
        p->xAxis->setTickLabels(true);
        const int w = std::max(640, p->width()), h = std::max(240, p->height() + 40);
        const bool ok = pdf ? p->savePdf(file, w, h) : p->savePng(file, w, h);
        p->plotLayout()->remove(title);
        p->plotLayout()->simplify();
        p->axisRect()->setMargins(kept);
        Relayout();
        if (!ok) return {};
        written << file;
    }
    return written;
}

}  // namespace kmr
