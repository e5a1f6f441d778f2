#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

// A 64-bit hash of `bytes`.
std::uint64_t HashBytes(std::string_view bytes, std::uint64_t seed = 0) noexcept;

// A set of distinct texts (each with an optional number, its tag, that is
// part of what makes it distinct), numbered in the order they were first
// added. The texts lie end to end in one block, each followed by a zero
// byte, so that a scan of the block for a word without zero bytes never
// runs from one text into the next; after Seal the block is padded so that
// 16-byte loads that start inside it stay inside.
//
// Texts may not hold zero bytes. The block holds at most 4 GiB: Add throws
// std::length_error beyond.
class CTextSet {
public:
    static constexpr std::uint32_t npos = 0xFFFFFFFFu;
    static constexpr std::size_t kPadding = 32;

    explicit CTextSet(bool tagged = false)
        : m_tagged(tagged)
    {
    }

    // The number of (text, tag), added when new.
    std::uint32_t Add(std::string_view text, std::uint32_t tag = 0)
    {
        return AddHashed(text, tag, HashBytes(text, tag));
    }
    // The same with the hash made ahead: HashBytes(text, tag).
    std::uint32_t AddHashed(std::string_view text, std::uint32_t tag, std::uint64_t hash);
    // Hints for callers that add many texts, a few places ahead of the
    // AddHashed with `hash`: fetch its slot; later, fetch the text in it.
    void PrefetchSlot(std::uint64_t hash) const noexcept
    {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
    }
    void PrefetchText(std::uint64_t hash) const noexcept
    {
        if (m_slots.empty())
            return;
        const std::uint64_t slot = m_slots[hash & (m_slots.size() - 1)];
        if (slot != 0)
            __builtin_prefetch(m_block.data() + m_starts[static_cast<std::uint32_t>(slot) - 1]);
    }
    // The number of (text, tag), or npos. Not after DropLookup.
    std::uint32_t Find(std::string_view text, std::uint32_t tag = 0) const noexcept;

    std::size_t size() const noexcept { return m_starts.size() - 1; }
    std::string_view Text(std::uint32_t i) const noexcept
    {
        return { m_block.data() + m_starts[i], m_starts[i + 1] - m_starts[i] - 1 };
    }
    std::uint32_t Tag(std::uint32_t i) const noexcept { return m_tagged ? m_tags[i] : 0; }
    // The block, and where text i starts in it (Start(size()) is its end).
    const char* Block() const noexcept { return m_block.data(); }
    std::uint32_t Start(std::uint32_t i) const noexcept { return m_starts[i]; }

    // Done adding: pads the block and gives back spare room. With
    // `keepLookup` false the lookup table goes too (Find is then unusable).
    // Nothing may be added afterwards.
    void Seal(bool keepLookup);
    std::size_t MemoryBytes() const noexcept;

private:
    void Grow();

    bool m_tagged;
    std::string m_block;
    std::vector<std::uint32_t> m_starts { 0 };
    std::vector<std::uint32_t> m_tags;
    std::vector<std::uint32_t> m_lowHashes; // the lower half of each text's hash, for growing
    // Open addressing: the upper half of a slot is the hash's upper half,
    // the lower half the text's number + 1 (0: empty).
    std::vector<std::uint64_t> m_slots;
};

} // namespace tessary
