#pragma once

#include <benchmark/benchmark.h>

#include <cstring>

// Takes --smoke out of the arguments and says whether it was there: the
// benchmarks then run at a tiny size, only to show that they work.
inline bool TakeSmokeFlag(int& argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") != 0)
            continue;
        for (int j = i; j + 1 < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        return true;
    }
    return false;
}

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
