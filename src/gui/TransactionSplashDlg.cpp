#include "gui/TransactionSplashDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include "gui/GuiText.h"
#include "gui/MessageBox.h"

namespace kmr::gui {

TransactionSplashDlg::TransactionSplashDlg(QWidget* owner) : QDialog(owner) {
    setObjectName("TransactionSplashDlg");
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    label1_ = new QLabel;
    label1_->setObjectName("lblLabel1");
    label2_ = new QLabel;
    label2_->setObjectName("lblLabel2");
    bar_ = new QProgressBar;
    bar_->setObjectName("pbProgress");
    bar_->setRange(0, 100);
    cancel_ = new QPushButton(T(txt::CancelButton));
    cancel_->setObjectName("cmdCancel");
    connect(cancel_, &QPushButton::clicked, this, [this] {
        cancelled_ = true;
        cancel_->setEnabled(false);
    });
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1_);
    layout->addWidget(label2_);
    layout->addWidget(bar_);
    layout->addLayout(row);
    setMinimumWidth(400);
}

void TransactionSplashDlg::Show(const std::string& label1, const std::string& label2) {
    setWindowTitle(Q(label1));
    label1_->setText(Q(label1));
    label2_->setText(Q(label2));
    label2_->setVisible(!label2.empty());
    bar_->setValue(0);
    cancelled_ = false;
    cancel_->setEnabled(true);
    // Kept over the window it works for (the conversion window, not only the main window behind
    // it), without being owned by it.
    QWidget* front = WindowInFront(parentWidget());
    if (front != nullptr && front->windowHandle() == nullptr) front = parentWidget();
    winId();
    if (QWindow* handle = windowHandle(); handle != nullptr && front != nullptr)
        handle->setTransientParent(front->windowHandle());
    show();
    raise();
    QApplication::processEvents();
}

void TransactionSplashDlg::SetPercent(int percent) { bar_->setValue(percent < 0 ? 0 : percent > 100 ? 100 : percent); }

void TransactionSplashDlg::Close() { hide(); }

bool TransactionSplashDlg::ProcessEventsAndCheckCancel() {
    // The main window is disabled while this window works, so only Cancel takes input here.
    QApplication::processEvents();
    const bool c = cancelled_;
    cancelled_ = false;
    return c;
}

void TransactionSplashDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

void TransactionSplashDlg::reject() {
    if (cancel_->isEnabled()) cancel_->click();
}

}  // namespace kmr::gui
