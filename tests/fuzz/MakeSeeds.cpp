// Writes the seed inputs of the fuzz targets into corpus/<target>/ (run again when a format
// changes): .kmr files written by the core's own writer, condition files saved by the loaders'
// own savers, the texts of every route, and the replies of the simulated instrument recorded
// as the command set and the Prologix client meet them.
//
//   fuzz_seeds CORPUS-FOLDER
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "CommandSession.h"
#include "FuzzSupport.h"
#include "core/conditions/GlobalSettings.h"
#include "core/conditions/MeasConditions.h"
#include "core/conditions/OutputCal.h"
#include "core/datafiles/DataFile.h"
#include "core/graphs/GraphConditions.h"
#include "sim/SimBus.h"

using namespace kmr;
namespace fs = std::filesystem;

namespace {

std::string g_root;  // the corpus folder

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
    fs::create_directories(g_root + "/" + target);
    testing::WriteAll(g_root + "/" + target + "/" + name, bytes);
}

// --- .kmr files ------------------------------------------------------------------------------------
void DataFileSeeds(const testing::TempDir& scratch) {
    struct Shape {
        const char* name;
        std::vector<int> channels;
        std::int32_t memoryWords, preMemory, words;
        bool (*finish)(const std::string&, UiPort&, RunStatus&, FileWritePort*);  // none: left open
    };
    const Shape shapes[] = {
        {"one_channel", {1}, 10, 0, 10, MarkDataFileComplete},
        {"three_channels", {2, 5, 9}, 100, 20, 50, MarkDataFileComplete},
        {"ten_channels", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 200, 0, 100, MarkDataFileComplete},
        {"no_words", {4}, 100, 0, 0, MarkDataFileComplete},
        {"cancelled", {1, 3}, 100, 0, 40, MarkDataFileCancelled},
        {"in_progress", {7}, 50, 0, 50, nullptr},
    };
    for (const Shape& s : shapes) {
        MeasConditions m;
        for (int ch = 1; ch <= kChannels; ++ch) m.Ch(ch).OnOff = 0;
        for (int ch : s.channels) {
            m.Ch(ch).OnOff = 1;
            m.Ch(ch).InputMode = static_cast<std::int16_t>(ch % 4);
            m.Ch(ch).Coeff = 0.5f * static_cast<float>(ch);
            m.Ch(ch).Point = static_cast<std::int16_t>(ch % 6);
            m.Ch(ch).Unit = static_cast<std::int16_t>(ch);
        }
        RebuildMeasuredChannels(m);
        m.MemoryWords = s.memoryWords;
        m.PreMemoryWords = s.preMemory;
        m.SmpClk = 0.5f;
        m.TriggerTime = "2026/12/06 09:30:15";
        fuzz::QuietUi ui;
        RunStatus status = RunStatus::Ok;
        const std::string path = scratch.File(std::string(s.name) + ".kmr");
        WriteDataFileHeader(path, m, s.words, ui, status);
        for (std::size_t k = 0; k < s.channels.size(); ++k) {
            SampleBuffer b(static_cast<std::size_t>(s.words));
            for (std::size_t i = 0; i < b.size(); ++i)
                b[i] = static_cast<std::int16_t>((static_cast<int>(i) * 37 + static_cast<int>(k) * 1000) % 65536 - 32768);
            WriteChannelBlock(path, ChannelBlockOffset(s.words, static_cast<int>(k)), b, ui, status);
        }
        if (s.finish) s.finish(path, ui, status, nullptr);
        Seed("datafile", s.name, testing::ReadAll(path));
    }
}

// --- condition files -------------------------------------------------------------------------------
void CndSeeds(const testing::TempDir& scratch) {
    const std::string path = scratch.File("seed.cnd");
    // A seed from the file just saved; its first byte chooses the loader.
    auto seed = [&](const std::string& name, char choice, const SaveResult& saved) {
        fuzz::Require(saved.ok);
        Seed("cnd", name, std::string(1, choice) + testing::ReadAll(path));
    };
    MeasConditions m;
    seed("meas_defaults", 0, SaveMeasConditions(path, m, nullptr));
    m.TrgMode = 1;
    m.SmpClk = 0.1f;
    m.MemoryWords = 600000;
    m.Ch(3).OnOff = 0;
    m.Ch(4).InputMode = -5;
    m.Ch(5).DtgLevel = -123.5f;
    seed("meas_edited", 8, SaveMeasConditions(path, m, nullptr));
    const GlobalSettings g{"/data/kmr/", "run \"A\"", 1, "/data/kmr/", "/data/csv/"};
    seed("global", 1, SaveGlobalSettings(path, g, nullptr));
    seed("hard", 2, SaveInstalledChannels(path, "1101111111", nullptr));
    seed("meter", 3, SaveGpibSettings(path, GpibSettings{20, 0, 3}, nullptr));
    seed("interface", 4, SaveInterfaceSpec(path, "prologix:192.168.1.20:1234", nullptr));
    OutputCalConditions oc{};
    oc[2] = {1, 2.5f};
    seed("outputcal", 5, SaveOutputCal(path, oc, nullptr));
    GraphConditions gc;
    SetGraphDefaults(gc);
    gc.Ch[1].YscaleMax = 1e-3;
    seed("graph", 6, SaveGraphConditions(path, gc, nullptr));
    testing::WriteAll(path, "1,-2,3.5,\"text \"\"quoted\"\"\"\r\n-1e-3,32767,\"\"\r\n");
    seed("raw_items", 7, SaveResult{});  // written by hand
}

// --- route texts -----------------------------------------------------------------------------------
void SpecSeeds() {
    const char* specs[] = {"gpib", "gpib:lib=/usr/lib/libgpib.so", "visa", "visa:TCPIP0::10.0.0.5::gpib0,20::INSTR",
                           "visa:lib=/opt/visa.so,GPIB0::20::INSTR", "prologix:192.168.1.20", "prologix:[::1]:1234",
                           "sim", "sim:model=530A,memory=2,channels=1111100000,time=instant"};
    int i = 0;
    for (const char* s : specs) Seed("spec", "spec_" + std::to_string(i++), std::string(1, '\0') + s);
    Seed("spec", "sim_options", std::string(1, '\1') +
                                    "sim:model=510C,version=2.10,pattern=ramp,seed=7,extdelay=0.5,address=20,"
                                    "fault=MRY*:short:1+BDT:garbage+SET1;10:ERR-012");
    const char args[] = "--listen\0" "127.0.0.1:0\0" "--address\0" "5\0" "--verbose\0" "sim:time=instant";
    Seed("spec", "sim_args", std::string(1, '\2') + std::string(args, sizeof args - 1));
}

// --- replies of the instrument ----------------------------------------------------------------------
// Records every read of the simulated instrument in the record layout of the reply target.
class RecordingBus : public sim::SimBus {
public:
    using SimBus::SimBus;
    GpibStatus Read(int d, void* buffer, std::size_t count) override {
        GpibStatus s = SimBus::Read(d, buffer, count);
        std::uint8_t kind = 0x20;
        if (s.error()) kind |= (s.ibsta & kIbTIMO) ? 2 : 3;
        else if (!(s.ibsta & kIbEND)) kind |= 1;
        const auto n = static_cast<std::size_t>(std::max(0, s.ibcnt));
        replies.emplace_back(static_cast<const char*>(buffer), n);
        records += std::string{static_cast<char>(kind), static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
        records += replies.back();
        return s;
    }
    std::string records;
    std::vector<std::string> replies;
};

void ReplySeeds(const std::string& name, const std::string& simSpec) {
    sim::SimOptions o = *sim::ParseSimOptions(simSpec).options;
    RecordingBus bus(o, std::make_shared<sim::ManualTimeSource>());
    const std::uint8_t countByte = 24;  // 97 words
    std::vector<std::int16_t> words(200);
    fuzz::CommandSession session(bus, GpibSettings{});
    session.Run(words, 0, static_cast<std::int16_t>(1 + countByte * 4));
    Seed("replies", name, std::string{'\3', static_cast<char>(countByte), '\0'} + bus.records);

    // The same replies as an adapter passes them on, for the Prologix client.
    std::string client(1, '\2');  // read count 250
    for (const std::string& r : bus.replies)  // each with the EOI mark
        if (r.size() <= 255) client += std::string{'\1', static_cast<char>(r.size())} + r;
    Seed("prologix_client", name, client.substr(0, 2 + 8 * 260));
}

void ServerSeeds() {
    const std::string setup = "++savecfg 0\n++mode 1\n++auto 0\n++eos 3\n++eoi 1\n++eot_enable 1\n++eot_char 4\n"
                              "++addr 20\n++ver\n";
    Seed("sim_server", "identify", setup + "SET1\x1b\r\x1b\n\n++read eoi\n++ver\nVER\x1b\r\x1b\n\n++read eoi\n++ver\n");
    Seed("sim_server", "block", setup + "MRY 10;0\x1b\r\n++read eoi\nBDT\x1b\r\n++read eoi\n++ver\n");
    Seed("sim_server", "settings", "++addr\n++auto 1\nVER\n++eos\n++eos 2\n++spoll\n++clr\n++ifc\n++ADDR 5 0\nVER\n"
                                   "++read 10\n++mode 0\n++unknown\n++trg\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds CORPUS-FOLDER\n");
        return 2;
    }
    g_root = argv[1];
    const testing::TempDir scratch;
    DataFileSeeds(scratch);
    CndSeeds(scratch);
    SpecSeeds();
    ReplySeeds("kmr510c", "sim:time=instant");
    ReplySeeds("kmr530a", "sim:model=530A,memory=3,channels=1010101010,time=instant");
    ReplySeeds("faults", "sim:time=instant,fault=VER:garbage+MRY*:short:1+TTM0:noreply");
    ServerSeeds();
    std::printf("seeds written to %s\n", argv[1]);
    return 0;
}
