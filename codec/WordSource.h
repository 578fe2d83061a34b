#pragma once

#include <cstddef>
#include <cstdint>

// The word source a CUnpacker can take its words from: a read position in one
// entry's packed data, one for each thread, so that threads can unpack at the
// same time; on one thread only one unpacking can read from it at a time.

// The next word to hand out, stored least significant byte first.
extern thread_local constinit const std::uint8_t* g_pSourceWord;
// One past the last byte of the packed data; nothing at or past it is read.
extern thread_local constinit const std::uint8_t* g_pSourceEnd;
// Set when NextWord() was asked for a word that the data does not hold.
extern thread_local constinit bool g_bSourceExhausted;

// Points the source at size bytes of packed data and clears the exhausted flag.
void SetWordSource(const std::uint8_t* data, std::size_t size);

// Returns the next word and advances by 4 bytes. When fewer than 4 bytes
// remain it reads nothing, returns 0 and sets g_bSourceExhausted.
std::uint32_t NextWord();
