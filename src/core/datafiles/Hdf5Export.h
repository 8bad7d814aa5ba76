#pragma once
// A data file (or a part of it, see Subset.h) as an HDF5 file NAME.h5, for MATLAB, h5py and
// data-management systems:
//   root attributes  trigger_time, trigger_mode (0/1/2), trigger_mode_name, sampling_clock_ms
//                    (float64), memory_words, pre_memory_words, averaging (the exponent), samples
//                    (per channel written), first_sample, source_file, model (where known),
//                    program_version
//   /time            float64 seconds of each sample written: index x clock
//   /CH001 ... /CH010, one group per written channel:
//       raw          int16, the file's words
//       value        float32, raw x coefficient + offset computed in double and rounded once: the
//                    numbers the CSV conversion prints
//       attributes   input_mode, lpf (names), coefficient, offset (float32, as in the file), unit
//                    (UTF-8 text), point, dtg_on (0/1), dtg_level (float32)
// Every dataset is chunked (deflate after a byte shuffle when compressed). Names and units are
// the English ones whatever the user's language, so scripts read the same texts everywhere.
// Texts are variable-length UTF-8 strings; numbers are native little-endian.
//
// The file is written under a temporary name beside the final one and renamed when complete: a
// cancel or a failure leaves nothing under the final name (and removes the temporary file), and an
// existing file is never replaced.
#include <string>

#include "core/datafiles/DataFile.h"
#include "core/datafiles/Subset.h"
#include "core/support/FileWritePort.h"
#include "core/support/Progress.h"
#include "core/support/RunStatus.h"
#include "core/support/UiPort.h"

namespace kmr {

inline constexpr const char* kHdf5Extension = ".h5";
// The samples per chunk of every dataset of an export of `samples` samples per channel: chunks as
// equal as can be of at most 131072 samples, so that all are whole but perhaps the last, which
// then lacks fewer samples than there are chunks. 0 for no samples.
std::int32_t Hdf5ChunkSamples(std::int32_t samples);

// This build can write HDF5 (the Windows cross build has no HDF5 library).
bool Hdf5ExportAvailable();

struct Hdf5ExportOptions {
    bool compress = false;
    std::string model;             // "KMR-530A" / "KMR-510C"; empty: inferred where the file tells
    FileWritePort* writes = nullptr;  // asked before each write into the file
};

// The model a file's conditions reveal: "KMR-510C" when a channel measures with the 5.0 V bridge
// voltage (which only it has); empty otherwise.
std::string ModelOfConditions(const FileConditions& fc);

// Writes the chosen part of the checked data file at `dataPath` (conditions `fc`, the whole
// file's) to `h5Path`; true when the file is complete under its name. Counts `progress` steps
// (the caller sets MaxPBCount from Hdf5StepCount) and stops on a cancel. A failure shows its
// message and sets status to Cancelled.
bool WriteHdf5File(const std::string& dataPath, const FileConditions& fc, const ResolvedSubset& subset,
                   const std::string& h5Path, const Hdf5ExportOptions& options, Progress& progress,
                   ProgressView& view, UiPort& ui, RunStatus& status);

// The progress steps of one export: one per chunk of every dataset, and one for the rest.
int Hdf5StepCount(const ResolvedSubset& subset);

}  // namespace kmr
