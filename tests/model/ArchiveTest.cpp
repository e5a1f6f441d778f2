#include "Archive.h"
#include "Datum.h"
#include "LibraryBuilders.h"

#include <gtest/gtest.h>

#include <random>

using namespace tessary;
using namespace tessary::testing;

namespace {

std::string Bytes(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

const std::string kNewCategory = "\xD0\xC2\xBD\xA8\xB7\xD6\xC0\xE0"; // 新建分类

// The library of the format description: two roots named 新建分类, the first
// holding one custom data item a.txt in C:\docs.
std::string WorkedExampleBytes()
{
    return Bytes({ 0x02, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0F, 0x00 }) + "CCustomCategory" + "\x08"
        + kNewCategory + Bytes({ 0x00, 0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0C, 0x00 })
        + "CCustomDatum"
        + Bytes(
            { 0x01, 'a', 0x00, 0x00, 0x03, 't', 'x', 't', 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40 })
        + "\x07"
          "C:\\docs"
        + Bytes({ 0x01, 0x80, 0x08 }) + kNewCategory + Bytes({ 0x00, 0x00, 0x00, 0x00, 0x00 });
}

RootList WorkedExampleLibrary()
{
    RootList roots;
    roots.emplace_back(new CCustomCategory(kNewCategory));
    roots[0]->AddDatum(MakeCustomDatum("a", "txt", "C:\\docs", 5, 0x40000000));
    roots.emplace_back(new CCustomCategory(kNewCategory));
    return roots;
}

ArchiveFault FaultOf(const std::string& bytes)
{
    try {
        ReadLibrary(bytes);
    } catch (const ArchiveError& e) {
        return e.Fault();
    }
    ADD_FAILURE() << "the library was accepted";
    return ArchiveFault::TooLarge;
}

// A library with one root category holding one datum of class `datumClass`
// announced by a new-class tag with the given schema.
std::string OneRootWith(std::string_view rootClass, std::uint16_t schema = 1)
{
    return Bytes({ 0x01, 0x00, 0xFF, 0xFF, schema & 0xFF, schema >> 8, int(rootClass.size()), 0x00 })
        + std::string(rootClass) + Bytes({ 0x00, 0x00, 0x00, 0x00, 0x00, 0x00 });
}

} // namespace

TEST(Archive, WritesTheWorkedExampleByteForByteAndReadsItBack)
{
    RootList lib = WorkedExampleLibrary();
    EXPECT_EQ(Write(lib), WorkedExampleBytes());

    RootList back = ReadLibrary(WorkedExampleBytes());
    EXPECT_EQ(Describe(back), Describe(lib));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0]->GetParent(), nullptr);
    EXPECT_EQ(back[0]->GetDatumList()[0]->GetParent(), back[0].get());
}

TEST(Archive, EmptyLibraryIsTwoZeroBytesAndTrailingBytesAreIgnored)
{
    EXPECT_EQ(Write(RootList {}), Bytes({ 0, 0 }));
    EXPECT_TRUE(ReadLibrary(Bytes({ 0, 0 })).empty());
    EXPECT_EQ(ReadLibrary(WorkedExampleBytes() + "garbage after the last root").size(), 2u);
}

TEST(Archive, TextLengthPrefixesSwitchFormAtTheirBoundaries)
{
    struct Case {
        std::size_t length;
        std::string prefix;
    };
    const Case cases[] = {
        { 0, Bytes({ 0x00 }) },
        { 7, Bytes({ 0x07 }) },
        { 254, Bytes({ 0xFE }) },
        { 255, Bytes({ 0xFF, 0xFF, 0x00 }) },
        { 65533, Bytes({ 0xFF, 0xFD, 0xFF }) },
        { 65534, Bytes({ 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00 }) },
        { 65535, Bytes({ 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00 }) },
        { 70000, Bytes({ 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00 }) },
    };
    for (const Case& c : cases) {
        RootList lib;
        lib.emplace_back(new CCustomCategory);
        lib[0]->m_strRemark = std::string(c.length, 'r');
        std::string bytes = Write(lib);
        // count (2) + new class tag (6 + 15) + empty name (1), then the remark.
        ASSERT_EQ(bytes.substr(24, c.prefix.size()), c.prefix) << c.length;
        RootList back = ReadLibrary(bytes);
        EXPECT_EQ(back[0]->m_strRemark.size(), c.length);
        EXPECT_EQ(Write(back), bytes);
    }
}

TEST(Archive, ListCountsSwitchToTheDwordFormAt65535)
{
    for (std::size_t n : { 65534u, 65535u }) {
        RootList lib;
        lib.emplace_back(new CCustomCategory);
        for (std::size_t i = 0; i < n; ++i)
            lib[0]->AddDatum(new CFileDatum("f"));
        std::string bytes = Write(lib);
        // count (2) + tag (21) + name (1) + remark (1) + empty sub-category count (2)
        std::string expected
            = n == 65534 ? Bytes({ 0xFE, 0xFF }) : Bytes({ 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00 });
        EXPECT_EQ(bytes.substr(27, expected.size()), expected);
        RootList back = ReadLibrary(bytes);
        EXPECT_EQ(back[0]->GetDatumList().size(), n);
    }
}

TEST(Archive, RandomLibrariesOfEveryKindRoundTripExactly)
{
    std::mt19937 rng(20261207);
    auto text = [&](std::size_t maxLen) {
        std::string s(rng() % (maxLen + 1), '\0');
        for (char& c : s)
            c = static_cast<char>(rng() % 256); // zero bytes included
        return s;
    };
    for (int round = 0; round < 20; ++round) {
        RootList lib;
        std::vector<CCategory*> all;
        for (int r = 0; r < 3; ++r) {
            CCategory* root = nullptr;
            switch (rng() % 5) {
            case 0:
                root = new CCustomCategory(text(20));
                break;
            case 1:
                root = new CCDRomCategory(text(10), text(10));
                break;
            case 2:
                root = new CDriverCategory(text(10), text(10));
                break;
            case 3:
                root = new CRootFolderCategory(text(10), text(300));
                break;
            default:
                root = new CCategory;
                break;
            }
            lib.emplace_back(root);
            all.push_back(root);
        }
        for (int i = 0; i < 200; ++i) {
            CCategory* at = all[rng() % all.size()];
            switch (rng() % 6) {
            case 0: {
                auto* c = static_cast<CCategory*>(
                    CreateEntry(rng() % 2 ? ClassId::FolderCategory : ClassId::CustomCategory));
                c->m_strName = text(30);
                c->m_strRemark = text(rng() % 10 ? 0 : 400);
                at->AddSubCategory(c);
                all.push_back(c);
                break;
            }
            case 1: {
                auto* d = MakeCustomDatum(text(12), text(4), text(40), rng(), static_cast<Time32>(rng()));
                d->m_strContent = text(rng() % 5 ? 0 : 3000);
                at->AddDatum(d);
                break;
            }
            default: {
                auto* d = static_cast<CDatum*>(CreateEntry(rng() % 4 ? ClassId::FileDatum : ClassId::Datum));
                d->m_strName = text(30);
                d->m_strExtension = text(5);
                d->m_dwSize = rng() % 3 ? rng() : 0xFFFFFFFFu;
                d->m_timeModified
                    = rng() % 2 ? -static_cast<Time32>(rng() % 100000) : static_cast<Time32>(rng());
                at->AddDatum(d);
                break;
            }
            }
        }
        std::string bytes = Write(lib);
        RootList back = ReadLibrary(bytes);
        ASSERT_EQ(Describe(back), Describe(lib));
        ASSERT_EQ(Write(back), bytes);
    }
}

TEST(Archive, LongTextsAndBinaryContentSurvive)
{
    RootList lib;
    lib.emplace_back(new CCustomCategory("c"));
    for (std::size_t n : { 254u, 255u, 65534u, 65535u, 70000u }) {
        auto* d = MakeCustomDatum(std::string(n, 'n'), "bin", std::string(n, 'f'));
        std::string content(n, '\0');
        for (std::size_t i = 0; i < n; i += 3)
            content[i] = static_cast<char>(i);
        d->m_strContent = content;
        lib[0]->AddDatum(d);
    }
    RootList back = ReadLibrary(Write(lib));
    EXPECT_EQ(Describe(back), Describe(lib));
}

TEST(Archive, ClassesFirstMetAfter32767ObjectsUseTheDwordTag)
{
    RootList lib;
    lib.emplace_back(new CCustomCategory("many"));
    for (int i = 0; i < 40000; ++i)
        lib[0]->AddDatum(new CFileDatum("x.y"));
    lib.emplace_back(new CCustomCategory("second")); // refers to class 1 in the WORD form
    auto* sub = new CCustomCategory("sub");
    lib[1]->AddSubCategory(sub);
    sub->AddDatum(MakeCustomDatum("first", "txt", "/tmp")); // the CCustomDatum class gets an index > 0x7FFE
    lib[1]->AddDatum(MakeCustomDatum("again", "txt", "/tmp"));

    std::string bytes = Write(lib);
    // The second custom datum refers back to its class with 7F FF + DWORD.
    EXPECT_NE(bytes.find(Bytes({ 0xFF, 0x7F })), std::string::npos);
    RootList back = ReadLibrary(bytes);
    EXPECT_EQ(Describe(back), Describe(lib));
    EXPECT_EQ(Write(back), bytes);
}

TEST(Archive, ClassIndexesSwitchToTheDwordTagAfter0x7FFE)
{
    // One root (class 1, object 2) whose data items are `files` file items
    // (class 3, objects from 4 on) followed by two custom data items: the
    // CCustomDatum class takes index 4 + files, and the second custom item
    // refers back to it.
    auto library = [](int files) {
        RootList lib;
        lib.emplace_back(new CCustomCategory("r"));
        lib[0]->AddDatum(MakeCustomDatum("second", "", ""));
        lib[0]->AddDatum(MakeCustomDatum("first", "", ""));
        for (int i = 0; i < files; ++i)
            lib[0]->AddDatum(new CFileDatum("f"));
        return lib;
    };
    const std::string secondName = Bytes({ 0x06 }) + "second";

    RootList word = library(0x7FFE - 4);
    std::string bytes = Write(word);
    EXPECT_NE(bytes.find(Bytes({ 0xFE, 0xFF }) + secondName), std::string::npos);
    EXPECT_EQ(Describe(ReadLibrary(bytes)), Describe(word));

    RootList dword = library(0x7FFF - 4);
    bytes = Write(dword);
    EXPECT_NE(bytes.find(Bytes({ 0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80 }) + secondName), std::string::npos);
    EXPECT_EQ(Describe(ReadLibrary(bytes)), Describe(dword));
}

TEST(Archive, EveryTruncationFailsAsEndOfFile)
{
    std::string bytes = WorkedExampleBytes();
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_EQ(FaultOf(bytes.substr(0, n)), ArchiveFault::EndOfFile) << "cut at " << n;
}

TEST(Archive, HugeCountsInTinyFilesFailAtOnce)
{
    // 4 billion roots announced by a 10-byte file: must not reserve anything.
    EXPECT_EQ(FaultOf(Bytes({ 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xF0, 0xFF, 0xFF, 0x01, 0x00 })),
        ArchiveFault::EndOfFile);
    // A text claiming 4 GiB - 2 bytes.
    std::string text
        = OneRootWith("CCustomCategory").substr(0, 23) + Bytes({ 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF });
    EXPECT_EQ(FaultOf(text), ArchiveFault::EndOfFile);
    // The 64-bit length form.
    std::string q = OneRootWith("CCustomCategory").substr(0, 23)
        + Bytes({ 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0 });
    EXPECT_EQ(FaultOf(q), ArchiveFault::EndOfFile);
}

TEST(Archive, EveryClassNameLeadsBackToItsClass)
{
    for (int i = 0; i < kClassCount; ++i) {
        const auto id = static_cast<ClassId>(i);
        const std::string name = ClassName(id);
        EXPECT_EQ(ClassFromName(name), id) << name;
        std::unique_ptr<CItem> made(CreateEntry(id));
        ASSERT_TRUE(made) << name;
        EXPECT_EQ(made->GetClassId(), id) << name;
        EXPECT_EQ(IsCategoryClass(id), dynamic_cast<CCategory*>(made.get()) != nullptr) << name;
        EXPECT_EQ(IsDatumClass(id), made->IsDatum()) << name;
        EXPECT_EQ(HasPath(id), dynamic_cast<CPathCategory*>(made.get()) != nullptr) << name;
        // Names compare exactly.
        std::string lower = name;
        lower[0] = 'c';
        EXPECT_EQ(ClassFromName(lower), std::nullopt);
        EXPECT_EQ(ClassFromName(name + " "), std::nullopt);
    }
}

TEST(Archive, ClassFaultsAreReportedByKind)
{
    EXPECT_EQ(FaultOf(OneRootWith("CFoo")), ArchiveFault::BadClass);
    EXPECT_EQ(FaultOf(OneRootWith("ccustomcategory")), ArchiveFault::BadClass);
    EXPECT_EQ(FaultOf(OneRootWith("CCustomCategory", 2)), ArchiveFault::BadSchema);
    EXPECT_EQ(FaultOf(OneRootWith(std::string(64, 'C'))), ArchiveFault::BadClass);
    // Refused for its length alone, before its bytes are read.
    EXPECT_EQ(FaultOf(Bytes({ 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x40, 0x00 })), ArchiveFault::BadClass);
    EXPECT_NO_THROW(ReadLibrary(OneRootWith("CCustomCategory")));

    // Class reference to index 5 before any class exists, and to an object's index.
    EXPECT_EQ(FaultOf(Bytes({ 0x01, 0x00, 0x05, 0x80 })), ArchiveFault::BadIndex);
    std::string twoRoots = WorkedExampleBytes();
    twoRoots[twoRoots.size() - 16] = 0x02; // 80 01 -> 80 02: object 2 is the first root, not a class
    EXPECT_EQ(FaultOf(twoRoots), ArchiveFault::BadIndex);
    EXPECT_EQ(FaultOf(Bytes({ 0x01, 0x00, 0x00, 0x00 })), ArchiveFault::NullTag);
    EXPECT_EQ(FaultOf(Bytes({ 0x01, 0x00, 0x01, 0x00 })), ArchiveFault::ObjectReference);
    EXPECT_EQ(
        FaultOf(Bytes({ 0x01, 0x00, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0x00 })), ArchiveFault::ObjectReference);
    EXPECT_EQ(FaultOf(Bytes({ 0x01, 0x00, 0xFF, 0x7F, 0x09, 0x00, 0x00, 0x80 })), ArchiveFault::BadIndex);
}

TEST(Archive, EntriesOfTheWrongKindForTheirListAreRefused)
{
    EXPECT_EQ(FaultOf(OneRootWith("CFileDatum")), ArchiveFault::WrongKind);
    EXPECT_EQ(FaultOf(OneRootWith("CItem")), ArchiveFault::WrongKind);

    // A category inside a data-item list.
    std::string bytes = Bytes({ 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0F, 0x00 }) + "CCustomCategory"
        + Bytes({ 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x80, 0, 0, 0, 0, 0, 0 });
    EXPECT_EQ(FaultOf(bytes), ArchiveFault::WrongKind);
    // A data item inside a sub-category list.
    bytes = Bytes({ 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0F, 0x00 }) + "CCustomCategory"
        + Bytes({ 0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0A, 0x00 }) + "CFileDatum"
        + Bytes({ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 });
    EXPECT_EQ(FaultOf(bytes), ArchiveFault::WrongKind);
}

TEST(Archive, ErrorsNameTheFaultAndItsOffset)
{
    try {
        ReadLibrary(OneRootWith("CFoo"));
        FAIL();
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.Offset(), 2u);
        EXPECT_NE(std::string(e.what()).find("CFoo"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("offset 2"), std::string::npos);
    }
}

TEST(Archive, AcceptsTheWideTextFormOnReading)
{
    // Root name in UTF-16: FF FE FF, length 2 characters, then 分类 as UTF-16LE.
    std::string bytes = Bytes({ 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0F, 0x00 }) + "CCustomCategory"
        + Bytes({ 0xFF, 0xFE, 0xFF, 0x02, 0x06, 0x52, 0x7B, 0x7C, 0x00, 0x00, 0x00, 0x00, 0x00 });
    RootList lib = ReadLibrary(bytes);
    EXPECT_EQ(lib[0]->m_strName.view(), "\xB7\xD6\xC0\xE0");
    // It is never written: the category comes back in the byte form.
    EXPECT_EQ(Write(lib)[23], 0x04);
}

TEST(Archive, AFolderCategoryInTheRootListLoads)
{
    std::string bytes = Bytes({ 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0F, 0x00 }) + "CFolderCategory"
        + Bytes({ 0x03, 's', 'u', 'b', 0x00, 0x00, 0x00, 0x00, 0x00 });
    RootList lib = ReadLibrary(bytes);
    ASSERT_EQ(lib.size(), 1u);
    EXPECT_EQ(lib[0]->GetPath(), std::string(1, kPathSep) + "sub");
    EXPECT_FALSE(lib[0]->CanExport());
}

TEST(Archive, AMillionNestedCategoriesNeitherOverflowTheStackNorLeak)
{
    RootList lib;
    lib.emplace_back(new CCustomCategory("top"));
    CCategory* at = lib[0].get();
    for (int i = 0; i < 1000000; ++i) {
        auto* c = new CFolderCategory("d");
        at->AddSubCategory(c);
        at = c;
    }
    at->AddDatum(new CFileDatum("deep.txt"));
    std::string bytes = Write(lib);
    lib.clear();
    RootList back = ReadLibrary(bytes);
    EXPECT_EQ(back[0]->GetSize(), 0u);
    EXPECT_EQ(Write(back), bytes);
    // A truncated copy fails cleanly half way down.
    EXPECT_EQ(FaultOf(bytes.substr(0, bytes.size() / 2)), ArchiveFault::EndOfFile);
}

#if defined(__SANITIZE_ADDRESS__)
#define TESSARY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARY_ASAN 1
#endif
#endif

#ifndef TESSARY_ASAN
TEST(Archive, WriterRefusesATextTheFormatCannotHold)
{
    // The pages of the text are never touched, so this costs address space only.
    RootList lib;
    lib.emplace_back(new CCustomCategory("c"));
    auto* d = new CFileDatum("big");
    d->m_strContent.AssignWith(CText::kMaxLength, [](char*) {});
    lib[0]->AddDatum(d);
    try {
        Write(lib);
        FAIL() << "a 4 GiB text was written";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.Fault(), ArchiveFault::TooLarge);
    }
}
#endif
