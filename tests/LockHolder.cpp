#include "tests/LockHolder.h"

#include "platform/ArchiveLock.h"
#include "platform/File.h"

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

[[noreturn]] void RunHolder(const std::string& path, LockThen then, int ready) {
    CArchiveLock lock;
    const bool bLocked = lock.Acquire(path, 0) == CArchiveLock::Status::Locked;
    (void)!write(ready, bLocked ? "L" : "F", 1);
    if (!bLocked || then == LockThen::Hold)
        pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    if (then == LockThen::Replace) {
        CFile file;
        (void)(file.OpenForReplace(path) && file.Write("new", 3) && file.Commit(&lock));
    } else if (then == LockThen::Remove) {
        unlink(path.c_str());
    }
    _exit(0); // the lock goes with the process
}

} // namespace

LockHolder::LockHolder(const std::string& path, LockThen then) {
    int ready[2] = {-1, -1};
    if (pipe(ready) != 0)
        return;
    m_pid = fork();
    if (m_pid == 0) {
        close(ready[0]);
        RunHolder(path, then, ready[1]);
    }
    close(ready[1]);
    char answer = 0;
    (void)!read(ready[0], &answer, 1); // returns once the lock is held
    close(ready[0]);
}

LockHolder::~LockHolder() {
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
}
