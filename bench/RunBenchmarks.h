#pragma once

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

// Removes count arguments from position i on.
inline void DropArguments(int& argc, char** argv, int i, int count) {
    for (int j = i; j + count <= argc; ++j)
        argv[j] = argv[j + count];
    argc -= count;
}

// Takes a flag such as --smoke out of the arguments; whether it was there.
// Each program's --smoke runs its benchmarks at a tiny size, only to show
// that they work.
inline bool TakeFlag(int& argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            DropArguments(argc, argv, i, 1);
            return true;
        }
    }
    return false;
}

// Takes "NAME VALUE" out of the arguments; VALUE, or empty when absent.
inline std::string TakeOption(int& argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            std::string value = argv[i + 1];
            DropArguments(argc, argv, i, 2);
            return value;
        }
    }
    return "";
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
