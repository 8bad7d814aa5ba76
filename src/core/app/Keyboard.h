#pragma once
// What the keys do: the main window's function keys, the underlined letters of the menu items,
// the keys of a focused chart and of the balance table. The windows translate their key events
// into Key and carry out the action named here.
#include <optional>
#include <string>

#include "core/graphs/ChartKeyAction.h"
#include "core/support/UiPort.h"

namespace kmr {

enum class Key { Other, Left, Right, Up, Down, Plus, Minus, Home };

// The key shown beside a menu item ("F5"), empty for none; `textId` is the item's caption text.
std::string MenuShortcutOf(int textId);

// A menu caption with its underlined letter marked by '&': the item's own letter where the
// caption holds it, otherwise "(&X)" after the caption and before a trailing "...". Captions that
// carry their mark already are kept.
std::string MenuCaption(const std::string& caption, int textId);
// The letter of the item with caption text `textId` (0 for none).
char MenuLetterOf(int textId);

// A question box's answer to a letter key (any case): the initial of each answer, Y and N, R and
// C, in both languages; none for another letter or box.
std::optional<MsgAnswer> AnswerOfLetter(MsgButtons buttons, char letter);
// The caption of a question's answer button with its letter marked as a menu item's is ("&Yes",
// "はい(&Y)"); an OK button has no letter.
std::string AnswerCaption(const std::string& caption, MsgAnswer answer);

// A focused chart showing a record.
ChartKeyAction ChartKeyActionOf(Key key);

// The balance table: channels 1 to 5 in the left column, 6 to 10 in the right. The channel the
// arrow key moves to from `channel` (the same at an edge).
int BalanceCellAfter(int channel, Key key);

}  // namespace kmr
