#pragma once

#include <string>
#include <sys/types.h>

// What a second process does once it holds an archive's lock: it keeps it
// until the test is done with it, or after a pause lets go, replaces the
// file (as a save does) or removes it.
enum class LockThen { Hold, Release, Replace, Remove };

// A real second process holding the archive lock, for as long as this
// object lives (unless it lets go on its own). Replace writes "new".
class LockHolder {
public:
    LockHolder(const std::string& path, LockThen then);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};
