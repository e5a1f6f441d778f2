#pragma once

#include "Archive.h"
#include "FileError.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace tessary {

class CLibraryHold;

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

// A failure while a library file was being rewritten in place (see
// WriteLibraryFile): the file on disk may now be incomplete, while the
// library in memory is whole.
class PartialWriteError : public FileError {
public:
    using FileError::FileError;
};

// The bytes of a file read whole. Big files go to memory mapped for the
// purpose (with large pages where the system offers them): touching a fresh
// small page costs more than copying it, and a library of a million entries
// is tens of megabytes.
class FileBytes {
public:
    FileBytes() noexcept = default;
    FileBytes(FileBytes&& other) noexcept { Swap(other); }
    FileBytes& operator=(FileBytes&& other) noexcept
    {
        FileBytes(std::move(other)).Swap(*this);
        return *this;
    }
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes() { Release(); }

    std::string_view view() const noexcept { return { m_data, m_size }; }
    operator std::string_view() const noexcept { return view(); }
    const char* data() const noexcept { return m_data; }
    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }

    // Room for at least `capacity` bytes, keeping the bytes held so far.
    char* Reserve(std::size_t capacity);
    char* Data() noexcept { return m_data; }
    std::size_t Capacity() const noexcept { return m_capacity; }
    void SetSize(std::size_t size) noexcept { m_size = size; }
    void Release() noexcept;

private:
    void Swap(FileBytes& o) noexcept
    {
        std::swap(m_data, o.m_data);
        std::swap(m_size, o.m_size);
        std::swap(m_capacity, o.m_capacity);
        std::swap(m_mapped, o.m_mapped);
    }

    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    bool m_mapped = false;
};

// Opens `diskPath` with `flags` and checks that it is a regular file (a
// folder, fifo, socket or device is refused with NotRegularFile); `st`
// receives its status. Throws FileError naming `shownPath`. Returns the
// descriptor, which the caller closes.
int OpenRegularFile(const std::string& diskPath, int flags, struct stat& st, const std::string& shownPath);

// Opens `path` for reading; throws FileError (NotRegularFile for a folder,
// fifo or device, which is never read). Returns the descriptor.
int OpenLibraryForReading(const std::string& path);
// Reads everything from `fd` (which it closes); throws FileError naming `path`.
FileBytes ReadAllAndClose(int fd, const std::string& path);

// The bytes of an open file as a source for ReadLibrary, read in pieces as
// the reader asks for them (so that opening a big library needs no room for
// the whole file beside the library). Read errors throw FileError naming
// `path`. Does not close the descriptor.
class FileByteSource : public IByteSource {
public:
    FileByteSource(int fd, std::string path);
    std::size_t Read(char* buffer, std::size_t size) override;
    std::uint64_t Remaining() const noexcept override;
    // Bytes read so far.
    std::uint64_t Consumed() const noexcept { return m_consumed; }
    // The file's size from its status when opened (0 when unknown).
    std::uint64_t Size() const noexcept { return m_size; }

private:
    int m_fd;
    std::string m_path;
    std::uint64_t m_size = 0; // from the file's status when opened
    std::uint64_t m_consumed = 0;
};

// Reads the library in the open file `fd` (which it does not close) piece
// by piece, with the extension block after its roots as ReadLibrary reads
// it from memory (what it left out goes to `warnings`). Throws FileError
// when the file cannot be read and LibraryReadError naming `path` when its
// bytes are not a library; a zero-byte file is an empty library only with
// `emptyIsLibrary` (else it ends before the root count).
RootList ReadLibraryFrom(
    int fd, const std::string& path, bool emptyIsLibrary, std::vector<LibraryWarning>* warnings = nullptr);

// Reads the library at `path` completely. Throws FileError when the file
// cannot be read and LibraryReadError when its bytes are not a library (a
// zero-byte file included: it ends before the root count). What was left
// out of a library that loaded goes to `warnings` (see ReadLibrary).
RootList ReadLibraryFile(const std::string& path, std::vector<LibraryWarning>* warnings = nullptr);

// A warning of ReadLibrary as a sentence naming the library at `path`.
std::string DescribeLibraryWarning(const std::string& path, const LibraryWarning& warning);

// Writes `roots` as a library at `path`, atomically: into a new file beside
// the target, flushed to the disk, then renamed over it, so that a failure or
// a crash at any point leaves either the old file or the complete new one.
// A file that existed keeps its permission bits; a link is followed and its
// target replaced. Throws FileError naming `path` (TooLarge when a text of the
// library cannot be stored); the temporary file is removed on failure.
// Temporary files of earlier saves of the same file whose process is gone
// (killed while saving) are removed first.
//
// Where the folder refuses the temporary file or the rename (the user may
// write the file but not its folder), an existing file is rewritten in place
// instead, once the new bytes are complete in memory, then synced; it keeps
// its inode, owner and hard links. A failure during that rewrite is thrown
// as PartialWriteError.
//
// With `hold`, the saved file becomes the held one (locked before it takes
// the name), and the identity is that of the written file.
void WriteLibraryFile(
    const std::vector<const CCategory*>& roots, const std::string& path, CLibraryHold* hold = nullptr);

// The name shown as a document title for `path`: its last component, as
// UTF-8 (names that are not valid UTF-8 are shown with placeholders).
std::string TitleFromPath(const std::string& path);

} // namespace tessary
