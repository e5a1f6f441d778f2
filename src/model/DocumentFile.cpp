#include "DocumentFile.h"

#include "FileSystem.h"
#include "PathName.h"
#include "TextCodec.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>

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

RootList ReadLibraryFrom(int fd, const std::string& path, bool emptyIsLibrary)
{
    FileByteSource source(fd, path);
    try {
        return ReadLibrary(source);
    } catch (const ArchiveError& e) {
        if (emptyIsLibrary && source.Consumed() == 0)
            return {};
        throw LibraryReadError(path, e);
    }
}

RootList ReadLibraryFile(const std::string& path)
{
    FdGuard fd(OpenLibraryForReading(path));
    return ReadLibraryFrom(fd.Get(), path, false);
}

std::string TitleFromPath(const std::string& path)
{
    return GbToUtf8(DiskToGb(LastPathComponent(path)));
}

} // namespace tessary
