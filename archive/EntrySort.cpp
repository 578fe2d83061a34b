// SortEntries: a stable natural merge sort by m_id that relinks the nodes.
//
// It gives the same order as exchanging neighbours until none is out of
// order (a stable sort is unique), but an entry object keeps its contents,
// so pointers held by callers keep naming the same entry. A list that is
// already sorted, or has one entry out of place (every single change), is
// sorted in one or two linear passes.
//
// SortAfterChange: after a change that can have moved only one entry out of
// order, checks the rest in one pass and moves that entry to the place the
// full sort would give it, falling back to the full sort when the rest is
// out of order too (straight after a load it may be in file order).

#include "archive/OstrevaneDoc.h"

namespace {

// Detaches the longest non-decreasing run at the front of rest; returns its
// first node, leaves rest at the node after it.
CFileEntry* TakeRun(CFileEntry*& rest) {
    CFileEntry* first = rest;
    CFileEntry* last = rest;
    while (last->m_pNext && last->m_pNext->m_id >= last->m_id)
        last = last->m_pNext;
    rest = last->m_pNext;
    last->m_pNext = nullptr;
    return first;
}

// Appends the merge of runs a and b at *tail (a's node first on equal IDs);
// returns the new tail slot.
CFileEntry** MergeRuns(CFileEntry** tail, CFileEntry* a, CFileEntry* b) {
    while (a && b) {
        CFileEntry*& taken = b->m_id < a->m_id ? b : a;
        *tail = taken;
        taken = taken->m_pNext;
        tail = &(*tail)->m_pNext;
    }
    *tail = a ? a : b;
    while (*tail)
        tail = &(*tail)->m_pNext;
    return tail;
}

} // namespace

void COstrevaneDoc::SortEntries() {
    if (!m_pHead)
        return;
    for (bool bSorted = false; !bSorted;) {
        CFileEntry* rest = m_pHead;
        CFileEntry* merged = nullptr;
        CFileEntry** tail = &merged;
        int merges = 0;
        while (rest) {
            CFileEntry* a = TakeRun(rest);
            CFileEntry* b = rest ? TakeRun(rest) : nullptr;
            tail = MergeRuns(tail, a, b);
            ++merges;
        }
        m_pHead = merged;
        bSorted = merges == 1;
    }
    CFileEntry* pPrev = nullptr;
    for (CFileEntry* p = m_pHead; p; p = p->m_pNext) {
        p->m_pPrev = pPrev;
        pPrev = p;
    }
}

namespace {

// Where the full sort puts pMoved once the list around it is in order. P are
// the entries before its old place (pOldPrev the last of them), S those
// after (pOldNext the first). Entries of P with a larger ID go after it and
// entries of S with a smaller ID before it; equal IDs keep their side.
struct SPlacement {
    const CFileEntry* pMoved; // null: nothing to place
    CFileEntry* pOldPrev;
    const CFileEntry* pOldNext;
    bool bInS = false;
    CFileEntry* pLastOfPNotAbove = nullptr; // last of P with an ID <= pMoved's
    CFileEntry* pLastOfSBelow = nullptr;    // last of S with a smaller ID

    void Visit(CFileEntry* p) {
        if (!pMoved)
            return;
        bInS = bInS || p == pOldNext;
        if (!bInS && p->m_id <= pMoved->m_id)
            pLastOfPNotAbove = p;
        else if (bInS && p->m_id < pMoved->m_id)
            pLastOfSBelow = p;
    }
    // The entry pMoved follows (null for the head).
    CFileEntry* Follows() const {
        if (pOldPrev && pOldPrev->m_id > pMoved->m_id)
            return pLastOfPNotAbove;
        return pLastOfSBelow ? pLastOfSBelow : pOldPrev;
    }
};

} // namespace

std::int32_t COstrevaneDoc::SortAfterChange(CFileEntry* pChanged) {
    SPlacement placement{pChanged, pChanged ? pChanged->m_pPrev : nullptr,
                         pChanged ? pChanged->m_pNext : nullptr};
    if (pChanged)
        Unlink(pChanged);
    std::int32_t count = pChanged ? 1 : 0;
    bool bSorted = true;
    for (CFileEntry* p = m_pHead; p; p = p->m_pNext) {
        if (p->m_pNext && p->m_pNext->m_id < p->m_id)
            bSorted = false;
        placement.Visit(p);
        ++count;
    }
    if (pChanged)
        LinkAfter(bSorted ? placement.Follows() : placement.pOldPrev, pChanged);
    if (!bSorted)
        SortEntries();
    return count;
}
