#pragma once

#include "Category.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

// Why a library file could not be read.
enum class ArchiveFault {
    EndOfFile, // the data ends inside a count, text, tag or field
    BadClass, // unknown class name, or a name of 64 bytes or more
    BadSchema, // a class whose schema number is not 1
    BadIndex, // a class reference to an index no class holds
    NullTag, // the null object tag, which library files never hold
    ObjectReference, // a reference to an earlier object, likewise
    WrongKind, // an entry of the wrong kind for its list
    TooLarge, // (writing) a text or list the format cannot hold
};

const char* ArchiveFaultText(ArchiveFault fault) noexcept;

// A failure to read (or write) the library format; `Offset` is the byte
// offset at which the fault was found.
class ArchiveError : public std::runtime_error {
public:
    ArchiveError(ArchiveFault fault, std::uint64_t offset, const std::string& detail = {});
    ArchiveFault Fault() const noexcept { return m_fault; }
    std::uint64_t Offset() const noexcept { return m_offset; }

private:
    ArchiveFault m_fault;
    std::uint64_t m_offset;
};

// Owning list of root categories, as read from a file.
using RootList = std::vector<std::unique_ptr<CCategory>>;

// Writes `roots` (in order) as a library: the root count, then every root
// with its subtree, then, when any of the entries holds data the root list
// has no place for (a volume record), the extension block. Without such
// data the bytes are those of the plain format, with nothing after the last
// root. Throws ArchiveError(TooLarge) for a text of 4 GiB or more, before
// anything is returned; `out` is then unspecified.
void WriteLibrary(const std::vector<const CCategory*>& roots, std::string& out);

// Streaming form for big libraries: `sink` receives the bytes in chunks.
class IByteSink {
public:
    virtual ~IByteSink() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
};
void WriteLibrary(const std::vector<const CCategory*>& roots, IByteSink& sink);

struct ExtensionRecord;

// Writes the archive of a library a slice at a time, for a caller that may
// not stop for long (a copy of the library taken between the events of a
// window). The bytes are those WriteLibrary writes before the extension
// block; the records of the block are gathered on the way (Records), and
// the caller appends the block itself (AppendExtensionBlock) when there are
// any. Between two steps the library must not change: a caller that cannot
// be sure of that (see CTessaryDoc::GetChangeSerial) drops the writer.
class CSlicedLibraryWriter {
public:
    CSlicedLibraryWriter(std::vector<const CCategory*> roots, IByteSink& sink);
    ~CSlicedLibraryWriter();
    CSlicedLibraryWriter(const CSlicedLibraryWriter&) = delete;
    CSlicedLibraryWriter& operator=(const CSlicedLibraryWriter&) = delete;

    // Writes about `entries` more entries (a category counts twice, a data
    // item once); true once the archive is complete and in the sink. Throws
    // ArchiveError(TooLarge) as WriteLibrary does.
    bool Step(std::size_t entries);
    // The records of the extension block, complete once Step returned true.
    std::vector<ExtensionRecord>& Records() noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

// Something of a library file that was left out while the library itself
// loaded: the extension block after the roots (ExtensionBlock.h), or some of
// its records. The roots are whole; the next save writes a sound block.
struct LibraryWarning {
    enum class Kind {
        ExtensionDamaged, // the block is truncated or corrupted: ignored
        ExtensionNotMatching, // the roots were rewritten since the block was: ignored
        ExtensionNewer, // the block's layout is a later one: ignored
        RecordsDropped, // some records fit no entry: those are ignored
    };
    Kind kind;
    std::string detail; // what was wrong, in words, with the byte offset where known
};

// Reads a library from `data`. Returns the roots in file order, each with its
// subtree and parent links (the roots themselves have no parent), with the
// records of the extension block that follows the last root attached to
// their entries. A damaged or foreign block never fails the read: it is
// ignored, and `warnings` (when given) say so; other bytes after the last
// root are ignored silently. Throws ArchiveError at the first fault of the
// roots; everything read so far is destroyed.
RootList ReadLibrary(std::string_view data, std::vector<LibraryWarning>* warnings = nullptr);

// Reads the roots alone, as ReadLibrary; `rootsEnd` receives the offset
// where the last root ends (where an extension block would start). With
// `found`, the entries numbered `wanted` (in file order, as extension
// records number them; ascending) are handed out as they are read:
// `(*found)[i]` is the entry numbered `wanted[i]`, or null when the library
// has no such entry.
RootList ReadLibraryRoots(std::string_view data, std::size_t& rootsEnd,
    std::span<const std::uint32_t> wanted = {}, std::vector<CItem*>* found = nullptr);

// Where the bytes of a library come from when it is read piece by piece, so
// that a big file is never in memory whole.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    // Reads at most `size` bytes into `buffer` and returns how many were
    // read; 0 only at the end of the data. May throw (a read error).
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // How many bytes are still to come, as far as is known. The reader lets
    // no count reserve more than these bytes could hold.
    virtual std::uint64_t Remaining() const noexcept = 0;
};

// Reads the roots of a library from `source` as ReadLibraryRoots reads
// them from memory, with the same results, faults and offsets (an
// extension block after them is the caller's, see ReadLibraryFrom); it
// holds a window of about kReadWindow bytes at a time, and long texts go
// from the source straight into their entries. With `after`, that receives
// the bytes the reader had already taken from the source beyond the last
// root (what follows them is still in the source). `wanted` and `found` as
// for ReadLibraryRoots.
RootList ReadLibrary(IByteSource& source, std::string* after = nullptr,
    std::span<const std::uint32_t> wanted = {}, std::vector<CItem*>* found = nullptr);
inline constexpr std::size_t kReadWindow = std::size_t(1) << 20;

} // namespace tessary
