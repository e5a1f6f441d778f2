#include "Category.h"
#include "Datum.h"
#include "SearchCriteria.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace tessary;

namespace {

CFileDatum* MakeFile(std::string_view fileName, Size32 size = 0, Time32 time = 0)
{
    auto* d = new CFileDatum(fileName);
    d->m_dwSize = size;
    d->m_timeModified = time;
    return d;
}

// The rule written the slow, obvious way: copy, fold A-Z outside multi-byte
// characters, then try every character start of the field.
std::size_t ReferenceCharLength(const std::string& s, std::size_t i)
{
    auto u = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    if (u(i) < 0x81 || u(i) == 0xFF || i + 1 >= s.size())
        return 1;
    if (i + 3 < s.size() && u(i + 1) >= 0x30 && u(i + 1) <= 0x39 && u(i + 2) >= 0x81 && u(i + 2) <= 0xFE
        && u(i + 3) >= 0x30 && u(i + 3) <= 0x39)
        return 4;
    return 2;
}

std::string ReferenceFold(std::string s)
{
    s = s.substr(0, s.find('\0'));
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = ReferenceCharLength(s, i);
        if (n == 1 && s[i] >= 'A' && s[i] <= 'Z')
            s[i] = static_cast<char>(s[i] - 'A' + 'a');
        i += n;
    }
    return s;
}

bool ReferenceFind(const std::string& field, const std::string& keyword, bool caseSensitive)
{
    std::string f = caseSensitive ? field.substr(0, field.find('\0')) : ReferenceFold(field);
    std::string k = caseSensitive ? keyword.substr(0, keyword.find('\0')) : ReferenceFold(keyword);
    for (std::size_t i = 0; i + k.size() <= f.size(); i += ReferenceCharLength(f, i)) {
        if (f.compare(i, k.size(), k) == 0)
            return true;
        if (i == f.size())
            break;
    }
    return k.empty();
}

bool Find(std::string_view field, std::string_view keyword, bool caseSensitive = false)
{
    return CKeywordPattern(keyword, caseSensitive).Find(field);
}

} // namespace

TEST(KeywordPattern, FoldsOnlyAsciiLettersAndHonoursCaseFlag)
{
    EXPECT_TRUE(Find("report", "Rep"));
    EXPECT_FALSE(Find("report", "Rep", true));
    EXPECT_TRUE(Find("REPORT", "port"));
    EXPECT_TRUE(Find("a b c", " b ")); // blanks are ordinary characters
    EXPECT_FALSE(Find("a b c", "a c")); // no splitting of the keyword
    EXPECT_FALSE(Find("file*", "f*e")); // no wildcards
    EXPECT_FALSE(Find("@", "`")); // 0x40 and 0x60 differ only in the case bit but are not letters
    EXPECT_FALSE(Find("[", "{"));
    EXPECT_FALSE(Find("\xC1", "\xE1")); // high bytes never fold
    EXPECT_TRUE(Find("anything", ""));
}

TEST(KeywordPattern, MatchNeverStartsInsideADoubleByteCharacter)
{
    // B0 A1 B2 A3: the two-byte keyword A1 B2 only appears across the two characters.
    EXPECT_FALSE(Find("\xB0\xA1\xB2\xA3", "\xA1\xB2", true));
    EXPECT_FALSE(Find("\xB0\xA1\xB2\xA3", "\xA1\xB2"));
    EXPECT_TRUE(Find("x\xA1\xB2", "\xA1\xB2"));
    // A trail byte that looks like a letter: 'a' inside B0 61 is no match for "a"...
    EXPECT_FALSE(Find("\xB0"
                      "a",
        "a"));
    EXPECT_FALSE(Find("\xB0"
                      "A",
        "a"));
    // ...and it is not folded: B0 41 and B0 61 are different characters.
    EXPECT_FALSE(Find("\xB0"
                      "A",
        "\xB0"
        "a"));
    EXPECT_TRUE(Find("\xB0"
                     "A",
        "\xB0"
        "A"));
    // After the double-byte character the letters are single bytes again.
    EXPECT_TRUE(Find("\xB0"
                     "AB",
        "b"));
}

TEST(KeywordPattern, FourByteCharactersCountAsOne)
{
    // 81 30 81 30 is one character: position 2 is inside it.
    EXPECT_FALSE(Find("\x81\x30\x81\x30z", "\x81\x30z", true));
    EXPECT_TRUE(Find("\x81\x30\x81\x30\x81\x30z", "\x81\x30z", true));
    EXPECT_TRUE(Find("\x81\x30\x81\x30", "\x81\x30\x81", true));
    // Without a valid four-byte shape, 81 30 is read as a two-byte character.
    EXPECT_TRUE(Find("\x81\x30\x81\x41", "\x81\x41", true));
}

TEST(KeywordPattern, TextsEndAtTheirFirstZeroByte)
{
    using namespace std::string_literals;
    EXPECT_FALSE(Find("abc\0needle"s, "needle"));
    EXPECT_TRUE(Find("abc\0needle"s, "bc"));
    EXPECT_TRUE(Find("needle"s, "need\0zzz"s));
}

TEST(KeywordPattern, AgreesWithTheSlowRuleOnRandomTexts)
{
    // Small alphabet with letters, look-alike trail bytes, lead bytes and
    // digits and the bytes just outside both ranges, so that both fast paths
    // (vector and tail) meet every situation.
    const char alphabet[] = { 'a', 'A', 'b', 'B', '0', '@', '\x81', '\xB0', '\xA1', '\x30', '\x39', '\xFE',
        '\xFF', '\x80', '\x7F', '/', ':', 'a', 'b', 'a', '\0' };
    std::mt19937 rng(1234);
    auto randomText = [&](std::size_t maxLen) {
        std::string s(rng() % (maxLen + 1), ' ');
        for (char& c : s)
            c = alphabet[rng() % sizeof alphabet];
        return s;
    };
    for (int round = 0; round < 60000; ++round) {
        std::string field = randomText(round % 4 == 0 ? 80 : 20);
        std::string keyword = randomText(round % 8 == 0 ? 24 : 4);
        if (keyword.empty())
            continue;
        // Plant the keyword sometimes, to get many hits at random alignments.
        if (rng() % 2 && keyword.size() <= field.size())
            field.replace(rng() % (field.size() - keyword.size() + 1), keyword.size(), keyword);
        bool cs = rng() % 2;
        ASSERT_EQ(Find(field, keyword, cs), ReferenceFind(field, keyword, cs))
            << "field size " << field.size() << " keyword size " << keyword.size() << " case " << cs;
    }
}

TEST(KeywordPattern, FindsMatchesAcrossLongFields)
{
    std::string field(100000, 'x');
    field += "\xD6\xD0Needle";
    EXPECT_EQ(CKeywordPattern("needle", false).Search(field), 100002u);
    EXPECT_EQ(CKeywordPattern("\xD6\xD0n", false).Search(field), 100000u);
    // Long runs of double-byte characters: the boundary walk decides.
    std::string even(5000, '\xB0'), odd(5001, '\xB0');
    EXPECT_EQ(CKeywordPattern("\xB0\xB0", true).Search(even), 0u);
    EXPECT_EQ(CKeywordPattern("\xB0\xB0", true).Search("x" + even), 1u);
    EXPECT_EQ(CKeywordPattern("\xB0z", true).Search(odd + "z"), 5000u);
    EXPECT_EQ(CKeywordPattern("\xB0z", true).Search(even + "z"), CKeywordPattern::npos);
    EXPECT_EQ(
        CKeywordPattern("\xB0Z", false).Search(odd + "z"), CKeywordPattern::npos); // a trail byte never folds
}

// Content extracted on Linux is mostly UTF-8, while keywords are library
// text (GB18030).
class ContentEncodings : public ::testing::Test {
protected:
    static std::string Gb(const char* utf8) { return Utf8ToGb(utf8); }

    // Whether a data item with `content` matches the content keyword `keywordUtf8`.
    static bool ContentMatches(
        const std::string& content, const char* keywordUtf8, bool caseSensitive = false)
    {
        std::unique_ptr<CFileDatum> d(MakeFile("x.txt"));
        d->m_strContent = content;
        CSearchCriteria c;
        c.m_strContent = Gb(keywordUtf8);
        c.m_bContentCase = caseSensitive;
        return d->Match(c, 0) != nullptr;
    }
};

TEST_F(ContentEncodings, ChineseKeywordFindsUtf8AndGbContent)
{
    for (bool cs : { false, true }) {
        EXPECT_TRUE(ContentMatches("第三季度报告", "季度", cs)); // UTF-8 file
        EXPECT_TRUE(ContentMatches(Gb("第三季度报告"), "季度", cs)); // GB18030 file
        EXPECT_FALSE(ContentMatches("第三季报告", "季度", cs));
    }
    // A character outside GBK (four bytes in GB18030) converts as well.
    EXPECT_TRUE(ContentMatches("emoji 😀 here", "😀"));
    EXPECT_TRUE(ContentMatches(Gb("emoji 😀 here"), "😀"));
}

TEST_F(ContentEncodings, AsciiLettersFoldInsideAMixedKeyword)
{
    EXPECT_TRUE(ContentMatches("使用QT界面编程", "qt界面"));
    EXPECT_TRUE(ContentMatches(Gb("使用QT界面编程"), "qt界面"));
    EXPECT_TRUE(ContentMatches("界面Ab", "界面aB"));
    EXPECT_FALSE(ContentMatches("使用QT界面编程", "qt界面", true));
    EXPECT_TRUE(ContentMatches("使用Qt界面编程", "Qt界面", true));
}

TEST_F(ContentEncodings, NoMatchAcrossACharacterBoundary)
{
    // GB18030: B0 A1 B2 A3 holds A1 B2 only across its two characters.
    const std::string keyword = "\xA1\xB2";
    std::unique_ptr<CFileDatum> d(MakeFile("x.txt"));
    d->m_strContent = "\xB0\xA1\xB2\xA3";
    CSearchCriteria c;
    c.m_strContent = keyword;
    EXPECT_EQ(d->Match(c, 0), nullptr);
    d->m_strContent = "x\xA1\xB2";
    EXPECT_EQ(d->Match(c, 0), d.get());

    // UTF-8: the keyword must start where a character starts. A pattern can
    // only meet a continuation byte at its start when its own text is not
    // UTF-8, which is how this checks the rule directly.
    const std::string field = "\xE4\xB8\xAD"; // 中
    EXPECT_EQ(CKeywordPattern("\xB8\xAD", true, KeywordEncoding::Utf8).Search(field), CKeywordPattern::npos);
    EXPECT_EQ(CKeywordPattern("\xB8\xAD", true, KeywordEncoding::Gb18030).Search("x" + field),
        CKeywordPattern::npos);
    // Two characters that are apart in the text do not make the keyword.
    EXPECT_FALSE(ContentMatches("中x文", "中文"));
}

TEST_F(ContentEncodings, NamesAndRemarksStayLibraryText)
{
    std::unique_ptr<CFileDatum> d(MakeFile("x.txt"));
    d->m_strName = "季度"; // UTF-8 bytes where library text is expected
    d->m_strRemark = "季度";
    CSearchCriteria c;
    c.m_strName = Gb("季度");
    EXPECT_EQ(d->Match(c, 0), nullptr);
    c.m_strName.Clear();
    c.m_strRemark = Gb("季度");
    EXPECT_EQ(d->Match(c, 0), nullptr);
    d->m_strRemark = Gb("本季度");
    EXPECT_EQ(d->Match(c, 0), d.get());
}

TEST_F(ContentEncodings, Utf8PatternAgreesWithTheSlowRuleOnRandomTexts)
{
    // ASCII letters, continuation bytes, lead bytes of every length and zero.
    const char alphabet[] = { 'a', 'A', 'b', 'B', ' ', '\x80', '\xA3', '\xBF', '\xC3', '\xE4', '\xF0', '\0' };
    std::mt19937 rng(99);
    auto randomText = [&](std::size_t maxLen) {
        std::string s(rng() % (maxLen + 1), ' ');
        for (char& c : s)
            c = alphabet[rng() % sizeof alphabet];
        return s;
    };
    auto slowFind = [](std::string f, std::string k, bool cs) {
        f = f.substr(0, f.find('\0'));
        k = k.substr(0, k.find('\0'));
        auto fold = [&](char c) { return !cs && c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        for (std::size_t i = 0; i + k.size() <= f.size(); ++i) {
            if ((static_cast<unsigned char>(f[i]) & 0xC0) == 0x80)
                continue;
            std::size_t j = 0;
            while (j < k.size() && fold(f[i + j]) == fold(k[j]))
                ++j;
            if (j == k.size())
                return true;
        }
        return k.empty();
    };
    for (int round = 0; round < 40000; ++round) {
        std::string field = randomText(round % 4 == 0 ? 90 : 24);
        std::string keyword = randomText(round % 8 == 0 ? 20 : 4);
        if (keyword.empty() || (static_cast<unsigned char>(keyword[0]) & 0xC0) == 0x80)
            continue; // a UTF-8 keyword never starts inside a character
        if (rng() % 2 && keyword.size() <= field.size())
            field.replace(rng() % (field.size() - keyword.size() + 1), keyword.size(), keyword);
        bool cs = rng() % 2;
        ASSERT_EQ(
            CKeywordPattern(keyword, cs, KeywordEncoding::Utf8).Find(field), slowFind(field, keyword, cs))
            << "field size " << field.size() << " keyword size " << keyword.size() << " case " << cs;
    }
}

TEST(SearchCriteria, StartsWithNothingSelectedInAndMode)
{
    CSearchCriteria c;
    EXPECT_EQ(c.m_bConfirmed, 0);
    EXPECT_TRUE(c.m_strName.empty());
    EXPECT_FALSE(c.m_bSizeLower || c.m_bSizeUpper || c.m_bTimeLower || c.m_bTimeUpper || c.m_bOr);
    EXPECT_FALSE(c.m_bNameCase || c.m_bExtensionCase || c.m_bRemarkCase || c.m_bContentCase);
    EXPECT_EQ(c.m_dwSizeLower, 0u);
    EXPECT_NE(c.m_timeLower, 0);
    EXPECT_EQ(c.m_timeLower, c.m_timeUpper);

    std::unique_ptr<CFileDatum> d(MakeFile("a.txt"));
    EXPECT_EQ(d->Match(c, 0), d.get()); // AND with nothing set: everything
    c.m_bOr = true;
    EXPECT_EQ(d->Match(c, 0), nullptr); // OR with nothing set: nothing
}

TEST(SearchCriteria, NameAndExtensionAreComparedSeparately)
{
    std::unique_ptr<CFileDatum> doc(MakeFile("report.doc")), docx(MakeFile("report.docx"));
    CSearchCriteria c;
    c.m_strName = "report.doc";
    EXPECT_EQ(doc->Match(c, 0), nullptr);
    c.m_strName.Clear();
    c.m_strExtension = "doc";
    EXPECT_EQ(doc->Match(c, 0), doc.get());
    EXPECT_EQ(docx->Match(c, 0), docx.get());
    c.m_strExtension = "DOC";
    c.m_bExtensionCase = true;
    EXPECT_EQ(doc->Match(c, 0), nullptr);
}

TEST(SearchCriteria, BoundsAreStrict)
{
    std::unique_ptr<CFileDatum> d100(MakeFile("a", 100, -5)), d101(MakeFile("b", 101, 5));
    std::unique_ptr<CFileDatum> huge(MakeFile("c", 0xFFFFFFF0u, 0));
    CSearchCriteria c;
    c.m_bSizeLower = true;
    c.m_dwSizeLower = 100;
    EXPECT_EQ(d100->Match(c, 0), nullptr);
    EXPECT_EQ(d101->Match(c, 0), d101.get());
    EXPECT_EQ(huge->Match(c, 0), huge.get()); // sizes compare unsigned
    c.m_bSizeUpper = true;
    c.m_dwSizeUpper = 100;
    EXPECT_EQ(d100->Match(c, 0), nullptr);
    EXPECT_EQ(d101->Match(c, 0), nullptr);

    CSearchCriteria t;
    t.m_bTimeLower = true;
    t.m_timeLower = -5;
    t.m_bTimeUpper = true;
    t.m_timeUpper = 5;
    EXPECT_EQ(d100->Match(t, 0), nullptr); // -5 is not later than -5
    EXPECT_EQ(d101->Match(t, 0), nullptr); // 5 is not earlier than 5
    EXPECT_EQ(huge->Match(t, 0), huge.get()); // 0 lies between, compared signed
}

TEST(SearchCriteria, OrModeCombinesAnyTest)
{
    std::unique_ptr<CFileDatum> named(MakeFile("alpha", 1)), big(MakeFile("zzz", 5000)),
        neither(MakeFile("zzz", 1));
    named->m_strRemark = "note";
    CSearchCriteria c;
    c.m_bOr = true;
    c.m_strName = "a";
    c.m_bSizeLower = true;
    c.m_dwSizeLower = 1000;
    EXPECT_EQ(named->Match(c, 0), named.get());
    EXPECT_EQ(big->Match(c, 0), big.get());
    EXPECT_EQ(neither->Match(c, 0), nullptr);

    // Only the remark set: AND and OR select the same items.
    CSearchCriteria r;
    r.m_strRemark = "not";
    for (bool orMode : { false, true }) {
        r.m_bOr = orMode;
        EXPECT_EQ(named->Match(r, 0), named.get());
        EXPECT_EQ(big->Match(r, 0), nullptr);
    }
}

TEST(SearchCriteria, ContentIsSearchedUpToItsFirstZeroByte)
{
    using namespace std::string_literals;
    std::unique_ptr<CFileDatum> d(MakeFile("bin.dat"));
    d->m_strContent = "MZ\x90\0\0secret"s;
    CSearchCriteria c;
    c.m_strContent = "secret";
    EXPECT_EQ(d->Match(c, 0), nullptr);
    c.m_strContent = "mz";
    EXPECT_EQ(d->Match(c, 0), d.get());
    c.m_bContentCase = true;
    EXPECT_EQ(d->Match(c, 0), nullptr);
}

TEST(CollectMatches, PutsResultsInFrontInReverseVisitingOrder)
{
    // Category with items X, Y (in list order) and sub-categories S1 {Z} and S2 {W, V}.
    CCustomCategory root("root");
    auto* s1 = new CCustomCategory("s1");
    auto* s2 = new CCustomCategory("s2");
    root.AddSubCategory(s1);
    root.AddSubCategory(s2);
    auto* y = MakeFile("y");
    auto* x = MakeFile("x");
    root.AddDatum(y);
    root.AddDatum(x); // head insertion: the list is X, Y
    auto* z = MakeFile("z");
    s1->AddDatum(z);
    auto* v = MakeFile("v");
    auto* w = MakeFile("w");
    s2->AddDatum(v);
    s2->AddDatum(w);

    CSearchCriteria all;
    CDatum* earlier = MakeFile("earlier");
    std::unique_ptr<CDatum> keep(earlier);
    std::vector<CDatum*> results { earlier };
    root.CollectMatches(all, results);
    std::vector<CDatum*> expected { y, x, v, w, z, earlier };
    EXPECT_EQ(results, expected);

    // The sub-category alone, and a filter that drops some items.
    CSearchCriteria some;
    some.m_bOr = true;
    some.m_strName = "W";
    some.m_strExtension = "q";
    std::vector<CDatum*> only;
    root.CollectMatches(some, only);
    EXPECT_EQ(only, std::vector<CDatum*> { w });

    // The first match of a category's subtree comes from its sub-categories first.
    EXPECT_EQ(root.Match(all, 0), z);
    EXPECT_EQ(root.Match(some, 0), w);
}

TEST(CollectMatches, MatchStartsAtTheGivenItemOfTheCategoryOnly)
{
    // root { sub { p, q }, a, b }
    CCustomCategory root("root");
    auto* sub = new CCustomCategory("sub");
    root.AddSubCategory(sub);
    auto* q = MakeFile("q");
    auto* p = MakeFile("p");
    sub->AddDatum(q);
    sub->AddDatum(p);
    auto* b = MakeFile("b");
    auto* a = MakeFile("a");
    root.AddDatum(b);
    root.AddDatum(a);

    auto named = [](const char* name) {
        CSearchCriteria c;
        c.m_strName = name;
        return c;
    };
    // Sub-categories always from their first item, the category's own items
    // from `start`.
    EXPECT_EQ(root.Match(named("p"), 1), p);
    EXPECT_EQ(root.Match(named("a"), 0), a);
    EXPECT_EQ(root.Match(named("a"), 1), nullptr);
    EXPECT_EQ(root.Match(named("b"), 1), b);
    EXPECT_EQ(root.Match(named("b"), 2), nullptr);
    EXPECT_EQ(root.Match(named("b"), 100), nullptr);
}

TEST(CollectMatches, EmptySubtreeAndDeepNestingAreSafe)
{
    CCustomCategory root("root");
    CCategory* c = &root;
    for (int i = 0; i < 100000; ++i) {
        auto* sub = new CFolderCategory("d");
        c->AddSubCategory(sub);
        c = sub;
    }
    std::vector<CDatum*> results;
    root.CollectMatches(CSearchCriteria(), results);
    EXPECT_TRUE(results.empty());
    auto* leaf = MakeFile("leaf");
    c->AddDatum(leaf);
    root.CollectMatches(CSearchCriteria(), results);
    EXPECT_EQ(results, std::vector<CDatum*> { leaf });
}
