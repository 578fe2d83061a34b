#pragma once

#include "platform/MessageBox.h"

#include <CLI/CLI.hpp>

#include <condition_variable>
#include <cstddef>
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

// Results a job may have waiting for their turn. Entries take very
// different times (random bytes unpack five times slower than text), and
// with room for only two a job, a job that finished a run of quick entries
// sat idle until a slow one before them was delivered: eight took check of
// 200 mixed entries with two jobs from 88 to 80 ms.
inline constexpr std::size_t WAITING_A_JOB = 8;

// Runs work(i) for each i below count on up to jobs threads, and hands each
// result to deliver(i, result) on the calling thread in order of i, so that
// what deliver prints comes out exactly as with one job. Messages work shows
// (MessageBox) are kept and shown just before its result is delivered, as
// one job would show them. deliver returns false to stop: no later result is
// delivered and no later message shown, though work already under way on
// other threads finishes. At most WAITING_A_JOB results a job wait for their
// turn, so memory stays bounded by that many entries a job whatever the
// count. work must print nothing else and touch nothing shared; an
// exception from work or deliver stops the rest and is thrown again here,
// once every thread has ended. Returns true when every result was delivered.
template <class Result, class Work, class Deliver>
bool ForEachInOrder(std::size_t count, unsigned jobs, Work work, Deliver deliver) {
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
    const std::size_t window = WAITING_A_JOB * static_cast<std::size_t>(jobs);
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::size_t, SDone> ready;
    std::size_t handedOut = 0, delivered = 0;
    bool bStop = false;
    std::exception_ptr error;
    auto worker = [&] {
        for (;;) {
            std::size_t i = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] {
                    return bStop || handedOut == count || handedOut < delivered + window;
                });
                if (bStop || handedOut == count)
                    return;
                i = handedOut++;
            }
            try {
                CMessageCapture capture;
                Result result = work(i);
                SDone done{std::move(result), capture.Take()};
                const std::lock_guard lock(mutex);
                ready.emplace(i, std::move(done));
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
    for (unsigned j = 0; j < jobs && j < count; ++j)
        threads.emplace_back(worker);
    try {
        while (delivered < count) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return bStop || ready.count(delivered) != 0; });
            if (bStop)
                break;
            SDone done = std::move(ready.at(delivered));
            ready.erase(delivered);
            lock.unlock();
            ShowMessages(done.messages);
            if (!deliver(delivered, done.result))
                break;
            lock.lock();
            ++delivered;
            changed.notify_all();
        }
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
    return delivered == count;
}
