#include "core/support/InstrumentFacts.h"

#include <cmath>

namespace kmr {

bool IsOfferedClock(float ms) {
    if (!SubMsClockCommand(ms).empty()) return true;
    return ms >= kDefaultClockMs && ms <= kLongestClockMs && ms == std::floor(ms);
}

bool IsHighSpeedClock(float ms) { return !(ms > kHighSpeedClockMs); }

bool IsSubMsClock(float ms) { return ms <= kLongestSubMsClockMs; }

std::string_view SubMsClockCommand(float ms) {
    for (const SubMsClockFact& c : kSubMsClocks)
        if (ms == c.ms) return c.command;
    return {};
}

const InputModeFact* FindInputMode(int code) {
    for (const InputModeFact& m : kInputModes)
        if (m.code == code) return &m;
    return nullptr;
}

bool InputModeOffered(int code, std::int32_t model) {
    const InputModeFact* m = FindInputMode(code);
    if (!m) return false;
    return model == kModelKmr530A ? m->onKmr530A : m->onKmr510C;
}

std::int32_t MemoryCapacity(std::int32_t memorySizeCode) {
    if (memorySizeCode < 0 || memorySizeCode >= static_cast<std::int32_t>(kMemoryCapacities.size()))
        return 0;
    return kMemoryCapacities[static_cast<std::size_t>(memorySizeCode)];
}

}  // namespace kmr
