#include "FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/syscall.h>
#endif

namespace tessary {

namespace {

PosixFileSystem g_posix;
IFileSystem* g_current = &g_posix;

} // namespace

std::string ReadToEnd(int fd)
{
    std::string text;
    char buf[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

IFileSystem& FileSystem() noexcept
{
    return *g_current;
}

IFileSystem* SetFileSystem(IFileSystem* fs) noexcept
{
    IFileSystem* previous = g_current;
    g_current = fs ? fs : &g_posix;
    return previous;
}

void FdGuard::Reset(int fd) noexcept
{
    if (m_fd >= 0)
        FileSystem().Close(m_fd);
    m_fd = fd;
}

int PosixFileSystem::Open(const char* path, int flags, mode_t mode)
{
    int fd;
    do
        fd = ::open(path, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int PosixFileSystem::OpenAt(int dirFd, const char* name, int flags, mode_t mode)
{
    int fd;
    do
        fd = ::openat(dirFd, name, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// A close interrupted by a signal has still released the descriptor on
// Linux, so it is never retried.
int PosixFileSystem::Close(int fd)
{
    return ::close(fd);
}

ssize_t PosixFileSystem::Read(int fd, void* buf, std::size_t size)
{
    ssize_t n;
    do
        n = ::read(fd, buf, size);
    while (n < 0 && errno == EINTR);
    return n;
}

ssize_t PosixFileSystem::Pread(int fd, void* buf, std::size_t size, off_t offset)
{
    ssize_t n;
    do
        n = ::pread(fd, buf, size, offset);
    while (n < 0 && errno == EINTR);
    return n;
}

ssize_t PosixFileSystem::Write(int fd, const void* buf, std::size_t size)
{
    ssize_t n;
    do
        n = ::write(fd, buf, size);
    while (n < 0 && errno == EINTR);
    return n;
}

int PosixFileSystem::Fsync(int fd)
{
    return ::fsync(fd);
}
int PosixFileSystem::Fstat(int fd, struct stat* st)
{
    return ::fstat(fd, st);
}
int PosixFileSystem::Fchmod(int fd, mode_t mode)
{
    return ::fchmod(fd, mode);
}
int PosixFileSystem::Ftruncate(int fd, off_t length)
{
    int r;
    do
        r = ::ftruncate(fd, length);
    while (r != 0 && errno == EINTR);
    return r;
}
int PosixFileSystem::Fallocate(int fd, off_t offset, off_t length)
{
#ifdef __linux__
    int r;
    do
        r = ::fallocate(fd, 0, offset, length);
    while (r != 0 && errno == EINTR);
    return r;
#else
    errno = EOPNOTSUPP;
    return -1;
#endif
}
int PosixFileSystem::StatAt(int dirFd, const char* name, struct stat* st, int flags)
{
    return ::fstatat(dirFd, name, st, flags);
}
int PosixFileSystem::Stat(const char* path, struct stat* st)
{
    return ::stat(path, st);
}
int PosixFileSystem::Lstat(const char* path, struct stat* st)
{
    return ::lstat(path, st);
}

long PosixFileSystem::GetDents(int dirFd, char* buf, std::size_t size)
{
#ifdef __linux__
    return ::syscall(SYS_getdents64, dirFd, buf, size);
#else
#error "GetDents needs a readdir-based fill on this platform"
#endif
}

int PosixFileSystem::Rename(const char* from, const char* to)
{
    return ::rename(from, to);
}
int PosixFileSystem::Unlink(const char* path)
{
    return ::unlink(path);
}

} // namespace tessary
