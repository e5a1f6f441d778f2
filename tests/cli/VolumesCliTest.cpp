// Runs `tessary-cli volumes` and the commands that carry volume records.

#include "CliRun.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tessary::testing::CliResult;
using tessary::testing::RunCli;
using tessary::testing::TempTree;

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A shelf holding a drive import whose volume (a UUID no system has) is
// away, and a folder import without a record.
const std::string kLibraryJson
    = R"({"roots": [{"class": "CCustomCategory", "name": "书架", "remark": "", )"
      R"("subcategories": [{"class": "CDriverCategory", "name": "备份", "remark": "", )"
      R"("subcategories": [], "items": [{"class": "CFileDatum", "name": "a", "remark": "", )"
      R"("content": "", "extension": "txt", "size": 5, "time": 0}], "path": "/media/anna/BACKUP", )"
      R"("volume": {"uuid": "0000-FFFF", "label": "BACKUP", "fsType": "vfat", )"
      R"("capacity": 16000000000, "free": 1234, "mountPoint": "/media/anna/BACKUP", )"
      R"("pathInVolume": "/", "scanTime": 1700000000, "host": "desk"}}], "items": []}, )"
      R"({"class": "CRootFolderCategory", "name": "docs", "remark": "", "subcategories": [], )"
      R"("items": [], "path": "/home/anna/docs"}]})"
      "\n";

class VolumesCli : public ::testing::Test {
protected:
    CliResult Ok(const std::vector<std::string>& args, const std::string& input = {})
    {
        CliResult r = RunCli(t, args, input);
        EXPECT_EQ(r.status, 0) << r.err;
        return r;
    }
    TempTree t;
};

} // namespace

TEST_F(VolumesCli, RecordsTravelThroughJsonExportAndMergeAndAreListed)
{
    const std::string lib = t.Path("lib.dli");
    Ok({ "from-json", "-", "-o", lib }, kLibraryJson);
    EXPECT_EQ(Ok({ "json", lib }).out, kLibraryJson);

    Ok({ "export", lib, "书架", "-o", t.Path("shelf.dli") });
    Ok({ "from-json", "-", "-o", t.Path("merged.dli") },
        R"({"roots": [{"class": "CCustomCategory", "name": "all", "remark": "", "subcategories": [], "items": []}]})");
    Ok({ "merge", t.Path("merged.dli"), "all", t.Path("shelf.dli") });
    EXPECT_TRUE(Contains(Ok({ "json", t.Path("merged.dli") }).out, R"("volume": {"uuid": "0000-FFFF")"));

    CliResult text = Ok({ "volumes", lib });
    EXPECT_TRUE(Contains(text.out,
        "@0/0\t备份\t磁盘\t/media/anna/BACKUP\toffline\t\t0000-FFFF\tBACKUP\tvfat\t"
        "16000000000\t1234\t/media/anna/BACKUP\t/\t"))
        << text.out;
    EXPECT_TRUE(Contains(text.out, "@1\tdocs\t文件夹分类\t/home/anna/docs\tno record\t")) << text.out;
    CliResult json = Ok({ "volumes", lib, "--json" });
    EXPECT_TRUE(Contains(json.out,
        R"("category": "@0/0", "name": "备份", "class": "CDriverCategory", )"
        R"("path": "/media/anna/BACKUP", "state": "offline", "mountedAt": [])"))
        << json.out;
    EXPECT_TRUE(Contains(json.out, R"("state": "no-record", "mountedAt": [], "volume": null})")) << json.out;

    // The file of an away volume: the message says which volume to connect.
    CliResult extract = RunCli(t, { "extract", lib, "书架/备份" });
    EXPECT_EQ(extract.status, 2);
    EXPECT_TRUE(Contains(extract.err, "volume 'BACKUP' (UUID 0000-FFFF) is not connected")) << extract.err;
}

TEST_F(VolumesCli, ADamagedBlockIsReportedAndTheLibraryStillLoads)
{
    const std::string lib = t.Path("lib.dli");
    Ok({ "from-json", "-", "-o", lib }, kLibraryJson);
    std::string bytes = t.Read("lib.dli");
    bytes[bytes.size() - 40] ^= 1; // inside the block's trailer
    t.File("lib.dli", bytes);
    CliResult tree = Ok({ "tree", lib });
    EXPECT_EQ(tree.out, "分类\t书架\t0\n  磁盘\t备份\t1\n文件夹分类\tdocs\t0\n");
    EXPECT_TRUE(
        Contains(tree.err, "warning: '" + lib + "': the volume data stored after the library is damaged"))
        << tree.err;
    EXPECT_FALSE(Contains(Ok({ "json", lib }).out, "\"volume\""));
}
