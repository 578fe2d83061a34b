#pragma once

#include "ui/PreviewJob.h"

#include <QDockWidget>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <optional>

class CFileEntry;
class CPictureView;
class CWaveformView;
class ISoundOutput;
class QLabel;
class QListView;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QStringListModel;
class QTimer;

// The preview dock: the selected entry's picture, sound (waveform, length,
// Play and Stop) or bytes. The work of unpacking and decoding runs on a
// thread of its own, one job at a time: while one runs, only the newest
// entry asked for waits, and a job for an entry no longer wanted stops.
// Previews are kept for the entries seen last (a few MiB), so going back to
// a row shows it at once. Damage and size are said in the pane itself,
// never in a message box.
class CPreviewPane : public QDockWidget {
    Q_OBJECT
public:
    explicit CPreviewPane(QWidget* pParent = nullptr);
    ~CPreviewPane() override;

    // Shows pEntry (null: nothing). Called on every change of the
    // selection or the list; an entry already shown is left as it is, and
    // anything else stops the sound.
    void ShowEntry(const CFileEntry* pEntry);
    // Drops every preview kept and what is shown: a kept preview holds its
    // entry's packed data, which for an archive read from a file holds the
    // whole archive's. Called when the document is replaced.
    void Forget();
    // Play, or Stop while playing (the button, and Space in the list).
    void TogglePlay();

    // Where sound goes: made by factory when first needed (the device is
    // touched only once a sound is shown).
    void SetSoundOutputFactory(std::function<ISoundOutput*()> factory);

    // For tests and the benchmark: the kind shown, its texts and widgets,
    // and whether a job is running or waiting.
    const SPreview* Shown() const { return m_pShown.get(); }
    QString Caption() const;
    QString Note() const;
    QPushButton* PlayButton() const { return m_pPlay; }
    CPictureView* PictureView() const { return m_pPicture; }
    CWaveformView* WaveformView() const { return m_pWaveform; }
    bool IsBusy() const { return m_bRunning || m_pending.has_value(); }

signals:
    // A preview was put in the pane.
    void PreviewShown();

private:
    QWidget* MakeSoundPage();
    QWidget* MakeHexPage();
    void Start(const SPreviewRequest& request);
    void Finished(std::uint64_t generation, SPreviewRequest request,
                  std::shared_ptr<const SPreview> pPreview);
    void Show(std::shared_ptr<const SPreview> pPreview);
    void ShowMessage(const QString& text);
    void StopSound();
    void UpdatePlayButton();
    void Tick();
    void FitPicture();
    ISoundOutput* Output();
    std::shared_ptr<const SPreview> Cached(const SPreviewRequest& request);
    void Remember(const SPreviewRequest& request, std::shared_ptr<const SPreview> pPreview);

    QStackedWidget* m_pPages;
    QLabel* m_pMessage;
    QScrollArea* m_pPictureArea;
    CPictureView* m_pPicture;
    QLabel* m_pCaption;
    CWaveformView* m_pWaveform;
    QLabel* m_pDuration;
    QPushButton* m_pPlay;
    QLabel* m_pHexNote;
    QListView* m_pHex;
    QStringListModel* m_pHexLines;
    QTimer* m_pTick;

    std::optional<SPreviewRequest> m_current; // the entry the pane is for
    std::shared_ptr<const SPreview> m_pShown;
    std::optional<SPreviewRequest> m_pending; // asked for while a job ran
    bool m_bRunning = false;
    // The newest entry asked for; a job for an older one gives up.
    std::shared_ptr<std::atomic<std::uint64_t>> m_pWanted;
    std::uint64_t m_generation = 0;
    struct SCached {
        SPreviewRequest request;
        std::shared_ptr<const SPreview> pPreview;
    };
    std::list<SCached> m_cache; // newest first
    std::function<ISoundOutput*()> m_outputFactory;
    ISoundOutput* m_pOutput = nullptr;
    QThreadPool m_pool; // one thread
};
