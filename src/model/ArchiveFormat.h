#pragma once

// Constants of the library file format (see docs/library-format.md).

#include <cstddef>
#include <cstdint>

namespace tessary::format {

// Class tags.
inline constexpr std::uint16_t kNullTag = 0x0000;
inline constexpr std::uint16_t kNewClassTag = 0xFFFF;
inline constexpr std::uint16_t kClassTagBit = 0x8000;
inline constexpr std::uint16_t kBigTag = 0x7FFF; // a DWORD tag follows
inline constexpr std::uint32_t kBigClassTagBit = 0x80000000u;
inline constexpr std::uint32_t kMaxWordClassIndex = 0x7FFE; // larger ones use the DWORD form
inline constexpr std::uint16_t kSchema = 1;
inline constexpr std::size_t kMaxClassNameLength = 63;

// Text length prefixes.
inline constexpr std::uint8_t kByteLengthEscape = 0xFF; // a WORD length follows
inline constexpr std::uint16_t kWordLengthEscape = 0xFFFF; // a DWORD length follows
inline constexpr std::uint16_t kWideTextMarker = 0xFFFE; // UTF-16 text, length in 16-bit units follows
inline constexpr std::uint32_t kDwordLengthEscape = 0xFFFFFFFFu; // a 64-bit length follows

// List counts.
inline constexpr std::uint16_t kCountEscape = 0xFFFF; // a DWORD count follows

// Smallest encodings, used to bound what a count may claim before its
// elements have been read: an object needs at least a tag and two empty
// texts; a category adds two empty counts, a data item two empty texts, a
// size and a time.
inline constexpr std::size_t kMinCategoryBytes = 2 + 1 + 1 + 2 + 2;
inline constexpr std::size_t kMinDatumBytes = 2 + 1 + 1 + 1 + 1 + 4 + 4;

} // namespace tessary::format
