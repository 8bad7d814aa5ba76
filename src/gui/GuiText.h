#pragma once
// Texts of the windows: the text table's entries and the core's UTF-8 texts as QStrings.
#include <QFontMetrics>
#include <QString>
#include <string>

#include "core/support/TextTable.h"

namespace kmr::gui {

// The language of the windows: main picks it once, before the first window, and hands the same
// to the engine's UiPort. Qt's own texts (a file dialog drawn by Qt, an entry box's context menu,
// the conditions panel's buttons) follow it where Qt's translation for it is installed; set it
// once the application object exists.
Language GuiLanguage();
void SetGuiLanguage(Language lang);

inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
// A file Qt names ('/' on every system) as the core keeps and shows it: absolute, with the
// system's own separators, UTF-8.
std::string CorePath(const QString& path);
inline QString T(int id) { return Q(Text(GuiLanguage(), id)); }

// The status strip's text as it fits `width`: a data file's path in it is shortened first, in its
// middle, so that what is said around it (how many samples were kept, that the file is
// incomplete) stays readable; in a strip too narrow for that the path gives way to its file name,
// which stays whole while the words after it and then the end of those before it give way. The
// tool tip has it whole.
QString FittedStatusText(const QString& text, const QFontMetrics& fm, int width);

}  // namespace kmr::gui
