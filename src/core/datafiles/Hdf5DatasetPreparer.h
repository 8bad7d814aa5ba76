#pragma once
// The HDF5 export's datasets made ready on a second thread while the library writes the one
// before: the sample times, then each written channel's words (read from the data file) and
// values.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "core/datafiles/DataFile.h"
#include "core/datafiles/FileIo.h"
#include "core/datafiles/Subset.h"

namespace kmr {

// What goes into the file, made ready one dataset ahead on a second thread while the library
// writes the one before (the library itself is called from one thread only): first the times,
// then each channel's words and values. Two slots: the one being written and the next.
class DatasetPreparer {
public:
    struct Slot {
        double* seconds = nullptr;  // of job 0
        std::int16_t* words = nullptr;  // of the others (job i: the i-th channel written, from 1)
        float* values = nullptr;
        int error = 0;  // of reading the data file: a system error number, or -1 (file too short)
    };

    // Throws std::bad_alloc when there is no memory for the two slots.
    DatasetPreparer(const FileHandle& data, const FileConditions& fc, const ResolvedSubset& subset);
    ~DatasetPreparer();
    DatasetPreparer(const DatasetPreparer&) = delete;
    DatasetPreparer& operator=(const DatasetPreparer&) = delete;

    // Job i, done; valid until Release(i).
    const Slot& Take(std::size_t i) {
        if (!thread_.joinable()) {
            Prepare(i, slots_[i % 2]);
            return slots_[i % 2];
        }
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return prepared_ > i; });
        return slots_[i % 2];
    }
    void Release(std::size_t i) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            released_ = i + 1;
        }
        changed_.notify_all();
    }

private:
    std::size_t Rounded(std::size_t elementBytes) const {
        return (static_cast<std::size_t>(count_) * elementBytes + 63) / 64 * 64;
    }

    void Work();
    void Prepare(std::size_t i, Slot& slot) const;

    const FileHandle& data_;
    const FileConditions& fc_;
    const ResolvedSubset& subset_;
    const std::int32_t count_;
    const std::size_t jobs_;
    const std::size_t wordsBytes_, slotBytes_;
    LargeMemory memory_;
    Slot slots_[2];
    std::thread thread_;
    std::mutex mutex_;  // guards what follows
    std::condition_variable changed_;
    std::size_t prepared_ = 0;  // jobs done
    std::size_t released_ = 0;  // jobs written
    bool stop_ = false;
};

}  // namespace kmr
