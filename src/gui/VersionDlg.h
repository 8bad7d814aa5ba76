#pragma once
// The About window: the program and its version, what it is for, and the instrument.
#include "gui/FormDlg.h"

namespace kmr::gui {

// The program's version, from the build.
QString ProgramVersion();

class VersionDlg : public FormDlg {
    Q_OBJECT
public:
    VersionDlg(Engine& e, QWidget* owner);
};

// Opens the About window as every form opens, unless another form is open (the main window's
// monitor keeps running).
VersionDlg* OpenVersion(Engine& e, QWidget* owner);

}  // namespace kmr::gui
