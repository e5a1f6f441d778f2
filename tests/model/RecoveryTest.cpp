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
// records and data items with document text when `records`: every place
// where a slice may end.
RootList MixedLibrary(bool records)
{
    RootList roots;
    auto* shelf = new CCustomCategory("shelf");
    for (int i = 0; i < 300; ++i)
        shelf->AddDatum(MakeCustomDatum("n" + std::to_string(i), "txt", "/home", static_cast<Size32>(i), i));
    auto* usb = new CDriverCategory("usb", "/media/anna/BACKUP");
    for (int i = 0; i < 5; ++i)
        usb->AddSubCategory(new CFolderCategory("d" + std::to_string(i)));
    usb->GetSubCategoryList()[2]->AddDatum(MakeCustomDatum("f", "bin", "/x"));
    shelf->AddSubCategory(usb);
    roots.emplace_back(shelf);
    roots.emplace_back(new CRootFolderCategory("photos", "/media/anna/PHOTOS/2020"));
    if (records) {
        VolumeRecord v;
        v.uuid = "1234-ABCD";
        usb->SetVolume(v);
        static_cast<CPathCategory&>(*roots[1]).SetVolume(v);
        // Document text: records of data items, in the middle of a long list and deep down.
        shelf->GetDatumList()[150]->m_strText = "第三季度 report";
        usb->GetSubCategoryList()[2]->GetDatumList()[0]->m_strText = "words";
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

// A kept copy is nobody else's to offer; once its keeper is gone it is, and
// a later keeper of the same library never writes over it. Only a copy
// written after its library's last change holds anything new.
TEST(RecoveryFiles, CopiesAreOfferedOnlyWhenNoProgramKeepsThem)
{
    TempTree tree;
    const std::string folder = tree.Path("state/tessary/recovery");
    const std::string books = tree.Path("books.dli");
    std::ofstream(books) << "";
    struct utimbuf old = { 1000, 1000 };
    ::utime(books.c_str(), &old);
    auto write = [](CRecoveryFile& file, std::string_view bytes) { file.Write(std::span(&bytes, 1)); };
    auto first = std::make_unique<CRecoveryFile>(folder, books);
    CRecoveryFile untitled(folder, "");
    EXPECT_NE(first->Path().find("/books-"), std::string::npos);
    write(*first, "first");
    write(untitled, "untitled");
    EXPECT_TRUE(ListRecoveryCopies(folder).empty());

    first.reset(); // as if the program had been killed
    const auto copies = ListRecoveryCopies(folder);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].library, books);
    EXPECT_TRUE(IsNewerThanLibrary(copies[0]));
    CRecoveryFile second(folder, books);
    EXPECT_NE(second.Path(), copies[0].copyPath);

    // Taken over, it is kept again; handed to a library without a file, it
    // says so; removed, both its files go.
    {
        CRecoveryFile adopted(copies[0]);
        EXPECT_THROW(CRecoveryFile again(copies[0]), FileError);
        adopted.Retarget("");
    }
    EXPECT_EQ(ListRecoveryCopies(folder).at(0).library, "");
    CRecoveryFile(ListRecoveryCopies(folder).at(0)).Remove();
    struct stat st;
    EXPECT_NE(::stat((copies[0].copyPath + ".origin").c_str(), &st), 0);
    struct utimbuf later = { copies[0].savedNs / 1'000'000'000 + 10, copies[0].savedNs / 1'000'000'000 + 10 };
    ::utime(books.c_str(), &later);
    EXPECT_FALSE(IsNewerThanLibrary(copies[0]));
}
