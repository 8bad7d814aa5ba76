// The names of the exports of a stored record: the ones offered, and the rule a typed one
// follows (the conversion's, for the charts' picture too).
#include <filesystem>

#include "core/app/OpenRecord.h"
#include "core/datafiles/DataFileNaming.h"
#include "core/support/Numbers.h"
#include "core/support/SpecialFolders.h"
#include "core/support/TextTable.h"

namespace kmr {

namespace {
const char* ExtensionOf(ExportFormat format) { return format == ExportFormat::Hdf5 ? ".h5" : ".csv"; }
bool EndsWithNoCase(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && ToLowerAscii(s.substr(s.size() - end.size())) == end;
}
// In the record's folder; the name as the exports take it (a blank would be refused).
std::string ProperStemOf(const std::string& source) {
    const std::string stem = DataFileStem(source);
    const std::string name = FileNameOf(stem);
    return stem.substr(0, stem.size() - name.size()) + WithProperCharacters(name);
}
}  // namespace

std::string SuggestedExportName(const std::string& source, ExportFormat format) {
    return ProperStemOf(source) + ExtensionOf(format);
}

std::string WithExportExtension(const std::string& path, ExportFormat format) {
    return EndsWithNoCase(path, ExtensionOf(format)) ? path : path + ExtensionOf(format);
}

std::optional<std::string> RefusedExportName(Engine& e, const std::string& name) {
    if (!IsImproperFileName(name)) return std::nullopt;
    const std::string proper = WithProperCharacters(TrimCopy(name));
    e.ui.ShowMessage(e.ui.Text(txt::ImproperFileName) + "\n" + name + "\n" +
                         TextWith(e.ui.language, txt::ProperFileNameHint, {proper}),
                     e.ui.Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    return proper;
}

std::string SuggestedPictureName(const std::string& source, const std::string& dataFolder) {
    return (source.empty() ? dataFolder + "charts" : ProperStemOf(source)) + ".png";
}

PictureName ChartsPicturePath(Engine& e, const std::string& chosen, bool pdfChosen) {
    std::error_code ec;
    const std::string typed = FileNameOf(chosen);
    if (const auto proper = RefusedExportName(e, typed))
        return {{}, true, chosen.substr(0, chosen.size() - typed.size()) + *proper};
    if (EndsWithNoCase(chosen, ".png") || EndsWithNoCase(chosen, ".pdf")) {
        // The picture takes its name by a rename, which the file's own protection does not stop:
        // a file kept read-only is not replaced, whatever the save window asked.
        namespace fs = std::filesystem;
        const fs::file_status st = fs::status(PathFromUtf8(chosen), ec);
        const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        if (ec || st.type() != fs::file_type::regular) return {chosen, false, {}};
        if ((st.permissions() & writable) == fs::perms::none) {
            e.ui.ShowMessage(TextWith(e.ui.language, txt::PictureFileReadOnly, {chosen}),
                             e.ui.Text(txt::SettingErrorTitle), MsgIcon::Exclamation, MsgButtons::Ok);
            return {};
        }
        // Asked here, in the program's words and language, rather than by the save window; No
        // offers the save window again, as its own question did.
        if (e.ui.ShowMessage(TextWith(e.ui.language, txt::ReplaceExistingFile, {chosen}),
                             e.ui.Text(txt::ConfirmationTitle), MsgIcon::Exclamation, MsgButtons::YesNo,
                             /*defaultNo=*/true) != MsgAnswer::Yes)
            return {{}, true, {}};
        return {chosen, false, {}};
    }
    const std::string path = chosen + (pdfChosen ? ".pdf" : ".png");
    // A folder of that name stands in the way too.
    if (!NameHeld(path)) return {path, false, {}};
    e.ui.ShowMessage(e.ui.Text(txt::FileNameMayOverlap) + "\n" + path, e.ui.Text(txt::SettingErrorTitle),
                     MsgIcon::Exclamation, MsgButtons::Ok);
    return {};
}

}  // namespace kmr
