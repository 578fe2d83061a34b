#include "tests/OstrRunner.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

std::string ReadText(const std::string& path) {
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

namespace {

// Forks ostr with its standard output and error sent to those files, and
// its address space limited when addressSpace is not 0.
pid_t Spawn(const std::vector<std::string>& args, const char* outPath, const char* errPath,
            std::uint64_t addressSpace = 0) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    if (addressSpace != 0) {
        const rlimit limit{addressSpace, addressSpace};
        setrlimit(RLIMIT_AS, &limit);
    }
    const int out = open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    // The environment may name a copy (see as_unprivileged.sh).
    const char* env = std::getenv("OSTR_BINARY");
    const char* binary = env != nullptr && *env != '\0' ? env : OSTR_BINARY;
    std::vector<char*> argv{const_cast<char*>(binary)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(binary, argv.data());
    _exit(127);
}

} // namespace

Result OstrWithinLimit(const std::vector<std::string>& args, std::uint64_t addressSpace) {
    TempDir capture;
    const std::string outPath = capture.File("out"), errPath = capture.File("err");
    int wstatus = 0;
    waitpid(Spawn(args, outPath.c_str(), errPath.c_str(), addressSpace), &wstatus, 0);
    return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, ReadText(outPath), ReadText(errPath)};
}

Result Ostr(const std::vector<std::string>& args) {
    return OstrWithinLimit(args, 0);
}

int StartOstr(const std::vector<std::string>& args) {
    return Spawn(args, "/dev/null", "/dev/null");
}

int WaitOstr(int pid) {
    int wstatus = 0;
    if (waitpid(pid, &wstatus, 0) != pid)
        return -1;
    return WIFSIGNALED(wstatus) ? 128 + WTERMSIG(wstatus) : WEXITSTATUS(wstatus);
}
