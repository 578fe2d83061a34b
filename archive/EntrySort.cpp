// SortEntries: a stable natural merge sort by m_id that relinks the nodes.
//
// It gives the same order as exchanging neighbours until none is out of
// order (a stable sort is unique), but an entry object keeps its contents,
// so pointers held by callers keep naming the same entry. A list that is
// already sorted, or has one entry out of place (every single change), is
// sorted in one or two linear passes.

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
