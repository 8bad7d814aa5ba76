#include "gui/WaitDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kmr::gui {

WaitDlg::WaitDlg(QWidget* owner) : QDialog(owner) {
    setObjectName("WaitDlg");
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // Above every window of the program while it is shown: a click on the form that made the
    // call would otherwise raise the form over it and hide its button, the only one that acts
    // while the call waits (up to three attempts of 30 s with the check window open).
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Not modal: a click elsewhere is dropped by the handler gate anyway, and a close of the main
    // window must reach it to be held (the system drops a close for a window a modal one blocks).
    label_ = new QLabel;
    label_->setObjectName("lblWait");
    button_ = new QPushButton;
    button_->setObjectName("cmdStop");
    connect(button_, &QPushButton::clicked, this, [this] {
        button_->setEnabled(false);
        if (stop_) stop_();
    });
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(button_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addLayout(row);
    setMinimumWidth(360);
}

void WaitDlg::ShowFor(const QString& text, const QString& button, std::function<void()> stop) {
    setWindowTitle("KMR-5300");
    label_->setText(text);
    button_->setText(button);
    button_->setEnabled(true);
    stop_ = std::move(stop);
    // The notice of a later call may come before the system has given the keyboard back.
    if (QWidget* front = QApplication::activeWindow(); front != nullptr && front != this) over_ = front;
    show();
    raise();
    activateWindow();
    button_->setFocus();
}

void WaitDlg::PlaceBelow(const QRect& area) {
    adjustSize();
    move(area.center().x() - frameGeometry().width() / 2, area.bottom() + 12);
}

void WaitDlg::Done() {
    stop_ = nullptr;
    const bool had = isActiveWindow();
    hide();
    // Otherwise the system would pick the owner, the main window, which a form keeps off.
    if (had && over_ && over_->isVisible()) over_->activateWindow();
}

void WaitDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

void WaitDlg::reject() {
    // Escape is the button.
    if (button_->isEnabled()) button_->click();
}

}  // namespace kmr::gui
