#pragma once

#include "Archive.h"
#include "FileError.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessary {

// A file that is not a valid library: the path, and the fault the reader
// found with its byte offset.
class LibraryReadError : public std::runtime_error {
public:
    LibraryReadError(std::string path, const ArchiveError& error);
    const std::string& Path() const noexcept { return m_path; }
    ArchiveFault Fault() const noexcept { return m_fault; }
    std::uint64_t Offset() const noexcept { return m_offset; }

private:
    std::string m_path;
    ArchiveFault m_fault;
    std::uint64_t m_offset;
};

// Opens `path` for reading; throws FileError (NotRegularFile for a folder,
// fifo or device, which is never read). Returns the descriptor.
int OpenLibraryForReading(const std::string& path);
// Reads everything from `fd` (which it closes); throws FileError naming `path`.
std::string ReadAllAndClose(int fd, const std::string& path);

// Reads the library at `path` completely. Throws FileError when the file
// cannot be read and LibraryReadError when its bytes are not a library (a
// zero-byte file included: it ends before the root count).
RootList ReadLibraryFile(const std::string& path);

// Writes `roots` as a library at `path`, atomically: into a new file beside
// the target, flushed to the disk, then renamed over it, so that a failure or
// a crash at any point leaves either the old file or the complete new one.
// A file that existed keeps its permission bits; a link is followed and its
// target replaced. Throws FileError naming `path` (TooLarge when a text of the
// library cannot be stored); the temporary file is removed on failure.
void WriteLibraryFile(const std::vector<const CCategory*>& roots, const std::string& path);

// The name shown as a document title for `path`: its last component, as
// UTF-8 (names that are not valid UTF-8 are shown with placeholders).
std::string TitleFromPath(const std::string& path);

} // namespace tessary
