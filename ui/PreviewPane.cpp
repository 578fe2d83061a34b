#include "ui/PreviewPane.h"

#include "archive/FileEntry.h"
#include "platform/SoundOutput.h"
#include "ui/PreviewViews.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum EPage { MESSAGE_PAGE, PICTURE_PAGE, SOUND_PAGE, HEX_PAGE };

// The previews kept for going back to a row, in bytes; the newest is kept
// whatever its size.
constexpr std::uint64_t CACHE_BYTES = std::uint64_t{8} << 20;
// How often the cursor and the Play button follow the sound, in ms.
constexpr int TICK_MS = 30;

const char* const NO_SOUND = "No sound output is available";
const char* const NOTHING_SELECTED = "Select an entry to see it here";

// m:ss.mmm
QString Duration(std::uint64_t ms) {
    return QString("%1:%2.%3")
        .arg(ms / 60000)
        .arg(ms / 1000 % 60, 2, 10, QChar('0'))
        .arg(ms % 1000, 3, 10, QChar('0'));
}

} // namespace

CPreviewPane::CPreviewPane(QWidget* pParent)
    : QDockWidget("Preview", pParent), m_pPages(new QStackedWidget(this)),
      m_pMessage(new QLabel(this)), m_pPictureArea(new QScrollArea(this)),
      m_pPicture(new CPictureView(this)), m_pCaption(new QLabel(this)),
      m_pWaveform(new CWaveformView(this)), m_pDuration(new QLabel(this)),
      m_pPlay(new QPushButton("Play", this)), m_pHexNote(new QLabel(this)),
      m_pHex(new QListView(this)), m_pHexLines(new QStringListModel(this)),
      m_pTick(new QTimer(this)), m_pWanted(std::make_shared<std::atomic<std::uint64_t>>(0)) {
    setObjectName("preview");
    m_pool.setMaxThreadCount(1);
    m_pMessage->setAlignment(Qt::AlignCenter);
    m_pMessage->setWordWrap(true);
    m_pPages->insertWidget(MESSAGE_PAGE, m_pMessage);

    auto* pPicturePage = new QWidget(this);
    auto* pPictureLayout = new QVBoxLayout(pPicturePage);
    m_pPictureArea->setWidget(m_pPicture);
    m_pPictureArea->setWidgetResizable(true);
    m_pPictureArea->setAlignment(Qt::AlignCenter);
    pPictureLayout->addWidget(m_pPictureArea, 1);
    pPictureLayout->addWidget(m_pCaption);
    m_pPages->insertWidget(PICTURE_PAGE, pPicturePage);
    connect(m_pPicture, &CPictureView::ZoomChanged, this, &CPreviewPane::FitPicture);

    m_pPages->insertWidget(SOUND_PAGE, MakeSoundPage());
    m_pPages->insertWidget(HEX_PAGE, MakeHexPage());
    setWidget(m_pPages);
    ShowMessage(NOTHING_SELECTED);
    m_pTick->setInterval(TICK_MS);
    connect(m_pTick, &QTimer::timeout, this, &CPreviewPane::Tick);
}

CPreviewPane::~CPreviewPane() {
    m_pWanted->store(~std::uint64_t{0});
    m_pool.waitForDone();
    StopSound();
}

QWidget* CPreviewPane::MakeSoundPage() {
    auto* pPage = new QWidget(this);
    auto* pLayout = new QVBoxLayout(pPage);
    pLayout->addWidget(m_pWaveform, 1);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pPlay);
    pRow->addWidget(m_pDuration, 1);
    pLayout->addLayout(pRow);
    connect(m_pPlay, &QPushButton::clicked, this, &CPreviewPane::TogglePlay);
    return pPage;
}

QWidget* CPreviewPane::MakeHexPage() {
    auto* pPage = new QWidget(this);
    auto* pLayout = new QVBoxLayout(pPage);
    m_pHex->setModel(m_pHexLines);
    m_pHex->setUniformItemSizes(true);
    m_pHex->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pHex->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    pLayout->addWidget(m_pHexNote);
    pLayout->addWidget(m_pHex, 1);
    return pPage;
}

void CPreviewPane::SetSoundOutputFactory(std::function<ISoundOutput*()> factory) {
    StopSound();
    m_outputFactory = std::move(factory);
    m_pOutput = nullptr;
}

ISoundOutput* CPreviewPane::Output() {
    if (m_pOutput == nullptr && m_outputFactory)
        m_pOutput = m_outputFactory();
    return m_pOutput;
}

void CPreviewPane::Forget() {
    ShowEntry(nullptr);
    m_cache.clear();
}

void CPreviewPane::ShowEntry(const CFileEntry* pEntry) {
    if (pEntry == nullptr) {
        StopSound();
        m_current.reset();
        m_pending.reset();
        m_pWanted->store(++m_generation);
        m_pShown.reset();
        ShowMessage(NOTHING_SELECTED);
        return;
    }
    const SPreviewRequest request{pEntry->m_type, pEntry->m_size, pEntry->m_data};
    if (m_current && m_current->IsSameEntryAs(request))
        return;
    StopSound();
    m_current = request;
    m_pWanted->store(++m_generation);
    if (std::shared_ptr<const SPreview> pCached = Cached(request)) {
        m_pending.reset();
        Show(std::move(pCached));
        return;
    }
    m_pShown.reset();
    ShowMessage(QString());
    if (m_bRunning)
        m_pending = request;
    else
        Start(request);
}

// The job hands its preview back to the UI thread; were the pane gone by
// then, the queued call would go with it.
void CPreviewPane::Start(const SPreviewRequest& request) {
    m_bRunning = true;
    const std::uint64_t generation = m_generation;
    std::shared_ptr<std::atomic<std::uint64_t>> pWanted = m_pWanted;
    m_pool.start([this, request, generation, pWanted] {
        auto pPreview = std::make_shared<const SPreview>(
            MakePreview(request, [&] { return pWanted->load() == generation; }));
        QMetaObject::invokeMethod(
            this,
            [this, generation, request, pPreview] { Finished(generation, request, pPreview); },
            Qt::QueuedConnection);
    });
}

// A preview for an entry no longer wanted may have been cut short: it is
// neither shown nor kept.
void CPreviewPane::Finished(std::uint64_t generation, SPreviewRequest request,
                            std::shared_ptr<const SPreview> pPreview) {
    m_bRunning = false;
    if (generation == m_generation) {
        Remember(request, pPreview);
        Show(std::move(pPreview));
    }
    if (m_pending) {
        const SPreviewRequest next = *m_pending;
        m_pending.reset();
        Start(next);
    }
}

void CPreviewPane::Show(std::shared_ptr<const SPreview> pPreview) {
    m_pShown = std::move(pPreview);
    const SPreview& preview = *m_pShown;
    m_pWaveform->SetLevels(preview.kind == SPreview::EKind::Sound ? &preview.levels : nullptr);
    switch (preview.kind) {
    case SPreview::EKind::Picture:
        m_pPicture->SetImage(preview.image);
        m_pCaption->setText(QString("%1 x %2, %3 bits per pixel")
                                .arg(preview.info.picture.width)
                                .arg(preview.info.picture.height)
                                .arg(preview.info.picture.bitsPerPixel));
        m_pPages->setCurrentIndex(PICTURE_PAGE);
        break;
    case SPreview::EKind::Sound:
        m_pDuration->setText(Duration(preview.info.sound.durationMs));
        m_pPages->setCurrentIndex(SOUND_PAGE);
        Output();
        UpdatePlayButton();
        m_pTick->start();
        break;
    case SPreview::EKind::Hex:
        m_pHexLines->setStringList(preview.hexLines);
        m_pHexNote->setText(HexNote(preview.info.size));
        m_pHexNote->setVisible(!m_pHexNote->text().isEmpty());
        m_pPages->setCurrentIndex(HEX_PAGE);
        break;
    case SPreview::EKind::Message:
        ShowMessage(preview.message);
        break;
    }
    if (preview.kind != SPreview::EKind::Sound)
        m_pTick->stop();
    emit PreviewShown();
}

void CPreviewPane::ShowMessage(const QString& text) {
    m_pMessage->setText(text);
    m_pPages->setCurrentIndex(MESSAGE_PAGE);
    m_pWaveform->SetLevels(nullptr);
    m_pTick->stop();
}

void CPreviewPane::TogglePlay() {
    ISoundOutput* pOutput = Output();
    if (!m_pShown || m_pShown->kind != SPreview::EKind::Sound || pOutput == nullptr ||
        !pOutput->IsAvailable())
        return;
    if (pOutput->IsPlaying())
        StopSound();
    else
        pOutput->Play(m_pShown->samples, m_pShown->format);
    UpdatePlayButton();
}

void CPreviewPane::StopSound() {
    if (m_pOutput != nullptr && m_pOutput->IsPlaying())
        m_pOutput->Stop();
    m_pWaveform->SetCursor(-1);
    UpdatePlayButton();
}

void CPreviewPane::UpdatePlayButton() {
    const bool bAvailable = m_pOutput != nullptr && m_pOutput->IsAvailable();
    m_pPlay->setEnabled(bAvailable);
    m_pPlay->setToolTip(bAvailable ? QString() : NO_SOUND);
    m_pPlay->setText(bAvailable && m_pOutput->IsPlaying() ? "Stop" : "Play");
}

void CPreviewPane::Tick() {
    UpdatePlayButton();
    if (m_pOutput == nullptr || !m_pOutput->IsPlaying() || !m_pShown) {
        if (m_pWaveform->Cursor() >= 0)
            m_pWaveform->SetCursor(-1);
        return;
    }
    const auto frames = static_cast<double>(m_pShown->levels.size());
    m_pWaveform->SetCursor(frames > 0 ? std::min(1.0, m_pOutput->PlayedFrames() / frames) : 0);
}

void CPreviewPane::FitPicture() {
    if (m_pPicture->Zoom() <= 0) {
        m_pPictureArea->setWidgetResizable(true);
        return;
    }
    m_pPictureArea->setWidgetResizable(false);
    m_pPicture->resize(m_pPicture->sizeHint().expandedTo(m_pPictureArea->viewport()->size()));
}

QString CPreviewPane::Caption() const {
    return m_pPages->currentIndex() == PICTURE_PAGE ? m_pCaption->text()
           : m_pPages->currentIndex() == SOUND_PAGE ? m_pDuration->text()
           : m_pPages->currentIndex() == HEX_PAGE   ? m_pHexNote->text()
                                                    : m_pMessage->text();
}

QString CPreviewPane::Note() const {
    return m_pHexNote->text();
}

std::shared_ptr<const SPreview> CPreviewPane::Cached(const SPreviewRequest& request) {
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
        if (it->request.IsSameEntryAs(request)) {
            m_cache.splice(m_cache.begin(), m_cache, it);
            return m_cache.front().pPreview;
        }
    return nullptr;
}

void CPreviewPane::Remember(const SPreviewRequest& request,
                            std::shared_ptr<const SPreview> pPreview) {
    m_cache.push_front({request, std::move(pPreview)});
    std::uint64_t bytes = 0;
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
        bytes += it->pPreview->Bytes();
        if (bytes > CACHE_BYTES && it != m_cache.begin()) {
            m_cache.erase(it, m_cache.end());
            break;
        }
    }
}
