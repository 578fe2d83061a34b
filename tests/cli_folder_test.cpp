// `ostr unpack`, `ostr pack` and `ostr diff` on archives made here.

#include "archive/FileEntry.h"
#include "tests/ArchiveBuilder.h"
#include "tests/CodeStream.h"
#include "tests/OstrRunner.h"
#include "transfer/DeltaCoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

Bytes AsStored(Bytes sound) {
    CDeltaEncoder().Encode(sound.data(), sound.size());
    return sound;
}

// "aaaa" as four plain codes, where the packer writes a longer string's code.
const Bytes UNUSUAL_AAAA = WriteCodes({'a', 'a', 'a', 'a'});

// Portrait 1:5 "Door" and sound 2:7 "Bell" unpacked into dir/in.
class OstrPack : public testing::Test {
protected:
    void SetUp() override {
        WriteBytes(dir.File("a.dat"), ArchiveBuilder()
                                          .Packed(ENTRY_PORTRAIT, 5, "Door", Bytes(20, 'd'))
                                          .Packed(ENTRY_SOUND, 7, "Bell", AsStored(MakeWave(100)))
                                          .Build());
        ASSERT_EQ(Ostr({"unpack", dir.File("a.dat"), folder}).status, 0);
        manifest = Json::parse(ReadText(folder + "/manifest.json"));
    }
    void WriteManifest(const std::string& text) {
        WriteBytes(folder + "/manifest.json", Bytes(text.begin(), text.end()));
    }
    // type:id:name of each entry in the archive, in file order.
    std::vector<std::string> Entries(const std::string& archive) {
        std::vector<std::string> entries;
        for (const auto& e : nlohmann::json::parse(Ostr({"list", "--json", archive}).out))
            entries.push_back(e["type"].dump() + ":" + e["id"].dump() + ":" +
                              e["name"].get<std::string>());
        return entries;
    }

    TempDir dir;
    const std::string folder = dir.File("in"), archive = dir.File("out.dat");
    Json manifest;
};

} // namespace

TEST(OstrFolder, UnpackThenPackGivesTheArchiveBack) {
    const std::string zeroName("Bell\0junk", 9);
    const struct {
        const char* label;
        Bytes archive;
    } rows[] = {
        {"no entries", ArchiveBuilder().Build()},
        {"odd names", ArchiveBuilder()
                          .Packed(1, 1, "  lead", {1})
                          .Packed(1, 2, "Tab\t\xE9t\xE9", {2})
                          .Packed(1, 3, "ABCDEFGHIJKLMNOP", {3})
                          .Packed(1, 4, "", {4})
                          .Packed(1, 5, "a\"b\\c/../d", {5})
                          .Build()},
        {"zero bytes in names", ArchiveBuilder()
                                    .Packed(0, 1, zeroName, {1})
                                    .Packed(0, 2, std::string(16, '\0'), {})
                                    .Build()},
        {"unknown types, negative IDs", ArchiveBuilder()
                                            .Packed(7, -5, "Seven", {7, 7})
                                            .Packed(200, INT32_MIN, "Low", {8})
                                            .Packed(-1, INT32_MAX, "High", {9})
                                            .Build()},
        {"empty entries", ArchiveBuilder().Packed(0, 1, "E", {}).Packed(2, 2, "S", {}).Build()},
        {"version 7", ArchiveBuilder().Version(7).Packed(3, 1, "Hills", Bytes(300, 'h')).Build()},
        {"out of ID order", ArchiveBuilder()
                                .Packed(3, 9, "c", {3})
                                .Packed(0, 3, "a", {1})
                                .Packed(3, 5, "b", {2})
                                .Build()},
        {"sounds", ArchiveBuilder()
                       .Packed(2, 4, "Bell", AsStored(MakeWave(3000)))
                       .Packed(2, 5, "Noise", Bytes(100, 7))
                       .Build()},
        {"same type and ID twice",
         ArchiveBuilder().Packed(1, 1, "One", {1}).Packed(1, 1, "Two", {2}).Build()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir dir;
        WriteBytes(dir.File("a.dat"), row.archive);
        ASSERT_EQ(Ostr({"check", dir.File("a.dat")}).status, 0);
        Result r = Ostr({"unpack", dir.File("a.dat"), dir.File("f")});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        r = Ostr({"pack", dir.File("f"), dir.File("b.dat")});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadBytes(dir.File("b.dat")), row.archive);
    }
}

TEST(OstrFolder, ManifestListsEachEntryWithItsFile) {
    TempDir dir;
    WriteBytes(dir.File("a.dat"), ArchiveBuilder()
                                      .Version(3)
                                      .Packed(1, -2, std::string("\xC9lan\0x", 6), {1})
                                      .Packed(2, 4, "Hum", {1, 2})
                                      .Packed(2, 4, "Hum", {1, 2})
                                      .Build());
    const Result r = Ostr({"unpack", dir.File("a.dat"), dir.File("f")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir.File("f/portrait--2-_lan.bmp") + "\n" + dir.File("f/sound-4-Hum.wav") +
                         "\n" + dir.File("f/sound-4-Hum-2.wav") + "\n" +
                         dir.File("f/manifest.json") + "\n");
    EXPECT_EQ(ReadText(dir.File("f/manifest.json")), R"({
  "version": 3,
  "entries": [
    {
      "type": 1,
      "id": -2,
      "name": "Élan",
      "nameBytes": "c96c616e007820202020202020202020",
      "file": "portrait--2-_lan.bmp"
    },
    {
      "type": 2,
      "id": 4,
      "name": "Hum",
      "file": "sound-4-Hum.wav",
      "notWave": true
    },
    {
      "type": 2,
      "id": 4,
      "name": "Hum",
      "file": "sound-4-Hum-2.wav",
      "duplicate": true,
      "notWave": true
    }
  ]
}
)");
}

TEST_F(OstrPack, FollowsEditsToTheManifest) {
    std::string sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen += "\xC3\xA9";
    const struct {
        const char* label;
        std::function<void(Json&)> edit;
        std::vector<std::string> entries;
        std::string err = {};
    } rows[] = {
        {"reordered",
         [](Json& m) { std::swap(m["entries"][0], m["entries"][1]); },
         {"2:7:Bell", "1:5:Door"}},
        {"renamed",
         [](Json& m) { m["entries"][0]["name"] = "Front Door"; },
         {"1:5:Front Door", "2:7:Bell"}},
        {"16 Latin-1 letters",
         [&](Json& m) { m["entries"][0]["name"] = sixteen; },
         {"1:5:" + sixteen, "2:7:Bell"}},
        {"unsigned ID",
         [](Json& m) { m["entries"][0]["id"] = 4294967295u; },
         {"1:-1:Door", "2:7:Bell"}},
        {"nameBytes over name",
         [](Json& m) { m["entries"][0]["nameBytes"] = "4761746520202020202020202020202e"; },
         {"1:5:Gate           .", "2:7:Bell"},
         "ostr: portrait:5 \"Gate           .\": \"nameBytes\" gives its name; \"name\" is not "
         "used.\n"},
        {"deleted", [](Json& m) { m["entries"].erase(0); }, {"2:7:Bell"}},
        {"added",
         [this](Json& m) {
             WriteBytes(folder + "/new.bin", {1, 2, 3});
             m["entries"].push_back({{"type", 9}, {"id", 1}, {"name", "New"}, {"file", "new.bin"}});
         },
         {"1:5:Door", "2:7:Bell", "9:1:New"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Json edited = manifest;
        row.edit(edited);
        WriteManifest(edited.dump(2));
        const Result r = Ostr({"pack", "--force", folder, archive});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(Entries(archive), row.entries);
    }
    EXPECT_EQ(Ostr({"extract", archive, "9:1", "-o", dir.File("x")}).status, 0);
    EXPECT_EQ(ReadBytes(dir.File("x")), (Bytes{1, 2, 3}));
}

TEST_F(OstrPack, RefusesBadInputBeforeWritingAnything) {
    const struct {
        const char* label;
        std::function<void(Json&)> edit;
        std::string error;
    } rows[] = {
        {"not JSON", {}, "manifest.json: it is not valid JSON at line 4, column 6: syntax error"},
        {"no such file", [](Json& m) { m["entries"][0]["file"] = "gone.bin"; },
         "in/gone.bin: No such file or directory."},
        {"file outside", [](Json& m) { m["entries"][0]["file"] = "../a.dat"; },
         "entry 1: \"file\" must be a path inside the folder."},
        {"same type and ID",
         [](Json& m) {
             m["entries"][1]["type"] = 1;
             m["entries"][1]["id"] = 5;
         },
         "entry 2 has the type and ID of an earlier entry (1:5); give it another ID."},
        {"17 letters", [](Json& m) { m["entries"][0]["name"] = "ABCDEFGHIJKLMNOPQ"; },
         "entry 1: \"name\" must be text of at most 16 Latin-1 characters."},
        {"not Latin-1", [](Json& m) { m["entries"][0]["name"] = "\xE2\x82\xAC"; },
         "entry 1: \"name\" must be text of at most 16 Latin-1 characters."},
        {"nameBytes short", [](Json& m) { m["entries"][0]["nameBytes"] = std::string(30, '0'); },
         "entry 1: \"nameBytes\" must be 32 hexadecimal digits."},
        {"nameBytes not hex", [](Json& m) { m["entries"][0]["nameBytes"] = std::string(32, 'g'); },
         "entry 1: \"nameBytes\" must be 32 hexadecimal digits."},
        {"type too large", [](Json& m) { m["entries"][0]["type"] = 2147483648u; },
         "entry 1: \"type\" must be a whole number from -2147483648 to 2147483647."},
        {"ID too large", [](Json& m) { m["entries"][0]["id"] = 4294967296u; },
         "entry 1: \"id\" must be a whole number from -2147483648 to 4294967295."},
        {"ID too small", [](Json& m) { m["entries"][0]["id"] = -2147483649LL; },
         "entry 1: \"id\" must be a whole number from -2147483648 to 4294967295."},
        {"ID as text", [](Json& m) { m["entries"][0]["id"] = "5"; },
         "entry 1: \"id\" must be a whole number"},
        {"no file key", [](Json& m) { m["entries"][1].erase("file"); },
         "entry 2: it has no \"file\"."},
        {"no version", [](Json& m) { m.erase("version"); }, "it has no \"version\"."},
        {"misspelt key", [](Json& m) { m["entries"][0]["nmae"] = "x"; },
         "entry 1: it has an unknown key \"nmae\"."},
        {"stereo sound",
         [this](Json&) {
             WriteBytes(folder + "/sound-7-Bell.wav", MakeWave(10, {16, 1, 2, 11025, 8}));
         },
         "in/sound-7-Bell.wav: That does not look like a mono wave file."},
        {"short sound", [this](Json&) { WriteBytes(folder + "/sound-7-Bell.wav", {'R'}); },
         "in/sound-7-Bell.wav: Error reading file header."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Json edited = manifest;
        if (row.edit)
            row.edit(edited);
        WriteManifest(row.edit ? edited.dump(2)
                               : "{\n  \"version\": 1,\n  \"entries\": [\n    {]\n}");
        const Result r = Ostr({"pack", folder, archive});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(row.error), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(archive));
        EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"a.dat", "in"}));
    }
    WriteManifest(manifest.dump());
    WriteBytes(archive, {1});
    EXPECT_EQ(Ostr({"pack", folder, archive}).err,
              "ostr: \"" + archive + "\" already exists (use --force to replace it).\n");
    EXPECT_EQ(ReadBytes(archive), Bytes{1});
}

TEST(OstrFolder, UnpackRefusesDamageAMismatchedDirectoryAndAFullFolder) {
    const struct {
        const char* label;
        Bytes archive;
        bool bFolderInUse;
        std::string error;
    } rows[] = {
        {"damaged",
         ArchiveBuilder()
             .Packed(1, 1, "Ok", {1})
             .Entry(1, 2, "Bad", {0xFF, 0xFF, 0xFF, 0xFF}, 50)
             .Build(),
         false, "ostr: Entry portrait:2 \"Bad\": its data is damaged.\n"},
        {"bytes after the data", ArchiveBuilder().Packed(1, 1, "Ok", {1}).Trailing({0}).Build(),
         false, ": its directory does not match its data; saving would rewrite it (use --force)\n"},
        {"folder not empty", ArchiveBuilder().Packed(1, 1, "Ok", {1}).Build(), true,
         "f\" is not empty (use --force to write into it).\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir dir;
        WriteBytes(dir.File("a.dat"), row.archive);
        if (row.bFolderInUse) {
            std::filesystem::create_directory(dir.File("f"));
            WriteBytes(dir.File("f/x"), {});
        }
        const Result r = Ostr({"unpack", dir.File("a.dat"), dir.File("f")});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(row.error), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::filesystem::exists(dir.File("f")), row.bFolderInUse);
    }
}

TEST(OstrFolder, UnpackWarnsOfDataThisProgramWouldPackOtherwise) {
    TempDir dir;
    WriteBytes(dir.File("a.dat"), ArchiveBuilder().Entry(0, 3, "Four", UNUSUAL_AAAA, 4).Build());
    Result r = Ostr({"unpack", dir.File("a.dat"), dir.File("f")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ostr: overlay:3 \"Four\": its stored data is not what this program would "
                     "write; pack will repack it\n");
    EXPECT_EQ(ReadBytes(dir.File("f/overlay-3-Four.bmp")), (Bytes{'a', 'a', 'a', 'a'}));
    EXPECT_EQ(Ostr({"pack", dir.File("f"), dir.File("b.dat")}).status, 0);
    EXPECT_EQ(ReadBytes(dir.File("b.dat")),
              ArchiveBuilder().Packed(0, 3, "Four", {'a', 'a', 'a', 'a'}).Build());
}

TEST(OstrDiff, ReportsEachChangeByTypeAndId) {
    const Bytes sound = AsStored(MakeWave(50));
    const ArchiveBuilder base =
        ArchiveBuilder().Packed(1, 1, "Elder", {1}).Packed(2, 7, "Chime", sound);
    const ArchiveBuilder unusual = ArchiveBuilder().Entry(0, 3, "Four", UNUSUAL_AAAA, 4);
    const struct {
        const char* label;
        ArchiveBuilder a, b;
        int status;
        std::string out;
    } rows[] = {
        {"same", base, base, 0, ""},
        {"other order and version", base,
         ArchiveBuilder().Version(5).Packed(2, 7, "Chime", sound).Packed(1, 1, "Elder", {1}), 0,
         ""},
        {"packed otherwise, same content", unusual,
         ArchiveBuilder().Packed(0, 3, "Four", {'a', 'a', 'a', 'a'}), 0, ""},
        {"only in A", base, ArchiveBuilder().Packed(1, 1, "Elder", {1}), 1, "- 2:7 Chime\n"},
        {"only in B", base, ArchiveBuilder(base).Packed(2, 8, "Bell", {2}).Packed(0, 9, "Sky", {}),
         1, "+ 0:9 Sky\n+ 2:8 Bell\n"},
        {"content", base,
         ArchiveBuilder().Packed(1, 1, "Elder", {1, 2}).Packed(2, 7, "Chime", sound), 1,
         "~ 1:1 Elder (content 1 -> 2 bytes)\n"},
        {"renamed", base,
         ArchiveBuilder().Packed(1, 1, "Elder Old", {1}).Packed(2, 7, "Chime", sound), 1,
         "r 1:1 Elder -> Elder Old\n"},
        {"both", base, ArchiveBuilder().Packed(1, 1, "Elder Old", {3}).Packed(2, 7, "Chime", sound),
         1, "~ 1:1 Elder (content 1 -> 1 bytes)\nr 1:1 Elder -> Elder Old\n"},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        WriteBytes(dir.File("a.dat"), row.a.Build());
        WriteBytes(dir.File("b.dat"), row.b.Build());
        const Result r = Ostr({"diff", dir.File("a.dat"), dir.File("b.dat")});
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.err, "");
    }
}

TEST(OstrDiff, JsonRepackingDuplicatesAndErrors) {
    TempDir dir;
    const std::string a = dir.File("a.dat"), b = dir.File("b.dat");
    WriteBytes(
        a, ArchiveBuilder().Entry(0, 3, "Four", UNUSUAL_AAAA, 4).Packed(1, 1, "Old", {1}).Build());
    WriteBytes(b, ArchiveBuilder()
                      .Packed(0, 3, "Four", {'a', 'a', 'a', 'a'})
                      .Packed(1, 1, "New", {1, 2})
                      .Packed(1, 1, "Again", {})
                      .Build());
    Result r = Ostr({"diff", "--json", a, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "ostr: " + b + ": portrait:1 appears more than once; the first is compared.\n");
    EXPECT_EQ(Json::parse(r.out), Json::parse(R"({"onlyInA": [], "onlyInB": [],
                  "changed": [{"type": 1, "id": 1, "name": "Old", "sizeA": 1, "sizeB": 2}],
                  "renamed": [{"type": 1, "id": 1, "name": "Old", "nameB": "New"}]})"));

    WriteBytes(b, ArchiveBuilder().Entry(0, 3, "Four", {0xFF, 0xFF, 0xFF, 0xFF}, 4).Build());
    r = Ostr({"diff", a, b});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ostr: " + b + ": Entry overlay:3 \"Four\": its data is damaged.\n");
    EXPECT_EQ(Ostr({"diff", a, dir.File("none.dat")}).status, 2);
}

namespace {

// Every file under folder with its bytes, by path relative to it.
std::map<std::string, Bytes> FolderBytes(const std::string& folder) {
    std::map<std::string, Bytes> files;
    if (std::filesystem::is_regular_file(folder))
        files[""] = ReadBytes(folder);
    else if (std::filesystem::is_directory(folder))
        for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
            files[std::filesystem::relative(item.path(), folder).string()] =
                item.is_regular_file() ? ReadBytes(item.path().string()) : Bytes{};
    return files;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

TEST(OstrBulk, VerbsSayAndWriteTheSameWhateverTheNumberOfJobs) {
    TempDir dir;
    ArchiveBuilder a, b, damaged;
    for (int i = 0; i < 40; ++i) {
        const Bytes content(static_cast<std::size_t>(997 * i), static_cast<std::uint8_t>(i));
        const std::string name = "E" + std::to_string(i);
        a.Packed(i % 4, i, name, content);
        if (i % 5 != 0)
            b.Packed(i % 4, i + i % 7 / 6, i % 9 == 0 ? name + "x" : name,
                     i % 11 == 0 ? Bytes(content.size() + 1, 1) : content);
        if (i % 13 == 5)
            damaged.Entry(i % 4, i, name, {0xFF, 0xFF, 0xFF, 0xFF}, 997 * i);
        else
            damaged.Packed(i % 4, i, name, content);
    }
    a.Entry(0, 99, "Four", UNUSUAL_AAAA, 4);
    WriteBytes(dir.File("a.dat"), a.Build());
    WriteBytes(dir.File("b.dat"), b.Build());
    WriteBytes(dir.File("damaged.dat"), damaged.Build());
    ASSERT_EQ(Ostr({"unpack", dir.File("a.dat"), dir.File("f")}).status, 0);
    std::filesystem::copy(dir.File("f"), dir.File("gap"));
    std::filesystem::remove(dir.File("gap/sound-22-E22.wav"));

    // @OUT is where the verb writes; each number of jobs gets its own.
    const struct {
        int status;
        std::vector<std::string> args;
    } rows[] = {
        {1, {"check", "@damaged.dat"}},
        {0, {"extract-all", "@a.dat", "-d", "@OUT"}},
        {1, {"extract-all", "@damaged.dat", "-d", "@OUT"}},
        {0, {"unpack", "@a.dat", "@OUT"}},
        {1, {"unpack", "@damaged.dat", "@OUT"}},
        {0, {"pack", "@f", "@OUT"}},
        {1, {"pack", "@gap", "@OUT"}},
        {1, {"diff", "@a.dat", "@b.dat"}},
        {1, {"diff", "--json", "@a.dat", "@b.dat"}},
        {2, {"diff", "@a.dat", "@damaged.dat"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args[1] + " " + row.args.back());
        std::vector<Result> results;
        std::vector<std::map<std::string, Bytes>> written;
        for (const char* jobs : {"1", "3"}) {
            const std::string out = dir.File(std::string("out") + jobs);
            std::vector<std::string> args = {row.args[0], "--jobs", jobs};
            for (std::size_t i = 1; i < row.args.size(); ++i)
                args.push_back(row.args[i] == "@OUT" ? out
                                                     : Replaced(row.args[i], "@", dir.File("")));
            Result r = Ostr(args);
            r.out = Replaced(r.out, out, "@OUT");
            r.err = Replaced(r.err, out, "@OUT");
            results.push_back(r);
            written.push_back(FolderBytes(out));
            std::filesystem::remove_all(out);
        }
        EXPECT_EQ(results[0].status, row.status) << results[0].err;
        EXPECT_EQ(results[1].status, results[0].status);
        EXPECT_EQ(results[1].out, results[0].out);
        EXPECT_EQ(results[1].err, results[0].err);
        EXPECT_EQ(written[1], written[0]);
    }
}
