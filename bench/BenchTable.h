#pragma once
// The table a benchmark works on, read once from the file KORVALIN_BENCH_CSV names.

#include "engine/Table.h"

#include <benchmark/benchmark.h>

#include <exception>
#include <string>

namespace bench
{

// make() returns the benchmark's table (made once by the caller), null when KORVALIN_BENCH_CSV is not set, and
// throws when the file cannot be read. Both failures skip the benchmark with a message saying so; purpose names
// what the file is for. Null then.
template <typename TMake> CTable* TableOrSkip(benchmark::State& state, TMake make, const char* purpose)
{
    CTable* table = nullptr;
    try
    {
        table = make();
    }
    catch (const std::exception& e)
    {
        state.SkipWithError((std::string("KORVALIN_BENCH_CSV cannot be read: ") + e.what()).c_str());
        return nullptr;
    }
    if (!table)
        state.SkipWithError((std::string("KORVALIN_BENCH_CSV is not set (") + purpose + ")").c_str());
    return table;
}

} // namespace bench
