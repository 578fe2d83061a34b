#pragma once

#include "platform/Progress.h"

#include <utility>

class CFile;

// The document's handle on the file being loaded or stored. It keeps no
// buffer of its own: the document reads and writes the underlying file
// directly, so the file holds exactly the bytes the document writes.
class CArchive {
public:
    enum Mode { store = 0, load = 1 };

    CArchive(CFile* pFile, Mode nMode) : m_pFile(pFile), m_nMode(nMode) {}

    bool IsStoring() const { return m_nMode == store; }
    bool IsLoading() const { return m_nMode == load; }
    void Flush() {}
    CFile* GetFile() const { return m_pFile; }

    // Hears how far the load or store has gone; false from it cancels.
    void SetProgress(ProgressFn progress) { m_progress = std::move(progress); }
    const ProgressFn& GetProgress() const { return m_progress; }

    // Serialize calls this when it refused the file or the save after
    // showing its own message, or when the user cancelled it; the framework
    // then adds no message of its own.
    void MarkRefused() { m_bRefused = true; }
    bool IsRefused() const { return m_bRefused; }

private:
    CFile* m_pFile;
    Mode m_nMode;
    bool m_bRefused = false;
    ProgressFn m_progress;
};
