#pragma once
// The About window: the program and its version, what it is for, and the instrument.
#include <QDialog>

#include "core/app/ProgramState.h"

namespace kmr::gui {

// The program's version, from the build.
QString ProgramVersion();

class VersionDlg : public QDialog {
    Q_OBJECT
public:
    VersionDlg(const ProgramState& s, QWidget* owner);
};

}  // namespace kmr::gui
