#include "Category.h"
#include "Datum.h"
#include "NameIndex.h"
#include "QuickFindLibrary.h"
#include "QuickQuery.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace tessary;
using namespace tessary::testing;

namespace {

struct ParseCase {
    const char* text;
    const char* expected; // words | extensions | folders | remarks | above | below
};

std::string Join(const std::vector<std::string>& v)
{
    std::string s;
    for (const std::string& x : v)
        s += (s.empty() ? "" : ",") + x;
    return s;
}

std::string Show(const CQuickQuery& q)
{
    auto size = [](const std::optional<std::uint64_t>& v) { return v ? std::to_string(*v) : std::string(); };
    return Join(q.words) + "|" + Join(q.extensions) + "|" + Join(q.folders) + "|" + Join(q.remarks) + "|"
        + size(q.sizeAbove) + "|" + size(q.sizeBelow);
}

// Handles the index answers, as entries.
std::vector<CDatum*> IndexFind(const CNameIndex& index, const CQuickQuery& query)
{
    std::vector<std::uint32_t> numbers;
    EXPECT_EQ(index.Find(query, numbers, nullptr), CNameIndex::Outcome::Found);
    std::vector<CDatum*> out;
    for (std::uint32_t n : numbers)
        out.push_back(const_cast<CDatum*>(index.Item(n)));
    return out;
}

} // namespace

TEST(QuickQuery, ParsesWordsPrefixesQuotesAndSizes)
{
    const ParseCase cases[] = {
        { "", "|||||" }, { "  Report  DOC ", "report,doc|||||" },
        { "ext:PDF ext:.jpg,png,", "|pdf,jpg,png||||" },
        { "EXT:txt In:Work rem:Urgent", "|txt|work|urgent||" },
        { "in:\"My Docs\" \"two words\"", "two words||my docs|||" },
        { "\"ext:pdf\"", "ext:pdf|||||" }, // a quoted prefix is a word
        { "ext: in: rem: > <", "|||||" }, // prefixes still being typed
        { ">10M <1k", "||||10485760|1024" },
        { ">1.5kb >2 <3G <4", "||||1536|4" }, // the strictest bound of each side
        { ">10X <abc", ">10x,<abc|||||" }, // not sizes: words
        { ">99999999999999999999999T", "||||18446744073709551615|" },
        { "a\xA1\xA1"
          "b\tc",
            "a,b,c|||||" }, // ideographic space and tab are blanks
        { "A A a", "a|||||" }, // repeats count once
        { "\xB1\x41 \xC1", "\xB1\x41,\xC1|||||" }, // a letter that is a trail byte stays as it is
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(Show(CQuickQuery::Parse(c.text)), c.expected) << c.text;
    EXPECT_TRUE(CQuickQuery::Parse(" ext: ").IsEmpty());
    EXPECT_FALSE(CQuickQuery::Parse("<1").IsEmpty());
}

TEST(QuickQuery, FoldsLettersOutsideMultiByteCharactersAndStopsAtZero)
{
    EXPECT_EQ(FoldCase("AbC\xB1\x41Z\x81\x30\x81\x30Q"), "abc\xB1\x41z\x81\x30\x81\x30q");
    EXPECT_EQ(FoldCase(std::string_view("AB\0CD", 5)), "ab");
    EXPECT_TRUE(EqualsFolded("PdF", "pdf"));
    EXPECT_FALSE(EqualsFolded("\xB1\x41", "\xB1\x61"));
    EXPECT_FALSE(EqualsFolded("pdfx", "pdf"));
}

// The index, the plain scan and the obvious rule written out in the test
// (QuickFindLibrary.h) give the same items in the same order, on random
// libraries with GB18030 names and random queries.
TEST(QuickFind, IndexAndPlainScanAgreeWithTheRuleOnRandomLibraries)
{
    int queries = 0, someFound = 0;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        RandomLibrary lib(rng, 60 + seed * 5);
        const auto index = BuildNameIndex(lib.Roots());
        for (int q = 0; q < 60; ++q) {
            const std::string text = lib.RandomQueryText(rng);
            const CQuickQuery query = CQuickQuery::Parse(text);
            const std::vector<CDatum*> expected = lib.ByTheRule(query);
            ASSERT_EQ(QuickScan(query, lib.Roots()), expected) << "seed " << seed << " query " << text;
            ASSERT_EQ(IndexFind(*index, query), expected) << "seed " << seed << " query " << text;
            ++queries;
            someFound += !expected.empty();
        }
    }
    EXPECT_GT(someFound, queries / 3); // the queries do find things
}

// A library big enough for the trigram filter to leave most name groups
// out, and for the bitmap of many results: still the same answers.
TEST(QuickFind, IndexAgreesOnALargerLibrary)
{
    std::mt19937 rng(99);
    RandomLibrary lib(rng, 20000);
    const auto index = BuildNameIndex(lib.Roots());
    EXPECT_GT(index->DistinctNames(), 1000u);
    for (int q = 0; q < 200; ++q) {
        const std::string text = lib.RandomQueryText(rng);
        const CQuickQuery query = CQuickQuery::Parse(text);
        ASSERT_EQ(IndexFind(*index, query), lib.ByTheRule(query)) << text;
    }
}

TEST(QuickFind, ScanInSmallStepsFindsWhatOneStepFinds)
{
    std::mt19937 rng(5);
    RandomLibrary lib(rng, 500);
    const CQuickQuery query = CQuickQuery::Parse("a");
    CQuickScan scan(query, lib.Roots());
    int steps = 0;
    while (!scan.Step(3))
        ++steps;
    EXPECT_GT(steps, 100);
    EXPECT_EQ(scan.Results(), QuickScan(query, lib.Roots()));
}

TEST(QuickFind, IndexWithoutRoomForRemarksSaysSo)
{
    CCustomCategory root("r");
    auto* d = new CFileDatum("a.txt");
    d->m_strRemark = std::string(CIndexHarvest::kRemarkBudget + 1, 'x');
    root.AddDatum(d);
    CCategory* roots[] = { &root };
    const auto index = BuildNameIndex(roots);
    std::vector<std::uint32_t> found;
    EXPECT_EQ(index->Find(CQuickQuery::Parse("rem:x"), found, nullptr), CNameIndex::Outcome::Unanswerable);
    EXPECT_EQ(index->Find(CQuickQuery::Parse("a"), found, nullptr), CNameIndex::Outcome::Found);
    EXPECT_EQ(found.size(), 1u);
}
