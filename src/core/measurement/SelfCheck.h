#pragma once
// The instrument's self-checks: ROM, RAM, insulation, initial (autobalance) value, direct value
// and strain sensitivity, each one "CHKn" command answered with a 7-character field per measured
// channel, and the result table the check window shows.
#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/conditions/MeasConditions.h"
#include "core/instrument/CommandTransport.h"
#include "core/instrument/GpibConnection.h"

namespace kmr {

enum class CheckColour { ButtonText, Blue, Red, Black };

struct CheckRow {
    int code;            // the digit after "CHK"
    int captionId;       // the row's title
    bool withAttempts;   // sent with retries (ROM and RAM) or once
    int comment1Id;
    int comment2Id;      // 0: the second comment line stays empty
};

// The rows in table order, which is also the order the checks run in.
inline constexpr std::size_t kCheckRows = 6;
inline constexpr std::array<CheckRow, kCheckRows> kCheckTable{{
    {0, txt::RomRow, true, txt::CheckCommentRomCheck, txt::CheckCommentOkOrErr},
    {1, txt::RamRow, true, txt::CheckCommentRamCheck, txt::CheckCommentOkOrErr},
    {2, txt::InsulationRow, false, txt::CheckCommentInsulation, txt::CheckCommentMegohm},
    {4, txt::InitialRow, false, txt::CheckCommentAutobalance, 0},
    {3, txt::DirectRow, false, txt::CheckCommentZeroBalance, 0},
    {5, txt::SensitivityRow, false, txt::CheckCommentSensitivity, txt::CheckCommentSensitivityStandard},
}};

// The reply length for `channelCount` measured channels: 8 × (count − 1) + 7 (no tail, unlike
// the monitor line). 0 when no channel is measured.
std::size_t CheckReplyLength(int channelCount);

// The pass band of the sensitivity check for an input mode, inclusive; none for the voltage mode
// and the 5.0 V bridge modes, whose values are not judged.
struct SensitivityBand {
    int low, high;
};
std::optional<SensitivityBand> SensitivityBandFor(int inputMode);

struct CheckCell {
    std::string text;
    CheckColour colour = CheckColour::ButtonText;
    bool operator==(const CheckCell&) const = default;
};

// What a result field shows in the row of check `code` for a channel in `inputMode`.
CheckCell CheckResultCell(int code, std::string_view field, int inputMode);

// The check window's state: the ticked rows and the result text per row and channel.
class SelfCheck {
public:
    SelfCheck(CommandTransport& transport, const MeasConditions& meas);

    void SetTicked(std::size_t row, bool on) { ticked_[row] = on; }
    bool Ticked(std::size_t row) const { return ticked_[row]; }
    // Execute is enabled exactly while a row is ticked.
    bool AnyTicked() const;

    // Runs the ticked checks in table order and unticks each after it ran. A reply of the wrong
    // length (also a reply cut short, or none), or one the command was refused with, empties that
    // check's results of the measured channels and is named in the one message at the end; the
    // next checks still run, unless the instrument did not answer at all. `rowDone` is told each
    // row as soon as its check has ended, so that the table shows it (and nothing of an earlier
    // run) before that message.
    void Execute(const std::function<void(std::size_t row)>& rowDone = {});

    // The cell of a row for a channel (1..10).
    CheckCell Cell(std::size_t row, int channel) const;
    const std::string& Result(std::size_t row, int channel) const {
        return results_[row][static_cast<std::size_t>(channel - 1)];
    }

private:
    CommandTransport& transport_;
    const MeasConditions& meas_;
    std::array<bool, kCheckRows> ticked_{};
    std::array<std::array<std::string, kChannels>, kCheckRows> results_{};
};

// The connection with the long timeout the checks need (30 s) while it lives, the normal 10 s
// afterwards: close and reopen at both ends.
class LongCheckTimeout {
public:
    explicit LongCheckTimeout(GpibConnection& connection);
    ~LongCheckTimeout();
    LongCheckTimeout(const LongCheckTimeout&) = delete;
    LongCheckTimeout& operator=(const LongCheckTimeout&) = delete;

private:
    GpibConnection& conn_;
};

}  // namespace kmr
