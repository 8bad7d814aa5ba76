#pragma once
// What the settings forms share: how a typed text is read, the whole numbers their boxes take,
// what OK ended in, and the two questions of a changed form.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

}  // namespace kmr
