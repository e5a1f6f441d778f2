#include "DocumentFile.h"

#include "Checksum.h"
#include "ExtensionBlock.h"
#include "ExtensionRecords.h"
#include "FileSystem.h"
#include "PathName.h"
#include "TextCodec.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <new>
#include <sys/mman.h>
#include <system_error>
#include <vector>

namespace tessary {

namespace {

constexpr std::size_t kIoChunk = 1 << 20;

std::string ArchiveMessage(const std::string& path, const ArchiveError& error)
{
    return "'" + path + "' is not a valid library: " + ArchiveFaultText(error.Fault()) + " at byte "
        + std::to_string(error.Offset());
}

} // namespace

LibraryReadError::LibraryReadError(std::string path, const ArchiveError& error)
    : std::runtime_error(ArchiveMessage(path, error))
    , m_path(std::move(path))
    , m_fault(error.Fault())
    , m_offset(error.Offset())
{
}

int OpenRegularFile(const std::string& diskPath, int flags, struct stat& st, const std::string& shownPath)
{
    IFileSystem& fs = FileSystem();
    FdGuard fd(fs.Open(diskPath.c_str(), flags | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0)
        FileError::ThrowErrno(errno, shownPath);
    if (fs.Fstat(fd.Get(), &st) != 0)
        FileError::ThrowErrno(errno, shownPath);
    if (!S_ISREG(st.st_mode))
        throw FileError(FileErrorCause::NotRegularFile, shownPath);
    return fd.Release();
}

int OpenLibraryForReading(const std::string& path)
{
    // Non-blocking so that a fifo given by mistake does not hang the open.
    struct stat st;
    return OpenRegularFile(path, O_RDONLY | O_NONBLOCK, st, path);
}

char* FileBytes::Reserve(std::size_t capacity)
{
    if (capacity <= m_capacity)
        return m_data;
    char* data = nullptr;
    bool mapped = false;
    if (capacity >= kIoChunk) {
        void* p = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p != MAP_FAILED) {
#ifdef MADV_HUGEPAGE
            ::madvise(p, capacity, MADV_HUGEPAGE);
#endif
            data = static_cast<char*>(p);
            mapped = true;
        }
    }
    if (!data)
        data = static_cast<char*>(std::malloc(capacity));
    if (!data)
        throw std::bad_alloc();
    if (m_size)
        std::memcpy(data, m_data, m_size);
    std::size_t size = m_size;
    Release();
    m_data = data;
    m_size = size;
    m_capacity = capacity;
    m_mapped = mapped;
    return m_data;
}

void FileBytes::Release() noexcept
{
    if (m_mapped)
        ::munmap(m_data, m_capacity);
    else
        std::free(m_data);
    m_data = nullptr;
    m_size = m_capacity = 0;
    m_mapped = false;
}

FileBytes ReadAllAndClose(int rawFd, const std::string& path)
{
    IFileSystem& fs = FileSystem();
    FdGuard fd(rawFd);
    // Sized from the file's status, one byte more so that the read that
    // finds the end needs no growth; grown only if the file grows meanwhile.
    struct stat st;
    std::size_t expected = 0;
    if (fs.Fstat(fd.Get(), &st) == 0 && st.st_size > 0)
        expected = static_cast<std::size_t>(st.st_size);
    FileBytes bytes;
    bytes.Reserve(expected ? expected + 1 : 64 * 1024);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.Capacity())
            bytes.Reserve(bytes.Capacity() * 2);
        ssize_t n = fs.Read(fd.Get(), bytes.Data() + used, bytes.Capacity() - used);
        if (n < 0)
            FileError::ThrowErrno(errno, path);
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
        bytes.SetSize(used);
    }
    return bytes;
}

FileByteSource::FileByteSource(int fd, std::string path)
    : m_fd(fd)
    , m_path(std::move(path))
{
    struct stat st;
    if (FileSystem().Fstat(fd, &st) == 0 && st.st_size > 0)
        m_size = static_cast<std::uint64_t>(st.st_size);
}

std::size_t FileByteSource::Read(char* buffer, std::size_t size)
{
    for (;;) {
        ssize_t n = FileSystem().Read(m_fd, buffer, size);
        if (n >= 0) {
            m_consumed += static_cast<std::uint64_t>(n);
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR)
            FileError::ThrowErrno(errno, m_path);
    }
}

std::uint64_t FileByteSource::Remaining() const noexcept
{
    // A file that grew since it was opened has more: at least a window's
    // worth is allowed for, past what the status said.
    return m_size > m_consumed ? m_size - m_consumed : kReadWindow;
}

namespace {

// The checksum of the first `length` bytes of the open file `fd`, read on
// its own (mapped, else with positioned reads), apart from the reader. A big file's is computed on another
// thread while the caller reads the roots, so that opening waits for it
// hardly at all; a small one's when asked.
class FileChecksum {
public:
    static constexpr std::uint64_t kParallelFrom = 8u << 20;

    FileChecksum(int fd, std::uint64_t length, const std::string& path)
        : m_fd(fd)
        , m_length(length)
        , m_path(path)
    {
        if (length < kParallelFrom)
            return;
        try {
            m_pending = std::async(std::launch::async, [this] { return Compute(); });
        } catch (const std::system_error&) {
            // no thread to spare: computed when asked
        }
    }
    FileChecksum(const FileChecksum&) = delete;
    FileChecksum& operator=(const FileChecksum&) = delete;

    // Throws FileError when the file cannot be read.
    std::uint64_t Get() { return m_pending.valid() ? m_pending.get() : Compute(); }

private:
    std::uint64_t Compute() const
    {
        // Mapped a window at a time: no copy of the bytes, and no more of
        // the file in this process's memory at once than a window.
        Checksum64 sum;
        std::vector<char> buffer;
        for (std::uint64_t at = 0; at < m_length;) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kMapWindow, m_length - at));
            void* p = ::mmap(nullptr, want, PROT_READ, MAP_PRIVATE, m_fd, static_cast<off_t>(at));
            if (p != MAP_FAILED) {
                ::madvise(p, want, MADV_SEQUENTIAL);
                sum.Update(p, want);
                ::munmap(p, want);
                at += want;
                continue;
            }
            // A file that cannot be mapped is read.
            buffer.resize(want);
            const ssize_t n = FileSystem().Pread(m_fd, buffer.data(), want, static_cast<off_t>(at));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                FileError::ThrowErrno(errno, m_path);
            if (n == 0)
                break; // the file shrank: the checksum will not match
            sum.Update(buffer.data(), static_cast<std::size_t>(n));
            at += static_cast<std::uint64_t>(n);
        }
        return sum.Digest();
    }

    static constexpr std::size_t kMapWindow = std::size_t(8) << 20; // a multiple of any page size
    int m_fd;
    std::uint64_t m_length;
    const std::string& m_path;
    std::future<std::uint64_t> m_pending; // waited for when destroyed
};

// Bytes of the file at `offset`, as many as there are up to `size`.
std::string ReadAt(int fd, std::uint64_t offset, std::size_t size, const std::string& path)
{
    std::string bytes(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        ssize_t n
            = FileSystem().Pread(fd, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0)
            FileError::ThrowErrno(errno, path);
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

// The most of the bytes after the roots that is read: a block, or bytes
// that are read only to tell the user what is wrong with them.
constexpr std::size_t kMaxTailRead = std::size_t(256) << 20;

} // namespace

RootList ReadLibraryFrom(
    int fd, const std::string& path, bool emptyIsLibrary, std::vector<LibraryWarning>* warnings)
{
    FileByteSource file(fd, path);
    // The block at the end of the file is read first, out of the way of the
    // reader's position, so that its records meet their entries as the
    // roots are read.
    CBlockReading block;
    const std::uint64_t size = file.Size();
    if (size >= format::kExtensionTrailerBytes) {
        const std::optional<ExtensionTrailer> trailer = ReadExtensionTrailer(
            ReadAt(fd, size - format::kExtensionTrailerBytes, format::kExtensionTrailerBytes, path), size);
        // A block too big to hold is not taken up (and is then reported).
        if (trailer && trailer->blockLength <= kMaxTailRead)
            block.Announce(trailer, ReadAt(fd, trailer->archiveLength, trailer->blockLength, path));
    }
    FileChecksum checksum(fd, block.ChecksumLength(), path);
    std::string after;
    RootList roots;
    try {
        roots = ReadLibrary(file, &after, block.Wanted(), &block.Found());
    } catch (const ArchiveError& e) {
        if (emptyIsLibrary && file.Consumed() == 0)
            return {};
        throw LibraryReadError(path, e);
    }
    const std::uint64_t end = file.Consumed() - after.size();
    block.Settle(
        end,
        [&] {
            // What follows the roots: the bytes the reader took beyond them,
            // then the rest of the file.
            std::string tail = std::move(after);
            char buffer[64 * 1024];
            while (tail.size() < kMaxTailRead) {
                const std::size_t got = file.Read(buffer, sizeof buffer);
                if (got == 0)
                    break;
                tail.append(buffer, got);
            }
            return tail;
        },
        [&] { return checksum.Get(); }, warnings);
    return roots;
}

RootList ReadLibraryFile(const std::string& path, std::vector<LibraryWarning>* warnings)
{
    FdGuard fd(OpenLibraryForReading(path));
    return ReadLibraryFrom(fd.Get(), path, false, warnings);
}

std::string DescribeLibraryWarning(const std::string& path, const LibraryWarning& warning)
{
    std::string what;
    switch (warning.kind) {
    case LibraryWarning::Kind::ExtensionDamaged:
        what = "the volume data stored after the library is damaged and was ignored";
        break;
    case LibraryWarning::Kind::ExtensionNotMatching:
        what = "the volume data stored after the library no longer matches it (another program rewrote "
               "the library) and was ignored";
        break;
    case LibraryWarning::Kind::ExtensionNewer:
        what = "the volume data stored after the library comes from a later version and was ignored";
        break;
    case LibraryWarning::Kind::RecordsDropped:
        what = "some of the volume data stored after the library fits no category and was ignored";
        break;
    }
    return "'" + path + "': " + what + " (" + warning.detail + "); saving writes it anew";
}

std::string TitleFromPath(const std::string& path)
{
    return GbToUtf8(DiskToGb(LastPathComponent(path)));
}

} // namespace tessary
