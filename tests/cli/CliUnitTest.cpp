#include "CliSupport.h"
#include "Json.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace tessary;
using namespace tessary::cli;

TEST(Base64, EncodesWithPaddingAndDecodesOnlyCanonicalText)
{
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    std::string back;
    ASSERT_TRUE(Base64Decode(Base64Encode(all), back));
    EXPECT_EQ(back, all);
    for (const char* bad : { "Zg", "Zg=", "Z===", "Zg==Zg==", "Zh==", "Zm9=", "Zm9v!A==", "=Zg=" })
        EXPECT_FALSE(Base64Decode(bad, back)) << bad;
}

TEST(Arguments, NumbersAndTimesAreStrict)
{
    EXPECT_EQ(ParseSize("4294967295", "n"), 4294967295u);
    for (const char* bad : { "", " 1", "1 ", "+1", "-1", "4294967296", "0x10", "1e3" })
        EXPECT_THROW(ParseSize(bad, "n"), UsageError) << bad;

    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(ParseTime("@-2147483648", "t"), INT32_MIN);
    EXPECT_EQ(ParseTime("1970-01-02", "t"), 86400);
    EXPECT_EQ(ParseTime("2001-09-09 01:46:40", "t"), 1000000000);
    EXPECT_EQ(FormatTime(1000000000), "09/09/01 01:46:40");
    for (const char* bad :
        { "2038-01-20", "2001-13-01", "2001-02-29", "2001-9-9", "2001-09-09T01:46:40", "@", "@1.5" })
        EXPECT_THROW(ParseTime(bad, "t"), UsageError) << bad;

    Arguments a = ParseArguments({ "lib", "--name=x y", "--or", "--", "--name" }, { "--name" }, { "--or" });
    EXPECT_EQ(*a.Get("--name"), "x y");
    EXPECT_TRUE(a.Has("--or"));
    EXPECT_EQ(a.positional, (std::vector<std::string> { "lib", "--name" }));
    EXPECT_THROW(ParseArguments({ "--name" }, { "--name" }, {}), UsageError);
    EXPECT_THROW(ParseArguments({ "--or=1" }, {}, { "--or" }), UsageError);
}

TEST(Json, KeepsListOrderAndSurvivesDeepNesting)
{
    RootList roots = ReadJson(
        R"({"roots": [{"class": "CCustomCategory", "items": [)"
        R"({"class": "CFileDatum", "name": "first"}, {"class": "CFileDatum", "name": "second"}]}]})");
    ASSERT_EQ(roots.size(), 1u);
    const DatumList& items = roots[0]->GetDatumList();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->m_strName, "first");
    EXPECT_EQ(items[0]->GetParent(), roots[0].get());

    // Categories nested far deeper than a recursive reader could take.
    const int depth = 200000;
    std::string deep = R"({"roots": [)";
    for (int i = 0; i < depth; ++i)
        deep += R"({"class": "CCustomCategory", "subcategories": [)";
    for (int i = 0; i < depth; ++i)
        deep += "]}";
    deep += "]}";
    RootList nested = ReadJson(deep);
    ASSERT_EQ(nested.size(), 1u);

    EXPECT_THROW(ReadJson(deep.substr(0, deep.size() / 2)), DataError);
    EXPECT_THROW(ReadJson(R"({"roots": []} x)"), DataError);
    EXPECT_THROW(ReadJson(R"({"roots": [], "roots": []})"), DataError);
    EXPECT_THROW(ReadJson(R"({"roots": [{"class": "CCustomCategory", "name": "\ud800"}]})"), DataError);
    EXPECT_THROW(ReadJson(R"({"roots": [{"class": "CCustomCategory", "name": 1}]})"), DataError);
    EXPECT_THROW(ReadJson("{\"roots\": [{\"class\": \"CCustomCategory\", \"name\": \"\xFF\"}]}"), DataError);
    EXPECT_NO_THROW(ReadJson(R"({"roots": [{"name": "\ud83d\ude00", "class": "CCustomCategory"}]})"));
}

TEST(Json, DamagedDocumentsFailCleanly)
{
    const std::string good
        = R"({"roots": [{"class": "CRootFolderCategory", "name": "r\u00e9", "remark": "", "subcategories": [)"
          R"({"class": "CFolderCategory", "name": "s", "remark": "", "subcategories": [], "items": []}], )"
          R"("items": [{"class": "CCustomDatum", "name": "n", "remark": "x\ny", "content": "AAE=", "extension": "t", )"
          R"("size": 7, "time": -1, "folder": "/f"}], "path": "/p"}]})";
    ASSERT_NO_THROW(ReadJson(good));
    // Every truncation and every single-byte change either reads or fails
    // with DataError: nothing else escapes, nothing crashes.
    const char replacements[] = { '\0', '"', '{', '}', '[', ']', ',', ':', '\\', '-', '9', 'x', '\xFF' };
    for (std::size_t i = 0; i < good.size(); ++i) {
        EXPECT_THROW(ReadJson(good.substr(0, i)), DataError) << i;
        for (char r : replacements) {
            std::string bad = good;
            bad[i] = r;
            try {
                ReadJson(bad);
            } catch (const DataError&) {
            }
        }
    }
}
