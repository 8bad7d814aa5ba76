#pragma once
// The base of every form of the main window (settings and tool windows): a modeless window owned
// by the main window. OpenForm asks the core's FormHost first (which disables the main window,
// pauses its monitor where asked and refuses a second form) and shows the form; the form tells
// the host when it is unloaded, whatever closes it.
//
// Every click, key and close of a form runs through the engine's handler gate, as the main
// window's do: a close event (the close box, Alt+F4, close()) that arrives while a handler waits for the
// instrument is held and carried out once that handler has returned.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "core/app/Engine.h"
#include "core/app/FormHost.h"
#include "core/app/FormRules.h"

class QAbstractButton;
class QHBoxLayout;

namespace kmr::gui {

// The field a form's text box edits (its kind as a number, and its channel, 0 for none), kept on
// the box so that its focus, clicks and pending edit can be told to the form's presenter.
struct BoxTag {
    int field = 0;
    int channel = 0;
};

class FormDlg : public QWidget {
    Q_OBJECT
public:
    FormDlg(Engine& e, QWidget* owner);
    ~FormDlg() override;

    // Closes the form without asking (after a confirmed OK): hides it, tells the host and
    // deletes it later.
    void Unload();
    bool IsUnloaded() const { return unloaded_; }
    // The program ends while the form is open: the form is closed through its own ending (the
    // output calibration sends MON) without asking, and unloaded.
    void EndWithProgram();

protected:
    // Asked on a close request (Cancel, the close box; HowClosing() tells which): false keeps the
    // form open.
    virtual bool QueryClose() { return true; }
    // The form is being unloaded, whatever closed it (after the host has restored the main window).
    virtual void Unloading() {}
    // The program ends with the form open (EndWithProgram): what every close must do.
    virtual void ProgramEnding() {}
    void closeEvent(QCloseEvent* event) override;
    // Escape cancels (the Cancel button where the form has one, else the close box); Enter
    // presses the focused button, or the default button from anywhere else in the form.
    void keyPressEvent(QKeyEvent* event) override;
    // Runs a click of the form through the gate (nothing happens while another handler runs);
    // false when it was not acted on.
    bool Gated(const std::function<void()>& handler);
    // A button's click: as Gated, but a click while only a timer tick waits for the instrument (the
    // balance's readings, the main window's monitor beside the output calibration) is held and
    // acted on once the tick has returned, if the form is still open and the window unchanged.
    void GatedClick(const std::function<void()>& handler);
    // A slot that runs `handler` with the signal's arguments through the gate: an edit in the form
    // while another handler waits is dropped, as a click is.
    template <typename Handler>
    auto InGate(Handler handler) {
        return [this, handler](auto... args) { Gated([handler, args...] { handler(args...); }); };
    }
    // A check box's click through the gate; a click that was not acted on is undone on the box.
    void GatedCheck(QAbstractButton* box, const std::function<void(bool)>& handler);
    // Closes the form from inside one of its gated handlers (a Close button).
    void CloseInHandler();
    // The Cancel and OK row of a settings form, to the right: Cancel closes the form as its
    // button (HowClosing() is CloseBy::Cancel while the close is asked), OK calls `ok`.
    QHBoxLayout* CancelOkRow(const std::function<void()>& ok);
    CloseBy HowClosing() const { return closeByButton_ ? CloseBy::Cancel : CloseBy::CloseBox; }
    // The tag of the form's text box that holds an edit not yet entered (the focused box typed in,
    // else a box whose entry was not acted on), if any.
    std::optional<BoxTag> BoxBeingEdited() const;
    // Takes or refuses input while a job runs: the keyboard focus comes back to where it was, so
    // that a job started from the keyboard leaves the keys working.
    void SetFormInputEnabled(bool enabled);

    HandlerGate& Gate() { return e_.gate; }

    Engine& e_;

private:
    // The close request itself, inside the gate: QueryClose, then the unload.
    bool CloseRequest();

    bool unloaded_ = false;
    bool closeByButton_ = false;
    bool inHandlerClose_ = false;
    QPointer<QWidget> focusBeforeDisabled_;
};

// Opens the form `make` builds, unless another form is open (then nothing is made and nullptr is
// returned). The form is shown beside the main window, owned by it.
FormDlg* OpenForm(Engine& e, QWidget* owner, FormId id, const std::function<FormDlg*()>& make);
// Shows a form the host has already marked open, beside the main window, owned by it.
FormDlg* ShowForm(QWidget* owner, FormDlg* form);

void TagBox(QObject* box, BoxTag tag);
std::optional<BoxTag> TagOf(const QObject* box);
// The tag of a box that the event enters (focus or a press), if any.
std::optional<BoxTag> EnteredBox(const QObject* watched, const QEvent* event);

// Selects a text box's whole text when it takes the focus (by any means), as every text box of
// the forms does.
void SelectAllOnEntry(QWidget* textBox);

// After a window's close event that asked in the gate: the ticks held meanwhile run once the event
// has returned (queued on `window`, which must outlive the gate's use here).
void RunHeldAfterClose(QObject* window, HandlerGate& gate);

}  // namespace kmr::gui
