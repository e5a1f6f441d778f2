#include "Recovery.h"
#include "Archive.h"
#include "Checksum.h"
#include "ExtensionBlock.h"
#include "LibraryBuilders.h"
#include "TempTree.h"
#include "Volume.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <utime.h>

using namespace tessary;
using namespace tessary::testing;

namespace {

// Nested categories, one with many data items, and imports with volume
// records when `records`: every place where a slice may end.
RootList MixedLibrary(bool records)
{
    RootList roots;
    auto* shelf = new CCustomCategory("shelf");
    for (int i = 0; i < 300; ++i)
        shelf->AddDatum(MakeCustomDatum("n" + std::to_string(i), "txt", "/home", static_cast<Size32>(i), i));
    auto* usb = new CDriverCategory("usb", "/media/anna/BACKUP");
    for (int i = 0; i < 5; ++i) {
        auto* sub = new CFolderCategory("d" + std::to_string(i));
        sub->AddDatum(MakeCustomDatum("f", "bin", "/x"));
        usb->AddSubCategory(sub);
    }
    shelf->AddSubCategory(usb);
    roots.emplace_back(shelf);
    roots.emplace_back(new CCustomCategory("empty"));
    roots.emplace_back(new CRootFolderCategory("photos", "/media/anna/PHOTOS/2020"));
    if (records) {
        VolumeRecord v;
        v.uuid = "1234-ABCD";
        v.label = "BACKUP";
        usb->SetVolume(v);
        v.uuid = "3f2a-77";
        static_cast<CPathCategory&>(*roots[2]).SetVolume(v);
    }
    return roots;
}

std::string Sliced(const RootList& roots, std::size_t entriesPerStep)
{
    struct Sink : IByteSink {
        void Write(const char* data, std::size_t size) override { bytes.append(data, size); }
        std::string bytes;
    } sink;
    CSlicedLibraryWriter writer(View(roots), sink);
    while (!writer.Step(entriesPerStep)) { }
    if (!writer.Records().empty())
        AppendExtensionBlock(sink.bytes, sink.bytes.size(), Checksum64::Of(sink.bytes), writer.Records());
    return sink.bytes;
}

} // namespace

// Cut anywhere, the pieces make exactly the file that saving writes.
TEST(SlicedLibraryWriter, WritesTheBytesOfWriteLibraryWhereverItIsCut)
{
    for (bool records : { false, true }) {
        const RootList roots = MixedLibrary(records);
        const std::string whole = Write(roots);
        for (std::size_t step : { 1, 2, 3, 7, 64, 1000000 })
            EXPECT_EQ(Sliced(roots, step), whole) << "records " << records << ", step " << step;
    }
    EXPECT_EQ(Sliced(RootList(), 1), Write(RootList()));
}

class RecoveryFiles : public ::testing::Test {
protected:
    TempTree tree;
    std::string folder = tree.Path("state/tessary/recovery");

    static void Put(const std::string& path, const std::string& bytes) { std::ofstream(path) << bytes; }
    static std::string Get(const std::string& path)
    {
        std::ifstream in(path);
        return { std::istreambuf_iterator<char>(in), {} };
    }
    void WriteCopy(CRecoveryFile& file, std::string_view bytes) { file.Write(std::span(&bytes, 1)); }
};

// A kept copy is nobody else's to offer; once its keeper is gone it is.
// Copies of different libraries, or of one library kept twice, never share
// a name, and a name says which library.
TEST_F(RecoveryFiles, CopiesAreOfferedOnlyWhenNoProgramKeepsThem)
{
    const std::string books = tree.Path("books.dli");
    auto first = std::make_unique<CRecoveryFile>(folder, books);
    CRecoveryFile other(folder, tree.Path("music.dli"));
    CRecoveryFile untitled(folder, "");
    EXPECT_NE(first->Path().find("/books-"), std::string::npos);
    EXPECT_NE(first->Path(), other.Path());
    WriteCopy(*first, "first");
    WriteCopy(untitled, "untitled");
    EXPECT_TRUE(ListRecoveryCopies(folder).empty());

    first.reset(); // as if the program had been killed
    auto copies = ListRecoveryCopies(folder);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].library, books);
    EXPECT_EQ(Get(copies[0].copyPath), "first");

    // The library edited again: a new copy beside the one left for the user.
    CRecoveryFile second(folder, books);
    EXPECT_NE(second.Path(), copies[0].copyPath);
    WriteCopy(second, "second");
    EXPECT_EQ(Get(copies[0].copyPath), "first");

    // Taken over, it is kept again; removed, both its files go.
    {
        CRecoveryFile adopted(copies[0]);
        EXPECT_TRUE(ListRecoveryCopies(folder).empty());
        EXPECT_THROW(CRecoveryFile again(copies[0]), FileError);
        adopted.Remove();
    }
    EXPECT_TRUE(ListRecoveryCopies(folder).empty());
    struct stat st;
    EXPECT_NE(::stat((copies[0].copyPath + ".origin").c_str(), &st), 0);
}

// Only a copy written after its library's last change holds anything new.
TEST_F(RecoveryFiles, ACopyIsNewerOnlyThanALibraryWrittenBeforeIt)
{
    const std::string lib = tree.Path("lib.dli");
    Put(lib, "");
    {
        CRecoveryFile file(folder, lib);
        WriteCopy(file, "copy");
    }
    RecoveryCopy copy = ListRecoveryCopies(folder).at(0);
    struct utimbuf old = { 1000, 1000 };
    ::utime(lib.c_str(), &old);
    EXPECT_TRUE(IsNewerThanLibrary(copy));
    struct utimbuf later = { copy.savedNs / 1'000'000'000 + 10, copy.savedNs / 1'000'000'000 + 10 };
    ::utime(lib.c_str(), &later);
    EXPECT_FALSE(IsNewerThanLibrary(copy));
    ::unlink(lib.c_str());
    EXPECT_TRUE(IsNewerThanLibrary(copy)) << "a library that is gone has only its copy";
}
