#include "gui/OutputCalDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "gui/GuiText.h"

namespace kmr::gui {

OutputCalDlg::OutputCalDlg(Engine& e, QWidget* owner)
    : FormDlg(e, owner), form_(e), presenter_(form_.Calibration()) {
    setObjectName("OutputCalDlg");
    setWindowTitle(T(txt::OutputCalTitle));

    auto* table = new QGridLayout;
    table->setHorizontalSpacing(6);
    table->setVerticalSpacing(2);
    int col = 0;
    for (int id : {txt::CalChannelHeading, txt::CalUnitHeading, txt::CalOnOffHeading, txt::CalHeading,
                   txt::CalValueHeading, txt::CalKmrHeading}) {
        if (id == txt::CalHeading) continue;  // "Cal." heads the value and digit columns together
        auto* head = new QLabel(T(id));
        head->setAlignment(Qt::AlignCenter);
        table->addWidget(head, 1, col++);
    }
    auto* calHead = new QLabel(T(txt::CalHeading));
    calHead->setAlignment(Qt::AlignCenter);
    table->addWidget(calHead, 0, 3, 1, 2);
    for (int ch = 1; ch <= kChannels; ++ch) {
        const auto i = static_cast<std::size_t>(ch - 1);
        const int row = ch + 1;
        names_[i] = new QLabel(QString::number(ch));
        names_[i]->setAlignment(Qt::AlignCenter);
        const auto& units = e.s.Vocab.units;
        const auto unit = static_cast<std::size_t>(e.s.Meas.Ch(ch).Unit);
        auto* unitLabel = new QLabel(unit < units.size() ? Q(units[unit]) : QString());
        unitLabel->setObjectName(QString("lblUnit%1").arg(ch));
        uses_[i] = new QCheckBox;
        uses_[i]->setObjectName(QString("chkUse%1").arg(ch));
        values_[i] = new QLineEdit;
        values_[i]->setObjectName(QString("txtValue%1").arg(ch));
        values_[i]->setAlignment(Qt::AlignRight);
        SelectAllOnEntry(values_[i]);
        digits_[i] = new QLabel;
        digits_[i]->setObjectName(QString("lblKmr%1").arg(ch));
        digits_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        digits_[i]->setFrameShape(QFrame::Panel);
        digits_[i]->setFrameShadow(QFrame::Sunken);
        digits_[i]->setMinimumWidth(digits_[i]->fontMetrics().horizontalAdvance("-100000") + 8);
        table->addWidget(names_[i], row, 0);
        table->addWidget(unitLabel, row, 1);
        table->addWidget(uses_[i], row, 2, Qt::AlignCenter);
        table->addWidget(values_[i], row, 3);
        table->addWidget(digits_[i], row, 4);
        uses_[i]->setChecked(presenter_.Use(ch));
        values_[i]->setText(Q(presenter_.ValueText(ch)));
        connect(uses_[i], &QCheckBox::toggled, this, [this, ch](bool on) {
            presenter_.SetUse(ch, on);
            Refresh();
        });
        connect(values_[i], &QLineEdit::editingFinished, this, [this, ch] { Enter(ch); });
    }

    auto* buttons = new QHBoxLayout;
    const int captions[3] = {txt::PlusCalButton, txt::ZeroCalButton, txt::MinusCalButton};
    for (int b = 0; b < 3; ++b) {
        auto* button = new QPushButton(T(captions[b]));
        button->setObjectName(QString("cmdCal%1").arg(b));
        button->setAutoFillBackground(true);
        buttons->addWidget(button);
        outputs_[static_cast<std::size_t>(b)] = button;
        connect(button, &QPushButton::clicked, this, [this, b] {
            GatedClick([this, b] {
                setEnabled(false);
                form_.Click(static_cast<CalButton>(b));
                setEnabled(true);
                Refresh();
            });
        });
    }
    buttons->addStretch(1);
    auto* cmdClose = new QPushButton(T(txt::CloseButton));
    cmdClose->setObjectName("cmdClose");
    buttons->addWidget(cmdClose);
    connect(cmdClose, &QPushButton::clicked, this, [this] { GatedClick([this] { CloseInHandler(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(table);
    layout->addLayout(buttons);
    Refresh();
}

void OutputCalDlg::Enter(int channel) {
    QLineEdit* box = ValueBox(channel);
    box->setText(Q(presenter_.EnterValue(channel, box->text().toStdString())));
    Refresh();
}

void OutputCalDlg::Refresh() {
    for (int ch = 1; ch <= kChannels; ++ch) {
        const auto i = static_cast<std::size_t>(ch - 1);
        names_[i]->setEnabled(presenter_.RowEnabled(ch));
        uses_[i]->setEnabled(presenter_.BoxesEnabled(ch));
        values_[i]->setEnabled(presenter_.BoxesEnabled(ch));
        digits_[i]->setText(Q(presenter_.DigitsText(ch)));
    }
    const auto active = presenter_.ActiveButton();
    for (int b = 0; b < 3; ++b) {
        QPushButton* button = outputs_[static_cast<std::size_t>(b)];
        button->setEnabled(presenter_.ButtonsEnabled());
        QPalette p = palette();
        if (active && static_cast<int>(*active) == b) p.setColor(QPalette::Button, QColor(0, 0, 255));
        button->setPalette(p);
    }
}

bool OutputCalDlg::QueryClose() {
    // A value typed but not yet entered counts, as in the graph-condition form.
    for (int ch = 1; ch <= kChannels; ++ch)
        if (ValueBox(ch)->isEnabled() && ValueBox(ch)->isModified()) Enter(ch);
    form_.Close();
    return true;
}

void OutputCalDlg::ProgramEnding() { QueryClose(); }

OutputCalDlg* OpenOutputCal(Engine& e, QWidget* owner) {
    FormDlg* form = OpenForm(e, owner, FormId::OutputCal,
                             [&] { return new OutputCalDlg(e, owner); });
    return static_cast<OutputCalDlg*>(form);
}

}  // namespace kmr::gui
