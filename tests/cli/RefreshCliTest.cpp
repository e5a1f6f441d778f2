// Runs `tessary-cli refresh` on real folders and library files.

#include "Category.h"
#include "CliRun.h"
#include "Content.h"
#include "Datum.h"
#include "DocumentFile.h"
#include "TempTree.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace tessary;
using tessary::testing::TempTree;

namespace {

using Result = tessary::testing::CliResult;

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class RefreshCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        t.Folder("disk/sub");
        t.Folder("disk/gone");
        t.File("disk/a.txt", "alpha");
        t.File("disk/sub/b.txt", "beta");
        t.File("disk/gone/noted.txt", "n");
        t.File("disk/gone/plain.txt", "p");
        t.File("disk/stray\xE9.bin", "bytes");
        lib = t.Path("lib.dli");

        // A library imported from the folder, then annotated.
        auto shelf = std::make_unique<CCustomCategory>("shelf");
        CCategory* disk = CreateRootFolderCategory("disk", DiskToGb(t.Path("disk")));
        shelf->AddSubCategory(disk);
        for (CDatum* d : disk->GetDatumList()) {
            d->m_strRemark = "remark of " + d->GetDisplayName();
            ExtractContent(*d);
        }
        for (CCategory* c : disk->GetSubCategoryList())
            if (c->m_strName == "gone")
                for (CDatum* d : c->GetDatumList())
                    if (d->m_strName == "noted")
                        d->m_strRemark = "keep";
        WriteLibraryFile({ shelf.get() }, lib);
    }

    Result Run(const std::vector<std::string>& args) { return tessary::testing::RunCli(t, args); }

    Result Ok(const std::vector<std::string>& args)
    {
        Result r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r;
    }

    void ChangeDisk()
    {
        t.File("disk/new.txt", "new");
        t.File("disk/a.txt", "alpha, edited");
        std::filesystem::remove_all(t.Path("disk/gone"));
    }

    TempTree t;
    std::string lib;
};

TEST_F(RefreshCli, DryRunReportsAndWritesNothing)
{
    ChangeDisk();
    const std::string before = t.Read("lib.dli");
    Result r = Ok({ "refresh", lib, "shelf/disk", "--dry-run" });
    EXPECT_EQ(t.Read("lib.dli"), before);
    EXPECT_TRUE(Contains(r.out, "(dry run: the library is not written)\n"));
    EXPECT_TRUE(Contains(r.out, "added: 1\n  + " + t.Path("disk/new.txt") + "\n"));
    EXPECT_TRUE(Contains(r.out, "removed: 1\n  - " + t.Path("disk/gone/plain.txt") + "\n"));
    EXPECT_TRUE(Contains(r.out, "changed: 1\n  ~ " + t.Path("disk/a.txt") + "\n"));
    EXPECT_TRUE(Contains(r.out,
        "kept although missing: 2\n  ! " + t.Path("disk/gone") + "/\n  ! " + t.Path("disk/gone/noted.txt")
            + "\n"));
    EXPECT_TRUE(Contains(r.out, "stale content: 1\n  * " + t.Path("disk/a.txt") + "\n"));
    EXPECT_TRUE(Contains(r.out, "folders not read: 0\n"));
}

TEST_F(RefreshCli, RefreshSavesKeepsRemarksAndIsStableTheSecondTime)
{
    ChangeDisk();
    Ok({ "refresh", lib, "@0/0", "--reextract" });
    RootList roots = ReadLibraryFile(lib);
    CCategory* disk = roots[0]->GetSubCategoryList()[0];
    std::map<std::string, const CDatum*> files;
    for (const CDatum* d : disk->GetDatumList())
        files[d->GetDisplayName()] = d;
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files["a.txt"]->m_strContent, "alpha, edited");
    EXPECT_EQ(files["a.txt"]->m_strRemark, "remark of a.txt");
    EXPECT_EQ(files[DiskToGb("stray\xE9.bin")]->m_strRemark, DiskToGb("remark of stray\xE9.bin"));
    EXPECT_EQ(files["new.txt"]->m_strRemark, "");
    EXPECT_EQ(disk->GetDatumList()[0], files["new.txt"]);

    const std::string once = t.Read("lib.dli");
    Result again = Ok({ "refresh", lib, "shelf/disk" });
    EXPECT_TRUE(Contains(again.out, "(nothing changed: the library is not written)\n"));
    EXPECT_TRUE(Contains(again.out, "added: 0\nremoved: 0\nchanged: 0\nkept although missing: 2\n"));
    EXPECT_EQ(t.Read("lib.dli"), once);

    Result pruned = Ok({ "refresh", lib, "shelf/disk", "--prune", "--json" });
    EXPECT_TRUE(Contains(pruned.out,
        "\"removed\": {\"count\": 2, \"entries\": [{\"path\": \"" + t.Path("disk/gone")
            + "\", \"folder\": true, \"entries\": 2}]}"));
    EXPECT_TRUE(Contains(pruned.out, "\"dryRun\": false, \"saved\": true"));
    EXPECT_NE(t.Read("lib.dli"), once);
}

TEST_F(RefreshCli, ErrorsLeaveTheLibraryAlone)
{
    const std::string before = t.Read("lib.dli");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        { { "refresh", lib, "shelf" }, 1, "was not imported from a disk" },
        { { "refresh", lib, "shelf/nothing" }, 1, "no category 'shelf/nothing'" },
        { { "refresh", lib }, 1, "missing argument" },
        { { "refresh", lib, "shelf/disk", "--path", t.Path("nowhere") }, 2, "nowhere': it was not found" },
        { { "refresh", t.Path("missing.dli"), "shelf/disk" }, 2, "missing.dli': it was not found" },
    };
    for (const Case& c : cases) {
        Result r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back();
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(t.Read("lib.dli"), before);
    EXPECT_TRUE(Contains(Ok({ "refresh", "--help" }).out, "--reextract"));
}

} // namespace
