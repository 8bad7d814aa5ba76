#include "core/app/FormRules.h"

#include "core/support/Numbers.h"

namespace kmr {

std::string NormaliseTyped(std::string_view typed) {
    return ToUpperAscii(Trim(ToHalfWidth(TrimCopy(typed))));
}

std::optional<std::int32_t> ParseUnsignedCount(std::string_view text) {
    if (text.empty() || text[0] == '-') return std::nullopt;
    if (!IsWholeNumberText(text)) return std::nullopt;
    return ParseInt32(text);
}

bool AskToRenew(UiPort& ui, Language lang) {
    return ui.ShowMessage(Text(lang, txt::SaveChangesQuestion), Text(lang, txt::RegistrationButton), MsgIcon::Question,
                          MsgButtons::YesNo) == MsgAnswer::Yes;
}

bool AskToCloseWithoutRenewing(UiPort& ui, Language lang) {
    return ui.ShowMessage(Text(lang, txt::DiscardChangesQuestion), Text(lang, txt::CloseTitle), MsgIcon::Question,
                          MsgButtons::YesNo) == MsgAnswer::Yes;
}

CloseSteps StepsOfClose(FormId form, CloseBy how) {
    const bool closeBox = how == CloseBy::CloseBox;
    switch (form) {
        case FormId::MeasCond:
        case FormId::GraphCond: return {closeBox, true};
        case FormId::DataFileSettings: return {closeBox, closeBox};
        default: return {};
    }
}

bool MayCloseForm(UiPort& ui, Language lang, FormId form, CloseBy how, const std::function<void()>& enterLastClicked,
                  const std::function<bool()>& changed) {
    const CloseSteps steps = StepsOfClose(form, how);
    if (steps.enterLastClicked && enterLastClicked) enterLastClicked();
    if (!steps.askWhenChanged || !changed || !changed()) return true;
    return AskToCloseWithoutRenewing(ui, lang);
}

}  // namespace kmr
