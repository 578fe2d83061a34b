// Property: any file imported as a sound is either refused with exactly one
// of the sound-header messages, leaving the document empty, or stored as one
// sound entry that export writes back byte for byte. A file is refused only
// when its header really lacks a field a sound must have, and stored only
// when it has them all.

#include "FuzzSupport.h"

#include "archive/OstrevaneDoc.h"
#include "transfer/ExportPipeline.h"
#include "transfer/ImportPipeline.h"
#include "transfer/WaveHeader.h"

#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

constexpr std::uint32_t SOUND_ID = 7;

// Every message the header test gives, with its caption.
const SShownMessage HEADER_MESSAGES[] = {
    {"That does not look like a Wave File", "error"},
    {"That does not lok like a Wave File", "error"},
    {"That does not look like a WAVE_FORMAT_PCM file", "error"},
    {"That does not look like a mono wave file", "Error"},
    {"That wave file does not\nhave sample rate 11025", "Error"},
    {"That wave file does not\nhave 8-bit samples", "Error"},
};
const SShownMessage SHORT_MESSAGE = {"Error reading file header", "Error"};

bool operator==(const SShownMessage& a, const SShownMessage& b) {
    return a.text == b.text && a.caption == b.caption;
}

bool IsHeaderMessage(const SShownMessage& message) {
    for (const SShownMessage& known : HEADER_MESSAGES)
        if (message == known)
            return true;
    return false;
}

std::uint32_t Field(const std::uint8_t* p, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= static_cast<std::uint32_t>(p[offset + i]) << (8 * i);
    return value;
}

// 8-bit mono PCM at 11025 samples a second, in a canonical RIFF header.
bool IsStorableSoundHeader(const std::uint8_t* p) {
    return std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WAVEfmt ", 8) == 0 &&
           Field(p, 16, 4) == 16 && Field(p, 20, 2) == 1 && Field(p, 22, 2) == 1 &&
           Field(p, 24, 4) == 11025 && Field(p, 34, 2) == 8;
}

// A folder of this process's own, made once and removed at exit.
class CWorkFolder {
public:
    CWorkFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp && *tmp ? tmp : "/tmp") + "/ostrevane-wave-fuzz.XXXXXX";
        FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
        m_folder = pattern;
        m_input = m_folder + "/input.wav";
        m_output = m_folder + "/output.wav";
    }
    ~CWorkFolder() {
        unlink(m_input.c_str());
        unlink(m_output.c_str());
        rmdir(m_folder.c_str());
    }
    CWorkFolder(const CWorkFolder&) = delete;
    CWorkFolder& operator=(const CWorkFolder&) = delete;

    const std::string& Input() const { return m_input; }
    const std::string& Output() const { return m_output; }

private:
    std::string m_folder;
    std::string m_input;
    std::string m_output;
};

const CWorkFolder& Folder() {
    static const CWorkFolder folder;
    return folder;
}

void WriteFile(const std::string& path, const CExactBytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    FUZZ_CHECK(file.good());
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    FUZZ_CHECK(file.good());
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void CheckRefused(const CExactBytes& input, const CMessageRecorder& recorder,
                  const COstrevaneDoc& doc) {
    FUZZ_CHECK(doc.m_pHead == nullptr);
    FUZZ_CHECK(recorder.Messages().size() == 1);
    const SShownMessage& message = recorder.Messages().front();
    if (input.size() < WAVE_HEADER_SIZE) {
        FUZZ_CHECK(message == SHORT_MESSAGE);
        return;
    }
    FUZZ_CHECK(IsHeaderMessage(message));
    FUZZ_CHECK(!IsStorableSoundHeader(input.data()));
}

void CheckStored(const CExactBytes& input, const CMessageRecorder& recorder,
                 const COstrevaneDoc& doc) {
    FUZZ_CHECK(recorder.Messages().empty());
    FUZZ_CHECK(input.size() >= WAVE_HEADER_SIZE && IsStorableSoundHeader(input.data()));
    const CFileEntry* pEntry = doc.m_pHead;
    FUZZ_CHECK(pEntry != nullptr && pEntry->m_pNext == nullptr);
    FUZZ_CHECK(pEntry->m_type == ENTRY_SOUND);
    FUZZ_CHECK(pEntry->m_id == static_cast<std::int32_t>(SOUND_ID));
    FUZZ_CHECK(pEntry->m_size == static_cast<std::int32_t>(input.size()));
    FUZZ_CHECK(pEntry->m_packedSize == static_cast<std::int32_t>(pEntry->m_data.size()));

    const std::string& output = Folder().Output();
    unlink(output.c_str());
    CMessageRecorder exportRecorder;
    FUZZ_CHECK(ExportEntry(*pEntry, output, nullptr) == ExportResult::Exported);
    // The only message export may show on success is its notice of long strings.
    for (const SShownMessage& message : exportRecorder.Messages())
        FUZZ_CHECK(message.text == "NotImplemented");
    FUZZ_CHECK(ReadFile(output) == input.ToVector());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CExactBytes input(data, size);
    WriteFile(Folder().Input(), input);

    COstrevaneDoc doc;
    ImportRequest request{Folder().Input(), ENTRY_SOUND, SOUND_ID, "fuzzed sound", {}};
    CMessageRecorder recorder;
    const ImportResult result = ImportFile(doc, request, nullptr);
    FUZZ_CHECK(result == ImportResult::Imported || result == ImportResult::Refused);
    if (result == ImportResult::Refused)
        CheckRefused(input, recorder, doc);
    else
        CheckStored(input, recorder, doc);
    return 0;
}
