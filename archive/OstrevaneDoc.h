#pragma once

#include "archive/ArchiveReader.h"
#include "archive/EntryChange.h"
#include "archive/FileEntry.h"
#include "platform/Document.h"

#include <cstdint>
#include <functional>
#include <memory>

// Hint codes sent with every view update.
inline constexpr long HINT_ENTRY_ADDED = 1;
inline constexpr long HINT_ENTRY_CHANGED = 2;
inline constexpr long HINT_ENTRY_REMOVED = 3;

// What changed, passed with an update; lives only during that update.
// Fields a hint code does not fill stay 0.
class CEntryHint : public CObject {
public:
    std::int32_t m_oldType = 0;
    std::int32_t m_newType = 0;
    std::int32_t m_oldId = 0;
    std::int32_t m_newId = 0;
    // The entry added or changed, for the views to show; null when one was
    // removed.
    CFileEntry* m_pEntry = nullptr;
};

// The archive: a doubly linked list of entries, kept sorted by ID (stable)
// with current offsets after every change; straight after a load it is in
// file order with the stored offsets until the next change.
//
// The list operations report nothing: RemoveEntry and ModifyEntry take an
// entry of this list, never null. Sorting relinks nodes, so an entry pointer
// stays the same entry across every change until that entry is removed.
class COstrevaneDoc : public CDocument {
public:
    COstrevaneDoc();
    ~COstrevaneDoc() override;

    // First entry of that type and ID in list order, or null.
    CFileEntry* FindEntry(std::int32_t type, std::int32_t id) const;
    // A fresh, unlinked entry with that type and ID; the caller owns it.
    CFileEntry* NewEntry(std::int32_t type, std::int32_t id);
    // Adds a copy of the template (record and data); duplicates are allowed
    // and the new entry stands before others with the same ID.
    void AddEntry(const CFileEntry& tmpl);
    // Same, taking the template's data instead of copying it.
    void AddEntry(CFileEntry&& tmpl);
    // Changes type, ID and name as the template says (255, -1 and a name
    // that begins with a zero byte leave that field); nothing else.
    void ModifyEntry(CFileEntry* pEntry, const CFileEntry& tmpl);
    void RemoveEntry(CFileEntry* pEntry);
    void SortEntries();
    void LayoutOffsets();
    std::int32_t CountEntries() const;
    // Largest ID among entries of that type, at least 0.
    std::int32_t MaxId(std::int32_t type) const;
    void DeleteAllEntries();

    // One more than MaxId(type), as the unsigned 32 bits an ID field shows
    // (wraps past the largest signed ID instead of overflowing).
    std::uint32_t ProposedId(std::int32_t type) const;
    // Whether pEntry is in this document's list.
    bool ContainsEntry(const CFileEntry* pEntry) const;
    // Replaces the list by a chain the reader built (first entry given).
    void AdoptEntries(CFileEntry* pFirst);

    bool OnNewDocument() override;
    void Serialize(CArchive& ar) override;

    // How the loaded file's directory disagreed with its data; empty for a
    // new document, and for every archive this program wrote.
    const LayoutReport& GetLayoutReport() const { return m_layoutReport; }

    // Keeps a history of the changes (the editor's undo). While set, every
    // AddEntry, RemoveEntry and ModifyEntry that changes the list hands
    // onChanges a record of it (one group per CEntryChangeGroup, else one
    // per change), and a removed entry goes to its record instead of being
    // deleted. onReset is called before the list is replaced or emptied
    // (new, open, close), when the records no longer apply. Empty functions
    // stop the recording.
    void SetHistoryRecorder(std::function<void(EntryChanges)> onChanges,
                            std::function<void()> onReset);
    // Takes a recorded change back, or makes it again, when the list is as
    // the change left it (or found it): the entry, its record and its place
    // in the order are as they were. Records nothing; updates the views
    // with the hint of an add, change or removal.
    void UndoChange(CEntryChange& change);
    void RedoChange(CEntryChange& change);

    CFileEntry* m_pHead = nullptr;

private:
    friend class CEntryChangeGroup;
    // Links pEntry after pAfter, or at the head when pAfter is null.
    void LinkAfter(CFileEntry* pAfter, CFileEntry* pEntry);
    void Unlink(CFileEntry* pEntry);
    // Sorts the list after a change that moved at most pChanged (null when
    // only an entry was taken out); returns the number of entries.
    std::int32_t SortAfterChange(CFileEntry* pChanged);
    void LayoutOffsets(std::int32_t count);
    void FinishChange(long lHint, CEntryHint& hint, CFileEntry* pChanged);
    void Load(CArchive& ar);
    void Store(CArchive& ar);

    // A record of a change about to be made to pEntry, or null while no
    // history is kept; Record() hands it on once the change is made.
    std::unique_ptr<CEntryChange> BeginRecord(CEntryChange::EKind kind, CFileEntry* pEntry);
    void Record(std::unique_ptr<CEntryChange> change);
    void EndChanges();
    bool IsSortedAndLaidOut() const;
    void RestoreOrder(const CEntryChange& change);

    LayoutReport m_layoutReport;
    std::function<void(EntryChanges)> m_onChanges;
    std::function<void()> m_onHistoryReset;
    EntryChanges m_pendingChanges;
    int m_changeGroups = 0;
    // The list is sorted and its offsets back to back: not so straight after
    // a load, until the first change.
    bool m_bLaidOut = true;
};

// The one document, or null while none exists.
extern COstrevaneDoc* g_pDoc;
