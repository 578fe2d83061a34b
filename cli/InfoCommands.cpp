#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "cli/TextOutput.h"
#include "platform/MessageBox.h"
#include "platform/NumberText.h"
#include "transfer/ContentInfo.h"
#include "transfer/ExportPipeline.h"

#include <cstdio>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>

namespace {

// More columns than any screen or plot has; the list takes two bytes each.
constexpr std::uint32_t MAX_COLUMNS = 1000000;

// The captions and texts export shows for an entry it cannot unpack, so that
// a script sees the same failure from info and waveform as from extract.
constexpr const char* UNPACK_CAPTION = "error";
constexpr const char* DAMAGED_TEXT = "That entry's data is damaged";
constexpr const char* NO_MEMORY_TEXT = "There is not enough memory to unpack that entry";

struct InfoOptions {
    std::string archive;
    std::string entry;
    bool bJson = false;
};

struct WaveformOptions {
    std::string archive;
    std::string entry;
    std::uint32_t columns = 0;
    bool bJson = false;
};

void ReportNoMemory() {
    MessageBox(nullptr, NO_MEMORY_TEXT, UNPACK_CAPTION);
}

// The addressed entry's content, as extract would write it, and the address
// as messages name it. False after a message.
bool LoadContent(const std::string& archive, const std::string& address, ByteBuffer& content,
                 std::string& name) {
    COstrevaneDoc doc;
    if (!OpenArchive(doc, archive))
        return false;
    const CFileEntry* pEntry = FindAddressedEntry(doc, address);
    if (!pEntry)
        return false;
    name = FormatAddress(pEntry->m_type, pEntry->m_id);
    const UnpackStatus status = UnpackContent(*pEntry, content);
    if (status == UnpackStatus::Ok)
        return true;
    if (status == UnpackStatus::OutOfMemory)
        ReportNoMemory();
    else // Cancelled cannot happen: there is no progress callback
        MessageBox(nullptr, DAMAGED_TEXT, UNPACK_CAPTION);
    return false;
}

nlohmann::ordered_json InfoJson(const SContentInfo& info) {
    nlohmann::ordered_json json = {{"kind", ContentKindName(info.kind)}};
    if (info.kind == ContentKind::Picture) {
        json["width"] = info.picture.width;
        json["height"] = info.picture.height;
        json["bitsPerPixel"] = info.picture.bitsPerPixel;
    } else if (info.kind == ContentKind::Sound) {
        json["sampleRate"] = info.sound.sampleRate;
        json["channels"] = info.sound.channels;
        json["bitsPerSample"] = info.sound.bitsPerSample;
        json["samples"] = info.sound.samples;
        json["durationMs"] = info.sound.durationMs;
    }
    json["size"] = info.size;
    return json;
}

// The text form is the JSON object's members as "key: value" lines, in the
// same order.
void PrintInfoText(const nlohmann::ordered_json& json) {
    std::string out;
    for (const auto& [key, value] : json.items())
        out += key + ": " + (value.is_string() ? value.get<std::string>() : value.dump()) + "\n";
    WriteOut(out);
}

int RunInfo(const InfoOptions& options) {
    ByteBuffer content;
    std::string name;
    if (!LoadContent(options.archive, options.entry, content, name))
        return OSTR_EXIT_FAILURE;
    const nlohmann::ordered_json json =
        InfoJson(ClassifyContent(std::span(content.data(), content.size())));
    if (options.bJson)
        std::printf("%s\n", json.dump(2).c_str());
    else
        PrintInfoText(json);
    return OSTR_EXIT_OK;
}

bool IsEightBitMono(const SContentInfo& info) {
    return info.kind == ContentKind::Sound && info.sound.channels == 1 &&
           info.sound.bitsPerSample == 8;
}

// "a picture", "data", "a 16-bit sound in 2 channels".
std::string Described(const SContentInfo& info) {
    switch (info.kind) {
    case ContentKind::Picture:
        return "a picture";
    case ContentKind::Sound:
        return "a " + std::to_string(info.sound.bitsPerSample) + "-bit sound in " +
               std::to_string(info.sound.channels) +
               (info.sound.channels == 1 ? " channel" : " channels");
    case ContentKind::Data:
        break;
    }
    return "data";
}

// One pair a line, so that a long waveform stays readable and diffable.
void PrintWaveform(const std::vector<WaveColumn>& columns, bool bJson) {
    std::string out = bJson ? "[" : "";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::string low = std::to_string(columns[i].first);
        const std::string high = std::to_string(columns[i].second);
        if (bJson)
            out += (i == 0 ? "\n  [" : ",\n  [") + low + ", " + high + "]";
        else
            out += low + " " + high + "\n";
        if (out.size() >= 1 << 16) {
            WriteOut(out);
            out.clear();
        }
    }
    if (bJson)
        out += columns.empty() ? "]\n" : "\n]\n";
    WriteOut(out);
}

int RunWaveform(const WaveformOptions& options) {
    ByteBuffer content;
    std::string name;
    if (!LoadContent(options.archive, options.entry, content, name))
        return OSTR_EXIT_FAILURE;
    const SContentInfo info = ClassifyContent(std::span(content.data(), content.size()));
    if (!IsEightBitMono(info)) {
        MessageBox(nullptr, name + " is " + Described(info) + ", not an 8-bit mono sound.",
                   GetAppTitle());
        return OSTR_EXIT_FAILURE;
    }
    const auto samples = std::span(content.data() + info.sound.dataOffset, info.sound.dataBytes);
    PrintWaveform(SummarizeWaveform(samples, options.columns), options.bJson);
    return OSTR_EXIT_OK;
}

// A whole number of columns, given to the option as its plain digits.
CLI::Validator ColumnsValidator() {
    return CLI::Validator(
        [](std::string& text) {
            const auto columns = ParseUnsigned32(text);
            if (!columns || *columns == 0 || *columns > MAX_COLUMNS)
                return "W must be a whole number from 1 to " + std::to_string(MAX_COLUMNS);
            text = std::to_string(*columns);
            return std::string();
        },
        "");
}

// The whole verb, with running out of memory anywhere reported as unpacking
// does.
template <class Run, class Options>
int RunWithinMemory(Run run, const Options& options) {
    try {
        return run(options);
    } catch (const std::bad_alloc&) {
        ReportNoMemory();
        return OSTR_EXIT_FAILURE;
    }
}

} // namespace

void AddInfoCommands(CLI::App& app, int& status) {
    auto info = std::make_shared<InfoOptions>();
    CLI::App* cmd = app.add_subcommand("info", "Say what an entry's content is: picture, sound "
                                               "or data, with its size and format.");
    cmd->add_option("ARCHIVE", info->archive, "Archive to read")->required();
    cmd->add_option("ENTRY", info->entry, "The entry, as TYPE:ID")
        ->required()
        ->check(EntryValidator());
    cmd->add_flag("--json", info->bJson, "Print a JSON object instead of lines");
    cmd->footer("Prints \"key: value\" lines, or with --json one object with the same keys in\n"
                "the same order: kind (picture, sound or data); for a picture width, height\n"
                "and bitsPerPixel; for a sound sampleRate, channels, bitsPerSample, samples\n"
                "(sample frames) and durationMs; then size (the content's bytes, as extract\n"
                "writes them).");
    cmd->callback([info, &status] { status = RunWithinMemory(RunInfo, *info); });

    auto wave = std::make_shared<WaveformOptions>();
    cmd = app.add_subcommand("waveform", "Summarize an 8-bit mono sound's samples in columns.");
    cmd->add_option("ARCHIVE", wave->archive, "Archive to read")->required();
    cmd->add_option("ENTRY", wave->entry, "The entry, as TYPE:ID")
        ->required()
        ->check(EntryValidator());
    cmd->add_option("--columns", wave->columns, "Number of columns, 1 to 1000000")
        ->required()
        ->check(ColumnsValidator())
        ->type_name("W");
    cmd->add_flag("--json", wave->bJson, "Print a JSON array instead of lines");
    cmd->footer("For each of W columns, the lowest and highest raw sample value (0-255) among\n"
                "the samples it covers: \"min max\" lines, or with --json a bare array of\n"
                "[min, max] arrays. With fewer samples than columns a sample spans several\n"
                "columns; a sound without samples gives no lines ([] with --json).");
    cmd->callback([wave, &status] { status = RunWithinMemory(RunWaveform, *wave); });
}
