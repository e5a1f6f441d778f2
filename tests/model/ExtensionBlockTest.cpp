#include "ExtensionBlock.h"
#include "Archive.h"
#include "Checksum.h"
#include "Datum.h"
#include "DocumentFile.h"
#include "ExtensionRecords.h"
#include "LibraryBuilders.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <random>

using namespace tessary;
using namespace tessary::testing;

namespace {

VolumeRecord Volume(const std::string& uuid, const std::string& label, const std::string& inside = "/")
{
    VolumeRecord v;
    v.uuid = uuid;
    v.label = label;
    v.fsType = "vfat";
    v.capacity = 16'000'000'000ULL;
    v.freeBytes = 1'234'567'890ULL;
    v.mountPoint = "/media/anna/" + label;
    v.pathInVolume = inside;
    v.scanTime = 1'700'000'000;
    v.host = "desk";
    return v;
}

// A custom category holding a data item and a drive import, a CD import, and
// a folder import; the three imports carry volume records when `records`.
RootList Library(bool records)
{
    RootList roots;
    auto* shelf = new CCustomCategory("shelf");
    shelf->AddDatum(MakeCustomDatum("note", "txt", "/home/anna", 4, 7));
    auto* usb = new CDriverCategory("usb", "/media/anna/BACKUP");
    auto* docs = new CFolderCategory("docs");
    auto* file = new CFileDatum;
    file->m_strName = "a";
    file->m_strExtension = "txt";
    docs->AddDatum(file);
    usb->AddSubCategory(docs);
    shelf->AddSubCategory(usb);
    roots.emplace_back(shelf);
    roots.emplace_back(new CCDRomCategory("disc", "/media/cdrom"));
    roots.emplace_back(new CRootFolderCategory("photos", "/media/anna/PHOTOS/2020"));
    if (records) {
        usb->SetVolume(Volume("1234-ABCD", "BACKUP"));
        static_cast<CPathCategory&>(*roots[1]).SetVolume(Volume("2004-05-06-07-08-09-00", "DISC"));
        static_cast<CPathCategory&>(*roots[2]).SetVolume(Volume("3f2a-77", "PHOTOS", "/2020"));
    }
    return roots;
}

struct Read {
    RootList roots;
    std::vector<LibraryWarning> warnings;
};
Read ReadWithWarnings(const std::string& bytes)
{
    Read r;
    r.roots = ReadLibrary(bytes, &r.warnings);
    return r;
}

class StringSink : public IByteSink {
public:
    void Write(const char* data, std::size_t size) override { bytes.append(data, size); }
    std::string bytes;
};

} // namespace

TEST(ExtensionBlock, RecordsRoundTripInABlockThatOnlyFollowsTheRoots)
{
    const RootList lib = Library(true);
    const std::string plain = Write(Library(false));
    const std::string bytes = Write(lib);

    // The roots are the bytes a library without records has, so a reader
    // that knows no block (it stops after the roots) reads the same library.
    ASSERT_GT(bytes.size(), plain.size());
    EXPECT_EQ(bytes.substr(0, plain.size()), plain);
    std::size_t end = 0;
    EXPECT_EQ(Describe(ReadLibraryRoots(bytes, end)), Describe(Library(false)));
    EXPECT_EQ(end, plain.size());

    Read back = ReadWithWarnings(bytes);
    EXPECT_TRUE(back.warnings.empty());
    EXPECT_EQ(Describe(back.roots), Describe(lib));
    EXPECT_EQ(Write(back.roots), bytes);

    // The streaming writer gives the same bytes.
    StringSink sink;
    WriteLibrary(View(lib), sink);
    EXPECT_EQ(sink.bytes, bytes);
}

TEST(ExtensionBlock, RecordsOfUnknownKindsAreSkipped)
{
    const RootList lib = Library(true);
    const std::string plain = Write(Library(false));
    std::vector<ExtensionRecord> records = CollectRecords(View(lib));
    ASSERT_EQ(records.size(), 3u);
    records.insert(records.begin() + 1, { 0x7777, 1, "a later program's data" });
    records.push_back({ 0x7777, 99999, "" });
    std::string bytes = plain;
    AppendExtensionBlock(bytes, plain.size(), Checksum64::Of(plain), records);

    Read back = ReadWithWarnings(bytes);
    EXPECT_TRUE(back.warnings.empty());
    EXPECT_EQ(Describe(back.roots), Describe(lib));
}

TEST(ExtensionBlock, DamageAnywhereInTheBlockIsIgnoredWithOneWarning)
{
    const std::string plain = Write(Library(false));
    const std::string plainDescription = Describe(Library(false));
    const std::string bytes = Write(Library(true));
    TempTree t;
    auto expectIgnored = [&](const std::string& damaged, const std::string& what) {
        Read back = ReadWithWarnings(damaged);
        EXPECT_EQ(Describe(back.roots), plainDescription) << what;
        EXPECT_EQ(back.warnings.size(), 1u) << what;
        // The same when a file is read piece by piece.
        t.File("damaged.dli", damaged);
        std::vector<LibraryWarning> warnings;
        EXPECT_EQ(Describe(ReadLibraryFile(t.Path("damaged.dli"), &warnings)), plainDescription) << what;
        EXPECT_EQ(warnings.size(), 1u) << what;
    };
    for (std::size_t i = plain.size(); i < bytes.size(); ++i) {
        std::string flipped = bytes;
        flipped[i] = static_cast<char>(flipped[i] ^ 0x20);
        expectIgnored(flipped, "byte " + std::to_string(i) + " flipped");
    }
    for (std::size_t n = plain.size() + 1; n < bytes.size(); ++n)
        expectIgnored(bytes.substr(0, n), "cut after " + std::to_string(n) + " bytes");

    // Another program rewrote the roots and kept the tail: with the same
    // length (a letter changed) or another one (an entry renamed).
    std::string sameLength = bytes;
    sameLength[plain.find("usb")] = 'U';
    RootList renamed = Library(false);
    renamed[1]->m_strName = "a longer name";
    for (const std::string& rewritten : { sameLength, Write(renamed) + bytes.substr(plain.size()) }) {
        Read back = ReadWithWarnings(rewritten);
        ASSERT_EQ(back.warnings.size(), 1u);
        EXPECT_EQ(back.warnings[0].kind, LibraryWarning::Kind::ExtensionNotMatching);
        EXPECT_EQ(CollectRecords(View(back.roots)).size(), 0u);
    }

    // A byte appended after our block is no block of ours either.
    expectIgnored(bytes + "x", "a byte appended");
}

TEST(ExtensionBlock, RecordsThatFitNoEntryAreDroppedAndTheOthersKept)
{
    const std::string plain = Write(Library(false));
    RootList lib = Library(true);
    std::vector<ExtensionRecord> records = CollectRecords(View(lib));
    const std::string payload = records[0].payload;
    // Entries in file order: 0 shelf, 1 usb, 2 docs, 3 a.txt, 4 note, 5 disc, 6 photos.
    records.push_back({ 1, 0, payload }); // a custom category
    records.push_back({ 1, 3, payload }); // a data item
    records.push_back({ 1, 7, payload }); // past the last entry
    records.push_back({ 1, 5, payload.substr(0, payload.size() - 1) }); // cut short
    std::string bytes = plain;
    AppendExtensionBlock(bytes, plain.size(), Checksum64::Of(plain), records);

    Read back = ReadWithWarnings(bytes);
    ASSERT_EQ(back.warnings.size(), 1u);
    EXPECT_EQ(back.warnings[0].kind, LibraryWarning::Kind::RecordsDropped);
    EXPECT_NE(back.warnings[0].detail.find("4 record(s)"), std::string::npos) << back.warnings[0].detail;
    EXPECT_EQ(Describe(back.roots), Describe(lib));
}

TEST(ExtensionBlock, BigLibrariesAreCheckedWhileTheirRootsAreRead)
{
    // Past the size from which the checksum is computed on another thread.
    RootList lib = Library(true);
    lib[0]->GetDatumList()[0]->m_strContent = std::string(9u << 20, 'c');
    const std::string bytes = Write(lib);
    Read back = ReadWithWarnings(bytes);
    EXPECT_TRUE(back.warnings.empty());
    EXPECT_EQ(Describe(back.roots), Describe(lib));

    std::string changed = bytes;
    changed[5u << 20] = 'd';
    back = ReadWithWarnings(changed);
    ASSERT_EQ(back.warnings.size(), 1u);
    EXPECT_EQ(back.warnings[0].kind, LibraryWarning::Kind::ExtensionNotMatching);

    // The same from files, read piece by piece as opening reads them.
    TempTree t;
    t.File("lib.dli", bytes);
    t.File("changed.dli", changed);
    std::vector<LibraryWarning> warnings;
    EXPECT_EQ(Describe(ReadLibraryFile(t.Path("lib.dli"), &warnings)), Describe(lib));
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(CollectRecords(View(ReadLibraryFile(t.Path("changed.dli"), &warnings))).size(), 0u);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].kind, LibraryWarning::Kind::ExtensionNotMatching);
}

TEST(Checksum64, GivesTheKnownValuesInPiecesOfAnySize)
{
    EXPECT_EQ(Checksum64::Of(""), 0xEF46DB3751D8E999ULL);
    EXPECT_EQ(Checksum64::Of("a"), 0xD24EC4F1A98C6E5BULL);
    EXPECT_EQ(Checksum64::Of("abc"), 0x44BC2CF5AD770999ULL);
    EXPECT_EQ(Checksum64::Of("Nobody inspects the spammish repetition"), 0xFBCEA83C8A378BF1ULL);

    std::mt19937 rng(7);
    std::string data(5000, '\0');
    for (char& c : data)
        c = static_cast<char>(rng());
    for (int round = 0; round < 200; ++round) {
        const std::size_t size = rng() % data.size();
        Checksum64 sum;
        for (std::size_t at = 0; at < size;) {
            const std::size_t piece = std::min<std::size_t>(size - at, rng() % 80);
            sum.Update(data.data() + at, piece);
            at += piece;
        }
        ASSERT_EQ(sum.Digest(), Checksum64::Of(std::string_view(data).substr(0, size))) << size;
    }
}

TEST(ExtensionBlock, WritesTheDocumentedExampleByteForByte)
{
    auto* drive = new CDriverCategory("BACKUP", "/media/anna/BACKUP");
    VolumeRecord v = Volume("1234-ABCD", "BACKUP");
    v.capacity = 1'000'000'000;
    v.freeBytes = 100'000'000;
    v.scanTime = 0x65000000;
    drive->SetVolume(v);
    RootList lib;
    lib.emplace_back(drive);
    const std::string hex = "0100FFFF01000F004344726976657243617465676F72790642414"
                            "34B5550000000000012"
                            "2F6D656469612F616E6E612F4241434B5550"
                            "89545359580D0A1A0100010000000100000000005A000000"
                            "09000000313233342D4142434406000000"
                            "4241434B55500400000076666174"
                            "00CA9A3B00000000"
                            "00E1F50500000000120000002F6D656469612F616E6E612F4241434B5550010000002F"
                            "0000006500000000040000006465736B"
                            "3600000000000000D073F9EE5A3F136392000000"
                            "13D3E81D89545359580D0A1A";
    std::string expected;
    for (std::size_t i = 0; i < hex.size(); i += 2)
        expected += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    EXPECT_EQ(Write(lib), expected);
}
