#pragma once
// The interface spec: one text that names the route to the instrument. It comes from
// Interface.cnd, from `--interface SPEC`, or from `--simulate` (which means "sim").
//
//   gpib                      NI-488.2-compatible library found by its usual names
//   gpib:lib=PATH             that library file
//   visa                      VISA library by its usual names, resource GPIB0::<address>::INSTR
//   visa:RESOURCE             that VISA resource (for example TCPIP0::10.0.0.5::gpib0,20::INSTR)
//   visa:lib=PATH             that VISA library file; with a resource: visa:lib=PATH,RESOURCE
//                             (the path ends at the first comma; the resource may hold commas)
//   prologix:HOST[:PORT]      Prologix GPIB-ETHERNET adapter or kmr-sim (port 1234 by default);
//                             an IPv6 address with a port is written [ADDRESS]:PORT
//   sim[:key=value,...]       the built-in simulated instrument
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/instrument/GpibBus.h"

namespace kmr {

struct InterfaceSpec {
    enum class Kind { Gpib, Visa, Prologix, Sim };
    Kind kind = Kind::Gpib;
    std::string text;        // the spec as given, without surrounding blanks
    std::string library;     // gpib:lib=PATH, visa:lib=PATH; empty = the usual names
    std::string resource;    // visa:RESOURCE; empty = GPIB0::<address>::INSTR
    std::string host;        // prologix
    int port = 0;            // prologix
    std::string simOptions;  // the text after "sim:" (empty for plain "sim")
};

// (The spec used when Interface.cnd is missing is kDefaultInterfaceSpec, conditions/GlobalSettings.h.)
// The spec `--simulate` stands for.
inline constexpr std::string_view kSimulateInterfaceSpec = "sim";

// The accepted forms, one line, for messages and --help.
std::string AcceptedInterfaceForms();

// Parses a spec. On failure: nullopt, and `error` says what is wrong (in `lang`) and lists the
// accepted forms.
std::optional<InterfaceSpec> ParseInterfaceSpec(std::string_view text, std::string& error,
                                                Language lang = Language::English);

// Makes the backend a parsed spec names. Nothing is loaded or connected here; that happens when
// the connection is opened, so a missing library shows as an open failure. nullptr with `error`
// only when the spec itself cannot work (for example a simulator option it does not know), said
// in `lang`.
std::unique_ptr<GpibBus> MakeGpibBus(const InterfaceSpec& spec, std::string& error,
                                     Language lang = Language::English);
// Parses and makes in one step.
std::unique_ptr<GpibBus> MakeGpibBus(std::string_view text, std::string& error,
                                     Language lang = Language::English);

// Never null: for a spec that cannot work (a damaged Interface.cnd, a mistyped --interface) a bus
// whose open fails with the reason as LastProblem(), so that start-up shows "Cannot open
// communication port." with the reason and offers off-line work as for any other open failure.
std::unique_ptr<GpibBus> MakeGpibBusOrExplain(std::string_view text);

}  // namespace kmr
