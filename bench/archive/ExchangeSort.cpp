#include "bench/archive/ExchangeSort.h"

#include "archive/OstrevaneDoc.h"

#include <utility>

void RestartingExchangeSort(COstrevaneDoc& doc) {
    CFileEntry* pCurrent = doc.m_pHead;
    while (pCurrent != nullptr && pCurrent->m_pNext != nullptr) {
        CFileEntry* pNext = pCurrent->m_pNext;
        if (pNext->m_id < pCurrent->m_id) {
            std::swap(pCurrent->Record(), pNext->Record());
            std::swap(pCurrent->m_data, pNext->m_data);
            pCurrent = doc.m_pHead;
        } else {
            pCurrent = pNext;
        }
    }
}
