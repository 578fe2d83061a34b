#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Threads that write, sync and put in place the files of the verbs that
// write a file an entry. Creating and syncing a file waits on the
// filesystem, not on a core: while several wait at once the filesystem
// commits them together, and the entries' jobs go on unpacking meanwhile.
// With no threads, each task runs at once on the caller's thread, as one job
// does everything in turn.
class CFileWriters {
public:
    using Task = std::function<std::string()>;

    explicit CFileWriters(unsigned threads) {
        for (unsigned i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { Serve(); });
    }
    // Waits for the tasks under way, and drops those no thread has begun: a
    // verb that waited for every outcome leaves none, and one that stopped
    // early puts no more files in place. A dropped task's future gives an
    // error.
    ~CFileWriters() {
        {
            const std::lock_guard lock(m_mutex);
            m_bEnding = true;
            m_queue.clear();
        }
        m_changed.notify_all();
        for (std::thread& thread : m_threads)
            thread.join();
    }
    CFileWriters(const CFileWriters&) = delete;
    CFileWriters& operator=(const CFileWriters&) = delete;

    // The task's outcome (here a problem to report, empty when none), once
    // one of the threads has run it.
    std::future<std::string> Run(Task task) {
        std::packaged_task<std::string()> job(std::move(task));
        std::future<std::string> outcome = job.get_future();
        if (m_threads.empty()) {
            job();
            return outcome;
        }
        {
            const std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(job));
        }
        m_changed.notify_one();
        return outcome;
    }

private:
    void Serve() {
        for (;;) {
            std::packaged_task<std::string()> job;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_bEnding || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                job = std::move(m_queue.front());
                m_queue.pop_front();
            }
            job();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::packaged_task<std::string()>> m_queue;
    bool m_bEnding = false;
    std::vector<std::thread> m_threads;
};

// Writing threads for a verb of jobs jobs: none for one job.
inline unsigned FileWritersFor(unsigned jobs) {
    return jobs <= 1 ? 0 : 2 * jobs;
}
