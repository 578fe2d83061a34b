// The entry list at 100,000 rows, offscreen: a full rebuild on a document
// hint (what every change costs the view), and one scroll step repainted.
// With --smoke, at 1,000 rows.

#include "archive/OstrevaneDoc.h"
#include "bench/RunBenchmarks.h"
#include "bench/archive/ArchiveMaker.h"
#include "ui/OstrevaneView.h"

#include <QApplication>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

struct SViewOnDocument {
    COstrevaneDoc doc;
    COstrevaneView view;

    explicit SViewOnDocument(int rows) {
        FillDocument(doc, rows, 16);
        doc.AddView(&view);
        view.resize(800, 600);
        view.show();
        view.OnInitialUpdate();
        QApplication::processEvents();
    }
};

void BM_RebuildOnHint(benchmark::State& state) {
    SViewOnDocument fixture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        fixture.doc.UpdateAllViews(nullptr, HINT_ENTRY_CHANGED);
        fixture.view.viewport()->repaint();
    }
}

void BM_ScrollStep(benchmark::State& state) {
    SViewOnDocument fixture(static_cast<int>(state.range(0)));
    QScrollBar* pBar = fixture.view.verticalScrollBar();
    int step = 0;
    for (auto _ : state) {
        pBar->setValue((step += 997) % pBar->maximum());
        fixture.view.viewport()->repaint();
    }
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const int rows = TakeFlag(argc, argv, "--smoke") ? 1000 : 100000;
    benchmark::RegisterBenchmark("BM_RebuildOnHint", BM_RebuildOnHint)
        ->Arg(rows)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ScrollStep", BM_ScrollStep)
        ->Arg(rows)
        ->Unit(benchmark::kMillisecond);
    return RunBenchmarks(argc, argv);
}
