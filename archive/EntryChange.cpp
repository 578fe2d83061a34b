// The document's history of changes: recording them as AddEntry,
// RemoveEntry and ModifyEntry make them, and taking them back and making
// them again.
//
// Taking a change back relies on the list being as the change left it. A
// change to a sorted, laid-out list moved only its own entry (the sort puts
// one entry in place), so putting that entry back after the entry it
// followed restores the whole order, and laying out the offsets again
// restores them. A change to a list that was not sorted or laid out (the
// first after a load) keeps the whole order and every offset instead.
// Making a change again repeats what the change did, on the list as the
// change found it, so the sort gives the same order again.

#include "archive/EntryChange.h"

#include "archive/OstrevaneDoc.h"

CEntryChange::~CEntryChange() {
    if (m_bEntryOwned)
        delete m_pEntry;
}

CEntryChangeGroup::CEntryChangeGroup(COstrevaneDoc& doc) : m_doc(doc) {
    ++m_doc.m_changeGroups;
}

CEntryChangeGroup::~CEntryChangeGroup() {
    m_doc.EndChanges();
}

void COstrevaneDoc::SetHistoryRecorder(std::function<void(EntryChanges)> onChanges,
                                       std::function<void()> onReset) {
    m_onChanges = std::move(onChanges);
    m_onHistoryReset = std::move(onReset);
    m_pendingChanges.clear();
}

std::unique_ptr<CEntryChange> COstrevaneDoc::BeginRecord(CEntryChange::EKind kind,
                                                         CFileEntry* pEntry) {
    if (!m_onChanges)
        return nullptr;
    auto change = std::make_unique<CEntryChange>(kind, pEntry);
    change->m_pPrevBefore = pEntry->m_pPrev;
    change->m_before = pEntry->Record();
    if (!m_bLaidOut && !IsSortedAndLaidOut())
        for (CFileEntry* p = m_pHead; p; p = p->m_pNext)
            change->m_orderBefore.emplace_back(p, p->m_offset);
    return change;
}

void COstrevaneDoc::Record(std::unique_ptr<CEntryChange> change) {
    if (!change || !m_onChanges)
        return;
    m_pendingChanges.push_back(std::move(change));
    if (m_changeGroups == 0)
        m_onChanges(std::exchange(m_pendingChanges, {}));
}

void COstrevaneDoc::EndChanges() {
    if (--m_changeGroups == 0 && !m_pendingChanges.empty() && m_onChanges)
        m_onChanges(std::exchange(m_pendingChanges, {}));
}

bool COstrevaneDoc::IsSortedAndLaidOut() const {
    // Offsets as LayoutOffsets computes them, wrapping alike.
    auto offset = static_cast<std::int64_t>(DataStart(static_cast<std::uint64_t>(CountEntries())));
    for (const CFileEntry* p = m_pHead; p; p = p->m_pNext) {
        if ((p->m_pNext && p->m_pNext->m_id < p->m_id) ||
            p->m_offset != static_cast<std::int32_t>(offset))
            return false;
        offset += p->m_packedSize;
    }
    return true;
}

// Links the entries kept with the change in their order, with their
// offsets.
void COstrevaneDoc::RestoreOrder(const CEntryChange& change) {
    CFileEntry* pPrev = nullptr;
    m_pHead = nullptr;
    for (const auto& [pEntry, offset] : change.m_orderBefore) {
        pEntry->m_pPrev = pPrev;
        pEntry->m_pNext = nullptr;
        (pPrev ? pPrev->m_pNext : m_pHead) = pEntry;
        pEntry->m_offset = offset;
        pPrev = pEntry;
    }
}

namespace {

void TakeNameTypeAndId(CFileEntry& entry, const CEntryRecord& record) {
    entry.m_type = record.m_type;
    entry.m_id = record.m_id;
    entry.m_name = record.m_name;
}

} // namespace

void COstrevaneDoc::UndoChange(CEntryChange& change) {
    CFileEntry* const pEntry = change.m_pEntry;
    CEntryHint hint;
    long lHint = HINT_ENTRY_CHANGED;
    const bool bWholeOrder = !change.m_orderBefore.empty();
    switch (change.m_kind) {
    case CEntryChange::EKind::Added:
        Unlink(pEntry);
        change.m_bEntryOwned = true;
        lHint = HINT_ENTRY_REMOVED;
        break;
    case CEntryChange::EKind::Removed:
        if (!bWholeOrder)
            LinkAfter(change.m_pPrevBefore, pEntry);
        change.m_bEntryOwned = false;
        hint.m_pEntry = pEntry;
        lHint = HINT_ENTRY_ADDED;
        break;
    case CEntryChange::EKind::Modified:
        TakeNameTypeAndId(*pEntry, change.m_before);
        if (!bWholeOrder) {
            Unlink(pEntry);
            LinkAfter(change.m_pPrevBefore, pEntry);
        }
        hint.m_pEntry = pEntry;
        break;
    }
    if (bWholeOrder) {
        RestoreOrder(change);
        m_bLaidOut = false;
    } else {
        LayoutOffsets();
        m_bLaidOut = true;
    }
    SetModifiedFlag(true);
    UpdateAllViews(nullptr, lHint, &hint);
}

void COstrevaneDoc::RedoChange(CEntryChange& change) {
    CFileEntry* const pEntry = change.m_pEntry;
    CEntryHint hint;
    switch (change.m_kind) {
    case CEntryChange::EKind::Added:
        LinkAfter(nullptr, pEntry);
        change.m_bEntryOwned = false;
        FinishChange(HINT_ENTRY_ADDED, hint, pEntry);
        break;
    case CEntryChange::EKind::Removed:
        Unlink(pEntry);
        change.m_bEntryOwned = true;
        FinishChange(HINT_ENTRY_REMOVED, hint, nullptr);
        break;
    case CEntryChange::EKind::Modified:
        TakeNameTypeAndId(*pEntry, change.m_after);
        FinishChange(HINT_ENTRY_CHANGED, hint, pEntry);
        break;
    }
}
