#include "gui/ChannelPanel.h"

#include <QGridLayout>
#include <QLabel>

#include "gui/FloodPanel.h"
#include "gui/GuiText.h"

namespace kmr::gui {

QString ChannelNumberText(int channel) { return QString("Ch.%1").arg(channel, 2); }

ChannelPanel::ChannelPanel(int channel, QWidget* parent) : QFrame(parent) {
    setObjectName(QString("pictData%1").arg(channel));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(3, 3, 3, 3);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(1);
    number_ = new HeadingPanel(ChannelNumberText(channel));
    number_->setObjectName("lblGraphNo");
    grid->addWidget(number_, 0, 0, 1, 2);
    moni_ = AddRow(1, "Moni.", "lblMoniTitle", "lblMoni");
    max_ = AddRow(2, "Max.", "lblMaxTitle", "lblMax");
    min_ = AddRow(3, "Min.", "lblMinTitle", "lblMin");
    range_ = AddRow(4, "Range", "lblRaneTitle", "lblRange");
    unit_ = AddRow(5, "Unit", "lblUnitTitle", "lblUnit");
    grid->setRowStretch(6, 1);
    Show(ChannelLabels{});
}

QLabel* ChannelPanel::AddRow(int row, const QString& title, const char* titleName, const char* valueName) {
    auto* grid = static_cast<QGridLayout*>(layout());
    auto* t = new QLabel(title);
    t->setObjectName(titleName);
    auto* v = new QLabel;
    v->setObjectName(valueName);
    v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    v->setFrameShape(QFrame::Panel);
    v->setFrameShadow(QFrame::Sunken);
    v->setAutoFillBackground(true);
    v->setBackgroundRole(QPalette::Base);
    v->setMinimumWidth(fontMetrics().horizontalAdvance("-0000000.0") + 6);
    grid->addWidget(t, row, 0);
    grid->addWidget(v, row, 1);
    return v;
}

void ChannelPanel::Show(const ChannelLabels& l) {
    moni_->setText(Q(l.Moni));
    max_->setText(Q(l.Max));
    min_->setText(Q(l.Min));
    range_->setText(Q(l.Range));
    unit_->setText(Q(l.Unit));
    number_->setEnabled(l.ChannelNumberEnabled);
}

QString ChannelPanel::ValueText(const char* name) const {
    const auto* l = findChild<QLabel*>(name);
    return l != nullptr ? l->text() : QString();
}

}  // namespace kmr::gui
