#include "gui/SplashDlg.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/GuiText.h"

namespace kmr::gui {

SplashDlg::SplashDlg(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint) {
    setObjectName("SplashDlg");
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Raised);
    frame->setLineWidth(2);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    title_ = new QLabel;
    title_->setObjectName("lblTitle");
    QFont f = title_->font();
    f.setPointSizeF(f.pointSizeF() * 1.5);
    f.setBold(true);
    title_->setFont(f);
    title_->setAlignment(Qt::AlignCenter);
    status_ = new QLabel;
    status_->setObjectName("lblStatus");
    status_->setAlignment(Qt::AlignCenter);
    bar_ = new QProgressBar;
    bar_->setObjectName("pbProgress");
    bar_->setTextVisible(false);

    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(32, 28, 32, 24);
    layout->setSpacing(14);
    layout->addWidget(title_);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    setMinimumWidth(420);
}

void SplashDlg::Show(const std::string& title, const std::string& status, int maximum) {
    title_->setText(Q(title));
    status_->setText(Q(status));
    bar_->setRange(0, maximum);
    bar_->setValue(0);
    setWindowTitle(Q(title));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void SplashDlg::SetStatus(const std::string& status) {
    status_->setText(Q(status));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void SplashDlg::SetProgress(int value, int maximum) {
    bar_->setRange(0, maximum);
    bar_->setValue(value < maximum ? value : maximum);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void SplashDlg::Unload() {
    hide();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
}

void SplashDlg::DropTopmost() {
    if (!IsTopmost()) return;
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);  // hides the window
    if (shown) show();
}

}  // namespace kmr::gui
