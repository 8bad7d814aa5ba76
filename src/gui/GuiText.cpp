#include "gui/GuiText.h"

namespace kmr::gui {

namespace {

// Set once by main (and by the window tests) before the first window; read on the GUI thread.
Language g_guiLanguage = Language::English;

}  // namespace

Language GuiLanguage() { return g_guiLanguage; }

void SetGuiLanguage(Language lang) { g_guiLanguage = lang; }

}  // namespace kmr::gui
