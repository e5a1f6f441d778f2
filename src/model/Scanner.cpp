// Scanning a folder tree into categories and data items.

#include "Category.h"
#include "Datum.h"
#include "FileSystem.h"
#include "Scan.h"
#include "TextCodec.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

namespace {

constexpr std::size_t kListingBuffer = 64 * 1024;

// Names made only of ASCII bytes are the same in the library's code page, so
// the conversion (the costly part for a million names) is skipped for them.
bool IsAscii(std::string_view s) noexcept
{
    for (unsigned char c : s)
        if (c & 0x80)
            return false;
    return true;
}

std::string_view NameOf(const DirEntryRecord* d) noexcept
{
    return std::string_view(reinterpret_cast<const char*>(d) + offsetof(DirEntryRecord, d_name));
}

// One folder being listed. The category is linked to its parent only once
// its own subtree is complete, so sub-categories keep the listing order and
// a half-scanned folder is never visible in the tree.
struct Frame {
    int fd;
    CCategory* category; // owned by the frame until linked (except the top)
    long filled;
    long pos;
    std::size_t pathLength; // length of the folder's path in m_path
};

class TreeScanner {
public:
    TreeScanner(IFileSystem& fs, const ScanOptions& options, ScanReport& report)
        : m_fs(fs)
        , m_options(options)
        , m_report(report)
    {
    }

    ~TreeScanner()
    {
        // Only reached with frames left when an exception (out of memory)
        // interrupts the scan: release what was not linked yet.
        while (!m_stack.empty()) {
            Frame& f = m_stack.back();
            m_fs.Close(f.fd);
            if (m_stack.size() > 1)
                delete f.category;
            m_stack.pop_back();
        }
    }

    void Run(CCategory& top, int rootFd, const std::string& rootPath)
    {
        struct stat st;
        if (m_fs.Fstat(rootFd, &st) != 0) {
            m_fs.Close(rootFd);
            return;
        }
        m_report.opened = true;
        m_device = st.st_dev;
        m_path = rootPath;
        m_stack.reserve(64);
        m_stack.push_back({ rootFd, &top, 0, 0, m_path.size() });
        EnterFolder();
        while (!m_stack.empty()) {
            if (m_options.progress && m_options.progress->Cancelled()) {
                m_report.cancelled = true;
                break;
            }
            Step();
        }
        Flush();
    }

private:
    char* Buffer(std::size_t depth)
    {
        while (m_buffers.size() <= depth)
            m_buffers.push_back(std::make_unique<char[]>(kListingBuffer));
        return m_buffers[depth].get();
    }

    void Step()
    {
        const std::size_t depth = m_stack.size() - 1;
        Frame& f = m_stack.back();
        char* buf = Buffer(depth);
        if (f.pos >= f.filled) {
            // An error while listing ends the folder with what was read so far.
            long n = m_fs.GetDents(f.fd, buf, kListingBuffer);
            if (n < 0)
                Skip(m_path, ScanSkip::Reason::Unreadable, errno);
            if (n <= 0) {
                Finish();
                return;
            }
            f.filled = n;
            f.pos = 0;
        }
        const auto* d = reinterpret_cast<const DirEntryRecord*>(buf + f.pos);
        f.pos += d->d_reclen;
        std::string_view name = NameOf(d);
        if (name == "." || name == "..")
            return;
        Entry(f, name, d->d_type);
    }

    void Finish()
    {
        // Linked before the frame goes, so that a failure to link leaves the
        // category with the frame, which the destructor releases.
        Frame f = m_stack.back();
        if (m_stack.size() > 1)
            m_stack[m_stack.size() - 2].category->AddSubCategory(f.category);
        m_fs.Close(f.fd);
        m_stack.pop_back();
        if (!m_stack.empty())
            m_path.resize(m_stack.back().pathLength);
    }

    void Entry(Frame& f, std::string_view name, unsigned char type)
    {
        struct stat st;
        bool known = m_fs.StatAt(f.fd, name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        const int statErrno = known ? 0 : errno;
        if (!known) {
            // Gone since the listing: nothing to record.
            if (errno == ENOENT)
                return;
            // Listed but not searchable (a folder without execute permission):
            // keep the name, with what the listing told about its kind.
            std::memset(&st, 0, sizeof st);
            st.st_mode = type == DT_DIR ? S_IFDIR : S_IFREG;
        }
        if (S_ISDIR(st.st_mode)) {
            auto sub = std::make_unique<CFolderCategory>();
            SetName(sub->m_strName, name);
            // Never into another file system (a mount point stays an empty
            // folder) and never through a link; O_NOFOLLOW also covers a folder
            // swapped for a link since it was examined.
            if (m_stack.size() == m_stack.capacity())
                m_stack.reserve(m_stack.size() * 2); // `f` is invalid from here on
            Frame& frame = m_stack.back();
            const std::size_t parentLength = m_path.size();
            if (m_path != "/")
                m_path += '/';
            m_path += name;
            int fd = -1;
            if (!known)
                Skip(m_path, ScanSkip::Reason::Unreadable, statErrno);
            else if (st.st_dev != m_device)
                Skip(m_path, ScanSkip::Reason::OtherVolume, 0);
            else if ((fd = m_fs.OpenAt(
                          frame.fd, name.data(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
                < 0)
                Skip(m_path, ScanSkip::Reason::Unreadable, errno);
            Count();
            if (fd < 0) {
                m_path.resize(parentLength);
                frame.category->AddSubCategory(sub.get());
                sub.release();
                return;
            }
            m_stack.push_back(
                { fd, sub.release(), 0, 0, m_path.size() }); // capacity reserved above: cannot throw
            EnterFolder();
            return;
        }
        // Files, links (their own size and time), fifos, sockets and devices:
        // recorded from the listing, never opened.
        std::unique_ptr<CFileDatum> datum;
        if (IsAscii(name))
            datum = std::make_unique<CFileDatum>(name);
        else
            datum = std::make_unique<CFileDatum>(DiskToGb(name));
        datum->m_dwSize = static_cast<Size32>(static_cast<unsigned long long>(st.st_size));
        datum->m_timeModified = ClampTime32(st.st_mtim.tv_sec);
        f.category->AddDatum(datum.get());
        datum.release();
        Count();
    }

    void Count() noexcept
    {
        ++m_report.entries;
        if (m_options.progress && ++m_unreported == 1024)
            Flush();
    }

    void Flush() noexcept
    {
        if (m_options.progress)
            m_options.progress->AddEntries(m_unreported);
        m_unreported = 0;
    }

    void EnterFolder()
    {
        if (m_options.progress)
            m_options.progress->SetCurrentFolder(m_path);
    }

    void Skip(const std::string& path, ScanSkip::Reason reason, int err)
    {
        m_report.skipped.push_back({ path, reason, err });
    }

    static void SetName(CText& text, std::string_view name)
    {
        if (IsAscii(name))
            text = name;
        else
            text = DiskToGb(name);
    }

    IFileSystem& m_fs;
    const ScanOptions& m_options;
    ScanReport& m_report;
    std::uint64_t m_unreported = 0;
    std::string m_path; // the folder on top of the stack
    dev_t m_device = 0;
    std::vector<Frame> m_stack;
    std::vector<std::unique_ptr<char[]>> m_buffers;
};

template <class Kind> Kind* CreateScanned(std::string_view name, const std::string& path)
{
    auto category = std::make_unique<Kind>(name, path);
    category->ScanFolder(GbToDisk(path));
    return category.release();
}

} // namespace

ScanReport ScanFolderInto(CCategory& into, const std::string& diskPath, const ScanOptions& options)
{
    ScanReport report;
    if (diskPath.empty())
        return report;
    IFileSystem& fs = FileSystem();
    // The folder itself may be reached through a link: the user chose it.
    int fd = fs.Open(diskPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return report;
    TreeScanner scanner(fs, options, report);
    std::string root = diskPath;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    scanner.Run(into, fd, root);
    return report;
}

void CCategory::ScanFolder(const std::string& path)
{
    ScanFolderInto(*this, path);
}

void CDatum::RefreshFileStatus()
{
    std::string path = GbToDisk(GetPath());
    struct stat st;
    if (path.empty() || FileSystem().Stat(path.c_str(), &st) != 0)
        return;
    m_dwSize = static_cast<Size32>(static_cast<unsigned long long>(st.st_size));
    m_timeModified = ClampTime32(st.st_mtim.tv_sec);
}

CCDRomCategory* CreateCDRomCategory(std::string_view name, const std::string& path)
{
    return CreateScanned<CCDRomCategory>(name, path);
}

CDriverCategory* CreateDriverCategory(std::string_view name, const std::string& path)
{
    return CreateScanned<CDriverCategory>(name, path);
}

CRootFolderCategory* CreateRootFolderCategory(std::string_view name, const std::string& path)
{
    return CreateScanned<CRootFolderCategory>(name, path);
}

} // namespace tessary
