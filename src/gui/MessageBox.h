#pragma once
// The program's own message box: a caption, a text, an icon and OK, Yes/No or Retry/Cancel.
// The owning window is disabled while it is open. Answers: OK 0, Yes 1, No 2, Retry and Cancel
// as the core names them; the window's close box and Escape answer 0.
#include <QDialog>
#include <QTimer>

#include "core/support/UiPort.h"

class QPushButton;

namespace kmr::gui {

class MessageBox : public QDialog {
    Q_OBJECT
public:
    MessageBox(QWidget* owner, const QString& text, const QString& title, MsgIcon icon,
               MsgButtons buttons, bool defaultNo = false, int autoCloseMs = 0);
    // Shows the box, waits for the answer and enables the owner again.
    MsgAnswer Ask();
    MsgAnswer Answer() const { return answer_; }
    // The button Enter and Space answer: it has the focus when the box shows.
    QPushButton* DefaultButton() const { return default_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    QPushButton* AddButton(const QString& caption, MsgAnswer answer, const char* name);
    void Finish(MsgAnswer answer);

    QWidget* owner_;
    QPushButton* default_ = nullptr;
    MsgButtons buttons_;
    MsgAnswer answer_ = MsgAnswer::Ok;
    QTimer autoClose_;
    bool hadKeyboard_ = false;  // when it was answered
};

// The program's window in front, for a box or a progress window to go over: a form or the
// conversion window rather than the disabled main window behind it, so that the keyboard goes back
// to it afterwards. Right after a long wait, the window the wait notice stood over. `fallback` when
// no window of the program is active, or the active one goes by itself (the splash, a progress
// window, another box).
QWidget* WindowInFront(QWidget* fallback);

}  // namespace kmr::gui
