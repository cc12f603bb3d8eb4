// JoyCode with a full table of twelve entries, one report per millisecond of virtual
// time (the controller's 1000 reports per second): the cost of a report that fires and
// types, and of one that is only counted.
#include <benchmark/benchmark.h>

#include "keymap/key_mapper.hpp"
#include "support/fake_key_table.hpp"
#include "support/manual_clock.hpp"

using testing_support::FakeKeyTable;

namespace {

// Codes 1000, 1020, ... 1220 and keys A..L; Shift on every second row, Ctrl on every third.
FakeKeyTable benchTable() {
    FakeKeyTable t;
    for (int i = 0; i < keymap::KeyTableRows; ++i) {
        t.rows[i].jcode = QString::number(1000 + 20 * i);
        t.rows[i].value = QString::number(65 + i);
        t.rows[i].shift = i % 2 == 0;
        t.rows[i].ctrl = i % 3 == 0;
    }
    return t;
}

class CountingEmitter final : public keymap::KeyEmitter {
public:
    void key(std::uint8_t, bool) override { ++events; }
    long events = 0;
};

void run(benchmark::State& state, keymap::SystemSettings settings, std::int32_t code) {
    FakeKeyTable table = benchTable();
    CountingEmitter out;
    testing_support::ManualClock clock;
    keymap::KeyMapper mapper(table, out, clock);
    mapper.systemSettings() = settings;
    mapper.JoyCode(code);  // the press's first report; the loop measures what follows
    for (auto _ : state) {
        clock.advance(1);
        mapper.JoyCode(code);
    }
    state.counters["keystroke_events_per_report"] = benchmark::Counter(
        static_cast<double>(out.events) / static_cast<double>(state.iterations()));
}

// Val.First 1, Val.Next 1: every report fires; code 1100 matches entry 06 (Shift off,
// Ctrl off) with Differ 5, so each report types one tap after matching all twelve.
void JoyCodeFiring(benchmark::State& state) {
    run(state, {5, 1, 1}, 1100);
}

// A first delay that never ends: every measured report is only counted.
void JoyCodeNotFiring(benchmark::State& state) {
    run(state, {5, 2000000000, 100}, 1100);
}

// Every report fires and every entry matches: the worst case, twelve sequences.
void JoyCodeFiringAllMatch(benchmark::State& state) {
    run(state, {1000, 1, 1}, 1110);
}

BENCHMARK(JoyCodeFiring);
BENCHMARK(JoyCodeNotFiring);
BENCHMARK(JoyCodeFiringAllMatch);

}  // namespace

BENCHMARK_MAIN();
