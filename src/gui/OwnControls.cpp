#include "gui/OwnControls.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace kmr::gui {

bool FocusCues::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        if (auto* w = qobject_cast<QWidget*>(watched); w != nullptr && w->isWindow())
            w->setAttribute(Qt::WA_KeyboardFocusChange);
    return false;
}

FocusScrollBar::FocusScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void FocusScrollBar::paintEvent(QPaintEvent* event) {
    QScrollBar::paintEvent(event);
    if (!hasFocus()) return;
    // The focus colour: the system's highlight, as a frame around the bar.
    QPainter p(this);
    QPen pen(palette().color(QPalette::Highlight));
    pen.setWidthF(2.0);
    p.setPen(pen);
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void FocusScrollBar::focusInEvent(QFocusEvent* event) {
    QScrollBar::focusInEvent(event);
    update();
}

void FocusScrollBar::focusOutEvent(QFocusEvent* event) {
    QScrollBar::focusOutEvent(event);
    update();
}

BareCheckBox::BareCheckBox(const QString& name, QWidget* parent) : QCheckBox(parent) {
    setAccessibleName(name);
    setToolTip(name);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize BareCheckBox::sizeHint() const {
    QStyleOptionButton o;
    o.initFrom(this);
    const QRect r = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &o, this);
    return {r.width() + 4, r.height() + 4};
}

QRect BareCheckBox::IndicatorRect() const {
    QStyleOptionButton o;
    o.initFrom(this);
    QRect r = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &o, this);
    r.moveCenter(rect().center());
    return r;
}

bool BareCheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void BareCheckBox::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton o;
    initStyleOption(&o);
    o.text.clear();
    o.rect = IndicatorRect();
    p.drawPrimitive(QStyle::PE_IndicatorCheckBox, o);
    if (hasFocus()) {
        QStyleOptionFocusRect f;
        f.initFrom(this);
        f.rect = o.rect.adjusted(-2, -2, 2, 2);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, f);
    }
}

CommentsAndButtons AddCommentsAndButtons(QVBoxLayout* layout, const QString& frameTitle,
                                         const QString& actionText, const QString& closeText) {
    CommentsAndButtons c;
    auto* frame = new QGroupBox(frameTitle);
    auto* comments = new QVBoxLayout(frame);
    c.comment1 = new QLabel;
    c.comment1->setObjectName("lblCmt1");
    c.comment2 = new QLabel;
    c.comment2->setObjectName("lblCmt2");
    for (QLabel* l : {c.comment1, c.comment2}) l->setTextFormat(Qt::PlainText);
    comments->addWidget(c.comment1);
    comments->addWidget(c.comment2);
    c.close = new QPushButton(closeText);
    c.close->setObjectName("cmdButton0");
    c.action = new QPushButton(actionText);
    c.action->setObjectName("cmdButton1");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(c.action);
    buttons->addWidget(c.close);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    return c;
}

}  // namespace kmr::gui
