#pragma once

#include <cstddef>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace tessary {

// Everything left to read from `fd`, read directly from the system (for
// small files of the system's and of this program's own, not for the
// files a user catalogues); a read error ends it early.
std::string ReadToEnd(int fd);

// The POSIX calls through which the model reaches the disk: scanning,
// content extraction, file status, and opening and saving libraries.
//
// Every method has the contract of the call it is named after: it returns
// -1 (or a negative count) and sets errno on failure. The default object
// calls the system directly; tests derive from PosixFileSystem, override the
// calls they want to fail (an unreadable folder, a full disk, a short write)
// and install their object with SetFileSystem.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    virtual int Open(const char* path, int flags, mode_t mode = 0) = 0;
    virtual int OpenAt(int dirFd, const char* name, int flags, mode_t mode = 0) = 0;
    virtual int Close(int fd) = 0;
    virtual ssize_t Read(int fd, void* buf, std::size_t size) = 0;
    // pread: reads at `offset` without moving the file position.
    virtual ssize_t Pread(int fd, void* buf, std::size_t size, off_t offset) = 0;
    virtual ssize_t Write(int fd, const void* buf, std::size_t size) = 0;
    virtual int Fsync(int fd) = 0;
    virtual int Fstat(int fd, struct stat* st) = 0;
    virtual int Fchmod(int fd, mode_t mode) = 0;
    virtual int Ftruncate(int fd, off_t length) = 0;
    // fallocate with mode 0: reserves the blocks of [offset, offset + length),
    // growing the file; EOPNOTSUPP where the file system cannot.
    virtual int Fallocate(int fd, off_t offset, off_t length) = 0;
    // fstatat; the scanner always passes AT_SYMLINK_NOFOLLOW.
    virtual int StatAt(int dirFd, const char* name, struct stat* st, int flags) = 0;
    virtual int Stat(const char* path, struct stat* st) = 0;
    virtual int Lstat(const char* path, struct stat* st) = 0;
    // Fills `buf` with linux_dirent64 records (see DirEntryRecord); returns
    // the number of bytes filled, 0 at the end of the folder.
    virtual long GetDents(int dirFd, char* buf, std::size_t size) = 0;
    virtual int Rename(const char* from, const char* to) = 0;
    virtual int Unlink(const char* path) = 0;
};

// The layout of one record that GetDents fills (that of getdents64).
struct DirEntryRecord {
    unsigned long long d_ino;
    long long d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1]; // zero-terminated, d_reclen covers it
};

// Calls the system.
class PosixFileSystem : public IFileSystem {
public:
    int Open(const char* path, int flags, mode_t mode = 0) override;
    int OpenAt(int dirFd, const char* name, int flags, mode_t mode = 0) override;
    int Close(int fd) override;
    ssize_t Read(int fd, void* buf, std::size_t size) override;
    ssize_t Pread(int fd, void* buf, std::size_t size, off_t offset) override;
    ssize_t Write(int fd, const void* buf, std::size_t size) override;
    int Fsync(int fd) override;
    int Fstat(int fd, struct stat* st) override;
    int Fchmod(int fd, mode_t mode) override;
    int Ftruncate(int fd, off_t length) override;
    int Fallocate(int fd, off_t offset, off_t length) override;
    int StatAt(int dirFd, const char* name, struct stat* st, int flags) override;
    int Stat(const char* path, struct stat* st) override;
    int Lstat(const char* path, struct stat* st) override;
    long GetDents(int dirFd, char* buf, std::size_t size) override;
    int Rename(const char* from, const char* to) override;
    int Unlink(const char* path) override;
};

// The file system the model uses (the system's unless a test installed one).
IFileSystem& FileSystem() noexcept;
// Installs `fs` (not owned); null restores the system's. Returns the previous one.
IFileSystem* SetFileSystem(IFileSystem* fs) noexcept;

// Installs a file system for the lifetime of the guard (tests).
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(IFileSystem& fs) noexcept
        : m_previous(SetFileSystem(&fs))
    {
    }
    ~ScopedFileSystem() { SetFileSystem(m_previous); }
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    IFileSystem* m_previous;
};

// Closes a descriptor through the file system when it goes out of scope.
class FdGuard {
public:
    explicit FdGuard(int fd = -1) noexcept
        : m_fd(fd)
    {
    }
    ~FdGuard() { Reset(); }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int Get() const noexcept { return m_fd; }
    int Release() noexcept
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1) noexcept;

private:
    int m_fd;
};

// Seconds of a file time as the library stores them: clamped to the signed
// 32-bit range, so a date past 2038 does not turn into one before 1970.
inline int ClampTime32(long long seconds) noexcept
{
    if (seconds > 0x7FFFFFFFLL)
        return 0x7FFFFFFF;
    if (seconds < -0x80000000LL)
        return static_cast<int>(-0x7FFFFFFFLL - 1);
    return static_cast<int>(seconds);
}

} // namespace tessary
