// The record's exports from the window: the charts as a picture (PNG or PDF) and a range of the
// record as a file, through the range window.
#include "gui/RecordActions.h"

#include <algorithm>

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QMainWindow>
#include <QPageSize>
#include <QPdfWriter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include "core/app/OpenRecord.h"
#include "core/datafiles/TemporaryOutput.h"
#include "gui/GuiText.h"
#include "gui/charts/ChartsWidget.h"

namespace kmr::gui {

QString RecordActions::ChartCaption() const {
    std::optional<AxisRange> shown;
    if (kmr::ChartsWidget* area = Charts())
        for (int i = 0; i < kCharts && !shown; ++i)
            if (e_.s.Graph.Ch[static_cast<std::size_t>(i)].Shown()) {
                const QCPRange r = area->Plot(i)->xAxis->range();
                shown = AxisRange{r.lower, r.upper};
            }
    return Q(ExportedChartsCaption(e_.ui.language, e_.s, window_->windowTitle().toStdString(), shown));
}

namespace {

// The exported picture: the caption, then each chart shown under its channel and unit.
struct ChartsPicture {
    static constexpr int kCaptionHeight = 28;
    static constexpr int kLabelHeight = 18;
    static constexpr int kChartHeight = 170;
    QString caption;
    std::vector<QCustomPlot*> plots;
    std::vector<QString> labels;
    int width = 800;

    int Height() const { return kCaptionHeight + (kLabelHeight + kChartHeight) * static_cast<int>(plots.size()); }
    void Paint(QCPPainter& painter) const {
        painter.setPen(Qt::black);
        QFont font = painter.font();
        font.setPointSizeF(10);
        painter.setFont(font);
        painter.drawText(QRect(8, 0, width - 16, kCaptionHeight), Qt::AlignVCenter | Qt::AlignLeft, caption);
        int y = kCaptionHeight;
        for (std::size_t k = 0; k < plots.size(); ++k) {
            painter.drawText(QRect(8, y, width - 16, kLabelHeight), Qt::AlignBottom | Qt::AlignLeft, labels[k]);
            y += kLabelHeight;
            painter.save();
            painter.translate(0, y);
            plots[k]->toPainter(&painter, width, kChartHeight);
            painter.restore();
            y += kChartHeight;
        }
    }
};

}  // namespace

bool RecordActions::WriteCharts(const QString& path, QString* error) {
    kmr::ChartsWidget* area = Charts();
    if (area == nullptr) return false;
    area->ReplotNow();
    ChartsPicture picture;
    for (int i = 0; i < kCharts; ++i) {
        if (!e_.s.Graph.Ch[static_cast<std::size_t>(i)].Shown()) continue;
        picture.plots.push_back(area->Plot(i));
        picture.labels.push_back(Q(ExportedChartLabel(e_.chart, i)));
        picture.width = std::max(picture.width, area->Plot(i)->width());
    }
    if (picture.plots.empty()) return false;
    const int width = picture.width, height = picture.Height();
    const bool pdf = path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    const std::string finalPath = path.toStdString();
    const std::string temporary = FreeTemporaryPath(finalPath);
    if (temporary.empty()) {
        if (error) *error = T(txt::NoTemporaryNameFree);
        return false;
    }
    picture.caption = ChartCaption();
    const QString& caption = picture.caption;
    const auto draw = [&picture](QCPPainter& painter) { picture.Paint(painter); };
    // The picture is made in memory and written by the program itself: the PDF writer and the
    // image writer say nothing of a write that failed, and a full disk left a cut file under the
    // final name.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool ok = false;
    if (pdf) {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("KMR-5300"));
        writer.setTitle(caption);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QSizeF(width, height), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QCPPainter painter(&writer);
        ok = painter.isActive();
        if (ok) {
            painter.setMode(QCPPainter::pmVectorized);
            painter.setMode(QCPPainter::pmNoCaching);
            painter.fillRect(QRect(0, 0, width, height), Qt::white);
            draw(painter);
            ok = painter.end();
        }
    } else {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QCPPainter painter(&image);
            painter.setRenderHint(QPainter::TextAntialiasing);
            draw(painter);
        }
        ok = image.save(&buffer, "PNG");
    }
    buffer.close();
    int rc = 0;
    if (ok) {
        rc = WriteTemporary(temporary, bytes.constData(), static_cast<std::size_t>(bytes.size()), e_.s.Writes);
        ok = rc == 0;
        if (!ok && error) *error = Q(ErrorDescription(rc, GuiLanguage()));
    } else if (error) {
        *error = T(txt::PictureNotMade);
    }
    if (ok) {
        // The name was chosen in the save window and replacing its file was confirmed.
        rc = CommitTemporary(temporary, finalPath, /*replace=*/true);
        ok = rc == 0;
        if (!ok && error) *error = Q(ErrorDescription(rc, GuiLanguage()));
        if (!ok) RemoveFile(temporary);
    }
    area->ReplotNow();
    return ok;
}

void RecordActions::ExportCharts() {
    const std::string source = ShownRecordFile(e_.s);
    QString suggested = Q(SuggestedPictureName(source, e_.s.Global.DataFolder));
    const QString filters = T(txt::PngFilter) + QStringLiteral(";;") + T(txt::PdfFilter);
    // A picture that could not be written (a read-only folder, a full disk) is said, and the save
    // window asks again with that name, as Export Range does: the record's own folder may be one
    // that takes no files.
    for (;;) {
        QString path;
        // A file the user would not replace asks for another name, the last one offered.
        for (;;) {
            QString filter;
            const QString chosen = chooseSaveFile(T(txt::ExportChartsTitle), filters, suggested, &filter);
            if (chosen.isEmpty()) return;
            const PictureName name = ChartsPicturePath(e_, chosen.toStdString(), filter == T(txt::PdfFilter));
            if (!name.chooseAgain) {
                path = Q(name.path);
                break;
            }
            suggested = name.suggested.empty() ? chosen : Q(name.suggested);
        }
        if (path.isEmpty()) return;
        QString error;
        if (WriteCharts(path, &error)) return;
        e_.ui.ShowMessage(T(txt::ChartsNotWritten).toStdString() + "\n" + path.toStdString() + "\n" + error.toStdString(),
                          e_.ui.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::Ok);
        if (error.isEmpty()) return;  // no chart to draw: another name would not help
        suggested = path;
    }
}

namespace {

// The export-range window: the range (visible, or between the cursors), the channels, the format.
class ExportRangeDialog : public QDialog {
public:
    ExportRangeDialog(QWidget* parent, Language lang, const ExportRangeOffer& offer) : QDialog(parent) {
        setObjectName("ExportRangeDlg");
        setWindowTitle(T(txt::ExportRangeTitle));
        shown_ = new QRadioButton(Q(ShownRangeChoice(lang, offer)));
        shown_->setObjectName("optShownRange");
        shown_->setChecked(true);
        between_ = new QRadioButton(Q(CursorRangeChoice(lang, offer)));
        between_->setObjectName("optCursorRange");
        between_->setEnabled(offer.cursors);
        auto* rangeBox = new QGroupBox(T(txt::ExportRangeTitle));
        auto* rangeLayout = new QVBoxLayout(rangeBox);
        rangeLayout->addWidget(shown_);
        rangeLayout->addWidget(between_);
        auto* channelBox = new QGroupBox(T(txt::ExportChannelsLabel));
        auto* channelLayout = new QHBoxLayout(channelBox);
        for (std::size_t k = 0; k < offer.channels.size(); ++k) {
            auto* c = new QCheckBox(QString::number(offer.channels[k]));
            c->setObjectName(QStringLiteral("chkChannel%1").arg(offer.channels[k]));
            c->setChecked(offer.ticked[k]);
            channelLayout->addWidget(c);
            checks_.emplace_back(offer.channels[k], c);
        }
        format_ = new QComboBox;
        format_->setObjectName("cboFormat");
        format_->addItem(T(txt::CsvFilter));
#ifdef KMR_HAVE_HDF5
        format_->addItem(T(txt::Hdf5Filter));
#endif
        auto* form = new QFormLayout;
        form->addRow(T(txt::ExportFormatLabel), format_);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        buttons->button(QDialogButtonBox::Ok)->setText(T(txt::OkButton));
        buttons->button(QDialogButtonBox::Cancel)->setText(T(txt::CancelButton));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(rangeBox);
        layout->addWidget(channelBox);
        layout->addLayout(form);
        layout->addWidget(buttons);
    }
    std::vector<int> Channels() const {
        std::vector<int> channels;
        for (const auto& [ch, c] : checks_)
            if (c->isChecked()) channels.push_back(ch);
        return channels;
    }
    bool BetweenCursors() const { return between_->isChecked(); }
    ExportFormat Format() const { return format_->currentIndex() == 1 ? ExportFormat::Hdf5 : ExportFormat::Csv; }

private:
    QRadioButton* shown_;
    QRadioButton* between_;
    QComboBox* format_;
    std::vector<std::pair<int, QCheckBox*>> checks_;
};

}  // namespace

void RecordActions::ExportRange() {
    kmr::ChartsWidget* area = Charts();
    std::optional<AxisRange> visible;
    for (int i = 0; area != nullptr && i < kCharts; ++i) {
        if (!e_.s.Graph.Ch[static_cast<std::size_t>(i)].Shown() || !e_.chart.ShowsRecord(i)) continue;
        visible = AxisRange{area->Plot(i)->xAxis->range().lower, area->Plot(i)->xAxis->range().upper};
        break;
    }
    const std::optional<ExportRangeOffer> offer =
        OfferExportRange(e_, visible, area != nullptr ? area->Cursors() : CursorTimes{});
    if (!offer) return;
    ExportRangeDialog dlg(window_, e_.ui.language, *offer);
    std::vector<int> channels;
    do {
        if (dlg.exec() != QDialog::Accepted) return;
        channels = dlg.Channels();
    } while (!ExportChannelsChosen(e_, channels) || !ExportRangeHoldsSamples(e_, *offer, dlg.BetweenCursors()));
    const ExportFormat format = dlg.Format();
    const bool hdf5 = format == ExportFormat::Hdf5;
    QString suggested = Q(SuggestedExportName(offer->source, format));
    // A name refused (one that is taken) asks for another, the window's choices kept.
    for (;;) {
        const QString path = chooseSaveFile(T(txt::ExportRangeTitle), T(hdf5 ? txt::Hdf5Filter : txt::CsvFilter),
                                            suggested, nullptr);
        if (path.isEmpty()) return;
        const QFileInfo info(Q(WithExportExtension(path.toStdString(), format)));
        SystemDrivePort drive;
        const RangeExport done = ExportShownRange(e_, CorePath(info.absolutePath()), info.fileName().toStdString(),
                                                  format, channels, ChosenSamples(e_.s, *offer, dlg.BetweenCursors()),
                                                  drive);
        if (!done.chooseAgain) return;
        suggested = done.suggested.empty() ? info.absoluteFilePath() : Q(done.suggested);
    }
}

}  // namespace kmr::gui
