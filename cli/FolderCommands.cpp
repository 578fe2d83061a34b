// unpack and pack: an archive as a folder of files and a manifest, and
// back.

#include "archive/ArchiveWriter.h"
#include "archive/EntryText.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "cli/EntryReports.h"
#include "cli/FileWriters.h"
#include "cli/Manifest.h"
#include "cli/ParallelEntries.h"
#include "cli/TerminalProgress.h"
#include "cli/TextOutput.h"
#include "codec/StreamForm.h"
#include "platform/ArchiveLock.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/MessageBox.h"
#include "transfer/DeltaCoding.h"
#include "transfer/EntryPacking.h"
#include "transfer/ExportFileNames.h"
#include "transfer/ExportPipeline.h"
#include "transfer/ImportPipeline.h"
#include "transfer/WaveHeader.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const MANIFEST_FILE = "manifest.json";

struct UnpackOptions {
    std::string archive;
    std::string folder;
    bool bForce = false;
    unsigned jobs = DefaultJobs();
};

struct PackOptions {
    std::string folder;
    std::string archive;
    bool bForce = false;
    WriteOptions write;
    unsigned jobs = DefaultJobs();
};

// Why content could not be imported as a sound, or null when it can.
const WaveRefusal* SoundRefusal(const ByteBuffer& content) {
    return content.size() < WAVE_HEADER_SIZE ? &ShortWaveHeader() : CheckWaveHeader(content.data());
}

// ---- unpack

// The reader does not keep the header's version, so it is read again, from
// the same file: false when the path names another file by now.
bool ReadVersion(const std::string& path, const COstrevaneDoc& doc, std::int32_t& version) {
    CFile file;
    std::uint8_t header[ARCHIVE_HEADER_SIZE];
    if (!file.OpenForRead(path) || file.Read(header, sizeof header) != sizeof header ||
        !file.GetIdentity().IsSameFile(doc.GetDiskIdentity()))
        return false;
    version = ReadLittleEndianInt32(header + ARCHIVE_VERSION_AT);
    return true;
}

// Opens the archive and takes its version; a save by another program
// between the two reads starts it again.
bool OpenWithVersion(const std::string& path, COstrevaneDoc& doc, std::int32_t& version) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!OpenArchive(doc, path))
            return false;
        if (ReadVersion(path, doc, version))
            return true;
    }
    Report("Cannot read " + path + ": another program keeps replacing it.");
    return false;
}

// How an entry unpacked, and whether its stored data is what pack would
// make of its content.
struct SEntryCheck {
    UnpackStatus status;
    std::uint64_t bytes;
    bool bRepacksAlike;
};

// A stream in the packer's own form unpacks cleanly, so only one in another
// form is unpacked, to tell damage from another coder's choices.
SEntryCheck CheckEntry(const CFileEntry& entry) {
    const auto size = static_cast<std::uint64_t>(std::max(entry.m_size, 0));
    const StreamForm form =
        entry.m_size < 0 ? StreamForm::Other
                         : StreamFormOf(std::span(entry.m_data.data(), entry.m_data.size()), size);
    if (form == StreamForm::OutOfMemory)
        throw std::bad_alloc();
    if (form == StreamForm::Packers)
        return {UnpackStatus::Ok, size, true};
    ByteBuffer data;
    const UnpackStatus status = UnpackEntryData(entry, data);
    return {status, data.size(), false};
}

// Checks every entry on up to jobs threads, reporting in order those that
// cannot be unpacked, and warns of each whose packed data is not what pack
// would make of its content. A sound's stored bytes are its delta code,
// which pack recomputes exactly from the content, so they are packed again
// as they are. False when any entry could not be unpacked.
bool CheckEntries(const std::vector<const CFileEntry*>& entries, unsigned jobs) {
    bool bAllUnpacked = true;
    CTerminalProgress progress("unpack: checking", entries.size());
    ForEachInOrder<SEntryCheck>(
        entries.size(), jobs, [&](std::size_t i) { return CheckEntry(*entries[i]); },
        [&](std::size_t i, const SEntryCheck& check) {
            progress.Advance(check.bytes);
            if (!Unpacked(*entries[i], check.status))
                bAllUnpacked = false;
            else if (!check.bRepacksAlike)
                Report(EntryLabel(*entries[i]) + ": its stored data is not what this program "
                                                 "would write; pack will repack it");
            return true;
        },
        [&entries](std::size_t i) { return EntryWork(*entries[i]); });
    return bAllUnpacked;
}

// The folder may be missing (it is made later) or empty, or anything when
// forced; it must be a folder.
bool FolderIsUsable(const std::string& folder, bool bForce) {
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (!fs::exists(status))
        return true;
    if (!fs::is_directory(status)) {
        Report("\"" + folder + "\" is not a folder.");
        return false;
    }
    if (bForce)
        return true;
    const bool bEmpty = fs::is_empty(folder, error);
    if (error)
        Report("Cannot read " + folder + ": " + error.message() + ".");
    else if (!bEmpty)
        Report("\"" + folder + "\" is not empty (use --force to write into it).");
    return bEmpty && !error;
}

// Writes size bytes to path atomically, replacing a link at path rather than
// following it. Never writes over the archive being read, which is in memory
// only. Returns why it could not, or nothing.
std::string WriteFileQuietly(const std::string& path, const std::uint8_t* data, std::size_t size,
                             const FileIdentity& archive) {
    if (std::string problem = ArchiveItselfProblem(path, archive); !problem.empty())
        return problem;
    CFile file;
    if (file.OpenForReplace(path, false) && file.Write(data, size) && file.Commit())
        return {};
    file.Abort();
    return "Cannot write " + path + ": " + file.GetErrorText();
}

// Prints the path written, or reports why it was not; false for that.
bool ReportWritten(const std::string& path, const std::string& problem) {
    if (!problem.empty()) {
        Report(problem);
        return false;
    }
    ClearProgressLine();
    std::printf("%s\n", path.c_str());
    return true;
}

// How an entry unpacked, and its file being written.
struct SEntryWrite {
    UnpackStatus status;
    bool bNotWave; // a sound whose content fails the wave checks
    std::future<std::string> written;
};

SEntryWrite UnpackEntry(const CFileEntry& entry, const std::string& path,
                        const FileIdentity& archive, CFileWriters& writers) {
    auto pContent = std::make_shared<ByteBuffer>();
    SEntryWrite write{UnpackContent(entry, *pContent), false, {}};
    if (write.status != UnpackStatus::Ok)
        return write;
    write.bNotWave = entry.m_type == ENTRY_SOUND && SoundRefusal(*pContent);
    write.written = writers.Run([pContent, path, &archive] {
        return WriteFileQuietly(path, pContent->data(), pContent->size(), archive);
    });
    return write;
}

// Unpacks every entry on up to jobs threads, its file written by the writing
// threads while the jobs go on; in order, each is added to the manifest and
// its path printed. Stops at the first that fails, dropping the files not
// yet being written.
bool WriteEntries(const std::vector<const CFileEntry*>& entries, const fs::path& folder,
                  const FileIdentity& archive, unsigned jobs, Manifest& manifest) {
    CExportFileNames names;
    for (const CFileEntry* p : entries)
        manifest.entries.push_back({p->m_type, p->m_id, p->m_name, names.NameFor(*p)});
    std::set<std::pair<std::int32_t, std::int32_t>> seen;
    CTerminalProgress progress("unpack", entries.size());
    CFileWriters writers(FileWritersFor(jobs));
    return ForEachInOrder<SEntryWrite>(
        entries.size(), jobs,
        [&](std::size_t i) {
            return UnpackEntry(*entries[i], (folder / manifest.entries[i].file).string(), archive,
                               writers);
        },
        [&](std::size_t i, SEntryWrite& write) {
            const CFileEntry& entry = *entries[i];
            const std::string path = (folder / manifest.entries[i].file).string();
            progress.Advance(static_cast<std::uint64_t>(std::max(entry.m_size, 0)));
            if (!Unpacked(entry, write.status) || !ReportWritten(path, write.written.get()))
                return false;
            manifest.entries[i].bDuplicate = !seen.insert({entry.m_type, entry.m_id}).second;
            manifest.entries[i].bNotWave = write.bNotWave;
            return true;
        },
        [&entries](std::size_t i) { return EntryWork(*entries[i]); });
}

int RunUnpack(const UnpackOptions& options) {
    COstrevaneDoc doc;
    Manifest manifest;
    if (!OpenWithVersion(options.archive, doc, manifest.version))
        return OSTR_EXIT_FAILURE;
    if (!options.bForce && !doc.GetLayoutReport().IsEmpty()) {
        Report(options.archive + ": its directory does not match its data; saving would rewrite "
                                 "it (use --force)");
        return OSTR_EXIT_FAILURE;
    }
    std::vector<const CFileEntry*> entries;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        entries.push_back(p);
    if (!FolderIsUsable(options.folder, options.bForce) || !CheckEntries(entries, options.jobs))
        return OSTR_EXIT_FAILURE;
    std::error_code error;
    fs::create_directories(options.folder, error);
    if (error) {
        Report("Cannot create " + options.folder + ": " + error.message() + ".");
        return OSTR_EXIT_FAILURE;
    }
    const fs::path folder(options.folder);
    if (!WriteEntries(entries, folder, doc.GetDiskIdentity(), options.jobs, manifest))
        return OSTR_EXIT_FAILURE;
    const std::string text = ManifestText(manifest);
    const std::string path = (folder / MANIFEST_FILE).string();
    return ReportWritten(path,
                         WriteFileQuietly(path, reinterpret_cast<const std::uint8_t*>(text.data()),
                                          text.size(), doc.GetDiskIdentity()))
               ? OSTR_EXIT_OK
               : OSTR_EXIT_FAILURE;
}

// ---- pack

// A path from the manifest for a message: control characters cannot reach
// the terminal.
std::string Shown(std::string path) {
    std::replace_if(
        path.begin(), path.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
    return path;
}

// The whole file at path, or none after a message.
std::optional<ByteBuffer> ReadWhole(const std::string& realPath) {
    const std::string path = Shown(realPath);
    CFile file;
    if (file.OpenForRead(realPath) && file.GetLength() >= IMPORT_SIZE_LIMIT) {
        Report(path + ": it is too large to store (2 GiB or more).");
        return std::nullopt;
    }
    ByteBuffer bytes(file.HasFailed() ? 0 : file.GetLength());
    if (!file.HasFailed() && file.Read(bytes.data(), bytes.size()) == bytes.size())
        return bytes;
    Report("Cannot read " + path + ": " +
           (file.HasFailed() ? file.GetErrorText() : "it changed while being read."));
    return std::nullopt;
}

bool ReadManifest(const fs::path& folder, Manifest& manifest) {
    const std::string path = (folder / MANIFEST_FILE).string();
    const std::optional<ByteBuffer> bytes = ReadWhole(path);
    if (!bytes)
        return false;
    const std::string problem = ParseManifest(std::string(bytes->begin(), bytes->end()), manifest);
    if (!problem.empty())
        Report(path + ": " + problem);
    return problem.empty();
}

// Packs the entry from its file: a sound checked as an import checks it and
// delta-coded. False after a message naming the file.
bool PackEntry(const fs::path& folder, const ManifestEntry& from, CFileEntry& entry) {
    const std::string path = (folder / from.file).string();
    std::optional<ByteBuffer> content = ReadWhole(path);
    if (!content)
        return false;
    if (from.type == ENTRY_SOUND) {
        if (const WaveRefusal* refusal = SoundRefusal(*content); refusal && !from.bNotWave) {
            std::string text = refusal->text;
            std::replace(text.begin(), text.end(), '\n', ' ');
            Report(Shown(path) + ": " + text + ".");
            return false;
        }
        CDeltaEncoder().Encode(content->data(), content->size());
    }
    if (!PackBuffer(content->data(), content->size(), entry.m_data))
        throw std::bad_alloc();
    // Data that does not shrink grows a little when packed; the record's
    // packed size must still hold it.
    if (entry.m_data.size() > LARGEST_OFFSET) {
        Report(Shown(path) + ": packed, it would be too large to store.");
        return false;
    }
    entry.m_type = from.type;
    entry.m_id = from.id;
    entry.m_name = from.name;
    entry.m_size = static_cast<std::int32_t>(content->size());
    entry.m_packedSize = static_cast<std::int32_t>(entry.m_data.size());
    entry.m_offset = 0; // the writer places it
    if (from.bNameOverridden)
        Report(EntryLabel(entry) + ": \"nameBytes\" gives its name; \"name\" is not used.");
    return true;
}

// Packs every entry on up to jobs threads and writes each, in manifest
// order, as soon as its turn comes. False after a message.
bool PackEntries(const fs::path& folder, const Manifest& manifest, unsigned jobs,
                 CArchiveStreamWriter& writer) {
    CTerminalProgress progress("pack", manifest.entries.size());
    return ForEachInOrder<std::optional<CFileEntry>>(
        manifest.entries.size(), jobs,
        [&](std::size_t i) {
            std::optional<CFileEntry> entry(std::in_place);
            if (!PackEntry(folder, manifest.entries[i], *entry))
                entry.reset();
            return entry;
        },
        [&](std::size_t, const std::optional<CFileEntry>& pEntry) {
            if (!pEntry)
                return false;
            const WriteOutcome outcome = writer.Add(*pEntry);
            if (outcome.status == WriteStatus::TooLarge)
                Report("Cannot save this archive\n" + outcome.detail);
            progress.Advance(static_cast<std::uint64_t>(std::max(pEntry->m_size, 0)));
            return outcome.status == WriteStatus::Ok;
        },
        [](std::size_t) { return RUN_COST; });
}

// Writes the archive as new writes one, under its lock and through a
// temporary file, its entries packed on up to jobs threads. False after a
// message.
bool WriteArchiveFile(const PackOptions& options, const Manifest& manifest) {
    if (DataStart(manifest.entries.size()) > LARGEST_OFFSET) {
        Report("Cannot save this archive\nIt would have too many entries for its file "
               "offsets to reach their data.");
        return false;
    }
    CArchiveLock lock;
    if (lock.Acquire(options.archive, options.write.waitSeconds) == CArchiveLock::Status::Busy) {
        Report(InUseMessage(options.archive, lock.GetHolderPid()));
        return false;
    }
    CFile file;
    if (file.OpenForReplace(options.archive)) {
        CArchiveStreamWriter writer(file, static_cast<std::int32_t>(manifest.entries.size()),
                                    manifest.version);
        if (!PackEntries(fs::path(options.folder), manifest, options.jobs, writer) &&
            !file.HasFailed()) {
            file.Abort();
            return false;
        }
        if (writer.Finish().status == WriteStatus::Ok && file.Commit(&lock))
            return true;
    }
    file.Abort();
    Report("Cannot save \"" + options.archive + "\":\n" + file.GetErrorText());
    return false;
}

int RunPack(const PackOptions& options) {
    std::error_code error;
    if (!options.bForce && fs::exists(fs::symlink_status(options.archive, error))) {
        Report("\"" + options.archive + "\" already exists (use --force to replace it).");
        return OSTR_EXIT_FAILURE;
    }
    Manifest manifest;
    return ReadManifest(fs::path(options.folder), manifest) && WriteArchiveFile(options, manifest)
               ? OSTR_EXIT_OK
               : OSTR_EXIT_FAILURE;
}

} // namespace

void AddFolderCommands(CLI::App& app, int& status) {
    auto unpack = std::make_shared<UnpackOptions>();
    CLI::App* cmd = app.add_subcommand(
        "unpack",
        "Write every entry as a file into a folder, with manifest.json to pack it again.");
    cmd->add_option("ARCHIVE", unpack->archive, "Archive to read")->required();
    cmd->add_option("DIR", unpack->folder, "Folder to write into (made if missing; must be empty)")
        ->required();
    cmd->add_flag("-f,--force", unpack->bForce,
                  "Write into a folder that is not empty, or from an archive whose directory "
                  "does not match its data");
    AddJobsOption(*cmd, unpack->jobs);
    cmd->callback(
        [unpack, &status] { status = WithinMemory(RunUnpack, *unpack, OSTR_EXIT_FAILURE); });

    auto pack = std::make_shared<PackOptions>();
    cmd = app.add_subcommand("pack", "Build an archive from a folder that unpack wrote.");
    cmd->add_option("DIR", pack->folder, "Folder holding manifest.json and the files")->required();
    cmd->add_option("ARCHIVE", pack->archive, "Archive to write")->required();
    cmd->add_flag("-f,--force", pack->bForce, "Replace an existing file");
    AddWriteOptions(*cmd, pack->write, false);
    AddJobsOption(*cmd, pack->jobs);
    cmd->callback([pack, &status] { status = WithinMemory(RunPack, *pack, OSTR_EXIT_FAILURE); });
}
