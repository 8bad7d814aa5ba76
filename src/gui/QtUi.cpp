#include "gui/QtUi.h"

#include <QApplication>
#include <QDialog>
#include <cstdlib>

#include "gui/GuiText.h"
#include "gui/MessageBox.h"
#include "gui/SplashDlg.h"

namespace kmr::gui {

MsgAnswer QtUi::ShowMessage(const std::string& text, const std::string& title, MsgIcon icon,
                            MsgButtons buttons, bool defaultNo, int autoCloseMs) {
    // A box is never hidden behind the splash window.
    MakeSplashNonTopmost();
    // The box shows the arrow pointer even while the program works.
    const bool busy = pointer_ == Pointer::Hourglass;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    QWidget* owner = WindowInFront(owner_ && owner_->isVisible() ? owner_.data() : nullptr);
    if (autoCloseMs <= 0) autoCloseMs = unattendedCloseMs_;
    MessageBox box(owner, Q(text), Q(title), icon, buttons, defaultNo, autoCloseMs);
    const MsgAnswer a = box.Ask();
    if (busy) QApplication::restoreOverrideCursor();
    return a;
}

void QtUi::EndUnattended() {
    unattendedCloseMs_ = 5000;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) continue;
        if (auto* box = qobject_cast<MessageBox*>(w))
            box->close();
        else if (auto* dialog = qobject_cast<QDialog*>(w); dialog != nullptr && dialog->isModal())
            dialog->reject();
        else if (w->windowModality() != Qt::NonModal)
            w->close();
    }
}

void QtUi::SetPointer(Pointer p) {
    if (p == pointer_) return;
    if (p == Pointer::Hourglass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    pointer_ = p;
}

bool QtUi::IsSplashShowing() const { return splash_ != nullptr && splash_->IsShowing(); }

void QtUi::MakeSplashNonTopmost() {
    if (splash_ != nullptr) splash_->DropTopmost();
}

void QtUi::TerminateProgram() {
    // Cancel in the GP-IB status report: the program ends here, nothing is saved.
    std::_Exit(1);
}

}  // namespace kmr::gui
