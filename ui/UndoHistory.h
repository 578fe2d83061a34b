#pragma once

#include <QObject>
#include <QUndoStack>

class COstrevaneDoc;

// Undo and Redo of the editor: each group of changes the document records
// (one import, delete or edit) is one step of a QUndoStack. The steps keep
// the entries themselves, never copies, so their packed data stays shared
// with the document. The document's modified flag follows the step it was
// saved at: taking the changes back to it clears the flag. A new or opened
// document starts a new history.
class CUndoHistory : public QObject {
    Q_OBJECT
public:
    explicit CUndoHistory(COstrevaneDoc& doc, QObject* pParent = nullptr);
    ~CUndoHistory() override;
    CUndoHistory(const CUndoHistory&) = delete;
    CUndoHistory& operator=(const CUndoHistory&) = delete;

    bool CanUndo() const { return m_stack.canUndo(); }
    bool CanRedo() const { return m_stack.canRedo(); }
    void Undo() { m_stack.undo(); }
    void Redo() { m_stack.redo(); }
    // The document was saved as it stands now.
    void MarkSaved() { m_stack.setClean(); }
    int Steps() const { return m_stack.count(); }

signals:
    // Whether Undo or Redo can be done may have changed.
    void Changed();

private:
    COstrevaneDoc& m_doc;
    QUndoStack m_stack;
};
