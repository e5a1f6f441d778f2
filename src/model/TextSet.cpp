#include "TextSet.h"

#include <cstring>
#include <stdexcept>

namespace tessary {

namespace {

inline std::uint64_t Mix(std::uint64_t h) noexcept
{
    h ^= h >> 32;
    h *= 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    return h;
}

} // namespace

std::uint64_t HashBytes(std::string_view bytes, std::uint64_t seed) noexcept
{
    std::uint64_t h = seed ^ (bytes.size() * 0x9E3779B97F4A7C15ull);
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        h = (h ^ v) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    }
    if (n) {
        std::uint64_t v = 0;
        std::memcpy(&v, p, n);
        h = (h ^ v) * 0x94D049BB133111EBull;
        h ^= h >> 29;
    }
    return Mix(h);
}

std::uint32_t CTextSet::Find(std::string_view text, std::uint32_t tag) const noexcept
{
    if (m_slots.empty())
        return npos;
    const std::uint64_t h = HashBytes(text, tag);
    const std::uint64_t upper = h & 0xFFFFFFFF00000000ull;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = static_cast<std::size_t>(h) & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = m_slots[i];
        if (slot == 0)
            return npos;
        if ((slot & 0xFFFFFFFF00000000ull) == upper) {
            const auto id = static_cast<std::uint32_t>(slot) - 1;
            if (Tag(id) == tag && Text(id) == text)
                return id;
        }
    }
}

std::uint32_t CTextSet::AddHashed(std::string_view text, std::uint32_t tag, std::uint64_t h)
{
    if ((size() + 1) * 2 > m_slots.size())
        Grow();
    const std::uint64_t upper = h & 0xFFFFFFFF00000000ull;
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = static_cast<std::size_t>(h) & mask;
    for (;; i = (i + 1) & mask) {
        const std::uint64_t slot = m_slots[i];
        if (slot == 0)
            break;
        if ((slot & 0xFFFFFFFF00000000ull) == upper) {
            const auto id = static_cast<std::uint32_t>(slot) - 1;
            if (Tag(id) == tag && Text(id) == text)
                return id;
        }
    }
    if (m_block.size() + text.size() + 1 + kPadding > 0xFFFFFFFFu || size() + 2 >= npos)
        throw std::length_error("text set larger than 4 GiB");
    const auto id = static_cast<std::uint32_t>(size());
    m_block.append(text);
    m_block.push_back('\0');
    m_starts.push_back(static_cast<std::uint32_t>(m_block.size()));
    if (m_tagged)
        m_tags.push_back(tag);
    m_lowHashes.push_back(static_cast<std::uint32_t>(h));
    m_slots[i] = upper | (std::uint64_t(id) + 1);
    return id;
}

void CTextSet::Grow()
{
    // The slots keep the upper half of each hash and the lower half is kept
    // aside, so the texts themselves are not read again.
    std::vector<std::uint64_t> slots(m_slots.empty() ? 64 : m_slots.size() * 2, 0);
    const std::size_t mask = slots.size() - 1;
    for (const std::uint64_t slot : m_slots) {
        if (slot == 0)
            continue;
        std::size_t i = m_lowHashes[static_cast<std::uint32_t>(slot) - 1] & mask;
        while (slots[i] != 0)
            i = (i + 1) & mask;
        slots[i] = slot;
    }
    m_slots.swap(slots);
}

void CTextSet::Seal(bool keepLookup)
{
    m_block.append(kPadding, '\0');
    m_block.shrink_to_fit();
    m_starts.shrink_to_fit();
    m_tags.shrink_to_fit();
    std::vector<std::uint32_t>().swap(m_lowHashes); // only adding needs them
    if (!keepLookup)
        std::vector<std::uint64_t>().swap(m_slots);
}

std::size_t CTextSet::MemoryBytes() const noexcept
{
    return m_block.capacity() + m_starts.capacity() * sizeof(std::uint32_t)
        + (m_tags.capacity() + m_lowHashes.capacity()) * sizeof(std::uint32_t)
        + m_slots.capacity() * sizeof(std::uint64_t);
}

} // namespace tessary
