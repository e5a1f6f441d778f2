// Scanning a folder tree into categories and data items.

#include "Category.h"
#include "Datum.h"
#include "FileSystem.h"
#include "MountSource.h"
#include "Scan.h"
#include "ScanWalker.h"
#include "TextCodec.h"

#include <algorithm>
#include <fcntl.h>
#include <iterator>
#include <memory>
#include <sched.h>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace tessary {

namespace {

unsigned DefaultThreads() noexcept
{
    // One walker per core this process may run on; past a handful the disk,
    // not the processor, sets the pace.
    unsigned n = std::thread::hardware_concurrency();
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        n = static_cast<unsigned>(CPU_COUNT(&set));
    return std::clamp(n, 1u, 16u);
}

template <class Kind>
Kind* CreateScanned(std::string_view name, const std::string& path, ScanOptions options, ScanReport* report)
{
    auto category = std::make_unique<Kind>(name, path);
    options.followMounts = FollowsMounts(category->GetClassId());
    const std::string diskPath = GbToDisk(path);
    ScanReport r = ScanFolderInto(*category, diskPath, options);
    if (r.opened && !r.cancelled)
        category->SetVolume(IdentifyVolumeAt(MountSource(), diskPath));
    if (report)
        *report = std::move(r);
    return category.release();
}

} // namespace

bool FollowsMounts(ClassId kind) noexcept
{
    return kind != ClassId::CDRomCategory && kind != ClassId::DriverCategory;
}

ScanReport ScanFolderInto(CCategory& into, const std::string& diskPath, const ScanOptions& options)
{
    ScanReport report;
    report.openErrno = ENOENT;
    if (diskPath.empty())
        return report;
    IFileSystem& fs = FileSystem();
    // The folder itself may be reached through a link: the user chose it.
    int fd = fs.Open(diskPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        report.openErrno = errno;
        return report;
    }
    struct stat st;
    if (fs.Fstat(fd, &st) != 0) {
        report.openErrno = errno;
        fs.Close(fd);
        return report;
    }
    report.openErrno = 0;
    report.opened = true;
    std::string root = diskPath;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();

    const unsigned threads = options.threads ? options.threads : DefaultThreads();
    scan::ScanShared shared(fs, options, threads);
    try {
        shared.Push({ &into, fd, st.st_dev, st.st_ino, std::move(root) });
    } catch (...) {
        fs.Close(fd);
        throw;
    }
    // The calling thread is one of the walkers; the others are started for
    // this scan and end with it.
    std::vector<std::unique_ptr<scan::FolderWalker>> walkers;
    walkers.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        walkers.push_back(std::make_unique<scan::FolderWalker>(shared));
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    for (unsigned i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back(&scan::FolderWalker::Run, walkers[i].get());
        } catch (const std::system_error&) {
            break; // fewer threads then
        }
    }
    walkers[0]->Run();
    for (std::thread& t : helpers)
        t.join();

    for (auto& w : walkers) {
        report.entries += w->Entries();
        auto& skipped = w->Skipped();
        report.skipped.insert(report.skipped.end(), std::make_move_iterator(skipped.begin()),
            std::make_move_iterator(skipped.end()));
    }
    report.cancelled = shared.Cancelled();
    if (std::exception_ptr error = shared.Error())
        std::rethrow_exception(error);
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
    return CreateScanned<CCDRomCategory>(name, path, {}, nullptr);
}

CDriverCategory* CreateDriverCategory(std::string_view name, const std::string& path)
{
    return CreateScanned<CDriverCategory>(name, path, {}, nullptr);
}

CRootFolderCategory* CreateRootFolderCategory(std::string_view name, const std::string& path)
{
    return CreateScanned<CRootFolderCategory>(name, path, {}, nullptr);
}

CCDRomCategory* CreateCDRomCategory(
    std::string_view name, const std::string& path, const ScanOptions& options, ScanReport& report)
{
    return CreateScanned<CCDRomCategory>(name, path, options, &report);
}

CDriverCategory* CreateDriverCategory(
    std::string_view name, const std::string& path, const ScanOptions& options, ScanReport& report)
{
    return CreateScanned<CDriverCategory>(name, path, options, &report);
}

CRootFolderCategory* CreateRootFolderCategory(
    std::string_view name, const std::string& path, const ScanOptions& options, ScanReport& report)
{
    return CreateScanned<CRootFolderCategory>(name, path, options, &report);
}

ScanReport ScanPathCategory(CPathCategory& category, ScanOptions options)
{
    options.followMounts = FollowsMounts(category.GetClassId());
    const std::string diskPath = GbToDisk(category.m_strPath.view());
    ScanReport report = ScanFolderInto(category, diskPath, options);
    if (report.opened && !report.cancelled) {
        if (std::optional<VolumeRecord> volume = IdentifyVolumeAt(MountSource(), diskPath))
            category.SetVolume(volume);
    }
    return report;
}

} // namespace tessary
