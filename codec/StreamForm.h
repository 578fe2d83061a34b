#pragma once

#include <cstdint>
#include <span>

enum class StreamForm {
    Packers,     // the very stream CPacker writes for the bytes it gives
    Other,       // another stream of the same bytes
    OutOfMemory, // the check could not keep its tables
};

// Whether packed is the stream CPacker writes for size bytes, told without
// decoding the bytes or packing them again: Packers only for a stream that
// follows the code rules, gives exactly size bytes and ends as the packer
// ends it. Those rules leave one freedom: a stream may name a string where
// the packer, which always takes the longest string its dictionary holds,
// would have named a longer one. It did so exactly when some code's string
// followed by the first byte of the next code's string was already in the
// dictionary, that is when the entry the two define is defined twice.
// Reads no byte outside packed. Its table of entries starts at most
// 2^largestFirstBits slots and grows as the codes come; tests lower it, to
// reach the growth with little input.
StreamForm StreamFormOf(std::span<const std::uint8_t> packed, std::uint64_t size,
                        int largestFirstBits = 22);
