// The simulator's state file, which every process of a prefix reads and any of them may have left
// half-written or a person may have edited: a refused text leaves the state as it was, an accepted
// one serializes to a text that reads back to the same state, and the failure injections it
// accepts fail exactly as many calls as they say.
#include "fuzz/FuzzCheck.h"
#include "sim/SimState.h"

#include <map>
#include <string>

namespace {

// How many calls each function's injections fail (-1 for every call), by the canonical name, with
// the name one of them was given to ask for it by (the canonical form of a canonical name need not
// be the same: "WinBioWinBioX" is "winbiox", which is "x").
struct Injected {
    std::string asked;
    long long calls = 0;
};

std::map<std::string, Injected> InjectedCalls(const sim::State& state) {
    std::map<std::string, Injected> calls;
    for (const sim::Failure& failure : state.failures) {
        Injected& total = calls[sim::CanonicalFunctionName(failure.function)];
        if (total.asked.empty())
            total.asked = failure.function;
        if (total.calls < 0)
            continue;
        total.calls = failure.count < 0 ? -1 : total.calls + failure.count;
    }
    return calls;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    sim::State state = sim::DefaultState();
    const std::string untouched = sim::Serialize(state);
    if (!sim::Parse(text, state)) {
        NV_FUZZ_CHECK(sim::Serialize(state) == untouched);
        return 0;
    }

    const std::string first = sim::Serialize(state);
    sim::State reread;
    NV_FUZZ_CHECK(sim::Parse(first, reread));
    NV_FUZZ_CHECK(sim::Serialize(reread) == first);
    NV_FUZZ_CHECK(reread.units.size() == state.units.size());
    NV_FUZZ_CHECK(reread.pending.size() == state.pending.size());
    NV_FUZZ_CHECK(reread.samples.size() == state.samples.size());
    NV_FUZZ_CHECK(reread.failures.size() == state.failures.size());

    for (const auto& [canonical, injected] : InjectedCalls(state)) {
        // Counts are 32-bit; trying a few hundred calls says as much as trying them all.
        if (injected.calls > 300)
            continue;
        const long long tries = injected.calls < 0 ? 3 : injected.calls;
        for (long long i = 0; i < tries; ++i)
            NV_FUZZ_CHECK(sim::TakeFailure(state, injected.asked).has_value());
        if (injected.calls >= 0)
            NV_FUZZ_CHECK(!sim::TakeFailure(state, injected.asked).has_value());
    }
    return 0;
}
