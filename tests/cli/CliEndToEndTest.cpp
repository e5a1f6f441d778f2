// Runs the built tessary-cli on real folders and library files.

#include "CliRun.h"
#include "LibraryBuilders.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <vector>

using tessary::testing::RootBytes;
using tessary::testing::TempTree;

namespace {

using Result = tessary::testing::CliResult;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        t.Folder("fx/sub/deep");
        t.File("fx/a.txt", "hello");
        t.File("fx/b.log", std::string(2000, 'x'));
        t.File("fx/sub/Report.doc", "Quarterly REPORT body");
        t.File("fx/sub/deep/\xE4\xB8\xAD\xE6\x96\x87.html", "<p>x</p>"); // 中文.html
        t.File("fx/stray\xE9.bin", std::string("MZ\0\0needle", 10)); // not valid UTF-8
        t.SetTime("fx/a.txt", 1000000000);
        t.SetTime("fx/b.log", 1500000000);
        lib = t.Path("lib.dli");
    }

    Result Run(const std::vector<std::string>& args, const std::string& input = {})
    {
        return tessary::testing::RunCli(t, args, input);
    }

    Result Ok(const std::vector<std::string>& args, const std::string& input = {})
    {
        Result r = Run(args, input);
        EXPECT_EQ(r.status, 0) << r.err;
        return r;
    }

    void ScanFixture() { Ok({ "scan", t.Path("fx"), "-o", lib }); }

    TempTree t;
    std::string lib;
};

TEST_F(Cli, ScanThenListTreeAndStats)
{
    ScanFixture();
    auto roots = Lines(Ok({ "ls", lib }).out);
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(roots[0], "名称\t大小\t类型\t最后修改\t位置");
    EXPECT_EQ(roots[1], "fx\t\t文件夹分类\t\t" + t.Path("fx"));

    // Sub-categories first, then data items; size, type, UTC time and path.
    auto rows = Lines(Ok({ "ls", lib, "fx" }).out);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1], "sub\t\t文件夹\t\t" + t.Path("fx/sub"));
    EXPECT_NE(
        std::find(rows.begin(), rows.end(), "a.txt\t5 Byte\t文档\t09/09/01 01:46:40\t" + t.Path("fx/a.txt")),
        rows.end());
    EXPECT_EQ(Lines(Ok({ "ls", lib, "@0/0" }).out), Lines(Ok({ "ls", lib, "fx/sub" }).out));

    EXPECT_EQ(Ok({ "tree", lib }).out, "文件夹分类\tfx\t3\n  文件夹\tsub\t1\n    文件夹\tdeep\t1\n");
    EXPECT_EQ(Ok({ "tree", lib, "fx/sub", "--depth", "0" }).out, "文件夹\tsub\t1\n");

    std::string stats = Ok({ "stats", lib }).out;
    EXPECT_NE(stats.find("CRootFolderCategory: 1\n"), std::string::npos);
    EXPECT_NE(stats.find("CFolderCategory: 2\n"), std::string::npos);
    EXPECT_NE(stats.find("CFileDatum: 5\n"), std::string::npos);
    EXPECT_NE(stats.find("total size: 2044 Byte\n"), std::string::npos);

    // A second scan appends a root; --timing reports the phases on stderr.
    Result again
        = Ok({ "scan", t.Path("fx/sub"), "-o", lib, "--kind", "cd", "--name", "光盘一", "--timing" });
    EXPECT_NE(again.err.find("load:"), std::string::npos);
    EXPECT_NE(again.err.find("save:"), std::string::npos);
    auto two = Lines(Ok({ "ls", lib }).out);
    ASSERT_EQ(two.size(), 3u);
    EXPECT_EQ(two[2], "光盘一\t\t光盘\t\t" + t.Path("fx/sub"));
}

TEST_F(Cli, SearchAppliesCriteriaAndPrintsTheCount)
{
    ScanFixture();
    auto names = [&](std::vector<std::string> args) {
        args.insert(args.begin(), { "search", lib });
        std::vector<std::string> firstColumn;
        for (const std::string& line : Lines(Ok(args).out))
            firstColumn.push_back(line.substr(0, line.find('\t')));
        return firstColumn;
    };
    EXPECT_EQ(names({ "--name", "REP" }), (std::vector<std::string> { "Report.doc", "搜索结果共 1 个文件" }));
    EXPECT_EQ(
        names({ "--name", "rep", "--case", "name" }), (std::vector<std::string> { "搜索结果共 0 个文件" }));
    EXPECT_EQ(names({ "--name", "中" }), (std::vector<std::string> { "中文.html", "搜索结果共 1 个文件" }));
    EXPECT_EQ(names({ "--larger", "5", "--smaller", "2000" }).back(), "搜索结果共 3 个文件");
    EXPECT_EQ(names({ "--before", "@1000000001", "--after", "@999999999" }),
        (std::vector<std::string> { "a.txt", "搜索结果共 1 个文件" }));
    EXPECT_EQ(
        names({ "--after", "2017-07-14 02:39:59", "--before", "2017-07-14" }).back(), "搜索结果共 0 个文件");
    EXPECT_EQ(names({ "--name", "zzz", "--ext", "log", "--or" }),
        (std::vector<std::string> { "b.log", "搜索结果共 1 个文件" }));
    EXPECT_EQ(names({ "--or" }).back(), "搜索结果共 0 个文件");

    // The root's own items come first, then the sub-folder's own, then those below it.
    auto all = names({});
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[3], "Report.doc");
    EXPECT_EQ(all[4], "中文.html");
    // Without a category every root is searched and the results follow each other.
    Ok({ "scan", t.Path("fx/sub"), "-o", lib });
    EXPECT_EQ(names({ "--ext", "doc" }),
        (std::vector<std::string> { "Report.doc", "Report.doc", "搜索结果共 2 个文件" }));
    EXPECT_EQ(
        names({ "@1", "--ext", "DOC" }), (std::vector<std::string> { "Report.doc", "搜索结果共 1 个文件" }));
}

TEST_F(Cli, ExtractSearchContentAndClear)
{
    ScanFixture();
    t.File("fx/sub/gone.txt", "soon gone");
    Ok({ "scan", t.Path("fx/sub"), "-o", lib, "--name", "s2" });
    std::remove(t.Path("fx/sub/gone.txt").c_str());

    Result partial = Run({ "extract", lib, "s2" });
    EXPECT_EQ(partial.status, 2);
    EXPECT_NE(partial.err.find("gone.txt"), std::string::npos) << partial.err;
    EXPECT_NE(partial.err.find("not found"), std::string::npos) << partial.err;
    // The readable file was still extracted and saved.
    EXPECT_NE(
        Ok({ "search", lib, "s2", "--content", "quarterly" }).out.find("Report.doc"), std::string::npos);

    Ok({ "extract", lib, "fx" });
    // Content is searched only up to its first zero byte.
    EXPECT_NE(Ok({ "search", lib, "--content", "mz" }).out.find("共 1 个"), std::string::npos);
    EXPECT_NE(Ok({ "search", lib, "--content", "needle" }).out.find("共 0 个"), std::string::npos);
    EXPECT_NE(Ok({ "stats", lib }).out.find("data items with content: 4\n"), std::string::npos);

    Ok({ "clear", lib, "s2" });
    Ok({ "clear", lib, "fx" });
    EXPECT_NE(Ok({ "stats", lib }).out.find("data items with content: 0\n"), std::string::npos);
}

TEST_F(Cli, ChineseContentKeywordFindsUtf8AndGbText)
{
    t.Folder("zh");
    t.File("zh/utf8.txt", "第三季度 Report");
    t.File("zh/gb.txt", "\xB5\xDA\xC8\xFD\xBC\xBE\xB6\xC8"); // 第三季度 in GB18030
    t.File("zh/other.txt", "季 度");
    Ok({ "scan", t.Path("zh"), "-o", lib });
    Ok({ "extract", lib, "zh" });
    std::string found = Ok({ "search", lib, "--content", "季度" }).out;
    EXPECT_NE(found.find("utf8.txt"), std::string::npos) << found;
    EXPECT_NE(found.find("gb.txt"), std::string::npos) << found;
    EXPECT_NE(found.find("共 2 个"), std::string::npos) << found;
    EXPECT_NE(Ok({ "search", lib, "--content", "季度 REPORT" }).out.find("共 1 个"), std::string::npos);
    EXPECT_NE(Ok({ "search", lib, "--content", "季度 REPORT", "--case", "content" }).out.find("共 0 个"),
        std::string::npos);
}

TEST_F(Cli, ExportMergeAndScanInto)
{
    ScanFixture();
    Result refused = Run({ "export", lib, "fx/sub", "-o", t.Path("sub.dli") });
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("cannot be exported"), std::string::npos);

    std::string part = t.Path("part.dli");
    Ok({ "export", lib, "fx", "-o", part });
    EXPECT_EQ(Ok({ "tree", part }).out, Ok({ "tree", lib }).out);

    // Merging needs a custom category; make one from JSON.
    std::string shelf = t.Path("shelf.dli");
    Ok({ "from-json", "-", "-o", shelf },
        R"({"roots": [{"class": "CCustomCategory", "name": "书架", "remark": "", "subcategories": [], "items": []}]})");
    EXPECT_EQ(Run({ "merge", part, "fx", shelf }).status, 1); // a folder category takes no imports
    Ok({ "merge", shelf, "书架", part });
    Ok({ "scan", t.Path("fx/sub/deep"), "-o", shelf, "--into", "书架", "--kind", "drive", "--name", "d" });
    EXPECT_EQ(Ok({ "tree", shelf }).out,
        "分类\t书架\t0\n"
        "  文件夹分类\tfx\t3\n"
        "    文件夹\tsub\t1\n"
        "      文件夹\tdeep\t1\n"
        "  磁盘\td\t1\n");
    EXPECT_EQ(Run({ "scan", t.Path("fx"), "-o", shelf, "--into", "书架/fx" }).status, 1);
}

TEST_F(Cli, ThreadCountDoesNotChangeTheFileAndSkippedFoldersAreNamed)
{
    for (int i = 0; i < 40; ++i)
        t.Folder("fx/many/f" + std::to_string(i) + "/g");
    Ok({ "scan", t.Path("fx"), "-o", t.Path("one.dli"), "--threads", "1" });
    Ok({ "scan", t.Path("fx"), "-o", t.Path("two.dli"), "--threads", "2" });
    EXPECT_EQ(RootBytes(t.Read("one.dli")), RootBytes(t.Read("two.dli")));
    EXPECT_EQ(Run({ "scan", t.Path("fx"), "-o", t.Path("x.dli"), "--threads", "many" }).status, 1);

    t.Folder("fx/usb");
    if (::mount("tmpfs", t.Path("fx/usb").c_str(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "this test may not mount a file system";
    t.File("fx/usb/on-the-stick.txt");
    Result drive = Ok({ "scan", t.Path("fx"), "-o", t.Path("drive.dli"), "--kind", "drive" });
    Result folder = Ok({ "scan", t.Path("fx"), "-o", t.Path("folder.dli") });
    ::umount2(t.Path("fx/usb").c_str(), MNT_DETACH);
    EXPECT_EQ(
        drive.err, "skipped " + t.Path("fx/usb") + " (another volume, not entered)\n1 folder(s) skipped\n");
    EXPECT_EQ(folder.err, "");
}

TEST_F(Cli, JsonRoundTripsTheLibraryFileByteForByte)
{
    ScanFixture();
    Ok({ "extract", lib, "fx" });
    std::string json = Ok({ "json", lib }).out;
    EXPECT_EQ(
        json.rfind("{\"roots\": [{\"class\": \"CRootFolderCategory\", \"name\": \"fx\", \"remark\": \"\", "
                   "\"subcategories\": [",
            0),
        0u);
    // Content with zero bytes travels as base64.
    EXPECT_NE(json.find("\"content\": \"TVoAAG5lZWRsZQ==\""), std::string::npos);
    t.File("lib.json", json);
    Ok({ "from-json", t.Path("lib.json"), "-o", t.Path("back.dli") });
    EXPECT_EQ(t.Read("back.dli"), t.Read("lib.dli"));

    // Every class and awkward texts: quotes, newlines, control characters, Chinese.
    std::string handmade
        = R"({"roots": [{"class": "CCustomCategory", "name": "a\"b\\c", "remark": "line1\nline2\u0001", )"
          R"("subcategories": [{"class": "CCDRomCategory", "name": "cd", "remark": "", "subcategories": [], "items": [], "path": "/media/cd"}, )"
          R"({"class": "CCategory", "name": "", "remark": "", "subcategories": [], "items": [{"class": "CDatum", "name": "d", "remark": "", "content": "", "extension": "", "size": 4294967295, "time": -2147483648}]}], )"
          R"("items": [{"class": "CCustomDatum", "name": "新建", "remark": "r", "content": "AAEC", "extension": "txt", "size": 1, "time": 2, "folder": "/home/x"}, )"
          R"({"class": "CFileDatum", "name": "f", "remark": "", "content": "", "extension": "", "size": 0, "time": 0}]}, )"
          R"({"class": "CDriverCategory", "name": "drv", "remark": "", "subcategories": [], "items": [], "path": "/"}, )"
          R"({"class": "CRootFolderCategory", "name": "rf", "remark": "", "subcategories": [{"class": "CFolderCategory", "name": "in", "remark": "", "subcategories": [], "items": []}], "items": [], "path": "/srv"}]})"
          "\n";
    t.File("hand.json", handmade);
    Ok({ "from-json", t.Path("hand.json"), "-o", t.Path("hand.dli") });
    std::string again = Ok({ "json", t.Path("hand.dli") }).out;
    EXPECT_EQ(again, handmade);
    t.File("again.json", again);
    Ok({ "from-json", t.Path("again.json"), "-o", t.Path("again.dli") });
    EXPECT_EQ(t.Read("again.dli"), t.Read("hand.dli"));
}

TEST_F(Cli, BadInputGivesAClearMessageAndTheRightStatus)
{
    ScanFixture();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    t.File("broken.dli", t.Read("lib.dli").substr(0, 30));
    t.File("empty.dli", "");
    // A category named with the lone byte 0x81: not valid GB18030.
    t.File("odd.dli",
        std::string("\x01\x00\xFF\xFF\x01\x00\x0F\x00"
                    "CCustomCategory"
                    "\x01\x81\x00\x00\x00\x00\x00",
            30));
    t.File("bad1.json", R"({"roots": [{"class": "CItem"}]})");
    t.File("bad2.json",
        R"({"roots": [{"class": "CCustomCategory", "items": [{"class": "CFileDatum", "size": -1}]}]})");
    t.File("bad3.json", R"({"roots": [{"class": "CFoo"}]})");
    t.File("bad4.json", R"({"roots": [{"class": "CCustomCategory", "subcategories": [)");
    t.File("bad5.json", R"({"roots": [{"class": "CFolderCategory", "path": "/x"}]})");
    t.File("bad6.json",
        R"({"roots": [{"class": "CCustomCategory", "items": [{"class": "CFileDatum", "content": "abc"}]}]})");
    const std::vector<Case> cases = {
        { { "ls", t.Path("missing.dli") }, 2, "missing.dli': it was not found" },
        { { "ls", t.Path("broken.dli") }, 2, "is not a valid library: unexpected end of file at byte 30" },
        { { "ls", t.Path("fx") }, 2, "not a regular file" },
        { { "ls", lib, "fx/nope" }, 1, "no category 'fx/nope'" },
        { { "ls", lib, "@7" }, 1, "no category '@7'" },
        { { "ls", lib, "@x" }, 1, "bad category position" },
        { { "search", lib, "--larger", "4294967296" }, 1, "bad number for --larger" },
        { { "search", lib, "--smaller", "-1" }, 1, "bad number for --smaller" },
        { { "search", lib, "--after", "2020-02-30" }, 1, "bad time for --after" },
        { { "search", lib, "--before", "@2147483648" }, 1, "bad time for --before" },
        { { "search", lib, "--case", "size" }, 1, "bad field 'size'" },
        { { "tree", lib, "--depth", "x" }, 1, "bad number for --depth" },
        { { "ls", lib, "--frobnicate" }, 1, "unknown option --frobnicate" },
        { { "ls" }, 1, "missing argument" },
        { { "scan", t.Path("nothing-here"), "-o", lib }, 2, "nothing-here': it was not found" },
        { { "scan", t.Path("fx"), "-o", lib, "--kind", "tape" }, 1, "bad --kind" },
        { { "json", t.Path("odd.dli") }, 2, "odd.dli' cannot be written as JSON: the name of" },
        { { "from-json", t.Path("bad1.json"), "-o", t.Path("x.dli") }, 2,
            "class \"CItem\" where a category belongs" },
        { { "from-json", t.Path("bad2.json"), "-o", t.Path("x.dli") }, 2, "size out of range" },
        { { "from-json", t.Path("bad3.json"), "-o", t.Path("x.dli") }, 2, "unknown class \"CFoo\"" },
        { { "from-json", t.Path("bad4.json"), "-o", t.Path("x.dli") }, 2, "unexpected end of the document" },
        { { "from-json", t.Path("bad5.json"), "-o", t.Path("x.dli") }, 2,
            "\"path\" in a category of class CFolderCategory" },
        { { "from-json", t.Path("bad6.json"), "-o", t.Path("x.dli") }, 2, "bad base64" },
        { { "frobnicate" }, 1, "unknown command 'frobnicate'" },
    };
    for (const Case& c : cases) {
        Result r = Run(c.args);
        std::string shown = c.args[0] + (c.args.size() > 1 ? " " + c.args.back() : "");
        EXPECT_EQ(r.status, c.status) << shown << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << shown << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n') >= 1, true) << shown;
    }
    EXPECT_FALSE(std::ifstream(t.Path("x.dli")).good()); // nothing written for a bad description

    // A zero-byte file is an empty library.
    EXPECT_EQ(Ok({ "ls", t.Path("empty.dli") }).out, "名称\t大小\t类型\t最后修改\t位置\n");
    EXPECT_EQ(Ok({ "search", "--help" }).status, 0);
    EXPECT_EQ(Ok({ "--help" }).status, 0);
}

} // namespace
