#include "gui/GraphCondDlg.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/GuiText.h"
#include "gui/OwnControls.h"

namespace kmr::gui {

namespace {

QString Indexed(const char* name, int channel) { return QString("%1%2").arg(name).arg(channel); }

QLabel* Label(const QString& text, const QString& name) {
    auto* l = new QLabel(text);
    l->setObjectName(name);
    return l;
}

// The time boxes carry this unit.
QLabel* Seconds(const char* name) { return Label("(sec.)", name); }

}  // namespace

GraphCondDlg::GraphCondDlg(Engine& e, QWidget* owner) : FormDlg(e, owner), presenter_(e, *this) {
    setObjectName("GraphCondDlg");
    setWindowTitle(T(txt::GraphCondTitle));

    // The X axis: its grid, the monitor strip's scale and the recorded graphs' scale.
    auto* fraX = new QGroupBox(T(txt::XAxisFrame));
    fraX->setObjectName("fraXAxis");
    chkXgrid_ = CheckBox("chkXgrid", T(txt::XGridCheck), false);
    auto* fraMoni = new QGroupBox(T(txt::MonitorScaleFrame));
    fraMoni->setObjectName("fraMoniScale");
    auto* m = new QGridLayout(fraMoni);
    txtXspace_ = TextBox({GraphField::Xspace, 0}, "txtXspace");
    txtXpich_ = TextBox({GraphField::Xpich, 0}, "txtXpich");
    txtXscaleDivM_ = TextBox({GraphField::XscaleDivM, 0}, "txtXscaleDivM");
    m->addWidget(Label(T(txt::MonitorSpanLabel), "lblXspace"), 0, 0);
    m->addWidget(txtXspace_, 0, 1);
    m->addWidget(Seconds("lblXspaceUnit"), 0, 2);
    m->addWidget(Label(T(txt::MonitorPitchLabel), "lblXpich"), 1, 0);
    m->addWidget(txtXpich_, 1, 1);
    m->addWidget(Seconds("lblXpichUnit"), 1, 2);
    m->addWidget(Label(T(txt::MonitorDivLabel), "lblXscaleDivM"), 2, 0);
    m->addWidget(txtXscaleDivM_, 2, 1);
    auto* fraGraph = new QGroupBox(T(txt::GraphScaleFrame));
    fraGraph->setObjectName("fraGraphScale");
    auto* g = new QGridLayout(fraGraph);
    chkXAutoScale_ = CheckBox("chkXAutoScale", T(txt::XAutoScaleCheck), false);
    txtXscaleMaxG_ = TextBox({GraphField::XscaleMaxG, 0}, "txtXscaleMaxG");
    txtXscaleMinG_ = TextBox({GraphField::XscaleMinG, 0}, "txtXscaleMinG");
    txtXscaleDivG_ = TextBox({GraphField::XscaleDivG, 0}, "txtXscaleDivG");
    g->addWidget(chkXAutoScale_, 0, 0, 1, 3);
    g->addWidget(Label(T(txt::XMaxLabel), "lblXscaleMaxG"), 1, 0);
    g->addWidget(txtXscaleMaxG_, 1, 1);
    g->addWidget(Seconds("lblXscaleMaxGUnit"), 1, 2);
    g->addWidget(Label(T(txt::XMinLabel), "lblXscaleMinG"), 2, 0);
    g->addWidget(txtXscaleMinG_, 2, 1);
    g->addWidget(Seconds("lblXscaleMinGUnit"), 2, 2);
    g->addWidget(Label(T(txt::XDivLabel), "lblXscaleDivG"), 3, 0);
    g->addWidget(txtXscaleDivG_, 3, 1);
    auto* x = new QGridLayout(fraX);
    x->addWidget(chkXgrid_, 0, 0, 1, 2);
    x->addWidget(fraMoni, 1, 0, Qt::AlignTop);
    x->addWidget(fraGraph, 1, 1, Qt::AlignTop);
    GatedCheck(chkXgrid_, [this](bool on) { presenter_.SetXgrid(on); });
    GatedCheck(chkXAutoScale_, [this](bool on) { presenter_.SetXAutoScale(on); });

    // One row per channel.
    auto* fraY = new QGroupBox(T(txt::YAxisFrame));
    fraY->setObjectName("fraYAxis");
    auto* y = new QGridLayout(fraY);
    y->setVerticalSpacing(2);
    auto* scale = Label(T(txt::YScaleLabel), "lblScale");
    scale->setAlignment(Qt::AlignCenter);
    y->addWidget(scale, 0, 3, 1, 4);
    const int heads[] = {txt::YChannelHeading, txt::YOnOffHeading, txt::YGridHeading, txt::YAutoHeading,
                         txt::YMaxHeading,     txt::YMinHeading,   txt::YDivHeading};
    const char* headNames[] = {"lblChHead", "lblUse", "lblYgrid", "lblAutoScale", "lblYscaleMax", "lblYscaleMin", "lblYscaleDiv"};
    for (int i = 0; i < 7; ++i) y->addWidget(Label(T(heads[i]), headNames[i]), 1, i, Qt::AlignCenter);
    for (int ch = 1; ch <= kChannels; ++ch) {
        Row& r = rows_[static_cast<std::size_t>(ch - 1)];
        r.lblCh = Label(QString::number(ch), Indexed("lblCh", ch));
        r.lblCh->setAlignment(Qt::AlignCenter);
        r.chkUse = CheckBox(Indexed("chkUse", ch), T(txt::YOnOffHeading), true);
        r.chkYgrid = CheckBox(Indexed("chkYgrid", ch), T(txt::YGridHeading), true);
        r.chkAutoScale = CheckBox(Indexed("chkAutoScale", ch), T(txt::YAutoHeading), true);
        r.txtYscaleMax = TextBox({GraphField::YscaleMax, ch}, Indexed("txtYscaleMax", ch));
        r.txtYscaleMin = TextBox({GraphField::YscaleMin, ch}, Indexed("txtYscaleMin", ch));
        r.txtYscaleDiv = TextBox({GraphField::YscaleDiv, ch}, Indexed("txtYscaleDiv", ch));
        QWidget* cells[] = {r.lblCh, r.chkUse, r.chkYgrid, r.chkAutoScale, r.txtYscaleMax, r.txtYscaleMin, r.txtYscaleDiv};
        for (int i = 0; i < 7; ++i) y->addWidget(cells[i], ch + 1, i, i >= 1 && i <= 3 ? Qt::AlignCenter : Qt::Alignment());
        GatedCheck(r.chkUse, [this, ch](bool on) { presenter_.SetShown(ch, on); });
        GatedCheck(r.chkYgrid, [this, ch](bool on) { presenter_.SetYgrid(ch, on); });
        GatedCheck(r.chkAutoScale, [this, ch](bool on) { presenter_.SetAutoScale(ch, on); });
    }

    QHBoxLayout* buttons = CancelOkRow([this] { presenter_.Ok(); });

    auto* top = new QVBoxLayout(this);
    top->addWidget(fraX);
    top->addWidget(fraY);
    top->addLayout(buttons);
    presenter_.ShowAll();
}

QLineEdit* GraphCondDlg::TextBox(GraphFieldRef field, const QString& name) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    TagBox(box, {static_cast<int>(field.field), field.channel});
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance("-0000000000.00") + 12);
    box->installEventFilter(this);
    SelectAllOnEntry(box);
    connect(box, &QLineEdit::editingFinished, this, InGate([this, field] { presenter_.EnterBox(field); }));
    return box;
}

QCheckBox* GraphCondDlg::CheckBox(const QString& name, const QString& text, bool bare) {
    QCheckBox* c = bare ? new BareCheckBox(text) : new QCheckBox(text);
    c->setObjectName(name);
    return c;
}

QLineEdit* GraphCondDlg::Box(GraphFieldRef field) const {
    const Row* r = field.channel >= 1 ? &rows_[static_cast<std::size_t>(field.channel - 1)] : nullptr;
    switch (field.field) {
        case GraphField::Xspace: return txtXspace_;
        case GraphField::Xpich: return txtXpich_;
        case GraphField::XscaleDivM: return txtXscaleDivM_;
        case GraphField::XscaleMaxG: return txtXscaleMaxG_;
        case GraphField::XscaleMinG: return txtXscaleMinG_;
        case GraphField::XscaleDivG: return txtXscaleDivG_;
        case GraphField::YscaleMax: return r->txtYscaleMax;
        case GraphField::YscaleMin: return r->txtYscaleMin;
        case GraphField::YscaleDiv: return r->txtYscaleDiv;
    }
    return nullptr;
}

bool GraphCondDlg::eventFilter(QObject* watched, QEvent* event) {
    if (const auto tag = EnteredBox(watched, event))
        presenter_.BoxEntered({static_cast<GraphField>(tag->field), tag->channel});
    return FormDlg::eventFilter(watched, event);
}

std::optional<GraphFieldRef> GraphCondDlg::BoxBeingEdited() const {
    const auto tag = FormDlg::BoxBeingEdited();
    if (!tag) return std::nullopt;
    return GraphFieldRef{static_cast<GraphField>(tag->field), tag->channel};
}

std::string GraphCondDlg::Typed(GraphFieldRef field) const { return Box(field)->text().toStdString(); }

void GraphCondDlg::ShowBox(GraphFieldRef field, const std::string& text) { Box(field)->setText(Q(text)); }

void GraphCondDlg::ShowXAxis(const GraphXLook& look) {
    chkXgrid_->setChecked(look.grid);
    chkXAutoScale_->setChecked(look.autoScale);
    for (QLineEdit* box : {txtXscaleMaxG_, txtXscaleMinG_, txtXscaleDivG_}) box->setEnabled(look.graphScaleEnabled);
}

void GraphCondDlg::ShowChannel(int channel, const GraphChannelLook& look) {
    const Row& r = rows_[static_cast<std::size_t>(channel - 1)];
    r.lblCh->setEnabled(look.labelEnabled);
    r.chkUse->setChecked(look.shown);
    r.chkYgrid->setChecked(look.grid);
    r.chkAutoScale->setChecked(look.autoScale);
    for (QCheckBox* c : {r.chkYgrid, r.chkAutoScale}) c->setEnabled(look.checksEnabled);
    for (QLineEdit* box : {r.txtYscaleMax, r.txtYscaleMin, r.txtYscaleDiv}) box->setEnabled(look.scaleEnabled);
}

}  // namespace kmr::gui
