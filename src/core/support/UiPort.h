#pragma once
#include <string>

#include "core/support/TextTable.h"

namespace kmr {

enum class MsgIcon { None, Exclamation, Question, Critical, Information };
enum class MsgButtons { Ok, YesNo, RetryCancel };
// Answers of the program's message box: OK (also the close box) 0, Yes 1, No 2.
enum class MsgAnswer { Ok = 0, Yes = 1, No = 2, Retry = 3, Cancel = 4 };
enum class Pointer { Default, Hourglass };

// The program's title on message boxes that have no title of their own.
inline constexpr const char* kProgramTitle = "KMR-5300";

// What core needs from the user and the screen. The GUI implements it with Qt; the command-line
// tool writes to stderr; tests record every call and answer from a script.
class UiPort {
public:
    virtual ~UiPort() = default;

    // The language of every text shown through this port; the program picks it once at start.
    Language language = Language::English;
    const std::string& Text(int id) const { return kmr::Text(language, id); }

    // Shows a message box and returns the answer. `defaultNo` selects No as the default button
    // of a Yes/No box. `autoCloseMs` > 0 closes the box after that time as if OK was pressed.
    virtual MsgAnswer ShowMessage(const std::string& text, const std::string& title, MsgIcon icon,
                                  MsgButtons buttons, bool defaultNo = false, int autoCloseMs = 0) = 0;

    virtual Pointer GetPointer() const = 0;
    virtual void SetPointer(Pointer p) = 0;

    // The start-up splash window: whether it is showing, and dropping its topmost status so that
    // a message box is not hidden behind it.
    virtual bool IsSplashShowing() const { return false; }
    virtual void MakeSplashNonTopmost() {}

    // Ends the program at once, saving nothing (Cancel in the GP-IB status report).
    virtual void TerminateProgram() = 0;
};

}  // namespace kmr
