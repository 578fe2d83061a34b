#pragma once

#include <benchmark/benchmark.h>

// The end of every benchmark program's main(): runs the registered
// benchmarks with the command line's options; 1 for an unknown option.
inline int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
