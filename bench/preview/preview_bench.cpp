// The preview pane, offscreen: the time from selecting a row to its
// finished preview, for sounds and bitmaps of 1 MiB each (every one a
// different entry, so none comes from the pane's cache), and the UI
// thread's longest stall meanwhile, measured by a timer that should fire
// every millisecond.
//   preview_bench [--smoke]    (--smoke: 64 KiB entries, two of each)

#include "archive/OstrevaneDoc.h"
#include "bench/RunBenchmarks.h"
#include "transfer/DeltaCoding.h"
#include "transfer/EntryPacking.h"
#include "ui/EntryTableModel.h"
#include "ui/OstrevaneView.h"
#include "ui/PreviewPane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMainWindow>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutLe(Bytes& bytes, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// An 8-bit mono wave of about size bytes: a tone whose pitch depends on seed.
Bytes Wave(std::size_t size, int seed) {
    const auto samples = static_cast<std::uint32_t>(size - 44);
    Bytes wav{'R', 'I', 'F', 'F'};
    PutLe(wav, samples + 36, 4);
    for (const char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '})
        wav.push_back(static_cast<std::uint8_t>(c));
    for (const std::uint32_t v : {16u, 1u | 1u << 16, 11025u, 11025u, 1u | 8u << 16})
        PutLe(wav, v, 4);
    for (const char c : {'d', 'a', 't', 'a'})
        wav.push_back(static_cast<std::uint8_t>(c));
    PutLe(wav, samples, 4);
    for (std::uint32_t i = 0; i < samples; ++i)
        wav.push_back(static_cast<std::uint8_t>(128 + 100 * std::sin(i * (0.05 + seed * 0.01))));
    return wav;
}

// A 24-bit bitmap of about size bytes, its colours depending on seed.
Bytes Bitmap(std::size_t size, int seed) {
    const auto side = static_cast<std::uint32_t>(std::sqrt(size / 3.0)) / 4 * 4;
    const std::uint32_t pixels = side * side * 3;
    Bytes bmp{'B', 'M'};
    for (const std::uint32_t v :
         {54 + pixels, 0u, 54u, 40u, side, side, 1u | 24u << 16, 0u, pixels, 0u, 0u, 0u, 0u})
        PutLe(bmp, v, 4);
    for (std::uint32_t i = 0; i < pixels; ++i)
        bmp.push_back(static_cast<std::uint8_t>((i / 3 % side) * (seed + 1) + i / 3 / side));
    return bmp;
}

void AddEntry(COstrevaneDoc& doc, std::int32_t type, std::int32_t id, Bytes content) {
    CFileEntry entry;
    entry.m_type = type;
    entry.m_id = id;
    entry.m_name = MakeEntryName("bench");
    entry.m_size = static_cast<std::int32_t>(content.size());
    if (type == ENTRY_SOUND)
        CDeltaEncoder().Encode(content.data(), content.size());
    if (!PackBuffer(content.data(), content.size(), entry.m_data))
        std::exit(1);
    entry.m_packedSize = static_cast<std::int32_t>(entry.m_data.size());
    doc.AddEntry(std::move(entry));
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const bool bSmoke = TakeFlag(argc, argv, "--smoke");
    const int each = bSmoke ? 2 : 10;
    const std::size_t size = bSmoke ? std::size_t{64} << 10 : std::size_t{1} << 20;

    COstrevaneDoc doc;
    for (int i = 0; i < each; ++i) {
        AddEntry(doc, ENTRY_SOUND, i, Wave(size, i));
        AddEntry(doc, ENTRY_PORTRAIT, 1000 + i, Bitmap(size, i));
    }
    QMainWindow window;
    auto* pView = new COstrevaneView(&window);
    auto* pPane = new CPreviewPane(&window);
    window.setCentralWidget(pView);
    window.addDockWidget(Qt::RightDockWidgetArea, pPane);
    window.resize(1150, 650);
    window.show();
    doc.AddView(pView);
    pView->OnInitialUpdate();
    QObject::connect(pView, &COstrevaneView::SelectionStateChanged, pPane,
                     [pPane, pView] { pPane->ShowEntry(pView->GetSelectedEntry()); });

    QElapsedTimer sinceTick;
    double longestStall = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestStall = std::max(longestStall, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    QApplication::processEvents();
    sinceTick.start();
    ticker.start();

    std::vector<double> soundMs, pictureMs;
    for (int row = 0; row < pView->Model().rowCount(); ++row) {
        QEventLoop loop;
        QObject::connect(pPane, &CPreviewPane::PreviewShown, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        pView->selectionModel()->setCurrentIndex(pView->Model().index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
        if (pPane->IsBusy())
            loop.exec();
        const double ms = clock.nsecsElapsed() / 1e6;
        const bool bSound = pView->Model().EntryAt(row)->m_type == ENTRY_SOUND;
        (bSound ? soundMs : pictureMs).push_back(ms);
        if (pPane->Shown() == nullptr ||
            pPane->Shown()->kind != (bSound ? SPreview::EKind::Sound : SPreview::EKind::Picture)) {
            std::fprintf(stderr, "row %d: no preview of the expected kind\n", row);
            return 1;
        }
    }
    ticker.stop();
    std::printf("selecting a row to its finished preview (%zu KiB entries, %d of each):\n",
                size >> 10, each);
    std::printf("  sound    median %6.1f ms, slowest %6.1f ms (target 50)\n", Median(soundMs),
                *std::max_element(soundMs.begin(), soundMs.end()));
    std::printf("  picture  median %6.1f ms, slowest %6.1f ms (target 50)\n", Median(pictureMs),
                *std::max_element(pictureMs.begin(), pictureMs.end()));
    std::printf("the UI thread's longest stall meanwhile: %.1f ms (target 16)\n", longestStall);
    return 0;
}
