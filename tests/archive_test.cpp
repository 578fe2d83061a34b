// The archive model: list order, offsets, hints and entry identity; the
// rules for making and changing entries.

#include "archive/ArchiveFormat.h"
#include "archive/EntryRules.h"
#include "archive/EntryText.h"
#include "archive/OstrevaneDoc.h"
#include "platform/View.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <vector>

namespace {

struct Update {
    long lHint;
    CEntryHint hint;
};

// A view that records every update it is sent.
class RecordingView : public CView {
public:
    void OnInitialUpdate() override {}
    void OnUpdate(CView*, long lHint, CObject* pHint) override {
        const auto* pEntryHint = dynamic_cast<const CEntryHint*>(pHint);
        updates.push_back({lHint, pEntryHint ? *pEntryHint : CEntryHint{}});
    }
    std::vector<Update> updates;
};

CFileEntry Template(std::int32_t type, std::int32_t id, std::int32_t packedSize = 4,
                    const std::string& name = "entry") {
    CFileEntry entry;
    entry.m_type = type;
    entry.m_id = id;
    entry.m_packedSize = packedSize;
    entry.m_size = packedSize * 2;
    entry.m_name = MakeEntryName(name);
    entry.m_data = PackedData(std::vector<std::uint8_t>(static_cast<std::size_t>(packedSize),
                                                        static_cast<std::uint8_t>(id)));
    return entry;
}

std::vector<std::int32_t> Ids(const COstrevaneDoc& doc) {
    std::vector<std::int32_t> ids;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        ids.push_back(p->m_id);
    return ids;
}

std::vector<std::int32_t> Offsets(const COstrevaneDoc& doc) {
    std::vector<std::int32_t> offsets;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        offsets.push_back(p->m_offset);
    return offsets;
}

// The list invariants that hold after every change.
void ExpectSortedAndLaidOut(const COstrevaneDoc& doc) {
    const CFileEntry* pPrev = nullptr;
    auto offset =
        static_cast<std::int64_t>(DataStart(static_cast<std::uint64_t>(doc.CountEntries())));
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        ASSERT_EQ(p->m_pPrev, pPrev);
        if (pPrev) {
            ASSERT_LE(pPrev->m_id, p->m_id);
        }
        ASSERT_EQ(p->m_offset, offset);
        ASSERT_EQ(static_cast<std::size_t>(p->m_packedSize), p->m_data.size());
        offset += p->m_packedSize;
        pPrev = p;
    }
}

} // namespace

// Packed data never changes once made, so copies and slices share its
// bytes, small or in a block of its own.
TEST(PackedData, CopiesAndSlicesShareTheBytes) {
    for (const std::size_t size : {std::size_t{100}, LARGE_BUFFER_BYTES + 1}) {
        SCOPED_TRACE(size);
        std::uint8_t* pBytes = nullptr;
        PackedData data = PackedData::Allocate(size, &pBytes);
        for (std::size_t i = 0; i < size; ++i)
            pBytes[i] = static_cast<std::uint8_t>(i * 7);
        const PackedData copy = data;
        const PackedData slice = data.Slice(10, 20);
        data.clear();
        EXPECT_EQ(copy.data(), pBytes);
        EXPECT_EQ(slice.data(), pBytes + 10);
        EXPECT_EQ(slice, PackedData(std::span(pBytes + 10, 20)));
        EXPECT_EQ(copy[size - 1], static_cast<std::uint8_t>((size - 1) * 7));
        EXPECT_TRUE(data.empty());
    }
}

// Entries made together share one block, yet each is deleted on its own, in
// any order, beside entries made one at a time; the sanitizer build sees the
// block freed exactly once, with the last of them.
TEST(FileEntry, EntriesOfABlockAreDeletedOneByOne) {
    for (const std::size_t count : {std::size_t{1}, std::size_t{3}, std::size_t{40000}}) {
        SCOPED_TRACE(count);
        CFileEntry* pFirst = CFileEntry::NewBlock(count);
        std::vector<CFileEntry*> entries;
        for (CFileEntry* p = pFirst; p; p = p->m_pNext)
            entries.push_back(p);
        ASSERT_EQ(entries.size(), count);
        EXPECT_EQ(pFirst->m_pPrev, nullptr);
        EXPECT_EQ(entries.back()->m_type, ENTRY_TYPE_NONE);
        entries.back()->m_data = PackedData{1, 2, 3};
        entries.push_back(new CFileEntry);
        for (std::size_t i = 0; i < entries.size(); i += 2)
            delete entries[i];
        for (std::size_t i = entries.size() - 1 - entries.size() % 2; i < entries.size(); i -= 2)
            delete entries[i];
    }
}

TEST(Document, EmptyArchive) {
    COstrevaneDoc doc;
    EXPECT_EQ(g_pDoc, &doc);
    EXPECT_EQ(doc.CountEntries(), 0);
    EXPECT_EQ(doc.MaxId(ENTRY_SOUND), 0);
    EXPECT_EQ(doc.FindEntry(0, 0), nullptr);
    doc.LayoutOffsets();
    EXPECT_EQ(doc.m_pHead, nullptr);
}

TEST(Document, GlobalPointerFollowsTheDocument) {
    {
        COstrevaneDoc doc;
        EXPECT_EQ(g_pDoc, &doc);
    }
    EXPECT_EQ(g_pDoc, nullptr);
}

TEST(Document, FreshEntryValues) {
    const CFileEntry entry;
    EXPECT_EQ(entry.m_type, ENTRY_TYPE_NONE);
    EXPECT_EQ(entry.m_id, ENTRY_ID_NONE);
    EXPECT_EQ(entry.m_packedSize, -1);
    EXPECT_EQ(entry.m_size, -1);
    EXPECT_EQ(entry.m_offset, -1);
    EXPECT_EQ(entry.m_name[0], 0);
    EXPECT_TRUE(entry.m_data.empty());
    EXPECT_EQ(entry.m_pNext, nullptr);
    EXPECT_EQ(entry.m_pPrev, nullptr);
}

TEST(Document, AddPlacesEntriesByIdWithNewestFirstAmongEqualIds) {
    COstrevaneDoc doc;
    RecordingView view;
    doc.AddView(&view);
    doc.AddEntry(Template(ENTRY_PORTRAIT, 5));
    doc.AddEntry(Template(ENTRY_SOUND, 9));
    doc.AddEntry(Template(ENTRY_SOUND, 5));     // same ID, other type: before the portrait
    doc.AddEntry(Template(ENTRY_PORTRAIT, -3)); // negative IDs first
    doc.AddEntry(Template(ENTRY_PORTRAIT, 5));  // a duplicate type and ID is kept
    EXPECT_EQ(Ids(doc), (std::vector<std::int32_t>{-3, 5, 5, 5, 9}));
    const CFileEntry* pFound = doc.FindEntry(ENTRY_PORTRAIT, 5);
    EXPECT_EQ(pFound, doc.m_pHead->m_pNext); // the newer duplicate stands first
    EXPECT_EQ(pFound->m_pNext->m_type, ENTRY_SOUND);
    EXPECT_EQ(pFound->m_pNext->m_pNext->m_type, ENTRY_PORTRAIT);
    EXPECT_EQ(doc.CountEntries(), 5);
    EXPECT_TRUE(doc.IsModified());
    ExpectSortedAndLaidOut(doc);
    ASSERT_EQ(view.updates.size(), 5u);
    EXPECT_EQ(view.updates.back().lHint, HINT_ENTRY_ADDED);
    EXPECT_EQ(view.updates.back().hint.m_newType, ENTRY_PORTRAIT);
    EXPECT_EQ(view.updates.back().hint.m_newId, 5);
}

TEST(Document, MaxIdIgnoresOtherTypesAndNegativeIds) {
    COstrevaneDoc doc;
    doc.AddEntry(Template(ENTRY_PORTRAIT, 3));
    doc.AddEntry(Template(ENTRY_PORTRAIT, 7));
    doc.AddEntry(Template(ENTRY_PORTRAIT, 5));
    doc.AddEntry(Template(ENTRY_SOUND, 40));
    doc.AddEntry(Template(ENTRY_BACKGROUNDS, -4));
    EXPECT_EQ(doc.MaxId(ENTRY_PORTRAIT), 7);
    EXPECT_EQ(doc.MaxId(ENTRY_BACKGROUNDS), 0);
    EXPECT_EQ(doc.ProposedId(ENTRY_PORTRAIT), 8u);
    EXPECT_EQ(doc.ProposedId(ENTRY_BACKGROUNDS), 1u);
    doc.AddEntry(Template(ENTRY_SOUND, INT32_MAX));
    EXPECT_EQ(doc.ProposedId(ENTRY_SOUND), 0x80000000u); // wraps, no signed overflow
}

TEST(Document, ModifyChangesOnlyWhatTheTemplateSays) {
    COstrevaneDoc doc;
    doc.AddEntry(Template(ENTRY_PORTRAIT, 4, 8, "Door"));
    doc.AddEntry(Template(ENTRY_PORTRAIT, 6, 12, "Gate"));
    doc.SetModifiedFlag(false);
    RecordingView view;
    doc.AddView(&view);
    CFileEntry* pDoor = doc.FindEntry(ENTRY_PORTRAIT, 4);

    doc.ModifyEntry(pDoor, CFileEntry{}); // fresh template: nothing changes
    CFileEntry sameName;
    sameName.m_name = MakeEntryName("Door");
    doc.ModifyEntry(pDoor, sameName);
    EXPECT_TRUE(view.updates.empty());
    EXPECT_FALSE(doc.IsModified());

    CFileEntry zeroPadded;
    zeroPadded.m_name = MakeEntryName("Door");
    zeroPadded.m_name[4] = 0; // a zero byte differs from a space
    doc.ModifyEntry(pDoor, zeroPadded);
    EXPECT_EQ(pDoor->m_name, zeroPadded.m_name);
    EXPECT_TRUE(doc.IsModified());

    CFileEntry renumber = Template(ENTRY_TYPE_NONE, 9, 999);
    renumber.m_name[0] = 0;
    doc.ModifyEntry(pDoor, renumber);
    EXPECT_EQ(Ids(doc), (std::vector<std::int32_t>{6, 9}));
    EXPECT_EQ(doc.m_pHead->m_pNext, pDoor); // the same entry object, moved
    EXPECT_EQ(pDoor->m_type, ENTRY_PORTRAIT);
    EXPECT_EQ(pDoor->m_packedSize, 8); // never taken from the template
    EXPECT_EQ(pDoor->m_data.size(), 8u);
    ExpectSortedAndLaidOut(doc);
    ASSERT_EQ(view.updates.size(), 2u);
    const CEntryHint& hint = view.updates.back().hint;
    EXPECT_EQ(view.updates.back().lHint, HINT_ENTRY_CHANGED);
    EXPECT_EQ(hint.m_oldType, ENTRY_PORTRAIT);
    EXPECT_EQ(hint.m_newType, ENTRY_TYPE_NONE);
    EXPECT_EQ(hint.m_oldId, 4);
    EXPECT_EQ(hint.m_newId, 9);
}

TEST(Document, OffsetsFollowEveryChange) {
    COstrevaneDoc doc;
    doc.AddEntry(Template(ENTRY_PORTRAIT, 1, 100));
    doc.AddEntry(Template(ENTRY_PORTRAIT, 2, 40));
    doc.AddEntry(Template(ENTRY_PORTRAIT, 3, 8));
    EXPECT_EQ(Offsets(doc), (std::vector<std::int32_t>{120, 220, 260}));
    doc.RemoveEntry(doc.FindEntry(ENTRY_PORTRAIT, 2));
    EXPECT_EQ(Offsets(doc), (std::vector<std::int32_t>{84, 184}));
}

TEST(Document, RemovingTheOnlyEntryEmptiesTheList) {
    COstrevaneDoc doc;
    doc.AddEntry(Template(ENTRY_SOUND, 1));
    doc.SetModifiedFlag(false);
    RecordingView view;
    doc.AddView(&view);
    doc.RemoveEntry(doc.m_pHead);
    EXPECT_EQ(doc.m_pHead, nullptr);
    EXPECT_TRUE(doc.IsModified());
    ASSERT_EQ(view.updates.size(), 1u);
    EXPECT_EQ(view.updates[0].lHint, HINT_ENTRY_REMOVED);
}

TEST(Document, DeleteAllLeavesFlagAndViewsAlone) {
    COstrevaneDoc doc;
    doc.AddEntry(Template(ENTRY_SOUND, 1));
    doc.AddEntry(Template(ENTRY_SOUND, 2));
    doc.SetModifiedFlag(false);
    RecordingView view;
    doc.AddView(&view);
    doc.DeleteAllEntries();
    EXPECT_EQ(doc.m_pHead, nullptr);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(view.updates.empty());
}

// Exchanging neighbours until none is out of order: the reference order.
std::vector<std::pair<std::int32_t, int>>
ExchangeSorted(std::vector<std::pair<std::int32_t, int>> v) {
    for (std::size_t i = 0; i + 1 < v.size();) {
        if (v[i + 1].first < v[i].first) {
            std::swap(v[i], v[i + 1]);
            i = 0;
        } else {
            ++i;
        }
    }
    return v;
}

// Starts from a list in file order of loaded entries, as a load leaves it,
// then makes random changes, each checked against the reference order.
void CheckRandomChanges(unsigned seed, int loaded) {
    std::mt19937 random(seed);
    COstrevaneDoc doc;
    std::vector<std::pair<std::int32_t, int>> model; // (ID, tag) in list order
    int nextTag = 0;
    CFileEntry* pFirst = nullptr;
    for (int i = 0; i < loaded; ++i) {
        const auto id = static_cast<std::int32_t>(random() % 12) - 3;
        CFileEntry* pEntry = doc.NewEntry(ENTRY_PORTRAIT, id);
        pEntry->m_size = nextTag;
        pEntry->m_packedSize = 0;
        pEntry->m_pNext = pFirst;
        if (pFirst)
            pFirst->m_pPrev = pEntry;
        pFirst = pEntry;
        model.insert(model.begin(), {id, nextTag++});
    }
    doc.AdoptEntries(pFirst);
    for (int step = 0; step < 400; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const int action = static_cast<int>(random() % 3);
        const auto id = static_cast<std::int32_t>(random() % 12) - 3; // many ties
        if (action == 0 || !doc.m_pHead) {
            CFileEntry tmpl = Template(ENTRY_PORTRAIT, id, static_cast<std::int32_t>(random() % 5));
            tmpl.m_size = nextTag; // tags the entry to follow it
            doc.AddEntry(tmpl);
            model.insert(model.begin(), {id, nextTag++});
        } else {
            const auto index = random() % static_cast<unsigned>(doc.CountEntries());
            CFileEntry* pEntry = doc.m_pHead;
            for (unsigned i = 0; i < index; ++i)
                pEntry = pEntry->m_pNext;
            const int tag = pEntry->m_size;
            auto it =
                std::find_if(model.begin(), model.end(), [&](auto& e) { return e.second == tag; });
            if (action == 1) {
                doc.RemoveEntry(pEntry);
                model.erase(it);
            } else {
                if (id == ENTRY_ID_NONE || id == it->first)
                    continue; // no change, so no sort either
                CFileEntry tmpl;
                tmpl.m_id = id;
                doc.ModifyEntry(pEntry, tmpl);
                ASSERT_EQ(pEntry->m_size, tag); // still the same entry
                it->first = id;
            }
        }
        model = ExchangeSorted(model);
        ExpectSortedAndLaidOut(doc);
        std::vector<std::pair<std::int32_t, int>> actual;
        for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
            actual.push_back({p->m_id, p->m_size});
        ASSERT_EQ(actual, model);
    }
}

TEST(Document, RandomChangesKeepTheExchangeSortOrderAndEntryIdentity) {
    CheckRandomChanges(12345, 0);
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        CheckRandomChanges(seed, 12);
    }
}

TEST(EntryText, DisplayNamesAndTypeTexts) {
    struct Row {
        const char* label;
        std::string bytes;
        std::string shown;
    };
    const Row rows[] = {
        {"trailing spaces trimmed", std::string("AB") + std::string(14, ' '), "AB"},
        {"all spaces", std::string(16, ' '), ""},
        {"zero byte ends the name", std::string("Hello\0xyz", 9) + std::string(7, ' '), "Hello"},
        {"trailing tab kept", std::string("Tab\t") + std::string(12, ' '), "Tab\t"},
        {"full sixteen", "ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP"},
        {"fresh name", std::string(16, '\0'), ""},
        {"inner spaces kept", std::string("a b") + std::string(13, ' '), "a b"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EntryName name;
        std::copy(row.bytes.begin(), row.bytes.end(), name.begin());
        EXPECT_EQ(EntryDisplayName(name), row.shown);
    }
    EXPECT_STREQ(EntryTypeText(0), "Viewport Overlay");
    EXPECT_STREQ(EntryTypeText(1), "Portrait");
    EXPECT_STREQ(EntryTypeText(2), "Sound");
    EXPECT_STREQ(EntryTypeText(3), "Backgrounds");
    EXPECT_STREQ(EntryTypeText(7), "Unknown");
    EXPECT_STREQ(EntryTypeText(-1), "Unknown");
}

TEST(EntryText, NamesAreSpacePaddedAndCut) {
    EXPECT_EQ(MakeEntryName("Door"), MakeEntryName("Door            "));
    EXPECT_EQ(MakeEntryName("")[15], ' ');
    const EntryName longName = MakeEntryName("ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(std::string(longName.begin(), longName.end()), "ABCDEFGHIJKLMNOP");
}

TEST(EntryRules, ProposedNamesDropTheFolderAndTheLastExtension) {
    struct Row {
        const char* path;
        const char* name;
    };
    const Row rows[] = {
        {"forest.night.bmp", "forest.night"},
        {"readme", "readme"},
        {".wav", ".wav"}, // the only dot is the first character
        {"..wav", "."},
        {"bell.", "bell"},
        {"/home/user/Door.bmp", "Door"},
        {"sounds.d/chime", "chime"}, // a folder's dot is no extension
        {"sounds/.wav", ".wav"},
        {"folder/", ""},
        {"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(ProposedEntryName(row.path), row.name);
    }
}

namespace {

void ExpectDuplicateQuestion(const RecordedMessage& question, const void* pOwner) {
    EXPECT_EQ(question.text, "There already exists a file\nentry with that type and ID.\n"
                             "Should we delete the old entry\nand replace it with this one?");
    EXPECT_EQ(question.caption, "Warning--Duplicate entry");
    EXPECT_EQ(question.style, MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_EQ(question.pOwner, pOwner);
}

} // namespace

// Portrait 9 is changed as the template says; the archive also holds
// portrait 3, portrait -1, sound 3 and sound 9.
TEST(EntryRules, ADuplicateIsDeletedOnlyAfterAYes) {
    using Key = std::pair<std::int32_t, std::int32_t>; // type, ID
    struct Row {
        const char* label;
        Key change; // the template's (255 and -1 keep the entry's own)
        int answer; // 0: no question may be asked
        bool bResult;
        std::optional<Key> removed; // the entry deleted, if any
    };
    const Row rows[] = {
        {"a free ID", {ENTRY_TYPE_NONE, 4}, 0, true, {}},
        {"its own type and ID", {ENTRY_PORTRAIT, 9}, 0, true, {}},
        {"ID -1 keeps its own, not portrait -1's", {ENTRY_TYPE_NONE, ENTRY_ID_NONE}, 0, true, {}},
        {"another's ID, yes", {ENTRY_TYPE_NONE, 3}, IDYES, true, Key{ENTRY_PORTRAIT, 3}},
        {"another's ID, no", {ENTRY_TYPE_NONE, 3}, IDNO, false, {}},
        {"another's type and ID", {ENTRY_SOUND, 3}, IDYES, true, Key{ENTRY_SOUND, 3}},
        {"another's type, own ID", {ENTRY_SOUND, ENTRY_ID_NONE}, IDYES, true, Key{ENTRY_SOUND, 9}},
    };
    const Key keys[] = {{1, 3}, {1, -1}, {2, 3}, {2, 9}, {1, 9}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        COstrevaneDoc doc;
        for (const auto& [type, id] : keys)
            doc.AddEntry(Template(type, id));
        const CFileEntry* pEntry = doc.FindEntry(ENTRY_PORTRAIT, 9);
        MessageRecorder messages;
        if (row.answer != 0)
            messages.Answer(row.answer);
        CFileEntry tmpl;
        tmpl.m_type = row.change.first;
        tmpl.m_id = row.change.second;
        int owner = 0;
        EXPECT_EQ(ResolveDuplicate(doc, pEntry, tmpl, &owner), row.bResult);
        for (const auto& [type, id] : keys)
            EXPECT_EQ(doc.FindEntry(type, id) == nullptr, (row.removed == Key{type, id}))
                << type << ":" << id;
        EXPECT_TRUE(doc.ContainsEntry(pEntry));
        ASSERT_EQ(messages.Messages().size(), row.answer != 0 ? 1u : 0u);
        if (row.answer != 0)
            ExpectDuplicateQuestion(messages.Messages()[0], &owner);
    }
}
