#include "gui/FormDlg.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include "core/app/MainWindowRules.h"
#include "gui/GuiText.h"

namespace kmr::gui {

FormDlg::FormDlg(Engine& e, QWidget* owner) : QWidget(owner, Qt::Window | Qt::Dialog), e_(e) {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

FormDlg::~FormDlg() {
    // Only when the main window itself goes, taking its forms with it.
    if (!unloaded_) e_.forms.Forget();
}

void FormDlg::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    hide();
    e_.forms.Closed();
    Unloading();
    deleteLater();
}

void FormDlg::EndWithProgram() {
    if (unloaded_) return;
    ProgramEnding();
    Unload();
}

namespace {
// The gate's slot for a form's close request held while a handler waits.
constexpr int kFormCloseId = 21;
}  // namespace

void FormDlg::closeEvent(QCloseEvent* event) {
    if (unloaded_) {
        event->accept();
        return;
    }
    event->ignore();
    if (inHandlerClose_) {
        // From one of the form's own handlers, already inside the gate.
        if (CloseRequest()) event->accept();
        return;
    }
    if (e_.gate.Busy()) {
        // Held until the handler that waits has returned.
        const QPointer<FormDlg> self(this);
        e_.gate.Tick(kFormCloseId, [self] { if (self) self->CloseInHandler(); },
                     [self] { return self && !self->unloaded_; });
        return;
    }
    bool closed = false;
    e_.gate.InputKeepingHeld([&] { closed = CloseRequest(); });
    if (closed) event->accept();
    // Queued on the window the form stands over: a closed form goes.
    RunHeldAfterClose(parentWidget() != nullptr ? parentWidget() : static_cast<QWidget*>(this), e_.gate);
}

void RunHeldAfterClose(QObject* window, HandlerGate& gate) {
    // Ticks held while the close was asked about (the quit question) run once the close event has
    // returned: the system takes a second close as done while the window is still inside the
    // first, and would take the window away without a word if a tick waited for the instrument
    // in there.
    QMetaObject::invokeMethod(window, [&gate] { gate.RunHeldNow(); }, Qt::QueuedConnection);
}

void FormDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (unloaded_ || (key != Qt::Key_Escape && !enter) || event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    QPushButton* target = nullptr;
    if (key == Qt::Key_Escape) {
        target = findChild<QPushButton*>("cmdButton0");  // Cancel
        if (target == nullptr) {
            const QPointer<FormDlg> self(this);
            QTimer::singleShot(0, this, [self] { if (self && !self->unloaded_) self->close(); });
            return;
        }
    } else {
        // Enter in a text box enters its value (the box has done so): the form stays open.
        if (qobject_cast<QLineEdit*>(focusWidget()) != nullptr) return;
        target = qobject_cast<QPushButton*>(focusWidget());
        if (target == nullptr)
            for (QPushButton* b : findChildren<QPushButton*>())
                if (b->isDefault()) target = b;
    }
    // Pressed once this key's handling has returned: the click may unload the form, and a
    // button that is gone by then is not pressed.
    if (target != nullptr && target->isVisible() && target->isEnabled())
        QMetaObject::invokeMethod(target, &QPushButton::click, Qt::QueuedConnection);
}

bool FormDlg::CloseRequest() {
    if (unloaded_) return true;
    if (!QueryClose()) return false;
    Unload();
    return true;
}

std::optional<BoxTag> FormDlg::BoxBeingEdited() const {
    const auto* focused = qobject_cast<const QLineEdit*>(focusWidget());
    if (focused != nullptr && focused->isModified()) return TagOf(focused);
    // A box whose entry came while another handler ran still shows what was typed, and leaving it
    // does not enter it again (its text has not changed since): it counts as being edited.
    for (const QLineEdit* box : findChildren<QLineEdit*>())
        if (box->isModified() && box->isEnabled() && TagOf(box)) return TagOf(box);
    return std::nullopt;
}

bool FormDlg::Gated(const std::function<void()>& handler) { return e_.gate.Input(handler); }

void FormDlg::GatedClick(const std::function<void()>& handler) {
    const QPointer<FormDlg> self(this);
    const std::function<bool()> sameWindow = WhileWindowOffersTheSame(e_);
    e_.gate.InputOrHold([self, handler] { if (self && !self->unloaded_) handler(); },
                        [self, sameWindow] { return self && !self->unloaded_ && sameWindow(); });
}

void FormDlg::GatedCheck(QAbstractButton* box, const std::function<void(bool)>& handler) {
    connect(box, &QAbstractButton::clicked, this, [this, box, handler](bool on) {
        if (Gated([&] { handler(on); })) return;
        const QSignalBlocker quiet(box);
        box->setChecked(!on);
    });
}

void FormDlg::SetFormInputEnabled(bool enabled) {
    if (!enabled && isEnabled()) focusBeforeDisabled_ = focusWidget();
    setEnabled(enabled);
    if (!enabled) return;
    QWidget* w = focusBeforeDisabled_;
    focusBeforeDisabled_ = nullptr;
    if (w && w->isEnabled() && w->isVisible()) w->setFocus(Qt::OtherFocusReason);
}

void FormDlg::CloseInHandler() {
    inHandlerClose_ = true;
    // A hidden form gets no close event from close(): the request runs directly.
    if (isVisible())
        close();
    else
        CloseRequest();
    inHandlerClose_ = false;
}

QHBoxLayout* FormDlg::CancelOkRow(const std::function<void()>& ok) {
    auto* cancel = new QPushButton(T(txt::CancelButton));
    cancel->setObjectName("cmdButton0");
    auto* okButton = new QPushButton(T(txt::OkButton));
    okButton->setObjectName("cmdButton1");
    okButton->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, [this] {
        Gated([this] {
            closeByButton_ = true;
            CloseInHandler();
            closeByButton_ = false;
        });
    });
    connect(okButton, &QPushButton::clicked, this, [this, ok] { Gated(ok); });
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cancel);
    row->addWidget(okButton);
    return row;
}

FormDlg* OpenForm(Engine& e, QWidget* owner, FormId id, const std::function<FormDlg*()>& make) {
    if (!e.forms.Open(id)) return nullptr;
    return ShowForm(owner, make());
}

FormDlg* ShowForm(QWidget* owner, FormDlg* form) {
    if (form->parentWidget() != owner) form->setParent(owner, form->windowFlags());
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

namespace {

class SelectOnFocus : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (edit == nullptr) return false;
        if (event->type() == QEvent::FocusIn) {
            // After the click that gave the focus has placed the cursor.
            QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
        } else if (event->type() == QEvent::MouseButtonPress) {
            clickedWithFocus_ = edit->hasFocus();
        } else if (event->type() == QEvent::MouseButtonRelease && clickedWithFocus_) {
            // A click into the box being edited selects its text too, so what is typed next
            // replaces the value; a drag keeps the part it selected.
            clickedWithFocus_ = false;
            if (!edit->hasSelectedText()) edit->selectAll();
        }
        return false;
    }

private:
    bool clickedWithFocus_ = false;
};

}  // namespace

void TagBox(QObject* box, BoxTag tag) {
    box->setProperty("kmrField", tag.field);
    box->setProperty("kmrChannel", tag.channel);
}

std::optional<BoxTag> TagOf(const QObject* box) {
    const QVariant field = box ? box->property("kmrField") : QVariant();
    if (!field.isValid()) return std::nullopt;
    return BoxTag{field.toInt(), box->property("kmrChannel").toInt()};
}

std::optional<BoxTag> EnteredBox(const QObject* watched, const QEvent* event) {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::MouseButtonPress) return std::nullopt;
    return TagOf(watched);
}

void SelectAllOnEntry(QWidget* textBox) { textBox->installEventFilter(new SelectOnFocus(textBox)); }

}  // namespace kmr::gui
