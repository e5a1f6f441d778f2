#include "Category.h"
#include "Datum.h"
#include "LibraryBuilders.h"

#include <gtest/gtest.h>

#include <memory>

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
    auto* a = new CFileDatum("a");
    auto* b = new CFileDatum("b");
    c.AddDatum(a);
    c.AddDatum(b);
    ASSERT_EQ(c.GetDatumList().size(), 2u);
    EXPECT_EQ(c.GetDatumList()[0], b);
    EXPECT_EQ(c.GetDatumList()[1], a);
    EXPECT_EQ(a->GetParent(), &c);

    auto* s1 = new CCustomCategory("1");
    auto* s2 = new CCustomCategory("2");
    c.AddSubCategory(s1);
    c.AddSubCategory(s2);
    EXPECT_EQ(c.GetSubCategoryList()[0], s1);
    EXPECT_EQ(c.GetSubCategoryList()[1], s2);
    EXPECT_EQ(s2->GetParent(), &c);

    c.RemoveDatum(b);
    c.RemoveSubCategory(s1);
    EXPECT_EQ(c.GetDatumList().size(), 1u);
    EXPECT_EQ(c.GetSubCategoryList()[0], s2);

    EXPECT_TRUE(c.DetachSubCategory(s2));
    EXPECT_EQ(s2->GetParent(), nullptr);
    EXPECT_FALSE(c.DetachSubCategory(s2));
    delete s2;
}

TEST(EntryList, BothEndsNeighboursAndRemovalKeepOrder)
{
    int v[6] = { 0, 1, 2, 3, 4, 5 };
    EntryList<int> list;
    list.PushBack(&v[2]);
    list.PushFront(&v[1]);
    list.PushBack(&v[3]);
    list.PushFront(&v[0]);
    list.Insert(4, &v[5]);
    list.Insert(4, &v[4]);
    std::vector<int> got;
    for (int* p : list)
        got.push_back(*p);
    EXPECT_EQ(got, (std::vector<int> { 0, 1, 2, 3, 4, 5 }));
    list.Swap(0, 1);
    EXPECT_EQ(*list[0], 1);
    EXPECT_EQ(list.IndexOf(&v[5]), 5u);
    EXPECT_TRUE(list.Remove(&v[3]));
    EXPECT_FALSE(list.Remove(&v[3]));
    EXPECT_EQ(list.IndexOf(&v[3]), list.size());
    EXPECT_EQ(*list.EraseAt(0), 1);
    EXPECT_EQ(*list.front(), 0);
    EXPECT_EQ(*list.back(), 5);

    // Alternating ends over many elements: linear, and still in order.
    EntryList<int> big;
    static int dummy[200000];
    for (int i = 0; i < 100000; ++i) {
        big.PushFront(&dummy[99999 - i]);
        big.PushBack(&dummy[100000 + i]);
    }
    ASSERT_EQ(big.size(), 200000u);
    for (std::size_t i = 0; i < big.size(); i += 997)
        ASSERT_EQ(big[i], &dummy[i]);
}

TEST(Entries, DestroyingARootDestroysItsSubtree)
{
    // Run under the sanitizers, a leak or double free here fails the build.
    auto root = std::make_unique<CCustomCategory>("root");
    CCategory* at = root.get();
    for (int depth = 0; depth < 100; ++depth) {
        auto* c = new CFolderCategory("d");
        at->AddSubCategory(c);
        at->AddDatum(new CFileDatum("f.txt"));
        at->AddSubCategory(new CCustomCategory("leaf"));
        at = c;
    }
    root.reset();
    SUCCEED();
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
