#include "ui/UndoHistory.h"

#include "archive/OstrevaneDoc.h"

#include <QUndoCommand>

namespace {

// One recorded group of changes. It is pushed after the changes were made,
// so the redo that pushing runs does nothing.
class CEntryChangesCommand : public QUndoCommand {
public:
    CEntryChangesCommand(COstrevaneDoc& doc, EntryChanges changes)
        : m_doc(doc), m_changes(std::move(changes)) {}

    // An edit that deleted the entry in its way ends with the entry edited:
    // that one is shown at the end, not the one restored last.
    void undo() override {
        for (auto it = m_changes.rbegin(); it != m_changes.rend(); ++it)
            m_doc.UndoChange(**it);
        const CEntryChange& last = *m_changes.back();
        if (m_changes.size() > 1 && last.Kind() == CEntryChange::EKind::Modified) {
            CEntryHint hint;
            hint.m_pEntry = last.Entry();
            m_doc.UpdateAllViews(nullptr, HINT_ENTRY_CHANGED, &hint);
        }
    }

    void redo() override {
        if (m_bPushed) {
            for (const auto& change : m_changes)
                m_doc.RedoChange(*change);
        }
        m_bPushed = true;
    }

private:
    COstrevaneDoc& m_doc;
    EntryChanges m_changes;
    bool m_bPushed = false;
};

} // namespace

CUndoHistory::CUndoHistory(COstrevaneDoc& doc, QObject* pParent) : QObject(pParent), m_doc(doc) {
    m_doc.SetHistoryRecorder(
        [this](EntryChanges changes) {
            m_stack.push(new CEntryChangesCommand(m_doc, std::move(changes)));
        },
        [this] { m_stack.clear(); });
    connect(&m_stack, &QUndoStack::indexChanged, this,
            [this] { m_doc.SetModifiedFlag(!m_stack.isClean()); });
    connect(&m_stack, &QUndoStack::canUndoChanged, this, &CUndoHistory::Changed);
    connect(&m_stack, &QUndoStack::canRedoChanged, this, &CUndoHistory::Changed);
}

// The steps go before the stack does: its destructor would tell the
// document of a change of index while this object is half gone.
CUndoHistory::~CUndoHistory() {
    m_doc.SetHistoryRecorder({}, {});
    QObject::disconnect(&m_stack, nullptr, nullptr, nullptr);
    m_stack.clear();
}
