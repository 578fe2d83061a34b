#pragma once

#include "archive/FileEntry.h"
#include "platform/MessageBox.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// The number of jobs a verb runs by default: one per core.
inline unsigned DefaultJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

// --jobs N: how many entries a verb works on at once.
inline void AddJobsOption(CLI::App& cmd, unsigned& jobs) {
    cmd.add_option("-j,--jobs", jobs,
                   "Entries to work on at once, 1 to 256 (default: one per core); the "
                   "output is the same whatever the number")
        ->check(CLI::Range(1u, 256u).description(""))
        ->type_name("N");
}

// Runs of entries a job may have waiting for their turn. Entries take very
// different times (random bytes unpack five times slower than text), and
// with room for only two a job, a job that finished a run of quick entries
// sat idle until a slow one before them was delivered: eight took check of
// 200 mixed entries with two jobs from 88 to 80 ms.
inline constexpr std::size_t WAITING_A_JOB = 8;

// A job takes consecutive entries together until they cost RUN_COST (bytes
// of data, say) or number RUN_ENTRIES: handing each of 100,000 tiny entries
// over on its own took check 350 ms where one job took 34.
inline constexpr std::uint64_t RUN_COST = 64 << 10;
inline constexpr std::size_t RUN_ENTRIES = 256;

// What working on an entry costs, for RunStarts: its packed and its unpacked
// bytes.
inline std::uint64_t EntryWork(const CFileEntry& entry) {
    return entry.m_data.size() + static_cast<std::uint64_t>(std::max(entry.m_size, 0));
}

// Where each run of entries starts, and count at the end.
template <class Cost>
std::vector<std::size_t> RunStarts(std::size_t count, Cost cost) {
    std::vector<std::size_t> starts;
    std::uint64_t runCost = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (starts.empty() || runCost >= RUN_COST || i - starts.back() == RUN_ENTRIES) {
            starts.push_back(i);
            runCost = 0;
        }
        runCost += cost(i);
    }
    starts.push_back(count);
    return starts;
}

// Runs work(i) for each i below count on up to jobs threads, and hands each
// result to deliver(i, result) on the calling thread in order of i, so that
// what deliver prints comes out exactly as with one job. Messages work shows
// (MessageBox) are kept and shown just before its result is delivered, as
// one job would show them. deliver returns false to stop: no later result is
// delivered and no later message shown, though work already under way on
// other threads finishes. cost(i) weighs entry i (its bytes) for handing the
// entries out in runs; at most WAITING_A_JOB runs a job wait for their turn,
// so memory stays bounded by that many runs a job whatever the count. work
// must print nothing else and touch nothing shared; an exception from work
// or deliver stops the rest and is thrown again here, once every thread has
// ended. Returns true when every result was delivered.
template <class Result, class Work, class Deliver, class Cost>
bool ForEachInOrder(std::size_t count, unsigned jobs, Work work, Deliver deliver, Cost cost) {
    if (jobs <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            Result result = work(i);
            if (!deliver(i, result))
                return false;
        }
        return true;
    }
    struct SDone {
        Result result;
        std::vector<SCapturedMessage> messages;
    };
    const std::vector<std::size_t> starts = RunStarts(count, cost);
    const std::size_t runs = starts.size() - 1;
    const std::size_t window = WAITING_A_JOB * static_cast<std::size_t>(jobs);
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::size_t, std::vector<SDone>> ready;
    std::size_t handedOut = 0, delivered = 0;
    bool bStop = false;
    std::exception_ptr error;
    auto worker = [&] {
        for (;;) {
            std::size_t run = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] {
                    return bStop || handedOut == runs || handedOut < delivered + window;
                });
                if (bStop || handedOut == runs)
                    return;
                run = handedOut++;
            }
            try {
                std::vector<SDone> done;
                for (std::size_t i = starts[run]; i < starts[run + 1]; ++i) {
                    CMessageCapture capture;
                    Result result = work(i);
                    done.push_back({std::move(result), capture.Take()});
                }
                const std::lock_guard lock(mutex);
                ready.emplace(run, std::move(done));
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!error)
                    error = std::current_exception();
                bStop = true;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned j = 0; j < jobs && j < runs; ++j)
        threads.emplace_back(worker);
    bool bDeliveredAll = false;
    try {
        bDeliveredAll = [&] {
            while (delivered < runs) {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return bStop || ready.count(delivered) != 0; });
                if (bStop)
                    return false;
                std::vector<SDone> done = std::move(ready.at(delivered));
                ready.erase(delivered);
                lock.unlock();
                for (std::size_t k = 0; k < done.size(); ++k) {
                    ShowMessages(done[k].messages);
                    if (!deliver(starts[delivered] + k, done[k].result))
                        return false;
                }
                lock.lock();
                ++delivered;
                changed.notify_all();
            }
            return true;
        }();
    } catch (...) {
        const std::lock_guard lock(mutex);
        if (!error)
            error = std::current_exception();
    }
    {
        const std::lock_guard lock(mutex);
        bStop = true;
    }
    changed.notify_all();
    for (std::thread& thread : threads)
        thread.join();
    if (error)
        std::rethrow_exception(error);
    return bDeliveredAll;
}
