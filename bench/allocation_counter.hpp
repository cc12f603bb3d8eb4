#pragma once

// Counts the program's heap allocations, so that a benchmark shows what one operation
// allocates. It replaces the global operator new: include it in exactly one file of a
// benchmark program.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace bench {
inline std::atomic<long> allocations{0};

// Sets counter `name` to the allocations per iteration since `before`.
inline void reportAllocations(benchmark::State& state, const char* name, long before) {
    state.counters[name] = benchmark::Counter(static_cast<double>(allocations.load() - before),
                                              benchmark::Counter::kAvgIterations);
}
}  // namespace bench

void* operator new(std::size_t size) {
    bench::allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// Not inlined: g++ 14 would see free() on what operator new returned, and warn of a mismatch
// that the replacement itself makes right (its new is malloc).
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
