// Property: any bytes opened as an archive either load, with no message, or
// are refused with exactly one message: the wrong-magic one when the bytes do
// not begin with "Ostr", otherwise the damaged-file one with its reason. No
// input crashes the reader or makes it allocate more than the file can hold.
// A loaded archive holds the payloads that follow its directory back to
// back; written back, it loads again as the same entries (records and data),
// and writing that gives the same bytes once more.

#include "FuzzSupport.h"

#include "archive/OstrevaneDoc.h"
#include "platform/Archive.h"
#include "platform/MemFile.h"

#include <algorithm>
#include <span>

namespace {

const std::string WRONG_MAGIC_TEXT = "That does not look like a Ostrevane file";
const std::string DAMAGED_TEXT = "That Ostrevane file is damaged\n";

struct SEntryCopy {
    CEntryRecord record;
    std::vector<std::uint8_t> data;

    bool operator==(const SEntryCopy& other) const {
        return record.m_type == other.record.m_type && record.m_id == other.record.m_id &&
               record.m_packedSize == other.record.m_packedSize &&
               record.m_size == other.record.m_size && record.m_offset == other.record.m_offset &&
               record.m_name == other.record.m_name && data == other.data;
    }
};

std::vector<SEntryCopy> CopyEntries(const COstrevaneDoc& doc) {
    std::vector<SEntryCopy> entries;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        entries.push_back({p->Record(), {p->m_data.begin(), p->m_data.end()}});
    return entries;
}

struct SLoadResult {
    bool bLoaded;
    std::vector<SShownMessage> messages;
};

SLoadResult Load(COstrevaneDoc& doc, std::span<const std::uint8_t> bytes) {
    CMessageRecorder recorder;
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    doc.Serialize(ar);
    return {!ar.IsRefused(), recorder.Messages()};
}

std::vector<std::uint8_t> Store(COstrevaneDoc& doc) {
    CMessageRecorder recorder;
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    doc.Serialize(ar);
    FUZZ_CHECK(!ar.IsRefused());
    FUZZ_CHECK(recorder.Messages().empty());
    return file.GetWritten();
}

void CheckRefusal(const CExactBytes& input, const SLoadResult& result, const COstrevaneDoc& doc) {
    FUZZ_CHECK(result.messages.size() == 1);
    FUZZ_CHECK(doc.m_pHead == nullptr);
    const SShownMessage& message = result.messages.front();
    FUZZ_CHECK(message.caption == "Error");
    const bool bMagic = input.size() >= ARCHIVE_MAGIC.size() &&
                        std::memcmp(input.data(), ARCHIVE_MAGIC.data(), ARCHIVE_MAGIC.size()) == 0;
    if (!bMagic) {
        FUZZ_CHECK(message.text == WRONG_MAGIC_TEXT);
        return;
    }
    FUZZ_CHECK(message.text.size() > DAMAGED_TEXT.size());
    FUZZ_CHECK(message.text.compare(0, DAMAGED_TEXT.size(), DAMAGED_TEXT) == 0);
}

// The payloads are the bytes after the directory, one after another.
void CheckPayloadsFromFile(const CExactBytes& input, const std::vector<SEntryCopy>& entries) {
    FUZZ_CHECK(input.size() >= ARCHIVE_MAGIC.size() &&
               std::memcmp(input.data(), ARCHIVE_MAGIC.data(), ARCHIVE_MAGIC.size()) == 0);
    std::size_t position = DataStart(entries.size());
    FUZZ_CHECK(entries.empty() || position <= input.size());
    for (const SEntryCopy& entry : entries) {
        FUZZ_CHECK(entry.record.m_packedSize >= 0);
        FUZZ_CHECK(entry.data.size() == static_cast<std::size_t>(entry.record.m_packedSize));
        FUZZ_CHECK(entry.data.size() <= input.size() - position);
        FUZZ_CHECK(entry.data.empty() ||
                   std::memcmp(entry.data.data(), input.data() + position, entry.data.size()) == 0);
        position += entry.data.size();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CExactBytes input(data, size);

    COstrevaneDoc doc;
    CAllocationWatch watch;
    const SLoadResult first = Load(doc, {input.data(), input.size()});
    watch.Stop();
    if (CAllocationWatch::Available()) {
        // Records, entry nodes and payloads all come from the file's bytes:
        // the payloads in one block no larger than the file, the entries in
        // one block of an entry object per record the file holds. The slack
        // covers the message and other small fixed costs.
        const std::size_t entryBlock = size / ENTRY_RECORD_SIZE * sizeof(CFileEntry) + 64;
        FUZZ_CHECK(watch.Largest() <= std::max(size, entryBlock) + 4096);
        FUZZ_CHECK(watch.Total() <= 8 * size + 65536);
    }
    if (!first.bLoaded) {
        CheckRefusal(input, first, doc);
        return 0;
    }
    FUZZ_CHECK(first.messages.empty());
    const std::vector<SEntryCopy> loaded = CopyEntries(doc);
    CheckPayloadsFromFile(input, loaded);

    const std::vector<std::uint8_t> written = Store(doc);
    const CExactBytes writtenCopy(written.data(), written.size());
    COstrevaneDoc again;
    const SLoadResult second = Load(again, {writtenCopy.data(), writtenCopy.size()});
    FUZZ_CHECK(second.bLoaded);
    FUZZ_CHECK(second.messages.empty());
    FUZZ_CHECK(CopyEntries(again) == loaded);
    FUZZ_CHECK(Store(again) == written);
    return 0;
}
