#include "core/datafiles/TemporaryOutput.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/support/SpecialFolders.h"

namespace kmr {

std::string TemporaryPath(const std::string& finalPath, int attempt) {
    if (attempt <= 0) return finalPath + ".tmp";
    return finalPath + "." + std::to_string(attempt % 10) + ".tmp";
}

bool NameInUse(const std::string& path) {
    std::error_code ec;
    const auto st = std::filesystem::symlink_status(PathFromUtf8(path), ec);
    return st.type() != std::filesystem::file_type::not_found;
}

std::string FreeTemporaryPath(const std::string& finalPath) {
    for (int i = 0; i < kTemporaryNameAttempts; ++i) {
        const std::string p = TemporaryPath(finalPath, i);
        if (!NameInUse(p)) return p;
    }
    return {};
}

int CommitTemporary(const std::string& temporaryPath, const std::string& finalPath) {
    {
        FileHandle f;
        if (!f.Open(temporaryPath, FileHandle::Mode::ReadWrite)) return f.error() != 0 ? f.error() : EIO;
        if (!f.Sync() || !f.Close()) return f.error() != 0 ? f.error() : EIO;
    }
    return RenameNoReplace(temporaryPath, finalPath);
}

TemporaryOutput::~TemporaryOutput() { Discard(); }

bool TemporaryOutput::Create(const std::string& finalPath, FileWritePort* writes) {
    Discard();
    error_ = 0;
    final_ = finalPath;
    for (int i = 0; i < kTemporaryNameAttempts; ++i) {
        const std::string p = TemporaryPath(finalPath, i);
        if (file_.Open(p, FileHandle::Mode::CreateNew, writes)) {
            file_.NameForWrites(finalPath);
            path_ = p;
            return true;
        }
        if (file_.error() != EEXIST) {
            error_ = file_.error();
            return false;
        }
    }
    error_ = EEXIST;
    return false;
}

bool TemporaryOutput::CommitAs(const std::string& target) {
    if (path_.empty()) {
        error_ = EBADF;
        return false;
    }
    if (file_.isOpen() && (!file_.Sync() || !file_.Close())) {
        error_ = file_.error() != 0 ? file_.error() : EIO;
        return false;
    }
    if (const int err = RenameNoReplace(path_, target); err != 0) {
        error_ = err;
        return false;
    }
    path_.clear();
    return true;
}

bool TemporaryOutput::Discard() {
    if (file_.isOpen()) file_.Close();
    if (path_.empty()) return true;
    const bool gone = RemoveFile(path_);
    if (gone) path_.clear();
    return gone;
}

}  // namespace kmr
