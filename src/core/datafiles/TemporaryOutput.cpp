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

int CommitTemporary(const std::string& temporaryPath, const std::string& finalPath, bool replace) {
    {
        FileHandle f;
        if (!f.Open(temporaryPath, FileHandle::Mode::ReadWrite)) return f.error() != 0 ? f.error() : EIO;
        if (!f.Sync() || !f.Close()) return f.error() != 0 ? f.error() : EIO;
    }
    if (!replace) return RenameNoReplace(temporaryPath, finalPath);
    // One step: the file of that name stays as it was when this fails.
    std::error_code ec;
    std::filesystem::rename(PathFromUtf8(temporaryPath), PathFromUtf8(finalPath), ec);
    return ec ? (ec.default_error_condition().value() != 0 ? ec.default_error_condition().value() : EIO) : 0;
}

int WriteTemporary(const std::string& temporaryPath, const void* data, std::size_t size, FileWritePort* writes) {
    FileHandle file;
    if (!file.Open(temporaryPath, FileHandle::Mode::CreateNew, writes)) return file.error() != 0 ? file.error() : EIO;
    const bool appended = file.Append(data, size);
    const int appendError = file.error();
    const bool closed = file.Close();  // closed before a removal, which Windows refuses when open
    if (appended && closed) return 0;
    const int err = !appended ? appendError : file.error();
    RemoveFile(temporaryPath);
    return err != 0 ? err : EIO;
}

}  // namespace kmr
