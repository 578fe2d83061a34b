#pragma once

#include "tests/TestFiles.h"

#include <cstdint>
#include <vector>

// Reads the codes of a packed stream bit by bit, as the format lays them
// out, with the width growing after each all-ones code.
std::vector<std::uint32_t> ReadCodes(const Bytes& stream);

// Lays codes out as the packer does, width growing after each all-ones code
// and the last word padded as the packer pads it, for building streams the
// packer would never write.
Bytes WriteCodes(const std::vector<std::uint32_t>& codes);
