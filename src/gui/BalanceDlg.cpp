#include "gui/BalanceDlg.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "core/app/Keyboard.h"
#include "core/support/Numbers.h"
#include "gui/GuiText.h"
#include "gui/OwnControls.h"

namespace kmr::gui {

namespace {

constexpr int kBalanceTimerId = 11;
constexpr int kBalanceTimerMs = 250;

}  // namespace

BalanceDlg::BalanceDlg(Engine& e, QWidget* owner)
    : FormDlg(e, owner), presenter_(e, *this) {
    setObjectName("BalanceDlg");
    setWindowTitle(T(txt::BalanceTitle));

    // Channels 1 to 5 on the left, 6 to 10 on the right, each half its own column (Tab goes
    // down the left one first, in channel order).
    auto* table = new QHBoxLayout;
    table->setSpacing(6);
    std::array<QGridLayout*, 2> halves{};
    for (int half = 0; half < 2; ++half) {
        auto* column = new QWidget;
        column->setObjectName(QString("pictHalf%1").arg(half + 1));
        halves[static_cast<std::size_t>(half)] = new QGridLayout(column);
        QGridLayout* grid = halves[static_cast<std::size_t>(half)];
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(2);
        table->addWidget(column);
        auto* chTitle = new QLabel(T(txt::BalanceChannelHeading));
        auto* dataTitle = new QLabel(T(txt::BalanceDataHeading));
        for (QLabel* l : {chTitle, dataTitle}) {
            l->setAlignment(Qt::AlignCenter);
            l->setFrameShape(QFrame::Panel);
            l->setFrameShadow(QFrame::Raised);
        }
        grid->addWidget(chTitle, 0, 0);
        grid->addWidget(dataTitle, 0, 1);
    }
    for (int ch = 1; ch <= kChannels; ++ch) {
        const int row = 1 + (ch - 1) % 5;
        QGridLayout* grid = halves[static_cast<std::size_t>((ch - 1) / 5)];
        auto* name = new QLabel(T(txt::BalanceChannel1 + ch - 1));
        name->setObjectName(QString("lblChName%1").arg(ch));
        name->setAlignment(Qt::AlignCenter);
        name->setFrameShape(QFrame::Panel);
        name->setFrameShadow(QFrame::Sunken);
        auto* cell = new QLabel;
        cell->setObjectName(QString("lblData%1").arg(ch));
        cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        cell->setFrameShape(QFrame::Panel);
        cell->setFrameShadow(QFrame::Sunken);
        // Room for the longest value a cell shows in plain digits (a huge offset with five
        // decimals, "-90000848.00000"); anything longer comes in exponent form.
        cell->setMinimumWidth(cell->fontMetrics().horizontalAdvance(QString(static_cast<qsizetype>(kPanelValueChars), QChar('0'))) + 12);
        cell->setAutoFillBackground(true);
        // As tall as with the focus frame (heavier), so that the two halves' rows stay level and
        // nothing moves as the focus goes round.
        cell->setFrameShape(QFrame::Box);
        cell->setLineWidth(2);
        cell->setText(QStringLiteral("0"));
        const int height = std::max(cell->sizeHint().height(), name->sizeHint().height());
        cell->setFrameShape(QFrame::Panel);
        cell->setLineWidth(1);
        cell->clear();
        cell->setFixedHeight(height);
        name->setFixedHeight(height);
        // Chosen by the arrow keys and Space too.
        cell->setFocusPolicy(Qt::StrongFocus);
        cell->installEventFilter(this);
        grid->addWidget(name, row, 0);
        grid->addWidget(cell, row, 1);
        names_[static_cast<std::size_t>(ch - 1)] = name;
        cells_[static_cast<std::size_t>(ch - 1)] = cell;
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(table);
    const CommentsAndButtons bottom =
        AddCommentsAndButtons(layout, T(txt::BalanceCommentLabel), T(txt::BalanceRunButton), T(txt::CloseButton));
    lblCmt1_ = bottom.comment1;
    lblCmt2_ = bottom.comment2;
    cmdBalance_ = bottom.action;
    cmdClose_ = bottom.close;

    connect(cmdClose_, &QPushButton::clicked, this, [this] { GatedClick([this] { CloseInHandler(); }); });
    connect(cmdBalance_, &QPushButton::clicked, this, [this] { GatedClick([this] { presenter_.PressBalance(); }); });
    moniTimer_.setInterval(kBalanceTimerMs);
    connect(&moniTimer_, &QTimer::timeout, this, [this] {
        Gate().Tick(kBalanceTimerId, [this] { presenter_.Tick(); }, [this] { return moniTimer_.isActive() && !IsUnloaded(); });
    });
    presenter_.Opened();
}

void BalanceDlg::SetTimer(bool running) {
    if (running)
        moniTimer_.start();
    else
        moniTimer_.stop();
}

void BalanceDlg::ClickCell(int channel) {
    GatedClick([this, channel] { presenter_.ClickCell(channel); });
}

void BalanceDlg::Show() {
    for (int ch = 1; ch <= kChannels; ++ch) {
        QLabel* cell = DataCell(ch);
        const bool on = Table().RowEnabled(ch);
        names_[static_cast<std::size_t>(ch - 1)]->setEnabled(on);
        cell->setEnabled(on);
        cell->setText(Q(Table().Labels()[static_cast<std::size_t>(ch - 1)]));
        // Selected: window-background text on blue; otherwise button text on the window background.
        QPalette p = palette();
        if (Table().Selected(ch)) {
            p.setColor(QPalette::Window, QColor(0, 0, 255));
            p.setColor(QPalette::WindowText, palette().color(QPalette::Active, QPalette::Window));
        } else {
            p.setColor(QPalette::WindowText, palette().color(QPalette::Active, QPalette::ButtonText));
        }
        cell->setPalette(p);
        // The cell with the keyboard focus has a heavier frame.
        cell->setFrameShape(cell->hasFocus() ? QFrame::Box : QFrame::Panel);
        cell->setLineWidth(cell->hasFocus() ? 2 : 1);
        names_[static_cast<std::size_t>(ch - 1)]->setPalette(p);
        names_[static_cast<std::size_t>(ch - 1)]->setAutoFillBackground(true);
    }
    lblCmt1_->setText(Q(Table().Comment1()));
    lblCmt2_->setText(Q(Table().Comment2()));
    cmdBalance_->setEnabled(Table().BalanceEnabled());
}

bool BalanceDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) Show();
    if (event->type() == QEvent::KeyPress) {
        int ch = 1;
        while (ch <= kChannels && watched != DataCell(ch)) ++ch;
        if (ch > kChannels) return FormDlg::eventFilter(watched, event);
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Space) {
            ClickCell(ch);
            return true;
        }
        Key key = Key::Other;
        switch (k->key()) {
            case Qt::Key_Up: key = Key::Up; break;
            case Qt::Key_Down: key = Key::Down; break;
            case Qt::Key_Left: key = Key::Left; break;
            case Qt::Key_Right: key = Key::Right; break;
            default: return FormDlg::eventFilter(watched, event);
        }
        DataCell(presenter_.CellAfter(ch, key))->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        for (int ch = 1; ch <= kChannels; ++ch)
            if (watched == DataCell(ch) && DataCell(ch)->isEnabled()) {
                ClickCell(ch);
                return true;
            }
    }
    return FormDlg::eventFilter(watched, event);
}

void BalanceDlg::hideEvent(QHideEvent* event) {
    if (IsUnloaded()) presenter_.Closed();
    FormDlg::hideEvent(event);
}

BalanceDlg* OpenBalance(Engine& e, QWidget* owner) {
    e.ui.SetPointer(Pointer::Hourglass);
    FormDlg* form = OpenForm(e, owner, FormId::Balance,
                             [&] { return new BalanceDlg(e, owner); });
    e.ui.SetPointer(Pointer::Default);
    return static_cast<BalanceDlg*>(form);
}

}  // namespace kmr::gui
