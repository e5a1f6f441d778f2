// Duplicates and unique files against a plain reference that compares every
// pair of data items, on random small libraries.

#include "Copies.h"
#include "Archive.h"
#include "Category.h"
#include "Datum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace tessary;

namespace {

// Names that differ only in letter case, in the dot a kind splits at, or in
// one byte of a GB18030 character (whose trail bytes may look like letters).
const char* const kFileNames[]
    = { "a", "a.txt", "A.txt", "a.TXT", "a.b.txt", "\xCE\xC4.txt", "\xCE\xC5.txt", "\x81\x41", "\x81\x61" };
const Size32 kSizes[] = { 0, 1, 5, 5, 100 };
const std::string kContents[] = { "", "", "", "x", "y", std::string("x\0z", 3) };

struct RandomLibrary {
    RootList roots;
    std::vector<CCategory*> categories;
};

// Small libraries, or now and then a big one with many names, whose
// buckets are sorted as a big library's are.
RandomLibrary MakeRandomLibrary(std::mt19937& rng, bool big = false)
{
    RandomLibrary lib;
    const int rootCount = 1 + static_cast<int>(rng() % 3);
    for (int r = 0; r < rootCount; ++r) {
        lib.roots.emplace_back(new CCustomCategory("root" + std::to_string(r)));
        lib.categories.push_back(lib.roots.back().get());
    }
    const int extra = static_cast<int>(rng() % 6);
    for (int i = 0; i < extra; ++i) {
        CCategory* parent = lib.categories[rng() % lib.categories.size()];
        auto* c = new CCustomCategory("c" + std::to_string(i));
        parent->AddSubCategory(c);
        lib.categories.push_back(c);
    }
    const int items = static_cast<int>(rng() % 24) + (big ? 1000 : 0);
    for (int i = 0; i < items; ++i) {
        std::string name = kFileNames[rng() % std::size(kFileNames)];
        if (big)
            name += std::to_string(rng() % 300);
        CDatum* d = rng() % 2 ? static_cast<CDatum*>(new CFileDatum(name))
                              : static_cast<CDatum*>(new CCustomDatum("/f/" + name));
        d->m_dwSize = kSizes[rng() % std::size(kSizes)];
        d->m_timeModified = static_cast<Time32>(rng() % 2);
        d->m_strContent = kContents[rng() % std::size(kContents)];
        lib.categories[rng() % lib.categories.size()]->AddDatum(d);
    }
    return lib;
}

// Library order: a category's own items, then its sub-categories.
void Flatten(const CCategory& c, std::vector<CDatum*>& out)
{
    for (CDatum* d : c.GetDatumList())
        out.push_back(d);
    for (const CCategory* sub : c.GetSubCategoryList())
        Flatten(*sub, out);
}

std::string FileName(const CDatum& d)
{
    return d.m_strName.str() + (d.m_strExtension.empty() ? "" : "." + d.m_strExtension.str());
}

bool SameKey(const CDatum& a, const CDatum& b, const CopyRule& rule)
{
    return a.m_dwSize == b.m_dwSize && (!rule.compareTime || a.m_timeModified == b.m_timeModified)
        && FileName(a) == FileName(b);
}

std::vector<CDatum*> Considered(const std::vector<CDatum*>& items, const CopyRule& rule)
{
    std::vector<CDatum*> out;
    for (CDatum* d : items)
        if (d->m_dwSize >= std::max<Size32>(rule.minSize, 1))
            out.push_back(d);
    return out;
}

using Groups = std::vector<std::vector<CDatum*>>;

Groups ReferenceDuplicates(const std::vector<CDatum*>& all, const CopyRule& rule)
{
    const std::vector<CDatum*> items = Considered(all, rule);
    std::vector<bool> taken(items.size());
    Groups groups;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (taken[i])
            continue;
        std::vector<CDatum*> key;
        for (std::size_t j = i; j < items.size(); ++j)
            if (SameKey(*items[i], *items[j], rule)) {
                key.push_back(items[j]);
                taken[j] = true;
            }
        std::vector<std::string> contents;
        for (CDatum* d : key)
            if (!d->m_strContent.empty()
                && std::find(contents.begin(), contents.end(), d->m_strContent.str()) == contents.end())
                contents.push_back(d->m_strContent.str());
        if (contents.size() <= 1) {
            groups.push_back(key);
            continue;
        }
        contents.push_back("");
        for (const std::string& content : contents) {
            groups.emplace_back();
            for (CDatum* d : key)
                if (d->m_strContent.str() == content)
                    groups.back().push_back(d);
        }
    }
    std::erase_if(groups, [](const auto& g) { return g.size() < 2; });
    auto wasted
        = [](const std::vector<CDatum*>& g) { return std::uint64_t { g[0]->m_dwSize } * (g.size() - 1); };
    auto position = [&](CDatum* d) { return std::find(all.begin(), all.end(), d) - all.begin(); };
    std::sort(groups.begin(), groups.end(), [&](const auto& x, const auto& y) {
        return wasted(x) != wasted(y) ? wasted(x) > wasted(y) : position(x[0]) < position(y[0]);
    });
    return groups;
}

std::vector<CDatum*> ReferenceUnique(
    const std::vector<CDatum*>& library, const CCategory& category, const CopyRule& rule)
{
    std::vector<CDatum*> inside;
    Flatten(category, inside);
    std::vector<CDatum*> unique;
    for (CDatum* x : Considered(inside, rule)) {
        bool copy = false;
        for (CDatum* y : Considered(library, rule))
            copy = copy
                || (std::find(inside.begin(), inside.end(), y) == inside.end() && SameKey(*x, *y, rule)
                    && (x->m_strContent.empty() || y->m_strContent.empty()
                        || x->m_strContent == y->m_strContent));
        if (!copy)
            unique.push_back(x);
    }
    return unique;
}

Groups AsGroups(const DuplicateGroups& found)
{
    Groups groups;
    for (std::size_t g = 0; g < found.GroupCount(); ++g)
        groups.emplace_back(found.Group(g).begin(), found.Group(g).end());
    return groups;
}

} // namespace

TEST(Copies, DuplicatesAndUniqueFilesAgreeWithAllPairsReference)
{
    std::mt19937 rng(21);
    std::size_t groupsSeen = 0, splitByContent = 0, uniqueSeen = 0, copiesElsewhere = 0;
    for (int round = 0; round < 1500; ++round) {
        RandomLibrary lib = MakeRandomLibrary(rng, round % 100 == 99);
        const CopyRule rule { static_cast<Size32>(rng() % 3 == 0 ? 5 : rng() % 2), rng() % 2 == 0 };
        std::vector<CDatum*> library;
        for (const auto& r : lib.roots)
            Flatten(*r, library);

        // The whole library, and one category's subtree.
        std::vector<const CCategory*> roots;
        for (const auto& r : lib.roots)
            roots.push_back(r.get());
        const Groups whole = ReferenceDuplicates(library, rule);
        EXPECT_EQ(AsGroups(FindDuplicates(roots, rule)), whole) << "round " << round;
        groupsSeen += whole.size();
        for (const auto& g : whole)
            splitByContent += g.size() > 1 && g[0]->m_strContent.empty() != g[1]->m_strContent.empty();

        const CCategory& scope = *lib.categories[rng() % lib.categories.size()];
        std::vector<CDatum*> below;
        Flatten(scope, below);
        const DuplicateGroups found = FindDuplicates(scope, rule);
        EXPECT_EQ(AsGroups(found), ReferenceDuplicates(below, rule)) << "round " << round;
        std::uint64_t wasted = 0;
        for (const auto& g : AsGroups(found))
            wasted += std::uint64_t { g[0]->m_dwSize } * (g.size() - 1);
        EXPECT_EQ(found.TotalWasted(), wasted);

        const UniqueFiles unique = FindUniqueFiles(roots, scope, rule);
        const std::vector<CDatum*> expected = ReferenceUnique(library, scope, rule);
        EXPECT_EQ(unique.items, expected) << "round " << round;
        std::uint64_t bytes = 0;
        for (CDatum* d : expected)
            bytes += d->m_dwSize;
        EXPECT_EQ(unique.bytes, bytes);
        uniqueSeen += expected.size();
        copiesElsewhere += Considered(below, rule).size() - expected.size();
    }
    // The random libraries reach the interesting cases.
    EXPECT_GT(groupsSeen, 1000u);
    EXPECT_GT(splitByContent, 20u);
    EXPECT_GT(uniqueSeen, 1000u);
    EXPECT_GT(copiesElsewhere, 300u);
}

TEST(Copies, CancelledSearchesFindNothingAndProgressEndsFull)
{
    std::mt19937 rng(7);
    RandomLibrary lib = MakeRandomLibrary(rng);
    for (int i = 0; i < 5000; ++i) {
        auto* d = new CFileDatum("same.txt");
        d->m_dwSize = 10;
        lib.roots.front()->AddDatum(d);
    }
    CopyProgress progress;
    const DuplicateGroups found = FindDuplicates(*lib.roots.front(), {}, &progress);
    EXPECT_FALSE(found.cancelled);
    EXPECT_GE(found.items.size(), 5000u);
    EXPECT_EQ(progress.Done(), progress.Total());

    CopyProgress stopped;
    stopped.Cancel();
    const DuplicateGroups none = FindDuplicates(*lib.roots.front(), {}, &stopped);
    EXPECT_TRUE(none.cancelled);
    EXPECT_TRUE(none.items.empty());
}

TEST(Copies, ByteAmountsReadAsPeopleWriteThem)
{
    const std::pair<std::uint64_t, const char*> cases[] = { { 0, "0 Byte" }, { 1023, "1023 Byte" },
        { 1024, "1.0 KB" }, { 1536, "1.5 KB" }, { 1048575, "1.0 MB" }, { 3ull << 30, "3.0 GB" },
        { 5ull << 40, "5.0 TB" }, { 5000ull << 40, "5000.0 TB" } };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(FormatByteAmount(bytes), text) << bytes;
}
