// A main() for fuzz targets built without libFuzzer: gives every file named
// on the command line, and every regular file in every folder named there
// (sorted by name, not recursing), to LLVMFuzzerTestOneInput once, each in a
// heap block of exactly its size. Arguments that begin with '-' are libFuzzer
// options and are skipped, so both builds take the same command line. A
// target's failed check aborts the run; a path that cannot be read makes it
// exit with status 1.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool Replay(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    if (file.bad()) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size()]);
    if (!bytes.empty())
        std::memcpy(exact.get(), bytes.data(), bytes.size());
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(exact.get(), bytes.size());
    return true;
}

// The regular files of a folder, sorted by name, or the path itself.
bool CollectInputs(const fs::path& path, std::vector<fs::path>& inputs) {
    std::error_code error;
    if (!fs::is_directory(path, error)) {
        if (!fs::is_regular_file(path, error)) {
            std::fprintf(stderr, "no such file or folder: %s\n", path.c_str());
            return false;
        }
        inputs.push_back(path);
        return true;
    }
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error))
        if (entry.is_regular_file(error))
            files.push_back(entry.path());
    if (error) {
        std::fprintf(stderr, "cannot list %s: %s\n", path.c_str(), error.message().c_str());
        return false;
    }
    std::sort(files.begin(), files.end());
    inputs.insert(inputs.end(), files.begin(), files.end());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    bool bOk = true;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-')
            bOk = CollectInputs(argv[i], inputs) && bOk;
    for (const fs::path& input : inputs)
        bOk = Replay(input) && bOk;
    std::fprintf(stderr, "replayed %zu inputs\n", inputs.size());
    return bOk ? 0 : 1;
}
