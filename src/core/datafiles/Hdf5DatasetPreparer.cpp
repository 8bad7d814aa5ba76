// Built with the HDF5 export only.
#ifdef KMR_HAVE_HDF5
#include "core/datafiles/Hdf5DatasetPreparer.h"

#include <algorithm>
#include <system_error>

#include "core/datafiles/CsvCells.h"

namespace kmr {

DatasetPreparer::DatasetPreparer(const FileHandle& data, const FileConditions& fc, const ResolvedSubset& subset)
    : data_(data), fc_(fc), subset_(subset), count_(std::max<std::int32_t>(subset.samples.count, 0)),
      jobs_(1 + subset.channels.size()), wordsBytes_(Rounded(sizeof(std::int16_t))),
      slotBytes_(std::max(Rounded(sizeof(double)), wordsBytes_ + Rounded(sizeof(float)))),
      memory_(2 * slotBytes_) {
    // Memory of large pages: a fresh small page costs more than the numbers put on it.
    for (std::size_t i = 0; i < 2; ++i) {
        char* base = memory_.data() + i * slotBytes_;
        slots_[i].seconds = reinterpret_cast<double*>(base);
        slots_[i].words = reinterpret_cast<std::int16_t*>(base);
        slots_[i].values = reinterpret_cast<float*>(base + wordsBytes_);
    }
    try {
        thread_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // No second thread: each job is done when it is taken.
    }
}

DatasetPreparer::~DatasetPreparer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void DatasetPreparer::Work() {
    for (std::size_t i = 0; i < jobs_; ++i) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || i < released_ + 2; });
            if (stop_) return;
        }
        Prepare(i, slots_[i % 2]);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            prepared_ = i + 1;
        }
        changed_.notify_all();
    }
}

void DatasetPreparer::Prepare(std::size_t i, Slot& slot) const {
    if (i == 0) {
        const double clockMs = DecimalClockMs(fc_.SmpClk);
        const std::int32_t first = subset_.samples.first;
        // The same expression as SampleSeconds (indexes are 32-bit, which vector lanes convert).
        for (std::int32_t j = 0; j < count_; ++j) slot.seconds[j] = static_cast<double>(first + j) * clockMs / 1000.0;
        return;
    }
    const ChannelCondition& c = fc_.Ch(subset_.channels[i - 1]);
    const std::int64_t at =
        ChannelBlockOffset(fc_.WordsConverted, subset_.blocks[i - 1]) + std::int64_t{2} * subset_.samples.first;
    std::int16_t* words = slot.words;
    float* values = slot.values;
    slot.error = data_.ReadAtShared(at, words, static_cast<std::size_t>(count_) * sizeof(std::int16_t));
    if (slot.error != 0) return;
    SampleWordsToHost(words, static_cast<std::size_t>(count_));
    const float coeff = c.Coeff, offset = c.Offset;
    for (std::int32_t j = 0; j < count_; ++j) values[j] = CsvCellValue(words[j], coeff, offset);
}

}  // namespace kmr

#endif  // KMR_HAVE_HDF5
