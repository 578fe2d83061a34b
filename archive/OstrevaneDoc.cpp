#include "archive/OstrevaneDoc.h"

#include "archive/ArchiveReader.h"
#include "archive/ArchiveWriter.h"
#include "platform/Archive.h"
#include "platform/MessageBox.h"

#include <utility>

COstrevaneDoc* g_pDoc = nullptr;

COstrevaneDoc::COstrevaneDoc() {
    g_pDoc = this;
}

COstrevaneDoc::~COstrevaneDoc() {
    DeleteAllEntries();
    if (g_pDoc == this)
        g_pDoc = nullptr;
}

CFileEntry* COstrevaneDoc::FindEntry(std::int32_t type, std::int32_t id) const {
    for (CFileEntry* p = m_pHead; p; p = p->m_pNext)
        if (p->m_type == type && p->m_id == id)
            return p;
    return nullptr;
}

CFileEntry* COstrevaneDoc::NewEntry(std::int32_t type, std::int32_t id) {
    auto* pEntry = new CFileEntry;
    pEntry->m_type = type;
    pEntry->m_id = id;
    return pEntry;
}

void COstrevaneDoc::LinkAfter(CFileEntry* pAfter, CFileEntry* pEntry) {
    pEntry->m_pPrev = pAfter;
    pEntry->m_pNext = pAfter ? pAfter->m_pNext : m_pHead;
    if (pEntry->m_pNext)
        pEntry->m_pNext->m_pPrev = pEntry;
    if (pAfter)
        pAfter->m_pNext = pEntry;
    else
        m_pHead = pEntry;
}

void COstrevaneDoc::Unlink(CFileEntry* pEntry) {
    if (pEntry->m_pNext)
        pEntry->m_pNext->m_pPrev = pEntry->m_pPrev;
    if (pEntry->m_pPrev)
        pEntry->m_pPrev->m_pNext = pEntry->m_pNext;
    else
        m_pHead = pEntry->m_pNext;
}

void COstrevaneDoc::FinishChange(long lHint, CEntryHint& hint, CFileEntry* pChanged) {
    SetModifiedFlag(true);
    LayoutOffsets(SortAfterChange(pChanged));
    m_bLaidOut = true;
    hint.m_pEntry = pChanged;
    UpdateAllViews(nullptr, lHint, &hint);
}

void COstrevaneDoc::AddEntry(const CFileEntry& tmpl) {
    CFileEntry copy;
    copy.Record() = tmpl.Record();
    copy.m_data = tmpl.m_data;
    AddEntry(std::move(copy));
}

void COstrevaneDoc::AddEntry(CFileEntry&& tmpl) {
    CFileEntry* pEntry = NewEntry(tmpl.m_type, tmpl.m_id);
    pEntry->m_data = std::move(tmpl.m_data);
    pEntry->Record() = tmpl.Record();
    std::unique_ptr<CEntryChange> change = BeginRecord(CEntryChange::EKind::Added, pEntry);
    LinkAfter(nullptr, pEntry);
    CEntryHint hint;
    hint.m_newType = pEntry->m_type;
    hint.m_newId = pEntry->m_id;
    FinishChange(HINT_ENTRY_ADDED, hint, pEntry);
    Record(std::move(change));
}

void COstrevaneDoc::RemoveEntry(CFileEntry* pEntry) {
    std::unique_ptr<CEntryChange> change = BeginRecord(CEntryChange::EKind::Removed, pEntry);
    Unlink(pEntry);
    if (change)
        change->m_bEntryOwned = true;
    else
        delete pEntry;
    CEntryHint hint;
    FinishChange(HINT_ENTRY_REMOVED, hint, nullptr);
    Record(std::move(change));
}

void COstrevaneDoc::ModifyEntry(CFileEntry* pEntry, const CFileEntry& tmpl) {
    CEntryHint hint;
    hint.m_oldType = pEntry->m_type;
    hint.m_oldId = pEntry->m_id;
    hint.m_newType = tmpl.m_type;
    hint.m_newId = tmpl.m_id;
    std::unique_ptr<CEntryChange> change = BeginRecord(CEntryChange::EKind::Modified, pEntry);
    bool bChanged = false;
    if (tmpl.m_id != ENTRY_ID_NONE && tmpl.m_id != pEntry->m_id) {
        pEntry->m_id = tmpl.m_id;
        bChanged = true;
    }
    if (tmpl.m_type != ENTRY_TYPE_NONE && tmpl.m_type != pEntry->m_type) {
        pEntry->m_type = tmpl.m_type;
        bChanged = true;
    }
    if (tmpl.m_name[0] != 0 && tmpl.m_name != pEntry->m_name) {
        pEntry->m_name = tmpl.m_name;
        bChanged = true;
    }
    if (!bChanged)
        return;
    FinishChange(HINT_ENTRY_CHANGED, hint, pEntry);
    if (change)
        change->m_after = pEntry->Record();
    Record(std::move(change));
}

void COstrevaneDoc::LayoutOffsets() {
    LayoutOffsets(CountEntries());
}

void COstrevaneDoc::LayoutOffsets(std::int32_t count) {
    // Computed wide: a layout past 2^31 - 1 wraps here, and the writer
    // refuses to store it.
    auto offset = static_cast<std::int64_t>(DataStart(static_cast<std::uint64_t>(count)));
    for (CFileEntry* p = m_pHead; p; p = p->m_pNext) {
        p->m_offset = static_cast<std::int32_t>(offset);
        offset += p->m_packedSize;
    }
}

std::int32_t COstrevaneDoc::CountEntries() const {
    std::int32_t n = 0;
    for (const CFileEntry* p = m_pHead; p; p = p->m_pNext)
        ++n;
    return n;
}

std::int32_t COstrevaneDoc::MaxId(std::int32_t type) const {
    std::int32_t maxId = 0;
    for (const CFileEntry* p = m_pHead; p; p = p->m_pNext)
        if (p->m_type == type && p->m_id > maxId)
            maxId = p->m_id;
    return maxId;
}

std::uint32_t COstrevaneDoc::ProposedId(std::int32_t type) const {
    return static_cast<std::uint32_t>(MaxId(type)) + 1u;
}

bool COstrevaneDoc::ContainsEntry(const CFileEntry* pEntry) const {
    for (const CFileEntry* p = m_pHead; p; p = p->m_pNext)
        if (p == pEntry)
            return true;
    return false;
}

void COstrevaneDoc::DeleteAllEntries() {
    if (m_onHistoryReset)
        m_onHistoryReset();
    m_pendingChanges.clear();
    DeleteEntryChain(std::exchange(m_pHead, nullptr));
    m_layoutReport = {};
    m_bLaidOut = true;
}

void COstrevaneDoc::AdoptEntries(CFileEntry* pFirst) {
    DeleteAllEntries();
    m_pHead = pFirst;
    m_bLaidOut = false;
}

bool COstrevaneDoc::OnNewDocument() {
    if (!CDocument::OnNewDocument())
        return false;
    DeleteAllEntries();
    return true;
}

void COstrevaneDoc::Serialize(CArchive& ar) {
    ar.Flush();
    if (ar.IsStoring())
        Store(ar);
    else
        Load(ar);
}

void COstrevaneDoc::Load(CArchive& ar) {
    DeleteAllEntries();
    ReadOutcome outcome = ReadArchive(*ar.GetFile(), ar.GetProgress());
    switch (outcome.status) {
    case ReadStatus::Ok:
        m_pHead = outcome.pFirst;
        m_layoutReport = std::move(outcome.layout);
        m_bLaidOut = false;
        return;
    case ReadStatus::WrongMagic:
        MessageBox(nullptr, "That does not look like a Ostrevane file", "Error", MB_OK);
        break;
    case ReadStatus::Damaged:
        MessageBox(nullptr, "That Ostrevane file is damaged\n" + outcome.detail, "Error", MB_OK);
        break;
    case ReadStatus::ReadFailed:
        return; // the framework reports the file's own error
    case ReadStatus::Cancelled:
        break;
    }
    OnNewDocument();
    ar.MarkRefused();
}

void COstrevaneDoc::Store(CArchive& ar) {
    const WriteOutcome outcome = WriteArchive(*ar.GetFile(), *this, ar.GetProgress());
    if (outcome.status == WriteStatus::TooLarge)
        MessageBox(nullptr, "Cannot save this archive\n" + outcome.detail, "Error", MB_OK);
    if (outcome.status == WriteStatus::TooLarge || outcome.status == WriteStatus::Cancelled)
        ar.MarkRefused();
}
