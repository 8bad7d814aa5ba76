#pragma once

namespace kmr::gui {

// The program's icon on every window: the installed icon of the desktop theme, else the built-in one.
void SetProgramIcon();

}  // namespace kmr::gui
