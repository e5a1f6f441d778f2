#pragma once

// The extension block: what the library format's root list has no place
// for, kept in one block after the last root (see docs/library-format.md).
// A reader that knows nothing of it stops after the roots and never sees it.
//
// The block holds records of a few kinds. Each names the entry it belongs
// to by the entry's number in the file, and carries its own length, so that
// a reader skips the kinds it does not know. The block also records the
// length and the checksum of the archive bytes before it: a program that
// rewrites the roots and keeps our tail leaves a block that no longer
// matches, and it is then ignored.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

namespace format {

// "\x89TSYX\r\n\x1A" opens and closes the block: the high byte, the line
// ends and the end-of-file mark show damage done by text conversions.
inline constexpr char kExtensionMagic[8] = { '\x89', 'T', 'S', 'Y', 'X', '\r', '\n', '\x1A' };
inline constexpr std::uint16_t kExtensionVersion = 1;
// Magic, version WORD, record count DWORD.
inline constexpr std::size_t kExtensionHeaderBytes = 8 + 2 + 4;
// Kind WORD, entry DWORD, payload length DWORD.
inline constexpr std::size_t kExtensionRecordHeaderBytes = 2 + 4 + 4;
// Archive length QWORD, archive checksum QWORD, block length DWORD, block
// checksum DWORD, magic.
inline constexpr std::size_t kExtensionTrailerBytes = 8 + 8 + 4 + 4 + 8;

} // namespace format

// One record as stored: its kind, the number of its entry and its payload,
// whose layout the kind defines. Entries are numbered from 0 in the order
// the file stores them: a pre-order walk in which a category comes first,
// then its sub-categories with their subtrees, then its data items.
struct ExtensionRecord {
    std::uint16_t kind = 0;
    std::uint32_t entry = 0;
    std::string payload;

    bool operator==(const ExtensionRecord&) const = default;
};

// What the last bytes of a file with a block say.
struct ExtensionTrailer {
    std::uint64_t archiveLength = 0; // where the block starts
    std::uint64_t archiveChecksum = 0; // of the bytes before it
    std::uint32_t blockLength = 0; // header to trailer, both included
};

// Appends to `out` the block holding `records` for an archive of
// `archiveLength` bytes with the checksum `archiveChecksum` (Checksum64).
// Throws std::length_error when the block would not fit its 32-bit length.
void AppendExtensionBlock(std::string& out, std::uint64_t archiveLength, std::uint64_t archiveChecksum,
    std::span<const ExtensionRecord> records);

// The trailer that `file` ends with, when its last bytes are a trailer whose
// block fits exactly after `archiveLength` bytes of `file`. Nothing else is
// checked. Lets a reader know where the archive ends (and start computing
// its checksum) before it has read the roots.
std::optional<ExtensionTrailer> FindExtensionTrailer(std::string_view file) noexcept;
// The same from the last kExtensionTrailerBytes bytes of a file of
// `fileSize` bytes, for a file read in pieces.
std::optional<ExtensionTrailer> ReadExtensionTrailer(std::string_view last, std::uint64_t fileSize) noexcept;

// Why a block was not used.
enum class ExtensionProblem {
    None, // no block, or a sound one
    Damaged, // truncated, corrupted or not well-formed
    NotMatching, // sound, but made for other archive bytes than those before it
    NewerVersion, // written in a layout this program does not know
};

struct ExtensionParse {
    ExtensionProblem problem = ExtensionProblem::None;
    std::string detail; // what was wrong, in words, with the byte offset
    std::vector<ExtensionRecord> records; // empty unless the block is sound
    // The checksum the block was made for (Checksum64 of the archive bytes
    // before it): the records hold only if the archive's checksum is this.
    std::uint64_t archiveChecksum = 0;
};

// Reads the block from `tail`, the bytes that follow the last root of an
// archive of `archiveLength` bytes, and checks everything but the archive's
// checksum, which the caller compares with `archiveChecksum` of the result
// (and then reports a mismatch as NotMatching: the records do not hold). An
// empty tail is no block; bytes that neither start nor end like a block are
// someone else's and are ignored as well (problem None). Treats every byte
// as hostile and never throws but for want of memory.
ExtensionParse ParseExtensionBlock(std::string_view tail, std::uint64_t archiveLength);

} // namespace tessary
