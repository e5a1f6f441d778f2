// Runs `tessary-cli dupes` and `unique` on a library of two imported copies
// of one folder, where the second copy has files changed and missing.

#include "CliRun.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using tessary::testing::TempTree;

namespace {

using Result = tessary::testing::CliResult;

class CopiesCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        for (const char* copy : { "old", "new" }) {
            const std::string top = std::string(copy) + "/";
            t.Folder(top + "sub");
            t.File(top + "same.txt", "same");
            t.File(top + "sub/\xE4\xB8\xAD.doc", "zhong"); // 中.doc
            t.File(top + "big.bin", std::string(3000, 'b'));
            t.File(top + "empty.txt");
            t.SetTime(top + "same.txt", 1000000000);
            t.SetTime(top + "big.bin", 1000000000);
        }
        t.SetTime("old/sub/\xE4\xB8\xAD.doc", 1100000000);
        t.SetTime("new/sub/\xE4\xB8\xAD.doc", 1100000005);
        t.File("old/gone.txt", "only here");
        t.File("old/sub/changed.txt", "before");
        t.File("new/sub/changed.txt", "after, longer");
        t.File("new/Same.txt", "case"); // another name: letter case counts
        t.SetTime("new/big.bin", 1200000000);
        lib = t.Path("lib.dli");
        Ok({ "scan", t.Path("old"), "-o", lib });
        Ok({ "scan", t.Path("new"), "-o", lib });
    }

    Result Ok(const std::vector<std::string>& args)
    {
        Result r = tessary::testing::RunCli(t, args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r;
    }

    TempTree t;
    std::string lib;
};

TEST_F(CopiesCli, DupesListsGroupsByWastedSpace)
{
    const std::string big = "big.bin\t3000 Byte\t文档\t";
    Result r = Ok({ "dupes", lib, "--json" });
    EXPECT_EQ(r.out,
        "{\"groups\": [{\"size\": 3000, \"wasted\": 3000, \"paths\": [\"" + t.Path("old/big.bin") + "\", \""
            + t.Path("new/big.bin") + "\"]}, {\"size\": 5, \"wasted\": 5, \"paths\": [\""
            + t.Path("old/sub/\xE4\xB8\xAD.doc") + "\", \"" + t.Path("new/sub/\xE4\xB8\xAD.doc")
            + "\"]}, {\"size\": 4, \"wasted\": 4, \"paths\": [\"" + t.Path("old/same.txt") + "\", \""
            + t.Path("new/same.txt") + "\"]}], \"files\": 6, \"wasted\": 3009}\n");

    // Rows as the output bar shows them, a blank line between groups.
    r = Ok({ "dupes", lib, "--time" });
    EXPECT_EQ(r.out,
        "same.txt\t4 Byte\t文档\t09/09/01 01:46:40\t" + t.Path("old/same.txt") + "\n"
            + "same.txt\t4 Byte\t文档\t09/09/01 01:46:40\t" + t.Path("new/same.txt") + "\n\n"
            + "重复文件 1 组，共 2 个文件，多占 4 Byte\n");
    EXPECT_EQ(
        Ok({ "dupes", lib, "new", "--min-size", "1" }).out, "重复文件 0 组，共 0 个文件，多占 0 Byte\n");
    EXPECT_NE(Ok({ "dupes", lib, "--min-size", "5" }).out.find("重复文件 2 组，共 4 个文件，多占 2.9 KB\n"),
        std::string::npos);
}

TEST_F(CopiesCli, UniqueListsWhatOnlyOneCopyHolds)
{
    Result r = Ok({ "unique", lib, "old", "--json" });
    EXPECT_EQ(r.out,
        "{\"count\": 2, \"bytes\": 15, \"paths\": [\"" + t.Path("old/gone.txt") + "\", \""
            + t.Path("old/sub/changed.txt") + "\"]}\n");
    r = Ok({ "unique", lib, "@1", "--time" });
    EXPECT_NE(r.out.find("只有一份的文件共 4 个，共 3.0 KB\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\t" + t.Path("new/big.bin") + "\n"), std::string::npos);
}

TEST_F(CopiesCli, UsageAndFileErrorsGiveTheirStatus)
{
    EXPECT_EQ(tessary::testing::RunCli(t, { "unique", lib }).status, 1);
    EXPECT_EQ(tessary::testing::RunCli(t, { "dupes", lib, "nowhere" }).status, 1);
    EXPECT_EQ(tessary::testing::RunCli(t, { "dupes", lib, "--min-size", "-3" }).status, 1);
    Result missing = tessary::testing::RunCli(t, { "dupes", t.Path("none.dli") });
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find(t.Path("none.dli")), std::string::npos);
}

} // namespace
