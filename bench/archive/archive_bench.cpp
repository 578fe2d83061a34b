// The archive at scale: opening and saving 100,000 entries, and AddEntry,
// RemoveEntry and ModifyEntry (sort and layout included) on a list of that
// size, with the original design's restarting exchange sort on the same list
// for comparison.
//
// Also two modes for compare.sh:
//   archive_bench --make PATH COUNT BYTES [packed]
//                                           writes an archive
//   archive_bench --open PATH               opens it once; prints the peak
//                                           resident memory and the file size
//   archive_bench --smoke [OPTIONS]         the benchmarks at 1,000 entries
//   archive_bench --save PATH COPY          opens PATH and saves it as COPY;
//                                           prints the save's own time

#include "archive/OstrevaneDoc.h"
#include "bench/RunBenchmarks.h"
#include "bench/archive/ArchiveMaker.h"
#include "bench/archive/ExchangeSort.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int ENTRIES = 100000;
constexpr std::size_t PAYLOAD = 16;

std::string TempPath(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/ostrevane-bench-" +
           std::to_string(getpid()) + "-" + name;
}

void BM_Open(benchmark::State& state) {
    const std::string path = TempPath("open.dat");
    MakeArchive(path, static_cast<int>(state.range(0)), PAYLOAD);
    for (auto _ : state) {
        COstrevaneDoc doc;
        benchmark::DoNotOptimize(doc.OnOpenDocument(path));
    }
    std::remove(path.c_str());
}

void BM_Save(benchmark::State& state) {
    const std::string path = TempPath("save.dat");
    COstrevaneDoc doc;
    FillDocument(doc, static_cast<int>(state.range(0)), PAYLOAD);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.OnSaveDocument(path));
    std::remove(path.c_str());
}

// A list of count entries, opened from a file, and a new entry whose ID
// falls in its middle.
struct SListWithNewEntry {
    COstrevaneDoc doc;
    CFileEntry tmpl;

    explicit SListWithNewEntry(std::int64_t count) {
        FillDocument(doc, static_cast<int>(count), PAYLOAD);
        tmpl.m_type = 0;
        tmpl.m_id = static_cast<std::int32_t>(count) + 1;
        tmpl.m_name = MakeEntryName("new");
        tmpl.m_data = PackedData(std::vector<std::uint8_t>(PAYLOAD));
        tmpl.m_packedSize = static_cast<std::int32_t>(PAYLOAD);
        tmpl.m_size = tmpl.m_packedSize;
    }
    CFileEntry* Added() const { return doc.FindEntry(tmpl.m_type, tmpl.m_id); }
};

// An entry whose ID falls in the middle of the list, added then taken out.
void BM_AddEntry(benchmark::State& state) {
    SListWithNewEntry list(state.range(0));
    for (auto _ : state) {
        list.doc.AddEntry(list.tmpl);
        state.PauseTiming();
        list.doc.RemoveEntry(list.Added());
        state.ResumeTiming();
    }
}

void BM_RemoveEntry(benchmark::State& state) {
    SListWithNewEntry list(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        list.doc.AddEntry(list.tmpl);
        CFileEntry* pEntry = list.Added();
        state.ResumeTiming();
        list.doc.RemoveEntry(pEntry);
    }
}

// The first entry renumbered to the middle of the list and back.
void BM_ModifyEntry(benchmark::State& state) {
    COstrevaneDoc doc;
    FillDocument(doc, static_cast<int>(state.range(0)), PAYLOAD);
    CFileEntry* pEntry = doc.m_pHead;
    CFileEntry tmpl;
    std::int32_t ids[] = {static_cast<std::int32_t>(state.range(0)) + 1, pEntry->m_id};
    int flip = 0;
    for (auto _ : state) {
        tmpl.m_id = ids[flip];
        flip ^= 1;
        doc.ModifyEntry(pEntry, tmpl);
    }
}

// What the original design does after adding the same entry: link it at the
// head, then the restarting exchange sort moves it to its place.
void BM_ExchangeSortAfterAdd(benchmark::State& state) {
    SListWithNewEntry list(state.range(0));
    COstrevaneDoc& doc = list.doc;
    for (auto _ : state) {
        state.PauseTiming();
        auto* pEntry = new CFileEntry(list.tmpl);
        pEntry->m_pNext = doc.m_pHead;
        doc.m_pHead->m_pPrev = pEntry;
        doc.m_pHead = pEntry;
        state.ResumeTiming();
        RestartingExchangeSort(doc);
        doc.LayoutOffsets();
        state.PauseTiming();
        doc.RemoveEntry(list.Added());
        state.ResumeTiming();
    }
}

// entries for the list, exchangeEntries for the exchange sort (which takes
// seconds at 100,000).
void RegisterBenchmarks(int entries, int exchangeEntries) {
    const auto add = [](const char* name, void (*fn)(benchmark::State&), int count) {
        return benchmark::RegisterBenchmark(name, fn)->Arg(count)->Unit(benchmark::kMillisecond);
    };
    add("BM_Open", BM_Open, entries);
    add("BM_Save", BM_Save, entries);
    add("BM_AddEntry", BM_AddEntry, entries);
    add("BM_RemoveEntry", BM_RemoveEntry, entries);
    add("BM_ModifyEntry", BM_ModifyEntry, entries);
    add("BM_AddEntry", BM_AddEntry, exchangeEntries / 10);
    add("BM_ExchangeSortAfterAdd", BM_ExchangeSortAfterAdd, exchangeEntries / 10);
    add("BM_ExchangeSortAfterAdd", BM_ExchangeSortAfterAdd, exchangeEntries)->Iterations(1);
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int OpenOnce(const char* path) {
    const long before = PeakKilobytes();
    COstrevaneDoc doc;
    if (!doc.OnOpenDocument(path) || doc.WasLoadRefused())
        return 1;
    struct stat st {};
    stat(path, &st);
    std::printf("file_bytes=%lld peak_bytes=%ld before_bytes=%ld entries=%d\n",
                static_cast<long long>(st.st_size), PeakKilobytes() * 1024, before * 1024,
                doc.CountEntries());
    return 0;
}

int SaveOnce(const char* path, const char* copy) {
    COstrevaneDoc doc;
    if (!doc.OnOpenDocument(path) || doc.WasLoadRefused())
        return 1;
    const auto start = std::chrono::steady_clock::now();
    if (!doc.OnSaveDocument(copy))
        return 1;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%.1f\n", took.count());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "--make") == 0)
        return MakeArchive(argv[2], std::atoi(argv[3]), std::strtoull(argv[4], nullptr, 10),
                           argc == 6 && std::strcmp(argv[5], "packed") == 0)
                   ? 0
                   : 1;
    if (argc == 3 && std::strcmp(argv[1], "--open") == 0)
        return OpenOnce(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "--save") == 0)
        return SaveOnce(argv[2], argv[3]);
    if (TakeFlag(argc, argv, "--smoke"))
        RegisterBenchmarks(1000, 100);
    else
        RegisterBenchmarks(ENTRIES, ENTRIES);
    return RunBenchmarks(argc, argv);
}
