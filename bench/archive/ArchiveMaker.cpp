#include "bench/archive/ArchiveMaker.h"

#include "archive/ArchiveFormat.h"
#include "archive/ArchiveWriter.h"
#include "archive/OstrevaneDoc.h"
#include "platform/ByteOrder.h"
#include "transfer/EntryPacking.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

void PutInt32(std::vector<std::uint8_t>& out, std::int64_t value) {
    AppendLittleEndian32(out, static_cast<std::uint32_t>(value));
}

// payloadBytes of text, packed.
std::vector<std::uint8_t> PackedText(std::size_t payloadBytes) {
    std::vector<std::uint8_t> text(payloadBytes);
    for (std::size_t i = 0; i < payloadBytes; ++i)
        text[i] = static_cast<std::uint8_t>("an entry of an archive "[i % 23]);
    PackedData packed;
    PackBuffer(text.data(), text.size(), packed);
    return {packed.begin(), packed.end()};
}

} // namespace

bool MakeArchive(const std::string& path, int count, std::size_t payloadBytes, bool bPacked) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    std::vector<std::uint8_t> head(ARCHIVE_MAGIC.begin(), ARCHIVE_MAGIC.end());
    PutInt32(head, ARCHIVE_VERSION);
    PutInt32(head, count);
    const std::vector<std::uint8_t> payload =
        bPacked ? PackedText(payloadBytes) : std::vector<std::uint8_t>(payloadBytes, 0x5A);
    const auto packedBytes = static_cast<std::int64_t>(payload.size());
    const auto start = static_cast<std::int64_t>(DataStart(static_cast<std::uint64_t>(count)));
    for (int i = 0; i < count; ++i) {
        for (std::int64_t v : {std::int64_t{i % 4}, std::int64_t{2 * i + 2}, packedBytes,
                               static_cast<std::int64_t>(payloadBytes), start + packedBytes * i})
            PutInt32(head, v);
        char name[ENTRY_NAME_SIZE + 1];
        std::snprintf(name, sizeof name, "entry%-11d", i);
        head.insert(head.end(), name, name + ENTRY_NAME_SIZE);
    }
    bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size();
    for (int i = 0; ok && i < count; ++i)
        ok = std::fwrite(payload.data(), 1, payload.size(), file) == payload.size();
    return std::fclose(file) == 0 && ok;
}

// Made through a file, so that the entries lie in memory as a load leaves
// them, which is what every list operation of the editor starts from.
void FillDocument(COstrevaneDoc& doc, int count, std::size_t payloadBytes) {
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir != nullptr ? dir : "/tmp") + "/ostrevane-fill-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0 || close(fd) != 0 || !MakeArchive(path, count, payloadBytes, false) ||
        !doc.OnOpenDocument(path) || doc.WasLoadRefused()) {
        std::fprintf(stderr, "Cannot make an archive of %d entries in %s\n", count, path.c_str());
        std::exit(1);
    }
    std::remove(path.c_str());
}
