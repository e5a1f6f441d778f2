// The command line on a folder of documents: extraction with and without
// the bytes, the text command, content search through the text, and the
// JSON form carrying the text.

#include "CliRun.h"
#include "SampleDocuments.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tessary;
using namespace tessary::samples;
using namespace tessary::testing;

namespace {

class DocumentTextCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        t.Folder("docs");
        t.File("docs/plan.pdf",
            MakePdf({ { { PdfLine::Font::Cid, "项目计划" }, { PdfLine::Font::Helvetica, "Milestone" } } }));
        t.File("docs/notes.odt", MakeOffice(DocumentKind::OdfText, { "会议纪要" }));
        t.File("docs/locked.pdf", MakePdf({ { { PdfLine::Font::Helvetica, "secret" } } }, { true }));
        t.File("docs/readme.txt", "plain milestone");
        ASSERT_EQ(RunCli(t, { "scan", t.Path("docs"), "-o", t.Path("lib.dli"), "--name", "docs" }).status, 0);
    }
    std::string Search(const std::string& keyword)
    {
        return RunCli(t, { "search", t.Path("lib.dli"), "--content", keyword }).out;
    }
    off_t Size(const std::string& rel)
    {
        struct stat st { };
        stat(t.Path(rel).c_str(), &st);
        return st.st_size;
    }
    TempTree t;
};

} // namespace

TEST_F(DocumentTextCli, ExtractStoresTextThatSearchTextAndJsonSee)
{
    const CliResult extract = RunCli(t, { "extract", t.Path("lib.dli"), "docs" });
    EXPECT_EQ(extract.status, 0) << extract.err;
    // The encrypted file is named once, with why; the others say nothing.
    EXPECT_NE(extract.err.find("locked.pdf: the PDF needs a password"), std::string::npos) << extract.err;
    EXPECT_EQ(extract.err.find("plan.pdf"), std::string::npos) << extract.err;

    EXPECT_EQ(RunCli(t, { "text", t.Path("lib.dli"), "docs/plan.pdf" }).out, "项目计划\nMilestone\n");
    EXPECT_EQ(RunCli(t, { "text", t.Path("lib.dli"), "docs/notes.odt" }).out, "会议纪要\n");
    EXPECT_EQ(RunCli(t, { "text", t.Path("lib.dli"), "docs/readme.txt" }).status, 2);

    const std::string found = Search("计划");
    EXPECT_NE(found.find("plan.pdf"), std::string::npos) << found;
    EXPECT_EQ(found.find("notes.odt"), std::string::npos) << found;

    // json and from-json carry the text, and give back the same file.
    const CliResult json = RunCli(t, { "json", t.Path("lib.dli") });
    EXPECT_NE(json.out.find("\"text\": \"项目计划\\nMilestone\\n\""), std::string::npos);
    t.File("lib.json", json.out);
    ASSERT_EQ(RunCli(t, { "from-json", t.Path("lib.json"), "-o", t.Path("copy.dli") }).status, 0);
    EXPECT_EQ(t.Read("copy.dli"), t.Read("lib.dli"));

    ASSERT_EQ(RunCli(t, { "clear", t.Path("lib.dli"), "docs" }).status, 0);
    EXPECT_EQ(Search("计划").find("plan.pdf"), std::string::npos);
    EXPECT_EQ(RunCli(t, { "text", t.Path("lib.dli"), "docs/plan.pdf" }).status, 2);
}

TEST_F(DocumentTextCli, TextOnlyKeepsTheWordsAndDropsTheDocumentsBytes)
{
    ASSERT_EQ(RunCli(t, { "extract", t.Path("lib.dli"), "docs" }).status, 0);
    const off_t full = Size("lib.dli");
    ASSERT_EQ(RunCli(t, { "extract", t.Path("lib.dli"), "docs", "--text-only" }).status, 0);
    const off_t small = Size("lib.dli");
    EXPECT_LT(small + 2000, full);
    EXPECT_NE(Search("会议").find("notes.odt"), std::string::npos);
    // The encrypted PDF has no text, so it keeps its bytes.
    EXPECT_NE(Search("Encrypt").find("locked.pdf"), std::string::npos);
}
