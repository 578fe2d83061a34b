#pragma once

#include "platform/Progress.h"

#include <QElapsedTimer>
#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

// For the length of long work: a busy cursor, and once the work has taken
// half a second, a progress dialog owned by pOwner whose Cancel makes the
// progress callback return false.
class CWaitProgress {
public:
    CWaitProgress(QWidget* pOwner, QString label);
    ~CWaitProgress();
    CWaitProgress(const CWaitProgress&) = delete;
    CWaitProgress& operator=(const CWaitProgress&) = delete;

    // The callback for the work; valid while this object lives.
    ProgressFn Callback();
    bool Report(std::uint64_t done, std::uint64_t total);
    // From now on the work cannot be cancelled: the dialog shows no Cancel.
    void ForbidCancel();

    // How long before the dialog appears.
    static constexpr int DELAY_MS = 500;

private:
    QWidget* m_pOwner;
    QString m_label;
    QElapsedTimer m_clock;
    std::unique_ptr<QProgressDialog> m_pDialog;
    bool m_bCancellable = true;
};
