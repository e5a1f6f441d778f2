#pragma once

#include "Category.h"

#include <cstddef>
#include <iterator>
#include <span>
#include <utility>
#include <vector>

namespace tessary {

// A depth-first walk over the categories of one subtree, or of a list of
// subtrees in list order, without recursion: a library may nest categories
// deeper than any call stack goes.
//
// Each category is met twice: when the walk enters it (before any of its
// sub-categories) and when it leaves it (after all of them). Sub-categories
// are entered in list order. Data items are not visited; a caller reads a
// category's data-item list when it meets the category.
//
//     CategoryWalk walk(root);
//     while (walk.Next())
//         if (walk.Entering()) ... else ...
//
// PreOrder() and PostOrder() below give the two halves as ranges.
//
// What may change during the walk: the walk reads only the sub-category
// lists of the categories it is inside (the current one and its ancestors),
// and reads the current category's list again only before leaving it. So
// data-item lists may change at any time, and once the walk has left a
// category (after Next() returned its leaving event) that category may be
// emptied or destroyed, as long as the parent's list keeps its place. No
// other sub-category list on the path may change.
//
// `Category` is CCategory or const CCategory.
template <class Category> class BasicCategoryWalk {
public:
    // Walks `root` and its subtree.
    explicit BasicCategoryWalk(Category& root)
        : m_single(&root)
        , m_roots(&m_single, 1)
    {
    }
    // Walks each of `roots` with its subtree, in order. The span must stay
    // valid during the walk.
    explicit BasicCategoryWalk(std::span<Category* const> roots)
        : m_roots(roots)
    {
    }
    BasicCategoryWalk(const BasicCategoryWalk&) = delete;
    BasicCategoryWalk& operator=(const BasicCategoryWalk&) = delete;

    // Moves to the next event; false when the walk is over.
    bool Next()
    {
        if (m_leaving) {
            m_stack.pop_back();
            m_leaving = false;
        }
        if (m_stack.empty()) {
            if (m_nextRoot == m_roots.size())
                return false;
            m_stack.push_back({ m_roots[m_nextRoot++], 0 });
            return true;
        }
        Frame& top = m_stack.back();
        const CategoryList& subs = top.category->GetSubCategoryList();
        if (top.next < subs.size()) {
            Category* sub = subs[top.next++];
            m_stack.push_back({ sub, 0 });
            return true;
        }
        m_leaving = true;
        return true;
    }

    // The category of the current event (valid after Next() returned true).
    Category& Current() const noexcept { return *m_stack.back().category; }
    // True when entering the current category, false when leaving it.
    bool Entering() const noexcept { return !m_leaving; }
    // 0 for the categories the walk started from, 1 for their
    // sub-categories, and so on.
    std::size_t Depth() const noexcept { return m_stack.size() - 1; }
    // Position of the current category in its parent's sub-category list (or
    // in the list of start categories).
    std::size_t Index() const noexcept
    {
        return m_stack.size() == 1 ? m_nextRoot - 1 : m_stack[m_stack.size() - 2].next - 1;
    }
    // The category whose sub-category list holds the current one; null for
    // a start category.
    Category* Parent() const noexcept
    {
        return m_stack.size() == 1 ? nullptr : m_stack[m_stack.size() - 2].category;
    }
    // On entering: skips the current category's subtree, so that the next
    // event is leaving it.
    void SkipChildren() noexcept { m_stack.back().next = static_cast<std::size_t>(-1); }

private:
    struct Frame {
        Category* category;
        std::size_t next; // the next sub-category to enter
    };

    Category* m_single = nullptr;
    std::span<Category* const> m_roots;
    std::size_t m_nextRoot = 0;
    std::vector<Frame> m_stack;
    bool m_leaving = false;
};

using CategoryWalk = BasicCategoryWalk<CCategory>;
using ConstCategoryWalk = BasicCategoryWalk<const CCategory>;

// The categories of a walk in one of its two orders, as a range:
//
//     for (const CCategory& c : PostOrder(root)) ...
//
// Pre-order meets each category before its sub-categories, post-order after
// all of them. Both walk the sub-categories in list order.
template <class Category, bool kEntering> class CategoryOrder {
public:
    template <class... Start>
    explicit CategoryOrder(Start&&... start)
        : m_walk(std::forward<Start>(start)...)
    {
    }

    class iterator {
    public:
        using value_type = Category;
        using difference_type = std::ptrdiff_t;
        using iterator_category = std::input_iterator_tag;

        Category& operator*() const noexcept { return m_walk->Current(); }
        iterator& operator++()
        {
            Advance();
            return *this;
        }
        bool operator==(std::default_sentinel_t) const noexcept { return m_walk == nullptr; }

    private:
        friend class CategoryOrder;
        explicit iterator(BasicCategoryWalk<Category>* walk)
            : m_walk(walk)
        {
            Advance();
        }
        void Advance()
        {
            while (m_walk->Next())
                if (m_walk->Entering() == kEntering)
                    return;
            m_walk = nullptr;
        }
        BasicCategoryWalk<Category>* m_walk;
    };

    // A walk can be gone through once.
    iterator begin() { return iterator(&m_walk); }
    std::default_sentinel_t end() const noexcept { return {}; }

private:
    BasicCategoryWalk<Category> m_walk;
};

// Pre-order over `root`'s subtree.
inline auto PreOrder(CCategory& root)
{
    return CategoryOrder<CCategory, true>(root);
}
inline auto PreOrder(const CCategory& root)
{
    return CategoryOrder<const CCategory, true>(root);
}
// Post-order over `root`'s subtree.
inline auto PostOrder(CCategory& root)
{
    return CategoryOrder<CCategory, false>(root);
}
inline auto PostOrder(const CCategory& root)
{
    return CategoryOrder<const CCategory, false>(root);
}
// Pre-order over each of `roots` with its subtree, in list order.
inline auto PreOrder(const CategoryList& roots)
{
    return CategoryOrder<const CCategory, true>(
        std::span<const CCategory* const>(roots.begin(), roots.size()));
}
inline auto PreOrder(std::span<const CCategory* const> roots)
{
    return CategoryOrder<const CCategory, true>(roots);
}

} // namespace tessary
