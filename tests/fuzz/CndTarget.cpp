// A hand-edited or damaged condition file: the first byte chooses the file (Meas.cnd, Global.cnd,
// Hard.cnd, Meter.cnd, Interface.cnd, OutputCal.cnd, Graph.cnd, or the raw item reader with a
// list of item types), the rest is the file's content.
//
// Beyond not failing, every loader keeps two promises: a file it rewrote loads complete, and the
// record it holds afterwards, saved, loads complete and unchanged by a further load.
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "core/conditions/GlobalSettings.h"
#include "core/conditions/MeasConditions.h"
#include "core/conditions/OutputCal.h"
#include "core/graphs/GraphConditions.h"
#include "core/support/CndFile.h"

using namespace kmr;
using fuzz::Require;

namespace {

template <class Record>
void CheckLoader(const testing::TempDir& scratch, const std::string& path,
                 LoadResult (*load)(const std::string&, Record&, FileWritePort*),
                 SaveResult (*save)(const std::string&, const Record&, FileWritePort*), Record record) {
    const LoadResult first = load(path, record, nullptr);
    if (first.rewritten && first.save.ok) {
        Record again = record;
        const LoadResult second = load(path, again, nullptr);
        Require(second.complete && !second.rewritten);
    }
    const std::string copy = scratch.File("saved.cnd");
    if (save(copy, record, nullptr).ok) {
        Record loaded = record;
        const LoadResult r = load(copy, loaded, nullptr);
        Require(r.complete && !r.rewritten);
        // Saved once more, the loaded record gives the same text: loading settles at once.
        const std::string copy2 = scratch.File("saved2.cnd");
        Require(save(copy2, loaded, nullptr).ok);
        Require(testing::ReadAll(copy) == testing::ReadAll(copy2));
    }
}

void ReadRawItems(const std::string& path, std::uint8_t types) {
    CndReader r(path);
    if (!r.opened()) return;
    std::int16_t i16 = 0;
    std::int32_t i32 = 0;
    float f = 0;
    double d = 0;
    std::string text;
    for (int item = 0; item < 200 && !r.failed(); ++item) {
        switch ((types >> (item % 4 * 2)) & 3) {
            case 0: r.ReadInt16(i16); break;
            case 1: r.ReadInt32(i32); break;
            case 2: (item & 4) ? r.ReadFloat(f) : r.ReadDouble(d); break;
            default: r.ReadText(text); break;
        }
    }
    // After a failure every read fails.
    if (r.failed()) Require(!r.ReadText(text) && !r.ReadInt16(i16));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const testing::TempDir scratch;
    Require(!scratch.path().empty());
    if (size == 0) return 0;
    const std::uint8_t choice = data[0];
    const std::string path = scratch.File("input.cnd");
    testing::WriteAll(path, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    switch (choice % 8) {
        case 0: CheckLoader(scratch, path, LoadMeasConditions, SaveMeasConditions, {}); break;
        case 1: CheckLoader(scratch, path, LoadGlobalSettings, SaveGlobalSettings, {}); break;
        case 2:
            CheckLoader(scratch, path, LoadInstalledChannels, SaveInstalledChannels, kDefaultInstalledChannelText);
            break;
        case 3: CheckLoader(scratch, path, LoadGpibSettings, SaveGpibSettings, {}); break;
        case 4: CheckLoader(scratch, path, LoadInterfaceSpec, SaveInterfaceSpec, kDefaultInterfaceSpec); break;
        case 5: CheckLoader(scratch, path, LoadOutputCal, SaveOutputCal, {}); break;
        case 6: {
            GraphConditions g;
            SetGraphDefaults(g);
            CheckLoader(scratch, path, LoadGraphConditions, SaveGraphConditions, g);
            break;
        }
        default: ReadRawItems(path, static_cast<std::uint8_t>(choice >> 3 | choice << 5)); break;
    }
    fuzz::EmptyFolder(scratch);
    return 0;
}
