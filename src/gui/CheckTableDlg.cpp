#include "gui/CheckTableDlg.h"

#include <QEvent>
#include <QGridLayout>
#include <QVBoxLayout>

#include "gui/GuiText.h"
#include "gui/OwnControls.h"

namespace kmr::gui {

namespace {

QColor ColourOf(CheckColour c, const QPalette& p) {
    switch (c) {
        case CheckColour::Blue: return QColor(0, 0, 255);
        case CheckColour::Red: return QColor(255, 0, 0);
        case CheckColour::Black: return QColor(0, 0, 0);
        case CheckColour::ButtonText: break;
    }
    return p.color(QPalette::Active, QPalette::ButtonText);
}

}  // namespace

CheckTableDlg::CheckTableDlg(Engine& e, QWidget* owner)
    : FormDlg(e, owner), presenter_(e, *this) {
    setObjectName("CheckTableDlg");
    setWindowTitle(T(txt::CheckWindowTitle));

    auto* table = new QGridLayout;
    table->setHorizontalSpacing(4);
    table->setVerticalSpacing(2);
    auto* execTitle = new QLabel(T(txt::ExecuteButton));
    auto* chTitle = new QLabel(T(txt::CheckChannelHeading));
    table->addWidget(execTitle, 0, 0);
    table->addWidget(chTitle, 0, 1);
    for (int ch = 1; ch <= kChannels; ++ch) {
        auto* head = new QLabel(QString::number(ch));
        head->setObjectName(QString("lblCh%1").arg(ch));
        head->setAlignment(Qt::AlignCenter);
        head->setFrameShape(QFrame::Panel);
        head->setFrameShadow(QFrame::Raised);
        head->setEnabled(presenter_.ChannelMeasured(ch));
        table->addWidget(head, 0, 1 + ch);
    }
    static constexpr const char* kBoxNames[kCheckRows] = {"chkRom", "chkRam", "chkInsul",
                                                          "chkInit", "chkDirect", "chkSence"};
    static constexpr const char* kLabelNames[kCheckRows] = {"lblRom", "lblRam", "lblInsul",
                                                            "lblInit", "lblDirect", "lblSence"};
    for (std::size_t row = 0; row < kCheckRows; ++row) {
        const int r = static_cast<int>(row) + 1;
        auto* box = new QCheckBox;
        box->setObjectName(kBoxNames[row]);
        box->installEventFilter(this);
        auto* title = new QLabel(T(kCheckTable[row].captionId));
        title->setFrameShape(QFrame::Panel);
        title->setFrameShadow(QFrame::Sunken);
        title->installEventFilter(this);
        table->addWidget(box, r, 0, Qt::AlignCenter);
        table->addWidget(title, r, 1);
        boxes_[row] = box;
        titles_[row] = title;
        for (int ch = 1; ch <= kChannels; ++ch) {
            auto* l = new QLabel;
            l->setObjectName(QString("%1%2").arg(kLabelNames[row]).arg(ch));
            l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            l->setFrameShape(QFrame::Panel);
            l->setFrameShadow(QFrame::Sunken);
            l->setMinimumWidth(l->fontMetrics().horizontalAdvance("-000000") + 8);
            l->installEventFilter(this);
            table->addWidget(l, r, 1 + ch);
            results_[row][static_cast<std::size_t>(ch - 1)] = l;
        }
        connect(box, &QCheckBox::toggled, this, [this, row](bool on) { presenter_.Tick(row, on); });
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(table);
    const CommentsAndButtons bottom =
        AddCommentsAndButtons(layout, T(txt::CheckCommentLabel), T(txt::CheckRunButton), T(txt::CloseButton));
    lblCmt1_ = bottom.comment1;
    lblCmt2_ = bottom.comment2;
    cmdExecute_ = bottom.action;
    QPushButton* cmdClose = bottom.close;

    connect(cmdClose, &QPushButton::clicked, this, [this] { Gated([this] { CloseInHandler(); }); });
    connect(cmdExecute_, &QPushButton::clicked, this, [this] { Gated([this] { presenter_.Execute(); }); });
    presenter_.Opened();
}

void CheckTableDlg::hideEvent(QHideEvent* event) {
    if (IsUnloaded()) presenter_.Closed();
    FormDlg::hideEvent(event);
}

void CheckTableDlg::ShowCell(std::size_t row, int channel, const CheckCell& cell) {
    QLabel* l = ResultLabel(row, channel);
    l->setText(Q(cell.text));
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, ColourOf(cell.colour, palette()));
    l->setPalette(p);
}

void CheckTableDlg::SetTicked(std::size_t row, bool ticked) {
    const QSignalBlocker quiet(boxes_[row]);
    boxes_[row]->setChecked(ticked);
}

void CheckTableDlg::ShowComment(const std::string& line1, const std::string& line2) {
    lblCmt1_->setText(Q(line1));
    lblCmt2_->setText(Q(line2));
}

bool CheckTableDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
        for (std::size_t row = 0; row < kCheckRows; ++row) {
            bool hit = watched == boxes_[row] || watched == titles_[row];
            for (QLabel* l : results_[row]) hit = hit || watched == l;
            if (hit) presenter_.Pointed(row);
        }
    }
    return FormDlg::eventFilter(watched, event);
}

CheckTableDlg* OpenCheckTable(Engine& e, QWidget* owner) {
    FormDlg* form = OpenForm(e, owner, FormId::Check,
                             [&] { return new CheckTableDlg(e, owner); });
    return static_cast<CheckTableDlg*>(form);
}

}  // namespace kmr::gui
