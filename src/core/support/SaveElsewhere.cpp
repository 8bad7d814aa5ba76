#include "core/support/SaveElsewherePort.h"

#include "core/support/UiPort.h"

namespace kmr {

std::optional<std::string> AskForOtherFolder::OtherFolder(const std::string& problem, const std::string& folder) {
    const std::string text = problem + "\n\n" + ui_.Text(txt::SaveElsewhereQuestion);
    while (ui_.ShowMessage(text, ui_.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::YesNo) == MsgAnswer::Yes) {
        if (std::optional<std::string> chosen = picker_.PickFolder(folder)) return chosen;
    }
    return std::nullopt;
}

}  // namespace kmr
