#include "EntryWalk.h"
#include "Category.h"
#include "Datum.h"

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

using namespace tessary;

namespace {

CCustomCategory* Add(CCategory& parent, std::string_view name)
{
    auto* c = new CCustomCategory(name);
    parent.AddSubCategory(c);
    return c;
}

// r { a { a1, a2 { x } }, b, c { c1 } }
struct SmallTree {
    SmallTree()
    {
        CCategory* a = Add(root, "a");
        Add(*a, "a1");
        Add(*Add(*a, "a2"), "x");
        Add(root, "b");
        Add(*Add(root, "c"), "c1");
    }
    CCustomCategory root { "r" };
};

// Every event of a walk from a root without parent, as "+name" (entering)
// or "-name" (leaving); depth, position and parent are checked against the
// tree on the way.
std::string Events(ConstCategoryWalk& walk)
{
    std::string s;
    while (walk.Next()) {
        const CCategory& c = walk.Current();
        s += walk.Entering() ? " +" : " -";
        s += c.m_strName.view();
        std::size_t depth = 0;
        for (const CCategory* p = c.GetParent(); p; p = p->GetParent())
            ++depth;
        if (walk.Depth() != depth || walk.Parent() != c.GetParent())
            s += "(bad depth or parent)";
        if (walk.Parent() && walk.Parent()->GetSubCategoryList()[walk.Index()] != &c)
            s += "(bad index)";
    }
    return s;
}

std::string Names(auto&& range)
{
    std::string s;
    for (const CCategory& c : range)
        s += std::string(c.m_strName.view()) + ' ';
    return s;
}

} // namespace

TEST(CategoryWalk, EntersBeforeAndLeavesAfterTheSubCategoriesInListOrder)
{
    SmallTree t;
    ConstCategoryWalk walk(t.root);
    EXPECT_EQ(Events(walk), " +r +a +a1 -a1 +a2 +x -x -a2 -a +b -b +c +c1 -c1 -c -r");
    EXPECT_FALSE(walk.Next()); // stays at its end

    EXPECT_EQ(Names(PreOrder(std::as_const(t.root))), "r a a1 a2 x b c c1 ");
    EXPECT_EQ(Names(PostOrder(std::as_const(t.root))), "a1 x a2 a b c1 c r ");

    CCustomCategory leaf("leaf");
    ConstCategoryWalk single(leaf);
    EXPECT_EQ(Events(single), " +leaf -leaf");
}

TEST(CategoryWalk, WalksAListOfRootsInOrderWithTheirPositions)
{
    SmallTree t1, t2;
    std::vector<const CCategory*> roots { t1.root.GetSubCategoryList()[2], &t2.root,
        t1.root.GetSubCategoryList()[1] };
    ConstCategoryWalk walk { std::span<const CCategory* const>(roots) };
    std::vector<std::size_t> rootIndexes;
    std::string names;
    while (walk.Next()) {
        if (!walk.Entering())
            continue;
        names += std::string(walk.Current().m_strName.view()) + ' ';
        if (walk.Depth() == 0) {
            rootIndexes.push_back(walk.Index());
            EXPECT_EQ(walk.Parent(), nullptr);
        }
    }
    EXPECT_EQ(names, "c c1 r a a1 a2 x b c c1 b ");
    EXPECT_EQ(rootIndexes, (std::vector<std::size_t> { 0, 1, 2 }));

    std::vector<const CCategory*> none;
    EXPECT_EQ(Names(PreOrder(std::span<const CCategory* const>(none))), "");
}

TEST(CategoryWalk, SkippedSubtreesAreLeftAtOnce)
{
    SmallTree t;
    ConstCategoryWalk walk(t.root);
    std::string s;
    while (walk.Next()) {
        s += (walk.Entering() ? "+" : "-") + std::string(walk.Current().m_strName.view()) + ' ';
        if (walk.Entering() && (walk.Current().m_strName == "a" || walk.Current().m_strName == "c1"))
            walk.SkipChildren();
    }
    EXPECT_EQ(s, "+r +a -a +b -b +c +c1 -c1 -c -r ");
}

TEST(CategoryWalk, ALeftCategoryMayBeDestroyed)
{
    // Destroying each category once it has been left, as the destructor
    // does, must not disturb the rest of the walk.
    SmallTree t;
    CategoryWalk walk(t.root);
    std::string left;
    while (walk.Next()) {
        CCategory& c = walk.Current();
        if (walk.Entering() || &c == &t.root)
            continue;
        left += std::string(c.m_strName.view()) + ' ';
        c.GetSubCategoryList().Clear();
        delete &c;
    }
    EXPECT_EQ(left, "a1 x a2 a b c1 c ");
    t.root.GetSubCategoryList().Clear();
}

TEST(CategoryWalk, DeepTreesNeedNoRecursion)
{
    CCustomCategory root("root");
    CCategory* at = &root;
    const std::size_t depth = 200000;
    for (std::size_t i = 0; i < depth; ++i)
        at = Add(*at, "d");
    std::size_t deepest = 0, events = 0;
    ConstCategoryWalk walk(root);
    while (walk.Next()) {
        deepest = std::max(deepest, walk.Depth());
        ++events;
    }
    EXPECT_EQ(deepest, depth);
    EXPECT_EQ(events, 2 * (depth + 1));
}
