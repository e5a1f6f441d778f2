#include "QuickFinder.h"
#include "Datum.h"
#include "Document.h"
#include "QuickFindLibrary.h"
#include "Refresh.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>

using namespace tessary;
using namespace tessary::testing;
using namespace std::chrono_literals;

namespace {

// A document with a random library and a finder on it, driven the way the
// window drives it: steps of a millisecond, and a wait for the worker's
// wake-up call when the finder has nothing to do meanwhile.
class FinderTest : public ::testing::Test {
protected:
    FinderTest()
    {
        std::mt19937 rng(11);
        RandomLibrary(rng, 3000).MoveInto(doc);
    }

    // Steps until `done` holds; false after ten seconds.
    bool StepUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            if (!finder.Step(1ms)) {
                std::unique_lock lock(m_mutex);
                m_woken.wait_for(lock, 5ms, [this] { return m_wakes > 0; });
                m_wakes = 0;
            }
        }
        return true;
    }
    std::vector<CItem*> Result()
    {
        std::optional<std::vector<CItem*>> rows;
        EXPECT_TRUE(StepUntil([&] { return (rows = finder.TakeResult()).has_value(); }));
        return rows.value_or(std::vector<CItem*> {});
    }
    std::vector<CItem*> Lookup(const std::string& text)
    {
        finder.Find(CQuickQuery::Parse(text));
        return Result();
    }
    std::vector<CItem*> Scan(const std::string& text)
    {
        CategoryList& roots = doc.GetRootList();
        const std::vector<CDatum*> found
            = QuickScan(CQuickQuery::Parse(text), { roots.begin(), roots.size() });
        return { found.begin(), found.end() };
    }
    void WaitForIndex()
    {
        ASSERT_TRUE(StepUntil([&] { return finder.IndexReady(); }));
    }
    CCategory* Root(std::size_t i) { return doc.GetRootList()[i]; }

    CTessaryDoc doc;

private:
    std::mutex m_mutex;
    std::condition_variable m_woken;
    int m_wakes = 0;

protected:
    // Small batches, so that the copying outruns the worker and waits for it.
    CQuickFinder finder { doc,
        [this] {
            std::lock_guard lock(m_mutex);
            ++m_wakes;
            m_woken.notify_all();
        },
        64 };
};

const char* const kQueries[] = { "a", "b c", "ext:txt", "in:docs a", "rem:a", ">1K", "\xCE\xC4", "1.t" };

} // namespace

TEST_F(FinderTest, ScansUntilTheIndexIsReadyThenAsksIt)
{
    EXPECT_EQ(Lookup("a"), Scan("a")); // at once: no index yet
    WaitForIndex();
    for (const char* q : kQueries)
        EXPECT_EQ(Lookup(q), Scan(q)) << q;
    EXPECT_TRUE(Lookup("").empty());
    EXPECT_FALSE(finder.Busy());
}

// Each edit is seen by the very next lookup, whether the index was ready
// before it or not, and nothing removed is ever handed out.
TEST_F(FinderTest, NextLookupSeesEveryKindOfEdit)
{
    TempTree disk;
    disk.File("old.txt");
    disk.File("keep.txt");
    auto* drive = CreateRootFolderCategory("disk", disk.Root());
    doc.AddRoot(drive);
    auto* mine = new CCustomCategory("mine");
    mine->AddDatum(new CFileDatum("mine.txt"));
    doc.AddRoot(mine);
    const std::string mergeFile = disk.Path("merge.dli");
    {
        CTessaryDoc other;
        auto* c = new CCustomCategory("merged");
        c->AddDatum(new CFileDatum("zzmerged.txt"));
        other.AddRoot(c);
        other.OnSaveDocument(mergeFile);
    }
    auto anyItem = [&] {
        for (CCategory* root : doc.GetRootList())
            for (CCategory& c : PreOrder(*root))
                if (!c.GetDatumList().empty())
                    return c.GetDatumList().front();
        return static_cast<CDatum*>(nullptr);
    };
    const std::pair<const char*, std::function<void()>> edits[] = {
        { "rename an item",
            [&] {
                anyItem()->m_strName = "zzrenamed";
                doc.SetModifiedFlag(true);
            } },
        { "rename a category",
            [&] {
                mine->m_strName = "zzcat";
                doc.SetModifiedFlag(true);
            } },
        { "add an item",
            [&] {
                mine->AddDatum(new CFileDatum("zznew.txt"));
                doc.SetModifiedFlag(true);
            } },
        { "merge a library",
            [&] {
                doc.SetCurrentCategory(mine);
                ASSERT_TRUE(doc.ImportLibrary(mergeFile));
            } },
        { "refresh from the disk",
            [&] {
                disk.File("zzfresh.txt");
                ::unlink(disk.Path("old.txt").c_str());
                RefreshPlan plan = PlanRefresh(*drive, ScanForRefresh(RefreshSourceFor(*drive)));
                ApplyRefresh(doc, plan, {});
                EXPECT_EQ(Scan("zzfresh").size(), 1u);
            } },
        { "delete items",
            [&] {
                std::vector<CItem*> going(Root(0)->GetDatumList().begin(), Root(0)->GetDatumList().end());
                doc.DeleteEntries(Root(0), going);
            } },
        { "delete a root", [&] { doc.DeleteRoot(Root(0)); } }, // the random library's first
    };
    for (const auto& [what, edit] : edits) {
        for (bool indexFirst : { true, false }) {
            if (indexFirst)
                WaitForIndex();
            edit();
            for (const char* q : { "zz", "a", "in:zzcat", "ext:txt" })
                EXPECT_EQ(Lookup(q), Scan(q)) << what << ", query " << q;
        }
    }
}

TEST_F(FinderTest, ANewerLookupReplacesTheOlderOne)
{
    WaitForIndex();
    finder.Find(CQuickQuery::Parse("a"));
    finder.Find(CQuickQuery::Parse("b"));
    EXPECT_EQ(Result(), Scan("b"));
    // Nothing more comes: the first lookup's answer is never handed out.
    for (int i = 0; i < 20; ++i) {
        finder.Step(1ms);
        std::this_thread::sleep_for(1ms);
        EXPECT_FALSE(finder.TakeResult().has_value());
    }
    // A cancelled flag stops the index at its first look.
    std::atomic<bool> cancel { true };
    std::vector<std::uint32_t> found;
    EXPECT_EQ(finder.Index()->Find(CQuickQuery::Parse("a"), found, &cancel), CNameIndex::Outcome::Cancelled);
}

// An answer that the worker completed just before entries went is not
// handed out: the lookup runs again on the library as it is now.
TEST_F(FinderTest, AnswersFromBeforeARemovalAreNotHandedOut)
{
    for (bool indexFirst : { true, false }) {
        if (indexFirst)
            WaitForIndex();
        finder.Find(CQuickQuery::Parse("a"));
        finder.Step(1ms); // sent to the worker, or a first slice of the scan
        std::this_thread::sleep_for(50ms);
        const std::vector<CItem*> before = Scan("a");
        ASSERT_FALSE(before.empty());
        CCategory* category = before.front()->GetParent();
        std::vector<CItem*> going;
        for (CItem* d : before)
            if (d->GetParent() == category)
                going.push_back(d);
        const std::set<CItem*> gone(going.begin(), going.end());
        doc.DeleteEntries(category, going); // destroyed now
        const std::vector<CItem*> rows = Result();
        EXPECT_EQ(rows, Scan("a"));
        for (CItem* d : rows)
            EXPECT_EQ(gone.count(d), 0u);
    }
}

TEST_F(FinderTest, ANewLibraryStartsAfresh)
{
    WaitForIndex();
    doc.OnNewDocument();
    EXPECT_TRUE(Lookup("a").empty());
    auto* c = new CCustomCategory("c");
    c->AddDatum(new CFileDatum("a.txt"));
    doc.AddRoot(c);
    EXPECT_EQ(Lookup("a").size(), 1u);
    WaitForIndex();
    EXPECT_EQ(Lookup("a").size(), 1u);
}
