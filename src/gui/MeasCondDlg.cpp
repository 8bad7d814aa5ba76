#include "gui/MeasCondDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "core/support/Numbers.h"
#include "gui/GuiText.h"
#include "gui/OwnControls.h"

namespace kmr::gui {

namespace {

QComboBox* List(const char* name, const std::vector<std::string>& entries) {
    auto* c = new QComboBox;
    c->setObjectName(name);
    for (const auto& s : entries) c->addItem(Q(s));
    return c;
}

QString Indexed(const char* name, int channel) { return QString("%1%2").arg(name).arg(channel); }

}  // namespace

MeasCondDlg::MeasCondDlg(Engine& e, QWidget* owner)
    : FormDlg(e, owner),
      form_(e.s.Meas, e.s.Instrument.InstrumentModel, e.s.Instrument.MemorySizeCode, e.s.Global.FileType) {
    setObjectName("MeasCondDlg");
    setWindowTitle(T(txt::MeasCondTitle));
    const Vocabulary& v = e.s.Vocab;

    // The instrument-wide conditions.
    auto* fraMeas = new QGroupBox(T(txt::MeasConditionFrame));
    fraMeas->setObjectName("fraMeasCond");
    auto* g = new QGridLayout(fraMeas);
    cboTrgMode_ = List("cboTrgMode", v.triggerModes);
    txtIntCLK_ = TextBox({MeasField::Clock, 0}, "txtIntCLK");
    VScrollClk_ = new FocusScrollBar;
    VScrollClk_->setObjectName("VScrollClk");
    VScrollClk_->setOrientation(Qt::Vertical);
    VScrollClk_->setRange(kClockScrollMin, kClockScrollMax);
    VScrollClk_->setFixedHeight(txtIntCLK_->sizeHint().height());
    txtMRY_ = TextBox({MeasField::Memory, 0}, "txtMRY");
    txtPreMRY_ = TextBox({MeasField::PreMemory, 0}, "txtPreMRY");
    cboAVE_ = List("cboAVE", v.averaging);
    auto label = [](int id, const char* name) {
        auto* l = new QLabel(T(id));
        l->setObjectName(name);
        return l;
    };
    auto unit = [](const char* text, const char* name) {
        auto* l = new QLabel(text);
        l->setObjectName(name);
        return l;
    };
    auto* clk = new QHBoxLayout;
    clk->setSpacing(0);
    clk->addWidget(txtIntCLK_);
    clk->addWidget(VScrollClk_);
    g->addWidget(label(txt::TriggerModeLabel, "lblTrgMode"), 0, 0);
    g->addWidget(cboTrgMode_, 0, 1);
    g->addWidget(label(txt::SamplingClockLabel, "lblSmpClk"), 0, 2);
    g->addLayout(clk, 0, 3);
    g->addWidget(unit("ms", "lblClkUnit"), 0, 4);
    g->addWidget(label(txt::AveragingLabel, "lblAverage"), 0, 5);
    g->addWidget(cboAVE_, 0, 6);
    g->addWidget(unit("Point", "lblAveUnit"), 0, 7);
    g->addWidget(label(txt::MemoryWordLabel, "lblMemory"), 1, 0);
    g->addWidget(txtMRY_, 1, 1);
    g->addWidget(unit("word", "lblMemoryUnit"), 1, 2);
    g->addWidget(label(txt::PreMemoryLabel, "lblPreMemory"), 1, 3);
    g->addWidget(txtPreMRY_, 1, 4);
    g->addWidget(unit("word", "lblPreMemoryUnit"), 1, 5);
    lblMemoryPreview_ = new QLabel;
    lblMemoryPreview_->setObjectName("lblMemoryPreview");
    g->addWidget(lblMemoryPreview_, 2, 0, 1, 8);

    // One row per channel.
    auto* fraCh = new QGroupBox(T(txt::ChannelConditionFrame));
    fraCh->setObjectName("fraChannelCond");
    auto* c = new QGridLayout(fraCh);
    c->setVerticalSpacing(2);
    const int heads[] = {
        txt::MeasChannelHeading, txt::MeasOnOffHeading, txt::InputModeHeading, txt::LowPassHeading,
        txt::CoeffHeading,       txt::PointHeading,     txt::MeasUnitHeading,  txt::DataTriggerOnOffHeading,
        txt::LevelHeading,       txt::OffsetHeading};
    const char* headNames[] = {"lblCh", "lblOnOff", "lblInputMode", "lblLpf", "lblCoeff",
                               "lblPoint", "lblUnit", "lblDtgOnOff", "lblLevel", "lblOffset"};
    auto* dtg = label(txt::DataTriggerHeading, "lblDataTrigger");
    dtg->setAlignment(Qt::AlignCenter);
    c->addWidget(dtg, 0, 7, 1, 2);
    for (int i = 0; i < 10; ++i) c->addWidget(label(heads[i], headNames[i]), 1, i);
    std::vector<std::string> pointNames;
    for (int d = 0; d <= 5; ++d) pointNames.push_back(DigitFormatWithBlanks(d));
    std::vector<std::string> modeNames;
    for (const auto& m : form_.InputModes()) modeNames.push_back(m.name);
    for (int ch = 1; ch <= kChannels; ++ch) {
        Row& r = rows_[static_cast<std::size_t>(ch - 1)];
        auto* n = new QLabel(QString::number(ch));
        n->setObjectName(Indexed("lblChNo", ch));
        r.chkOnOff = new BareCheckBox(T(txt::MeasOnOffHeading));
        r.chkOnOff->setObjectName(Indexed("chkOnOff", ch));
        r.cboBv = List("", modeNames);
        r.cboBv->setObjectName(Indexed("cboBv", ch));
        r.cboLpf = List("", v.filters);
        r.cboLpf->setObjectName(Indexed("cboLpf", ch));
        r.txtCoeff = TextBox({MeasField::Coeff, ch}, Indexed("txtCoeff", ch));
        r.cboPoint = List("", pointNames);
        r.cboPoint->setObjectName(Indexed("cboPoint", ch));
        r.cboUnit = List("", v.units);
        r.cboUnit->setObjectName(Indexed("cboUnit", ch));
        r.chkDtgOnOff = new BareCheckBox(T(txt::DataTriggerOnOffHeading));
        r.chkDtgOnOff->setObjectName(Indexed("chkDtgOnOff", ch));
        r.txtDtgLevel = TextBox({MeasField::DtgLevel, ch}, Indexed("txtDtgLevel", ch));
        r.txtOffset = TextBox({MeasField::Offset, ch}, Indexed("txtOffset", ch));
        QWidget* cells[] = {n, r.chkOnOff, r.cboBv, r.cboLpf, r.txtCoeff, r.cboPoint, r.cboUnit,
                            r.chkDtgOnOff, r.txtDtgLevel, r.txtOffset};
        for (int i = 0; i < 10; ++i) c->addWidget(cells[i], ch + 1, i);
        r.txtCoeff->setMinimumWidth(r.txtCoeff->fontMetrics().horizontalAdvance("+1.000000E+00") + 12);
        // The level's sign and five digits stay whole at any font size.
        r.txtDtgLevel->setMinimumWidth(r.txtDtgLevel->fontMetrics().horizontalAdvance("+000000") + 12);

        connect(r.chkOnOff, &QCheckBox::toggled, this, [this, ch](bool on) { if (!showing_) form_.SetOnOff(ch, on); });
        connect(r.chkDtgOnOff, &QCheckBox::toggled, this, [this, ch](bool on) { if (!showing_) form_.SetDtgOnOff(ch, on); });
        connect(r.cboBv, &QComboBox::activated, this, [this, ch](int i) { form_.SetInputModeEntry(ch, i); });
        connect(r.cboLpf, &QComboBox::activated, this, [this, ch](int i) { form_.SetLpf(ch, i); });
        connect(r.cboPoint, &QComboBox::activated, this, [this, ch](int i) { form_.SetPoint(ch, i); });
        connect(r.cboUnit, &QComboBox::activated, this, [this, ch](int i) { form_.SetUnit(ch, i); });
    }

    connect(cboTrgMode_, &QComboBox::activated, this, [this](int i) { form_.SetTrgMode(i); });
    connect(cboAVE_, &QComboBox::activated, this, [this](int i) { form_.SetAveraging(i); });
    connect(VScrollClk_, &QScrollBar::valueChanged, this, [this](int position) {
        if (showing_) return;
        form_.SetClockByScroll(position);
        txtIntCLK_->setText(Q(form_.Text({MeasField::Clock, 0})));
        ShowPreview();
    });
    for (QLineEdit* box : {txtMRY_, txtPreMRY_})
        connect(box, &QLineEdit::textEdited, this, &MeasCondDlg::ShowPreview);

    QHBoxLayout* buttons = CancelOkRow([this] { Ok(); });

    auto* top = new QVBoxLayout(this);
    top->addWidget(fraMeas);
    top->addWidget(fraCh);
    top->addLayout(buttons);
    ShowAll();
}

QLineEdit* MeasCondDlg::TextBox(MeasFieldRef field, const QString& name) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    TagBox(box, {static_cast<int>(field.field), field.channel});
    box->installEventFilter(this);
    SelectAllOnEntry(box);
    connect(box, &QLineEdit::editingFinished, this, [this, field] { CommitBox(field); });
    return box;
}

QLineEdit* MeasCondDlg::Box(MeasFieldRef field) const {
    const Row* r = field.channel >= 1 ? &rows_[static_cast<std::size_t>(field.channel - 1)] : nullptr;
    switch (field.field) {
        case MeasField::Clock: return txtIntCLK_;
        case MeasField::Memory: return txtMRY_;
        case MeasField::PreMemory: return txtPreMRY_;
        case MeasField::Coeff: return r->txtCoeff;
        case MeasField::DtgLevel: return r->txtDtgLevel;
        case MeasField::Offset: return r->txtOffset;
    }
    return nullptr;
}

bool MeasCondDlg::eventFilter(QObject* watched, QEvent* event) {
    if (const auto tag = EnteredBox(watched, event)) form_.Clicked({static_cast<MeasField>(tag->field), tag->channel});
    return FormDlg::eventFilter(watched, event);
}

void MeasCondDlg::CommitBox(MeasFieldRef field) {
    QLineEdit* box = Box(field);
    form_.Commit(field, box->text().toStdString());
    box->setText(Q(form_.Text(field)));
    if (field.field == MeasField::Clock) {
        showing_ = true;
        VScrollClk_->setValue(form_.ClockScrollPosition());
        showing_ = false;
    }
    ShowPreview();
}

void MeasCondDlg::ShowAll() {
    showing_ = true;
    const MeasConditions& w = form_.Working();
    cboTrgMode_->setCurrentIndex(w.TrgMode);
    txtIntCLK_->setText(Q(form_.Text({MeasField::Clock, 0})));
    VScrollClk_->setValue(form_.ClockScrollPosition());
    txtMRY_->setText(Q(form_.Text({MeasField::Memory, 0})));
    txtPreMRY_->setText(Q(form_.Text({MeasField::PreMemory, 0})));
    cboAVE_->setCurrentIndex(w.Averaging);
    for (int ch = 1; ch <= kChannels; ++ch) {
        const Row& r = rows_[static_cast<std::size_t>(ch - 1)];
        const ChannelCondition& c = w.Ch(ch);
        r.chkOnOff->setChecked(c.OnOff == 1);
        r.cboBv->setCurrentIndex(form_.InputModeEntryOf(ch));
        r.cboLpf->setCurrentIndex(c.Lpf);
        r.txtCoeff->setText(Q(form_.Text({MeasField::Coeff, ch})));
        r.cboPoint->setCurrentIndex(c.Point);
        r.cboUnit->setCurrentIndex(c.Unit);
        r.chkDtgOnOff->setChecked(c.DtgOnOff == 1);
        r.txtDtgLevel->setText(Q(form_.Text({MeasField::DtgLevel, ch})));
        r.txtOffset->setText(Q(form_.Text({MeasField::Offset, ch})));
    }
    showing_ = false;
    ShowPreview();
}

void MeasCondDlg::ShowPreview() {
    const MemoryPreview p = form_.Preview(txtMRY_->text().toStdString(), txtPreMRY_->text().toStdString());
    lblMemoryPreview_->setText(Q(MemoryPreviewText(p, GuiLanguage())));
    lblMemoryPreview_->setStyleSheet(p.possible ? QString() : QString("color: #c00000;"));
}

void MeasCondDlg::Ok() {
    // A box still being edited counts.
    if (const auto tag = TagOf(qobject_cast<QLineEdit*>(focusWidget())))
        CommitBox({static_cast<MeasField>(tag->field), tag->channel});
    switch (MeasCondOk(e_, form_, [this] { hide(); })) {
        case FormOutcome::StayOpen: break;
        case FormOutcome::Close:
        case FormOutcome::Applied: Unload(); break;
    }
}

void MeasCondDlg::closeEvent(QCloseEvent* event) {
    // The close box: the box clicked last keeps what was typed in it.
    if (!ClosedByButton() && !IsUnloaded())
        if (const auto last = form_.LastClicked()) CommitBox(*last);
    FormDlg::closeEvent(event);
}

bool MeasCondDlg::QueryClose() { return MeasCondMayClose(e_, form_); }

}  // namespace kmr::gui
