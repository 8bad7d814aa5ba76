#include "core/app/SecondStart.h"

namespace kmr {

StartAs ClaimOrHandOver(RunningInstancePort& instance, UiPort& ui, const std::string& dataFile) {
    if (instance.Claim()) return StartAs::Program;
    if (!dataFile.empty() && instance.ActivateRunning(dataFile)) return StartAs::Handed;
    ui.ShowMessage(ui.Text(txt::AlreadyRunning), ui.Text(txt::LoadingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    instance.ActivateRunning({});
    return StartAs::Refused;
}

}  // namespace kmr
