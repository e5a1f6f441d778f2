// Deleting, moving and reordering entries through the document.

#include "Document.h"
#include "LibraryBuilders.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

using testing::MakeCustomDatum;

template <class List> std::vector<std::string> Names(const List& list)
{
    std::vector<std::string> names;
    for (const auto* e : list)
        names.push_back(e->m_strName.str());
    return names;
}

// Records the names of what it is told about, which must still be intact.
class CNameListener : public IEntryRemovalListener {
public:
    void OnEntriesRemoving(std::span<const CItem* const> entries) override
    {
        ++calls;
        for (const CItem* e : entries)
            names.push_back(e->m_strName.str());
    }
    void OnLibraryClearing() override { }

    std::vector<std::string> names;
    int calls = 0;
};

// Root "r" with sub-categories s0..s2 (s1 holding t) and data items d0..d3
// (d0 first in the list).
struct Library {
    CNameListener listener; // outlives the document, which clears at the end
    CTessaryDoc doc;
    CCustomCategory* r = new CCustomCategory("r");
    CCustomCategory* s[3];
    CCustomCategory* t = new CCustomCategory("t");
    CDatum* d[4];

    Library()
    {
        doc.OnNewDocument();
        doc.AddRoot(r);
        for (int i = 0; i < 3; ++i)
            r->AddSubCategory(s[i] = new CCustomCategory("s" + std::to_string(i)));
        s[1]->AddSubCategory(t);
        for (int i = 3; i >= 0; --i)
            r->AddDatum(d[i] = MakeCustomDatum("d" + std::to_string(i), "txt", "/x"));
        doc.SetModifiedFlag(false);
        doc.AddRemovalListener(&listener);
    }
};

TEST(DocumentEditTest, DeleteEntriesRemovesAMixedSelectionInOnePass)
{
    Library lib;
    lib.doc.SetCurrentCategory(lib.t); // below s1, which goes
    CCustomCategory stranger("stranger");
    std::vector<CItem*> selection { lib.d[2], lib.s[1], &stranger, lib.d[0], lib.d[2] };

    EXPECT_EQ(lib.doc.DeleteEntries(lib.r, selection), 3u);
    // Told once, before anything went, in list order: sub-categories first.
    EXPECT_EQ(lib.listener.calls, 1);
    EXPECT_EQ(lib.listener.names, (std::vector<std::string> { "s1", "d0", "d2" }));
    EXPECT_EQ(Names(lib.r->GetSubCategoryList()), (std::vector<std::string> { "s0", "s2" }));
    EXPECT_EQ(Names(lib.r->GetDatumList()), (std::vector<std::string> { "d1", "d3" }));
    EXPECT_EQ(lib.doc.GetCurrentCategory(), nullptr);
    EXPECT_TRUE(lib.doc.IsModified());

    // Nothing of the category: nothing happens, not even the mark.
    lib.doc.SetModifiedFlag(false);
    std::vector<CItem*> none { &stranger };
    EXPECT_EQ(lib.doc.DeleteEntries(lib.r, none), 0u);
    EXPECT_EQ(lib.listener.calls, 1);
    EXPECT_FALSE(lib.doc.IsModified());
}

TEST(DocumentEditTest, DeleteEntriesKeepsAnUnrelatedCurrentCategory)
{
    Library lib;
    lib.doc.SetCurrentCategory(lib.r);
    std::vector<CItem*> all(lib.r->GetDatumList().begin(), lib.r->GetDatumList().end());
    EXPECT_EQ(lib.doc.DeleteEntries(lib.r, all), 4u);
    EXPECT_TRUE(lib.r->GetDatumList().empty());
    EXPECT_EQ(lib.doc.GetCurrentCategory(), lib.r);
    // The list works on after being emptied.
    lib.r->AddDatum(MakeCustomDatum("new", "", "/x"));
    lib.r->AddDatum(MakeCustomDatum("newer", "", "/x"));
    EXPECT_EQ(Names(lib.r->GetDatumList()), (std::vector<std::string> { "newer", "new" }));
}

TEST(DocumentEditTest, DeletingCategoriesTellsFirstAndResetsTheCurrentOne)
{
    Library lib;
    lib.doc.SetCurrentCategory(lib.t);
    EXPECT_FALSE(lib.doc.DeleteSubCategory(lib.r, lib.t)); // not r's own
    EXPECT_FALSE(lib.doc.DeleteRoot(lib.s[0]));
    EXPECT_EQ(lib.listener.calls, 0);
    EXPECT_FALSE(lib.doc.IsModified());

    EXPECT_TRUE(lib.doc.DeleteSubCategory(lib.r, lib.s[1]));
    EXPECT_EQ(lib.listener.names, (std::vector<std::string> { "s1" }));
    EXPECT_EQ(lib.doc.GetCurrentCategory(), nullptr);
    EXPECT_EQ(Names(lib.r->GetSubCategoryList()), (std::vector<std::string> { "s0", "s2" }));
    EXPECT_TRUE(lib.doc.IsModified());

    lib.doc.SetCurrentCategory(lib.s[2]);
    EXPECT_TRUE(lib.doc.DeleteRoot(lib.r));
    EXPECT_EQ(lib.listener.names, (std::vector<std::string> { "s1", "r" }));
    EXPECT_EQ(lib.doc.GetRootCount(), 0u);
    EXPECT_EQ(lib.doc.GetCurrentCategory(), nullptr);
}

TEST(DocumentEditTest, CategoriesMoveInThreeWays)
{
    Library lib;
    auto* other = new CCustomCategory("other");
    lib.doc.AddRoot(other);

    // Between categories: appended to the new parent, gone from the old.
    EXPECT_TRUE(lib.doc.MoveCategory(lib.s[0], lib.s[2]));
    EXPECT_EQ(lib.s[0]->GetParent(), lib.s[2]);
    EXPECT_EQ(Names(lib.r->GetSubCategoryList()), (std::vector<std::string> { "s1", "s2" }));
    EXPECT_EQ(Names(lib.s[2]->GetSubCategoryList()), (std::vector<std::string> { "s0" }));

    // A sub-category to the root list: last root, no parent.
    EXPECT_TRUE(lib.doc.MoveCategory(lib.t, nullptr));
    EXPECT_EQ(lib.t->GetParent(), nullptr);
    EXPECT_EQ(Names(lib.doc.GetRootList()), (std::vector<std::string> { "r", "other", "t" }));
    EXPECT_TRUE(lib.s[1]->GetSubCategoryList().empty());

    // A root into a category, with its subtree.
    other->AddSubCategory(new CCustomCategory("inner"));
    EXPECT_TRUE(lib.doc.MoveCategory(other, lib.s[1]));
    EXPECT_EQ(Names(lib.doc.GetRootList()), (std::vector<std::string> { "r", "t" }));
    EXPECT_EQ(other->GetParent(), lib.s[1]);
    EXPECT_EQ(Names(other->GetSubCategoryList()), (std::vector<std::string> { "inner" }));
}

TEST(DocumentEditTest, MovesThatWouldChangeNothingOrMakeACycleAreRefused)
{
    Library lib;
    lib.doc.SetModifiedFlag(false);
    const std::string before = testing::Describe(lib.doc.GetRoots());

    EXPECT_FALSE(lib.doc.MoveCategory(lib.s[1], lib.r)); // already there
    EXPECT_FALSE(lib.doc.MoveCategory(lib.r, nullptr)); // already a root
    EXPECT_FALSE(lib.doc.MoveCategory(lib.s[1], lib.s[1])); // into itself
    EXPECT_FALSE(lib.doc.MoveCategory(lib.s[1], lib.t)); // into its own subtree
    EXPECT_FALSE(lib.doc.MoveCategory(lib.r, lib.t));
    CCustomCategory loose("loose"); // in no list: not the document's to move
    EXPECT_FALSE(lib.doc.MoveCategory(&loose, lib.r));

    EXPECT_EQ(testing::Describe(lib.doc.GetRoots()), before);
    EXPECT_FALSE(lib.doc.IsModified());
}

TEST(DocumentEditTest, SwapExchangesNeighboursOfOneListOnly)
{
    Library lib;
    auto* second = new CCustomCategory("second");
    lib.doc.AddRoot(second);
    lib.doc.SetModifiedFlag(false);

    EXPECT_FALSE(lib.doc.SwapEntries(lib.s[2], lib.d[0])); // a category and a data item
    EXPECT_FALSE(lib.doc.SwapEntries(lib.t, lib.s[0])); // different parents
    EXPECT_FALSE(lib.doc.SwapEntries(lib.d[1], lib.d[1]));
    EXPECT_FALSE(lib.doc.IsModified());

    EXPECT_TRUE(lib.doc.SwapEntries(lib.d[1], lib.d[0]));
    EXPECT_EQ(Names(lib.r->GetDatumList()), (std::vector<std::string> { "d1", "d0", "d2", "d3" }));
    EXPECT_TRUE(lib.doc.SwapEntries(lib.s[2], lib.s[1]));
    EXPECT_EQ(Names(lib.r->GetSubCategoryList()), (std::vector<std::string> { "s0", "s2", "s1" }));
    EXPECT_TRUE(lib.doc.SwapEntries(second, lib.r));
    EXPECT_EQ(Names(lib.doc.GetRootList()), (std::vector<std::string> { "second", "r" }));
    EXPECT_TRUE(lib.doc.IsModified());
}

TEST(DocumentEditTest, RemoveIfKeepsTheOrderOfWhatStays)
{
    EntryList<int> list;
    int values[8] = { 0, 1, 2, 3, 4, 5, 6, 7 };
    for (int& v : values)
        list.PushBack(&v);
    list.PushFront(&values[7]);
    EXPECT_EQ(list.RemoveIf([](int* p) { return *p % 3 == 1; }), 4u); // 7 (twice), 1, 4
    std::vector<int> kept;
    for (int* p : list)
        kept.push_back(*p);
    EXPECT_EQ(kept, (std::vector<int> { 0, 2, 3, 5, 6 }));
    EXPECT_EQ(list.RemoveIf([](int*) { return true; }), 5u);
    EXPECT_TRUE(list.empty());
    list.PushFront(&values[0]);
    EXPECT_EQ(list.front(), &values[0]);
}

} // namespace
} // namespace tessary
