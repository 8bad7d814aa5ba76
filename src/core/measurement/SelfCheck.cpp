#include "core/measurement/SelfCheck.h"

#include <algorithm>
#include <charconv>

#include "core/graphs/NoValue.h"
#include "core/support/TextTable.h"
#include "core/measurement/MonitorData.h"

namespace kmr {

std::size_t CheckReplyLength(int channelCount) {
    return channelCount < 1 ? 0 : static_cast<std::size_t>(8 * (channelCount - 1) + 7);
}

std::optional<SensitivityBand> SensitivityBandFor(int inputMode) {
    switch (inputMode) {
        case 1: return SensitivityBand{746, 754};
        case 2: return SensitivityBand{2985, 3015};
        case -4: return SensitivityBand{7460, 7540};
        case -5: return SensitivityBand{29850, 30150};
        default: return std::nullopt;
    }
}

namespace {

CheckCell NoResult() { return {kNoValueText, CheckColour::ButtonText}; }

// ROM and RAM: "ROM--OK" / "ROM-ERR".
CheckCell MemoryCell(std::string_view field, std::string_view name) {
    const std::string ok = std::string(name) + "--OK";
    const std::string err = std::string(name) + "-ERR";
    if (field == ok) return {"OK", CheckColour::Blue};
    if (field == err) return {"ERR", CheckColour::Red};
    return NoResult();
}

// With one channel measured an error reply ("ERR-004") is as long as a result field; it answers
// the command, not the channel, unless it is the voltage channel's own field.
bool IsCommandRefusal(std::string_view reply, int channelCount) {
    return channelCount == 1 && reply.rfind("ERR-", 0) == 0 && reply.rfind("ERR-011", 0) != 0;
}

}  // namespace

CheckCell CheckResultCell(int code, std::string_view field, int inputMode) {
    if (code == 0) return MemoryCell(field, "ROM");
    if (code == 1) return MemoryCell(field, "RAM");
    if (field.empty()) return NoResult();
    if (field.rfind("ERR-011", 0) == 0) return {"VOLT", CheckColour::ButtonText};
    if (IsInvalidMonitorField(field)) return NoResult();
    if (field.front() == '+') field.remove_prefix(1);
    int value = 0;
    std::from_chars(field.data(), field.data() + field.size(), value);
    CheckCell cell{std::to_string(value), CheckColour::ButtonText};
    if (code == 5) {
        const auto band = SensitivityBandFor(inputMode);
        if (!band) cell.colour = CheckColour::Black;
        else cell.colour = value >= band->low && value <= band->high ? CheckColour::Blue : CheckColour::Red;
    }
    return cell;
}

SelfCheck::SelfCheck(CommandTransport& transport, const MeasConditions& meas)
    : transport_(transport), meas_(meas) {}

bool SelfCheck::AnyTicked() const {
    return std::any_of(ticked_.begin(), ticked_.end(), [](bool t) { return t; });
}

void SelfCheck::Execute(const std::function<void(std::size_t row)>& rowDone) {
    UiPort& ui = transport_.Connection().Ui();
    ui.SetPointer(Pointer::Hourglass);
    // A reply of the wrong length (one cut short or garbled included) empties its row and the next
    // checks still run; a check the instrument does not answer at all (the bus call itself failed:
    // a timeout, no listener) ends the sequence. Either is said once, at the end, naming every
    // check that failed.
    FailureScope scope(transport_);
    std::string failed;
    for (std::size_t row = 0; row < kCheckRows; ++row) {
        if (!ticked_[row]) continue;
        const CheckRow& check = kCheckTable[row];
        const std::string command = "CHK" + std::to_string(check.code);
        const std::string reply = transport_.SendCommand(command, check.withAttempts ? 1 : 0);
        auto& results = results_[row];
        ticked_[row] = false;
        const bool whole = reply.size() == CheckReplyLength(meas_.ChannelCount) && !reply.empty() &&
                           transport_.Connection().Status() != RunStatus::CommFailed &&
                           !IsCommandRefusal(reply, meas_.ChannelCount);
        for (std::size_t i = 0; i < meas_.MeasuredChannels.size(); ++i)
            results[static_cast<std::size_t>(meas_.MeasuredChannels[i] - 1)] = whole ? reply.substr(8 * i, 7) : "";
        if (rowDone) rowDone(row);
        if (!whole) failed += (failed.empty() ? "" : ", ") + command;
        // The user's Cancel of a wait (or the program's end) ends the sequence after this check,
        // whether its reply came late or not at all.
        if (transport_.stopRequested) break;
        // No answer at all: the instrument is lost.
        if (!whole && transport_.Connection().StatusCopy().error()) break;
    }
    ui.SetPointer(Pointer::Default);
    // A wait the user cancelled is not the instrument's fault; the checks it left undone stay
    // ticked.
    if (transport_.stopRequested && (!failed.empty() || AnyTicked()))
        ui.ShowMessage(ui.Text(txt::CheckCancelled), ui.Text(txt::CautionTitle), MsgIcon::Exclamation, MsgButtons::Ok);
    else if (!failed.empty())
        ui.ShowMessage(TextWith(ui.language, txt::LostDuringCheck, {failed}), ui.Text(txt::GpibErrorTitle),
                       MsgIcon::Exclamation, MsgButtons::Ok);
}

CheckCell SelfCheck::Cell(std::size_t row, int channel) const {
    return CheckResultCell(kCheckTable[row].code, Result(row, channel), meas_.Ch(channel).InputMode);
}

LongCheckTimeout::LongCheckTimeout(GpibConnection& connection) : conn_(connection) {
    conn_.CloseGpibDevice();
    conn_.OpenGpibDevice(kT30s);
}

LongCheckTimeout::~LongCheckTimeout() {
    conn_.CloseGpibDevice();
    conn_.OpenGpibDevice(kT10s);
}

}  // namespace kmr
