#include "ScanWalker.h"

#include "Category.h"
#include "Datum.h"
#include "FileSystem.h"
#include "TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/resource.h>

namespace tessary::scan {

namespace {

constexpr std::size_t kListingBuffer = 64 * 1024;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr auto kShowEvery = std::chrono::milliseconds(50);

// Names made only of ASCII bytes are the same in the library's code page, so
// the conversion (the costly part for a million names) is skipped for them.
void SetName(CText& text, std::string_view name)
{
    if (IsAscii(name))
        text = name;
    else
        text = DiskToGb(name);
}

// A share of the descriptor limit for each thread, leaving most of it to the
// rest of the program; deeper folders are reopened through "..".
std::size_t WindowFor(unsigned threads)
{
    rlimit limit {};
    std::size_t cap = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        cap = static_cast<std::size_t>(limit.rlim_cur);
    return std::clamp<std::size_t>(cap / (4 * std::max(threads, 1u)), 2, 32);
}

bool OutOfDescriptors(int err) noexcept
{
    return err == EMFILE || err == ENFILE;
}

} // namespace

ScanShared::ScanShared(IFileSystem& fs, const ScanOptions& options, unsigned threads)
    : m_fs(fs)
    , m_options(options)
    , m_fdWindow(WindowFor(threads))
{
}

ScanShared::~ScanShared()
{
    for (FolderTask& t : m_queue)
        if (t.fd >= 0)
            m_fs.Close(t.fd);
}

void ScanShared::Push(FolderTask&& task)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(std::move(task));
        UpdateHunger();
    }
    m_wake.notify_one();
}

bool ScanShared::Pop(FolderTask& task, bool wasBusy)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (wasBusy)
        --m_busy;
    for (;;) {
        if (m_stop.load(std::memory_order_relaxed) || m_done)
            break;
        if (!m_queue.empty()) {
            task = std::move(m_queue.back());
            m_queue.pop_back();
            ++m_busy;
            UpdateHunger();
            return true;
        }
        if (m_busy == 0) {
            // Nobody works, so nobody can queue another folder.
            m_done = true;
            break;
        }
        ++m_waiting;
        UpdateHunger();
        m_wake.wait(lock);
        --m_waiting;
        UpdateHunger();
    }
    lock.unlock();
    m_wake.notify_all();
    return false;
}

void ScanShared::Stop(bool cancelled) noexcept
{
    if (cancelled)
        m_cancelled.store(true, std::memory_order_relaxed);
    m_stop.store(true, std::memory_order_relaxed);
    {
        // Taken so that a thread between its check and its wait is not missed.
        std::lock_guard<std::mutex> lock(m_mutex);
    }
    m_wake.notify_all();
}

void ScanShared::Fail(std::exception_ptr error) noexcept
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_error)
            m_error = error;
    }
    Stop(false);
}

std::exception_ptr ScanShared::Error() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

FolderWalker::FolderWalker(ScanShared& shared)
    : m_shared(shared)
    , m_fs(shared.Fs())
    , m_progress(shared.Options().progress)
{
}

FolderWalker::~FolderWalker()
{
    CloseAll();
}

void FolderWalker::CloseAll() noexcept
{
    for (Frame& f : m_frames)
        if (f.fd >= 0)
            m_fs.Close(f.fd);
    m_frames.clear();
    m_openFrames = 0;
    m_outermostOpen = 0;
}

void FolderWalker::Run() noexcept
{
    try {
        m_buffer = std::make_unique<char[]>(kListingBuffer);
        FolderTask task;
        bool busy = false;
        while (m_shared.Pop(task, busy)) {
            busy = true;
            Walk(task);
        }
    } catch (...) {
        CloseAll();
        m_shared.Fail(std::current_exception());
    }
    Flush();
}

void FolderWalker::Walk(FolderTask& task)
{
    m_frames.clear();
    m_children.clear();
    m_names.clear();
    try {
        m_frames.reserve(64);
        m_path = std::move(task.path);
    } catch (...) {
        m_fs.Close(task.fd);
        throw;
    }
    m_frames.push_back({ task.category, task.fd, task.device, task.inode, m_path.size(), 0, 0, 0, 0 });
    m_openFrames = 1;
    m_outermostOpen = 0;
    List(0);
    while (!m_frames.empty() && !Stopping()) {
        Frame& f = m_frames.back();
        if (f.next < f.end)
            Descend();
        else
            Ascend();
    }
    CloseAll();
}

bool FolderWalker::Stopping()
{
    if (m_progress && m_progress->Cancelled() && !m_shared.Stopped())
        m_shared.Stop(true);
    return m_shared.Stopped();
}

void FolderWalker::List(std::size_t index)
{
    ShowFolder();
    const int fd = m_frames[index].fd;
    char* buf = m_buffer.get();
    for (;;) {
        if (Stopping())
            return;
        // An error while listing ends the folder with what was read so far.
        long n = m_fs.GetDents(fd, buf, kListingBuffer);
        if (n < 0)
            Skip(m_path, ScanSkip::Reason::Unreadable, errno);
        if (n <= 0)
            return;
        for (long pos = 0; pos < n;) {
            const auto* d = reinterpret_cast<const DirEntryRecord*>(buf + pos);
            pos += d->d_reclen;
            const char* name = reinterpret_cast<const char*>(d) + offsetof(DirEntryRecord, d_name);
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            Record(index, name, std::strlen(name), d->d_type);
        }
    }
}

void FolderWalker::Record(std::size_t index, const char* name, std::size_t length, unsigned char type)
{
    Frame& f = m_frames[index];
    struct stat st;
    const bool known = m_fs.StatAt(f.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
    const int statErrno = known ? 0 : errno;
    if (!known) {
        // Gone since the listing: nothing to record.
        if (statErrno == ENOENT)
            return;
        // Listed but not searchable (a folder without execute permission):
        // keep the name, with what the listing told about its kind.
        std::memset(&st, 0, sizeof st);
        st.st_mode = type == DT_DIR ? S_IFDIR : S_IFREG;
    }
    const std::string_view nameView(name, length);
    if (S_ISDIR(st.st_mode)) {
        // Linked at once: the tree stays whole whenever the scan stops.
        auto sub = std::make_unique<CFolderCategory>();
        SetName(sub->m_strName, nameView);
        f.category->AddSubCategory(sub.get());
        CCategory* category = sub.release();
        Count();
        if (!known) {
            Skip(ChildPath(index, name), ScanSkip::Reason::Unreadable, statErrno);
            return;
        }
        if (st.st_dev != f.device) {
            if (!m_shared.Options().followMounts) {
                Skip(ChildPath(index, name), ScanSkip::Reason::OtherVolume, 0);
                return;
            }
            // Another file system mounted here: entered unless it is one of
            // the kernel's pseudo file systems.
            int probe = m_fs.OpenAt(f.fd, name, kFolderFlags);
            const bool pseudo = m_shared.Mounts().IsPseudo(st.st_dev, probe);
            if (probe >= 0)
                m_fs.Close(probe);
            if (pseudo) {
                Skip(ChildPath(index, name), ScanSkip::Reason::Pseudo, 0);
                return;
            }
        }
        const std::size_t offset = m_names.size();
        m_names.append(name, length + 1);
        m_children.push_back({ category, offset, st.st_dev, st.st_ino });
        ++f.end;
        return;
    }
    // Files, links (their own size and time), fifos, sockets and devices:
    // recorded from the listing, never opened.
    std::unique_ptr<CFileDatum> datum;
    if (IsAscii(nameView))
        datum = std::make_unique<CFileDatum>(nameView);
    else
        datum = std::make_unique<CFileDatum>(DiskToGb(nameView));
    datum->m_dwSize = static_cast<Size32>(static_cast<unsigned long long>(st.st_size));
    datum->m_timeModified = ClampTime32(st.st_mtim.tv_sec);
    f.category->AddDatum(datum.get());
    datum.release();
    Count();
}

void FolderWalker::Descend()
{
    std::size_t parent = m_frames.size() - 1;
    const Child child = m_children[m_frames[parent].next++];
    if (m_shared.Hungry())
        Donate();
    const char* name = m_names.data() + child.nameOffset;
    const std::size_t parentLength = m_path.size();
    if (m_path.back() != '/')
        m_path += '/';
    m_path += name;
    int fd = OpenChild(parent, name);
    if (fd < 0) {
        Skip(m_path, ScanSkip::Reason::Unreadable, errno);
        m_path.resize(parentLength);
        return;
    }
    try {
        m_frames.push_back({ child.category, fd, child.device, child.inode, m_path.size(), m_children.size(),
            m_children.size(), m_children.size(), m_names.size() });
    } catch (...) {
        m_fs.Close(fd);
        throw;
    }
    ++m_openFrames;
    if (m_openFrames > m_shared.FdWindow())
        CloseOutermost();
    List(m_frames.size() - 1);
}

void FolderWalker::Ascend()
{
    const Frame done = m_frames.back();
    m_frames.pop_back();
    m_children.resize(done.childBase);
    m_names.resize(done.nameBase);
    if (!m_frames.empty()) {
        Frame& parent = m_frames.back();
        m_path.resize(parent.pathLength);
        if (parent.fd < 0)
            Reopen(parent, done.fd);
    }
    if (done.fd >= 0) {
        m_fs.Close(done.fd);
        --m_openFrames;
    }
    m_outermostOpen = std::min(m_outermostOpen, m_frames.size());
}

int FolderWalker::OpenChild(std::size_t parent, const char* name)
{
    for (;;) {
        int fd = m_fs.OpenAt(m_frames[parent].fd, name, kFolderFlags);
        if (fd >= 0 || !OutOfDescriptors(errno) || m_outermostOpen >= parent)
            return fd;
        CloseOutermost();
    }
}

void FolderWalker::CloseOutermost()
{
    Frame& f = m_frames[m_outermostOpen];
    m_fs.Close(f.fd);
    f.fd = -1;
    --m_openFrames;
    ++m_outermostOpen;
}

void FolderWalker::Reopen(Frame& frame, int childFd)
{
    // Up through "..", checked against what the folder was when it was
    // entered, so that a folder moved meanwhile is not mistaken for it; by
    // its path as a second try where the path is short enough.
    auto verify = [&](int fd) {
        struct stat st;
        if (fd >= 0 && (m_fs.Fstat(fd, &st) != 0 || st.st_dev != frame.device || st.st_ino != frame.inode)) {
            m_fs.Close(fd);
            errno = ESTALE;
            return -1;
        }
        return fd;
    };
    int fd = childFd >= 0 ? verify(m_fs.OpenAt(childFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) : -1;
    int err = errno;
    if (fd < 0 && m_path.size() < PATH_MAX) {
        fd = verify(m_fs.Open(m_path.c_str(), kFolderFlags));
        if (fd < 0)
            err = errno;
    }
    if (fd < 0) {
        // The rest of this folder cannot be reached any more.
        const std::size_t index = static_cast<std::size_t>(&frame - m_frames.data());
        for (std::size_t i = frame.next; i < frame.end; ++i)
            Skip(ChildPath(index, m_names.data() + m_children[i].nameOffset), ScanSkip::Reason::Unreadable,
                err);
        frame.next = frame.end;
        return;
    }
    frame.fd = fd;
    ++m_openFrames;
    m_outermostOpen = m_frames.size() - 1;
}

void FolderWalker::Donate()
{
    // The outermost folders first: their sub-folders hold the most work.
    for (std::size_t i = m_outermostOpen; i < m_frames.size() && m_shared.Hungry(); ++i) {
        Frame& f = m_frames[i];
        while (f.next < f.end && m_shared.Hungry()) {
            const Child& child = m_children[f.end - 1];
            const char* name = m_names.data() + child.nameOffset;
            int fd = m_fs.OpenAt(f.fd, name, kFolderFlags);
            if (fd < 0) {
                if (OutOfDescriptors(errno))
                    return;
                Skip(ChildPath(i, name), ScanSkip::Reason::Unreadable, errno);
                --f.end;
                continue;
            }
            FolderTask task { child.category, fd, child.device, child.inode, {} };
            try {
                task.path = ChildPath(i, name);
                m_shared.Push(std::move(task));
            } catch (...) {
                m_fs.Close(fd);
                throw;
            }
            --f.end;
        }
    }
}

std::string FolderWalker::ChildPath(std::size_t frame, const char* name) const
{
    std::string path = m_path.substr(0, m_frames[frame].pathLength);
    if (path.back() != '/')
        path += '/';
    path += name;
    return path;
}

void FolderWalker::Count() noexcept
{
    ++m_entries;
    if (m_progress && ++m_unreported == 1024)
        Flush();
}

void FolderWalker::Flush() noexcept
{
    if (m_progress && m_unreported)
        m_progress->AddEntries(m_unreported);
    m_unreported = 0;
}

void FolderWalker::ShowFolder()
{
    if (!m_progress)
        return;
    // Throttled: copying a long path for every folder of a deep tree would
    // make the scan quadratic in its depth.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastShown < kShowEvery)
        return;
    m_lastShown = now;
    m_progress->SetCurrentFolder(m_path);
}

void FolderWalker::Skip(std::string path, ScanSkip::Reason reason, int err)
{
    m_skipped.push_back({ std::move(path), reason, err });
}

} // namespace tessary::scan
