#include "TextCodec.h"

#include <gtest/gtest.h>

#include <random>

using namespace tessary;

TEST(Codec, ChineseTextConvertsBothWays)
{
    const std::string utf8 = "新建分类";
    const std::string gb = "\xD0\xC2\xBD\xA8\xB7\xD6\xC0\xE0";
    EXPECT_EQ(Utf8ToGb(utf8), gb);
    EXPECT_EQ(GbToUtf8(gb), utf8);
    EXPECT_EQ(Utf8ToGb("plain ascii.txt"), "plain ascii.txt");
    // Characters outside GBK still survive through GB18030's four-byte forms.
    const std::string emoji = "\xF0\x9F\x93\x81 folder \xE2\x82\xAC";
    EXPECT_EQ(GbToUtf8(Utf8ToGb(emoji)), emoji);
    EXPECT_EQ(GbToDisk(Utf8ToGb(emoji)), emoji);
}

TEST(Codec, NamesThatAreNotUtf8LeadBackToTheSameBytes)
{
    const std::string latin1 = "caf\xE9 na\xEFve.txt"; // an old disc's Latin-1 name
    ASSERT_FALSE(IsValidUtf8(latin1));
    std::string gb = Utf8ToGb(latin1);
    EXPECT_EQ(GbToDisk(gb), latin1);
    // Shown readably: valid UTF-8, with the ASCII parts intact.
    std::string shown = GbToUtf8(gb);
    EXPECT_TRUE(IsValidUtf8(shown));
    EXPECT_EQ(shown.substr(0, 3), "caf");

    // A real name that happens to hold an escape character is not confused with one.
    const std::string tricky = "x\xEF\x9E\x80y"; // U+F780 itself
    EXPECT_EQ(GbToDisk(Utf8ToGb(tricky)), tricky);

    // Overlong forms and surrogates are not UTF-8 and are escaped byte by byte.
    for (std::string bad : { std::string("\xC0\xAF"), std::string("\xC1\xBF"), std::string("\xE0\x9F\xBF"),
             std::string("\xF0\x8F\xBF\xBF"), std::string("\xED\xA0\x80"), std::string("\xF4\x90\x80\x80"),
             std::string("\xE4\xB8") }) {
        EXPECT_FALSE(IsValidUtf8(bad));
        EXPECT_EQ(GbToDisk(Utf8ToGb(bad)), bad);
    }
}

TEST(Codec, RandomByteNamesRoundTrip)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        std::string name(rng() % 24 + 1, '\0');
        for (char& c : name) {
            c = static_cast<char>(rng() % 255 + 1);
            if (c == '/')
                c = '_';
        }
        ASSERT_EQ(GbToDisk(Utf8ToGb(name)), name) << i;
    }
}

TEST(Codec, InvalidLibraryBytesBecomeReplacementCharacters)
{
    // 0x81 alone at the end is a cut double-byte character.
    EXPECT_EQ(GbToUtf8("ab\x81"), "ab\xEF\xBF\xBD");
    EXPECT_EQ(GbToUtf8("\xFF"
                       "a"),
        "\xEF\xBF\xBD"
        "a");
}

TEST(Codec, WideTextConvertsToGb)
{
    EXPECT_EQ(Utf16ToGb(u"\u5206\u7C7B"), "\xB7\xD6\xC0\xE0");
    EXPECT_EQ(Utf16ToGb(u"abc"), "abc");
    std::u16string lone(1, char16_t(0xD800));
    EXPECT_EQ(GbToUtf8(Utf16ToGb(lone)), "\xEF\xBF\xBD");
}

TEST(Codec, ExactConversionsRefuseWhatWouldNotComeBack)
{
    std::string out;
    ASSERT_TRUE(GbToUtf8Exact("\xD0\xC2\xBD\xA8 plain", out));
    EXPECT_EQ(out, "新建 plain");
    std::string gb;
    ASSERT_TRUE(Utf8ToGbExact(out, gb));
    EXPECT_EQ(gb, "\xD0\xC2\xBD\xA8 plain");
    // The escape characters of stray disk bytes are ordinary characters here.
    std::string escaped = Utf8ToGb("caf\xE9");
    ASSERT_TRUE(GbToUtf8Exact(escaped, out));
    std::string back;
    ASSERT_TRUE(Utf8ToGbExact(out, back));
    EXPECT_EQ(back, escaped);

    // Neither side replaces or escapes anything.
    for (const char* gb : { "ab\x81", "\xFF", "\x81\x30" })
        EXPECT_FALSE(GbToUtf8Exact(gb, out)) << gb;
    for (const char* utf8 : { "caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xE4\xB8" })
        EXPECT_FALSE(Utf8ToGbExact(utf8, out)) << utf8;
}

TEST(Codec, Utf8EncodingSwitchesLengthAtItsBoundaries)
{
    for (auto [cp, bytes] :
        std::initializer_list<std::pair<char32_t, const char*>> { { 0x7F, "\x7F" }, { 0x80, "\xC2\x80" },
            { 0x7FF, "\xDF\xBF" }, { 0x800, "\xE0\xA0\x80" }, { 0xFFFF, "\xEF\xBF\xBF" },
            { 0x10000, "\xF0\x90\x80\x80" }, { 0x10FFFF, "\xF4\x8F\xBF\xBF" } }) {
        std::string out = "x";
        AppendUtf8(out, cp);
        EXPECT_EQ(out, std::string("x") + bytes) << static_cast<unsigned>(cp);
        EXPECT_TRUE(IsValidUtf8(out));
    }
    EXPECT_TRUE(IsAscii("plain \x7F"));
    EXPECT_FALSE(IsAscii("plain \x80"));
    EXPECT_TRUE(IsAscii(""));
}
