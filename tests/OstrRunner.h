#pragma once

#include "tests/TestFiles.h"

#include <cstdint>
#include <string>
#include <vector>

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string& path);

// Runs ostr (OSTR_BINARY, or the program the environment variable of that
// name gives) with the arguments, standard output and error captured.
Result Ostr(const std::vector<std::string>& args);

// The same with ostr's address space limited to addressSpace bytes.
Result OstrWithinLimit(const std::vector<std::string>& args, std::uint64_t addressSpace);

// Starts ostr without waiting, its output dropped; WaitOstr gives its exit
// status (128 + N when signal N ended it).
int StartOstr(const std::vector<std::string>& args);
int WaitOstr(int pid);
