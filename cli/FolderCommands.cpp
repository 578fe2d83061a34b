// unpack and pack: an archive as a folder of files and a manifest, and
// back; diff: what changed between two archives.

#include "archive/ArchiveWriter.h"
#include "archive/EntryText.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "cli/Manifest.h"
#include "cli/TerminalProgress.h"
#include "cli/TextOutput.h"
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
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const MANIFEST_FILE = "manifest.json";

struct UnpackOptions {
    std::string archive;
    std::string folder;
    bool bForce = false;
};

struct PackOptions {
    std::string folder;
    std::string archive;
    bool bForce = false;
    WriteOptions write;
};

struct DiffOptions {
    std::string a;
    std::string b;
    bool bJson = false;
};

void Report(const std::string& text) {
    MessageBox(nullptr, text, GetAppTitle());
}

// sound:7 "Bell", as messages name an entry.
std::string EntryLabel(const CFileEntry& entry) {
    return FormatAddress(entry.m_type, entry.m_id) + " \"" +
           PrintableName(EntryDisplayName(entry.m_name)) + "\"";
}

// Reports an entry that cannot be unpacked as check does; false for one.
bool Unpacked(const CFileEntry& entry, UnpackStatus status, const std::string& where = {}) {
    if (status == UnpackStatus::Ok)
        return true;
    Report(where + "Entry " + EntryLabel(entry) + ": " +
           (status == UnpackStatus::OutOfMemory ? "there is not enough memory to unpack it"
                                                : "its data is damaged") +
           ".");
    return false;
}

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

// Unpacks every entry, reporting those that cannot be unpacked, and warns of
// each whose packed data is not what pack would make of its content. A
// sound's stored bytes are its delta code, which pack recomputes exactly from
// the content, so they are packed again as they are. False when any entry
// could not be unpacked.
bool CheckEntries(const COstrevaneDoc& doc) {
    bool bAllUnpacked = true;
    CTerminalProgress progress("unpack: checking", static_cast<std::uint64_t>(doc.CountEntries()));
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        ByteBuffer data;
        const UnpackStatus status = UnpackEntryData(*p, data);
        progress.Advance(data.size());
        if (!Unpacked(*p, status)) {
            bAllUnpacked = false;
            continue;
        }
        PackedData repacked;
        if (!PackBuffer(data.data(), data.size(), repacked))
            throw std::bad_alloc();
        if (!(repacked == p->m_data))
            Report(EntryLabel(*p) +
                   ": its stored data is not what this program would write; pack will repack it");
    }
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
// only. False after a message.
bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size,
               const FileIdentity& archive) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && IdentityOf(st).IsSameFile(archive)) {
        Report("Cannot write " + path + ": it is the archive being read.");
        return false;
    }
    CFile file;
    if (file.OpenForReplace(path, false) && file.Write(data, size) && file.Commit()) {
        ClearProgressLine();
        std::printf("%s\n", path.c_str());
        return true;
    }
    file.Abort();
    Report("Cannot write " + path + ": " + file.GetErrorText());
    return false;
}

bool WriteEntries(const COstrevaneDoc& doc, const fs::path& folder, Manifest& manifest) {
    CExportFileNames names;
    std::set<std::pair<std::int32_t, std::int32_t>> seen;
    CTerminalProgress progress("unpack", static_cast<std::uint64_t>(doc.CountEntries()));
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        progress.Advance(static_cast<std::uint64_t>(std::max(p->m_size, 0)));
        ManifestEntry entry{p->m_type, p->m_id, p->m_name, names.NameFor(*p)};
        ByteBuffer content;
        if (!Unpacked(*p, UnpackContent(*p, content)) ||
            !WriteFile((folder / entry.file).string(), content.data(), content.size(),
                       doc.GetDiskIdentity()))
            return false;
        entry.bDuplicate = !seen.insert({p->m_type, p->m_id}).second;
        entry.bNotWave = p->m_type == ENTRY_SOUND && SoundRefusal(content);
        manifest.entries.push_back(std::move(entry));
    }
    return true;
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
    if (!FolderIsUsable(options.folder, options.bForce) || !CheckEntries(doc))
        return OSTR_EXIT_FAILURE;
    std::error_code error;
    fs::create_directories(options.folder, error);
    if (error) {
        Report("Cannot create " + options.folder + ": " + error.message() + ".");
        return OSTR_EXIT_FAILURE;
    }
    const fs::path folder(options.folder);
    if (!WriteEntries(doc, folder, manifest))
        return OSTR_EXIT_FAILURE;
    const std::string text = ManifestText(manifest);
    return WriteFile((folder / MANIFEST_FILE).string(),
                     reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                     doc.GetDiskIdentity())
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
    if (from.bNameOverridden)
        Report(EntryLabel(entry) + ": \"nameBytes\" gives its name; \"name\" is not used.");
    return true;
}

// Every entry in manifest order, its data laid out back to back, in doc
// (which owns each entry as soon as it is made). False after a message.
bool PackEntries(const fs::path& folder, const Manifest& manifest, COstrevaneDoc& doc) {
    std::uint64_t offset = DataStart(manifest.entries.size());
    CFileEntry* pLast = nullptr;
    CTerminalProgress progress("pack", manifest.entries.size());
    for (const ManifestEntry& from : manifest.entries) {
        auto* pEntry = new CFileEntry;
        if (pLast) {
            pLast->m_pNext = pEntry;
            pEntry->m_pPrev = pLast;
        } else {
            doc.AdoptEntries(pEntry);
        }
        pLast = pEntry;
        if (!PackEntry(folder, from, *pEntry))
            return false;
        // Past the largest offset the writer refuses the archive, before
        // writing anything.
        pEntry->m_offset = static_cast<std::int32_t>(std::min(offset, LARGEST_OFFSET));
        offset += pEntry->m_data.size();
        progress.Advance(static_cast<std::uint64_t>(std::max(pEntry->m_size, 0)));
    }
    return true;
}

// As new writes an archive: under its lock, through a temporary file.
bool WriteArchiveFile(const std::string& path, const COstrevaneDoc& doc, std::int32_t version,
                      double waitSeconds) {
    CArchiveLock lock;
    if (lock.Acquire(path, waitSeconds) == CArchiveLock::Status::Busy) {
        Report(InUseMessage(path, lock.GetHolderPid()));
        return false;
    }
    CFile file;
    if (file.OpenForReplace(path)) {
        const WriteOutcome outcome = WriteArchive(file, doc, {}, version);
        if (outcome.status == WriteStatus::TooLarge) {
            file.Abort();
            Report("Cannot save this archive\n" + outcome.detail);
            return false;
        }
        if (outcome.status == WriteStatus::Ok && !file.HasFailed() && file.Commit(&lock))
            return true;
    }
    file.Abort();
    Report("Cannot save \"" + path + "\":\n" + file.GetErrorText());
    return false;
}

int RunPack(const PackOptions& options) {
    std::error_code error;
    if (!options.bForce && fs::exists(fs::symlink_status(options.archive, error))) {
        Report("\"" + options.archive + "\" already exists (use --force to replace it).");
        return OSTR_EXIT_FAILURE;
    }
    const fs::path folder(options.folder);
    Manifest manifest;
    COstrevaneDoc doc;
    return ReadManifest(folder, manifest) && PackEntries(folder, manifest, doc) &&
                   WriteArchiveFile(options.archive, doc, manifest.version,
                                    options.write.waitSeconds)
               ? OSTR_EXIT_OK
               : OSTR_EXIT_FAILURE;
}

// ---- diff

using Address = std::pair<std::int32_t, std::int32_t>;

// An archive with its first entry of each type and ID.
struct DiffSide {
    std::string path;
    COstrevaneDoc doc;
    std::map<Address, const CFileEntry*> entries;
};

bool LoadSide(DiffSide& side) {
    if (!OpenArchive(side.doc, side.path))
        return false;
    std::set<Address> repeated;
    for (const CFileEntry* p = side.doc.m_pHead; p; p = p->m_pNext)
        if (!side.entries.emplace(Address{p->m_type, p->m_id}, p).second &&
            repeated.insert({p->m_type, p->m_id}).second)
            Report(side.path + ": " + FormatAddress(p->m_type, p->m_id) +
                   " appears more than once; the first is compared.");
    return true;
}

enum class Sameness { Same, Different, Unreadable };

// Compares the entries' content, unpacking only when their packed data
// differs; an entry that cannot be unpacked is reported as check reports it.
Sameness CompareContent(const DiffSide& a, const CFileEntry& x, const DiffSide& b,
                        const CFileEntry& y) {
    if (x.m_size != y.m_size)
        return Sameness::Different;
    if (x.m_data == y.m_data)
        return Sameness::Same;
    ByteBuffer left, right;
    if (!Unpacked(x, UnpackEntryData(x, left), a.path + ": ") ||
        !Unpacked(y, UnpackEntryData(y, right), b.path + ": "))
        return Sameness::Unreadable;
    return left == right ? Sameness::Same : Sameness::Different;
}

struct DiffOutput {
    std::string text;
    nlohmann::ordered_json json = {{"onlyInA", nlohmann::ordered_json::array()},
                                   {"onlyInB", nlohmann::ordered_json::array()},
                                   {"changed", nlohmann::ordered_json::array()},
                                   {"renamed", nlohmann::ordered_json::array()}};

    void Add(const char* list, char mark, const CFileEntry& entry, const std::string& tail = {}) {
        text += std::string(1, mark) + " " + std::to_string(entry.m_type) + ":" +
                std::to_string(entry.m_id) + " " + PrintableName(EntryDisplayName(entry.m_name)) +
                tail + "\n";
        json[list].push_back({{"type", entry.m_type},
                              {"id", entry.m_id},
                              {"name", Latin1ToUtf8(EntryDisplayName(entry.m_name))}});
    }
};

// Adds the lines for an entry in both archives; false when one of them
// cannot be unpacked.
bool DiffBoth(const DiffSide& a, const CFileEntry& x, const DiffSide& b, const CFileEntry& y,
              DiffOutput& out) {
    const Sameness content = CompareContent(a, x, b, y);
    if (content == Sameness::Unreadable)
        return false;
    if (content == Sameness::Different) {
        out.Add("changed", '~', x,
                " (content " + std::to_string(x.m_size) + " -> " + std::to_string(y.m_size) +
                    " bytes)");
        out.json["changed"].back()["sizeA"] = x.m_size;
        out.json["changed"].back()["sizeB"] = y.m_size;
    }
    if (x.m_name != y.m_name) {
        const std::string newName = EntryDisplayName(y.m_name);
        out.Add("renamed", 'r', x, " -> " + PrintableName(newName));
        auto& renamed = out.json["renamed"].back();
        renamed["nameB"] = Latin1ToUtf8(newName);
    }
    return true;
}

int RunDiff(const DiffOptions& options) {
    DiffSide a{options.a, {}, {}}, b{options.b, {}, {}};
    if (!LoadSide(a) || !LoadSide(b))
        return OSTR_EXIT_USAGE;
    DiffOutput out;
    auto x = a.entries.begin(), y = b.entries.begin();
    CTerminalProgress progress("diff", a.entries.size() + b.entries.size());
    while (x != a.entries.end() || y != b.entries.end()) {
        progress.Advance(0);
        if (y == b.entries.end() || (x != a.entries.end() && x->first < y->first))
            out.Add("onlyInA", '-', *(x++)->second);
        else if (x == a.entries.end() || y->first < x->first)
            out.Add("onlyInB", '+', *(y++)->second);
        else if (!DiffBoth(a, *(x++)->second, b, *(y++)->second, out))
            return OSTR_EXIT_USAGE;
    }
    if (options.bJson)
        std::printf("%s\n", out.json.dump(2).c_str());
    else
        WriteOut(out.text);
    return out.text.empty() ? OSTR_EXIT_OK : OSTR_EXIT_FAILURE;
}

// The whole verb, with running out of memory anywhere reported.
template <class Options>
int WithinMemory(int (*run)(const Options&), const Options& options, int failure) {
    try {
        return run(options);
    } catch (const std::bad_alloc&) {
        Report("There is not enough memory for that.");
        return failure;
    }
}

// The details of diff's output, shown after its options.
const char* const DIFF_HELP =
    "Lines: \"- T:ID NAME\" only in A, \"+ T:ID NAME\" only in B, \"~ T:ID NAME (content X -> Y "
    "bytes)\"\nfor different content (unpacked, so repacking is no change), \"r T:ID OLD -> NEW\" "
    "for a new name.\n--json prints {\"onlyInA\": [E...], \"onlyInB\": [E...], \"changed\": "
    "[E + sizeA, sizeB], \"renamed\": [E + nameB]}\nwhere E is {\"type\", \"id\", \"name\"} "
    "(the name in A). Exit status: 0 the same, 1 different, 2 trouble.";

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
    cmd->callback(
        [unpack, &status] { status = WithinMemory(RunUnpack, *unpack, OSTR_EXIT_FAILURE); });

    auto pack = std::make_shared<PackOptions>();
    cmd = app.add_subcommand("pack", "Build an archive from a folder that unpack wrote.");
    cmd->add_option("DIR", pack->folder, "Folder holding manifest.json and the files")->required();
    cmd->add_option("ARCHIVE", pack->archive, "Archive to write")->required();
    cmd->add_flag("-f,--force", pack->bForce, "Replace an existing file");
    AddWriteOptions(*cmd, pack->write, false);
    cmd->callback([pack, &status] { status = WithinMemory(RunPack, *pack, OSTR_EXIT_FAILURE); });

    auto diff = std::make_shared<DiffOptions>();
    cmd = app.add_subcommand("diff", "Compare two archives entry by entry, by type and ID.");
    cmd->footer(DIFF_HELP);
    cmd->add_option("A", diff->a, "Archive to compare from")->required();
    cmd->add_option("B", diff->b, "Archive to compare with")->required();
    cmd->add_flag("--json", diff->bJson, "Print a JSON object of four lists");
    cmd->callback([diff, &status] { status = WithinMemory(RunDiff, *diff, OSTR_EXIT_USAGE); });
}
