// Writing a library file: atomically through a temporary file beside it, or,
// where its folder cannot be written, in place once the bytes are complete.

#include "DocumentFile.h"

#include "FileSystem.h"
#include "LibraryHold.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace tessary {

namespace {

constexpr std::size_t kIoChunk = 1 << 20;
constexpr std::size_t kMaxBaseInTemporary = 200;
constexpr const char* kTemporaryMark = ".tmp-";

// Writes all of `size` bytes; a short write is not an error in itself: the
// rest is written again and the call that cannot make progress reports why.
void WriteAll(IFileSystem& fs, int fd, const char* data, std::size_t size, const std::string& path,
    const std::string& detail = {})
{
    while (size > 0) {
        ssize_t n = fs.Write(fd, data, size);
        if (n < 0)
            FileError::ThrowErrno(errno, path, detail);
        if (n == 0)
            throw FileError(FileErrorCause::DiskFull, path, ENOSPC, detail);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
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
                return WriteAll(m_fs, m_fd, data, size, m_path);
        }
        m_buf.append(data, size);
    }

    void Flush()
    {
        WriteAll(m_fs, m_fd, m_buf.data(), m_buf.size(), m_path);
        m_buf.clear();
    }

private:
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

// ".NAME.tmp-": the start of every temporary name for `target`, hidden and
// kept short enough for NAME_MAX where the target name allows.
std::string TemporaryPrefix(const std::string& target)
{
    std::size_t sep = target.rfind('/');
    std::string base = sep == std::string::npos ? target : target.substr(sep + 1);
    if (base.size() > kMaxBaseInTemporary)
        base.resize(kMaxBaseInTemporary);
    return "." + base + kTemporaryMark;
}

std::string TemporaryNameFor(const std::string& target)
{
    static std::atomic<unsigned> counter { 0 };
    std::size_t sep = target.rfind('/');
    std::string folder = sep == std::string::npos ? std::string() : target.substr(0, sep + 1);
    return folder + TemporaryPrefix(target) + std::to_string(::getpid()) + "-"
        + std::to_string(counter.fetch_add(1));
}

// The process id in a temporary name made by TemporaryNameFor, or 0.
pid_t CreatorOf(std::string_view name, std::string_view prefix)
{
    if (name.substr(0, prefix.size()) != prefix)
        return 0;
    name.remove_prefix(prefix.size());
    long long pid = 0;
    std::size_t i = 0;
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < 0x7FFFFFFF; ++i)
        pid = pid * 10 + (name[i] - '0');
    if (i == 0 || i >= name.size() || name[i] != '-' || i + 1 == name.size())
        return 0;
    for (++i; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9')
            return 0;
    return static_cast<pid_t>(pid);
}

// Removes the temporary files that earlier saves of `target` left behind
// when they were killed: those whose creating process is gone. A live
// process may still be writing its own, and a reused process id only keeps
// a stale file a little longer.
void RemoveStaleTemporaries(IFileSystem& fs, const std::string& target)
{
    const std::string folder = FolderOf(target);
    const std::string prefix = TemporaryPrefix(target);
    std::vector<std::string> stale;
    {
        FdGuard fd(fs.Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd.Get() < 0)
            return;
        auto buf = std::make_unique<char[]>(32 * 1024);
        for (;;) {
            long n = fs.GetDents(fd.Get(), buf.get(), 32 * 1024);
            if (n <= 0)
                break;
            for (long pos = 0; pos < n;) {
                const auto* d = reinterpret_cast<const DirEntryRecord*>(buf.get() + pos);
                pos += d->d_reclen;
                const char* name = reinterpret_cast<const char*>(d) + offsetof(DirEntryRecord, d_name);
                pid_t pid = CreatorOf(name, prefix);
                if (pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
                    stale.emplace_back(name);
            }
        }
    }
    const std::string base = folder == "/" ? folder : folder + "/";
    for (const std::string& name : stale)
        fs.Unlink((base + name).c_str());
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

// Errors of creating a file beside the target that rewriting it in place
// avoids: the folder is not writable, or (sticky folder) the target may not
// be replaced by this user.
bool FolderRefused(int err) noexcept
{
    return err == EACCES || err == EPERM;
}

// Rewrites `target` in place: the whole library is encoded in memory first,
// room for a bigger file is reserved before the first old byte is touched,
// then the bytes are written from the start, the file cut to their length
// and flushed to the disk. The file keeps its inode, so its owner, mode and
// hard links stay. A failure after the first write leaves the file damaged,
// which PartialWriteError says; the document still holds the library.
void WriteInPlace(const std::vector<const CCategory*>& roots, const std::string& path,
    const std::string& target, CLibraryHold* hold)
{
    IFileSystem& fs = FileSystem();
    std::string bytes;
    try {
        WriteLibrary(roots, bytes);
    } catch (const ArchiveError& e) {
        throw FileError(FileErrorCause::TooLarge, path, 0, e.what());
    }
    struct stat st;
    FdGuard fd(OpenRegularFile(target, O_WRONLY, st, path));
    const auto newSize = static_cast<off_t>(bytes.size());
    if (newSize > st.st_size && fs.Fallocate(fd.Get(), st.st_size, newSize - st.st_size) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL)
        FileError::ThrowErrno(errno, path); // nothing written yet

    try {
        WriteAll(fs, fd.Get(), bytes.data(), bytes.size(), path);
        if (newSize < st.st_size && fs.Ftruncate(fd.Get(), newSize) != 0)
            FileError::ThrowErrno(errno, path);
        if (fs.Fsync(fd.Get()) != 0)
            FileError::ThrowErrno(errno, path);
        if (fs.Close(fd.Release()) != 0)
            FileError::ThrowErrno(errno, path);
    } catch (const FileError& e) {
        throw PartialWriteError(e.Cause(), path, e.SysErrno(),
            "its folder cannot be written, so it was being rewritten in place and may now be incomplete; "
            "the library is still open and can be saved elsewhere");
    }

    if (!hold)
        return;
    FileIdentity written;
    written.device = st.st_dev;
    written.inode = st.st_ino;
    if (hold->Holds() && hold->Identity().SameFile(written))
        hold->Refresh();
    else
        hold->Adopt(fs.Open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
}

} // namespace

void WriteLibraryFile(const std::vector<const CCategory*>& roots, const std::string& path, CLibraryHold* hold)
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

    RemoveStaleTemporaries(fs, target);

    std::string temp;
    int rawFd = -1;
    for (unsigned attempt = 0; rawFd < 0; ++attempt) {
        temp = TemporaryNameFor(target);
        // Readable too, so that the descriptor can carry the document's lock.
        rawFd = fs.Open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (rawFd >= 0 || (errno == EEXIST && attempt < 100))
            continue;
        if (existed && FolderRefused(errno))
            return WriteInPlace(roots, path, target, hold);
        FileError::ThrowErrno(errno, path);
    }
    FdGuard fd(rawFd);
    FdGuard kept;
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
        // Locked before the file takes the library's name, so that another
        // program never finds it there unheld.
        if (hold) {
            kept.Reset(::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 0));
            if (kept.Get() >= 0)
                CLibraryHold::LockShared(kept.Get());
        }
        // Some file systems report a failed write only when the file is closed.
        if (fs.Close(fd.Release()) != 0)
            FileError::ThrowErrno(errno, path);
        if (fs.Rename(temp.c_str(), target.c_str()) != 0) {
            const int err = errno;
            if (!existed || !FolderRefused(err))
                FileError::ThrowErrno(err, path);
            kept.Reset();
            fs.Unlink(temp.c_str());
            return WriteInPlace(roots, path, target, hold);
        }
    } catch (...) {
        fd.Reset();
        kept.Reset();
        fs.Unlink(temp.c_str());
        throw;
    }
    SyncFolder(fs, FolderOf(target));
    if (hold && kept.Get() >= 0)
        hold->Adopt(kept.Release());
}

} // namespace tessary
