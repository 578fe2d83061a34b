// Writes the example archive OUT/example.dat, and the files it was imported
// from under OUT/files/, all made up here.

#include "archive/OstrevaneDoc.h"
#include "examples/ExampleContent.h"
#include "transfer/ImportPipeline.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr std::int32_t NOTES_TYPE = 9; // no type the editor knows: shown as "Unknown"

const char NOTES[] = "Example archive for Ostrevane.\n"
                     "Every picture and sound in it was drawn or synthesized by the\n"
                     "generator in examples/; import your own files to try the editor.\n";

bool WriteFile(const std::filesystem::path& path, const ByteVector& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool Import(COstrevaneDoc& doc, const std::filesystem::path& file, const ByteVector& content,
            std::int32_t type, std::uint32_t id, const std::string& name) {
    if (!WriteFile(file, content)) {
        std::fprintf(stderr, "make_example: cannot write %s\n", file.c_str());
        return false;
    }
    return ImportFile(doc, {file.string(), type, id, name, {}}, nullptr) == ImportResult::Imported;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_example OUTPUT-FOLDER\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out / "files");
    COstrevaneDoc doc;
    doc.OnNewDocument();
    const ByteVector notes(NOTES, NOTES + sizeof NOTES - 1);
    const bool ok =
        Import(doc, out / "files/elder.bmp", DrawPortrait(), ENTRY_PORTRAIT, 1, "Elder") &&
        Import(doc, out / "files/dusk-hills.bmp", DrawBackground(), ENTRY_BACKGROUNDS, 1,
               "Dusk Hills") &&
        Import(doc, out / "files/compass.bmp", DrawOverlay(), ENTRY_VIEWPORT_OVERLAY, 2,
               "Compass") &&
        Import(doc, out / "files/chime.wav", SynthesizeChime(), ENTRY_SOUND, 3, "Chime") &&
        Import(doc, out / "files/notes.txt", notes, ENTRY_BACKGROUNDS, 4, "Notes");
    if (!ok)
        return 1;
    CFileEntry retype;
    retype.m_type = NOTES_TYPE;
    doc.ModifyEntry(doc.FindEntry(ENTRY_BACKGROUNDS, 4), retype);
    return doc.OnSaveDocument((out / "example.dat").string()) ? 0 : 1;
}
