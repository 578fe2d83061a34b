// The document's history: every change recorded, taken back and made again
// restores the list exactly (identity, record, offsets, data and order).

#include "archive/OstrevaneDoc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct SEntryState {
    const CFileEntry* pEntry;
    CEntryRecord record;
    const std::uint8_t* pData;

    bool operator==(const SEntryState& other) const {
        return pEntry == other.pEntry && pData == other.pData &&
               std::memcmp(&record, &other.record, sizeof record) == 0;
    }
};

std::vector<SEntryState> StateOf(const COstrevaneDoc& doc) {
    std::vector<SEntryState> state;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        state.push_back({p, p->Record(), p->m_data.data()});
    return state;
}

// A list as a load may leave it: out of ID order, offsets as stored.
void LoadUnsorted(COstrevaneDoc& doc, std::mt19937& random, int count) {
    CFileEntry* pFirst = nullptr;
    for (int i = 0; i < count; ++i) {
        CFileEntry* pEntry = doc.NewEntry(ENTRY_PORTRAIT, static_cast<std::int32_t>(random() % 8));
        pEntry->m_data = PackedData{1, 2, 3, 4};
        pEntry->m_packedSize = 4;
        pEntry->m_offset = static_cast<std::int32_t>(random() % 1000);
        pEntry->m_pNext = pFirst;
        if (pFirst)
            pFirst->m_pPrev = pEntry;
        pFirst = pEntry;
    }
    doc.AdoptEntries(pFirst);
}

CFileEntry* EntryAt(const COstrevaneDoc& doc, unsigned index) {
    CFileEntry* p = doc.m_pHead;
    while (index-- > 0)
        p = p->m_pNext;
    return p;
}

// One random change that always changes something: an import (new data), a
// delete, an edit of ID or name, or an edit that first deletes the entry in
// its way, as the dialogs make them.
void ChangeAtRandom(COstrevaneDoc& doc, std::mt19937& random) {
    const auto id = static_cast<std::int32_t>(random() % 8);
    const int count = doc.CountEntries();
    const int action = count < 2 ? 0 : static_cast<int>(random() % 4);
    if (action == 0) {
        CFileEntry tmpl;
        tmpl.m_type = ENTRY_SOUND;
        tmpl.m_id = id;
        tmpl.m_data = PackedData{static_cast<std::uint8_t>(random()), 0, 0, 0};
        tmpl.m_packedSize = 4;
        doc.AddEntry(std::move(tmpl));
        return;
    }
    CFileEntry* pEntry = EntryAt(doc, random() % static_cast<unsigned>(count));
    if (action == 1) {
        doc.RemoveEntry(pEntry);
        return;
    }
    CFileEntry tmpl;
    tmpl.m_id = pEntry->m_id == id ? id + 8 : id;
    if (action == 2) {
        tmpl.m_name = MakeEntryName(std::to_string(random() % 100));
        doc.ModifyEntry(pEntry, tmpl);
        return;
    }
    CEntryChangeGroup group(doc);
    CFileEntry* pOther = pEntry->m_pNext ? pEntry->m_pNext : pEntry->m_pPrev;
    tmpl.m_id = pOther->m_id;
    doc.RemoveEntry(pOther);
    doc.ModifyEntry(pEntry, tmpl);
}

} // namespace

TEST(History, UndoAndRedoRestoreEveryStateExactly) {
    for (const int loaded : {0, 1, 15}) {
        for (const unsigned seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(std::to_string(loaded) + " loaded, seed " + std::to_string(seed));
            std::mt19937 random(seed);
            std::vector<EntryChanges> steps;
            int resets = 0;
            COstrevaneDoc doc;
            doc.SetHistoryRecorder(
                [&](EntryChanges changes) { steps.push_back(std::move(changes)); },
                [&] { ++resets; });
            LoadUnsorted(doc, random, loaded);
            std::vector<std::vector<SEntryState>> states{StateOf(doc)};
            for (int i = 0; i < 40; ++i) {
                ChangeAtRandom(doc, random);
                states.push_back(StateOf(doc));
                ASSERT_EQ(steps.size(), states.size() - 1);
            }
            for (std::size_t i = steps.size(); i-- > 0;) {
                for (auto it = steps[i].rbegin(); it != steps[i].rend(); ++it)
                    doc.UndoChange(**it);
                ASSERT_EQ(StateOf(doc), states[i]) << "undoing step " << i;
            }
            for (std::size_t i = 0; i < steps.size(); ++i) {
                for (const auto& change : steps[i])
                    doc.RedoChange(*change);
                ASSERT_EQ(StateOf(doc), states[i + 1]) << "redoing step " << i;
            }
            // Half taken back, then dropped: the entries out of the document
            // go with their records (the leak check sees any left).
            for (std::size_t i = steps.size(); i-- > steps.size() / 2;)
                for (auto it = steps[i].rbegin(); it != steps[i].rend(); ++it)
                    doc.UndoChange(**it);
            steps.clear();
            EXPECT_EQ(resets, 1); // the load
            doc.OnNewDocument();
            EXPECT_EQ(resets, 2);
        }
    }
}

// Groups nest, the outermost one counts; without a recorder nothing is
// kept, and a removed entry is deleted at once.
TEST(History, NothingIsRecordedWithoutARecorder) {
    std::vector<EntryChanges> steps;
    COstrevaneDoc doc;
    CFileEntry tmpl;
    tmpl.m_id = 1;
    doc.AddEntry(tmpl);
    doc.SetHistoryRecorder([&](EntryChanges changes) { steps.push_back(std::move(changes)); }, {});
    {
        CEntryChangeGroup outer(doc);
        CEntryChangeGroup inner(doc);
        doc.AddEntry(tmpl);
        doc.RemoveEntry(doc.m_pHead);
    }
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].size(), 2u);
    doc.SetHistoryRecorder({}, {});
    doc.RemoveEntry(doc.m_pHead);
    EXPECT_EQ(steps.size(), 1u);
    EXPECT_EQ(doc.m_pHead, nullptr);
}
