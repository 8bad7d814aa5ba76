#pragma once
// The core's UiPort for the window program: the own message box owned by the window in front,
// the hourglass pointer, the splash window's topmost status and ending the program at once.
#include <QPointer>
#include <QWidget>

#include "core/support/UiPort.h"

namespace kmr::gui {

class SplashDlg;

class QtUi : public UiPort {
public:
    MsgAnswer ShowMessage(const std::string& text, const std::string& title, MsgIcon icon,
                          MsgButtons buttons, bool defaultNo = false, int autoCloseMs = 0) override;
    Pointer GetPointer() const override { return pointer_; }
    void SetPointer(Pointer p) override;
    bool IsSplashShowing() const override;
    void MakeSplashNonTopmost() override;
    void TerminateProgram() override;

    // The window that owns message boxes (the main window once it is loaded).
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void SetSplash(SplashDlg* splash) { splash_ = splash; }
    // The program ends at the system's request: nobody may be there to answer, so a box open now
    // is closed as by its close box, and every later one closes itself after 5 s as if OK. Any other
    // window that waits for an answer (a file chooser, the export's choices, the folder picker
    // of a transfer) is closed as by its Cancel: the handler that opened it returns, and the end
    // held behind it follows.
    void EndUnattended();

private:
    QPointer<QWidget> owner_;
    SplashDlg* splash_ = nullptr;
    Pointer pointer_ = Pointer::Default;
    int unattendedCloseMs_ = 0;
};

}  // namespace kmr::gui
