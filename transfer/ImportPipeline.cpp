#include "transfer/ImportPipeline.h"

#include "archive/OstrevaneDoc.h"
#include "codec/WordSink.h"
#include "platform/File.h"
#include "platform/MessageBox.h"
#include "transfer/DeltaCoding.h"
#include "transfer/EntryPacking.h"
#include "transfer/WaveHeader.h"

#include <new>

namespace {

constexpr std::size_t BLOCK_SIZE = 1000;

enum class Stage { Done, Failed, Cancelled };

struct ImportJob {
    COstrevaneDoc& doc;
    const ImportRequest& request;
    void* pOwner;
    CFile file;
    CFileEntry entry;

    void Say(const char* text, const char* caption) { MessageBox(pOwner, text, caption, MB_OK); }
};

bool IsStoredAsItIs(std::int32_t type) {
    return type == ENTRY_VIEWPORT_OVERLAY || type == ENTRY_PORTRAIT || type == ENTRY_BACKGROUNDS;
}

// Tests the sound header, then leaves the file at its start again.
bool CheckSoundHeader(ImportJob& job) {
    std::uint8_t header[WAVE_HEADER_SIZE];
    if (job.file.Read(header, sizeof header) != sizeof header) {
        job.Say(ShortWaveHeader().text, ShortWaveHeader().caption);
        return false;
    }
    if (const WaveRefusal* refusal = CheckWaveHeader(header)) {
        job.Say(refusal->text, refusal->caption);
        return false;
    }
    if (!job.file.SeekToBegin()) {
        job.Say("Cannot read that file", "error");
        return false;
    }
    return true;
}

// Reads the file in blocks, delta-coding sounds, and packs it into the entry.
Stage ReadAndPack(ImportJob& job) {
    CWordSinkLease sink;
    CPacker packer(AppendWord);
    packer.ExpectBytes(job.file.GetLength()); // so that blocks pack as fast as the whole
    CDeltaEncoder delta;
    std::uint8_t block[BLOCK_SIZE];
    std::uint64_t total = 0;
    const bool bSound = job.request.type == ENTRY_SOUND;
    while (const std::size_t n = job.file.Read(block, sizeof block)) {
        if (bSound)
            delta.Encode(block, n);
        packer.Write(block, static_cast<std::int32_t>(n));
        total += n;
        if (total >= IMPORT_SIZE_LIMIT) {
            job.Say("That file is too large to import", "error");
            return Stage::Failed;
        }
        if (job.request.progress && total % PROGRESS_STEP < n &&
            !job.request.progress(total, job.file.GetLength()))
            return Stage::Cancelled;
    }
    if (job.file.HasFailed()) {
        job.Say("Cannot read that file", "error");
        return Stage::Failed;
    }
    packer.Finish();
    if (!sink.TakeStream(packer, job.entry.m_data)) {
        job.Say("There is not enough memory to import that file", "error");
        return Stage::Failed;
    }
    job.entry.m_size = static_cast<std::int32_t>(total);
    job.entry.m_packedSize = static_cast<std::int32_t>(job.entry.m_data.size());
    return Stage::Done;
}

// Asks before replacing; returns false when the user says No.
bool ConfirmReplace(ImportJob& job, CFileEntry*& pReplaced) {
    pReplaced = job.doc.FindEntry(job.request.type, static_cast<std::int32_t>(job.request.id));
    return !pReplaced ||
           MessageBox(job.pOwner, "That ID is being used already\nDo you want us to replace it?",
                      "Are you sure", MB_YESNO | MB_TASKMODAL) == IDYES;
}

ImportResult RunImport(ImportJob& job) {
    if (!job.file.OpenForRead(job.request.path)) {
        const bool bSpecial = job.file.GetError() == FILE_ERROR_NOT_REGULAR;
        job.Say(bSpecial ? "That is not a regular file" : "Cannot open that file", "error");
        return ImportResult::Refused;
    }
    if (job.file.GetLength() >= IMPORT_SIZE_LIMIT) {
        job.Say("That file is too large to import", "error");
        return ImportResult::Refused;
    }
    CFileEntry* pReplaced = nullptr;
    if (!ConfirmReplace(job, pReplaced))
        return ImportResult::Declined;
    job.entry.m_name = MakeEntryName(job.request.name);
    job.entry.m_size = 0;
    if (!IsStoredAsItIs(job.request.type) && job.request.type != ENTRY_SOUND) {
        job.Say("Internal Error", "Fatal Error");
        return ImportResult::Refused;
    }
    if (job.request.type == ENTRY_SOUND && !CheckSoundHeader(job))
        return ImportResult::Refused;
    const Stage stage = ReadAndPack(job);
    if (stage != Stage::Done)
        return stage == Stage::Cancelled ? ImportResult::Cancelled : ImportResult::Refused;
    job.entry.m_type = job.request.type;
    job.entry.m_id = static_cast<std::int32_t>(job.request.id);
    if (pReplaced)
        job.doc.RemoveEntry(pReplaced);
    job.doc.AddEntry(std::move(job.entry));
    return ImportResult::Imported;
}

} // namespace

ImportResult ImportFile(COstrevaneDoc& doc, const ImportRequest& request, void* pOwner) {
    ImportJob job{doc, request, pOwner, {}, {}};
    try {
        return RunImport(job);
    } catch (const std::bad_alloc&) {
        job.Say("There is not enough memory to import that file", "error");
        return ImportResult::Refused;
    }
}
