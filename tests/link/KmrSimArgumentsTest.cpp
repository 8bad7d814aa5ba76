#include <gtest/gtest.h>

#include <tuple>

#include "sim/KmrSimArguments.h"

namespace kmr::sim {
namespace {

KmrSimArguments Parse(std::vector<std::string> args) {
    std::string error;
    auto a = ParseKmrSimArguments(args, error);
    EXPECT_TRUE(a.has_value()) << error;
    return a.value_or(KmrSimArguments{});
}

TEST(KmrSimArguments, TakesEveryOptionAndTheSimSpec) {
    KmrSimArguments a = Parse({"--listen", "0.0.0.0:5000", "--address=7", "--idle", "5",
                               "--verbose", "sim:model=530A,memory=1,time=instant"});
    EXPECT_EQ(std::tie(a.idleSeconds, a.host, a.port, a.address, a.verbose), std::tuple(5, "0.0.0.0", 5000, 7, true));
    EXPECT_EQ(std::tie(a.options.model, a.options.memory, a.options.time),
              std::tuple(SimModel::Kmr530A, 1, SimTimeMode::Instant));
    KmrSimArguments v6 = Parse({"--listen=[::1]:0"});
    EXPECT_EQ(std::tie(v6.host, v6.port), std::tuple("::1", 0));
}

TEST(KmrSimArguments, RefusesWhatItDoesNotUnderstand) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--listen"}, "needs a value"},
        {{"--listen", "localhost"}, "HOST:PORT"},
        {{"--listen", "h:70000"}, "HOST:PORT"},
        {{"--address", "31"}, "0 to 30"},
        {{"--idle", "0"}, "1 to 86400"},
        {{"--colour"}, "Unknown option --colour"},
        {{"sim", "sim"}, "Only one SIM-SPEC"},
        {{"sim:model=999"}, "model=999"},
    };
    for (const auto& [args, why] : cases) {
        std::string error;
        EXPECT_FALSE(ParseKmrSimArguments(args, error).has_value()) << why;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace kmr::sim
