#include "platform/TempFiles.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr const char* MARKER = ".ostr-";
constexpr std::size_t RANDOM_CHARS = 6;
constexpr int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

// A fixed table, so that the signal handler reads only memory that never
// moves: a slot is claimed (Filling) while its path is copied in and only
// then armed; the handler unlinks armed paths alone.
enum SlotState : int { Free, Filling, Armed };

struct TempSlot {
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};

std::array<TempSlot, 16> g_slots;

void Record(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return;
    for (TempSlot& slot : g_slots) {
        int expected = Free;
        if (!slot.state.compare_exchange_strong(expected, Filling))
            continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(Armed);
        return;
    }
    // More saves at once than slots: this one is simply not removed on a signal.
}

extern "C" void RemoveAndReraise(int signal) {
    const int savedErrno = errno;
    for (TempSlot& slot : g_slots)
        if (slot.state.load() == Armed)
            unlink(slot.path);
    errno = savedErrno;
    std::signal(signal, SIG_DFL);
    raise(signal);
}

sigset_t CleanupSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : SIGNALS)
        sigaddset(&set, signal);
    return set;
}

} // namespace

std::string TempFilePattern(const std::string& target) {
    const auto slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return (slash == std::string::npos ? std::string("./") : folder) + "." + name + MARKER +
           std::string(RANDOM_CHARS, 'X');
}

bool IsTempFileFor(const std::string& fileName, const std::string& targetName) {
    const std::string prefix = "." + targetName + MARKER;
    return fileName.size() == prefix.size() + RANDOM_CHARS && fileName.rfind(prefix, 0) == 0;
}

int CreateTempFile(std::string& pattern) {
    const sigset_t held = CleanupSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &held, &previous);
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    const int savedErrno = errno;
    if (fd >= 0)
        Record(pattern);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = savedErrno;
    return fd;
}

void ForgetTempFile(const std::string& path) {
    for (TempSlot& slot : g_slots) {
        int expected = Armed;
        if (!slot.state.compare_exchange_strong(expected, Filling))
            continue;
        const bool bThisOne = path == slot.path;
        slot.state.store(bThisOne ? Free : Armed);
        if (bThisOne)
            return;
    }
}

void RemoveTempFilesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveAndReraise;
    sigemptyset(&action.sa_mask);
    // One cleanup at a time: a second signal waits for the first.
    action.sa_mask = CleanupSignals();
    for (const int signal : SIGNALS)
        sigaction(signal, &action, nullptr);
}
