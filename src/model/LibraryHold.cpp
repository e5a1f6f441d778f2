#include "LibraryHold.h"

#include "FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tessary {

namespace {

FileIdentity FromStat(const struct stat& st) noexcept
{
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.modified = st.st_mtim;
    id.size = st.st_size;
    return id;
}

struct flock WholeFile(short type) noexcept
{
    struct flock lock { };
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

} // namespace

bool IdentityOf(int fd, FileIdentity& identity) noexcept
{
    struct stat st;
    if (FileSystem().Fstat(fd, &st) != 0)
        return false;
    identity = FromStat(st);
    return true;
}

bool CLibraryHold::LockShared(int fd) noexcept
{
    struct flock lock = WholeFile(F_RDLCK);
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

void CLibraryHold::Adopt(int fd) noexcept
{
    FileIdentity identity;
    if (fd >= 0) {
        LockShared(fd);
        IdentityOf(fd, identity);
    }
    Release();
    m_fd = fd;
    m_identity = identity;
}

void CLibraryHold::Release() noexcept
{
    if (m_fd >= 0)
        FileSystem().Close(m_fd);
    m_fd = -1;
    m_identity = {};
}

void CLibraryHold::Refresh() noexcept
{
    if (m_fd >= 0)
        IdentityOf(m_fd, m_identity);
}

bool CLibraryHold::ChangedOnDisk(const std::string& path) const
{
    if (m_fd < 0)
        return false;
    struct stat st;
    if (FileSystem().Stat(path.c_str(), &st) != 0)
        return false;
    return !(FromStat(st) == m_identity);
}

bool CLibraryHold::IsHeldElsewhere(const std::string& path) const
{
    IFileSystem& fs = FileSystem();
    FdGuard fd(fs.Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0)
        return false;
    struct stat st;
    if (fs.Fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // This document's own lock would answer as well.
    if (m_fd >= 0 && FromStat(st).SameFile(m_identity))
        return false;
    // Asking whether an exclusive lock could be had finds every shared one.
    struct flock probe = WholeFile(F_WRLCK);
    if (::fcntl(fd.Get(), F_OFD_GETLK, &probe) != 0)
        return false;
    return probe.l_type != F_UNLCK;
}

} // namespace tessary
