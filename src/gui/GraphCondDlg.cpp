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

GraphCondDlg::GraphCondDlg(Engine& e, QWidget* owner) : FormDlg(e, owner), form_(e.s.Graph, e.s.Meas) {
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
    connect(chkXgrid_, &QCheckBox::clicked, this, [this](bool on) { form_.SetXgrid(on); });
    connect(chkXAutoScale_, &QCheckBox::clicked, this, [this](bool on) {
        form_.SetXAutoScale(on);
        ApplyEnabling();
    });

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
        connect(r.chkUse, &QCheckBox::clicked, this, [this, ch](bool on) {
            form_.SetUse(ch, on);
            ApplyEnabling();
        });
        connect(r.chkYgrid, &QCheckBox::clicked, this, [this, ch](bool on) { form_.SetYgrid(ch, on); });
        connect(r.chkAutoScale, &QCheckBox::clicked, this, [this, ch](bool on) {
            form_.SetAutoScale(ch, on);
            ApplyEnabling();
        });
    }

    QHBoxLayout* buttons = CancelOkRow([this] { Ok(); });

    auto* top = new QVBoxLayout(this);
    top->addWidget(fraX);
    top->addWidget(fraY);
    top->addLayout(buttons);
    ShowAll();
}

QLineEdit* GraphCondDlg::TextBox(GraphFieldRef field, const QString& name) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    TagBox(box, {static_cast<int>(field.field), field.channel});
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance("-0000000000.00") + 12);
    box->installEventFilter(this);
    SelectAllOnEntry(box);
    connect(box, &QLineEdit::editingFinished, this, [this, field] { CommitBox(field); });
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
    if (const auto tag = EnteredBox(watched, event)) form_.Clicked({static_cast<GraphField>(tag->field), tag->channel});
    return FormDlg::eventFilter(watched, event);
}

void GraphCondDlg::CommitBox(GraphFieldRef field) {
    QLineEdit* box = Box(field);
    form_.Commit(field, box->text().toStdString());
    box->setText(Q(form_.Text(field)));
}

void GraphCondDlg::ShowAll() {
    const GraphConditions& w = form_.Working();
    chkXgrid_->setChecked(w.X.Xgrid == 1);
    chkXAutoScale_->setChecked(w.X.XAutoScale == 1);
    for (GraphField f : {GraphField::Xspace, GraphField::Xpich, GraphField::XscaleDivM, GraphField::XscaleMaxG,
                         GraphField::XscaleMinG, GraphField::XscaleDivG})
        Box({f, 0})->setText(Q(form_.Text({f, 0})));
    for (int ch = 1; ch <= kChannels; ++ch) {
        const Row& r = rows_[static_cast<std::size_t>(ch - 1)];
        const ChannelGraphCondition& c = w.Ch[static_cast<std::size_t>(ch - 1)];
        r.chkUse->setChecked(c.Use == 1);
        r.chkYgrid->setChecked(c.Ygrid == 1);
        r.chkAutoScale->setChecked(c.AutoScale == 1);
        for (GraphField f : {GraphField::YscaleMax, GraphField::YscaleMin, GraphField::YscaleDiv})
            Box({f, ch})->setText(Q(form_.Text({f, ch})));
    }
    ApplyEnabling();
}

void GraphCondDlg::ApplyEnabling() {
    for (QLineEdit* box : {txtXscaleMaxG_, txtXscaleMinG_, txtXscaleDivG_}) box->setEnabled(form_.XGraphScaleEnabled());
    for (int ch = 1; ch <= kChannels; ++ch) {
        const Row& r = rows_[static_cast<std::size_t>(ch - 1)];
        r.lblCh->setEnabled(form_.ChannelLabelEnabled(ch));
        for (QCheckBox* c : {r.chkYgrid, r.chkAutoScale}) c->setEnabled(form_.ChannelChecksEnabled(ch));
        for (QLineEdit* box : {r.txtYscaleMax, r.txtYscaleMin, r.txtYscaleDiv})
            box->setEnabled(form_.ChannelScaleEnabled(ch));
    }
}

void GraphCondDlg::Ok() {
    // A box still being edited counts.
    if (const auto tag = TagOf(qobject_cast<QLineEdit*>(focusWidget())))
        CommitBox({static_cast<GraphField>(tag->field), tag->channel});
    switch (GraphCondOk(e_, form_, e_.ui.language, [this] { setEnabled(false); })) {
        case FormOutcome::StayOpen: break;
        case FormOutcome::Close:
        case FormOutcome::Applied: Unload(); break;
    }
}

bool GraphCondDlg::QueryClose() {
    if (ClosedByButton()) return GraphCondMayClose(e_, form_, e_.ui.language);
    // The close box: the box clicked last keeps what was typed in it (the pitch box excepted).
    const bool may = GraphCondMayCloseByCloseBox(e_, form_, e_.ui.language,
                                                 [this](GraphFieldRef f) { return Box(f)->text().toStdString(); });
    if (const auto last = form_.LastClicked()) Box(*last)->setText(Q(form_.Text(*last)));
    return may;
}

}  // namespace kmr::gui
