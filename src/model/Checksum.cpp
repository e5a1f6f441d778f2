#include "Checksum.h"

#include <bit>
#include <cstring>

namespace tessary {

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5ULL;

inline std::uint64_t Rotl(std::uint64_t x, int r) noexcept
{
    return (x << r) | (x >> (64 - r));
}

// Little-endian loads on any host.
inline std::uint64_t Load64(const unsigned char* p) noexcept
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}
inline std::uint64_t Load32(const unsigned char* p) noexcept
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    return v;
}

inline std::uint64_t Round(std::uint64_t acc, std::uint64_t input) noexcept
{
    acc += input * kPrime2;
    return Rotl(acc, 31) * kPrime1;
}

inline std::uint64_t MergeRound(std::uint64_t acc, std::uint64_t lane) noexcept
{
    acc ^= Round(0, lane);
    return acc * kPrime1 + kPrime4;
}

// Consumes whole 32-byte stripes of [p, end); returns where it stopped.
const unsigned char* Stripes(std::uint64_t (&v)[4], const unsigned char* p, const unsigned char* end) noexcept
{
    std::uint64_t v0 = v[0], v1 = v[1], v2 = v[2], v3 = v[3];
    while (end - p >= 32) {
        v0 = Round(v0, Load64(p));
        v1 = Round(v1, Load64(p + 8));
        v2 = Round(v2, Load64(p + 16));
        v3 = Round(v3, Load64(p + 24));
        p += 32;
    }
    v[0] = v0;
    v[1] = v1;
    v[2] = v2;
    v[3] = v3;
    return p;
}

} // namespace

void Checksum64::Update(const void* data, std::size_t size) noexcept
{
    auto p = static_cast<const unsigned char*>(data);
    const unsigned char* end = p + size;
    m_total += size;
    if (m_pendingSize + size < 32) {
        if (size)
            std::memcpy(m_pending + m_pendingSize, p, size);
        m_pendingSize += size;
        return;
    }
    if (m_pendingSize) {
        const std::size_t fill = 32 - m_pendingSize;
        std::memcpy(m_pending + m_pendingSize, p, fill);
        p += fill;
        Stripes(m_lanes, m_pending, m_pending + 32);
        m_pendingSize = 0;
    }
    p = Stripes(m_lanes, p, end);
    m_pendingSize = static_cast<std::size_t>(end - p);
    if (m_pendingSize)
        std::memcpy(m_pending, p, m_pendingSize);
}

std::uint64_t Checksum64::Digest() const noexcept
{
    std::uint64_t h;
    if (m_total >= 32) {
        const std::uint64_t(&v)[4] = m_lanes;
        h = Rotl(v[0], 1) + Rotl(v[1], 7) + Rotl(v[2], 12) + Rotl(v[3], 18);
        for (std::uint64_t lane : v)
            h = MergeRound(h, lane);
    } else {
        h = m_lanes[2] + kPrime5; // the seed (0) plus the fifth prime
    }
    h += m_total;

    const unsigned char* p = m_pending;
    const unsigned char* end = p + m_pendingSize;
    for (; end - p >= 8; p += 8)
        h = Rotl(h ^ Round(0, Load64(p)), 27) * kPrime1 + kPrime4;
    if (end - p >= 4) {
        h = Rotl(h ^ (Load32(p) * kPrime1), 23) * kPrime2 + kPrime3;
        p += 4;
    }
    for (; p < end; ++p)
        h = Rotl(h ^ (*p * kPrime5), 11) * kPrime1;

    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}

std::uint64_t Checksum64::Of(std::string_view bytes) noexcept
{
    Checksum64 sum;
    sum.Update(bytes);
    return sum.Digest();
}

} // namespace tessary
