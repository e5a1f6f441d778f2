#include "Category.h"
#include "Datum.h"
#include "LibraryBuilders.h"
#include "PathName.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

using namespace tessary;
using namespace tessary::testing;

namespace {

std::string P(std::initializer_list<std::string_view> parts)
{
    std::string s;
    bool first = true;
    for (auto p : parts) {
        if (!first)
            s += kPathSep;
        s += p;
        first = false;
    }
    return s;
}

// Records what the entries ask the shell for.
class FakeServices : public IEntryServices {
public:
    int IconIndex(std::string_view name, bool directory, bool openIcon) override
    {
        last = std::string(name) + (directory ? "|dir" : "|file") + (openIcon ? "|open" : "");
        return 7;
    }
    int EditProperties(CItem& item) override
    {
        edited = &item;
        return 2;
    }
    void ViewContent(const CDatum& d, ContentViewer viewer) override
    {
        viewed = &d;
        lastViewer = viewer;
    }
    std::string last;
    CItem* edited = nullptr;
    const CDatum* viewed = nullptr;
    ContentViewer lastViewer = ContentViewer::Text;
};

template <class T> std::vector<T*> Contents(const EntryList<T>& list)
{
    return std::vector<T*>(list.begin(), list.end());
}

struct ServicesGuard {
    explicit ServicesGuard(IEntryServices* s) { SetEntryServices(s); }
    ~ServicesGuard() { SetEntryServices(nullptr); }
};

} // namespace

TEST(Entries, DisplayNamesJoinNameAndExtension)
{
    CFileDatum report("report.doc");
    EXPECT_EQ(report.GetDisplayName(), "report.doc");
    CFileDatum plain("report");
    EXPECT_EQ(plain.GetDisplayName(), "report");
    EXPECT_EQ(plain.GetImageIndex(), 0);

    CFileDatum archive("archive.tar.gz");
    EXPECT_EQ(archive.m_strName.view(), "archive");
    EXPECT_EQ(archive.m_strExtension.view(), "tar.gz");
    CFileDatum profile(".profile");
    EXPECT_EQ(profile.m_strName.view(), "");
    EXPECT_EQ(profile.m_strExtension.view(), "profile");
    EXPECT_EQ(profile.GetDisplayName(), ".profile");
}

TEST(Entries, PathsFollowTheTopCategoryWhenItsPathIsEdited)
{
    CCDRomCategory cd("disc", "/media/cdrom");
    auto* sub = new CFolderCategory("sub");
    cd.AddSubCategory(sub);
    auto* doc = new CFileDatum("report.doc");
    sub->AddDatum(doc);

    EXPECT_EQ(doc->GetPath(), P({ "/media/cdrom", "sub", "report.doc" }));
    EXPECT_EQ(doc->GetFolderPath(), P({ "/media/cdrom", "sub" }));
    EXPECT_EQ(sub->GetFolderPath(), sub->GetPath());

    cd.m_strPath = "/media/other";
    EXPECT_EQ(doc->GetPath(), P({ "/media/other", "sub", "report.doc" }));
}

TEST(Entries, TheLastPathComponentNamesAFolder)
{
    for (auto [path, last] : std::initializer_list<std::pair<const char*, const char*>> {
             { "/home/a/docs", "docs" }, { "/home/a/docs//", "docs" }, { "docs", "docs" },
             { "docs/", "docs" }, { "/", "/" }, { "///", "/" }, { "", "" }, { "/caf\xE9", "caf\xE9" } })
        EXPECT_EQ(LastPathComponent(path), last) << path;
}

TEST(Entries, CustomDataItemsKeepTheirOwnFolder)
{
    CCustomDatum d(P({ "/home/docs", "a.b.txt" }));
    EXPECT_EQ(d.m_strFolder.view(), "/home/docs");
    EXPECT_EQ(d.m_strName.view(), "a.b");
    EXPECT_EQ(d.m_strExtension.view(), "txt");
    EXPECT_EQ(d.GetPath(), P({ "/home/docs", "a.b.txt" }));
    EXPECT_EQ(d.GetFolderPath(), "/home/docs");

    CCustomDatum notes("notes");
    EXPECT_EQ(notes.m_strFolder.view(), "");
    EXPECT_EQ(notes.GetPath(), std::string(1, kPathSep) + "notes");

    // page.en.html splits differently for the two kinds.
    CFileDatum f("page.en.html");
    CCustomDatum c("page.en.html");
    EXPECT_EQ(f.m_strExtension.view(), "en.html");
    EXPECT_EQ(c.m_strExtension.view(), "html");
    EXPECT_EQ(f.GetDisplayName(), c.GetDisplayName());
    EXPECT_EQ(ContentViewerFor(f), ContentViewer::Text);
    EXPECT_EQ(ContentViewerFor(c), ContentViewer::Html);
}

TEST(Entries, ViewerIsChosenFromTheLowerCasedExtension)
{
    for (auto [ext, viewer] : std::initializer_list<std::pair<const char*, ContentViewer>> {
             { "HTML", ContentViewer::Html }, { "htm", ContentViewer::Html },
             { "sHtMl", ContentViewer::Html }, { "htmlx", ContentViewer::Text },
             { "ht", ContentViewer::Text }, { "", ContentViewer::Text }, { "txt", ContentViewer::Text } }) {
        CFileDatum d("x");
        d.m_strExtension = ext;
        EXPECT_EQ(ContentViewerFor(d), viewer) << ext;
    }
}

TEST(Entries, TypeTextsAndPermissionsByKind)
{
    CCustomCategory custom("c");
    CCDRomCategory cd("c", "p");
    CDriverCategory drive("c", "p");
    CRootFolderCategory root("c", "p");
    CFolderCategory folder("c");
    CCategory plain;
    CItem item;
    CFileDatum file("f");
    CCustomDatum customDatum("f");

    EXPECT_EQ(custom.GetTypeText(), "\xB7\xD6\xC0\xE0");
    EXPECT_EQ(cd.GetTypeText(), "\xB9\xE2\xC5\xCC");
    EXPECT_EQ(drive.GetTypeText(), "\xB4\xC5\xC5\xCC");
    EXPECT_EQ(root.GetTypeText(), "\xCE\xC4\xBC\xFE\xBC\xD0\xB7\xD6\xC0\xE0");
    EXPECT_EQ(folder.GetTypeText(), "\xCE\xC4\xBC\xFE\xBC\xD0");
    EXPECT_EQ(file.GetTypeText(), "\xCE\xC4\xB5\xB5");
    EXPECT_EQ(customDatum.GetTypeText(), "\xCE\xC4\xB5\xB5");
    EXPECT_EQ(plain.GetTypeText(), "Item");
    EXPECT_EQ(item.GetTypeText(), "Item");

    // Only the user's own category takes entries, drops and imports.
    for (const CCategory* c : { static_cast<const CCategory*>(&cd), static_cast<const CCategory*>(&drive),
             static_cast<const CCategory*>(&root), static_cast<const CCategory*>(&folder),
             static_cast<const CCategory*>(&plain) }) {
        EXPECT_FALSE(c->CanAddDatum());
        EXPECT_FALSE(c->CanAddSubCategory());
        EXPECT_FALSE(c->CanImportInto());
        EXPECT_FALSE(c->CanAcceptDrop());
    }
    EXPECT_TRUE(custom.CanAddDatum() && custom.CanAddSubCategory() && custom.CanImportInto()
        && custom.CanAcceptDrop());
    EXPECT_FALSE(folder.CanDrag());
    EXPECT_FALSE(folder.CanExport());
    EXPECT_TRUE(cd.CanExport() && plain.CanExport());
    EXPECT_TRUE(
        cd.HasEditDialog() && drive.HasEditDialog() && root.HasEditDialog() && customDatum.HasEditDialog());
    EXPECT_FALSE(custom.HasEditDialog() || folder.HasEditDialog() || file.HasEditDialog());
    EXPECT_TRUE(file.IsDatum() && customDatum.IsDatum());
    EXPECT_FALSE(custom.IsDatum() || item.IsDatum());
    EXPECT_TRUE(custom.GetPath().empty());
}

TEST(Entries, IconsAndDialogsGoThroughTheInstalledServices)
{
    CCustomCategory custom("c");
    CCDRomCategory cd("c", "/media/cd");
    CDriverCategory drive("c", "/mnt/d");
    CRootFolderCategory root("c", "/home/a");
    CFileDatum file("f.PDF");
    EXPECT_EQ(custom.GetImageIndex(), 0); // nothing installed
    EXPECT_EQ(cd.EditProperties(), -1);

    FakeServices fake;
    ServicesGuard guard(&fake);
    EXPECT_EQ(custom.GetImageIndex(), 7);
    EXPECT_EQ(fake.last, ".dli|file");
    cd.GetImageIndex();
    EXPECT_EQ(fake.last, ".cdcate|file");
    drive.GetImageIndex();
    EXPECT_EQ(fake.last, std::string("/mnt/d") + kPathSep + "|dir");
    root.GetSelectedImageIndex();
    EXPECT_EQ(fake.last, "/home/a|dir|open");
    file.GetImageIndex();
    EXPECT_EQ(fake.last, ".PDF|file");

    EXPECT_EQ(root.EditProperties(), 2);
    EXPECT_EQ(fake.edited, &root);
    EXPECT_EQ(custom.EditProperties(), -1);
    file.ViewContent();
    EXPECT_EQ(fake.viewed, &file);
}

TEST(Entries, CategorySizeWrapsModulo2To32)
{
    CCustomCategory c("c");
    auto* sub = new CCustomCategory("s");
    c.AddSubCategory(sub);
    for (CCategory* at : { static_cast<CCategory*>(&c), static_cast<CCategory*>(sub) }) {
        auto* d = new CFileDatum("big");
        d->m_dwSize = 3000000000u;
        at->AddDatum(d);
    }
    EXPECT_EQ(c.GetSize(), 1705032704u);
    EXPECT_EQ(CItem().GetSize(), 0u);
}

TEST(Entries, NewDataItemsGoFirstAndNewSubCategoriesLast)
{
    CCustomCategory c("c");
    std::vector<CDatum*> items;
    std::vector<CCategory*> subs;
    for (const char* name : { "a", "b", "d" }) {
        items.push_back(new CFileDatum(name));
        c.AddDatum(items.back());
        subs.push_back(new CCustomCategory(name));
        c.AddSubCategory(subs.back());
    }
    CDatum *a = items[0], *b = items[1], *d = items[2];
    CCategory *s1 = subs[0], *s2 = subs[1], *s3 = subs[2];
    EXPECT_EQ(Contents(c.GetDatumList()), (std::vector<CDatum*> { d, b, a }));
    EXPECT_EQ(Contents(c.GetSubCategoryList()), (std::vector<CCategory*> { s1, s2, s3 }));
    EXPECT_EQ(a->GetParent(), &c);
    EXPECT_EQ(s2->GetParent(), &c);

    c.RemoveDatum(b);
    c.RemoveSubCategory(s2);
    EXPECT_EQ(Contents(c.GetDatumList()), (std::vector<CDatum*> { d, a }));
    EXPECT_EQ(Contents(c.GetSubCategoryList()), (std::vector<CCategory*> { s1, s3 }));

    EXPECT_TRUE(c.DetachSubCategory(s1));
    EXPECT_EQ(s1->GetParent(), nullptr);
    EXPECT_FALSE(c.DetachSubCategory(s1));
    EXPECT_EQ(Contents(c.GetSubCategoryList()), (std::vector<CCategory*> { s3 }));
    EXPECT_TRUE(c.DetachDatum(a));
    EXPECT_EQ(Contents(c.GetDatumList()), (std::vector<CDatum*> { d }));
    delete s1;
    delete a;
}

TEST(EntryList, EveryChangeKeepsTheWholeOrder)
{
    // Random changes of every kind, at the head, the tail and in between,
    // mirrored on a plain vector; the whole list is compared after each one.
    static int slots[1000];
    std::mt19937 rng(20240607);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    for (int round = 0; round < 40; ++round) {
        EntryList<int> list;
        std::vector<int*> expected;
        auto check = [&](const char* what, int step) {
            ASSERT_EQ(Contents(list), expected) << what << " at step " << step << " of round " << round;
            ASSERT_EQ(list.size(), expected.size());
            if (!expected.empty()) {
                ASSERT_EQ(list.front(), expected.front());
                ASSERT_EQ(list.back(), expected.back());
                std::size_t i = pick(expected.size());
                ASSERT_EQ(list[i], expected[i]);
                ASSERT_EQ(list.IndexOf(expected[i]), i);
            }
        };
        int made = 0;
        for (int step = 0; step < 500; ++step) {
            int* p = &slots[made++];
            const std::size_t n = expected.size();
            switch (pick(9)) {
            case 0:
                list.PushBack(p);
                expected.push_back(p);
                check("PushBack", step);
                break;
            case 1:
                list.PushFront(p);
                expected.insert(expected.begin(), p);
                check("PushFront", step);
                break;
            case 2:
            case 3: {
                std::size_t at = pick(n + 1);
                list.Insert(at, p);
                expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(at), p);
                check("Insert", step);
                break;
            }
            case 4:
                if (n) {
                    std::size_t at = pick(n);
                    ASSERT_EQ(list.EraseAt(at), expected[at]);
                    expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(at));
                    check("EraseAt", step);
                }
                break;
            case 5:
                if (n) {
                    int* gone = expected[pick(n)];
                    ASSERT_TRUE(list.Remove(gone));
                    ASSERT_FALSE(list.Remove(gone));
                    std::erase(expected, gone);
                    check("Remove", step);
                }
                break;
            case 6:
                if (n) {
                    std::size_t i = pick(n), j = pick(n);
                    list.Swap(i, j);
                    std::swap(expected[i], expected[j]);
                    check("Swap", step);
                }
                break;
            case 7:
                list.ReserveBack(pick(300));
                check("ReserveBack", step);
                break;
            case 8: {
                EntryList<int> moved(std::move(list));
                list = std::move(moved);
                check("move", step);
                break;
            }
            }
        }
        // Emptied from anywhere, then filled again from both ends.
        while (!expected.empty()) {
            std::size_t at = pick(expected.size());
            ASSERT_EQ(list.EraseAt(at), expected[at]);
            expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(at));
            check("draining", 0);
        }
        list.PushFront(&slots[0]);
        list.PushBack(&slots[1]);
        list.PushFront(&slots[2]);
        expected = { &slots[2], &slots[0], &slots[1] };
        check("refill", 0);
        EXPECT_EQ(list.IndexOf(&slots[3]), list.size());
    }

    // Alternating ends over many elements: linear, and still in order.
    EntryList<int> big;
    static int many[200000];
    for (int i = 0; i < 100000; ++i) {
        big.PushFront(&many[99999 - i]);
        big.PushBack(&many[100000 + i]);
    }
    ASSERT_EQ(big.size(), 200000u);
    for (std::size_t i = 0; i < big.size(); ++i)
        ASSERT_EQ(big[i], &many[i]);
}

namespace {

// Entry kinds that count how many of them are alive.
int g_live = 0;
struct CountedFolder : CFolderCategory {
    CountedFolder() { ++g_live; }
    ~CountedFolder() override { --g_live; }
};
struct CountedFile : CFileDatum {
    CountedFile() { ++g_live; }
    ~CountedFile() override { --g_live; }
};

// A chain `depth` deep below `top`, each level also holding a file and a
// leaf folder with two files; returns the number of entries added.
int AddCountedChain(CCategory& top, int depth)
{
    CCategory* at = &top;
    int added = 0;
    for (int i = 0; i < depth; ++i) {
        auto* leaf = new CountedFolder;
        auto* next = new CountedFolder;
        at->AddSubCategory(leaf);
        at->AddSubCategory(next);
        at->AddDatum(new CountedFile);
        leaf->AddDatum(new CountedFile);
        leaf->AddDatum(new CountedFile);
        added += 5;
        at = next;
    }
    return added;
}

} // namespace

TEST(Entries, DestroyingACategoryDestroysItsWholeSubtreeAndNothingElse)
{
    g_live = 0;
    auto root = std::make_unique<CCustomCategory>("root");
    ASSERT_EQ(AddCountedChain(*root, 10000), g_live);

    // Removing one sub-category destroys exactly its subtree.
    CCategory* leaf = root->GetSubCategoryList()[0];
    CCategory* chain = root->GetSubCategoryList()[1];
    const int before = g_live;
    root->RemoveSubCategory(leaf);
    EXPECT_EQ(g_live, before - 3);

    // Detaching destroys nothing; the new owner's destruction does.
    ASSERT_TRUE(root->DetachSubCategory(chain));
    EXPECT_EQ(g_live, before - 3);
    delete chain;
    EXPECT_EQ(g_live, 1); // the root's own file
    root.reset();
    EXPECT_EQ(g_live, 0);
}

TEST(Text, ShortTextsLiveInlineAndLongOnesOnTheHeap)
{
    CText empty;
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.HeapBytes(), 0u);
    CText ext("txt");
    EXPECT_EQ(ext.view(), "txt");
    EXPECT_EQ(ext.HeapBytes(), 0u);
    CText seven("1234567");
    EXPECT_EQ(seven.HeapBytes(), 0u);
    CText eight("12345678");
    EXPECT_GT(eight.HeapBytes(), 0u);
    EXPECT_EQ(eight.view(), "12345678");

    std::string withZeros("a\0b\0\0", 5);
    CText z(withZeros);
    EXPECT_EQ(z.size(), 5u);
    EXPECT_EQ(z.view(), withZeros);

    CText copy = eight;
    CText moved = std::move(copy);
    EXPECT_EQ(moved, eight);
    EXPECT_TRUE(copy.empty()); // NOLINT(bugprone-use-after-move)

    // Assigning a part of itself.
    CText self("abcdefghijklmnop");
    self = self.view().substr(3, 10);
    EXPECT_EQ(self.view(), "defghijklm");
    self = self.view().substr(0, 2);
    EXPECT_EQ(self.view(), "de");
    self = std::string_view();
    EXPECT_TRUE(self.empty());
}
