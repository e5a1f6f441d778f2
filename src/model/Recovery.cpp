#include "Recovery.h"

#include "Checksum.h"
#include "FileError.h"
#include "FileSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary {

namespace {

constexpr std::string_view kOriginSuffix = ".origin";
constexpr std::string_view kCopySuffix = ".dli";
constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kMaxBase = 100;

bool EndsWith(std::string_view s, std::string_view tail)
{
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::int64_t Nanoseconds(const struct timespec& t)
{
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// "books" for "/data/books.dli": short, not hidden, no separators.
std::string BaseNameFor(const std::string& library)
{
    if (library.empty())
        return "未命名";
    std::string base = library.substr(library.rfind('/') + 1);
    if (EndsWith(base, kCopySuffix))
        base.resize(base.size() - kCopySuffix.size());
    while (!base.empty() && base.front() == '.')
        base.erase(0, 1);
    if (base.size() > kMaxBase)
        base.resize(kMaxBase);
    return base.empty() ? std::string("library") : base;
}

std::string Hex16(std::uint64_t v)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

// What tells copies of different libraries apart: the library's path, or,
// for one without a file, this process and the moment.
std::string HashFor(const std::string& library)
{
    static std::atomic<unsigned> counter { 0 };
    if (!library.empty())
        return Hex16(Checksum64::Of(library));
    const std::string unique = std::to_string(::getpid()) + "/"
        + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()) + "/"
        + std::to_string(counter.fetch_add(1));
    return Hex16(Checksum64::Of(unique));
}

void MakeFolders(const std::string& folder)
{
    // Each missing level is made in turn, readable by the user alone.
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/')
            continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            FileError::ThrowErrno(errno, folder);
    }
}

void WriteAll(IFileSystem& fs, int fd, std::string_view bytes, const std::string& path)
{
    while (!bytes.empty()) {
        ssize_t n = fs.Write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            FileError::ThrowErrno(errno, path);
        if (n == 0)
            throw FileError(FileErrorCause::DiskFull, path, ENOSPC);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// The process id in a temporary name ".<pid>-<n>.tmp-...", or 0.
pid_t WriterOf(std::string_view name)
{
    if (name.size() < 2 || name[0] != '.' || name.find(kTemporaryMark) == std::string_view::npos)
        return 0;
    long long pid = 0;
    std::size_t i = 1;
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < 0x7FFFFFFF; ++i)
        pid = pid * 10 + (name[i] - '0');
    return i > 1 && i < name.size() && name[i] == '-' ? static_cast<pid_t>(pid) : 0;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t sep = path.rfind('/');
    return sep == std::string::npos ? std::string(".") : sep == 0 ? std::string("/") : path.substr(0, sep);
}

} // namespace

std::string DefaultRecoveryFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string base;
    if (state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.local/state";
    }
    return base + "/tessary/recovery";
}

std::vector<RecoveryCopy> ListRecoveryCopies(const std::string& folder)
{
    std::vector<RecoveryCopy> copies;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return copies;
    std::vector<std::string> names;
    while (const dirent* d = ::readdir(dir))
        names.emplace_back(d->d_name);
    ::closedir(dir);

    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        if (pid_t pid = WriterOf(name);
            pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) {
            ::unlink(path.c_str());
            continue;
        }
        if (name.front() == '.' || !EndsWith(name, kOriginSuffix))
            continue;
        FdGuard origin(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (origin.Get() < 0)
            continue;
        // A program that still keeps this copy holds the lock.
        if (::flock(origin.Get(), LOCK_SH | LOCK_NB) != 0)
            continue;
        RecoveryCopy copy;
        copy.copyPath = path.substr(0, path.size() - kOriginSuffix.size());
        struct stat st;
        if (::lstat(copy.copyPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        copy.library = ReadToEnd(origin.Get());
        copy.savedNs = Nanoseconds(st.st_mtim);
        copies.push_back(std::move(copy));
    }
    std::sort(copies.begin(), copies.end(),
        [](const RecoveryCopy& a, const RecoveryCopy& b) { return a.savedNs > b.savedNs; });
    return copies;
}

bool IsNewerThanLibrary(const RecoveryCopy& copy)
{
    struct stat st;
    if (copy.library.empty() || ::stat(copy.library.c_str(), &st) != 0)
        return true;
    return copy.savedNs > Nanoseconds(st.st_mtim);
}

bool SameLibrary(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    if (a.empty() || b.empty())
        return false;
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
}

void RemoveRecoveryCopy(const std::string& copyPath)
{
    ::unlink(copyPath.c_str());
    ::unlink((copyPath + std::string(kOriginSuffix)).c_str());
}

CRecoveryFile::CRecoveryFile(const std::string& folder, const std::string& library)
    : m_library(library)
{
    MakeFolders(folder);
    const std::string stem = folder + "/" + BaseNameFor(library) + "-" + HashFor(library);
    // A name whose side file exists belongs to a copy kept elsewhere or left
    // behind for the user to decide on: the next free one is taken.
    for (unsigned n = 0;; ++n) {
        const std::string path
            = stem + (n == 0 ? std::string() : "-" + std::to_string(n)) + std::string(kCopySuffix);
        const std::string origin = path + std::string(kOriginSuffix);
        FdGuard fd(::open(origin.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.Get() < 0) {
            if (errno == EEXIST && n < 1000)
                continue;
            FileError::ThrowErrno(errno, origin);
        }
        // Waits out another program's look at the new file, if any.
        while (::flock(fd.Get(), LOCK_EX) != 0 && errno == EINTR) { }
        try {
            WriteAll(FileSystem(), fd.Get(), library, origin);
        } catch (...) {
            ::unlink(origin.c_str());
            throw;
        }
        m_path = path;
        m_lockFd = fd.Release();
        return;
    }
}

CRecoveryFile::CRecoveryFile(const RecoveryCopy& copy)
    : m_path(copy.copyPath)
    , m_library(copy.library)
{
    const std::string origin = m_path + std::string(kOriginSuffix);
    FdGuard fd(::open(origin.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.Get() < 0)
        FileError::ThrowErrno(errno, origin);
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        throw FileError(FileErrorCause::SharingViolation, origin, EWOULDBLOCK);
    m_lockFd = fd.Release();
}

CRecoveryFile::~CRecoveryFile()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

void CRecoveryFile::Write(std::span<const std::string_view> pieces)
{
    static std::atomic<unsigned> counter { 0 };
    IFileSystem& fs = FileSystem();
    const std::string folder = FolderOf(m_path);
    const std::string temp = folder + "/." + std::to_string(::getpid()) + "-"
        + std::to_string(counter.fetch_add(1)) + std::string(kTemporaryMark) + "recovery";
    FdGuard fd(fs.Open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.Get() < 0)
        FileError::ThrowErrno(errno, m_path);
    try {
        for (std::string_view piece : pieces)
            WriteAll(fs, fd.Get(), piece, m_path);
        if (fs.Fsync(fd.Get()) != 0)
            FileError::ThrowErrno(errno, m_path);
        if (fs.Close(fd.Release()) != 0)
            FileError::ThrowErrno(errno, m_path);
        if (fs.Rename(temp.c_str(), m_path.c_str()) != 0)
            FileError::ThrowErrno(errno, m_path);
    } catch (...) {
        fd.Reset();
        fs.Unlink(temp.c_str());
        throw;
    }
    FdGuard dirFd(fs.Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.Get() >= 0)
        fs.Fsync(dirFd.Get());
}

void CRecoveryFile::Retarget(const std::string& library)
{
    const std::string origin = m_path + std::string(kOriginSuffix);
    if (::ftruncate(m_lockFd, 0) != 0 || ::lseek(m_lockFd, 0, SEEK_SET) != 0)
        FileError::ThrowErrno(errno, origin);
    WriteAll(FileSystem(), m_lockFd, library, origin);
    m_library = library;
}

void CRecoveryFile::Remove()
{
    if (m_path.empty())
        return;
    RemoveRecoveryCopy(m_path);
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    m_lockFd = -1;
    m_path.clear();
}

} // namespace tessary
