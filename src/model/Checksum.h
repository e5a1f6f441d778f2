#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessary {

// The 64-bit checksum of the library file's extension block: XXH64 with
// seed 0, so that other programs can check a block with any implementation
// of that function. Fed in pieces of any size, it gives the value of the
// whole:
//
//     Checksum64 sum;
//     sum.Update(a, n);
//     sum.Update(b, m);
//     sum.Digest() == Checksum64::Of(a followed by b)
class Checksum64 {
public:
    void Update(const void* data, std::size_t size) noexcept;
    void Update(std::string_view bytes) noexcept { Update(bytes.data(), bytes.size()); }
    // The checksum of everything fed so far; more may be fed after.
    std::uint64_t Digest() const noexcept;

    static std::uint64_t Of(std::string_view bytes) noexcept;

private:
    std::uint64_t m_lanes[4] = { 0x60EA27EEADC0B5D6ULL, 0xC2B2AE3D27D4EB4FULL, 0, 0x61C8864E7A143579ULL };
    std::uint64_t m_total = 0;
    unsigned char m_pending[32] = {};
    std::size_t m_pendingSize = 0;
};

} // namespace tessary
