#include "Archive.h"
#include "Datum.h"
#include "LibraryBuilders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

using namespace tessary;
using namespace tessary::testing;

namespace {

// Hands out `bytes` in pieces of random size, as a file read in chunks
// (and a short read now and then) would.
class PieceSource : public IByteSource {
public:
    PieceSource(std::string_view bytes, unsigned seed)
        : m_bytes(bytes)
        , m_rng(seed)
    {
    }
    std::size_t Read(char* buffer, std::size_t size) override
    {
        std::size_t n = std::min({ size, m_bytes.size() - m_at, std::size_t(1) + m_rng() % 5000 });
        std::memcpy(buffer, m_bytes.data() + m_at, n);
        m_at += n;
        return n;
    }
    std::uint64_t Remaining() const noexcept override { return m_bytes.size() - m_at; }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
    std::mt19937 m_rng;
};

// What reading gives: the library, or the fault and its offset.
template <class Read> std::string Outcome(Read read)
{
    try {
        return Describe(read());
    } catch (const ArchiveError& e) {
        return "fault " + std::to_string(static_cast<int>(e.Fault())) + " at " + std::to_string(e.Offset());
    }
}

std::string FromMemory(const std::string& bytes)
{
    return Outcome([&] { return ReadLibrary(std::string_view(bytes)); });
}

std::string FromSource(const std::string& bytes, unsigned seed)
{
    return Outcome([&] {
        PieceSource source(bytes, seed);
        return ReadLibrary(source);
    });
}

} // namespace

// Reading piece by piece gives what reading the whole bytes gives: the same
// library, or the same fault at the same offset, for sound libraries with
// texts longer than the reader's window and for every cut and many damaged
// bytes of a small one.
TEST(ArchiveStream, PieceByPieceReadsAsFromMemory)
{
    std::mt19937 rng(7);
    RootList lib;
    lib.emplace_back(new CCustomCategory("big"));
    for (int i = 0; i < 3000; ++i) {
        auto* d = MakeCustomDatum("item" + std::to_string(i), "txt", "/f", i, i);
        if (i % 1000 == 7)
            d->m_strContent = std::string(kReadWindow + 12345 * (i / 1000), static_cast<char>('a' + i % 26));
        if (i % 10 == 0)
            d->m_strRemark = std::string(1 + rng() % 3000, 'r');
        lib[0]->AddDatum(d);
    }
    const std::string big = Write(lib);
    EXPECT_EQ(FromSource(big, 1), Describe(lib));
    // Cut and damaged after and inside long texts: faults at the same offsets.
    for (std::size_t cut : { big.size() / 2, big.size() - 7, big.size() - kReadWindow / 2 }) {
        std::string damaged = big;
        damaged[cut - 100] = '\x7F';
        ASSERT_EQ(FromSource(big.substr(0, cut), 2), FromMemory(big.substr(0, cut))) << "cut " << cut;
        ASSERT_EQ(FromSource(damaged, 3), FromMemory(damaged)) << "damaged at " << cut - 100;
    }

    RootList small;
    small.emplace_back(new CCustomCategory("s"));
    small[0]->AddSubCategory(new CFolderCategory("sub"));
    small[0]->AddDatum(MakeCustomDatum("a", "b", "/c", 1, 2));
    small.emplace_back(new CRootFolderCategory("r", "/r"));
    const std::string bytes = Write(small);
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut)
        ASSERT_EQ(FromSource(bytes.substr(0, cut), cut), FromMemory(bytes.substr(0, cut))) << "cut " << cut;
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = bytes;
        damaged[rng() % damaged.size()] = static_cast<char>(rng());
        ASSERT_EQ(FromSource(damaged, round), FromMemory(damaged)) << "round " << round;
    }
    // What follows the last root: partly taken by the reader (`after`), the
    // rest still in the source.
    const std::string tail(5000, 't'), withTail = bytes + tail;
    PieceSource source(withTail, 9);
    std::string after;
    ReadLibrary(source, &after);
    std::string rest(source.Remaining(), '\0');
    for (std::size_t done = 0; done < rest.size();)
        done += source.Read(rest.data() + done, rest.size() - done);
    EXPECT_EQ(after + rest, tail);

    // The wide text form, cut at every byte.
    const std::string wide = std::string("\x01\x00\xFF\xFF\x01\x00\x0F\x00", 8) + "CCustomCategory"
        + std::string("\xFF\xFE\xFF\x02\x06\x52\x7B\x7C\x00\x00\x00\x00\x00", 13);
    for (std::size_t cut = 0; cut <= wide.size(); ++cut)
        ASSERT_EQ(FromSource(wide.substr(0, cut), 3), FromMemory(wide.substr(0, cut))) << "cut " << cut;
}
