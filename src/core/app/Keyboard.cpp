#include "core/app/Keyboard.h"
#include "core/support/TextIds.h"

#include <cctype>

namespace kmr {

namespace {

struct MenuKey {
    int textId;
    char letter;
    const char* shortcut;
};
// The items of one menu have letters of their own (File's Open, Export Charts and Export Range
// carry O, C and R in their captions).
constexpr MenuKey kMenuKeys[] = {
    // File
    {txt::DataFileSettingsItem, 'D', ""}, {txt::MeasCondSettingsItem, 'M', ""}, {txt::GraphCondSettingsItem, 'G', ""},
    {txt::ConvertFileItem, 'V', ""}, {txt::QuitItem, 'Q', ""},
    // Meas.
    {txt::MonitorItem, 'M', "F6"}, {txt::BalanceItem, 'B', ""}, {txt::StartItem, 'S', "F5"}, {txt::StopButton, 'S', "F5"},
    // Option
    {txt::CheckItem, 'C', ""}, {txt::OutputCalItem, 'O', ""}, {txt::VersionItem, 'V', ""}, {txt::ConnectItem, 'N', ""},
};

const MenuKey* Find(int textId) {
    for (const MenuKey& k : kMenuKeys)
        if (k.textId == textId) return &k;
    return nullptr;
}

}  // namespace

std::string MenuShortcutOf(int textId) {
    const MenuKey* k = Find(textId);
    return k != nullptr ? k->shortcut : "";
}

char MenuLetterOf(int textId) {
    const MenuKey* k = Find(textId);
    return k != nullptr ? k->letter : 0;
}

namespace {

// `caption` with `letter` marked: its own first occurrence in an ASCII caption, either case,
// otherwise "(&X)" after it and before a trailing "...".
std::string MarkedCaption(const std::string& caption, char letter) {
    if (letter == 0 || caption.find('&') != std::string::npos) return caption;
    // The first occurrence of the letter in an ASCII caption, either case.
    for (std::size_t i = 0; i < caption.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(caption[i]);
        if (c >= 0x80) break;
        if (std::toupper(c) == letter) return caption.substr(0, i) + "&" + caption.substr(i);
    }
    const std::string mark = std::string("(&") + letter + ")";
    const std::string dots = "...";
    if (caption.size() >= dots.size() && caption.compare(caption.size() - dots.size(), dots.size(), dots) == 0)
        return caption.substr(0, caption.size() - dots.size()) + mark + dots;
    return caption + mark;
}

}  // namespace

std::string MenuCaption(const std::string& caption, int textId) { return MarkedCaption(caption, MenuLetterOf(textId)); }

ChartKeyAction ChartKeyActionOf(Key key) {
    switch (key) {
        case Key::Left: return ChartKeyAction::CursorBack;
        case Key::Right: return ChartKeyAction::CursorForward;
        case Key::Plus: return ChartKeyAction::ZoomIn;
        case Key::Minus: return ChartKeyAction::ZoomOut;
        case Key::Home: return ChartKeyAction::Reset;
        default: return ChartKeyAction::None;
    }
}

int BalanceCellAfter(int channel, Key key) {
    const int row = (channel - 1) % 5, column = (channel - 1) / 5;
    switch (key) {
        case Key::Up: return row > 0 ? channel - 1 : channel;
        case Key::Down: return row < 4 ? channel + 1 : channel;
        case Key::Left: return column > 0 ? channel - 5 : channel;
        case Key::Right: return column < 1 ? channel + 5 : channel;
        default: return channel;
    }
}

std::optional<MsgAnswer> AnswerOfLetter(MsgButtons buttons, char letter) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (buttons == MsgButtons::YesNo && (c == 'Y' || c == 'N')) return c == 'Y' ? MsgAnswer::Yes : MsgAnswer::No;
    if (buttons == MsgButtons::RetryCancel && (c == 'R' || c == 'C'))
        return c == 'R' ? MsgAnswer::Retry : MsgAnswer::Cancel;
    return std::nullopt;
}

std::string AnswerCaption(const std::string& caption, MsgAnswer answer) {
    switch (answer) {
        case MsgAnswer::Yes: return MarkedCaption(caption, 'Y');
        case MsgAnswer::No: return MarkedCaption(caption, 'N');
        case MsgAnswer::Retry: return MarkedCaption(caption, 'R');
        case MsgAnswer::Cancel: return MarkedCaption(caption, 'C');
        default: return caption;
    }
}

}  // namespace kmr
