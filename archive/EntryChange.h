#pragma once

#include "archive/FileEntry.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class COstrevaneDoc;

// One change the document made to its list, kept so that it can be taken
// back and made again (undo and redo): the entry added, removed or modified,
// the entry it stood after before the change, and the record it had. The
// entry itself is kept, never a copy: its packed data stays shared with the
// document. An entry out of the document (removed, or added and taken back)
// belongs to the change and is deleted with it.
class CEntryChange {
public:
    enum class EKind { Added, Removed, Modified };

    CEntryChange(EKind kind, CFileEntry* pEntry) : m_kind(kind), m_pEntry(pEntry) {}
    ~CEntryChange();
    CEntryChange(const CEntryChange&) = delete;
    CEntryChange& operator=(const CEntryChange&) = delete;

    EKind Kind() const { return m_kind; }
    CFileEntry* Entry() const { return m_pEntry; }

private:
    friend class COstrevaneDoc;

    EKind m_kind;
    CFileEntry* m_pEntry;
    bool m_bEntryOwned = false; // out of the document, so this change's
    CFileEntry* m_pPrevBefore = nullptr;
    CEntryRecord m_before{}; // the record before a modification
    CEntryRecord m_after{};  // and after it
    // Every entry with its offset, in order, before a change made to a list
    // that was not sorted and laid out (straight after a load): sorting it
    // then moved more than the changed entry.
    std::vector<std::pair<CFileEntry*, std::int32_t>> m_orderBefore;
};

// The changes of one action of the user, in the order they were made.
using EntryChanges = std::vector<std::unique_ptr<CEntryChange>>;

// Makes the changes made while it lives one group, handed to the document's
// history recorder at its end. Groups may nest; the outermost one counts.
class CEntryChangeGroup {
public:
    explicit CEntryChangeGroup(COstrevaneDoc& doc);
    ~CEntryChangeGroup();
    CEntryChangeGroup(const CEntryChangeGroup&) = delete;
    CEntryChangeGroup& operator=(const CEntryChangeGroup&) = delete;

private:
    COstrevaneDoc& m_doc;
};
