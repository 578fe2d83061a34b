// diff: what changed between two archives, by type and ID.

#include "archive/EntryText.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "cli/EntryReports.h"
#include "cli/TerminalProgress.h"
#include "cli/TextOutput.h"

#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

namespace {

struct DiffOptions {
    std::string a;
    std::string b;
    bool bJson = false;
};

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

// The details of diff's output, shown after its options.
const char* const DIFF_HELP =
    "Lines: \"- T:ID NAME\" only in A, \"+ T:ID NAME\" only in B, \"~ T:ID NAME (content X -> Y "
    "bytes)\"\nfor different content (unpacked, so repacking is no change), \"r T:ID OLD -> NEW\" "
    "for a new name.\n--json prints {\"onlyInA\": [E...], \"onlyInB\": [E...], \"changed\": "
    "[E + sizeA, sizeB], \"renamed\": [E + nameB]}\nwhere E is {\"type\", \"id\", \"name\"} "
    "(the name in A). Exit status: 0 the same, 1 different, 2 trouble.";

} // namespace

void AddDiffCommand(CLI::App& app, int& status) {
    auto diff = std::make_shared<DiffOptions>();
    CLI::App* cmd =
        app.add_subcommand("diff", "Compare two archives entry by entry, by type and ID.");
    cmd->footer(DIFF_HELP);
    cmd->add_option("A", diff->a, "Archive to compare from")->required();
    cmd->add_option("B", diff->b, "Archive to compare with")->required();
    cmd->add_flag("--json", diff->bJson, "Print a JSON object of four lists");
    cmd->callback([diff, &status] { status = WithinMemory(RunDiff, *diff, OSTR_EXIT_USAGE); });
}
