#pragma once

#include "Category.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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
// with its subtree. Throws ArchiveError(TooLarge) for a text of 4 GiB or
// more, before anything is returned; `out` is then unspecified.
void WriteLibrary(const std::vector<const CCategory*>& roots, std::string& out);

// Streaming form for big libraries: `sink` receives the bytes in chunks.
class IByteSink {
public:
    virtual ~IByteSink() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
};
void WriteLibrary(const std::vector<const CCategory*>& roots, IByteSink& sink);

// Reads a library from `data`. Returns the roots in file order, each with its
// subtree and parent links (the roots themselves have no parent). Anything
// after the last root is ignored. Throws ArchiveError at the first fault;
// everything read so far is destroyed.
RootList ReadLibrary(std::string_view data);

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

// Reads a library from `source` as the form above reads it from memory,
// with the same results, faults and offsets; it holds a window of about
// kReadWindow bytes at a time, and long texts go from the source straight
// into their entries. With `after`, that receives the bytes the reader had
// already taken from the source beyond the last root (what follows them is
// still in the source).
RootList ReadLibrary(IByteSource& source, std::string* after = nullptr);
inline constexpr std::size_t kReadWindow = std::size_t(1) << 20;

} // namespace tessary
