#include "platform/qt/WaitProgress.h"

#include <QApplication>
#include <QProgressDialog>

namespace {
// The dialog's range in steps, whatever the byte count.
constexpr int STEPS = 1000;
} // namespace

CWaitProgress::CWaitProgress(QWidget* pOwner, QString label)
    : m_pOwner(pOwner), m_label(std::move(label)) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_clock.start();
}

CWaitProgress::~CWaitProgress() {
    m_pDialog.reset();
    QApplication::restoreOverrideCursor();
}

ProgressFn CWaitProgress::Callback() {
    return [this](std::uint64_t done, std::uint64_t total) { return Report(done, total); };
}

void CWaitProgress::ForbidCancel() {
    m_bCancellable = false;
    if (m_pDialog) {
        m_pDialog->setCancelButton(nullptr);
        QApplication::processEvents();
    }
}

bool CWaitProgress::Report(std::uint64_t done, std::uint64_t total) {
    if (!m_pDialog && m_clock.elapsed() >= DELAY_MS) {
        m_pDialog = std::make_unique<QProgressDialog>(
            m_label, m_bCancellable ? "Cancel" : QString(), 0, STEPS, m_pOwner);
        m_pDialog->setWindowModality(Qt::WindowModal);
        m_pDialog->setMinimumDuration(0);
        m_pDialog->setAutoClose(false);
        m_pDialog->setAutoReset(false);
        // Still working, but Cancel can be pressed.
        QApplication::changeOverrideCursor(Qt::BusyCursor);
    }
    if (m_pDialog) {
        const std::uint64_t whole = total == 0 ? 1 : total;
        m_pDialog->setValue(static_cast<int>(std::min<std::uint64_t>(done, whole) * STEPS / whole));
        QApplication::processEvents();
        return !m_pDialog->wasCanceled();
    }
    return true;
}
