#pragma once

#include <cstdint>

// The packer's word sink: a growable array of finished words, one for each
// thread, so that threads can pack at the same time; on one thread only one
// packing can fill it at a time. The importer takes the words and then calls
// ReleaseWords(); what a thread leaves in its sink is freed when it ends.

// The words appended so far, null while the sink is empty; a block from
// AllocateZeroed() of g_wordCapacity words (platform/LargeMemory.h).
extern thread_local constinit std::uint32_t* g_pWords;
// Number of words the array can hold.
extern thread_local constinit std::int32_t g_wordCapacity;
// Number of words appended so far.
extern thread_local constinit std::int32_t g_wordCount;
// Set when a word could not be appended because the array could not grow
// (allocation failure, or the stream would no longer fit an int32 byte size).
// The words already held are kept, but the stream is incomplete; every later
// word is dropped until ReleaseWords().
extern thread_local constinit bool g_bWordSinkFailed;

// Most words the sink holds: 4 x words must fit a signed 32-bit byte count.
constexpr std::int32_t MAX_SINK_WORDS = 536870911;

// Appends one word, growing the array by a third when it is full (10 words
// first). A call with flush = true appends nothing and changes nothing.
void AppendWord(std::uint32_t word, bool flush);

// Hands the array over to the caller, who frees it with FreeZeroed(array,
// 4 x capacity), and returns the sink to empty as ReleaseWords() does. Null
// (count and capacity 0) while the sink holds no words.
std::uint32_t* TakeWords(std::int32_t& count, std::int32_t& capacity);

// Frees the array and returns the sink to empty: null array, capacity and
// count 0, failure flag cleared.
void ReleaseWords();
