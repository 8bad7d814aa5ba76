#include "core/datafiles/Hdf5Export.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include "core/datafiles/FileIo.h"
#include "core/datafiles/TemporaryOutput.h"
#include "core/support/InstrumentFacts.h"
#include "core/support/Numbers.h"
#include "core/support/ProgramVersion.h"
#include "core/support/SpecialFolders.h"
#include "core/support/Vocabulary.h"

#ifdef KMR_HAVE_HDF5
#include <hdf5.h>

#include "core/datafiles/Hdf5DatasetPreparer.h"
#ifdef __linux__
#include <fcntl.h>
#endif
#endif

namespace kmr {

std::string ModelOfConditions(const FileConditions& fc) {
    for (int ch = 1; ch <= kChannels; ++ch) {
        const ChannelCondition& c = fc.Ch(ch);
        if (!c.Measured()) continue;
        const InputModeFact* mode = FindInputMode(c.InputMode);
        if (mode && !mode->onKmr530A && mode->onKmr510C) return "KMR-510C";
    }
    return {};
}

// 256 KiB of raw words, 512 KiB of values, 1 MiB of times: few writes, and a cancel still comes soon.
constexpr std::int32_t kMaxChunkSamples = 131072;

std::int32_t Hdf5ChunkSamples(std::int32_t samples) {
    if (samples <= 0) return 0;
    const std::int32_t chunks = (samples - 1) / kMaxChunkSamples + 1;
    return (samples - 1) / chunks + 1;
}

int Hdf5StepCount(const ResolvedSubset& subset) {
    const std::int64_t n = std::max<std::int32_t>(subset.samples.count, 0);
    const std::int64_t chunk = std::max<std::int32_t>(Hdf5ChunkSamples(subset.samples.count), 1);
    const std::int64_t chunks = (n + chunk - 1) / chunk;
    return static_cast<int>(chunks * static_cast<std::int64_t>(1 + subset.channels.size()) + 1);
}

#ifndef KMR_HAVE_HDF5

bool Hdf5ExportAvailable() { return false; }

bool WriteHdf5File(const std::string&, const FileConditions&, const ResolvedSubset&, const std::string&,
                   const Hdf5ExportOptions&, Progress&, ProgressView&, UiPort& ui, RunStatus& status) {
    ui.ShowMessage(ui.Text(txt::Hdf5Unavailable), ui.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::Ok);
    status = RunStatus::Cancelled;
    return false;
}

#else

bool Hdf5ExportAvailable() { return true; }

namespace {

// An HDF5 identifier, closed with its own function when it goes.
class H5Id {
public:
    H5Id() = default;
    H5Id(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
    ~H5Id() { Close(); }
    H5Id(H5Id&& o) noexcept : id_(std::exchange(o.id_, -1)), close_(o.close_) {}
    H5Id& operator=(H5Id&& o) noexcept {
        if (this != &o) {
            Close();
            id_ = std::exchange(o.id_, -1);
            close_ = o.close_;
        }
        return *this;
    }
    H5Id(const H5Id&) = delete;
    H5Id& operator=(const H5Id&) = delete;
    hid_t get() const { return id_; }
    bool ok() const { return id_ >= 0; }
    // Forgets the identifier without closing it.
    void Abandon() { id_ = -1; }
    // Closes now; false when the library reported an error.
    bool Close() {
        herr_t rc = 0;
        if (id_ >= 0 && close_) rc = close_(id_);
        id_ = -1;
        return rc >= 0;
    }

private:
    hid_t id_ = -1;
    herr_t (*close_)(hid_t) = nullptr;
};

// The library prints its error stack on standard error unless told not to; the program says
// what went wrong in its own words.
class QuietErrors {
public:
    QuietErrors() {
        H5Eget_auto2(H5E_DEFAULT, &func_, &data_);
        H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    }
    ~QuietErrors() { H5Eset_auto2(H5E_DEFAULT, func_, data_); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    H5E_auto2_t func_ = nullptr;
    void* data_ = nullptr;
};

extern "C" herr_t FindSystemError(unsigned, const H5E_error2_t* e, void* data) {
    int* found = static_cast<int*>(data);
    if (*found == 0 && e && e->desc) {
        if (const char* p = std::strstr(e->desc, "errno = ")) *found = std::max(0, std::atoi(p + 8));
    }
    return 0;
}

// The system's error number behind the library's last failure: its file driver writes
// "errno = N" into the message. 0 when there is none.
int SystemErrorOfLastFailure() {
    int found = 0;
    H5Ewalk2(H5E_DEFAULT, H5E_WALK_UPWARD, FindSystemError, &found);
    return found;
}

const std::string& Pick(const std::vector<std::string>& list, int index) {
    static const std::string none;
    return index >= 0 && static_cast<std::size_t>(index) < list.size() ? list[static_cast<std::size_t>(index)] : none;
}

// A text attribute, declared UTF-8: a byte that is not (a damaged header's trigger time, a file
// name in another encoding) is stored as U+FFFD, so that every reader can decode it.
bool PutText(hid_t loc, const char* name, const std::string& raw) {
    const std::string text = WellFormedUtf8(raw);
    const H5Id type(H5Tcopy(H5T_C_S1), H5Tclose);
    if (!type.ok() || H5Tset_size(type.get(), H5T_VARIABLE) < 0 || H5Tset_cset(type.get(), H5T_CSET_UTF8) < 0)
        return false;
    const H5Id space(H5Screate(H5S_SCALAR), H5Sclose);
    const H5Id attr(H5Acreate2(loc, name, type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    const char* p = text.c_str();
    return attr.ok() && H5Awrite(attr.get(), type.get(), &p) >= 0;
}

template <class T>
bool PutNumber(hid_t loc, const char* name, hid_t fileType, hid_t memType, T v) {
    const H5Id space(H5Screate(H5S_SCALAR), H5Sclose);
    const H5Id attr(H5Acreate2(loc, name, fileType, space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    return attr.ok() && H5Awrite(attr.get(), memType, &v) >= 0;
}
bool PutInt(hid_t loc, const char* name, std::int32_t v) {
    return PutNumber(loc, name, H5T_STD_I32LE, H5T_NATIVE_INT32, v);
}
bool PutFloat(hid_t loc, const char* name, float v) { return PutNumber(loc, name, H5T_IEEE_F32LE, H5T_NATIVE_FLOAT, v); }
bool PutDouble(hid_t loc, const char* name, double v) {
    return PutNumber(loc, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, v);
}

constexpr hsize_t kPageBytes = 4096;
constexpr hsize_t kPageAlignThreshold = 16384;  // objects this large or larger: the chunks

// One export: the data file open for reading, the HDF5 file under its temporary name.
class Export {
public:
    Export(const std::string& dataPath, const FileConditions& fc, const ResolvedSubset& subset, const std::string& h5Path,
           const Hdf5ExportOptions& options, Progress& progress, ProgressView& view, UiPort& ui, RunStatus& status)
        : dataPath_(dataPath), fc_(fc), subset_(subset), h5Path_(h5Path), options_(options), progress_(progress),
          view_(view), ui_(ui), status_(status), n_(static_cast<hsize_t>(std::max<std::int32_t>(subset.samples.count, 0))),
          chunk_(static_cast<hsize_t>(Hdf5ChunkSamples(subset.samples.count))),
          direct_(!options.compress && std::endian::native == std::endian::little) {}

    bool Run() {
        if (!data_.Open(dataPath_, FileHandle::Mode::ReadOnly)) return Fail(data_.error(), dataPath_);
        // The times are worked out while the file is made.
        std::unique_ptr<DatasetPreparer> made;
        try {
            made = std::make_unique<DatasetPreparer>(data_, fc_, subset_);
        } catch (const std::bad_alloc&) {  // reported like a file that cannot be written
            return Fail(ENOMEM, h5Path_);
        }
        DatasetPreparer& preparer = *made;
        if (!Create() || !WriteRootAttributes() || !WriteTime(preparer.Take(0))) return false;
        preparer.Release(0);
        for (std::size_t i = 0; i < subset_.channels.size(); ++i) {
            if (!WriteChannel(subset_.channels[i], preparer.Take(i + 1))) return false;
            preparer.Release(i + 1);
        }
        // The metadata goes out before the file is closed, so that the close has nothing left
        // to fail on.
        if (const int refused = AskBeforeWrite(options_.writes, temp_)) return Fail(refused, h5Path_);
        if (H5Fflush(file_.get(), H5F_SCOPE_LOCAL) < 0) return LibraryFailed();
        if (!file_.Close()) return Fail(SystemErrorOfLastFailure(), h5Path_);
        if (const int err = CommitTemporary(temp_, h5Path_)) return Fail(err, h5Path_);
        temp_.clear();
        progress_.Advance(view_, status_);
        return true;
    }

    ~Export() {
        // Whatever stopped the export: nothing of it stays.
        CloseOrAbandon();
        if (!temp_.empty()) RemoveFile(temp_);
    }

private:
    bool Fail(int err, const std::string& path) {
        std::string text = FileErrorMessage(ui_.language, err > 0 ? err : EIO, path);
        if (err <= 0) text += "\n" + ui_.Text(txt::Hdf5Failed);
        CloseOrAbandon();
        if (!temp_.empty() && RemoveFile(temp_)) temp_.clear();
        ui_.ShowMessage(text, ui_.Text(txt::ErrorTitle), MsgIcon::Critical, MsgButtons::Ok);
        status_ = RunStatus::Cancelled;
        return false;
    }
    bool LibraryFailed() { return Fail(SystemErrorOfLastFailure(), h5Path_); }

    // Closes the file when its metadata can still be written; otherwise leaves it open in the
    // library for good (it is removed all the same): the library's own close of a file whose
    // writes fail leaves it half closed, which crashes the library's next look at its files.
    void CloseOrAbandon() {
        if (!file_.ok()) return;
        if (H5Fflush(file_.get(), H5F_SCOPE_LOCAL) >= 0)
            file_.Close();
        else
            file_.Abandon();
    }
    bool Cancelled() { return status_ == RunStatus::Cancelled; }

    bool Create() {
        const H5Id fapl(H5Pcreate(H5P_FILE_ACCESS), H5Pclose);
        // Chunks start on page boundaries, so the system takes whole pages of each write.
        if (!fapl.ok() || H5Pset_fclose_degree(fapl.get(), H5F_CLOSE_STRONG) < 0 ||
            H5Pset_alignment(fapl.get(), kPageAlignThreshold, kPageBytes) < 0)
            return LibraryFailed();
#if H5_VERSION_GE(1, 10, 7)
        // A new file of its own needs no lock, and some network file systems refuse one.
        H5Pset_file_locking(fapl.get(), false, true);
#endif
        // The library takes a path: the first free temporary name, made exclusively (a name taken
        // in between is passed over).
        for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
            const std::string temp = FreeTemporaryPath(h5Path_);
            if (temp.empty()) break;
            file_ = H5Id(H5Fcreate(temp.c_str(), H5F_ACC_EXCL, H5P_DEFAULT, fapl.get()), H5Fclose);
            if (file_.ok()) {
                temp_ = temp;
                return true;
            }
            const int err = SystemErrorOfLastFailure();
            if (err != EEXIST) {
                // The library makes the file before its first write, and leaves it when that write
                // fails (a full disk): the name was free, so what is there now is that file.
                RemoveFile(temp);
                return Fail(err, h5Path_);
            }
        }
        return Fail(EEXIST, h5Path_);
    }

    bool WriteRootAttributes() {
        if (const int refused = AskBeforeWrite(options_.writes, temp_)) return Fail(refused, h5Path_);
        const hid_t f = file_.get();
        std::string model = options_.model.empty() ? ModelOfConditions(fc_) : options_.model;
        const auto name = PathFromUtf8(dataPath_).filename().u8string();
        bool ok = PutText(f, "trigger_time", fc_.TriggerTime) && PutInt(f, "trigger_mode", fc_.TrgMode) &&
                  PutText(f, "trigger_mode_name", Pick(TriggerModeNames(Language::English), fc_.TrgMode)) &&
                  PutDouble(f, "sampling_clock_ms", DecimalClockMs(fc_.SmpClk)) &&
                  PutInt(f, "memory_words", fc_.MemoryWords) && PutInt(f, "pre_memory_words", fc_.PreMemoryWords) &&
                  PutInt(f, "averaging", fc_.Averaging) && PutInt(f, "samples", static_cast<std::int32_t>(n_)) &&
                  PutInt(f, "first_sample", subset_.samples.first) &&
                  PutText(f, "source_file", std::string(name.begin(), name.end())) &&
                  (model.empty() || PutText(f, "model", model)) && PutText(f, "program_version", ProgramVersion());
        return ok || LibraryFailed();
    }

    H5Id MakeDataset(hid_t loc, const char* name, hid_t fileType) {
        const H5Id space(H5Screate_simple(1, &n_, nullptr), H5Sclose);
        const H5Id dcpl(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
        const H5Id dapl(H5Pcreate(H5P_DATASET_ACCESS), H5Pclose);
        if (!space.ok() || !dcpl.ok() || !dapl.ok()) return {};
        if (n_ > 0) {
            if (H5Pset_chunk(dcpl.get(), 1, &chunk_) < 0) return {};
            if (options_.compress && (H5Pset_shuffle(dcpl.get()) < 0 || H5Pset_deflate(dcpl.get(), 4) < 0)) return {};
        }
        // Every chunk is written whole, once: no fill values first, and no cache on the way.
        if (H5Pset_fill_time(dcpl.get(), H5D_FILL_TIME_NEVER) < 0 ||
            H5Pset_chunk_cache(dapl.get(), H5D_CHUNK_CACHE_NSLOTS_DEFAULT, 0, 1.0) < 0)
            return {};
        return H5Id(H5Dcreate2(loc, name, fileType, space.get(), H5P_DEFAULT, dcpl.get(), dapl.get()), H5Dclose);
    }

    // Writes `count` elements at `at`; false with the failure reported. Each write asks the port.
    // A whole chunk of native little-endian numbers that are not compressed goes to the file as it
    // is, past the library's conversions and its chunk cache.
    bool Write(const H5Id& dataset, hid_t memType, hsize_t at, hsize_t count, const void* data) {
        if (const int refused = AskBeforeWrite(options_.writes, temp_)) return Fail(refused, h5Path_);
#if H5_VERSION_GE(1, 10, 3)
        if (direct_ && count == chunk_) {
            if (H5Dwrite_chunk(dataset.get(), H5P_DEFAULT, 0, &at, static_cast<std::size_t>(count) * H5Tget_size(memType), data) < 0)
                return LibraryFailed();
            return true;
        }
#endif
        const H5Id fileSpace(H5Dget_space(dataset.get()), H5Sclose);
        const H5Id memSpace(H5Screate_simple(1, &count, nullptr), H5Sclose);
        if (!fileSpace.ok() || !memSpace.ok() ||
            H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, &at, nullptr, &count, nullptr) < 0 ||
            H5Dwrite(dataset.get(), memType, memSpace.get(), fileSpace.get(), H5P_DEFAULT, data) < 0)
            return LibraryFailed();
        return true;
    }

    bool WriteTime(const DatasetPreparer::Slot& prepared) {
        const H5Id time = MakeDataset(file_.get(), "time", H5T_IEEE_F64LE);
        if (!time.ok()) return LibraryFailed();
        for (hsize_t at = 0; at < n_; at += chunk_) {
            if (!Write(time, H5T_NATIVE_DOUBLE, at, std::min(chunk_, n_ - at), prepared.seconds + at)) return false;
            progress_.Advance(view_, status_);
            if (Cancelled()) return false;
        }
        StartWriteback();
        return true;
    }

    bool WriteChannel(int ch, const DatasetPreparer::Slot& prepared) {
        const ChannelCondition& c = fc_.Ch(ch);
        char groupName[8];
        std::snprintf(groupName, sizeof groupName, "CH%03d", ch);
        const H5Id group(H5Gcreate2(file_.get(), groupName, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose);
        if (!group.ok()) return LibraryFailed();
        if (const int refused = AskBeforeWrite(options_.writes, temp_)) return Fail(refused, h5Path_);
        const hid_t g = group.get();
        if (!(PutText(g, "input_mode", InputModeName(c.InputMode)) && PutText(g, "lpf", Pick(FilterNames(), c.Lpf)) &&
              PutFloat(g, "coefficient", c.Coeff) && PutFloat(g, "offset", c.Offset) &&
              PutText(g, "unit", Pick(UnitNames(Language::English), c.Unit)) && PutInt(g, "point", c.Point) &&
              PutInt(g, "dtg_on", c.DtgOnOff) && PutFloat(g, "dtg_level", c.DtgLevel)))
            return LibraryFailed();
        const H5Id raw = MakeDataset(g, "raw", H5T_STD_I16LE);
        const H5Id value = MakeDataset(g, "value", H5T_IEEE_F32LE);
        if (!raw.ok() || !value.ok()) return LibraryFailed();
        if (prepared.error != 0) return Fail(prepared.error > 0 ? prepared.error : EIO, dataPath_);
        for (hsize_t at = 0; at < n_; at += chunk_) {
            const hsize_t count = std::min(chunk_, n_ - at);
            if (!Write(raw, H5T_NATIVE_INT16, at, count, prepared.words + at) ||
                !Write(value, H5T_NATIVE_FLOAT, at, count, prepared.values + at))
                return false;
            progress_.Advance(view_, status_);
            if (Cancelled()) return false;
        }
        StartWriteback();
        return true;
    }

    // Starts putting what has been written on the disk, so that the sync before the rename has
    // little left to wait for (a hint; nothing fails when it is not taken).
    void StartWriteback() {
#ifdef __linux__
        void* handle = nullptr;
        if (H5Fget_vfd_handle(file_.get(), H5P_DEFAULT, &handle) >= 0 && handle)
            ::sync_file_range(*static_cast<int*>(handle), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    }

    const std::string& dataPath_;
    const FileConditions& fc_;
    const ResolvedSubset& subset_;
    const std::string& h5Path_;
    const Hdf5ExportOptions& options_;
    Progress& progress_;
    ProgressView& view_;
    UiPort& ui_;
    RunStatus& status_;
    const hsize_t n_;
    const hsize_t chunk_;
    const bool direct_;
    QuietErrors quiet_;
    FileHandle data_;
    H5Id file_;
    std::string temp_;  // the file being written; empty once renamed or removed
};

}  // namespace

bool WriteHdf5File(const std::string& dataPath, const FileConditions& fc, const ResolvedSubset& subset,
                   const std::string& h5Path, const Hdf5ExportOptions& options, Progress& progress,
                   ProgressView& view, UiPort& ui, RunStatus& status) {
    // The library's clean-up at exit would close an abandoned file (see CloseOrAbandon) and fail
    // the same way; every file the program keeps is closed by then. Asked before the library's
    // first use.
    static const bool noCleanUpAtExit = H5dont_atexit() >= 0;
    (void)noCleanUpAtExit;
    Export e(dataPath, fc, subset, h5Path, options, progress, view, ui, status);
    return e.Run();
}

#endif  // KMR_HAVE_HDF5

}  // namespace kmr
