#include "core/app/RunFileCheck.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/datafiles/DataFileNaming.h"
#include "core/datafiles/FileIo.h"
#include "core/support/SpecialFolders.h"

namespace kmr {

namespace {

std::string Fix(Language lang) {
    return "\n" + Text(lang, txt::ChooseAnotherFolder);
}

// The folder as the user knows it, with the system's reason.
std::string FolderProblem(Language lang, int textId, const std::string& folder, int err) {
    return Text(lang, textId) + "\n" + folder + "\n(" + ErrorDescription(err, lang) + ")" + Fix(lang);
}

}  // namespace

std::string DataFileProblemBeforeRun(const GlobalSettings& g, const std::string& extension, Language lang) {
    const std::string& base = g.BaseFileName;
    if (base.empty() || IsImproperFileName(base)) return Text(lang, txt::ImproperFileName) + "\n" + base + Fix(lang);
    if (!BaseNameFits(base)) return BaseNameTooLongText(lang, base) + Fix(lang);

    const std::string folder = WithTrailingSeparator(g.DataFolder);
    std::error_code ec;
    const std::filesystem::path where = PathFromUtf8(folder);
    if (!std::filesystem::is_directory(where, ec)) {
        // A folder that has gone (a removed drive, deleted by hand) is made again.
        std::filesystem::create_directories(where, ec);
        if (!std::filesystem::is_directory(where, ec)) {
            const int err = ec ? ec.default_error_condition().value() : ENOENT;
            return FolderProblem(lang, txt::DataFolderMissing, folder, err != 0 ? err : ENOENT);
        }
    }
    // The longest name the run may make, created and removed again; a file of that name that is
    // already there is never touched (the folder's own write test is made instead).
    int err = ProbeCreateFile(folder + LongestDataFileName(base, extension));
    if (err == EEXIST) err = ProbeWritableFolder(folder) ? 0 : EACCES;
    if (err != 0) return FolderProblem(lang, txt::DataFolderNotWritable, folder, err);
    return {};
}

bool ConditionsReadyForRun(Engine& e) {
    // The settings window's refusals: a data trigger without a channel that can trigger (start-up
    // switches off a trigger channel the instrument does not have) would wait for ever.
    const int refusal = ChannelSetRefusal(e.s.Meas);
    if (refusal == 0) return true;
    e.ui.ShowMessage(e.ui.Text(refusal) + "\n" + e.ui.Text(txt::SetInMeasCondSettings), e.ui.Text(txt::SettingErrorTitle),
                     MsgIcon::Exclamation, MsgButtons::Ok);
    e.s.Status = RunStatus::Cancelled;
    return false;
}

bool DataFileReadyForRun(Engine& e) {
    const std::string problem = DataFileProblemBeforeRun(e.s.Global, e.s.Extension(), e.ui.language);
    if (problem.empty()) return true;
    e.ui.ShowMessage(problem, e.ui.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::Ok);
    e.s.Status = RunStatus::Cancelled;
    return false;
}

}  // namespace kmr
