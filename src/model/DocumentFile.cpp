#include "DocumentFile.h"

#include "FileSystem.h"
#include "TextCodec.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace tessary {

namespace {

constexpr std::size_t kIoChunk = 1 << 20;

std::string ArchiveMessage(const std::string& path, const ArchiveError& error)
{
    return "'" + path + "' is not a valid library: " + ArchiveFaultText(error.Fault()) + " at byte "
        + std::to_string(error.Offset());
}

// Buffers the writer's small pieces into large writes on the temporary file.
class FdSink : public IByteSink {
public:
    FdSink(IFileSystem& fs, int fd, const std::string& path)
        : m_fs(fs)
        , m_fd(fd)
        , m_path(path)
    {
        m_buf.reserve(kIoChunk);
    }

    void Write(const char* data, std::size_t size) override
    {
        if (m_buf.size() + size > kIoChunk) {
            Flush();
            if (size >= kIoChunk)
                return WriteAll(data, size);
        }
        m_buf.append(data, size);
    }

    void Flush()
    {
        WriteAll(m_buf.data(), m_buf.size());
        m_buf.clear();
    }

private:
    void WriteAll(const char* data, std::size_t size)
    {
        // A short write is not an error in itself: the rest is written again
        // and the call that cannot make progress reports why.
        while (size > 0) {
            ssize_t n = m_fs.Write(m_fd, data, size);
            if (n < 0)
                FileError::ThrowErrno(errno, m_path);
            if (n == 0)
                throw FileError(FileErrorCause::DiskFull, m_path, ENOSPC);
            data += n;
            size -= static_cast<std::size_t>(n);
        }
    }

    IFileSystem& m_fs;
    int m_fd;
    const std::string& m_path;
    std::string m_buf;
};

std::string FolderOf(const std::string& path)
{
    std::size_t sep = path.rfind('/');
    if (sep == std::string::npos)
        return ".";
    if (sep == 0)
        return "/";
    return path.substr(0, sep);
}

std::string TemporaryNameFor(const std::string& target)
{
    static std::atomic<unsigned> counter { 0 };
    std::size_t sep = target.rfind('/');
    std::string folder = sep == std::string::npos ? std::string() : target.substr(0, sep + 1);
    std::string base = sep == std::string::npos ? target : target.substr(sep + 1);
    // Hidden and kept short enough for NAME_MAX where the target name allows.
    if (base.size() > 200)
        base.resize(200);
    return folder + "." + base + ".tmp-" + std::to_string(::getpid()) + "-"
        + std::to_string(counter.fetch_add(1));
}

void SyncFolder(IFileSystem& fs, const std::string& folder)
{
    // Makes the rename itself durable; a file system that cannot sync a
    // folder still has the complete file under one of the two names.
    int fd = fs.Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fs.Fsync(fd);
    fs.Close(fd);
}

} // namespace

LibraryReadError::LibraryReadError(std::string path, const ArchiveError& error)
    : std::runtime_error(ArchiveMessage(path, error))
    , m_path(std::move(path))
    , m_fault(error.Fault())
    , m_offset(error.Offset())
{
}

int OpenLibraryForReading(const std::string& path)
{
    IFileSystem& fs = FileSystem();
    // Non-blocking so that a fifo given by mistake does not hang the open.
    FdGuard fd(fs.Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0)
        FileError::ThrowErrno(errno, path);
    struct stat st;
    if (fs.Fstat(fd.Get(), &st) != 0)
        FileError::ThrowErrno(errno, path);
    if (!S_ISREG(st.st_mode))
        throw FileError(FileErrorCause::NotRegularFile, path);
    return fd.Release();
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

RootList ReadLibraryFile(const std::string& path)
{
    FileBytes bytes = ReadAllAndClose(OpenLibraryForReading(path), path);
    try {
        return ReadLibrary(bytes.view());
    } catch (const ArchiveError& e) {
        throw LibraryReadError(path, e);
    }
}

void WriteLibraryFile(const std::vector<const CCategory*>& roots, const std::string& path)
{
    IFileSystem& fs = FileSystem();
    if (path.empty())
        throw FileError(FileErrorCause::BadPath, path, ENOENT);

    // Saving through a link replaces the file it points to, not the link.
    std::string target = path;
    struct stat st;
    if (fs.Lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
        if (real)
            target = real.get();
    }
    bool existed = fs.Stat(target.c_str(), &st) == 0;
    if (existed && !S_ISREG(st.st_mode))
        throw FileError(FileErrorCause::NotRegularFile, path);
    // Renaming over a file only needs the folder to be writable; a file the
    // user may not write stays protected, as if it were written in place.
    if (existed && ::access(target.c_str(), W_OK) != 0 && errno == EACCES)
        throw FileError(FileErrorCause::AccessDenied, path, EACCES);

    std::string temp;
    int rawFd = -1;
    for (unsigned attempt = 0; rawFd < 0; ++attempt) {
        temp = TemporaryNameFor(target);
        rawFd = fs.Open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (rawFd < 0 && (errno != EEXIST || attempt >= 100))
            FileError::ThrowErrno(errno, path);
    }
    FdGuard fd(rawFd);
    try {
        if (existed) {
            // Best effort: the data matters more. The owner can only be kept
            // by the superuser or when it is the saving user anyway.
            if (::fchown(fd.Get(), st.st_uid, st.st_gid) != 0) {
                // keeps the saving user as the owner
            }
            fs.Fchmod(fd.Get(), st.st_mode & 07777);
        }
        FdSink sink(fs, fd.Get(), path);
        try {
            WriteLibrary(roots, sink);
        } catch (const ArchiveError& e) {
            throw FileError(FileErrorCause::TooLarge, path, 0, e.what());
        }
        sink.Flush();
        if (fs.Fsync(fd.Get()) != 0)
            FileError::ThrowErrno(errno, path);
        // Some file systems report a failed write only when the file is closed.
        if (fs.Close(fd.Release()) != 0)
            FileError::ThrowErrno(errno, path);
        if (fs.Rename(temp.c_str(), target.c_str()) != 0)
            FileError::ThrowErrno(errno, path);
    } catch (...) {
        fd.Reset();
        fs.Unlink(temp.c_str());
        throw;
    }
    SyncFolder(fs, FolderOf(target));
}

std::string TitleFromPath(const std::string& path)
{
    std::string_view name = path;
    while (name.size() > 1 && name.back() == '/')
        name.remove_suffix(1);
    std::size_t sep = name.rfind('/');
    if (sep != std::string_view::npos && name.size() > 1)
        name.remove_prefix(sep + 1);
    return GbToUtf8(DiskToGb(name));
}

} // namespace tessary
