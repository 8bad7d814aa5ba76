#pragma once
// What the settings forms share: how a typed text is read, the whole numbers their boxes take,
// what OK ended in, the two questions of a changed form, the box still being edited on OK, and
// what a close request does.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/FormHost.h"
#include "core/support/TextTable.h"
#include "core/support/UiPort.h"

namespace kmr {

// What OK ended in.
enum class FormOutcome { StayOpen, Close, Applied };

// A typed text as the forms read it: trimmed, full-width to half-width, upper case.
std::string NormaliseTyped(std::string_view typed);
// Whole numbers of the forms: digits with an optional leading "+".
std::optional<std::int32_t> ParseUnsignedCount(std::string_view text);

// "The setting conditions are changed. Do you want to renew?" (Registration): true for Yes.
bool AskToRenew(UiPort& ui, Language lang);
// "... Do you want to close without renewing?" (Close): true for Yes.
bool AskToCloseWithoutRenewing(UiPort& ui, Language lang);

// The text boxes of a form as its presenter reads them (part of every settings form's view).
template <typename Field>
class FormBoxes {
public:
    virtual ~FormBoxes() = default;
    // The box that holds an edit not yet entered (focused and typed in, or its entry not acted on).
    virtual std::optional<Field> BoxBeingEdited() const = 0;
    // What the box shows, as typed.
    virtual std::string Typed(Field field) const = 0;
};

// OK (Convert in the conversion window): an edit still in its box counts, entered as leaving the
// box would enter it. `enter` returns false when the entry was refused with a message; the form
// then goes no further.
template <typename Field, typename Enter>
bool EnterBoxBeingEdited(const FormBoxes<Field>& boxes, Enter enter) {
    const std::optional<Field> field = boxes.BoxBeingEdited();
    return !field || enter(*field);
}

// How a close request came: the form's Cancel button, or the close box (Alt+F4, Escape where the
// form has no Cancel, a close from the program).
enum class CloseBy { Cancel, CloseBox };

// What a close request does before the form goes: the box clicked last keeps what is typed in it,
// and question 158 is asked when something changed.
struct CloseSteps {
    bool enterLastClicked = false;
    bool askWhenChanged = false;
};
// The one rule for every form: the measurement and graph conditions ask either way and the close
// box keeps the typed text; the data-file settings ask on the close box only, after taking the
// name still being typed (Cancel discards); every other form closes as asked.
CloseSteps StepsOfClose(FormId form, CloseBy how);

// A close request of `form`: its steps, then true when it may close (nothing changed, or Yes to
// question 158).
bool MayCloseForm(UiPort& ui, Language lang, FormId form, CloseBy how, const std::function<void()>& enterLastClicked,
                  const std::function<bool()>& changed);

}  // namespace kmr
