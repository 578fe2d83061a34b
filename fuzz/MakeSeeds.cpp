// Writes the seed inputs of the fuzz targets into <folder>/<target>/: valid
// and damaged archives, packed streams made by the packer with the prefix
// the unpacker target reads, inputs for the round trip in both modes, sound
// files with good and bad headers, and contents for the classifier: bitmaps
// of each header kind, waves of two formats and one whose data size lies,
// and junk. Every file stays under 4 KiB.
//
// Usage: fuzz_make_seeds <corpus folder>

#include "archive/ArchiveWriter.h"
#include "archive/OstrevaneDoc.h"
#include "codec/Packer.h"
#include "codec/WordSink.h"
#include "platform/ByteOrder.h"
#include "platform/MemFile.h"
#include "transfer/EntryPacking.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

using Bytes = std::vector<std::uint8_t>;

fs::path g_root;
bool g_bFailed = false;

void Save(const std::string& target, const std::string& name, const Bytes& bytes) {
    const fs::path folder = g_root / target;
    fs::create_directories(folder);
    if (bytes.size() >= 4096) {
        std::fprintf(stderr, "%s/%s would be %zu bytes\n", target.c_str(), name.c_str(),
                     bytes.size());
        g_bFailed = true;
        return;
    }
    std::ofstream file(folder / name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        std::fprintf(stderr, "cannot write %s/%s\n", target.c_str(), name.c_str());
        g_bFailed = true;
    }
}

void PutLittleEndian(Bytes& out, std::uint32_t value) {
    AppendLittleEndian32(out, value);
}

void PutLittleEndian16(Bytes& out, std::uint16_t value) {
    AppendLittleEndian16(out, value);
}

void PutText(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

Bytes Text(std::string_view text) {
    return {text.begin(), text.end()};
}

// Bytes that look like noise but are the same on every run.
Bytes Noise(std::size_t size, std::uint32_t state) {
    Bytes out;
    for (std::size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        out.push_back(static_cast<std::uint8_t>(state));
    }
    return out;
}

Bytes Pack(const Bytes& content) {
    PackedData stream;
    if (!PackBuffer(content.data(), content.size(), stream)) {
        std::fprintf(stderr, "packing failed\n");
        g_bFailed = true;
    }
    return {stream.begin(), stream.end()};
}

void AddEntry(COstrevaneDoc& doc, std::int32_t type, std::int32_t id, std::string_view name,
              const Bytes& content) {
    CFileEntry entry;
    entry.m_type = type;
    entry.m_id = id;
    entry.m_name = MakeEntryName(name);
    const Bytes stream = Pack(content);
    entry.m_data = PackedData(std::span(stream.data(), stream.size()));
    entry.m_size = static_cast<std::int32_t>(content.size());
    entry.m_packedSize = static_cast<std::int32_t>(stream.size());
    doc.AddEntry(std::move(entry));
}

Bytes Written(const COstrevaneDoc& doc) {
    CMemFile file;
    WriteArchive(file, doc);
    return file.GetWritten();
}

Bytes Header(std::int32_t version, std::int32_t count) {
    Bytes out;
    PutText(out, "Ostr");
    PutLittleEndian(out, static_cast<std::uint32_t>(version));
    PutLittleEndian(out, static_cast<std::uint32_t>(count));
    return out;
}

void PutRecord(Bytes& out, std::int32_t type, std::int32_t id, std::int32_t packedSize,
               std::int32_t size, std::int32_t offset, std::string_view name) {
    PutLittleEndian(out, static_cast<std::uint32_t>(type));
    PutLittleEndian(out, static_cast<std::uint32_t>(id));
    PutLittleEndian(out, static_cast<std::uint32_t>(packedSize));
    PutLittleEndian(out, static_cast<std::uint32_t>(size));
    PutLittleEndian(out, static_cast<std::uint32_t>(offset));
    const EntryName padded = MakeEntryName(name);
    out.insert(out.end(), padded.begin(), padded.end());
}

void MakeArchiveSeeds() {
    const std::string target = "archive_reader_fuzz";
    {
        COstrevaneDoc doc;
        Save(target, "empty.dat", Written(doc));
    }
    {
        COstrevaneDoc doc;
        AddEntry(doc, ENTRY_PORTRAIT, 1, "face", Text("a small portrait, a small portrait"));
        AddEntry(doc, ENTRY_SOUND, 2, "chime", Noise(300, 7));
        Save(target, "two-entries.dat", Written(doc));
    }
    {
        COstrevaneDoc doc;
        AddEntry(doc, ENTRY_VIEWPORT_OVERLAY, 3, "overlay", Bytes(600, 0x20));
        AddEntry(doc, ENTRY_BACKGROUNDS, 3, "sixteen-byte-nam", Noise(200, 99));
        AddEntry(doc, ENTRY_BACKGROUNDS, -5, "", {});
        Save(target, "three-entries-one-empty.dat", Written(doc));
    }
    Save(target, "negative-count.dat", Header(1, -3));
    Save(target, "wrong-magic.dat", Text("OSTR\1\0\0\0\0\0\0\0"sv));
    Save(target, "short-magic.dat", Text("Ost"));
    Save(target, "header-cut.dat", Text("Ostr\1\0\0"sv));
    {
        Bytes out = Header(1, 1000);
        PutRecord(out, 1, 1, 0, 0, 48, "cut");
        Save(target, "directory-past-end.dat", out);
    }
    {
        Bytes out = Header(1, 1);
        PutRecord(out, 1, 1, -4, 10, 48, "negative");
        PutText(out, "data");
        Save(target, "negative-packed-size.dat", out);
    }
    {
        Bytes out = Header(2, 2);
        PutRecord(out, 1, 1, 4, 4, 84, "first");
        PutRecord(out, 2, 1, 400, 4, 88, "second");
        PutText(out, "abcdefgh");
        Save(target, "data-past-end.dat", out);
    }
    {
        // Payloads are found back to back whatever offsets the records carry.
        Bytes out = Header(7, 2);
        PutRecord(out, 3, 9, 4, 1, 12345, "odd offset");
        PutRecord(out, 0, 8, 0, 0, -1, "empty");
        PutLittleEndian(out, 0x41);
        PutText(out, "trailing bytes after the last payload");
        Save(target, "odd-offsets-trailing-bytes.dat", out);
    }
}

// The unpacker target's input: requested size, block-size seed, stream.
Bytes UnpackerInput(std::int32_t count, std::uint32_t seed, const Bytes& stream) {
    Bytes out;
    PutLittleEndian(out, static_cast<std::uint32_t>(count));
    PutLittleEndian(out, seed);
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

// Content whose last code ends on a word boundary, so the stream ends with
// the packer's extra zero word.
Bytes BoundaryContent() {
    for (std::size_t n = 1; n < 400; ++n) {
        Bytes content = Text("the quick brown fox jumps over the lazy dog ");
        while (content.size() < n)
            content.insert(content.end(), content.begin(), content.end());
        content.resize(n);
        const Bytes stream = Pack(content);
        if (stream.size() >= 8 && stream[stream.size() - 1] == 0 &&
            stream[stream.size() - 2] == 0 && stream[stream.size() - 3] == 0 &&
            stream[stream.size() - 4] == 0)
            return content;
    }
    std::fprintf(stderr, "no content ends on a word boundary\n");
    g_bFailed = true;
    return {};
}

void MakeUnpackerSeeds() {
    const std::string target = "unpacker_fuzz";
    const Bytes text = Text("abracadabra, abracadabra, abracadabra: a cadabra and a bra");
    const std::int32_t textSize = static_cast<std::int32_t>(text.size());
    Save(target, "text.bin", UnpackerInput(textSize, 1, Pack(text)));
    Save(target, "text-short-count.bin", UnpackerInput(textSize / 2, 0x12345678, Pack(text)));
    Save(target, "text-count-too-large.bin", UnpackerInput(textSize + 9, 5, Pack(text)));
    Save(target, "empty.bin", UnpackerInput(0, 0, {}));
    Save(target, "negative-count.bin", UnpackerInput(-1, 0, Pack(text)));
    Save(target, "long-run.bin", UnpackerInput(3000, 77, Pack(Bytes(3000, 'a'))));
    // About a thousand codes: past the first width change.
    const Bytes noise = Noise(1500, 31337);
    Save(target, "width-change.bin", UnpackerInput(1500, 4242, Pack(noise)));
    const Bytes boundary = BoundaryContent();
    Save(target, "zero-word-end.bin",
         UnpackerInput(static_cast<std::int32_t>(boundary.size()), 3, Pack(boundary)));
    Bytes cut = Pack(text);
    cut.resize(cut.size() - 3);
    Save(target, "cut-stream.bin", UnpackerInput(textSize, 11, cut));
    Bytes unknown = Pack(text);
    unknown[0] = 0xFF;
    unknown[1] = 0xFF;
    Save(target, "unknown-code.bin", UnpackerInput(textSize, 13, unknown));
}

// The round trip target's input: mode, block-size seed, material.
Bytes RoundTripInput(std::uint8_t mode, std::uint32_t seed, const Bytes& material) {
    Bytes out{mode};
    PutLittleEndian(out, seed);
    out.insert(out.end(), material.begin(), material.end());
    return out;
}

void MakeRoundTripSeeds() {
    const std::string target = "roundtrip_fuzz";
    Bytes everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte.push_back(static_cast<std::uint8_t>(i));
    const Bytes text = Text("she sells sea shells by the sea shore, sea shells she sells");
    Save(target, "plain-empty.bin", RoundTripInput(0, 0, {}));
    Save(target, "plain-one-byte.bin", RoundTripInput(0, 9, Text("x")));
    Save(target, "plain-text.bin", RoundTripInput(0, 0xCAFEF00D, text));
    Save(target, "plain-every-byte.bin", RoundTripInput(2, 17, everyByte));
    Save(target, "plain-noise.bin", RoundTripInput(3, 0xA5A5A5A5, Noise(3000, 3)));
    Save(target, "expanded-text.bin", RoundTripInput(1, 21, text));
    Save(target, "expanded-every-byte.bin", RoundTripInput(0x81, 0x1000, everyByte));
    Save(target, "expanded-noise.bin", RoundTripInput(0xFD, 0xDEADBEEF, Noise(600, 12)));
    Save(target, "expanded-nothing.bin", RoundTripInput(5, 1, {}));
}

struct SWaveFormat {
    std::string riff = "RIFF";
    std::string wave = "WAVEfmt ";
    std::uint32_t formatSize = 16;
    std::uint32_t format = 1;
    std::uint32_t channels = 1;
    std::uint32_t rate = 11025;
    std::uint32_t bits = 8;
};

Bytes Wave(const SWaveFormat& format, const Bytes& samples) {
    Bytes out;
    PutText(out, format.riff);
    PutLittleEndian(out, static_cast<std::uint32_t>(36 + samples.size()));
    PutText(out, format.wave);
    PutLittleEndian(out, format.formatSize);
    PutLittleEndian16(out, static_cast<std::uint16_t>(format.format));
    PutLittleEndian16(out, static_cast<std::uint16_t>(format.channels));
    PutLittleEndian(out, format.rate);
    PutLittleEndian(out, format.rate * format.channels * format.bits / 8);
    PutLittleEndian16(out, static_cast<std::uint16_t>(format.channels * format.bits / 8));
    PutLittleEndian16(out, static_cast<std::uint16_t>(format.bits));
    PutText(out, "data");
    PutLittleEndian(out, static_cast<std::uint32_t>(samples.size()));
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

void MakeWaveSeeds() {
    const std::string target = "wave_import_fuzz";
    Bytes tone;
    for (int i = 0; i < 800; ++i)
        tone.push_back(static_cast<std::uint8_t>(128 + ((i / 6) % 2 == 0 ? 40 : -40)));
    const SWaveFormat good;
    Save(target, "tone.wav", Wave(good, tone));
    Save(target, "silence.wav", Wave(good, Bytes(2000, 128)));
    Save(target, "header-only.wav", Wave(good, {}));
    Save(target, "noise.wav", Wave(good, Noise(1200, 5)));
    // One field of the header wrong in each.
    const struct {
        const char* name;
        void (*spoil)(SWaveFormat&);
    } variants[] = {
        {"stereo.wav", [](SWaveFormat& f) { f.channels = 2; }},
        {"rate-22050.wav", [](SWaveFormat& f) { f.rate = 22050; }},
        {"sixteen-bit.wav", [](SWaveFormat& f) { f.bits = 16; }},
        {"float.wav", [](SWaveFormat& f) { f.format = 3; }},
        {"format-block-18.wav", [](SWaveFormat& f) { f.formatSize = 18; }},
        {"wavefmt-upper.wav", [](SWaveFormat& f) { f.wave = "WAVEFMT "; }},
        {"rifx.wav", [](SWaveFormat& f) { f.riff = "RIFX"; }},
    };
    for (const auto& variant : variants) {
        SWaveFormat format = good;
        variant.spoil(format);
        Save(target, variant.name, Wave(format, tone));
    }
    Bytes cut = Wave(good, {});
    cut.resize(30);
    Save(target, "cut-header.wav", cut);
    Save(target, "empty.wav", {});
}

// A bitmap: file header, a header of headerSize bytes (the core header's
// layout for 12, else the info header's, zero past its fields), pixels.
Bytes Bitmap(std::uint32_t headerSize, std::int32_t width, std::int32_t height, std::uint16_t bits,
             const Bytes& pixels) {
    Bytes out;
    PutText(out, "BM");
    PutLittleEndian(out, 14 + headerSize + static_cast<std::uint32_t>(pixels.size()));
    PutLittleEndian(out, 0);
    PutLittleEndian(out, 14 + headerSize);
    PutLittleEndian(out, headerSize);
    if (headerSize == 12) {
        PutLittleEndian16(out, static_cast<std::uint16_t>(width));
        PutLittleEndian16(out, static_cast<std::uint16_t>(height));
    } else {
        PutLittleEndian(out, static_cast<std::uint32_t>(width));
        PutLittleEndian(out, static_cast<std::uint32_t>(height));
    }
    PutLittleEndian16(out, 1);
    PutLittleEndian16(out, bits);
    out.resize(14 + headerSize);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

void MakeContentInfoSeeds() {
    const std::string target = "content_info_fuzz";
    Save(target, "small.bmp", Bitmap(40, 4, 2, 8, Noise(8, 21)));
    Save(target, "top-down.bmp", Bitmap(40, 2, -2, 24, Noise(16, 22)));
    Save(target, "core-header.bmp", Bitmap(12, 3, 3, 8, Noise(12, 23)));
    Bytes tone;
    for (int i = 0; i < 300; ++i)
        tone.push_back(static_cast<std::uint8_t>(128 + ((i / 5) % 2 == 0 ? 50 : -50)));
    const SWaveFormat mono;
    Save(target, "mono-8-bit.wav", Wave(mono, tone));
    SWaveFormat stereo;
    stereo.channels = 2;
    stereo.bits = 16;
    stereo.rate = 22050;
    Save(target, "stereo-16-bit.wav", Wave(stereo, Noise(400, 24)));
    // The data chunk claims far more than follows it.
    Bytes lying = Wave(mono, tone);
    WriteLittleEndian32(lying.data() + 40, 100000);
    Save(target, "lying-data-size.wav", lying);
    Save(target, "junk.bin", Noise(300, 25));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    g_root = argv[1];
    MakeArchiveSeeds();
    MakeUnpackerSeeds();
    MakeRoundTripSeeds();
    MakeWaveSeeds();
    MakeContentInfoSeeds();
    return g_bFailed ? 1 : 0;
}
