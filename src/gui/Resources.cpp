#include "gui/Resources.h"

#include <QApplication>
#include <QIcon>

// The resources are compiled into the window library, a static library: they are registered by hand.
static void RegisterResources() { Q_INIT_RESOURCE(kmr5300); }

namespace kmr::gui {

void SetProgramIcon() {
    RegisterResources();
    QApplication::setWindowIcon(QIcon::fromTheme("com.vantora.KMR5300", QIcon(":/kmr-5300.png")));
}

}  // namespace kmr::gui
