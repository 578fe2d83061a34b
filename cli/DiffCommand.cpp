// diff: what changed between two archives, by type and ID.

#include "archive/EntryText.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "cli/EntryReports.h"
#include "cli/ParallelEntries.h"
#include "cli/TerminalProgress.h"
#include "cli/TextOutput.h"

#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

namespace {

struct DiffOptions {
    std::string a;
    std::string b;
    bool bJson = false;
    unsigned jobs = DefaultJobs();
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

// Adds the lines for an entry in both archives, given how their content
// compares.
void DiffBoth(const CFileEntry& x, const CFileEntry& y, Sameness content, DiffOutput& out) {
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
}

// One step of the walk through both archives in order of type and ID: an
// entry of A, of B, or of both.
struct DiffStep {
    const CFileEntry* x;
    const CFileEntry* y;
};

std::vector<DiffStep> PairEntries(const DiffSide& a, const DiffSide& b) {
    std::vector<DiffStep> steps;
    auto x = a.entries.begin(), y = b.entries.begin();
    while (x != a.entries.end() || y != b.entries.end()) {
        if (y == b.entries.end() || (x != a.entries.end() && x->first < y->first))
            steps.push_back({(x++)->second, nullptr});
        else if (x == a.entries.end() || y->first < x->first)
            steps.push_back({nullptr, (y++)->second});
        else
            steps.push_back({(x++)->second, (y++)->second});
    }
    return steps;
}

// Entries in both archives are compared on up to jobs threads; the lines
// come in order of type and ID.
int RunDiff(const DiffOptions& options) {
    DiffSide a{options.a, {}, {}}, b{options.b, {}, {}};
    if (!LoadSide(a) || !LoadSide(b))
        return OSTR_EXIT_USAGE;
    const std::vector<DiffStep> steps = PairEntries(a, b);
    DiffOutput out;
    CTerminalProgress progress("diff", steps.size());
    const bool bCompared = ForEachInOrder<Sameness>(
        steps.size(), options.jobs,
        [&](std::size_t i) {
            const DiffStep& step = steps[i];
            return step.x && step.y ? CompareContent(a, *step.x, b, *step.y) : Sameness::Same;
        },
        [&](std::size_t i, Sameness content) {
            const DiffStep& step = steps[i];
            progress.Advance(0);
            if (!step.y)
                out.Add("onlyInA", '-', *step.x);
            else if (!step.x)
                out.Add("onlyInB", '+', *step.y);
            else if (content == Sameness::Unreadable)
                return false;
            else
                DiffBoth(*step.x, *step.y, content, out);
            return true;
        },
        [&steps](std::size_t i) {
            return (steps[i].x ? EntryWork(*steps[i].x) : 0) +
                   (steps[i].y ? EntryWork(*steps[i].y) : 0);
        });
    if (!bCompared)
        return OSTR_EXIT_USAGE;
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
    AddJobsOption(*cmd, diff->jobs);
    cmd->callback([diff, &status] { status = WithinMemory(RunDiff, *diff, OSTR_EXIT_USAGE); });
}
